#!/usr/bin/env bash
# Makes the cabinets the host tests unpack, with gcab, into the folder given: sources
# under src/, cabinets beside them, and damaged copies of a good one.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out/src"
cd "$out/src"

mkdir -p flat nested/dir/sub many
printf 'first file\r\n' > flat/a.txt
head -c 200000 /dev/urandom > flat/b.bin
: > flat/empty.txt
echo top > nested/top.txt
seq 1 5000 > nested/dir/sub/deep.txt
head -c 70000 /dev/urandom > nested/dir/x.bin
echo accent > "nested/dir/café.txt"
for i in $(seq -w 0 299); do echo "file $i" > "many/f$i.txt"; done
# A known time, to see that extraction keeps it.
find . -type f -exec touch -d '2024-03-15 10:20:30' {} +

(cd flat && gcab -c -z "$out/flat.cab" a.txt b.bin empty.txt)
(cd flat && gcab -c "$out/stored.cab" a.txt b.bin empty.txt)
(cd nested && gcab -c -z "$out/nested.cab" top.txt dir/sub/deep.txt dir/x.bin "dir/café.txt")
(cd many && gcab -c -z "$out/many.cab" *.txt)

size=$(stat -c %s "$out/nested.cab")
head -c $((size / 2)) "$out/nested.cab" > "$out/truncated.cab"
cp "$out/nested.cab" "$out/flipped.cab"
printf '\xff\x00\xff\x00' | dd of="$out/flipped.cab" bs=1 seek=$((size / 2)) conv=notrunc status=none
echo "this is not a cabinet" > "$out/notacab.cab"
mkdir "$out/directory.cab"
