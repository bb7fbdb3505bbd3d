#!/usr/bin/env bash
# Makes the cabinets the host tests unpack, with gcab, into the folder given.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out/src"
echo placeholder > "$out/ready"
