# Tolvane: make run (install, build, convert the demo inputs), make test, make bench.
BUILD_DIR   ?= build
BENCH_DIR   ?= build-release
BUILD_TYPE  ?= RelWithDebInfo
WERROR      ?= $(if $(TOLVANE_WERROR),$(TOLVANE_WERROR),OFF)
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps build test run bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTOLVANE_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

run: build
	@./scripts/run-demo.sh $(BUILD_DIR)/bin

bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@python3 bench/run_bench.py --bin $(BENCH_DIR)/bin
	@python3 bench/decode_bench.py --bin $(BENCH_DIR)/bin

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) demo bench/work
