# Tolvane: make run (install, build, convert the demo inputs), make test, make install, make bench, make fuzz.
BUILD_DIR   ?= build
BENCH_DIR   ?= build-release
SAN_DIR     ?= build-asan
BUILD_TYPE  ?= RelWithDebInfo
WERROR      ?= $(if $(TOLVANE_WERROR),$(TOLVANE_WERROR),OFF)
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= waveinfo mpeg convwave ini tagtext tags

.PHONY: all deps build test sanitize-test run install bench fuzz tidy clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTOLVANE_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory sanitize-test

# The engine, support, controls and list-model suites and the fuzz corpus replay again under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer. Full stacks on malloc let the
# suppressions recognise the third-party memory that lives as long as the process.
SAN_ENV = ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 \
          LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
          UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen

sanitize-test: deps
	@cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_SANITIZE=ON -DTOLVANE_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SAN_DIR) -j $(JOBS) --target tests_engine tests_support tests_controls tests_controls_model gstwavdest $(addprefix fuzz_replay_,$(FUZZ_TARGETS))
	@$(SAN_ENV) ctest --test-dir $(SAN_DIR) -R '^(tests_(engine|support|controls|controls_model)|fuzz_replay)\.' --output-on-failure -j $(JOBS)

run: build
	@./scripts/run-demo.sh $(BUILD_DIR)/bin

# A per-user install: the program folder stays writable (the command file and the log live there).
PREFIX ?= $(HOME)/.local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX) --strip >/dev/null
	@-update-desktop-database -q $(PREFIX)/share/applications 2>/dev/null
	@echo "installed: $(PREFIX)/bin/tolvane, $(PREFIX)/lib/tolvane/, $(PREFIX)/share/applications/tolvane.desktop"

# Only the report goes to stdout. BENCH_ARGS goes to bench/bench.py: e.g. --quick, or --write bench/RESULTS.md.
bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) >&2
	@python3 bench/bench.py --bin $(BENCH_DIR)/bin $(BENCH_ARGS)

# libFuzzer needs clang; each target runs FUZZ_SECONDS over its own copy of the corpus.
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLVANE_FUZZ=ON -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_WERROR=$(WERROR) >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@./fuzz/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Opt-in static checks with the repository's .clang-tidy; not part of make test. TIDY_FILES is a
# pattern of the paths to check (default: the program's own sources).
TIDY_FILES ?= $(CURDIR)/(app|controls|engine|plugins|support)/
tidy: build
	@run-clang-tidy -quiet -p $(BUILD_DIR) '$(TIDY_FILES)'

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) $(SAN_DIR) $(FUZZ_DIR) demo bench/work
