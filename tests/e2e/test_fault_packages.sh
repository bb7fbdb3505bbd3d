#!/usr/bin/env bash
# Bad packages among good ones: damaged in four ways, or trying to escape the content
# directory. The ones before it are done, the bad one stays for the next run with the one
# after it, the run fails with the marker unchanged, nothing is written outside, the log
# names the real reason; once repaired, the next run completes.
source "$(dirname "$0")/lib.sh"

damage() {  # damage KIND FILE: turns a good package into a bad one of that kind
  local file=$2 size
  size=$(stat -c %s "$file")
  case $1 in
    truncated) head -c $((size / 2)) "$file" > "$file.tmp" && mv "$file.tmp" "$file" ;;
    flipped)   printf '\xff\x00\xff\x00\xff' | dd of="$file" bs=1 seek=$((size - 40)) conv=notrunc status=none ;;
    notacab)   echo "not a cabinet" > "$file" ;;
    directory) rm "$file" && mkdir "$file" ;;
    escaping)  rm "$file"
               make_cab "$file" 'Kordex/ok.html=fine' \
                 '..\..\..\..\evil.txt=escaped' 'Kordex/../../../../evil2.txt=escaped' ;;
  esac
}

for kind in truncated flipped notacab directory escaping; do
  root="$WORK/$kind"; content=$(content_of "$root")
  new_root "$root"
  cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
  place_packages "$root"
  damage "$kind" "$content/QMT_Kordalin_001.cab"
  postcopy "$root"
  expect_status 1 "$kind package"
  expect_output "POSTCOPY returned 0"
  expect_there "$content/QMT_Kordalin_001.cab"
  expect_gone "$content/QMT_Kordalin_000.cab"
  expect_there "$content/QMT_Kordalin_002.cab"
  expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
  # A block that fails its checksum yields no data: damage, not a disk that cannot be written.
  expect_no_log "$root.log" "cannot write"
  [ "$kind" != flipped ] || expect_log "$root.log" "QMT_Kordalin_001.cab: failed, damaged"
  expect_gone "$content/VAlmanor.sem"
  expect_log "$root.log" "QMT_Kordalin_001.cab: "
  expect_log "$root.log" "_ExitSkript() status 1 (failure)"
  [ -z "$(find "$WORK" -name 'evil*')" ] || fail "$kind: a file escaped: $(find "$WORK" -name 'evil*')"
  [ -z "$(find "$content" -name '~ck*')" ] || fail "$kind: staging left behind"
  pass

  # Repaired: the next run completes and the content equals a clean run's.
  rm -rf "$content/QMT_Kordalin_001.cab"
  place_packages "$root" 000 001 002
  postcopy "$root"
  expect_status 0 "$kind repaired"
  expect_content "$root"
  expect_same "$root/WsKordalin.dll" "$content/VAlmanor.dll"
done

# A damaged base package on installed content: the old content stays whole and the
# sentence says so; the packages after it wait with it. A good one replaces the content
# whole, stale pages included.
root="$WORK/damaged-base"; content=$(content_of "$root")
new_root "$root"
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
mkdir -p "$content/Kordex/old" && echo "old page" > "$content/Kordex/old/page.html"
place_packages "$root"
damage flipped "$content/QMT_Kordalin_000.cab"
before=$(cd "$content/Kordex" && find . -type f -exec md5sum {} + | sort)
postcopy "$root"
expect_status 1 "damaged base package"
expect_output "update failed: QMT_Kordalin_000.cab could not be unpacked ("
expect_output "which keeps 2 later packages back; they stay for the next run, the content is left as it was and the recorded version stays 5.1.0.9"
[ "$before" = "$(cd "$content/Kordex" && find . -type f -exec md5sum {} + | sort)" ] || fail "the old content changed"
pass
for n in 000 001 002; do expect_there "$content/QMT_Kordalin_$n.cab"; done
expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
expect_gone "$content/Kordex.old"
expect_log "$root.log" "_RestoreContent() $(winpath "$content")\\Kordex: put back as it was (QMT_Kordalin_000.cab is not in place)"

place_packages "$root" 000
postcopy "$root"
expect_status 0 "good base package"
expect_content "$root"
expect_gone "$content/Kordex/old"
done_ok
