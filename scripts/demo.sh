#!/usr/bin/env bash
# The main job on the bundled sample, run from dist/ (the PE32) or dist/x64/ (the 64-bit
# build), whichever runs natively here, under Wine (scripts/wine-session.sh picks it): a
# destination tree in a scratch folder, the module installed into the component
# directory, real content packages made with gcab from samples/content, then a dry run,
# POSTCOPY (first installation), POSTCOPY again (up to date), WSKordalin (standalone) and
# DEINSTALL, each with what setuphost.exe said, what it logged and what it changed.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$top/scripts/wine-env.sh"
: "${WSK_BUILD_KIND:?run through scripts/wine-session.sh}"
shipped=$top/dist; [ "$WSK_BUILD_KIND" = x64 ] && shipped=$top/dist/x64
export WINEDEBUG=${WINEDEBUG:--all}
work=$(mktemp -d "${TMPDIR:-/tmp}/wsk-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; else bold= plain=; fi
say() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
note() { printf '   %s\n' "$*"; }
tree_of() { (cd "$1" && find . -mindepth 1 | sort | sed 's|^\./|     |'); }
marker_version() {
  local marker="$content/VAlmanor.dll"
  if [ -e "$marker" ]; then "$WSK_WINE" "$WSK_BIN/fileversion.exe" "$(winpath "$marker")" | tr -d '\r'
  else echo "(no marker file)"; fi
}
log_lines=0
run() {  # run [--dry-run] EXPORT [TEXT]: one setuphost.exe call, its output and what it logged
  local options=()
  if [ "$1" = --dry-run ]; then options=(--dry-run); shift; fi
  printf '   $ setuphost.exe %sWSKORDALIN.DLL %s Kordex.inf %s\n' "${options[*]:+${options[*]} }" "$1" "${2:+\"$2\"}"
  (cd "$work" && "$WSK_WINE" setuphost.exe "${options[@]}" "$(winpath "$work/WSKORDALIN.DLL")" "$1" \
      "$(winpath "$work/Kordex.inf")" ${2:+"$2"} | tr -d '\r' | sed 's/^/   /') || true
  note "the run log says:"
  tail -n +$((log_lines + 1)) "$work/Kordex.log" | sed 's/^/     /'
  log_lines=$(wc -l < "$work/Kordex.log")
}

# The first line names the build and why it is the one that runs here.
printf '%sKordalin content update demo: %s, from %s (%s)%s\n' "$bold" "$(wine_build_name)" "${shipped#"$top"/}/" \
  "$(bash "$top/scripts/windows-build.sh" | sed -n 2p)" "$plain"
cp "$shipped"/WSKORDALIN.DLL "$shipped"/Corvane.dll "$shipped"/setuphost.exe "$top"/dist/Kordex.inf "$work/"
root="$work/root"; content="$root/shared/velm/kordalin"
mkdir -p "$content"
cp "$work/WSKORDALIN.DLL" "$root/WsKordalin.dll"
echo "body { font-family: sans-serif; }" > "$root/shared/velm/main.css"
bash "$top/scripts/make-packages.sh" "$top/samples/content" "$work/packages"
cp "$work"/packages/*.cab "$content/"

say "scratch tree in $work"
note "Kordex.inf: component directory = destination root = root\\"
note "installed module root\\WsKordalin.dll has file version $("$WSK_WINE" "$WSK_BIN/fileversion.exe" "$(winpath "$root/WsKordalin.dll")" | tr -d '\r')"
note "packages made with gcab from samples/content and placed in root\\shared\\velm\\kordalin\\:"
tree_of "$content"

say "0. A dry run of POSTCOPY: what the first installation would do, with nothing changed"
run --dry-run POSTCOPY "/Q"
note "content directory afterwards (untouched: the lock file came and went):"
tree_of "$content"

say "1. POSTCOPY, first installation: no marker yet, so the packages are unpacked in order"
run POSTCOPY "/Q"
note "content directory now (packages gone, Kordex\\ from 000, then 001 and 002 over it):"
tree_of "$content"
note "marker VAlmanor.dll reports version $(marker_version)"

say "2. POSTCOPY again with a package placed: the content is up to date, the package is deleted"
cp "$work/packages/QMT_Kordalin_001.cab" "$content/QMT_Kordalin_003.cab"
run POSTCOPY
note "QMT_Kordalin_003.cab is $([ -e "$content/QMT_Kordalin_003.cab" ] && echo still there || echo deleted)"

say "3. POSTCOPY with the command text \"diag\": a stop word, nothing but the run itself"
run POSTCOPY "diag"

say "4. WSKordalin, standalone: POSTCOPY with \"?EXIT\" and the Kordex.inf beside the module"
rm "$content/VAlmanor.dll"
note "(marker removed first, so the standalone run has something to do)"
cp "$work/packages/QMT_Kordalin_000.cab" "$content/"
run WSKordalin
note "marker VAlmanor.dll reports version $(marker_version)"

say "5. DEINSTALL of the root component: the content directory and main.css go"
note "root\\ before:"
tree_of "$root" | grep -v '/Kordex/' || true
run DEINSTALL
note "root\\ after:"
tree_of "$root"
