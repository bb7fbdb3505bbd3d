#!/usr/bin/env bash
# release.sh: makes the release (make release) from a clean build of both Windows builds:
#   release/wskordalin-VERSION.zip        what ships: the PE32 product, x64/, Kordex.inf and
#                                          the README's user part with docs/using.md and
#                                          docs/behaviour.md, every binary stripped
#   release/wskordalin-VERSION-debug.zip  the debug information of each binary, which names
#                                          its file (a GNU debug link) so that a debugger finds it
#   release/MANIFEST.md                   each binary's file version, size, SHA-256, machine,
#                                          exports, imports and hardening
#   release/SHA256SUMS                    of the two archives and the manifest
# The same commit gives the same bytes in any folder at any time: every time stamp is the
# commit's (SOURCE_DATE_EPOCH, when set, instead), no path of the machine is in what ships,
# and the archives list their files in one order. A binary without ASLR or DEP (or, in the
# PE32, without its statement on exception handlers), or with a section both writable and
# executable, fails the release.
# Signing, with a certificate of your own: SIGN_PFX=FILE.pfx SIGN_PASS_FILE=FILE, or
# SIGN_CERT=FILE.pem SIGN_KEY=FILE.pem (SIGN_PASS_FILE when the key is encrypted). Every
# .exe and .dll is signed with Authenticode (SHA-256), before the checksums are taken;
# there is no time-stamping server, so the signature carries the commit's time.
# RELEASE_DIR (default release/) and BUILD say where the release and its builds go.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=${RELEASE_DIR:-$top/release}
builds=${BUILD:-$top/build}/release
binaries=(WSKORDALIN.DLL Corvane.dll setuphost.exe)

commit=${WSK_RELEASE_COMMIT:-$(git -C "$top" rev-parse HEAD 2>/dev/null || echo unknown)}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || { echo "release: no commit to take the time from: set SOURCE_DATE_EPOCH" >&2; exit 2; }
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release: NOTE: the tree has uncommitted changes; the release is not commit $commit alone" >&2
  commit="$commit+changes"
fi
signing=no
if [ -n "${SIGN_PFX:-}" ] || [ -n "${SIGN_CERT:-}" ]; then signing=yes; fi
if [ $signing = yes ] && ! command -v osslsigncode >/dev/null; then
  echo "release: signing needs osslsigncode (Debian package osslsigncode)" >&2; exit 2
fi

# --- Clean builds of what ships -------------------------------------------------------
build() {  # build win32|win64 TOOLCHAIN
  echo "release: building $1 from scratch in $builds/$1"
  rm -rf "${builds:?}/$1"
  cmake -S "$top" -B "$builds/$1" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$builds/$1" -j"$(nproc)" --target WSKORDALIN Corvane setuphost >/dev/null
}
build win32 i686-w64-mingw32
build win64 x86_64-w64-mingw32

version=$(bash "$top/scripts/pe-facts.sh" "$builds/win32/bin/WSKORDALIN.DLL" | sed -n 's/^file version: //p')
name=wskordalin-$version
stage=$builds/stage
rm -rf "$stage" "$out"
mkdir -p "$stage/$name/x64" "$stage/$name-debug/x64" "$out"

# --- Stripped binaries, each with a link to its debug file ----------------------------
sign() {  # sign FILE
  local key=()
  if [ -n "${SIGN_PFX:-}" ]; then key=(-pkcs12 "$SIGN_PFX"); else key=(-certs "$SIGN_CERT" -key "$SIGN_KEY"); fi
  [ -z "${SIGN_PASS_FILE:-}" ] || key+=(-readpass "$SIGN_PASS_FILE")
  osslsigncode sign "${key[@]}" -h sha256 -n "Kordalin content setup extension" -time "$SOURCE_DATE_EPOCH" \
    -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
declare -A facts  # each shipped binary's scripts/pe-facts.sh lines, by its path in the archive
ship() {  # ship win32|win64 TRIPLE SUBFOLDER
  local file from product debug
  for file in "${binaries[@]}"; do
    from=$builds/$1/bin/$file product=$stage/$name/$3$file debug=$stage/$name-debug/$3$file.debug
    "$2-objcopy" --only-keep-debug "$from" "$debug"
    "$2-strip" --strip-all -o "$product" "$from"
    "$2-objcopy" --add-gnu-debuglink="$debug" "$product"
    [ $signing = no ] || sign "$product"
    facts[$3$file]=$(bash "$top/scripts/pe-facts.sh" --check "$product")
  done
}
ship win32 i686-w64-mingw32 ""
ship win64 x86_64-w64-mingw32 x64/
cp "$top/samples/Kordex.inf" "$stage/$name/"
# For the people who use the product: the README's part between its two markers, how to
# use it and how it behaves.
{ sed -n '/<!-- user part -->/,/<!-- end of the user part -->/p' "$top/README.md" | sed '1d;$d'
  cat "$top/docs/using.md" "$top/docs/behaviour.md"; } > "$stage/$name/README.txt"

# --- Manifest -------------------------------------------------------------------------
fact() { sed -n "s/^$1: //p" <<<"$2"; }
shipped=("${binaries[@]}" "${binaries[@]/#/x64/}")
{
  echo "# $name"
  echo
  echo "Commit $commit, built $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') (the commit's time)."
  echo "Signed: $([ $signing = yes ] && echo "yes, Authenticode SHA-256, no time stamp" || echo "no")."
  echo
  echo "| file | file version | size | SHA-256 | machine | exports | imports | hardening | writable+executable |"
  echo "|---|---|---|---|---|---|---|---|---|"
  for file in "${shipped[@]}"; do
    path=$stage/$name/$file info=${facts[$file]}
    exports=$(fact exports "$info")
    count=$(wc -w <<<"$exports")
    [ "$count" -le 3 ] || exports="$count, listed below"
    echo "| $file | $(fact 'file version' "$info") | $(stat -c %s "$path") | \`$(sha256sum "$path" | cut -c1-64)\` |" \
         "$(fact machine "$info") | ${exports:--} | $(fact imports "$info") | $(fact hardening "$info") |" \
         "$(fact 'writable and executable sections' "$info") |"
  done
  for file in "${shipped[@]}"; do
    exports=$(fact exports "${facts[$file]}")
    [ "$(wc -w <<<"$exports")" -gt 3 ] || continue
    printf '\nExports of %s: %s\n' "$file" "$exports"
  done
} > "$out/MANIFEST.md"

# --- Archives: one order, one time, one mode for every entry --------------------------
pack() {  # pack FOLDER (below the stage) ARCHIVE
  (cd "$stage" &&
   find "$1" -type d -exec chmod 755 {} + && find "$1" -type f -exec chmod 644 {} + &&
   find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} + &&
   find "$1" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q "$2" -@)
}
pack "$name" "$out/$name.zip"
pack "$name-debug" "$out/$name-debug.zip"
(cd "$out" && sha256sum "$name.zip" "$name-debug.zip" MANIFEST.md > SHA256SUMS)
rm -rf "$stage"
echo "release: $out: $(cd "$out" && ls | tr '\n' ' ')"
cat "$out/SHA256SUMS"
