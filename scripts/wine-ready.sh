#!/usr/bin/env bash
# Makes the Wine prefix once and keeps a Wine server up, so that each test program starts
# in a fraction of a second and tests can run in parallel. Uses WINEPREFIX as exported.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-ready: creating the Wine prefix $WINEPREFIX (about 15 s, once)"
  wineboot -i >/dev/null 2>&1
fi
# A persistent server; its output must not hold the caller's pipes open.
wineserver -p </dev/null >/dev/null 2>&1 &
disown || true
