# Facade over the CMake presets. `make` only builds everything (and ends at once, naming
# `make deps`, when a tool is missing); `make test`, `demo`, `bench`, `dist` and `fuzz`
# install what is missing first.
.PHONY: all build deps check-tools native native-asan win64 win32 test test-native test-asan test-win test-dist fuzz-smoke \
	demo bench fuzz dist format-check clean

MAKEFLAGS += --no-print-directory
CMAKE ?= cmake
FUZZ_SECONDS ?= 120

all: check-tools
	$(MAKE) build

build: native win64 win32

deps:
	tools/ensure-deps

check-tools:
	tools/ensure-deps --check

build/native/build.ninja:
	$(CMAKE) --preset native >/dev/null
build/native-asan/build.ninja:
	$(CMAKE) --preset native-asan >/dev/null
build/win64/build.ninja:
	$(CMAKE) --preset win64 >/dev/null
build/win32/build.ninja:
	$(CMAKE) --preset win32 >/dev/null

native: build/native/build.ninja
	$(CMAKE) --build --preset native
native-asan: build/native-asan/build.ninja
	$(CMAKE) --build --preset native-asan
win64: build/win64/build.ninja
	$(CMAKE) --build --preset win64
win32: build/win32/build.ninja
	$(CMAKE) --build --preset win32
	tools/check-win32 build/win32/zemrun.exe
	tools/check-win32 build/win32/zemrun.com CUI

test: deps
	$(MAKE) format-check build test-native test-asan test-win test-dist fuzz-smoke

# Every C++ file as the committed .clang-format writes it.
format-check:
	tools/format --check

test-native: native
	ctest --preset native

# The native suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: native-asan
	ctest --preset native-asan

# The Windows suites under Wine against both builds; the 32-bit lane's end-to-end suite
# runs once more starting the 64-bit probe, the mixed pair most users have.
test-win: win64 win32
	ctest --preset win64
	ctest --preset win32
	ZEMRUN_TEST_PROBE="Z:$$(pwd | tr / '\\')\\build\\win64\\zprobe.exe" ctest --preset win32 -R '^EndToEnd\.'

# The release as make dist packs it, and its winget and Scoop manifests checked against it.
test-dist: win64 win32
	tools/dist >/dev/null
	tools/check-dist build/dist

demo: deps
	$(MAKE) win64 win32
	tools/demo

bench: deps
	$(MAKE) build
	tools/bench

fuzz: deps
	tools/fuzz $(FUZZ_SECONDS)

# A short run of every fuzz target.
fuzz-smoke:
	FUZZ_SEED=1 tools/fuzz 15

dist: deps
	$(MAKE) win64 win32
	tools/dist

clean:
	rm -rf build
