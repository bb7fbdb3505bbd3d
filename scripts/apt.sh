# Sourced: apt as a set-up that must not give up on the first hitch. A mirror can be out
# of step for one index for hours ("File has unexpected size … Mirror sync in progress?"),
# and apt-get then fails as a whole although nearly everything can still be installed.
# So an update that keeps failing for some indexes says which, once each, and the install
# goes on with the indexes apt has; a package that cannot be installed is named with
# apt's own reason, and the others are installed all the same. APT_CONFIG (apt's own
# variable) points apt at another configuration, as the tests do.
WSK_APT_TRIES=${WSK_APT_TRIES:-3}
WSK_APT_PAUSE=${WSK_APT_PAUSE:-5}
apt_sudo=()
[ "$(id -u)" -eq 0 ] || apt_sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

# apt_update [APT-OPTION...]: apt-get update, tried up to WSK_APT_TRIES times with a pause of
# WSK_APT_PAUSE seconds while some index cannot be fetched (apt fails for a size or hash
# out of step, and only warns for a server it cannot reach). When some index still cannot
# be fetched, one line names each and the update counts as done: apt keeps the indexes it
# has. Fails only when apt could not update for another reason, with apt's last lines.
apt_update() {
  local try out status failed
  for try in $(seq "$WSK_APT_TRIES"); do
    status=0
    out=$("${apt_sudo[@]}" apt-get "$@" update -q 2>&1) || status=$?
    failed=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)$/\1 \2/p' <<<"$out" | sed 's/ *\[IP: [^]]*\]//')
    [ "$status" -ne 0 ] || [ -n "$failed" ] || return 0
    [ "$try" -eq "$WSK_APT_TRIES" ] || sleep "$WSK_APT_PAUSE"
  done
  if [ -z "$failed" ]; then
    echo "install-deps: apt-get update failed $WSK_APT_TRIES times: $(grep '^E:' <<<"$out" | tail -2 | tr '\n' ' ')" >&2
    return 1
  fi
  local url why
  while read -r url why; do
    echo "install-deps: the index $url could not be fetched in $WSK_APT_TRIES tries (${why:-no reason given}); going on with the indexes apt has"
  done <<<"$failed"
}

# apt_reason OUTPUT: apt's reason for a failed install, in one line: its last error and,
# where it names them, the first dependency it could not meet.
apt_reason() {
  local error unmet
  error=$(grep '^E:' <<<"$1" | tail -1 | sed 's/^E: //; s/\.$//')
  unmet=$(sed -n '/unmet dependencies:/{n;p;q}' <<<"$1" | sed 's/^ *//; s/  */ /g')
  echo "${error:-apt-get failed}${unmet:+ (first unmet: $unmet)}"
}

# apt_install PACKAGE...: installs the packages without recommends. When they cannot be
# installed together, each is tried alone, so that one that cannot be had keeps no other
# from being installed. Each package that failed gets one line with apt's reason, and its
# name and reason in APT_FAILED (an associative array). Fails when any failed.
declare -gA APT_FAILED=()
apt_install() {
  [ $# -gt 0 ] || return 0
  "${apt_sudo[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>&1 && return 0
  local package out status=0
  for package in "$@"; do
    out=$("${apt_sudo[@]}" apt-get install -y -q --no-install-recommends "$package" 2>&1) && continue
    APT_FAILED[$package]=$(apt_reason "$out")
    echo "install-deps: $package cannot be installed: ${APT_FAILED[$package]}" >&2
    status=1
  done
  return $status
}
