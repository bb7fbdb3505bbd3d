#!/usr/bin/env bash
# pe-facts.sh FILE: what a setup engineer checks of a Windows binary, read from the file
# itself (no Windows needed), one "key: value" line each:
#   machine, file version (from the version block), exports, imports, hardening (the
#   loader's flags: ASLR, high-entropy ASLR, DEP, no structured exception handlers, CFG),
#   relocations (ASLR can move the image only with them), writable+executable sections.
# pe-facts.sh --check FILE: fails, saying why, when ASLR (with relocations) or DEP is
# missing, a 64-bit image lacks high-entropy ASLR, a PE32 does not say how it stands with
# structured exception handlers, or a section is both writable and executable.
set -euo pipefail
check=no
[ "${1:-}" = --check ] && { check=yes; shift; }
file=${1:?usage: pe-facts.sh [--check] FILE}
dump=$(x86_64-w64-mingw32-objdump -p "$file")
headers=$(x86_64-w64-mingw32-objdump -h "$file")

machine=$(x86_64-w64-mingw32-objdump -f "$file" | sed -n 's/.*file format pei-//p')
# VS_FIXEDFILEINFO: its signature, then the structure version, then the file version as
# two double words, each high word first: a.b in the first, c.d in the second.
version=-
at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$file" | head -1 | cut -d: -f1 || true)
if [ -n "$at" ]; then
  read -r b a d c < <(od -An -tu2 -j $((at + 8)) -N8 "$file")
  version="$a.$b.$c.$d"
fi
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\s*\[ *[0-9]*\] //p' | tr '\n' ' ')
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')
flags=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$dump" | sed -n 's/^\s\+\([A-Z_]\+\)$/\1/p' | sort -u | tr '\n' ' ')
relocations=no
grep -q ' \.reloc ' <<<"$headers" && relocations=yes
# objdump lists each section on one line and its flags on the next: CODE is executable,
# READONLY is not writable.
wx=$(awk '/^ +[0-9]+ / { name = $2; next } name && /CODE/ && !/READONLY/ { print name } { name = "" }' <<<"$headers" | tr '\n' ' ')

has() { [[ " $flags " == *" $1 "* ]]; }
hardening=()
has DYNAMIC_BASE && hardening+=("ASLR")
has HIGH_ENTROPY_VA && hardening+=("high-entropy ASLR")
has NX_COMPAT && hardening+=("DEP")
if [ "$machine" = i386 ]; then
  if has NO_SEH; then hardening+=("no SEH handlers (NO_SEH; this toolchain makes no SafeSEH table)")
  else hardening+=("SEH handlers unchecked (no SafeSEH table)"); fi
fi
has GUARD_CF && hardening+=("CFG")

echo "machine: $machine"
echo "file version: $version"
echo "exports: ${exports% }"
echo "imports: ${imports% }"
echo "hardening: $(IFS=,; echo "${hardening[*]}" | sed 's/,/, /g')"
echo "relocations: $relocations"
echo "writable and executable sections: ${wx:-none}"

[ $check = yes ] || exit 0
problems=()
has DYNAMIC_BASE || problems+=("no ASLR (DYNAMIC_BASE)")
[ $relocations = yes ] || problems+=("no relocations, so ASLR cannot move it")
has NX_COMPAT || problems+=("no DEP (NX_COMPAT)")
[ "$machine" != x86-64 ] || has HIGH_ENTROPY_VA || problems+=("no high-entropy ASLR (HIGH_ENTROPY_VA)")
[ "$machine" != i386 ] || has NO_SEH || problems+=("structured exception handlers not declared absent (NO_SEH)")
[ -z "$wx" ] || problems+=("writable and executable: ${wx% }")
if [ ${#problems[@]} -gt 0 ]; then
  echo "pe-facts: $file: $(IFS=';'; echo "${problems[*]}" | sed 's/;/; /g')" >&2
  exit 1
fi
