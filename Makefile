# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
SAN_BUILD ?= build-sanitize
THREAD_BUILD ?= build-thread
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
CMAKE_FLAGS ?=

.PHONY: run test test-sanitize test-thread fuzz deps build bench clean

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

# ThreadSanitizer on the test programs whose code runs on several threads: the run loop and
# work queue, the album, the camera, the preview and the real binary end to end (with the
# icons and translations the installing end-to-end tests need). GLib, GStreamer, SDL and cairo
# are not instrumented: ignore_noninstrumented_modules drops what they do on their own, while
# our callbacks on their threads stay checked. Left out: a test that caps the address space,
# which TSan's shadow mappings cannot live in.
THREAD_TARGETS = test_foundation test_media test_preview test_e2e icons translations
THREAD_LEFT_OUT = _NOT_BUILT$$|^PreviewTest\.APictureWithoutMemory
THREAD_TSAN_OPTIONS = halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1
test-thread: deps
	@cmake -S . -B $(THREAD_BUILD) -G Ninja -DORVEX_THREAD_SANITIZER=ON -DORVEX_BENCHMARKS=OFF \
		>/dev/null
	@cmake --build $(THREAD_BUILD) --target $(THREAD_TARGETS)
	@cd $(THREAD_BUILD) && TSAN_OPTIONS=$(THREAD_TSAN_OPTIONS) \
		ctest --output-on-failure -j2 -E '$(THREAD_LEFT_OUT)'

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
	rm -rf $(BUILD) $(SAN_BUILD) $(THREAD_BUILD)
