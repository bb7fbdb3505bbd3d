#!/usr/bin/env bash
# Two releases of the same commit, made in two clones in two folders at two times, are
# the same to the byte (archives, manifest, SHA256SUMS, and so every binary and debug
# file in them); no path of either folder is in anything they hold, and every binary's
# time stamp is the commit's.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
if ! git -C "$top" rev-parse HEAD >/dev/null 2>&1; then
  echo "release reproducible: not tested, $top is not a git clone"; exit 0
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/wsk-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

for clone in first second-folder; do
  git clone -q --no-hardlinks "$top" "$work/$clone"
  (cd "$work/$clone" && env -u BUILD -u RELEASE_DIR -u SOURCE_DATE_EPOCH bash scripts/release.sh >/dev/null) ||
    fail "make release failed in $work/$clone"
  sleep 1   # the second release starts at another second
done
a=$work/first/release b=$work/second-folder/release
[ "$(ls "$a")" = "$(ls "$b")" ] || fail "the releases hold other files: $(ls "$a") / $(ls "$b")"
for file in "$a"/*; do
  cmp -s "$file" "$b/$(basename "$file")" || fail "$(basename "$file") differs between the two folders"
done

mkdir "$work/unpacked"
(cd "$work/unpacked" && for zip in "$a"/*.zip; do unzip -q "$zip"; done)
if grep -r -a -l -e "$work" -e "$top" "$work/unpacked" "$a"; then fail "a path of a build folder is in the release"; fi
epoch=$(git -C "$top" log -1 --format=%ct)
commit_time=$(TZ=UTC date -d "@$epoch" '+%a %b %e %H:%M:%S %Y')
for binary in $(cd "$work/unpacked" && find . -iname '*.dll' -o -iname '*.exe'); do
  stamp=$(TZ=UTC x86_64-w64-mingw32-objdump -p "$work/unpacked/$binary" | sed -n 's/^Time\/Date\s*//p' | head -1)
  [ "$stamp" = "$commit_time" ] || fail "$binary carries the time $stamp, not the commit's ($commit_time)"
done
echo "release reproducible: two folders, the same bytes:"
sed 's/^/  /' "$a/SHA256SUMS"
