#!/usr/bin/env bash
# machine.sh: tells whether this machine's kernel runs 32-bit x86 code natively, the one
# fact that decides which Windows builds can run here at full speed. Prints "yes" or
# "no" on its first line, then a line that says why.
#
# The probe is a twelve-byte i386 program (exit status 42) written out here, so it needs
# no 32-bit toolchain or library. A user-mode emulator registered for i386 programs would
# run the probe too, so where such a handler is enabled the answer is "no": the code
# would run, but emulated. WSK_NATIVE32=yes|no overrides the probe (to try the other
# machine kind's path here). "machine.sh --can-run" only asks whether an i386 program
# starts at all, natively or through an emulator.
set -euo pipefail

answer() { echo "$1"; echo "$2"; exit 0; }

# Runs the probe and prints its exit status: 42 where an i386 program ran (natively or not).
probe_status() {
  local probe
  probe=$(mktemp "${TMPDIR:-/tmp}/wsk-i386-probe.XXXXXX")
  # ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null && echo 0 || echo $?
  rm -f "$probe"
}

# machine.sh --can-run: exit status 0 when an i386 program starts here by any means.
if [ "${1:-}" = --can-run ]; then
  [ "$(probe_status)" -eq 42 ]; exit
fi

case "${WSK_NATIVE32:-}" in
  yes|no) answer "$WSK_NATIVE32" "set by WSK_NATIVE32" ;;
  "") ;;
  *) echo "machine.sh: WSK_NATIVE32 must be yes or no, not '$WSK_NATIVE32'" >&2; exit 2 ;;
esac

# An enabled binfmt_misc handler whose magic is the i386 ELF header's.
emulator_handler() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    case "$(basename "$entry")" in register|status) continue ;; esac
    if grep -qx enabled "$entry" && grep -q '^magic 7f454c46010101.*0200030*$' "$entry"; then
      echo "$entry"; return 0
    fi
  done
  return 1
}

if handler=$(emulator_handler); then
  answer no "i386 programs go through the emulator registered as $handler"
fi

status=$(probe_status)
if [ "$status" -eq 42 ]; then
  answer yes "the kernel runs i386 programs"
fi
answer no "the kernel refuses i386 programs (probe exit status $status)"
