#!/usr/bin/env bash
# windows-suite.sh pe32|x64 BUILD-DIR: the whole Windows suite of one build, under its own
# Wine, headed by a line that names the build and the Wine. Where the PE32 cannot run
# here (a kernel without 32-bit code, or no 32-bit Wine), one line says why instead: the
# 64-bit suite then checks the PE32 as a file.
set -euo pipefail
here=$(dirname "$0")
source "$here/lib.sh"
kind=$1 dir=$2
if [ "$kind" = pe32 ]; then
  if [ "$(bash "$here/machine.sh" | head -1)" != yes ]; then
    echo "== Windows suite of the PE32 build: not run, this kernel runs no 32-bit code" \
         "(its file checks run in the 64-bit suite; make test-pe32 runs it under emulation)"
    exit 0
  fi
  pe32_wine_or_say "PE32 suite" || exit 0
fi
source "$here/wine-env.sh"
wine_env "$kind"
echo "== Windows suite: $(wine_build_name) ($dir)"
bash "$here/wine-session.sh" "$kind" ctest --test-dir "$dir" --output-on-failure -j"${JOBS:-$(nproc)}"
grep -h -e "at each of" -e "first stops" "$dir/Testing/Temporary/LastTest.log" | sed 's/^/   /' || true
