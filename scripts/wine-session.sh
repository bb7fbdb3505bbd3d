#!/usr/bin/env bash
# wine-session.sh pe32|x64 COMMAND...: runs COMMAND with the Wine environment of one
# Windows build (scripts/wine-env.sh): makes the build's prefix once, keeps a Wine server
# up, and keeps one idle Windows process (tools/keepalive.cpp) in the prefix while
# COMMAND runs. Wine winds its own system processes down whenever the last program of a
# prefix ends, and a program starting at that moment is now and then dropped; the idle
# process also spares every program start the start of those system processes.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_env "$1"; shift
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-session: creating the $WINEARCH Wine prefix $WINEPREFIX (once)"
  "$WSK_WINE" wineboot -i >/dev/null 2>&1
fi
# A persistent server; its output must not hold the caller's pipes open.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 &
disown || true

stop=$(mktemp -u "${TMPDIR:-/tmp}/wsk-keepalive.XXXXXX")
"$WSK_WINE" "$WSK_BIN/keepalive.exe" "Z:${stop//\//\\}" >/dev/null 2>&1 &
keeper=$!
# Under an emulator a program start takes most of a minute.
for _ in $(seq $((${WSK_KEEPALIVE_WAIT:-15} * 20))); do [ -e "$stop.up" ] && break; sleep 0.05; done
finish() { touch "$stop"; wait "$keeper" 2>/dev/null || true; rm -f "$stop" "$stop.up"; }
trap finish EXIT
"$@"
