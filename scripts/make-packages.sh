#!/usr/bin/env bash
# make-packages.sh SOURCE OUT: packs every folder of SOURCE named like a package
# (QMT_Kordalin_000, QMT_Kordalin_001, ...) into OUT/<folder>.cab with gcab (MSZIP).
set -euo pipefail
source_dir=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
for package in "$source_dir"/QMT_Kordalin_*/; do
  name=$(basename "$package")
  # One gcab call for all files (xargs would split a long list and keep only the last part).
  (cd "$package" && mapfile -t files < <(find . -type f -printf '%P\n' | sort) && gcab -c -z "$out/$name.cab" "${files[@]}")
done
