#!/usr/bin/env bash
# POSTCOPY on real trees with real cabinets: first installation, the up-to-date path,
# a damaged package and its repair, a held lock, stop words and an empty root.
source "$(dirname "$0")/lib.sh"
root="$WORK/root"; content=$(content_of "$root")
new_root "$root"

# First installation (no marker): every package in order, none left, marker = module.
place_packages "$root"
echo "stale page" > "$content/Kordex-old.txt"
mkdir -p "$content/Kordex/obsolete" && echo old > "$content/Kordex/obsolete/page.html"
postcopy "$root"
expect_status 0 "first installation"
expect_output "POSTCOPY returned 1"
for n in 000 001 002; do expect_gone "$content/QMT_Kordalin_$n.cab"; done
expect_gone "$content/Kordex/obsolete"          # the base package cleared Kordex first
expect_there "$content/Kordex-old.txt"          # ... and only Kordex
rm "$content/Kordex-old.txt"
expect_content "$root"
expect_same "$root/WsKordalin.dll" "$content/VAlmanor.dll"
expect_gone "$content/VAlmanor.sem"
expect_no_log "$root.log" "_FindKordalin()"
expect_log "$root.log" "_ExitSkript() status 0 (success)"

# Second run with newly placed packages: up to date, logged with 5.1.1.0, packages deleted.
place_packages "$root" 001 002
: > "$root.log"
postcopy "$root"
expect_status 0 "up to date"
expect_log "$root.log" "_FindKordalin() 5.1.1.0"
expect_gone "$content/QMT_Kordalin_001.cab"
expect_gone "$content/QMT_Kordalin_002.cab"
expect_content "$root"

# Older content and a damaged package among good ones: result 0, marker kept, the bad
# one left and the one after it waiting for it; once repaired, the next run completes.
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
place_packages "$root"
head -c 200 "$WORK/packages/QMT_Kordalin_001.cab" > "$content/QMT_Kordalin_001.cab"
: > "$root.log"
postcopy "$root"
expect_status 1 "damaged package"
expect_output "POSTCOPY returned 0"
expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
expect_there "$content/QMT_Kordalin_001.cab"
expect_gone "$content/QMT_Kordalin_000.cab"
expect_there "$content/QMT_Kordalin_002.cab"
expect_log "$root.log" "_KeepPackage() $(winpath "$content")\\QMT_Kordalin_002.cab: not unpacked, it stays for the next run to follow QMT_Kordalin_001.cab"
expect_log "$root.log" "_ExitSkript() status 1 (failure)"
expect_log "$root.log" "InstallCab() $(winpath "$content")\\QMT_Kordalin_001.cab: failed"
expect_gone "$content/VAlmanor.sem"
place_packages "$root" 000 001 002
postcopy "$root"
expect_status 0 "after repair"
expect_content "$root"
expect_same "$root/WsKordalin.dll" "$content/VAlmanor.dll"

# A lock file held by another process: refused, logged with the content directory, and
# nothing changes.
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
place_packages "$root" 001
hold_lock "$content/VAlmanor.sem"
: > "$root.log"
postcopy "$root"
release_lock "$content/VAlmanor.sem"
rm -f "$content/VAlmanor.sem"
expect_status 0 "lock held elsewhere"
expect_log "$root.log" "_FindAlmanorSemaphore() $(winpath "$content")\\"
expect_there "$content/QMT_Kordalin_001.cab"
expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"

# Stop words stop the update, in any case; "news" too.
for text in DIAG netmode -ws news; do
  : > "$root.log"
  postcopy "$root" "$text"
  expect_status 0 "stop word $text"
  expect_there "$content/QMT_Kordalin_001.cab"
  [ "$(wc -l < "$root.log")" -eq 2 ] || fail "stop word $text: more than open and close: $(cat "$root.log")"
done

# An empty destination root: logged, nothing written relative to the working directory.
write_script "$WORK/noroot.inf" "$root" ""
(cd "$WORK" && setuphost POSTCOPY "$(winpath "$WORK/noroot.inf")")
expect_status 0 "empty root"
expect_log "$WORK/noroot.log" "_FindDestinationRoot() empty: shared content left alone"
expect_gone "$WORK/shared"
done_ok
