#!/usr/bin/env bash
# pe32-smoke.sh: runs the shipped PE32 itself (dist/) on real trees with real cabinets:
# natively under the 32-bit Wine where the kernel runs 32-bit code, otherwise under
# qemu-i386 user-mode emulation, stage by stage, each stage bounded in time and saying
# what it does. Where the 32-bit Wine cannot be installed, or cannot start under the
# emulator (no emulator recent enough, no i386 program starting at all, no prefix made,
# no Wine program starting), it says so in one line and ends with status 0: the PE32 was
# then checked as a file only (by the 64-bit suite). A failure of the product inside a
# running smoke fails.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
smoke=(bash "$top/scripts/wine-session.sh" pe32 bash "$top/tests/smoke/pe32_smoke.sh")

if [ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ]; then
  pe32_wine_or_say "PE32 smoke" || exit 0
  echo "== PE32 smoke: dist/ under the 32-bit Wine, natively"
  exec "${smoke[@]}"
fi

started=$(date +%s)
stage() { echo "PE32 smoke under emulation: $* [$(( $(date +%s) - started )) s]"; }
not_run() {
  echo "PE32 smoke under emulation: not run — $1; the PE32 was checked as a file only"
  exit 0
}
# bounded SECONDS WHAT COMMAND...: runs COMMAND, saying each minute that it is still at
# WHAT; after SECONDS it is ended (with every process of the prefix) and fails with 124.
bounded() {
  local limit=$1 what=$2 waited=0 pid
  shift 2
  "$@" &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    waited=$((waited + 1))
    [ $((waited % 60)) -ne 0 ] || stage "still $what"
    if [ "$waited" -ge "$limit" ]; then
      kill "$pid" 2>/dev/null || true
      stop_prefix
      wait "$pid" 2>/dev/null || true
      return 124
    fi
  done
  wait "$pid"
}

stage "installing the 32-bit Wine and qemu-user"
bash "$top/scripts/install-deps.sh" pe32-emulation
source "$top/scripts/i386-emulation.sh"
source "$top/scripts/wine-env.sh"
{ read -r wine32; read -r why; } < <(bash "$top/scripts/wine32.sh")
[ "$wine32" = yes ] || not_run "$why"
qemu=$(any_qemu_i386) || not_run "no qemu-i386 could be installed"
version=$(qemu_version_of "$qemu")
dpkg --compare-versions "$version" ge "$WSK_QEMU_LEAST" ||
  not_run "qemu-i386 $version is older than $WSK_QEMU_LEAST: under it every 32-bit Wine program takes one to two minutes to start and a new prefix cannot be made"

stage "registering $qemu ($version) for i386 programs"
i386_emulation_on || not_run "no i386 program starts here, not even through qemu-i386"
# The prefix's processes end before the emulator goes, also when the smoke fails.
wine_env pe32
trap 'stop_prefix; i386_emulation_off' EXIT
export WINELOADERNOEXEC=1 WSK_KEEPALIVE_WAIT=300   # Debian's Wine has no preloader to run

if ! prefix_ready; then
  stage "making the 32-bit Wine prefix $WINEPREFIX (at most 10 minutes)"
  bounded 600 "making the prefix" make_prefix ||
    not_run "the 32-bit Wine could not make its prefix under $qemu ($version)"
fi
stage "starting a program of the 32-bit Wine (at most 5 minutes)"
probe=$(bounded 300 "starting a program" "$WSK_WINE" cmd.exe /c echo ready 2>/dev/null | tr -d '\r') || true
stop_prefix
[ "$probe" = ready ] || not_run "no program of the 32-bit Wine starts under $qemu ($version)"

stage "running the smoke: a first installation, an up-to-date run, DEINSTALL, the version block"
bounded 900 "running the smoke" "${smoke[@]}" || { status=$?; stage "the smoke FAILED (status $status)"; exit "$status"; }
stage "passed"
