#!/usr/bin/env bash
# The main job on the bundled sample: setuphost.exe calls each export of dist/ on the
# sample script, and the log shows what the extension did.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=${WINEDEBUG:--all}
work=$(mktemp -d "${TMPDIR:-/tmp}/wsk-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp dist/* "$work/"
mkdir -p "$work/root"
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
cd "$work"
for export in POSTCOPY DEINSTALL WSKordalin; do
  echo "== setuphost.exe WSKORDALIN.DLL $export Kordex.inf"
  wine setuphost.exe "$(winpath "$work/WSKORDALIN.DLL")" "$export" "$(winpath "$work/Kordex.inf")" || true
done
echo "== Kordex.log"
cat Kordex.log
