# Sourced: i386_emulation_on / i386_emulation_off let a kernel that refuses i386 programs
# run them through qemu-i386 (scripts/qemu-i386.sh says which), for as long as it is
# needed. Debian does not register qemu-i386 for i386 programs on amd64 itself, so this
# registers it through
# binfmt_misc (mounting that first where it is not mounted) and afterwards removes what
# it added, leaving the machine's handlers as they were. A handler that was already
# there is used and left alone. Needs root.
WSK_BINFMT=/proc/sys/fs/binfmt_misc
WSK_HANDLER=wsk-qemu-i386
wsk_mounted_binfmt=no wsk_registered_handler=no

source "$(dirname "${BASH_SOURCE[0]}")/qemu-i386.sh"

i386_emulation_on() {
  local qemu
  qemu=$(any_qemu_i386) || { echo "i386 emulation: qemu-i386 is missing" >&2; return 1; }
  if [ ! -e "$WSK_BINFMT/register" ]; then
    mount -t binfmt_misc binfmt_misc "$WSK_BINFMT" 2>/dev/null ||
      { echo "i386 emulation: binfmt_misc cannot be mounted here" >&2; return 1; }
    wsk_mounted_binfmt=yes
  fi
  # WSK_NATIVE32=no registers the emulator also where the kernel would run the programs,
  # which tries this path on such a machine (binfmt_misc handlers come first).
  if [ "${WSK_NATIVE32:-}" = no ] || ! bash "$(dirname "${BASH_SOURCE[0]}")/machine.sh" --can-run; then
    # The i386 ELF header: class 32-bit, little-endian, executable, machine 3. The F flag
    # opens the emulator now, so it serves every later program wherever it runs.
    printf '%s' ":$WSK_HANDLER:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
      > "$WSK_BINFMT/register" 2>/dev/null ||
      { echo "i386 emulation: the handler cannot be registered" >&2; i386_emulation_off; return 1; }
    wsk_registered_handler=yes
  fi
  bash "$(dirname "${BASH_SOURCE[0]}")/machine.sh" --can-run ||
    { echo "i386 emulation: an i386 program still does not start" >&2; i386_emulation_off; return 1; }
}

i386_emulation_off() {
  if [ "$wsk_registered_handler" = yes ] && [ -e "$WSK_BINFMT/$WSK_HANDLER" ]; then
    echo -1 > "$WSK_BINFMT/$WSK_HANDLER"
  fi
  wsk_registered_handler=no
  if [ "$wsk_mounted_binfmt" = yes ]; then umount "$WSK_BINFMT" 2>/dev/null || true; fi
  wsk_mounted_binfmt=no
}
