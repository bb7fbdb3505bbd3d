#!/usr/bin/env bash
# pe32-smoke.sh: runs the shipped PE32 itself (dist/) on real trees with real cabinets:
# natively under the 32-bit Wine where the kernel runs 32-bit code, otherwise under
# qemu-i386 user-mode emulation, which is slow (a 32-bit prefix takes minutes, each
# program start most of a minute). Fails, with one plain line, where no 32-bit program
# can be started by any means.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
smoke=(bash "$top/scripts/wine-session.sh" pe32 bash "$top/tests/smoke/pe32_smoke.sh")

if [ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ]; then
  echo "== PE32 smoke: dist/ under the 32-bit Wine, natively"
  exec "${smoke[@]}"
fi

bash "$top/scripts/install-deps.sh" pe32-emulation
source "$top/scripts/i386-emulation.sh"
if ! i386_emulation_on; then
  echo "PE32 smoke: NOT RUN and not passed: this machine starts no 32-bit program by any means"
  exit 1
fi
# Emulated Wine processes would otherwise live on and take the machine's time: the
# prefix is shut down before the emulator goes.
stop_pe32() {
  (source "$top/scripts/wine-env.sh" && wine_env pe32 && "$WINESERVER" -k 2>/dev/null) || true
  i386_emulation_off
}
trap stop_pe32 EXIT
echo "== PE32 smoke: dist/ under the 32-bit Wine, emulated by qemu-i386 (slow: minutes)"
# Wine's preloader cannot work under the emulator; each program start takes most of a minute.
export WINELOADERNOEXEC=1 WSK_KEEPALIVE_WAIT=600
start=$(date +%s)
"${smoke[@]}"
echo "PE32 smoke under emulation took $(( $(date +%s) - start )) s"
