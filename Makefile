# The front door.
#   make test   install what is missing, build both trees, run every test; fails if one fails
#   make demo   build the Windows programs and show Quorvane at work under Wine, with pictures
#   make dist   the zip for Windows users: dist/Quorvane-VERSION-win64.zip
#
# build/native holds the host build (unit tests, benchmarks); build/windows the mingw-w64 build
# (the .exe files and the Wine tests, run by ctest through scripts/wine-run); build/windows-clang
# the same programs built by clang and lld, without tests: the application tests of build/windows
# run against its Quorvane.exe; build/native-asan the host build again with AddressSanitizer and
# UndefinedBehaviorSanitizer; build/fuzz the fuzz targets (clang, libFuzzer). The two Windows
# trees are the presets linux-mingw-w64 and linux-clang-mingw-w64 of CMakePresets.json.

SHELL := /bin/bash
JOBS ?= 2
NATIVE := build/native
WINDOWS := build/windows
WINDOWS_CLANG := build/windows-clang
ASAN := build/native-asan
FUZZ := build/fuzz
FUZZ_SECONDS ?= 60
GENERATOR := -G Ninja
WINE_STOP := scripts/wine-run --prefix $(WINDOWS)/wineprefix --stop

.PHONY: all deps native native-asan fuzz-targets windows windows-clang test test-native \
        test-native-asan test-fuzz test-windows test-windows-clang test-wine-headers test-workflows \
        demo bench fuzz dist clean

all: native windows

deps:
	@scripts/install-deps

native: deps
	@[[ -f $(NATIVE)/CMakeCache.txt ]] || cmake -S . -B $(NATIVE) $(GENERATOR)
	cmake --build $(NATIVE) -j$(JOBS)

native-asan: deps
	@[[ -f $(ASAN)/CMakeCache.txt ]] || cmake -S . -B $(ASAN) $(GENERATOR) -DQUORVANE_SANITIZE=ON
	cmake --build $(ASAN) -j$(JOBS)

fuzz-targets: deps
	scripts/fuzz --build

windows: deps
	@[[ -f $(WINDOWS)/CMakeCache.txt ]] || cmake --preset linux-mingw-w64
	cmake --build --preset linux-mingw-w64 -j$(JOBS)

windows-clang: deps
	@[[ -f $(WINDOWS_CLANG)/CMakeCache.txt ]] || cmake --preset linux-clang-mingw-w64
	cmake --build --preset linux-clang-mingw-w64 -j$(JOBS)

# Every tree is tested even when one fails, then one line sums them up.
test: native native-asan fuzz-targets windows windows-clang
	@status=0; \
	$(MAKE) --no-print-directory test-native || status=1; \
	$(MAKE) --no-print-directory test-native-asan || status=1; \
	$(MAKE) --no-print-directory test-fuzz || status=1; \
	$(MAKE) --no-print-directory test-windows || status=1; \
	$(MAKE) --no-print-directory test-windows-clang || status=1; \
	$(MAKE) --no-print-directory test-wine-headers || status=1; \
	$(MAKE) --no-print-directory test-workflows || status=1; \
	scripts/test-summary build/test-native.log build/test-native-asan.log \
	    build/test-fuzz.log build/test-windows.log build/test-windows-clang.log \
	    build/test-wine-headers.log build/test-workflows.log; \
	exit $$status

test-native:
	@set -o pipefail; \
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS) 2>&1 | tee build/test-native.log

test-native-asan:
	@set -o pipefail; \
	ctest --test-dir $(ASAN) --output-on-failure -j$(JOBS) 2>&1 | tee build/test-native-asan.log

# Each fuzz target a few seconds from its seeds: a target that no longer builds or breaks at once.
test-fuzz:
	@set -o pipefail; \
	ctest --test-dir $(FUZZ) -L fuzz --output-on-failure -j$(JOBS) 2>&1 | tee build/test-fuzz.log

# The Wine tests run one at a time: they share the module's window class. The tree's wineserver
# is ended afterwards, inside the display it was started with.
test-windows:
	@set -o pipefail; \
	xvfb-run -a bash -c 'ctest --preset linux-mingw-w64; status=$$?; \
	    $(WINE_STOP); exit $$status' 2>&1 | tee build/test-windows.log

# The application tests again, from build/windows and in its Wine prefix, against the
# Quorvane.exe that clang built: neither compiler may drift into code the other rejects or
# miscompiles.
test-windows-clang:
	@set -o pipefail; \
	echo "app_tests against $(WINDOWS_CLANG)/app/Quorvane.exe"; \
	xvfb-run -a bash -c 'ctest --preset linux-clang-mingw-w64; status=$$?; \
	    $(WINE_STOP); exit $$status' 2>&1 | tee build/test-windows-clang.log

# Every product source of build/windows compiled once more, without code, against Wine's
# Windows headers, which define min and max for C++ as Microsoft's do: what only MSVC would
# refuse. One passed or failed per source; see scripts/check-wine-headers.
test-wine-headers:
	@set -o pipefail; scripts/check-wine-headers $(WINDOWS) 2>&1 | tee build/test-wine-headers.log

# The Windows workflow under .github cannot run here: its syntax is checked against GitHub's
# schema.
test-workflows:
	@set -o pipefail; scripts/check-workflows 2>&1 | tee build/test-workflows.log

# Only the programs the demo runs are built, so that a fresh machine gets to it sooner.
demo: deps
	@[[ -f $(WINDOWS)/CMakeCache.txt ]] || cmake --preset linux-mingw-w64
	cmake --build --preset linux-mingw-w64 -j$(JOBS) --target Quorvane kit-module kit-addon monitor \
	    appwindow
	@scripts/demo $(WINDOWS)

# The poll cycle's benchmarks, in a Release tree of their own; the ratios follow the table.
bench: deps
	@[[ -f build/bench/CMakeCache.txt ]] || \
	    cmake -S . -B build/bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release
	cmake --build build/bench -j$(JOBS) --target cycle_bench
	build/bench/bench/cycle_bench

# Each fuzz target FUZZ_SECONDS long (make fuzz FUZZ_SECONDS=600); see scripts/fuzz.
fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

# dist/Quorvane-VERSION-win64.zip: Quorvane.exe and monitor.exe as the Windows tree builds and
# tests them, the user's README, the offsets page and table, the licence, and the test kit (the
# stand-in module and add-on, its README and example scenarios).
dist: deps
	@[[ -f $(WINDOWS)/CMakeCache.txt ]] || cmake --preset linux-mingw-w64
	cmake --build --preset linux-mingw-w64 -j$(JOBS) --target Quorvane monitor kit-module kit-addon
	@scripts/dist $(WINDOWS) dist

clean:
	-$(WINE_STOP)
	rm -rf $(NATIVE) $(ASAN) $(FUZZ) $(WINDOWS) $(WINDOWS_CLANG) build/*.log
