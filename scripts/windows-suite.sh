#!/usr/bin/env bash
# windows-suite.sh pe32|x64 BUILD-DIR [WHAT CTEST-OPTION...]: the Windows suite of one
# build (or the part of it the CTest options pick, called WHAT), under its own Wine,
# headed by a line that names the build and how it runs. Where the PE32 cannot run here
# (a kernel without 32-bit code, or no 32-bit Wine), one line says why instead: the
# 64-bit suite then checks the PE32 as a file. Under an emulator (scripts/test-pe32.sh
# sets WSK_EMULATOR once the emulated Wine runs) the PE32 runs.
set -euo pipefail
here=$(dirname "$0")
source "$here/lib.sh"
kind=$1 dir=$2
shift 2
what=${1:-Windows suite}
[ $# -eq 0 ] || shift
if [ "$kind" = pe32 ] && [ -z "${WSK_EMULATOR:-}" ]; then
  if [ "$(bash "$here/machine.sh" | head -1)" != yes ]; then
    echo "== Windows suite of the PE32 build: not run, this kernel runs no 32-bit code" \
         "(its file checks run in the 64-bit suite; make test-pe32 runs it under emulation)"
    exit 0
  fi
  pe32_wine_or_say "PE32 suite" || exit 0
fi
source "$here/wine-env.sh"
wine_env "$kind"
echo "== $what: $(wine_build_name) ($dir)"
bash "$here/wine-session.sh" "$kind" ctest --test-dir "$dir" --output-on-failure -j"${JOBS:-$(nproc)}" "$@"
grep -h -E '^(killed|power cut|failed) at ' "$dir/Testing/Temporary/LastTest.log" | sed 's/^/   /' || true
