#!/usr/bin/env bash
# Paths at the edge of 259 characters and past it, names with bytes of 0x80 and above,
# and a module installed under a long path: every run ends in a clear, logged outcome
# and nothing is acted on under a cut-off path.
source "$(dirname "$0")/lib.sh"
from_folder() { cd "$1" && shift && "$@"; }  # runs a command from a folder
base=$(winpath "$WORK")

# root_of LENGTH: a root whose Windows path is LENGTH characters long.
root_of() { printf '%s/%s' "$WORK" "$(head -c $(($1 - ${#base} - 1)) /dev/zero | tr '\0' 'p')"; }

# Deepest sample file: content dir (root + 22) + "Kordex\articles\currents.html" (29).
root=$(root_of 208); content=$(content_of "$root")
new_root "$root"; place_packages "$root"
postcopy "$root"
expect_status 0 "deepest file at 259"
expect_content "$root"

root=$(root_of 209); content=$(content_of "$root")
new_root "$root"; place_packages "$root"
postcopy "$root"
expect_status 1 "deepest file at 260"
expect_log "$root.log" "QMT_Kordalin_001.cab: refused, the name 'Kordex\\articles\\currents.html' makes a path longer than 259 characters"
expect_there "$content/QMT_Kordalin_001.cab"
expect_gone "$content/VAlmanor.dll"

# Package paths: content dir (root + 22) + "QMT_Kordalin_000.cab" (20).
root=$(root_of 218); content=$(content_of "$root")
new_root "$root"; place_packages "$root"
postcopy "$root"
expect_status 1 "package path at 260"
expect_log "$root.log" "_BuildContentPath() QMT_Kordalin_000.cab"
for n in 000 001 002; do expect_there "$content/QMT_Kordalin_$n.cab"; done
expect_no_log "$root.log" "InstallCab()"

# Lock and marker paths: content dir + "VAlmanor.sem" (12).
for length in 225 226; do
  root=$(root_of $length); content=$(content_of "$root")
  new_root "$root"; place_packages "$root" 002
  postcopy "$root"
  if [ $length -eq 225 ]; then
    expect_status 1 "lock path at 259"   # runs, but the package's own path is too long
    expect_no_log "$root.log" "_BuildContentPath() $(winpath "$root")"
  else
    expect_status 1 "lock path at 260"
    expect_log "$root.log" "_BuildContentPath() $(winpath "$root")"
    expect_no_log "$root.log" "FileLocked"
  fi
  expect_there "$content/QMT_Kordalin_002.cab"
  expect_gone "$content/VAlmanor.sem"
done

# Bytes of 0x80 and above: the script is in the ANSI code page (1252), the tree on disk
# in the file system's encoding.
root="$WORK/Kördalin Äpfel"; content=$(content_of "$root")
new_root "$root"; place_packages "$root"
printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$(winpath "$root")" "$(winpath "$root")" |
  iconv -f UTF-8 -t CP1252 > "$root.inf"
postcopy "$root"
expect_status 0 "names with high bytes"
expect_content "$root"
expect_same "$root/WsKordalin.dll" "$content/VAlmanor.dll"

# WSKordalin from a module under a long path: fits at 259, refused past it.
for length in 259 262; do
  dir=$(root_of $((length - 15)))   # "\WSKORDALIN.DLL" is 15 characters
  root="$WORK/standalone$length"; new_root "$root"; place_packages "$root"
  mkdir -p "$dir"; cp "$WSK_BIN/WSKORDALIN.DLL" "$WSK_BIN/Corvane.dll" "$dir/"
  write_script "$dir/Kordex.inf" "$root" "$root"
  keep_status from_folder "$dir" "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$dir/WSKORDALIN.DLL")" WSKordalin x
  if [ $length -eq 259 ]; then
    expect_status 0 "module path at 259"
    expect_content "$root"
  else
    [ "$STATUS" -ne 0 ] || fail "module path at 262: $OUT"
    pass
    expect_there "$(content_of "$root")/QMT_Kordalin_000.cab"
  fi
  rm -rf "$dir"
done
echo "module path at 262: $OUT" | head -2
done_ok
