# Front door: `make demo` builds and runs the main job on the bundled sample; `make test`
# builds every build and runs every test the machine can run at full speed; `make
# test-pe32` runs the shipped PE32 itself, under emulation where the kernel runs no 32-bit
# code. Each target installs what it needs first.
SHELL := /bin/bash
BUILD ?= build
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
NATIVE := $(BUILD)/native
JOBS ?= $(shell nproc)
export BUILD := $(abspath $(BUILD))
export WINEDEBUG ?= -all

# "yes" where the kernel runs 32-bit x86 code (scripts/machine.sh is the one place that
# decides); the PE32 then runs natively under Wine, else the 64-bit build does.
NATIVE32 := $(shell bash scripts/machine.sh | head -1)
NATIVE_BUILD := $(if $(filter yes,$(NATIVE32)),pe32,x64)

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 20
export FUZZ_SECONDS

.PHONY: all deps win32 win64 native dist test test-native test-win32 test-win64 test-pe32 \
        test-release demo fuzz bench release machine clean

all: dist

machine:
	@bash scripts/machine.sh | sed '1s/^/runs 32-bit code natively: /'

deps:
	@bash scripts/install-deps.sh

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

# The whole Windows suite of one build, under its own Wine.
define windows_suite
	@source scripts/wine-env.sh && wine_env $(1) && echo "== Windows suite: $$(wine_build_name) ($(2))"
	@bash scripts/wine-session.sh $(1) ctest --test-dir $(2) --output-on-failure -j$(JOBS)
	@grep -h "at each of" $(2)/Testing/Temporary/LastTest.log | sed 's/^/   /' || true
endef

test-win32: dist
ifeq ($(NATIVE32),yes)
	$(call windows_suite,pe32,$(WIN32))
else
	@echo "== Windows suite of the PE32 build: not run, this kernel runs no 32-bit code" \
	      "(its file checks run in the 64-bit suite; make test-pe32 runs it under emulation)"
endif

test-win64: dist
	$(call windows_suite,x64,$(WIN64))

# Every Wine run ends what it started; the check that it did comes last.
test: test-native test-win32 test-win64 test-release
	@bash scripts/left-running.sh

# Two releases of the commit in two folders are the same bytes; a signed one still runs.
test-release: dist
	@echo "== release: reproducible, checked, signed"
	@bash tests/release/test_reproducible.sh
	@bash scripts/wine-session.sh $(NATIVE_BUILD) bash tests/release/test_signing.sh

test-pe32: dist
	@bash scripts/pe32-smoke.sh
	@bash scripts/left-running.sh

demo: dist
	@bash scripts/wine-session.sh $(NATIVE_BUILD) bash scripts/demo.sh

# libFuzzer on the native build, then the mutation run of damaged cabinets under Wine.
fuzz: deps dist
	@cmake -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug -DWSK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)
	@bash scripts/fuzz.sh $(abspath $(FUZZ))
	@bash scripts/wine-session.sh $(NATIVE_BUILD) bash scripts/mutate-cabinets.sh

bench: dist
	@bash scripts/wine-session.sh $(NATIVE_BUILD) bash scripts/bench.sh

# release/: both builds made anew, stripped (debug files apart), checked, signed when
# SIGN_PFX or SIGN_CERT says with what, archived the same way every time.
release: deps
	@bash scripts/release.sh

clean:
	rm -rf $(BUILD) dist release
