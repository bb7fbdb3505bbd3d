#!/usr/bin/env bash
# wine32.sh: tells whether the 32-bit Wine is installed, which the PE32 needs to run.
# Prints "yes" or "no" on its first line, then a line that says why. Where install-deps
# could not install it, the why is apt's reason, as install-deps kept it. WSK_WINE32=no
# answers "no" whatever is installed, to take the path of a machine without it anywhere.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

case "${WSK_WINE32:-}" in
  no) echo no; echo "the 32-bit Wine is set as not to be had (WSK_WINE32=no)"; exit 0 ;;
  ""|yes) ;;
  *) echo "wine32.sh: WSK_WINE32 must be no or unset, not '$WSK_WINE32'" >&2; exit 2 ;;
esac
if pkg_installed wine32:i386 && [ -x /usr/lib/wine/wine ]; then
  echo yes; echo "the 32-bit Wine is installed"
elif [ -s "$wine32_missing" ]; then
  echo no; echo "the 32-bit Wine could not be installed ($(head -1 "$wine32_missing"))"
else
  echo no; echo "the 32-bit Wine is not installed"
fi
