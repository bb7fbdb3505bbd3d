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

# The tests' own runner of Wine programs: a start Wine dropped (a failure without a line of
# the program's own) and the Unix loader's assertion as the program ended are run again
# and said so.
for how in dropped loader; do
  # A Wine loader that fails the first two starts that way, then runs the program.
  cat > "$WORK/flaky-wine" <<EOF
#!/usr/bin/env bash
n=\$(( \$(cat "$WORK/starts" 2>/dev/null || echo 0) + 1 )); echo \$n > "$WORK/starts"
if [ \$n -le 2 ]; then
  [ $how = dropped ] && exit 1
  echo "Inconsistency detected by ld.so: dl-open.c: 943: _dl_open: Assertion failed"; exit 127
fi
exec "$WSK_WINE" "\$@"
EOF
  chmod +x "$WORK/flaky-wine"; rm -f "$WORK/starts"
  (WSK_WINE=$WORK/flaky-wine make_cab "$WORK/$how.cab" 'a.txt=a') 2> "$WORK/said"
  [ -s "$WORK/$how.cab" ] && [ "$(cat "$WORK/starts")" -eq 3 ] || fail "$how twice: not made on the third start"
  [ "$(grep -c -e 'make_cab.exe did not start' -e 'failed as make_cab.exe ended' "$WORK/said")" -eq 2 ] ||
    fail "$how twice: each retry should be said: $(cat "$WORK/said")"
  pass
done

# A command that fails inside a function ends the test with its line, not silently.
printf 'source %q\nquietly_failing() { false; }\nquietly_failing\n' "$WSK_SOURCE/tests/e2e/lib.sh" > "$WORK/silent.sh"
keep_status bash "$WORK/silent.sh"
expect_status 1 "a failure inside a function"
expect_output "silent.sh: line 2 (in quietly_failing): a command failed (status 1)"
done_ok
