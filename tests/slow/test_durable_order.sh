#!/usr/bin/env bash
# Durable before visible, on a real run: a first installation over old content (a base
# package and two numbered ones) traced with strace, the Wine server included, and read by
# durable_order.py: every content file and the marker had their data flushed before the
# rename that named them, and the marker got its name after every content file. In a
# prefix of its own, whose server the trace must start: the suite's shared server stays.
source "$(dirname "$0")/../e2e/lib.sh"
# The team's checker lies beside the project (WSK_DURABLE_ORDER names another place).
checker=${WSK_DURABLE_ORDER:-$WSK_SOURCE/../shared/tools/durable_order.py}
[ -f "$checker" ] || checker=/work/shared/tools/durable_order.py
command -v strace >/dev/null || fail "strace is missing (make test installs it: scripts/install-deps.sh test)"
[ -f "$checker" ] || { echo "$(basename "$0"): not run, no durable_order.py beside the project"; exit 0; }

root="$WORK/root"; content=$(content_of "$root")
new_root "$root"
mkdir -p "$content/Kordex/old" && echo "old page" > "$content/Kordex/old/page.html"
echo "old notes" > "$content/kordalin.txt"
place_packages "$root"

export WINEPREFIX="$WORK/prefix" WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
WINEDLLOVERRIDES="mscoree,mshtml=" "$WSK_WINE" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true
strace -f -y -tt -e trace=fsync,fdatasync,rename,renameat2,openat -o "$WORK/trace" \
  "$WSK_WINE" "$WSK_BIN/setuphost.exe" "$(winpath "$WSK_BIN/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$root.inf")" >/dev/null 2>&1
"$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true
expect_content "$root"
# A call another thread interrupted is split in two lines ("<unfinished ...>", then
# "<... resumed>"); joined where it finished, it reads as one.
python3 - "$WORK/trace" > "$WORK/trace.joined" <<'JOIN'
import re, sys
started = {}
for line in open(sys.argv[1], errors="replace"):
    line = line.rstrip("\n")
    m = re.match(r"^(\d+)\s+\S+\s+(.*)<unfinished \.\.\.>$", line)
    if m:
        started[m.group(1)] = m.group(2)
        continue
    m = re.match(r"^(\d+)\s+(\S+)\s+<\.\.\. \w+ resumed>(.*)$", line)
    if m and m.group(1) in started:
        line = m.group(1) + " " + m.group(2) + " " + started.pop(m.group(1)) + m.group(3)
    print(line)
JOIN
OUT=$(python3 "$checker" "$WORK/trace.joined" "$content" "$content/VAlmanor.dll") || fail "durable order: $OUT"
pass
echo "durable order: $(tail -1 <<<"$OUT")"
done_ok
