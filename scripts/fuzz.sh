#!/usr/bin/env bash
# Runs each fuzz target for FUZZ_SECONDS (default 20) on a working copy of its corpus in
# the tree, and prints the executions each one did. Fails on the first finding.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=${1:-$top/build/fuzz}
seconds=${FUZZ_SECONDS:-20}
summary=()
for corpus in "$top"/tests/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  work="$build/corpus-$target"
  mkdir -p "$work" "$build/findings"
  cp -n "$corpus"/* "$work/" 2>/dev/null || true
  log="$build/fuzz_$target.log"
  echo "fuzz: $target for ${seconds}s"
  if ! (cd "$build/findings" && "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
          -timeout=10 "$work" >"$log" 2>&1); then
    tail -40 "$log"
    echo "fuzz: $target found a fault; the input is in $build/findings" >&2
    exit 1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  summary+=("$(printf '%-14s %10s executions in %ss, corpus %s inputs' "$target" "$runs" "$seconds" "$(ls "$work" | wc -l)")")
done
printf '%s\n' "${summary[@]}"
echo "fuzz: ${#summary[@]} passed, 0 failed"
