#!/usr/bin/env bash
# The set-up on a machine where not everything can be had, without a broken mirror:
#  - apt with an index that cannot be fetched (a source nobody serves) and a local index of
#    packages that cannot be installed: the update says which index failed and goes on,
#    each package that failed is named with apt's reason, and nothing stops at the first;
#  - the 32-bit Wine treated as not to be had (WSK_WINE32=no): the targets take the path of
#    the 64-bit build and say why in one line.
# apt runs on lists of its own here, so the machine's own are left as they were.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/wsk-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT
checks=0
expect_line() {  # expect_line TEXT OUTPUT: exactly one line of OUTPUT holds TEXT
  [ "$(grep -cF -- "$1" <<<"$2")" -eq 1 ] || fail "expected one line with '$1' in: $2"
  checks=$((checks + 1))
}

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts" "$work/repo"
  printf '%s\n' "Package: wsk-unmet" "Version: 1.0" "Architecture: all" "Depends: wsk-nowhere" \
    "Filename: ./wsk-unmet_1.0_all.deb" "Size: 1" "Description: needs what no index has" "" > "$work/repo/Packages"
  { echo "deb [trusted=yes] file:$work/repo ./"; echo "deb [trusted=yes] http://127.0.0.1:9/debian nowhere main"; } \
    > "$work/sources.list"
  cat > "$work/apt.conf" <<EOF
Dir::State::Lists "$work/lists";
Dir::Cache "$work/cache";
Dir::Etc::sourcelist "$work/sources.list";
Dir::Etc::sourceparts "$work/parts";
Acquire::Retries "0";
APT::Sandbox::User "root";
EOF
  out=$(APT_CONFIG=$work/apt.conf WSK_APT_PAUSE=0 bash -c "source '$top/scripts/apt.sh' && apt_update" 2>&1) ||
    fail "the update stopped at the index it could not fetch: $out"
  expect_line "install-deps: the index http://127.0.0.1:9/debian" "$out"
  expect_line "could not be fetched in 3 tries" "$out"

  out=$(APT_CONFIG=$work/apt.conf bash -c "source '$top/scripts/apt.sh'; apt_install wsk-unmet wsk-not-there
                                          echo \"status \$? failed: \${!APT_FAILED[*]}\"" 2>&1)
  expect_line "install-deps: wsk-unmet cannot be installed: " "$out"
  expect_line "first unmet: wsk-unmet : Depends: wsk-nowhere" "$out"
  expect_line "install-deps: wsk-not-there cannot be installed: Unable to locate package wsk-not-there" "$out"
  grep -q "^status 1 failed: " <<<"$out" || fail "apt_install did not fail: $out"
  echo "apt: an index that cannot be fetched is named and passed over; each package that cannot be installed is named with apt's reason"
else
  echo "apt: not tested here (needs root and apt-get)"
fi

# The path of the 64-bit build, whatever this machine has.
export WSK_WINE32=no
why="the 32-bit Wine is set as not to be had (WSK_WINE32=no)"
out=$(bash "$top/scripts/windows-build.sh")
[ "$out" = "x64"$'\n'"$why" ] || [ "$(bash "$top/scripts/machine.sh" | head -1)" = no ] ||
  fail "windows-build.sh: $out"
checks=$((checks + 1))
if [ "$(bash "$top/scripts/machine.sh" | head -1)" = yes ]; then
  expect_line "PE32 suite: not run — $why; the PE32 was checked as a file only" \
    "$(bash "$top/scripts/windows-suite.sh" pe32 "$top/build/win32")"
  expect_line "PE32 smoke: not run — $why; the PE32 was checked as a file only" "$(bash "$top/scripts/test-pe32.sh")"
  if [ -e "$top/dist/x64/WSKORDALIN.DLL" ]; then
    demo=$(bash "$top/scripts/wine-session.sh" x64 bash "$top/scripts/demo.sh")
    expect_line "demo: 64-bit (x86_64) build under wine64, natively, from dist/x64/ ($why)" "$(grep 'demo:' <<<"$demo" | head -1)"
  fi
fi
echo "test_setup: $checks passed, 0 failed"
