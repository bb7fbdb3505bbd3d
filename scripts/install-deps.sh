#!/usr/bin/env bash
# Installs the tools the build and tests need on a Debian machine, only when they are missing:
# the i686 mingw-w64 cross compiler (posix threads), Wine with its 32-bit part, gcab and
# cabextract for cabinets, GoogleTest, clang with its sanitizer and fuzzer runtimes, and
# the small tools the tests and the benchmark call (procps, GNU time).
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have cmake                      || need+=(cmake)
have make                       || need+=(make)
have g++                        || need+=(g++)
have clang++                    || need+=(clang)
have gcab                       || need+=(gcab)
have cabextract                 || need+=(cabextract)
[ -x /usr/bin/time ]            || need+=(time)
pkg_installed googletest        || need+=(googletest)
pkg_installed libgtest-dev      || need+=(libgtest-dev)
pkg_installed libgmock-dev      || need+=(libgmock-dev)
pkg_installed libclang-rt-dev   || need+=(libclang-rt-dev)
have pkill && have free         || need+=(procps)
pkg_installed wine32:i386       || need+=(wine wine32:i386)
have wine                       || need+=(wine)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${need[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
echo "install-deps: done"
