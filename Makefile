# Front door: `make demo` builds and runs the main job on the bundled sample; `make test`
# builds every build and runs every test the machine can run at full speed; `make
# test-pe32` runs the shipped PE32 itself, under emulation where the kernel runs no 32-bit
# code; `make test-slow` the release checks that take minutes. Each target installs what
# it needs first.
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
BUILD ?= build
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
NATIVE := $(BUILD)/native
JOBS ?= $(shell nproc)
export JOBS
export BUILD := $(abspath $(BUILD))
export WINEDEBUG ?= -all

# The Windows build that runs at full speed here: the PE32 where the kernel runs 32-bit
# code and the 32-bit Wine could be installed, else the 64-bit build. Asked when a recipe
# runs (scripts/windows-build.sh), once the tools are installed.
RUNNABLE = $$(bash scripts/windows-build.sh | head -1)
# The tools `deps` installs: those the target asked for needs (scripts/install-deps.sh).
DEPS_FOR := $(if $(filter test test-% fuzz,$(MAKECMDGOALS)),test,build)

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 20
export FUZZ_SECONDS

.PHONY: all deps win32 win64 native dist test test-native test-win32 test-win64 test-setup test-pe32 \
        test-slow demo fuzz bench release machine clean

all: dist

machine:
	@bash scripts/machine.sh | sed '1s/^/runs 32-bit code natively: /'
	@bash scripts/windows-build.sh | sed '1s/^/the Windows build that runs here: /'

deps:
	@bash scripts/install-deps.sh $(DEPS_FOR)

win32: deps
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
	    -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j$(JOBS)

# The 64-bit build also checks the PE32 module as a file.
win64: deps win32
	@cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DWSK_PE32_MODULE=$(abspath $(WIN32))/bin/WSKORDALIN.DLL >/dev/null
	@cmake --build $(WIN64) -j$(JOBS)

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

dist: win32 win64
	@mkdir -p dist/x64
	@cp $(WIN32)/bin/WSKORDALIN.DLL $(WIN32)/bin/Corvane.dll $(WIN32)/bin/setuphost.exe dist/
	@cp $(WIN64)/bin/WSKORDALIN.DLL $(WIN64)/bin/Corvane.dll $(WIN64)/bin/setuphost.exe dist/x64/
	@cp samples/Kordex.inf dist/
	@echo "dist/: $$(cd dist && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')"

test-native: native
	@echo "== native suite: clang with AddressSanitizer and UndefinedBehaviorSanitizer"
	@cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

# The whole Windows suite of one build, under its own Wine; for the PE32, where it can run.
test-win32: dist
	@bash scripts/windows-suite.sh pe32 $(WIN32)

test-win64: dist
	@bash scripts/windows-suite.sh x64 $(WIN64)

# Every Wine run ends what it started; the check that it did comes last.
test: test-native test-win32 test-win64 test-setup
	@bash scripts/left-running.sh

# The set-up where not everything can be had: an index that cannot be fetched, packages
# that cannot be installed, no 32-bit Wine.
test-setup: dist
	@echo "== set-up: an index out of step, packages not to be had, the path without the 32-bit Wine"
	@bash tests/setup/test_setup.sh

# Slow and rarely broken, so CI runs it rather than every make test: two releases of the
# commit made anew in two folders are the same bytes, a signed one still runs, and a
# traced run of the build that runs here flushes every file before it names it.
test-slow: dist
	@echo "== release: reproducible, checked, signed"
	@bash tests/release/test_reproducible.sh
	@bash scripts/wine-session.sh $(RUNNABLE) bash tests/release/test_signing.sh
	@echo "== durable before visible: a traced first installation"
	@WSK_SOURCE=$(CURDIR) bash scripts/wine-session.sh $(RUNNABLE) bash tests/slow/test_durable_order.sh
	@bash scripts/left-running.sh

test-pe32: dist
	@bash scripts/test-pe32.sh
	@bash scripts/left-running.sh

demo: dist
	@bash scripts/wine-session.sh $(RUNNABLE) bash scripts/demo.sh

# libFuzzer on the native build, then the mutation run of damaged cabinets under Wine.
fuzz: deps dist
	@cmake -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug -DWSK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)
	@bash scripts/fuzz.sh $(abspath $(FUZZ))
	@bash scripts/wine-session.sh $(RUNNABLE) bash scripts/mutate-cabinets.sh

bench: dist
	@bash scripts/wine-session.sh $(RUNNABLE) bash scripts/bench.sh

# release/: both builds made anew, stripped (debug files apart), checked, signed when
# SIGN_PFX or SIGN_CERT says with what, archived the same way every time.
release: deps
	@bash scripts/release.sh

clean:
	rm -rf $(BUILD) dist release
