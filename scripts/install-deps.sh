#!/usr/bin/env bash
# install-deps.sh [build|test|pe32-emulation]: installs on a Debian machine, only when
# they are missing, the tools a target needs.
#   build (the default): the i686 and x86_64 mingw-w64 cross compilers (posix threads),
#     the 64-bit Wine, gcab and cabextract for cabinets, GoogleTest, clang with its
#     sanitizer and fuzzer runtimes, and the small tools the scripts call (procps, GNU
#     time, zip);
#   test: those, makensis for the installer example and strace for the trace of a run;
#     osslsigncode and openssl for the signing test where they can be had;
#   pe32-emulation: those, and qemu-user 8.1 or later, for the PE32 smoke under emulation.
# The 32-bit Wine is wanted where the kernel runs 32-bit code, and for pe32-emulation, but
# no target fails without it: where it cannot be installed (its i386 libraries must be
# the versions of the amd64 ones, so one index out of step on the mirror is enough), one
# line says why, the reason is kept for scripts/wine32.sh, and the targets take the path
# of the 64-bit build. It is not tried again within the hour (WSK_RETRY_DEPS=1 does).
# WSK_WINE32=no treats it as not to be had. Fails only when a tool the target needs
# cannot be installed.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
target=${1:-build}
case "$target" in
  build|test|pe32-emulation) ;;
  *) echo "usage: install-deps.sh [build|test|pe32-emulation]" >&2; exit 2 ;;
esac
source "$top/scripts/apt.sh"
source "$top/scripts/qemu-i386.sh"

have() { command -v "$1" >/dev/null 2>&1; }

need=()
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
[ "$target" != test ] || have makensis || need+=(nsis)
[ "$target" != test ] || have strace || need+=(strace)

# What helps but is not needed: each says in one line why it is missing.
want_wine32=no want_qemu=no want_signing=no
if [ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ] || [ "$target" = pe32-emulation ]; then
  if pkg_installed wine32:i386; then
    :
  elif [ "${WSK_WINE32:-}" = no ]; then
    echo "install-deps: the 32-bit Wine is left out (WSK_WINE32=no): the 64-bit build runs instead of the PE32"
  elif [ -z "${WSK_RETRY_DEPS:-}" ] && [ -n "$(find "$wine32_missing" -mmin -60 2>/dev/null)" ]; then
    echo "install-deps: the 32-bit Wine could not be installed within the hour ($(head -1 "$wine32_missing"));" \
         "the 64-bit build runs instead of the PE32 (WSK_RETRY_DEPS=1 tries again now)"
  else
    want_wine32=yes
  fi
fi
[ "$target" != pe32-emulation ] || recent_qemu_i386 >/dev/null || want_qemu=yes
[ "$target" != test ] || { have osslsigncode && have openssl; } || want_signing=yes

if [ ${#need[@]} -eq 0 ] && [ $want_wine32 = no ] && [ $want_qemu = no ] && [ $want_signing = no ]; then
  exit 0
fi
[ ${#need[@]} -eq 0 ] || echo "install-deps: installing ${need[*]}"
if [ $want_wine32 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${apt_sudo[@]}" dpkg --add-architecture i386
fi
apt_update || true   # apt may still have what is needed; the installs below tell

if ! apt_install "${need[@]}"; then
  echo "install-deps: the $target target cannot go on without ${!APT_FAILED[*]}" >&2
  exit 1
fi
if [ $want_wine32 = yes ]; then
  if apt_install wine32:i386; then
    rm -f "$wine32_missing"
  else
    mkdir -p "$(dirname "$wine32_missing")"
    echo "${APT_FAILED[wine32:i386]}" > "$wine32_missing"
    echo "install-deps: without the 32-bit Wine the 64-bit build runs here instead of the PE32"
  fi
fi
# The emulator runs the 32-bit Wine: without it there is nothing to emulate.
if [ $want_qemu = yes ] && pkg_installed wine32:i386; then
  install_recent_qemu_i386 ||
    echo "install-deps: no qemu-user could be installed: the PE32 smoke cannot run under emulation" >&2
fi
[ $want_signing = no ] || apt_install osslsigncode openssl ||
  echo "install-deps: without osslsigncode releases cannot be signed here, and the signing test says so" >&2
echo "install-deps: done"
