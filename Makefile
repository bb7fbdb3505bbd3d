# Front door: `make demo` builds and runs the main job on the bundled sample; `make test`
# builds both builds and runs every test. Each target installs what it needs first.
SHELL := /bin/bash
BUILD ?= build
WIN := $(BUILD)/win
NATIVE := $(BUILD)/native
JOBS ?= $(shell nproc)
export WINEPREFIX ?= $(abspath $(BUILD))/wineprefix
export WINEDEBUG ?= -all
export WINEARCH ?= win32

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 20
export FUZZ_SECONDS

.PHONY: all deps win native dist wine-ready test test-native test-win demo fuzz bench clean

all: dist

deps:
	@bash scripts/install-deps.sh

win: deps
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
	    -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

dist: win
	@mkdir -p dist
	@cp $(WIN)/bin/WSKORDALIN.DLL $(WIN)/bin/Corvane.dll $(WIN)/bin/setuphost.exe dist/
	@cp samples/Kordex.inf dist/
	@echo "dist/: $$(ls dist | tr '\n' ' ')"

wine-ready: deps
	@bash scripts/wine-ready.sh

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

test-win: dist wine-ready
	@WSK_BIN=$(abspath $(WIN))/bin bash scripts/wine-session.sh ctest --test-dir $(WIN) --output-on-failure -j$(JOBS)

test: test-native test-win

demo: dist wine-ready
	@WSK_BIN=$(abspath $(WIN))/bin bash scripts/wine-session.sh bash scripts/demo.sh

fuzz: deps
	@cmake -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug -DWSK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)
	@bash scripts/fuzz.sh $(abspath $(FUZZ))

bench: dist wine-ready
	@WSK_BIN=$(abspath $(WIN))/bin bash scripts/wine-session.sh bash scripts/bench.sh

clean:
	rm -rf $(BUILD) dist
