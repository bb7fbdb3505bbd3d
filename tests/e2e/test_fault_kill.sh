#!/usr/bin/env bash
# A setup killed in the middle of unpacking, and one killed in the middle of committing a
# package (some files replaced, some set aside): the next run takes over the stale lock,
# clears the staging, finishes the job, and the tree equals a clean run's.
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

# --- Killed in the middle of a commit -------------------------------------------------
# A package of 4,000 pages replacing an earlier version of each: its commit sets every old
# page aside and moves the new one in, long enough to be killed in between.
many="$WORK/many"; pages="$many/QMT_Kordalin_001/Kordex/many"
for folder in $(seq 0 9); do
  mkdir -p "$pages/$folder"
  for page in $(seq 0 399); do echo "new page $folder/$page" > "$pages/$folder/p$page.html"; done
done
bash "$WSK_SOURCE/scripts/make-packages.sh" "$many" "$WORK/many-cab"
order=$(cd "$many/QMT_Kordalin_001" && find . -type f -printf '%P\n' | sort)
first=$(head -1 <<<"$order"); last=$(tail -1 <<<"$order")

old_tree() {  # old_tree ROOT: every page in its earlier version, marker 5.1.0.9, package placed
  new_root "$1"
  local content; content=$(content_of "$1")
  cp -r "$many/QMT_Kordalin_001/." "$content/"
  find "$content/Kordex" -type f -exec sed -i 's/^new/old/' {} +
  cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
  cp "$WORK/many-cab/QMT_Kordalin_001.cab" "$content/"
}
clean="$WORK/clean-commit"; old_tree "$clean"
postcopy "$clean"
expect_status 0 "clean commit"

landed=no
for attempt in 1 2 3 4 5; do
  root="$WORK/killed-commit"; content=$(content_of "$root")
  rm -rf "$root" "$root.log"; old_tree "$root"
  "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$root.inf")" >/dev/null 2>&1 &
  # The first page stops being the old one (set aside, or already new): the commit runs.
  for _ in $(seq 3000); do grep -qs '^old' "$content/$first" || break; sleep 0.005; done
  pkill -9 -f "$(basename "$WORK")\\\\killed-commit.inf" || true
  wait || true
  if grep -qs '^old' "$content/$last" && ! grep -qs '^old' "$content/$first"; then landed=yes; break; fi
done
[ "$landed" = yes ] || fail "the kill never landed inside a commit in 5 attempts"
pass
echo "killed inside the commit (attempt $attempt): $(grep -rl '^new' "$content/Kordex" | wc -l) pages new," \
     "$(grep -rl '^old' "$content/Kordex" | wc -l) old, $(( $(wc -l <<<"$order") - $(find "$content/Kordex" -type f | wc -l) )) set aside"
# The same tree copied elsewhere (restored from a backup, say): the copied journal names
# folders that are not these, so the commit cannot be told apart and is left alone, and
# the run says so and fails, naming what lets the next one go on.
copy="$WORK/copied"
cp -a "$root" "$copy"
printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$(winpath "$copy")" "$(winpath "$copy")" > "$copy.inf"
sums() { (cd "$1" && find . -type f | sort | xargs md5sum); }
before=$(sums "$copy")
postcopy "$copy"
expect_status 1 "a copied tree with a stopped commit"
expect_output "could not be settled (the folder was copied or moved since that setup stopped"
expect_output "and run the update again, which unpacks the packages still there"
[ "$before" = "$(sums "$copy")" ] ||
  fail "the run changed the copied tree"
pass

postcopy "$root"
expect_status 0 "run after the kill inside a commit"
expect_output "the unfinished commit of a setup that was stopped was rolled back first; content updated to 5.1.1.0"
diff -r "$(content_of "$clean")" "$content" >/dev/null ||
  fail "the tree differs from a clean run's: $(diff -rq "$(content_of "$clean")" "$content" | head -5)"
pass
done_ok
