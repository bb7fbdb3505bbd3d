# Shared by the whole-run tests: a scratch tree per test, setuphost.exe under Wine, and
# checks that say what was expected. Sourced, not run.
set -euo pipefail
: "${WSK_BIN:?WSK_BIN names the folder of the built programs}"
: "${WSK_SOURCE:?WSK_SOURCE names the source tree}"
export WINEDEBUG=${WINEDEBUG:--all}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/wsk-e2e.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
checks=0

# A Unix path as Wine names it.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { checks=$((checks + 1)); }
done_ok() { echo "$(basename "$0"): ${checks} passed, 0 failed"; }

# setuphost EXPORT SCRIPT [TEXT]: runs the built module; sets STATUS and OUT.
setuphost() {
  set +e
  OUT=$(wine "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" "$@" 2>&1)
  STATUS=$?
  set -e
}

expect_status() {
  [ "$STATUS" -eq "$1" ] || fail "${2:-run}: exit status $STATUS, expected $1; output: $OUT"
  pass
}

expect_output() {
  grep -qF -- "$1" <<<"$OUT" || fail "output lacks '$1': $OUT"
  pass
}

expect_log() {  # expect_log LOGFILE TEXT
  grep -qF -- "$2" "$1" || fail "log $1 lacks '$2': $(cat "$1" 2>/dev/null)"
  pass
}

expect_no_log() {
  if grep -qF -- "$2" "$1"; then fail "log $1 holds '$2'"; fi
  pass
}

# write_script FILE COMPONENT-DIR ROOT: a script file for one setup run.
write_script() {
  local component=$2 root=$3
  [ -n "$component" ] && component=$(winpath "$component")
  [ -n "$root" ] && root=$(winpath "$root")
  printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$component" "$root" > "$1"
}
