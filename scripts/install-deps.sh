#!/usr/bin/env bash
# install-deps.sh [pe32-emulation]: installs the tools this machine's path needs on a
# Debian machine, only when they are missing: the i686 and x86_64 mingw-w64 cross
# compilers (posix threads), the 64-bit Wine, gcab and cabextract for cabinets,
# GoogleTest, clang with its sanitizer and fuzzer runtimes, and the small tools the tests
# and the benchmark call (procps, GNU time). The 32-bit Wine comes where the kernel runs
# 32-bit code; elsewhere it comes, with qemu-user 8.1 or later, only for the PE32 smoke
# under emulation (the argument pe32-emulation).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
wine32=no qemu=no
[ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ] && wine32=yes
[ "${1:-}" = pe32-emulation ] && wine32=yes qemu=yes

need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have cmake                      || need+=(cmake)
have make                       || need+=(make)
have g++                        || need+=(g++)
have clang++                    || need+=(clang)
have gcab                       || need+=(gcab)
have cabextract                 || need+=(cabextract)
have zip                        || need+=(zip)
[ -x /usr/bin/time ]            || need+=(time)
pkg_installed googletest        || need+=(googletest)
pkg_installed libgtest-dev      || need+=(libgtest-dev)
pkg_installed libgmock-dev      || need+=(libgmock-dev)
pkg_installed libclang-rt-dev   || need+=(libclang-rt-dev)
have pkill && have free         || need+=(procps)
[ -x /usr/lib/wine/wine64 ]     || need+=(wine wine64)
[ $wine32 = no ] || pkg_installed wine32:i386 || need+=(wine32:i386)
source "$top/scripts/qemu-i386.sh"
[ $qemu = no ] || recent_qemu_i386 >/dev/null || want_qemu=yes
{ have osslsigncode && have openssl; } || want_signing=yes

if [ ${#need[@]} -eq 0 ] && [ "${want_qemu:-no}" = no ] && [ "${want_signing:-no}" = no ]; then
  exit 0
fi

[ ${#need[@]} -eq 0 ] || echo "install-deps: installing ${need[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ $wine32 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
[ ${#need[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
[ "${want_qemu:-no}" = no ] || install_recent_qemu_i386 "${sudo_cmd[@]}"
# Only the signing of a release needs them; without them its test says so and is skipped.
if [ "${want_signing:-no}" = yes ]; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends osslsigncode openssl >/dev/null ||
    echo "install-deps: osslsigncode could not be installed: releases cannot be signed here" >&2
fi
echo "install-deps: done"
