#!/usr/bin/env bash
# setuphost.exe loads the module, calls each export by name and reports the result; it
# refuses bad command lines, missing modules and missing exports with status 2.
source "$(dirname "$0")/lib.sh"

# Each export opens and closes one run with status 0 and returns 1.
write_script "$WORK/s.inf" "$WORK/elsewhere" ""
for export in POSTCOPY DEINSTALL; do
  setuphost "$export" "$(winpath "$WORK/s.inf")" "/Q"
  expect_status 0 "$export"
  expect_output "$export returned 1"
  expect_output "log: $(winpath "$WORK/s.log")"
done
[ "$(grep -c '_InitSkript() script=' "$WORK/s.log")" -eq 2 ] || fail "two runs expected: $(cat "$WORK/s.log")"
[ "$(grep -c '_ExitSkript() status 0 (success)' "$WORK/s.log")" -eq 2 ] || fail "two closings expected"
expect_log "$WORK/s.log" 'command="/Q"'
pass

# Usage and loading errors: status 2 with a message that says what was wrong.
setuphost POSTCOPY
expect_status 2 "too few arguments"; expect_output "wrong number of arguments"
setuphost FROBNICATE "$(winpath "$WORK/s.inf")"
expect_status 2 "unknown export"; expect_output "unknown export 'FROBNICATE'"
keep_status "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WORK/missing.dll")" POSTCOPY x
expect_status 2 "missing module"; expect_output "cannot load module"
keep_status "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/Corvane.dll")" POSTCOPY x
expect_status 2 "missing export"; expect_output "has no export 'POSTCOPY'"
done_ok
