#!/usr/bin/env bash
# What setuphost tells the person at the console: the outcome sentence of real runs (one
# where a package was put in place before the next one failed among them), a dry run that
# changes nothing (but the lock file it takes and releases) and predicts what the real run
# then does, and a progress line only when standard error is a terminal.
source "$(dirname "$0")/lib.sh"
root="$WORK/root"; content=$(content_of "$root")
new_root "$root"
place_packages "$root"
echo "old page" > "$content/Kordex-old.txt"
mkdir -p "$content/Kordex" && echo "stale page" > "$content/Kordex/stale.html"
touch -d '2024-01-02 03:04:05' "$content/Kordex-old.txt" "$content/Kordex/stale.html" "$content/Kordex"

# Every file with its size, time, mode and bytes; the content folder's own time moves with
# the lock file, which the extension creates and deletes also in a dry run.
snapshot() { (cd "$root" && find . -mindepth 1 ! -path ./shared/velm/kordalin -printf '%p %s %T@ %m\n' | sort &&
              find . -type f -exec md5sum {} + | sort); }
before=$(snapshot)
setuphost --dry-run POSTCOPY "$(winpath "$root.inf")"
expect_status 0 "dry run"
expect_output "POSTCOPY returned 1"
expect_output "dry run: would update the content to 5.1.1.0: 3 packages to unpack (9 files, "
[ "$before" = "$(snapshot)" ] || fail "the dry run changed the tree: $(diff <(echo "$before") <(snapshot) | head -5)"
pass
expect_log "$root.log" "QMT_Kordalin_000.cab: 5 files would be unpacked into"
expect_log "$root.log" "VAlmanor.dll: would be copied"
expect_log "$root.log" "MoveFileEx() $(winpath "$content")\\Kordex -> $(winpath "$content")\\Kordex.old: would be moved"
predicted=$(grep -o 'would be unpacked into' "$root.log" | wc -l)

# The real run does what the dry run said.
postcopy "$root"
expect_status 0 "first installation"
expect_output "content updated to 5.1.1.0: 3 packages unpacked (9 files, "
[ "$(grep -cE ' files? unpacked into' "$root.log")" -eq "$predicted" ] || fail "the real run unpacked other packages"
pass
rm "$content/Kordex-old.txt"
expect_content "$root"   # the base package replaced Kordex whole: the stale page went

place_packages "$root" 001
postcopy "$root"
expect_output "content already at 5.1.1.0: 1 package deleted, nothing unpacked"

# A held content file: the dry run foresees the failure the real run then meets.
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
place_packages "$root" 001
hold_lock "$content/Kordex/articles/currents.html" viewer
setuphost --dry-run POSTCOPY "$(winpath "$root.inf")"
expect_status 1 "dry run, held file"
expect_output "dry run: the update would fail: QMT_Kordalin_001.cab could not be unpacked (cannot replace"
postcopy "$root"
release_lock "$content/Kordex/articles/currents.html"
expect_status 1 "held file"
expect_output "update failed: QMT_Kordalin_001.cab could not be unpacked (cannot replace"
expect_output "it stays for the next run, the content is left as it was and the recorded version stays 5.1.0.9"

# A package put in place before the one a held file stops: the sentence says what this run
# changed, not that the content stayed as it was.
place_packages "$root" 002
hold_lock "$content/Kordex/index/terms.txt" viewer
postcopy "$root"
release_lock "$content/Kordex/index/terms.txt"
expect_status 1 "held file after a package in place"
expect_output "update failed: QMT_Kordalin_002.cab could not be unpacked (cannot replace"
expect_output "it stays for the next run. Unpacked so far: 1 package (2 files, "
expect_output "the recorded version stays 5.1.0.9 until every package is in place"
if grep -q "left as it was\|content stays" <<<"$OUT"; then fail "the sentence says the content stayed: $OUT"; fi
pass

hold_lock "$content/VAlmanor.sem"
postcopy "$root"
release_lock "$content/VAlmanor.sem"
expect_output "another setup holds the content lock in $(winpath "$content")\\: nothing changed; run again later"
postcopy "$root" diag
expect_output "the command text holds a stop word: nothing done"

# A folder where the marker goes: the version cannot be recorded, which the sentence says
# with the reason, promising nothing that no run will do.
rm "$content/VAlmanor.dll" && mkdir "$content/VAlmanor.dll"
postcopy "$root"
expect_status 1 "a folder where the marker goes"
expect_output "the version 5.1.1.0 could not be recorded (a folder of that name is in the way); run the update again once that is mended"
rmdir "$content/VAlmanor.dll" && cp "$root/WsKordalin.dll" "$content/VAlmanor.dll"

# Progress: on a terminal a line per package that is rewritten in place; none in a file.
printf '#!/bin/sh\nexec "%s" "%s" "%s" POSTCOPY "%s"\n' "$WSK_WINE" "$WSK_BIN/setuphost.exe" \
  "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" "$(winpath "$root.inf")" > "$WORK/run.sh"
rm "$content/VAlmanor.dll"; place_packages "$root"
script -q -c "sh $WORK/run.sh" /dev/null > "$WORK/terminal.out" 2>&1
grep -q 'package 1: QMT_Kordalin_000.cab 100% (5 of 5 files)' <(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$WORK/terminal.out") ||
  fail "no progress on a terminal: $(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$WORK/terminal.out" | tr '\r' '\n' | head -5)"
pass
rm "$content/VAlmanor.dll"; place_packages "$root"
sh "$WORK/run.sh" > "$WORK/file.out" 2>&1
if grep -q 'package 1' "$WORK/file.out"; then fail "progress written to a file"; fi
pass

setuphost DEINSTALL "$(winpath "$root.inf")"
expect_output "content removed: $(winpath "$content")"
done_ok
