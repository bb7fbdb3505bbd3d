#!/usr/bin/env bash
# DEINSTALL after a full update: for the root component the content directory and the
# stylesheet go and everything else stays; for a component elsewhere nothing changes.
source "$(dirname "$0")/lib.sh"
root="$WORK/root"; content=$(content_of "$root")
new_root "$root"
place_packages "$root"
postcopy "$root"
expect_status 0 "update"
echo "left from a crash" > "$content/VAlmanor.sem"
echo "body{}" > "$root/shared/velm/main.css"
echo "other" > "$root/shared/velm/other.css"
mkdir -p "$root/shared/velm/sibling" && echo keep > "$root/shared/velm/sibling/file.txt"
echo keep > "$root/product.txt"

snapshot() { (cd "$root" && find . | sort); }

# A component elsewhere (a subdirectory of the root): nothing changes.
before=$(snapshot)
write_script "$WORK/sub.inf" "$root/sub" "$root"
setuphost DEINSTALL "$(winpath "$WORK/sub.inf")"
expect_status 0 "component elsewhere"
[ "$before" = "$(snapshot)" ] || fail "a component elsewhere changed the tree"
pass

# The root component, named in other letter case: content and stylesheet go.
upper=$(winpath "$root" | tr '[:lower:]' '[:upper:]')
printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$upper" "$(winpath "$root")" > "$WORK/root-upper.inf"
setuphost DEINSTALL "$(winpath "$WORK/root-upper.inf")" "/u"
expect_status 0 "root component"
expect_output "DEINSTALL returned 1"
expect_gone "$content"
expect_gone "$root/shared/velm/main.css"
expect_there "$root/shared/velm/other.css"
expect_there "$root/shared/velm/sibling/file.txt"
expect_there "$root/product.txt"
expect_there "$root/WsKordalin.dll"
done_ok
