#!/usr/bin/env bash
# Measures the update against the platform's bare FDI (bench/bare_fdi.cpp) and native
# cabextract, in one run, and writes the table to bench/results/. Run through
# scripts/wine-session.sh, which picks the build that runs natively here. Settings
# (environment): BENCH_MB (100), BENCH_FILES (2000), BENCH_RUNS (7), BENCH_PAGES
# ("200 2000 20000"), BENCH_SCALE ("10 100 1000 10000"), BENCH_DIR (scratch; /dev/shm if
# there), BENCH_DURABLE_RUNS (5), BENCH_DURABLE_PAGES (20000) and BENCH_DISK_DIR (build/, which must be on a disk: what
# durability costs is measured there, since on tmpfs a flush costs nothing).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$top/scripts/wine-env.sh"
: "${WSK_BUILD_KIND:?run through scripts/wine-session.sh}"
bin=$WSK_BIN
megabytes=${BENCH_MB:-100} files=${BENCH_FILES:-2000} runs=${BENCH_RUNS:-7}
pages_scale=${BENCH_PAGES:-200 2000 20000}
scale=${BENCH_SCALE:-10 100 1000 10000}
scratch_base=${BENCH_DIR:-$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
scratch=$(mktemp -d "$scratch_base/wsk-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export WINEDEBUG=${WINEDEBUG:--all}

now() { date +%s%N; }
since() { echo $(( ($(now) - $1) / 1000000 )); }         # milliseconds
say() { echo "bench: $*" >&2; }

# fresh_root ROOT CABS...: a destination root with the module installed and the cabinets
# placed in its content directory, anew.
fresh_root() {
  local root=$1; shift
  rm -rf "$root" "$root.inf" "$root.log"
  module_tree "$root" "$bin/WSKORDALIN.DLL" "$@"
}
run_update() {  # run_update ROOT [TEXT]: one POSTCOPY, timed by the caller; the bench stops when it fails
  postcopy "$@"
  [ "$STATUS" -eq 0 ] || { say "POSTCOPY failed on $1: $(tail -3 "$1.log")"; exit 1; }
}
placed() {  # placed ROOT: the Windows paths of the cabinets in the root's content directory
  local content="$1/shared/velm/kordalin" cab
  for cab in "$content"/*.cab; do winpath "$cab"; done
}
# time_update / time_loop PROGRAM ROOT CABS...: milliseconds of the first-installation
# POSTCOPY, or of PROGRAM unpacking the same cabinets from and into the same place.
time_update() {
  local root=$1; shift
  fresh_root "$root" "$@"
  local start; start=$(now); run_update "$root"; since "$start"
}
time_loop() {  # PROGRAM may carry an option: "bare_fdi --flush"
  local program=($1) root=$2; shift 2
  fresh_root "$root" "$@"
  local cabs; mapfile -t cabs < <(placed "$root")
  local start; start=$(now)
  "$WSK_WINE" "$bin/${program[0]}.exe" "${program[@]:1}" "$(winpath "$root/shared/velm/kordalin")" "${cabs[@]}" ||
    { say "${program[*]} failed"; exit 1; }
  since "$start"
}
same_trees() {  # same_trees A B: the unpacked content of two roots is the same
  diff -r -x VAlmanor.dll -x '*.cab' "$1/shared/velm/kordalin" "$2/shared/velm/kordalin" >/dev/null ||
    { say "$1 and $2 unpacked different trees"; exit 1; }
}
# stats VALUES...: "median min max" of whole numbers; median_of VALUES...: the median alone
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%d %d %d", v[int((NR+1)/2)], v[1], v[NR]}'; }
median_of() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
seconds() { awk -v ms="$1" 'BEGIN {printf "%.3f", ms / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
verdict() { awk -v v="$1" -v limit="$2" 'BEGIN {print (v <= limit) ? "met" : "missed"}'; }
# in_turns RUN ARRAY COMMAND [ARRAY COMMAND]...: runs each command, `sync` before each so
# that none pays for another's writes, and appends what it prints (a time) to its array;
# in the order given on odd runs and the reverse on even ones, so that none gains from
# another's warm-up. The commands are evaluated here, so they may name the caller's locals.
in_turns() {
  local run=$1 i; shift
  local -a names=() commands=() order=()
  while [ $# -gt 0 ]; do names+=("$1"); commands+=("$2"); shift 2; done
  for i in "${!names[@]}"; do
    if [ $((run % 2)) -eq 1 ]; then order+=("$i"); else order=("$i" "${order[@]}"); fi
  done
  for i in "${order[@]}"; do
    sync
    local -n _into=${names[$i]}
    _into+=("$(eval "${commands[$i]}")")
    unset -n _into
  done
}
paired() {  # paired A B: the median of the per-run ratios A[i]/B[i] (space-separated lists)
  local -a a=($1) b=($2) r=()
  for i in "${!a[@]}"; do r+=("$(ratio "${a[$i]}" "${b[$i]}")"); done
  median_of "${r[@]}"
}

say "the $(wine_build_name), from ${bin#"$top"/}/"
say "making about $megabytes MB in $files files, a base and nine numbered packages"
bash "$top/bench/make_content.sh" "$scratch/content" "$megabytes" "$files"
bash "$top/scripts/make-packages.sh" "$scratch/content" "$scratch/cabs"
content_bytes=$(du -sb "$scratch/content" | cut -f1)
cab_bytes=$(du -cb "$scratch"/cabs/*.cab | tail -1 | cut -f1)
rm -rf "$scratch/content"
cabs=("$scratch"/cabs/*.cab)

update=() barefdi=() hostloop=() reference=() uptodate=() diagonly=()
for run in $(seq "$runs"); do
  say "run $run of $runs: update, bare FDI, host InstallCab loop, cabextract, up to date, script run only"
  in_turns "$run" update 'time_update "$scratch/root" "${cabs[@]}"' barefdi 'time_loop bare_fdi "$scratch/bare" "${cabs[@]}"'
  hostloop+=("$(time_loop install_loop "$scratch/loop" "${cabs[@]}")")
  if [ "$run" -eq 1 ]; then same_trees "$scratch/root" "$scratch/bare"; same_trees "$scratch/root" "$scratch/loop"; fi
  rm -rf "$scratch/reference"; mkdir -p "$scratch/reference"
  start=$(now); for cab in "${cabs[@]}"; do cabextract -q -d "$scratch/reference" "$cab"; done
  reference+=("$(since "$start")")

  root="$scratch/root"
  cp "${cabs[@]}" "$root/shared/velm/kordalin/"
  start=$(now); run_update "$root"; uptodate+=("$(since "$start")")
  grep -q "_FindKordalin()" "$root.log" || { say "the second run was not up to date"; exit 1; }
  start=$(now); run_update "$root" diag; diagonly+=("$(since "$start")")
done

# pages_cabinet COUNT FOLDER: makes FOLDER/QMT_Kordalin_000.cab, one base package of COUNT
# small pages, 100 to a folder.
pages_cabinet() {
  local count=$1 folder=$2 i pages="$2-src/QMT_Kordalin_000"
  for ((i = 0; i < count; i++)); do
    [ $((i % 100)) -eq 0 ] && mkdir -p "$pages/Kordex/pages/$((i / 100))"
    echo "<html><body><h1>Page $i</h1><p>One small page of the reference, number $i.</p></body></html>" \
      > "$pages/Kordex/pages/$((i / 100))/p$i.html"
  done
  bash "$top/scripts/make-packages.sh" "$folder-src" "$folder"
  rm -rf "$folder-src"
}

# One cabinet of N small pages: the cost per file.
page_rows=()
for count in $pages_scale; do
  pages_cabinet "$count" "$scratch/pages-$count-cab"
  cab="$scratch/pages-$count-cab/QMT_Kordalin_000.cab"
  u=() b=() c=()
  for run in $(seq "$runs"); do
    say "pages: one cabinet of $count, run $run of $runs"
    in_turns "$run" u 'time_update "$scratch/root" "$cab"' b 'time_loop bare_fdi "$scratch/bare" "$cab"'
    rm -rf "$scratch/reference"; mkdir -p "$scratch/reference"
    start=$(now); cabextract -q -d "$scratch/reference" "$cab"; c+=("$(since "$start")")
  done
  [ "$(find "$scratch/root/shared/velm/kordalin/Kordex" -type f | wc -l)" -eq "$count" ] || { say "pages missing at $count"; exit 1; }
  page_rows+=("$count $(median_of "${u[@]}") $(median_of "${b[@]}") $(median_of "${c[@]}") $(paired "${u[*]}" "${b[*]}")")
  rm -rf "$scratch/pages-$count-cab"
done

# Many tiny packages: the cost per package and the peak memory.
scale_rows=()
for count in $scale; do
  tiny="$scratch/tiny-$count"; mkdir -p "$tiny"
  "$WSK_WINE" "$bin/make_tiny_cabs.exe" "$(winpath "$tiny")" "$count"
  times=() peaks=()
  for run in $(seq "$runs"); do
    say "packages: $count, run $run of $runs"
    root="$scratch/scale"; fresh_root "$root" "$tiny"/*.cab
    start=$(now)
    /usr/bin/time -f '%M' -o "$scratch/peak" "$WSK_WINE" "$bin/setuphost.exe" "$(winpath "$bin/WSKORDALIN.DLL")" \
      POSTCOPY "$(winpath "$root.inf")" >/dev/null
    times+=("$(since "$start")"); peaks+=("$(cat "$scratch/peak")")
    [ -z "$(ls "$root/shared/velm/kordalin/" | grep -i '\.cab$' || true)" ] || { say "packages left at $count"; exit 1; }
  done
  rm -rf "$tiny"
  scale_rows+=("$count $(stats "${times[@]}") $(stats "${peaks[@]}")")
done

# What durability costs, side by side on the disk and in memory (tmpfs, where a flush
# costs nothing): the durable update against the bare FDI, and against the bare FDI that
# flushes each file before it closes it, on the 100 MB set and on one cabinet of 20,000
# pages. The three take turns. On the disk, the host's loop with and without its flushes
# says what the flushes cost on their own.
durable_runs=${BENCH_DURABLE_RUNS:-5}
disk=$(mktemp -d "${BENCH_DISK_DIR:-$top/build}/wsk-bench-disk.XXXXXX")
trap 'rm -rf "$scratch" "$disk"' EXIT
disk_type=$(df -T "$disk" | awk 'NR==2 {print $2}') memory_type=$(df -T "$scratch" | awk 'NR==2 {print $2}')
durable_pages=${BENCH_DURABLE_PAGES:-20000}
pages_cabinet "$durable_pages" "$scratch/durable-pages"
pages_cab="$scratch/durable-pages/QMT_Kordalin_000.cab"
durable_rows=()
durable_matrix() {  # durable_matrix SET WHERE FOLDER CABS...: one row of the durability table
  local set=$1 where=$2 folder=$3 u=() b=() f=() run; shift 3
  local -a set_cabs=("$@")
  for run in $(seq "$durable_runs"); do
    say "durability: $set on $where, run $run of $durable_runs"
    in_turns "$run" u 'time_update "$folder/root" "${set_cabs[@]}"' \
      b 'time_loop bare_fdi "$folder/bare" "${set_cabs[@]}"' f 'time_loop "bare_fdi --flush" "$folder/bare" "${set_cabs[@]}"'
  done
  same_trees "$folder/root" "$folder/bare"
  rm -rf "$folder/root" "$folder/bare" "$folder/root.inf" "$folder/root.log" "$folder/bare.inf" "$folder/bare.log"
  durable_rows+=("$set|$where|$(median_of "${u[@]}")|$(median_of "${b[@]}")|$(median_of "${f[@]}")|$(paired "${u[*]}" "${b[*]}")|$(paired "${u[*]}" "${f[*]}")")
}
durable_matrix "$megabytes MB set" "$disk_type" "$disk" "${cabs[@]}"
durable_matrix "$megabytes MB set" "$memory_type" "$scratch/durable" "${cabs[@]}"
durable_matrix "$durable_pages pages" "$disk_type" "$disk" "$pages_cab"
durable_matrix "$durable_pages pages" "$memory_type" "$scratch/durable" "$pages_cab"
durable_loop=() loop_unflushed=()
for run in $(seq "$durable_runs"); do
  say "the host's loop on the $disk_type disk, with and without its flushes: run $run of $durable_runs"
  sync; durable_loop+=("$(time_loop install_loop "$disk/loop" "${cabs[@]}")")
  sync; loop_unflushed+=("$(time_loop "install_loop --no-flush" "$disk/loop" "${cabs[@]}")")
done
rm -rf "$disk"

# --- the table ----------------------------------------------------------------------
row() { printf '| %s | %s | %s | %s | %s |\n' "$1" "$(seconds "$2")" "$(seconds "$3")" "$(seconds "$4")" "$5"; }
stat_row() {  # stat_row WHAT NOTE TIMES...: one row of the median, the least and the most
  local what=$1 note=$2 med min max; shift 2
  read -r med min max <<<"$(stats "$@")"
  row "$what" "$med" "$min" "$max" "$note"
}
durability_rows() {  # what durability costs, from the runs of durable_matrix
  local line set where u b f ub uf goal_bare goal_flush
  echo "What durability costs, $durable_runs runs each, the three in turns: the durable update (every file's data flushed"
  echo "before the rename that names it, the journal before the commit, the marker before it replaces the old one),"
  echo "the bare FDI, and the bare FDI flushing each file before it closes it. Ratios are medians of per-run ratios."
  echo
  echo "| set | on | update s | bare FDI s | bare FDI, flushing s | update/bare FDI | update/bare FDI flushing |"
  echo "|---|---|---|---|---|---|---|"
  for line in "${durable_rows[@]}"; do
    IFS='|' read -r set where u b f ub uf <<<"$line"
    if [ "$where" = "$disk_type" ]; then goal_bare=1.15 goal_flush=0.8
    elif [ "$set" = "$megabytes MB set" ]; then goal_bare=1.05 goal_flush=""
    else goal_bare=1.2 goal_flush=""; fi
    printf '| %s | %s | %s | %s | %s | %s (target %s: %s) | %s |\n' "$set" "$where" "$(seconds "$u")" "$(seconds "$b")" \
      "$(seconds "$f")" "$ub" "$goal_bare" "$(verdict "$ub" "$goal_bare")" \
      "$uf${goal_flush:+ (target $goal_flush: $(verdict "$uf" "$goal_flush"))}"
  done
  echo
  echo "The host's InstallCab loop on the $disk_type disk (100 MB set): $(seconds "$(median_of "${durable_loop[@]}")") s with its" \
       "flushes, $(seconds "$(median_of "${loop_unflushed[@]}")") s with them left out (install_loop.exe --no-flush):" \
       "durable/without flushes $(paired "${durable_loop[*]}" "${loop_unflushed[*]}")."
}
# The table of every measurement above, as written to bench/results/.
report() {
  local u_med u_min u_max f_med f_min f_max h_med h_min h_max r_med r_min r_max d_med d_min d_max b_med b_min b_max
  local update_bare line count u b c pr per per_2000 per_20000 bare_20000 t_med t_min t_max p_med p_min p_max
  local per_package_100 per_package_10000 peak_10 peak_10000
  read -r u_med u_min u_max <<<"$(stats "${update[@]}")"
  read -r f_med f_min f_max <<<"$(stats "${barefdi[@]}")"
  read -r h_med h_min h_max <<<"$(stats "${hostloop[@]}")"
  read -r r_med r_min r_max <<<"$(stats "${reference[@]}")"
  read -r d_med d_min d_max <<<"$(stats "${uptodate[@]}")"
  read -r b_med b_min b_max <<<"$(stats "${diagonly[@]}")"
  update_bare=$(paired "${update[*]}" "${barefdi[*]}")
  echo "# Update benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "Build: the $(wine_build_name)."
  echo "Machine: $(nproc) cores, $(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB;" \
       "$(uname -sr); $("$WSK_WINE" --version); scratch on $(df -T "$scratch_base" | awk 'NR==2 {print $2}')."
  echo "Content: $(awk -v b="$content_bytes" 'BEGIN {printf "%.1f", b / 1048576}') MiB in $files files," \
       "10 MSZIP packages of $(awk -v b="$cab_bytes" 'BEGIN {printf "%.1f", b / 1048576}') MiB; $runs runs each (median, min, max)."
  echo "Each run unpacks the same cabinets from the same place (a fresh content directory) into the same place;"
  echo "the update and the bare FDI run back to back in alternating order, and ratios are the median of the per-run ratios."
  echo
  echo "| measurement | median s | min s | max s | note |"
  echo "|---|---|---|---|---|"
  row "update: first-installation POSTCOPY (setuphost.exe)" "$u_med" "$u_min" "$u_max" \
      "update/bare FDI $update_bare (target 1.25: $(verdict "$update_bare" 1.25)); update/cabextract $(ratio "$u_med" "$r_med")"
  row "bare FDI: plainest callbacks, one process (bare_fdi.exe)" "$f_med" "$f_min" "$f_max" ""
  row "host InstallCab loop, one process (install_loop.exe)" "$h_med" "$h_min" "$h_max" "loop/bare FDI $(ratio "$h_med" "$f_med")"
  row "reference: native cabextract" "$r_med" "$r_min" "$r_max" ""
  row "up to date: POSTCOPY, ten packages to delete" "$d_med" "$d_min" "$d_max" \
      "$(seconds $((d_med - b_med))) s over the script run alone (target 0.2: $(verdict "$(seconds $((d_med - b_med)))" 0.2))"
  row "script run alone: POSTCOPY \"diag\"" "$b_med" "$b_min" "$b_max" ""
  echo
  durability_rows
  echo
  echo "One cabinet of small pages, 100 to a folder (medians):"
  echo
  echo "| pages | update s | bare FDI s | cabextract s | update ms per page | update/bare FDI |"
  echo "|---|---|---|---|---|---|"
  per_2000="" per_20000="" bare_20000=""
  for line in "${page_rows[@]}"; do
    read -r count u b c pr <<<"$line"
    per=$(awk -v t="$u" -v n="$count" 'BEGIN {printf "%.4f", t / n}')
    printf '| %s | %s | %s | %s | %s | %s |\n' "$count" "$(seconds "$u")" "$(seconds "$b")" "$(seconds "$c")" "$per" "$pr"
    [ "$count" = 2000 ] && per_2000=$per
    [ "$count" = 20000 ] && per_20000=$per bare_20000=$pr
  done
  if [ -n "$bare_20000" ]; then
    echo
    echo "update/bare FDI at 20,000 pages: $bare_20000 (target 1.5: $(verdict "$bare_20000" 1.5))."
  fi
  if [ -n "$per_2000" ] && [ -n "$per_20000" ]; then
    echo "Time per page at 20,000 / at 2,000: $(ratio "$per_20000" "$per_2000") (target 1.3: $(verdict "$(ratio "$per_20000" "$per_2000")" 1.3))."
  fi
  echo
  echo "| packages | median s | min s | max s | ms per package | peak memory MiB (median) |"
  echo "|---|---|---|---|---|---|"
  per_package_100="" per_package_10000="" peak_10="" peak_10000=""
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
  echo "Made by \`make bench\` (BENCH_MB=$megabytes BENCH_FILES=$files BENCH_RUNS=$runs BENCH_PAGES=\"$pages_scale\" BENCH_SCALE=\"$scale\")."
}
report > "$scratch/table.md"

mkdir -p "$top/bench/results"
result="$top/bench/results/$(date -u '+%Y-%m-%d-%H%M').md"
cp "$scratch/table.md" "$result"
cp "$scratch/table.md" "$top/bench/results/latest.md"
cat "$scratch/table.md"
say "written to ${result#"$top"/} and bench/results/latest.md"
