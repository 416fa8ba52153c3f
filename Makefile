BUILD    ?= build
BOARD    ?= var/board
JOBS     ?= $(shell nproc)
RUNARGS  ?=

.PHONY: all deps configure build test run asan fuzz clean format

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@mkdir -p $(BOARD)
	$(BUILD)/app/dmsc --board-dir $(BOARD) $(RUNARGS)

# Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B build-asan -G Ninja -DDMS_SANITIZE=ON -DDMS_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -L unit --output-on-failure -j $(JOBS)

# Every fuzz target, briefly (FUZZ_SECONDS each).
FUZZ_SECONDS ?= 20
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DDMS_FUZZ=ON -DDMS_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@./scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-fuzz
