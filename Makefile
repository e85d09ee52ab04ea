# The two set-up commands of the README, plus the benchmarks.
#   make run     install what is missing, build, start the instrument
#   make test    install what is missing, build, run every test
#   make bench   build and run the benchmarks
# SANITIZE=address,undefined or SANITIZE=thread builds into a separate tree.

SANITIZE ?=
BUILD_TYPE ?= RelWithDebInfo
comma := ,
BUILD := build$(if $(SANITIZE),-$(subst $(comma),-,$(SANITIZE)))
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DTOVEL_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/tovel

test: build
	@LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@for b in $(BUILD)/bench/bench_*; do echo "== $$(basename $$b)"; $$b --benchmark_counters_tabular=true || exit 1; done

clean:
	rm -rf build build-*
