#!/usr/bin/env bash
# The mutation run of make fuzz, under Wine (run through scripts/wine-session.sh):
# MUTATIONS (default 100000) damaged variants of small real cabinets, made here with gcab
# (MSZIP and stored, nested folders, a file spanning several data blocks), through the
# host's InstallCab in one process (tests/fuzz/cab_mutate.cpp).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
: "${WSK_BIN:?run through scripts/wine-session.sh}"
count=${MUTATIONS:-100000}
work=$(mktemp -d "${TMPDIR:-/tmp}/wsk-mutate.XXXXXX")
trap 'rm -rf "$work"' EXIT

src="$work/src"; seeds="$work/seeds"; mkdir -p "$src/dir/sub" "$seeds"
echo "new a" > "$src/a.txt"; echo "new b" > "$src/dir/b.txt"; seq 1 300 > "$src/dir/sub/c.txt"
seq 1 12000 > "$src/big.txt"   # more than one 32 KB data block
(cd "$src" && gcab -c -z "$seeds/mszip.cab" a.txt dir/b.txt dir/sub/c.txt)
(cd "$src" && gcab -c "$seeds/stored.cab" a.txt dir/b.txt)
(cd "$src" && gcab -c -z "$seeds/blocks.cab" big.txt a.txt)
echo "mutate: $count damaged variants of $(ls "$seeds" | wc -l) cabinets through InstallCab ($(source "$top/scripts/wine-env.sh"; wine_build_name))"
"$WSK_WINE" "$WSK_BIN/cab_mutate.exe" "$(winpath "$seeds")" "$count" "$(winpath "$work/run")"
