#!/usr/bin/env bash
# test-pe32.sh: runs the shipped PE32 itself (dist/) on real trees with real cabinets.
# Where the kernel runs 32-bit code, that is the smoke, natively under the 32-bit Wine
# (make test runs the PE32's whole Windows suite there). Where it runs none, the same
# under qemu-i386 user-mode emulation, then the PE32's Windows suite, stage by stage: the
# host tests, the e2e suite with the NSIS example, and the every-step suites (killed and
# cut off at every second step, the cut one step later, so that the two together stop at
# every step once; failing at every step). Each stage is bounded in time and says what
# it does and when. Where the 32-bit Wine cannot be installed, or cannot start under the
# emulator (no emulator recent enough, no i386 program starting at all, no prefix made,
# no Wine program starting), it says so in one line and ends with status 0: the PE32 was
# then checked as a file only (by the 64-bit suite). A failure of the product once the
# emulated Wine runs fails.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$top/scripts/wine-env.sh"
smoke() {
  wine_env pe32
  echo "== PE32 smoke: dist/, the $(wine_build_name)"
  bash "$top/scripts/wine-session.sh" pe32 bash "$top/tests/smoke/pe32_smoke.sh"
}

if [ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ]; then
  pe32_wine_or_say "PE32 smoke" || exit 0
  smoke
  exit
fi

started=$(date +%s)
stage() { echo "PE32 under emulation: $* [$(( $(date +%s) - started )) s]"; }
not_run() {
  echo "PE32 under emulation: not run — $1; the PE32 was checked as a file only"
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
{ read -r wine32; read -r why; } < <(bash "$top/scripts/wine32.sh")
[ "$wine32" = yes ] || not_run "$why"
qemu=$(any_qemu_i386) || not_run "no qemu-i386 could be installed"
version=$(qemu_version_of "$qemu")
dpkg --compare-versions "$version" ge "$WSK_QEMU_LEAST" ||
  not_run "qemu-i386 $version is older than $WSK_QEMU_LEAST: under it every 32-bit Wine program takes one to two minutes to start and a new prefix cannot be made"

stage "registering $qemu ($version) for i386 programs"
i386_emulation_on || not_run "no i386 program starts here, not even through qemu-i386"
# The prefix's processes end before the emulator goes, also when a stage fails.
wine_env pe32
trap 'stop_prefix; i386_emulation_off' EXIT
# Debian's Wine has no preloader to run; WSK_EMULATOR names the emulator in the headings.
export WINELOADERNOEXEC=1 WSK_KEEPALIVE_WAIT=300 WSK_EMULATOR="qemu-i386 $version"

if ! prefix_ready; then
  stage "making the 32-bit Wine prefix $WINEPREFIX (at most 10 minutes)"
  bounded 600 "making the prefix" make_prefix ||
    not_run "the 32-bit Wine could not make its prefix under $qemu ($version)"
fi
stage "starting a program of the 32-bit Wine (at most 5 minutes)"
probe=$(bounded 300 "starting a program" "$WSK_WINE" cmd.exe /c echo ready 2>/dev/null | tr -d '\r') || true
stop_prefix
[ "$probe" = ready ] || not_run "no program of the 32-bit Wine starts under $qemu ($version)"

# run_stage MINUTES WHAT COMMAND...: one stage, failing the whole when it fails or runs
# past its minutes.
run_stage() {
  local minutes=$1 what=$2 status=0
  shift 2
  stage "running $what (at most $minutes minutes)"
  bounded $((minutes * 60)) "running $what" "$@" || status=$?
  [ "$status" -eq 0 ] || { stage "$what FAILED (status $status)"; exit "$status"; }
}
suite=(bash "$top/scripts/windows-suite.sh" pe32 "$(dirname "$WSK_BIN")")
run_stage 15 "the smoke: a first installation, an up-to-date run, DEINSTALL, the version block" smoke
run_stage 10 "the host tests" "${suite[@]}" "PE32 host tests" -E '^e2e\.|every_step'
run_stage 15 "the e2e suite and the NSIS example" "${suite[@]}" "PE32 e2e suite" -R '^e2e\.'
export WSK_STOP_STRIDE=2
run_stage 30 "the every-step suites" "${suite[@]}" "PE32 every-step suites" -R every_step
stage "passed"
