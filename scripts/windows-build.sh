#!/usr/bin/env bash
# windows-build.sh: which Windows build runs at full speed here, asked once the tools are
# installed: "pe32" where the kernel runs 32-bit code and the 32-bit Wine is installed,
# else "x64" (the 64-bit build under wine64). Prints the build on its first line, then a
# line that says why.
set -euo pipefail
here=$(dirname "$0")
{ read -r native32; read -r kernel; } < <(bash "$here/machine.sh")
if [ "$native32" != yes ]; then
  echo x64; echo "$kernel: no 32-bit code runs natively"; exit 0
fi
{ read -r wine32; read -r why; } < <(bash "$here/wine32.sh")
if [ "$wine32" = yes ]; then
  echo pe32; echo "the kernel runs 32-bit code and $why"
else
  echo x64; echo "$why"
fi
