#!/usr/bin/env bash
# check_exports.sh DLL [pe32|x64]: the module as a file, without running it. It is a DLL
# of the expected kind (PE32 for i386 by default), exports exactly POSTCOPY, DEINSTALL
# and WSKordalin, undecorated, imports Corvane.dll and system DLLs only (no compiler
# runtime DLL), and, as PE32, every export pops its arguments as __stdcall does.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
dll=$1 kind=${2:-pe32}
bad() { fail "$dll: $*"; }
case "$kind" in
  pe32) objdump=i686-w64-mingw32-objdump format=pei-i386 magic=010b ;;
  x64)  objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 magic=020b ;;
  *) bad "the kind is pe32 or x64, not '$kind'" ;;
esac
dump=$("$objdump" -p "$dll" 2>&1) || bad "not a $format image: ${dump:-}"

grep -q "file format $format\$" <<<"$dump" || bad "not a $format image"
grep -q "^Magic[[:space:]]*$magic" <<<"$dump" || bad "optional header magic is not $magic"
grep -Eq '^Characteristics.*' <<<"$dump" && grep -q 'DLL$' <<<"$(sed -n '/^Characteristics/,/^$/p' <<<"$dump")" ||
  bad "not marked as a DLL"

names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[[:space:]]*\[/{print $NF;next} t&&NF==0{t=0}' <<<"$dump" | sort | tr '\n' ' ')
[ "$names" = "DEINSTALL POSTCOPY WSKordalin " ] || bad "exports are '$names'"

imports=$(awk '/DLL Name:/{print $3}' <<<"$dump" | sort -f | tr '\n' ' ')
grep -q 'Corvane.dll' <<<"$imports" || bad "does not import from Corvane.dll"
for import in $imports; do
  case "${import,,}" in
    corvane.dll|kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
    *) bad "imports $import, which is neither Corvane.dll nor a system DLL" ;;
  esac
done

# __stdcall: the callee pops its arguments, so every return of an export is "ret N".
pops=
if [ "$kind" = pe32 ]; then
  base=$((16#$(awk '/^ImageBase/{print $2}' <<<"$dump")))
  code=$("$objdump" -d "$dll")
  while read -r name bytes; do
    # The export's address, from the name's position in the name table and the address table.
    ordinal=$(awk -v n="$name" '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&$NF==n{gsub(/[\[\]]/,"",$2); print $2; exit}' <<<"$dump")
    rva=$(awk -v o="$ordinal" '/^Export Address Table --/{t=1;next} t&&/Export RVA/{gsub(/[\[\]]/,""); if ($1==o) {print $(NF-2); exit}}' <<<"$dump")
    [ -n "$rva" ] || bad "no address for $name"
    start=$(printf '%x' $((base + 16#$rva)))
    rets=$(awk -v s="$start" '$0 ~ "^0*"s" <" {t=1; next} t && /^[0-9a-f]+ <.*>:$/ {exit} t && /\tret/ {print $NF}' <<<"$code" | sort -u | tr '\n' ' ')
    expected=$(printf '$0x%x ' "$bytes")
    [ "$rets" = "$expected" ] || bad "$name returns with '${rets:-no ret}', expected 'ret $expected'(pops $bytes bytes)"
    pops+="$name $bytes, "
  done <<<$'POSTCOPY 12\nDEINSTALL 12\nWSKordalin 16'
fi

echo "check_exports: $kind DLL, exports: $names${pops:+(bytes popped: ${pops%, }) }imports: $imports"
