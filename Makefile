# The developer's front door. Targets that run or test something first install
# what is missing (scripts/setup, apt-get with sudo); a plain make, make install
# and the CMake commands of a packager never install packages.
#
# make             builds the programs, the tests and the benchmarks into build/
# make setup       installs the Debian packages the build and the tests need
# make run         setup, builds the programs, and runs the demo (add, search, list),
#                  then opens the window on the demo catalog when there is a display
# make screenshot  the window under a virtual display after a search, as build/screenshot.png
# make test        setup, builds everything, and runs every test
# make test-sanitize  every test, built with the address and undefined-behaviour sanitizers
# make fuzz        each fuzz target of fuzz/ for FUZZ_SECONDS (300); make fuzz-smoke: 20 s each
# make bench       the benchmarks of bench/
# make install     installs the programs of build/ under PREFIX (default /usr/local) and DESTDIR;
#                  make uninstall removes what it installed
# make windows     shelvo-cli.exe for 64-bit Windows, one static program, cross-built with
#                  mingw-w64 into build-windows/bin/
# make test-windows  the core's tests built for Windows and run under wine, then shelvo-cli.exe
#                  against shelvo-cli on the sample volume (scripts/check-windows-cli)
# make deb         the Debian package, build-deb/shelvo_VERSION_ARCH.deb, from a release build
# make check-package  make deb, then the package unpacked and checked (validators, lintian,
#                  the programs and the window run from it)
BUILD ?= build
JOBS ?= $(shell nproc)
# CI sets WERROR=ON so that no compiler warning comes back.
WERROR ?= OFF
PREFIX ?=

FUZZ_SECONDS ?= 300

.PHONY: all setup configure build programs run screenshot test test-sanitize fuzz fuzz-smoke bench \
        windows test-windows install uninstall deb check-package clean

all: build

setup:
	@scripts/setup

# The developer's build: tests and benchmarks on.
configure:
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHELVO_TESTS=ON -DSHELVO_BENCH=ON \
	  -DSHELVO_WERROR=$(WERROR) >/dev/null \
	  || { echo "make: the configure failed; 'make setup' installs what the build needs" >&2; exit 1; }

# Everything: programs, tests and benchmarks.
build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Only what the demo runs and an install holds.
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target shelvo-cli shelvo shelvo-data

run: setup
	@$(MAKE) --no-print-directory programs
	scripts/demo $(BUILD)

screenshot: setup
	@$(MAKE) --no-print-directory programs
	scripts/screenshot $(BUILD)

test: setup
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: setup
	@cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHELVO_SANITIZE=ON \
	  -DSHELVO_TESTS=ON -DSHELVO_BENCH=OFF -DSHELVO_WERROR=$(WERROR) >/dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions \
	  ctest --output-on-failure -j $(JOBS)

fuzz: setup
	scripts/fuzz $(FUZZ_SECONDS) $(BUILD)-fuzz

fuzz-smoke: setup
	scripts/fuzz 20 $(BUILD)-fuzz

bench: setup
	@$(MAKE) --no-print-directory build
	bench/run $(BUILD)

# Windows programs run here under wine, in a prefix of the build's own, quietly and
# without a display.
WINE_ENV = env -u DISPLAY WINEDEBUG=-all WINEPREFIX=$(CURDIR)/$(BUILD)-windows-test/wine
WINDOWS_CONFIGURE = -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DSHELVO_WERROR=$(WERROR)

windows: setup
	@cmake -S . -B $(BUILD)-windows $(WINDOWS_CONFIGURE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)-windows -j $(JOBS) --target shelvo-cli

# The tests are built at -O1: they check behaviour, and the cross build is the
# longest step.
test-windows: setup
	@cmake -S . -B $(BUILD)-windows-test $(WINDOWS_CONFIGURE) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DSHELVO_TESTS=ON >/dev/null
	$(WINE_ENV) cmake --build $(BUILD)-windows-test -j $(JOBS)
	@# A new prefix is made once, before the tests start side by side: two wine
	@# processes making one prefix at once may fail to find its server.
	$(WINE_ENV) "$$(sed -n 's/^SHELVO_WINE:FILEPATH=//p' $(BUILD)-windows-test/CMakeCache.txt)" wineboot -i 2>/dev/null
	cd $(BUILD)-windows-test && $(WINE_ENV) ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target shelvo-cli
	$(WINE_ENV) scripts/check-windows-cli $(BUILD)/bin/shelvo-cli $(BUILD)-windows-test/bin/shelvo-cli.exe

install: programs
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# Removes every file the last install wrote (the folders stay: others share them).
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "make: nothing was installed from $(BUILD)" >&2; exit 1; }
	xargs -d '\n' rm -f -- < $(BUILD)/install_manifest.txt

deb: setup
	scripts/build-package $(BUILD)-deb $(WERROR)

check-package: deb
	scripts/check-package $(BUILD)-deb/shelvo_*.deb

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-fuzz $(BUILD)-deb $(BUILD)-windows $(BUILD)-windows-test
