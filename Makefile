# make run   installs what is missing, builds the programs, and runs the demo (add, search, list)
# make test  installs what is missing, builds everything, and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)
# CI sets WERROR=ON so that no compiler warning comes back.
WERROR ?= OFF

.PHONY: all setup configure build programs run test bench clean

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
	cmake --build $(BUILD) -j $(JOBS) --target shelvo-cli

run: programs
	scripts/demo $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD)
