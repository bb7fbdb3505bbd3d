#!/usr/bin/env bash
# left-running.sh: fails, naming them, when a Wine server, a Windows process or an
# emulator of this project's Wine prefixes (below BUILD) still runs. Every target that
# starts Wine ends what it started; this is the check that it did.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=${BUILD:-$top/build}
left=()
for dir in /proc/[0-9]*; do
  state=$(sed 's/.*) //' "$dir/stat" 2>/dev/null | cut -d' ' -f1) || continue
  [ -n "$state" ] && [ "$state" != Z ] || continue   # ended, not yet reaped
  exe=$(readlink "$dir/exe" 2>/dev/null) || continue
  case "$exe" in */wine|*/wine64|*/wineserver*|*/qemu-i386*) ;; *) continue ;; esac
  prefix=$(tr '\0' '\n' < "$dir/environ" 2>/dev/null | sed -n 's/^WINEPREFIX=//p')
  case "$prefix" in "$build"/*) left+=("${dir#/proc/} $(tr '\0' ' ' < "$dir/cmdline")") ;; esac
done
if [ ${#left[@]} -gt 0 ]; then
  echo "left running after the run (Wine prefixes below $build):" >&2
  printf '  %s\n' "${left[@]}" >&2
  exit 1
fi
echo "nothing of the project's Wine or emulator left running"
