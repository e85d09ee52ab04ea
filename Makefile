# The two set-up commands of the README, plus the benchmarks.
#   make run     install what is missing, build, start the instrument
#   make test    install what is missing, build, run every test
#   make bench   build and run the benchmarks
#   make fuzz    build the fuzzers with clang and run each for FUZZ_SECONDS
# SANITIZE=address,undefined or SANITIZE=thread builds into a separate tree.

SANITIZE ?=
BUILD_TYPE ?= RelWithDebInfo
comma := ,
BUILD := build$(if $(SANITIZE),-$(subst $(comma),-,$(SANITIZE)))
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
FUZZ_BUILD := build-fuzz

.PHONY: all deps configure build run test bench fuzz clean

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

# The fuzzers watch for memory errors, leaks and undefined behaviour as they go.
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DTOVEL_SANITIZE=address,undefined -DTOVEL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	@fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf build build-*
