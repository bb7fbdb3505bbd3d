#!/usr/bin/env bash
# A setup killed in the middle of unpacking: the next run takes over the stale lock,
# clears the half-written staging, finishes the job, and the tree equals a clean run's.
source "$(dirname "$0")/lib.sh"

# Packages large enough that the kill lands inside the second one.
big="$WORK/big"
cp -r "$SAMPLES/." "$big/"
for i in $(seq 1 40); do seq 1 120000 | sed "s/^/line $i /" > "$big/QMT_Kordalin_001/Kordex/bulk-$i.txt"; done
made="$WORK/packages"
bash "$WSK_SOURCE/scripts/make-packages.sh" "$big" "$made"

# The tree a clean, uninterrupted run leaves.
clean="$WORK/clean"; new_root "$clean"
cp "$made"/*.cab "$(content_of "$clean")/"
postcopy "$clean"
expect_status 0 "clean run"

root="$WORK/killed"; content=$(content_of "$root")
new_root "$root"
cp "$made"/*.cab "$content/"
"$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$root.inf")" >/dev/null 2>&1 &
for _ in $(seq 1000); do grep -q 'QMT_Kordalin_000.cab: deleted' "$root.log" 2>/dev/null && break; sleep 0.01; done
# Killed outright, as by a power cut. (A Wine process killed this way can make Wine drop
# other clients that run at that moment, so this test runs alone.)
pkill -9 -f "$(basename "$WORK")\\\\killed.inf" || true
wait || true
expect_log "$root.log" "QMT_Kordalin_000.cab: deleted"
expect_no_log "$root.log" "_ExitSkript()"           # it really died mid-run
expect_there "$content/QMT_Kordalin_001.cab"
left=$(find "$content" -maxdepth 1 -name '~ck*' | wc -l)
echo "the killed run left a lock file ($( [ -e "$content/VAlmanor.sem" ] && echo yes || echo no)) and $left staging folder(s)"

postcopy "$root"
expect_status 0 "run after the kill"
expect_log "$root.log" "_ExitSkript() status 0 (success)"
diff -r "$(content_of "$clean")" "$content" >/dev/null || fail "the tree differs from a clean run's: $(diff -rq "$(content_of "$clean")" "$content" | head -5)"
pass
done_ok
