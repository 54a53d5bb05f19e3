# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
SAN_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
CMAKE_FLAGS ?=

.PHONY: run test test-sanitize fuzz deps build bench clean

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD)

run: build
	@scripts/run-orvex $(BUILD)/orvex $(ARGS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

test-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -G Ninja -DORVEX_SANITIZE=ON -DORVEX_BENCHMARKS=OFF \
		-DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(SAN_BUILD)
	@cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2

# Every fuzz target for FUZZ_SECONDS each (or those in FUZZ_TARGETS), in a clang build of
# its own; fails on any crash, leak, sanitizer report or slow input (see fuzz/run).
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DORVEX_FUZZ=ON -DORVEX_BENCHMARKS=OFF \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzz_targets
	@fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
