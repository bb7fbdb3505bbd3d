#!/usr/bin/env bash
# wine-session.sh pe32|x64 COMMAND...: runs COMMAND with the Wine environment of one
# Windows build (scripts/wine-env.sh): makes the build's prefix once, keeps a Wine server
# up, and keeps one idle Windows process (tools/keepalive.cpp) in the prefix while
# COMMAND runs. Wine winds its own system processes down whenever the last program of a
# prefix ends, and a program starting at that moment is now and then dropped; the idle
# process also spares every program start the start of those system processes. When
# COMMAND ends, also when it fails or the session is interrupted, the server and every
# process of the prefix are ended: nothing of it is left running.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_env "$1"; shift

stop=$(mktemp -u "${TMPDIR:-/tmp}/wsk-keepalive.XXXXXX")
keeper=
finish() {
  touch "$stop"
  [ -z "$keeper" ] || wait "$keeper" 2>/dev/null || true
  stop_prefix
  rm -f "$stop" "$stop.up"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if ! prefix_ready; then
  echo "wine-session: creating the $WINEARCH Wine prefix $WINEPREFIX (once)"
  make_prefix || { echo "wine-session: the Wine prefix $WINEPREFIX could not be made" >&2; exit 1; }
fi
# A persistent server; its output must not hold the caller's pipes open.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 &
disown || true

"$WSK_WINE" "$WSK_BIN/keepalive.exe" "Z:${stop//\//\\}" >/dev/null 2>&1 &
keeper=$!
# Under an emulator a program start takes longer.
for _ in $(seq $((${WSK_KEEPALIVE_WAIT:-15} * 20))); do [ -e "$stop.up" ] && break; sleep 0.05; done
"$@"
