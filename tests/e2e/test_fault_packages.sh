#!/usr/bin/env bash
# Bad packages among good ones: damaged in four ways, or trying to escape the content
# directory. The good ones are done, the bad one stays for the next run, the run fails
# with the marker unchanged, nothing is written outside; once repaired, the next run
# completes.
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
               "$WSK_WINE" "$WSK_BIN/make_cab.exe" "$(winpath "$file")" 'Kordex/ok.html=fine' \
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
  expect_gone "$content/QMT_Kordalin_002.cab"
  expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
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
done_ok
