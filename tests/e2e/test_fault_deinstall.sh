#!/usr/bin/env bash
# DEINSTALL under hostile layouts: a directory link inside the content directory that
# points outside it, and component directories that differ from the root only in letter
# case or in a trailing backslash.
source "$(dirname "$0")/lib.sh"

updated_root() {
  new_root "$1"; place_packages "$1"; postcopy "$1"
  expect_status 0 "update of $1"
  echo "body{}" > "$1/shared/velm/main.css"
}

# A link to a folder outside: the outside keeps every file.
root="$WORK/linked"; content=$(content_of "$root")
updated_root "$root"
mkdir -p "$WORK/outside/deeper" && echo precious > "$WORK/outside/deeper/file.txt"
mkdir -p "$WORK/outside-empty"
ln -s "$WORK/outside" "$content/Kordex/link"
ln -s "$WORK/outside-empty" "$content/link-to-empty"
setuphost DEINSTALL "$(winpath "$root.inf")"
expect_status 0 "deinstall with links"
expect_there "$WORK/outside/deeper/file.txt"
expect_there "$WORK/outside-empty"
expect_gone "$content/Kordex/articles"
expect_gone "$root/shared/velm/main.css"
[ -z "$(find "$content" -type f)" ] || fail "files left in the content directory: $(find "$content" -type f)"
pass

# Letter case only: the same directory, so the shared content goes.
root="$WORK/Cased"; content=$(content_of "$root")
updated_root "$root"
printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$(winpath "$WORK/CASED")" "$(winpath "$root")" > "$root.inf"
setuphost DEINSTALL "$(winpath "$root.inf")"
expect_status 0 "case only"
expect_gone "$content"
expect_gone "$root/shared/velm/main.css"

# A trailing backslash on one side: not the same text, nothing goes.
for side in component root; do
  root="$WORK/slash-$side"; content=$(content_of "$root")
  updated_root "$root"
  component=$(winpath "$root"); dest=$(winpath "$root")
  if [ $side = component ]; then component="$component\\"; else dest="$dest\\"; fi
  printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$component" "$dest" > "$root.inf"
  setuphost DEINSTALL "$(winpath "$root.inf")"
  expect_status 0 "trailing backslash on the $side"
  expect_content "$root"
  expect_there "$root/shared/velm/main.css"
done
done_ok
