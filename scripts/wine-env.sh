# Sourced: wine_env pe32|x64 exports what runs one Windows build under Wine: the loader
# (WSK_WINE, also WINELOADER), the server, a prefix of the build's own architecture and
# the folder of the build's programs (WSK_BIN). The loaders are named directly: the
# "wine" wrapper picks the 32-bit loader whenever it is installed, also where the kernel
# cannot run it. The two prefixes stay apart, so a 64-bit prefix never starts its 32-bit
# side through an emulator.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

wine_env() {
  local build
  build=${BUILD:-$top/build}
  [[ $build = /* ]] || build=$top/$build
  case "$1" in
    pe32) WSK_WINE=/usr/lib/wine/wine   WINEARCH=win32 WINEPREFIX=$build/wine32 WSK_BIN=$build/win32/bin ;;
    x64)  WSK_WINE=/usr/lib/wine/wine64 WINEARCH=win64 WINEPREFIX=$build/wine64 WSK_BIN=$build/win64/bin ;;
    *) echo "wine_env: the build is pe32 or x64, not '$1'" >&2; return 2 ;;
  esac
  WSK_BUILD_KIND=$1
  WINELOADER=$WSK_WINE
  WINESERVER=/usr/lib/wine/wineserver64
  [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver32
  WINEDEBUG=${WINEDEBUG:--all}
  export WSK_WINE WSK_BIN WSK_BUILD_KIND WINEARCH WINEPREFIX WINELOADER WINESERVER WINEDEBUG
}

# The build's name and how it runs, as the demo, the bench and the test headings print it:
# natively, or under the emulator WSK_EMULATOR names ("qemu-i386 10.0.2").
wine_build_name() {
  local how="natively"
  [ -z "${WSK_EMULATOR:-}" ] || how="emulated by $WSK_EMULATOR"
  case "$WSK_BUILD_KIND" in
    pe32) echo "PE32 (i686) build under the 32-bit Wine, $how" ;;
    x64)  echo "64-bit (x86_64) build under wine64, $how" ;;
  esac
}

# True when the prefix is made whole: a prefix whose making was cut short has its
# registry but not the system's DLLs, and every program in it then fails to start.
prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]
}

# Makes the prefix (a half-made one is made anew); fails when it is not whole after.
make_prefix() {
  prefix_ready && return 0
  rm -rf "$WINEPREFIX"
  "$WSK_WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w 2>/dev/null || true
  prefix_ready
}

# Ends the prefix's Wine server and every process in it, and waits until they are gone.
stop_prefix() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
}
