#!/usr/bin/env bash
# A lock file left by a setup that crashed is taken over, used and deleted; one held by
# a live process is refused and logged, and nothing changes.
source "$(dirname "$0")/lib.sh"
root="$WORK/root"; content=$(content_of "$root")
new_root "$root"
place_packages "$root"

# Stale: nobody holds it.
echo "left by a crashed setup" > "$content/VAlmanor.sem"
postcopy "$root"
expect_status 0 "stale lock"
expect_content "$root"
expect_gone "$content/VAlmanor.sem"
expect_no_log "$root.log" "_FindAlmanorSemaphore()"

# Held: another process keeps it open the way a lock holder does.
cp "$WSK_BIN/version_5_1_0_9.dll" "$content/VAlmanor.dll"
place_packages "$root" 002
hold_lock "$content/VAlmanor.sem"
before=$(cd "$content" && find . -type f ! -name 'VAlmanor.sem*' -exec md5sum {} + | sort)
postcopy "$root"
after=$(cd "$content" && find . -type f ! -name 'VAlmanor.sem*' -exec md5sum {} + | sort)
release_lock "$content/VAlmanor.sem"
expect_status 0 "held lock"
expect_log "$root.log" "_FindAlmanorSemaphore() $(winpath "$content")\\"
[ "$before" = "$after" ] || fail "the content changed under a held lock"
pass
expect_there "$content/VAlmanor.sem"   # the holder's file, not deleted by the refused run
done_ok
