#!/usr/bin/env bash
# The module is PE32 and exports exactly POSTCOPY, DEINSTALL and WSKordalin, undecorated.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail() { echo "check_exports: $*" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE32 (i386) image"
grep -q '^Magic[[:space:]]*010b' <<<"$dump" || fail "optional header is not PE32 (magic 010b)"
names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[[:space:]]*\[/{print $NF;next} t&&NF==0{t=0}' <<<"$dump" | sort | tr '\n' ' ')
[ "$names" = "DEINSTALL POSTCOPY WSKordalin " ] || fail "exports are '$names'"
grep -q 'DLL Name: Corvane.dll' <<<"$dump" || fail "does not import from Corvane.dll"
for runtime in libgcc_s libstdc++ libwinpthread; do
  if grep -q "DLL Name: $runtime" <<<"$dump"; then fail "needs the runtime DLL $runtime"; fi
done
echo "check_exports: PE32, exports: $names, imports Corvane.dll"
