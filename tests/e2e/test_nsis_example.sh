#!/usr/bin/env bash
# The NSIS example (examples/nsis/) as a setup engineer uses it: built with makensis for
# both builds, and the installer of the build under test run silently under its Wine.
# After the install the content is there at the module's version with the packages gone;
# a damaged package fails the install with status 2 and the old version stays recorded;
# after the uninstall the content and the component's files are gone.
source "$(dirname "$0")/lib.sh"
command -v makensis >/dev/null || fail "makensis is missing (make test installs it: scripts/install-deps.sh test)"
packages="$WORK/packages"
bash "$WSK_SOURCE/scripts/make-packages.sh" "$SAMPLES" "$packages"

# installer KIND: builds the example's installer of one build from that build's binaries.
installer() {
  local dist=$WSK_BIN/../../win32/bin
  [ "$1" = x64 ] && dist=$WSK_BIN/../../win64/bin
  [ "$1" = "$WSK_MODULE_KIND" ] && dist=$WSK_BIN
  makensis -V1 -DKIND="$1" -DDIST="$dist" -DPACKAGES="$packages" -DOUTFILE="$WORK/setup-$1.exe" \
    "$WSK_SOURCE/examples/nsis/kordalin.nsi" || fail "makensis could not build the $1 installer"
  pass
}
installer pe32
installer x64

dir="$WORK/Velm"; content=$(content_of "$dir")
keep_status "$WSK_WINE" "$WORK/setup-$WSK_MODULE_KIND.exe" /S "/D=$(winpath "$dir")"
expect_status 0 "silent install"
expect_content "$dir"
expect_same "$WSK_BIN/WSKORDALIN.DLL" "$content/VAlmanor.dll"
[ -z "$(find "$content" -maxdepth 1 -name '*.cab')" ] || fail "packages left after the install: $(ls "$content")"
pass
expect_log "$dir/Kordex.log" "_ExitSkript() status 0 (success)"

# Installed again over it with a damaged package: POSTCOPY fails, so does the installer.
head -c 300 "$packages/QMT_Kordalin_001.cab" > "$WORK/cut.cab"
cp "$WORK/cut.cab" "$packages/QMT_Kordalin_001.cab"
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
installer "$WSK_MODULE_KIND"
keep_status "$WSK_WINE" "$WORK/setup-$WSK_MODULE_KIND.exe" /S "/D=$(winpath "$dir")"
expect_status 2 "install with a damaged package"
expect_log "$dir/Kordex.log" "QMT_Kordalin_001.cab: failed,"
expect_there "$content/QMT_Kordalin_001.cab"
expect_same "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"

# The uninstaller run in place (_?=), so that it ends when it is done.
keep_status "$WSK_WINE" "$dir/Uninstall.exe" /S "_?=$(winpath "$dir")"
expect_status 0 "silent uninstall"
expect_gone "$dir/shared/velm/kordalin"
for file in WSKORDALIN.DLL Corvane.dll Kordex.inf Kordex.log; do expect_gone "$dir/$file"; done
done_ok
