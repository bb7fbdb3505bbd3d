#!/usr/bin/env bash
# Two setups started at the same moment on the same tree, again and again: every run
# ends, the tree equals a clean run's, and the log tells what each run did.
source "$(dirname "$0")/lib.sh"
rounds=${WSK_CONCURRENT_ROUNDS:-30}

clean="$WORK/clean"; new_root "$clean"; place_packages "$clean"
postcopy "$clean"
expect_status 0 "clean run"

for round in $(seq "$rounds"); do
  root="$WORK/round$round"; content=$(content_of "$root")
  new_root "$root"; place_packages "$root"
  for side in a b; do
    wine "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$root.inf")" \
      > "$root.$side.out" 2>&1 &
  done
  wait
  for side in a b; do grep -q "POSTCOPY returned 1" "$root.$side.out" || fail "round $round $side: $(cat "$root.$side.out")"; done
  diff -r "$(content_of "$clean")" "$content" >/dev/null || fail "round $round: the tree differs from a clean run's"
  # Exactly one run unpacked; the other was refused or found the content up to date.
  [ "$(grep -c 'QMT_Kordalin_000.cab: 5 files unpacked' "$root.log")" -eq 1 ] || fail "round $round: $(cat "$root.log")"
  [ "$(grep -c '_ExitSkript() status 0' "$root.log")" -eq 2 ] || fail "round $round: $(cat "$root.log")"
  grep -qE '_FindAlmanorSemaphore\(\)|_FindKordalin\(\)' "$root.log" || fail "round $round: the second run is silent"
  pass
done
echo "$(grep -l '_FindAlmanorSemaphore()' "$WORK"/round*.log 2>/dev/null | wc -l) of $rounds rounds saw the other setup hold the lock"
done_ok
