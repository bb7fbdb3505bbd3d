#!/usr/bin/env bash
# Two setups started at the same moment on the same tree, again and again: every run
# ends, the tree equals a clean run's, and the log tells what each run did.
source "$(dirname "$0")/lib.sh"
rounds=${WSK_CONCURRENT_ROUNDS:-30}

clean="$WORK/clean"; new_root "$clean"; place_packages "$clean"
postcopy "$clean"
expect_status 0 "clean run"

# race ROOT: both setups at once on a fresh tree.
race() {
  rm -rf "$1" "$1.log"
  new_root "$1"; place_packages "$1"
  for side in a b; do
    "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$1.inf")" \
      > "$1.$side.out" 2>&1 &
  done
  wait
}

for round in $(seq "$rounds"); do
  root="$WORK/round$round"; content=$(content_of "$root")
  race "$root"
  # Very rarely (about once in a thousand runs here) Wine's server drops a client: that
  # is Wine's fault, not the product's, and the round is run again.
  if cat "$root".?.out | grep -q "wine client error"; then
    echo "round $round: Wine dropped a client ($(cat "$root".?.out | grep -m1 'wine client error')); running it again"
    race "$root"
  fi
  for side in a b; do grep -q "POSTCOPY returned 1" "$root.$side.out" || fail "round $round $side: $(cat "$root.$side.out")"; done
  diff -r "$(content_of "$clean")" "$content" >/dev/null || fail "round $round: the tree differs from a clean run's"
  # Exactly one run unpacked; the other was refused or found the content up to date.
  [ "$(grep -c 'QMT_Kordalin_000.cab: 5 files unpacked' "$root.log")" -eq 1 ] || fail "round $round: $(cat "$root.log")"
  [ "$(grep -c '_ExitSkript() status 0' "$root.log")" -eq 2 ] || fail "round $round: $(cat "$root.log")"
  grep -qE '_FindAlmanorSemaphore\(\)|_FindKordalin\(\)' "$root.log" || fail "round $round: the second run is silent"
  # Both runs' entries are whole lines: none overwritten or interleaved.
  [ "$(grep -cvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:.]{12} \[[0-9]+\] [^ ]+\(\) ' "$root.log")" -eq 0 ] ||
    fail "round $round: a broken log line: $(cat "$root.log")"
  [ "$(grep -c '_InitSkript() script=' "$root.log")" -eq 2 ] || fail "round $round: $(cat "$root.log")"
  pass
done
echo "$(grep -l '_FindAlmanorSemaphore()' "$WORK"/round*.log 2>/dev/null | wc -l) of $rounds rounds saw the other setup hold the lock"
done_ok
