#!/usr/bin/env bash
# wine-session.sh COMMAND...: runs COMMAND while a keep-alive Windows process holds the
# Wine prefix open, so that the many short Wine programs of a test or benchmark run never
# start while Wine winds the prefix down (see tools/keepalive.cpp).
set -euo pipefail
bin=${WSK_BIN:-$(cd "$(dirname "$0")/.." && pwd)/build/win/bin}
export WINEDEBUG=${WINEDEBUG:--all}
stop=$(mktemp -u "${TMPDIR:-/tmp}/wsk-keepalive.XXXXXX")
wine "$bin/keepalive.exe" "Z:${stop//\//\\}" >/dev/null 2>&1 &
keeper=$!
for _ in $(seq 300); do [ -e "$stop.up" ] && break; sleep 0.05; done
finish() { touch "$stop"; wait "$keeper" 2>/dev/null || true; rm -f "$stop" "$stop.up"; }
trap finish EXIT
"$@"
