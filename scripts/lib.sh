# Sourced by the project's scripts and tests: what they share.
#   top                          the project's folder
#   winpath PATH                 a Unix path as Wine names it
#   keep_status COMMAND...       runs COMMAND whatever its status: its output (and errors)
#                                in OUT, its status in STATUS
#   fail TEXT...                 says what failed, naming the script, and ends it
#   module_tree ROOT MODULE [CABINET...]
#                                a destination root that is its own component folder, with
#                                MODULE installed as WsKordalin.dll, the cabinets in its
#                                content folder and a script file ROOT.inf (log ROOT.log)
#   wine_retrying OWN COMMAND... keep_status for a program under Wine, run again when Wine
#                                failed it (no line of its own, matching OWN) rather than it
#   setuphost [--dry-run] EXPORT SCRIPT [TEXT]
#                                runs the module of WSK_BIN under WSK_WINE; OUT and STATUS
#   postcopy ROOT [TEXT]         POSTCOPY on the root's own script
#   pe32_wine_or_say WHAT        true where the 32-bit Wine is here; else one line saying WHAT
#                                was not run and why, and false
#   pkg_installed PACKAGE        true where Debian's package is installed
#   wine32_missing               the file where install-deps keeps apt's reason when the
#                                32-bit Wine could not be installed (read by wine32.sh)
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine32_missing=${BUILD:-$top/build}/deps/wine32.missing

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

keep_status() {
  if OUT=$("$@" 2>&1); then STATUS=0; else STATUS=$?; fi
}

fail() { echo "FAIL: $(basename "$0"): $*" >&2; exit 1; }

module_tree() {
  local root=$1 module=$2; shift 2
  mkdir -p "$root/shared/velm/kordalin"
  cp "$module" "$root/WsKordalin.dll"
  printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$(winpath "$root")" "$(winpath "$root")" > "$root.inf"
  [ $# -eq 0 ] || cp "$@" "$root/shared/velm/kordalin/"
}

# wine_retrying OWN COMMAND...: runs a program under Wine as keep_status does, and runs it
# again, twice at most and said so, after two failures of Wine's, not of the program: a
# run that failed without a line of the program's own (OWN, an extended regular
# expression) never got to start (Wine's start-up of a new process now and then fails
# before any of the program runs); and a run whose status is the Unix loader's own
# assertion as the process ended ("Inconsistency detected by ld.so", status 127: glibc's
# exit racing a library load on another of Wine's threads), which hides the status the
# program returned. A run that changed the tree before that assertion meets the tree it
# left when it runs again, and says so in its sentence.
wine_retrying() {
  local own=$1 attempt program=$2 word
  shift
  for word in "$@"; do [[ $word != *.exe ]] || { program=$(basename "$word"); break; }; done
  for attempt in 1 2 3; do
    keep_status "$@"
    if [ "$STATUS" -ne 0 ] && ! grep -qE -e "$own" <<<"$OUT"; then
      echo "$program did not start (status $STATUS${OUT:+: $OUT}); trying again" >&2
    elif [ "$STATUS" -eq 127 ] && grep -q '^Inconsistency detected by ld.so' <<<"$OUT"; then
      echo "Wine's loader failed as $program ended ($(grep '^Inconsistency' <<<"$OUT")); running it again" >&2
    else
      return 0
    fi
  done
}

setuphost() {
  local options=()
  if [ "${1:-}" = --dry-run ]; then options=(--dry-run); shift; fi
  wine_retrying ' returned |^setuphost: ' \
    "$WSK_WINE" "$WSK_BIN/setuphost.exe" "${options[@]}" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" "$@"
}

postcopy() { setuphost POSTCOPY "$(winpath "$1.inf")" "${2:-}"; }

pe32_wine_or_say() {
  local wine32 why
  { read -r wine32; read -r why; } < <(bash "$top/scripts/wine32.sh")
  [ "$wine32" = yes ] && return 0
  echo "$1: not run — $why; the PE32 was checked as a file only"
  return 1
}
