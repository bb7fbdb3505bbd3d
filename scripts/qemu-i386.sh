# Sourced: the user-mode emulator that runs the 32-bit Wine where the kernel runs no
# 32-bit code, and how to install one that is recent enough.
#
# qemu-user before 8.1 does not keep the address-space reservations a 32-bit Wine makes
# at every start: it places each one elsewhere, and Wine halves the ranges until it has
# tried some 65,000 of them, each a search of the emulated address space. Every emulated
# program then takes one to two minutes to start, and the making of a new prefix times
# out (Debian 12's qemu 7.2, measured: 60-110 s a program, prefix creation failed after
# nine to eleven minutes). qemu 10 starts the same program in 0.3 s and makes the prefix
# in about 12 s.
WSK_QEMU_LEAST=8.1

# The upstream version of an emulator binary, "" when it does not run.
qemu_version_of() { "$1" --version 2>/dev/null | head -1 | sed -n 's/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p'; }

# Prints the path of an installed qemu-i386 of version WSK_QEMU_LEAST or later; fails
# when there is none.
recent_qemu_i386() {
  local qemu version
  for qemu in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    version=$(qemu_version_of "$qemu")
    [ -n "$version" ] && dpkg --compare-versions "$version" ge "$WSK_QEMU_LEAST" && { echo "$qemu"; return 0; }
  done
  return 1
}

# Prints the path of the qemu-i386 to use: a recent one if there is one, else any.
any_qemu_i386() {
  recent_qemu_i386 && return 0
  local qemu
  for qemu in /usr/bin/qemu-i386-static /usr/bin/qemu-i386; do
    [ -n "$(qemu_version_of "$qemu")" ] && { echo "$qemu"; return 0; }
  done
  return 1
}

# install_recent_qemu_i386: installs qemu-user (static binaries; no binfmt registrations,
# which i386-emulation.sh makes and removes itself) from the release when its own is
# recent enough, else from the release's backports. The backports source is named to apt
# for this install only (a list beside the machine's own), so the machine's sources stay
# as they were. Where neither works, the release's older emulator is installed, and the
# PE32 smoke says why it cannot run on it. Needs scripts/apt.sh.
install_recent_qemu_i386() {
  local candidate codename mirror list
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: //p')
  if [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && dpkg --compare-versions "$candidate" ge "1:$WSK_QEMU_LEAST"; then
    apt_install qemu-user && return 0
  fi
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  # The mirror the release itself comes from, as apt knows it.
  mirror=$(apt-cache policy 2>/dev/null | awk -v suite="$codename/main" '$3 == suite { print $2; exit }')
  if [ -n "$codename" ] && [ -n "$mirror" ]; then
    list=$(mktemp "${TMPDIR:-/tmp}/wsk-backports.XXXXXX.list")
    { [ -f /etc/apt/sources.list ] && cat /etc/apt/sources.list; echo "deb $mirror $codename-backports main"; } > "$list"
    chmod 644 "$list"
    local with_backports=(-o "Dir::Etc::sourcelist=$list")
    echo "qemu-i386: qemu-user $WSK_QEMU_LEAST or later from $codename-backports"
    # Another index out of step does not keep the backports' own from being used.
    if apt_update "${with_backports[@]}" &&
       "${apt_sudo[@]}" apt-get "${with_backports[@]}" install -y -qq --no-install-recommends \
         -t "$codename-backports" qemu-user >/dev/null; then
      rm -f "$list"
      return 0
    fi
    rm -f "$list"
  fi
  echo "qemu-i386: no qemu-user $WSK_QEMU_LEAST or later to be had; installing the release's own" >&2
  apt_install qemu-user-static
}
