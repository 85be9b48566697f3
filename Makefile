# make run   installs what is missing, builds the programs, and runs the demo (add, search, list),
#            then opens the window on the demo catalog when there is a display
# make screenshot  the window under a virtual display after a search, as build/screenshot.png
# make test-sanitize  every test, built with the address and undefined-behaviour sanitizers
# make fuzz        each fuzz target of fuzz/ for FUZZ_SECONDS (300); make fuzz-smoke: 20 s each
# make test  installs what is missing, builds everything, and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)
# CI sets WERROR=ON so that no compiler warning comes back.
WERROR ?= OFF

FUZZ_SECONDS ?= 300

.PHONY: all setup configure build programs run screenshot test test-sanitize fuzz fuzz-smoke bench clean

all: build

setup:
	@scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHELVO_WERROR=$(WERROR) >/dev/null

# Everything: programs, tests and benchmarks.
build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Only what the demo runs.
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target shelvo-cli shelvo

run: programs
	scripts/demo $(BUILD)

screenshot: programs
	scripts/screenshot $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: setup
	@cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHELVO_SANITIZE=ON \
	  -DSHELVO_BENCH=OFF -DSHELVO_WERROR=$(WERROR) >/dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions \
	  ctest --output-on-failure -j $(JOBS)

fuzz: setup
	scripts/fuzz $(FUZZ_SECONDS) $(BUILD)-fuzz

fuzz-smoke: setup
	scripts/fuzz 20 $(BUILD)-fuzz

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-fuzz
