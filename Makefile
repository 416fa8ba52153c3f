BUILD    ?= build
BOARD    ?= var/board
JOBS     ?= $(shell nproc)
RUNARGS  ?=

.PHONY: all deps configure build test run asan tsan release fuzz clean format format-check layering soak

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build layering
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The library graph: acyclic, and every include of a declared library.
layering: deps
	@./scripts/check-layering

run: build
	@mkdir -p $(BOARD)
	$(BUILD)/app/dmsc --board-dir $(BOARD) $(RUNARGS)

# Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B build-asan -G Ninja -DDMS_SANITIZE=ON -DDMS_BENCH=OFF -DDMS_TEST_SHARDS=4 -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -L unit --output-on-failure -j $(JOBS)

# Unit tests under ThreadSanitizer: no two firmware threads ever run at once.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DDMS_TSAN=ON -DDMS_BENCH=OFF -DDMS_TEST_SHARDS=4 -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest -L unit --output-on-failure -j $(JOBS)

# Everything optimised (-Werror holds there too), with every test.
release: deps
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-release -j $(JOBS)
	cd build-release && ctest --output-on-failure -j $(JOBS)

# Power cuts under SNMP load, then a flood (not part of `test`; CI runs a short version).
SOAK_CUTS  ?= 20
SOAK_FLOOD ?= 30
SOAK_INSTANCES ?= 1
soak: build
	python3 tools/soak/soak.py --dmsc $(BUILD)/app/dmsc --flashdump $(BUILD)/tools/flashdump/flashdump \
		--rows ntcip/mib/mib_rows.tsv --cuts $(SOAK_CUTS) --flood $(SOAK_FLOOD) \
		--instances $(SOAK_INSTANCES) $(if $(SOAK_LOGS),--log-dir $(SOAK_LOGS))

# Every fuzz target, briefly (FUZZ_SECONDS each).
FUZZ_SECONDS ?= 20
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DDMS_FUZZ=ON -DDMS_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@./scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) build-asan build-tsan build-release build-fuzz
