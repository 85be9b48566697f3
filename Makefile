# make run   installs what is missing, builds the programs, and runs the demo (add, search, list),
#            then opens the window on the demo catalog when there is a display
# make screenshot  the window under a virtual display after a search, as build/screenshot.png
# make test  installs what is missing, builds everything, and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)
# CI sets WERROR=ON so that no compiler warning comes back.
WERROR ?= OFF

.PHONY: all setup configure build programs run screenshot test bench clean

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

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD)
