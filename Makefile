# The two commands of the README:
#   make run   installs what is missing, builds, and starts corvanel-server on ./run/
#   make test  installs what is missing, builds, and runs every test
BUILD ?= build
HOME_DIR ?= $(CURDIR)/run
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run test test-asan test-tsan bench fuzz fuzz-quick fuzz-long soak clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# With a display the operator window, else the headless server.
run: build
	@bash scripts/prepare-home.sh "$(HOME_DIR)"
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/corvanel ]; then \
	  CORVANEL_HOME="$(HOME_DIR)" $(BUILD)/corvanel; \
	else \
	  CORVANEL_HOME="$(HOME_DIR)" $(BUILD)/corvanel-server; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Sanitizer builds of the whole test suite.
test-asan:
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  $(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DCORVANEL_SANITIZE=address,undefined -DCORVANEL_GUI=OFF"

# ThreadSanitizer over what runs concurrently: the log, configuration, counters,
# rules and print objects, the upper layer, and the server with parallel
# associations. A race stops the program that has it, so the test fails.
TSAN_E2E_TESTS = '^(Association|AssociationDelayedClose|Listener|Load)\.|Concurrent'
test-tsan:
	$(MAKE) build BUILD=build-tsan CMAKE_FLAGS="-DCORVANEL_SANITIZE=thread -DCORVANEL_GUI=OFF"
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'frame|rules|print|net'
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L e2e -R $(TSAN_E2E_TESTS)

# Benchmark programs (build-bench/bench/*_bench) and libFuzzer targets (clang).
bench:
	$(MAKE) build BUILD=build-bench CMAKE_FLAGS="-DCORVANEL_BENCH=ON -DCORVANEL_GUI=OFF -DCMAKE_BUILD_TYPE=Release"

fuzz:
	$(MAKE) build BUILD=build-fuzz CMAKE_FLAGS="-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANEL_FUZZ=ON -DCORVANEL_GUI=OFF -DCORVANEL_TESTS=OFF"

# Each libFuzzer target in turn: 15 s for CI, 10 minutes for the long run.
fuzz-quick: fuzz
	bash fuzz/run.sh build-fuzz 15

fuzz-long: fuzz
	bash fuzz/run.sh build-fuzz 600

# Load and soak (not CI): 50 SCUs with mixed jobs for 5 minutes, bursts of 200
# short associations; CI runs the same test briefly as part of make test.
soak: build
	cd $(BUILD) && CORVANEL_SOAK_SECONDS=300 CORVANEL_SOAK_CLIENTS=50 \
	  ./tests/test_e2e --gtest_filter='Load.*'

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
