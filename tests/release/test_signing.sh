#!/usr/bin/env bash
# A release signed with a throw-away self-signed certificate (made here with openssl):
# every .exe and .dll carries an Authenticode signature that verifies against it, and the
# signed binaries still work: the module loads, a first installation from real cabinets
# completes, and its version block reads through the version API. The signed PE32 runs
# where it can (scripts/windows-build.sh); elsewhere the signed 64-bit build runs, and the
# signed PE32 is checked as a file and its version block read by a 64-bit process. Run
# through scripts/wine-session.sh.
source "$(dirname "$0")/../../scripts/lib.sh"
: "${WSK_BUILD_KIND:?run through scripts/wine-session.sh}"
tools=$WSK_BIN
if ! command -v osslsigncode >/dev/null || ! command -v openssl >/dev/null; then
  echo "release signing: not tested — osslsigncode (or openssl) could not be installed here"; exit 0
fi
export WSK_SOURCE=$top
source "$top/tests/e2e/lib.sh"

keys=$WORK/keys; mkdir -p "$keys"
echo "throw-away" > "$keys/pass"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/key.pem" -out "$keys/cert.pem" -days 2 \
  -subj "/CN=Kordalin test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/signer.pfx" \
  -passout "file:$keys/pass" 2>/dev/null
RELEASE_DIR=$WORK/release BUILD=$WORK/build SIGN_PFX=$keys/signer.pfx SIGN_PASS_FILE=$keys/pass \
  bash "$top/scripts/release.sh" >/dev/null || fail "the signed release could not be made"
(cd "$WORK" && unzip -q release/wskordalin-*[0-9].zip)
shipped=$(echo "$WORK"/wskordalin-*[0-9])
grep -q "^Signed: yes" "$WORK/release/MANIFEST.md" || fail "the manifest does not say the release is signed"
pass

for binary in "$shipped"/*.DLL "$shipped"/*.dll "$shipped"/*.exe "$shipped"/x64/*; do
  OUT=$(osslsigncode verify -CAfile "$keys/cert.pem" -in "$binary" 2>&1) ||
    fail "$(basename "$binary"): the signature does not verify: $(tail -3 <<<"$OUT")"
  expect_output "Signature verification: ok"
done
echo "signatures: every .exe and .dll verifies against the throw-away certificate"

# The signed build of this machine's kind runs a first installation.
run_kind=$WSK_BUILD_KIND
WSK_BIN=$shipped; [ "$run_kind" = x64 ] && WSK_BIN=$shipped/x64
root="$WORK/root"
new_root "$root"; place_packages "$root"
postcopy "$root"
expect_status 0 "first installation with the signed $run_kind build"
expect_output "POSTCOPY returned 1"
expect_content "$root"
echo "the signed $run_kind build: a first installation done"

# The signed PE32's version block, through the version API of this machine's Windows build.
expect_version_block "$shipped/WSKORDALIN.DLL" "$tools" "version block of the signed PE32"
if [ "$run_kind" = x64 ]; then
  facts=$(bash "$top/scripts/pe-facts.sh" "$shipped/WSKORDALIN.DLL")
  grep -qx "machine: i386" <<<"$facts" && grep -qx "exports: DEINSTALL POSTCOPY WSKordalin" <<<"$facts" ||
    fail "the signed PE32 as a file: $facts"
  pass
  echo "the signed PE32: checked as a file ($(bash "$top/scripts/windows-build.sh" | sed -n 2p)), its version block read"
else
  echo "the signed PE32: loaded, a first installation done, its version block read"
fi
done_ok
