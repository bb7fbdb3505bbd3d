#!/usr/bin/env bash
# Measures the update against the platform's own extraction floor, in one run, and writes
# the table to bench/results/. Settings (environment): BENCH_MB (100), BENCH_FILES (2000),
# BENCH_RUNS (7), BENCH_SCALE ("10 100 1000 10000"), BENCH_DIR (scratch; /dev/shm if there).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/wine-env.sh"
: "${WSK_BUILD_KIND:?run through scripts/wine-session.sh}"
bin=$WSK_BIN
megabytes=${BENCH_MB:-100} files=${BENCH_FILES:-2000} runs=${BENCH_RUNS:-7}
scale=${BENCH_SCALE:-10 100 1000 10000}
scratch_base=${BENCH_DIR:-$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
scratch=$(mktemp -d "$scratch_base/wsk-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export WINEDEBUG=${WINEDEBUG:--all}

winpath() { local p=$1; echo "Z:${p//\//\\}"; }
now() { date +%s%N; }
since() { echo $(( ($(now) - $1) / 1000000 )); }         # milliseconds
say() { echo "bench: $*" >&2; }

# fresh_root ROOT: a destination root with the module installed and an empty content dir.
fresh_root() {
  rm -rf "$1" "$1.inf" "$1.log"
  mkdir -p "$1/shared/velm/kordalin"
  cp "$bin/WSKORDALIN.DLL" "$1/WsKordalin.dll"
  printf '[Setup]\r\nComponentDir=%s\r\nDestinationRoot=%s\r\n' "$(winpath "$1")" "$(winpath "$1")" > "$1.inf"
}
postcopy() {  # postcopy ROOT [TEXT]: one timed-by-the-caller POSTCOPY
  "$WSK_WINE" "$bin/setuphost.exe" "$(winpath "$bin/WSKORDALIN.DLL")" POSTCOPY "$(winpath "$1.inf")" ${2:+"$2"} >/dev/null ||
    { say "POSTCOPY failed on $1: $(tail -3 "$1.log")"; exit 1; }
}
# stats VALUES...: "median min max" of whole numbers
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%d %d %d", v[int((NR+1)/2)], v[1], v[NR]}'; }
seconds() { awk -v ms="$1" 'BEGIN {printf "%.3f", ms / 1000}'; }

say "the $(wine_build_name), from ${bin#"$top"/}/"
say "making about $megabytes MB in $files files, a base and nine numbered packages"
bash "$top/bench/make_content.sh" "$scratch/content" "$megabytes" "$files"
bash "$top/scripts/make-packages.sh" "$scratch/content" "$scratch/cabs"
content_bytes=$(du -sb "$scratch/content" | cut -f1)
cab_bytes=$(du -cb "$scratch"/cabs/*.cab | tail -1 | cut -f1)
rm -rf "$scratch/content"
cabs=("$scratch"/cabs/*.cab)

# measure_update / measure_floor: the same cabinets from the same place (the content
# directory of a fresh root) into the same place, through the whole update or through a
# bare InstallCab loop.
measure_update() {
  local root="$scratch/root"
  fresh_root "$root"
  cp "${cabs[@]}" "$root/shared/velm/kordalin/"
  local start; start=$(now); postcopy "$root"; update+=("$(since "$start")")
}
measure_floor() {
  local root="$scratch/floor" content="$scratch/floor/shared/velm/kordalin"
  fresh_root "$root"
  cp "${cabs[@]}" "$content/"
  local placed=(); for cab in "${cabs[@]}"; do placed+=("$(winpath "$content/$(basename "$cab")")"); done
  local start; start=$(now)
  "$WSK_WINE" "$bin/install_loop.exe" "$(winpath "$content")" "${placed[@]}"
  floor+=("$(since "$start")")
}

update=() floor=() reference=() uptodate=() bare=()
for run in $(seq "$runs"); do
  say "run $run of $runs: update, floor, reference, up to date, script run only"
  # Alternate which goes first, so that neither gains from the other's warm-up.
  if [ $((run % 2)) -eq 1 ]; then measure_update; measure_floor; else measure_floor; measure_update; fi
  root="$scratch/root"
  if [ "$run" -eq 1 ]; then
    diff -r -x VAlmanor.dll -x '*.cab' "$scratch/floor/shared/velm/kordalin" "$root/shared/velm/kordalin" >/dev/null ||
      { say "the update and the floor unpacked different trees"; exit 1; }
  fi

  rm -rf "$scratch/reference"; mkdir -p "$scratch/reference"
  start=$(now); for cab in "${cabs[@]}"; do cabextract -q -d "$scratch/reference" "$cab"; done
  reference+=("$(since "$start")")

  cp "${cabs[@]}" "$root/shared/velm/kordalin/"
  start=$(now); postcopy "$root"; uptodate+=("$(since "$start")")
  grep -q "_FindKordalin()" "$root.log" || { say "the second run was not up to date"; exit 1; }
  start=$(now); postcopy "$root" diag; bare+=("$(since "$start")")
done

scale_rows=()
for count in $scale; do
  tiny="$scratch/tiny-$count"; mkdir -p "$tiny"
  "$WSK_WINE" "$bin/make_tiny_cabs.exe" "$(winpath "$tiny")" "$count"
  times=() peaks=()
  for run in $(seq "$runs"); do
    say "scale: $count packages, run $run of $runs"
    root="$scratch/scale"; fresh_root "$root"
    cp "$tiny"/*.cab "$root/shared/velm/kordalin/"
    start=$(now)
    /usr/bin/time -f '%M' -o "$scratch/peak" "$WSK_WINE" "$bin/setuphost.exe" "$(winpath "$bin/WSKORDALIN.DLL")" \
      POSTCOPY "$(winpath "$root.inf")" >/dev/null
    times+=("$(since "$start")"); peaks+=("$(cat "$scratch/peak")")
    [ -z "$(ls "$root/shared/velm/kordalin/" | grep -i '\.cab$' || true)" ] || { say "packages left at $count"; exit 1; }
  done
  rm -rf "$tiny"
  scale_rows+=("$count $(stats "${times[@]}") $(stats "${peaks[@]}")")
done

# --- the table ----------------------------------------------------------------------
read -r u_med u_min u_max <<<"$(stats "${update[@]}")"
read -r f_med f_min f_max <<<"$(stats "${floor[@]}")"
read -r r_med r_min r_max <<<"$(stats "${reference[@]}")"
read -r d_med d_min d_max <<<"$(stats "${uptodate[@]}")"
read -r b_med b_min b_max <<<"$(stats "${bare[@]}")"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
# The median of the per-run ratios update/floor: each run measures both back to back, so
# pairing them takes out what drifts between runs.
paired=$(for i in "${!update[@]}"; do ratio "${update[$i]}" "${floor[$i]}"; echo; done | sort -n |
         awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
verdict() { awk -v v="$1" -v limit="$2" 'BEGIN {print (v <= limit) ? "met" : "missed"}'; }

row() { printf '| %s | %s | %s | %s | %s |\n' "$1" "$(seconds "$2")" "$(seconds "$3")" "$(seconds "$4")" "$5"; }
per_package_100="" per_package_10000="" peak_10="" peak_10000=""
{
  echo "# Update benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "Build: the $(wine_build_name)."
  echo "Machine: $(nproc) cores, $(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB;" \
       "$(uname -sr); $("$WSK_WINE" --version); scratch on $(df -T "$scratch_base" | awk 'NR==2 {print $2}')."
  echo "Content: $(awk -v b="$content_bytes" 'BEGIN {printf "%.1f", b / 1048576}') MiB in $files files," \
       "10 MSZIP packages of $(awk -v b="$cab_bytes" 'BEGIN {printf "%.1f", b / 1048576}') MiB; $runs runs each (median, min, max)."
  echo "Update and floor run back to back in each run, in alternating order; the target is read on the median of the per-run ratios."
  echo
  echo "| measurement | median s | min s | max s | note |"
  echo "|---|---|---|---|---|"
  row "update: first-installation POSTCOPY (setuphost.exe)" "$u_med" "$u_min" "$u_max" ""
  row "floor: InstallCab loop in one process (install_loop.exe)" "$f_med" "$f_min" "$f_max" \
      "update/floor $(ratio "$u_med" "$f_med"); paired by run $paired (target 1.05: $(verdict "$paired" 1.05))"
  row "reference: native cabextract" "$r_med" "$r_min" "$r_max" "update/reference $(ratio "$u_med" "$r_med")"
  row "up to date: POSTCOPY, ten packages to delete" "$d_med" "$d_min" "$d_max" \
      "$(seconds $((d_med - b_med))) s over the script run alone (target 0.2: $(verdict "$(seconds $((d_med - b_med)))" 0.2))"
  row "script run alone: POSTCOPY \"diag\"" "$b_med" "$b_min" "$b_max" ""
  echo
  echo "| packages | median s | min s | max s | ms per package | peak memory MiB (median) |"
  echo "|---|---|---|---|---|---|"
  for line in "${scale_rows[@]}"; do
    read -r count t_med t_min t_max p_med p_min p_max <<<"$line"
    per=$(awk -v t="$t_med" -v n="$count" 'BEGIN {printf "%.2f", t / n}')
    printf '| %s | %s | %s | %s | %s | %s |\n' "$count" "$(seconds "$t_med")" "$(seconds "$t_min")" "$(seconds "$t_max")" \
      "$per" "$(awk -v k="$p_med" 'BEGIN {printf "%.1f", k / 1024}')"
    [ "$count" = 100 ] && per_package_100=$per
    [ "$count" = 10000 ] && per_package_10000=$per
    [ "$count" = 10 ] && peak_10=$p_med
    [ "$count" = 10000 ] && peak_10000=$p_med
  done
  if [ -n "$per_package_100" ] && [ -n "$per_package_10000" ]; then
    echo
    echo "Time per package at 10,000 / at 100: $(ratio "$per_package_10000" "$per_package_100")" \
         "(target 1.5: $(verdict "$(ratio "$per_package_10000" "$per_package_100")" 1.5))."
  fi
  if [ -n "$peak_10" ] && [ -n "$peak_10000" ]; then
    echo "Peak memory at 10,000 / at 10: $(ratio "$peak_10000" "$peak_10")" \
         "(target 1.5: $(verdict "$(ratio "$peak_10000" "$peak_10")" 1.5))."
  fi
  echo
  echo "Made by \`make bench\` (BENCH_MB=$megabytes BENCH_FILES=$files BENCH_RUNS=$runs BENCH_SCALE=\"$scale\")."
} > "$scratch/table.md"

mkdir -p "$top/bench/results"
result="$top/bench/results/$(date -u '+%Y-%m-%d-%H%M').md"
cp "$scratch/table.md" "$result"
cp "$scratch/table.md" "$top/bench/results/latest.md"
cat "$scratch/table.md"
say "written to ${result#"$top"/} and bench/results/latest.md"
