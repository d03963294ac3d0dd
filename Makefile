# The two commands a fresh machine needs: 'make run' and 'make test'.
BUILD ?= build
JOBS ?= $(shell nproc)
CTEST_ARGS ?=
# Options for the configure step, e.g. CMAKE_ARGS=-DKIRVANE_WERROR=ON.
CMAKE_ARGS ?=

.PHONY: setup configure build run test bench fuzz package clean

setup:
	@bash scripts/setup

configure: setup
	@if [ ! -f $(BUILD)/build.ninja ] || [ -n "$(CMAKE_ARGS)" ]; then cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS); fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/kirvane

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

bench: build
	@bash bench/run

package: build
	@cd $(BUILD) && cpack -G DEB

fuzz: build
	@bash tests/mail/fuzz/run-long

clean:
	rm -rf $(BUILD)
