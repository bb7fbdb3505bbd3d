#!/usr/bin/env bash
# The shipped PE32 (dist/) run for real, where it may be emulated and every program start
# is dear: setuphost.exe loads dist/WSKORDALIN.DLL for a first installation from real
# cabinets, an up-to-date run and DEINSTALL, and a 32-bit program reads the module's
# version block through the version API. Run through scripts/test-pe32.sh.
WSK_SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
tools=${WSK_BIN:?run through scripts/test-pe32.sh}
export WSK_SOURCE WSK_BIN=$WSK_SOURCE/dist
source "$WSK_SOURCE/tests/e2e/lib.sh"
root="$WORK/root"; content=$(content_of "$root")
new_root "$root"

place_packages "$root"
postcopy "$root"
expect_status 0 "first installation"
expect_output "POSTCOPY returned 1"
expect_content "$root"
expect_same "$WSK_BIN/WSKORDALIN.DLL" "$content/VAlmanor.dll"
for n in 000 001 002; do expect_gone "$content/QMT_Kordalin_$n.cab"; done
echo "first installation: done"

place_packages "$root" 001
postcopy "$root"
expect_status 0 "up to date"
expect_log "$root.log" "_FindKordalin() 5.1.1.0"
expect_gone "$content/QMT_Kordalin_001.cab"
echo "up-to-date run: done"

echo "body{}" > "$root/shared/velm/main.css"
setuphost DEINSTALL "$(winpath "$root.inf")"
expect_status 0 "DEINSTALL"
expect_gone "$content"
expect_gone "$root/shared/velm/main.css"
echo "DEINSTALL: done"

expect_version_block "$WSK_BIN/WSKORDALIN.DLL" "$tools" "version block"
echo "version block: read through the version API"
done_ok
