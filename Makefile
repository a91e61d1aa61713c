# qrtool: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run demo test sanitize bench fuzz fuzz-run mutation install package clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Encodes a Chinese sample with Hanzi compression and prints the symbol.
demo: build
	@$(BUILD)/cli/qrtool encode --hanzi --terminal --output $(BUILD)/demo.jpg "二维码生成分析工具 qrtool"

# Installs what is missing, builds the desktop program and starts it.
run: configure
	@cmake --build $(BUILD) --target qrtool-gui -j$(JOBS)
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no graphical session (DISPLAY or WAYLAND_DISPLAY is not set)"; exit 1; fi
	@$(BUILD)/app/qrtool-gui

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer; our
# code builds with warnings as errors.
sanitize: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQRTOOL_SANITIZE=ON -DQRTOOL_BENCH=OFF -DQRTOOL_WERROR=ON >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp ctest --output-on-failure -j$(JOBS) --timeout 900

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRTOOL_TESTS=OFF >/dev/null
	@cmake --build build-bench -j$(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done

# Builds the libFuzzer targets (clang, warnings as errors); `make fuzz-run`
# then runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 30
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRTOOL_FUZZ=ON -DQRTOOL_GUI=OFF -DQRTOOL_TESTS=OFF -DQRTOOL_BENCH=OFF -DQRTOOL_WERROR=ON >/dev/null
	@cmake --build build-fuzz -j$(JOBS)

fuzz-run: fuzz
	@for f in build-fuzz/fuzz/fuzz_*; do \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build-fuzz/ >build-fuzz/fuzz-run.log 2>&1; then \
	    tail -n 40 build-fuzz/fuzz-run.log; exit 1; \
	  fi; \
	  tail -n 3 build-fuzz/fuzz-run.log; \
	done

# Seeded operator and boundary mutants of the plain libraries against their
# tests; MUTATION_ARGS passes options, e.g. MUTATION_ARGS="encoder -n 80 --seed 3".
mutation: deps
	@python3 scripts/mutation-check $(MUTATION_ARGS)

install: build
	@cmake --install $(BUILD)

# The Debian package qrtool_<version>_amd64.deb, in $(BUILD).
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD) build-asan build-bench build-fuzz build-mutation
