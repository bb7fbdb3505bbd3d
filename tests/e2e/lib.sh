# Shared by the whole-run tests: a scratch tree per test, setuphost.exe under Wine, and
# checks that say what was expected. Sourced, not run.
set -euo pipefail
: "${WSK_BIN:?WSK_BIN names the folder of the built programs}"
: "${WSK_SOURCE:?WSK_SOURCE names the source tree}"
source "$WSK_SOURCE/scripts/lib.sh"
export WINEDEBUG=${WINEDEBUG:--all}
# The Wine loader of the build under test (its test environment names it).
export WSK_WINE=${WSK_WINE:-wine}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/wsk-e2e.XXXXXX")
# A command that fails under set -e says where, rather than ending the test silently; also
# inside a function (errtrace), where bash would otherwise end the test without a word.
set -o errtrace
trap 'failed_status=$?; echo "FAIL: $(basename "$0"): line $LINENO${FUNCNAME:+ (in ${FUNCNAME[0]})}: a command failed (status $failed_status)" >&2' ERR
# WSK_KEEP=1 keeps the scratch tree for a look after a failure.
trap '[ -n "${WSK_KEEP:-}" ] || rm -rf "$WORK"' EXIT
checks=0

pass() { checks=$((checks + 1)); }
done_ok() { echo "$(basename "$0"): ${checks} passed, 0 failed"; }

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

# make_cab FILE NAME=CONTENT...: an uncompressed cabinet holding each NAME exactly as given.
make_cab() {
  wine_retrying '^make_cab\.exe: ' "$WSK_WINE" "$WSK_BIN/make_cab.exe" "$(winpath "$1")" "${@:2}"
  [ "$STATUS" -eq 0 ] || fail "make_cab.exe could not make $1 (status $STATUS): $OUT"
}

# --- A destination tree for the update -------------------------------------------------
SAMPLES="$WSK_SOURCE/samples/content"

content_of() { echo "$1/shared/velm/kordalin"; }

# new_root ROOT: a destination root that is its own component directory, with the module
# installed as WsKordalin.dll and a script file ROOT.inf (log ROOT.log).
new_root() { module_tree "$1" "$WSK_BIN/WSKORDALIN.DLL"; }

# place_packages ROOT [NUMBER...]: the sample packages (all by default) in the content dir.
place_packages() {
  local root=$1; shift
  local made="$WORK/packages"
  [ -d "$made" ] || bash "$WSK_SOURCE/scripts/make-packages.sh" "$SAMPLES" "$made"
  if [ $# -eq 0 ]; then set -- 000 001 002; fi
  for n in "$@"; do cp "$made/QMT_Kordalin_$n.cab" "$(content_of "$root")/"; done
}

# expected_content DIR: what the content directory holds after all sample packages.
expected_content() {
  mkdir -p "$1"
  for n in 000 001 002; do cp -r "$SAMPLES/QMT_Kordalin_$n/." "$1/"; done
}

# expect_content ROOT: the unpacked content equals the samples, with the marker beside it.
expect_content() {
  local expected="$WORK/expected"
  [ -d "$expected" ] || expected_content "$expected"
  diff -r -x VAlmanor.dll -x 'QMT_Kordalin_*.cab' "$expected" "$(content_of "$1")" >/dev/null ||
    fail "content of $1 differs: $(diff -r -x VAlmanor.dll "$expected" "$(content_of "$1")" | head -5)"
  pass
}

expect_gone() { [ ! -e "$1" ] || fail "$1 should be gone"; pass; }
expect_there() { [ -e "$1" ] || fail "$1 should be there"; pass; }
expect_same() { cmp -s "$1" "$2" || fail "$1 differs from $2"; pass; }

# hold_lock FILE [viewer] / release_lock FILE: another process holds FILE open the way a
# lock holder does (or, with "viewer", a program showing it), until released.
hold_lock() {
  "$WSK_WINE" "$WSK_BIN/lock_holder.exe" "$(winpath "$1")" ${2:+"$2"} &
  HOLDER=$!
  for _ in $(seq 500); do [ -e "$1.held" ] && break; sleep 0.02; done
  [ -e "$1.held" ] || fail "the lock holder did not take $1"
}
release_lock() {
  touch "$1.release"
  # It held the file (checked when taken); how Wine ends it afterwards does not count.
  wait "$HOLDER" || echo "release_lock: the holder of $1 ended with status $?" >&2
  rm -f "$1.held" "$1.release"
}

# expect_version_block DLL TOOLS WHAT: every field of the module's version block, read
# through the version API by TOOLS/module_tests.exe.
expect_version_block() {
  wine_retrying '^\[==========\] ' \
    env WSK_MODULE="$(winpath "$1")" "$WSK_WINE" "$2/module_tests.exe" --gtest_filter='VersionBlock.*'
  expect_status 0 "$3"
  expect_output "[  PASSED  ] 2 tests."
}

