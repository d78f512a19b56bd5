# Thin wrapper over CMake. `make run` builds and runs the generator on the
# bundled default palette and describes what it wrote; `make test` builds and
# runs every test; `make test-sanitize` runs them again built with ASan and
# UBSan; `make fuzz` runs each fuzz target for FUZZ_SECONDS seconds.
# `make install PREFIX=DIR` installs the library, its headers, package
# files and the tools under DIR (default /usr/local).
# `make deps` (which every build calls) installs the Debian packages the build
# needs, only those that are missing.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
CMAKE_ARGS ?=
PALETTE ?= examples/default.pal.txt
TABLES ?= $(BUILD_DIR)/default.tab
PREFIX ?= /usr/local

SANITIZE_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_CXX ?= clang++-14
FUZZ_SECONDS ?= 60
# The instrumented builds compile at -O1 with line tables only: half the
# compile time of -O2 -g, and reports still name file and line.
INSTRUMENTED_FLAGS := -O1 -g1 -DNDEBUG
FUZZ_TARGETS := palette_reader_fuzz generate_fuzz palette_formats_fuzz remap_fuzz png_fast_fuzz c_read_palette_fuzz \
	indexed_image_fuzz gif_fuzz jpeg_fuzz

.PHONY: all deps configure build run test bench install clean test-sanitize fuzz-build fuzz

all: build

DEPS := cmake ninja-build g++ make libpng-dev zlib1g-dev libdeflate-dev libgtest-dev libbenchmark-dev libcli11-dev \
	libgif-dev libjpeg62-turbo-dev
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

deps:
	@missing=$$(for p in $(DEPS); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "deps: installing" $$missing; \
	  $(SUDO) apt-get update -qq && $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j2

# paltab ends with status 1 on every run, by design; success is the file.
run: build
	@rm -f $(TABLES)
	./$(BUILD_DIR)/paltab -n $(PALETTE) $(TABLES) || true
	@test -f $(TABLES) || { echo "run: $(TABLES) was not written" >&2; exit 1; }
	./$(BUILD_DIR)/paltool info $(TABLES)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

bench: build
	./$(BUILD_DIR)/bench/paltab_bench

# The asan-ubsan preset builds in $(SANITIZE_DIR).
test-sanitize: deps
	cmake --preset asan-ubsan $(CMAKE_ARGS)
	cmake --build --preset asan-ubsan -j2
	ctest --preset asan-ubsan

fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(INSTRUMENTED_FLAGS)" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$(INSTRUMENTED_FLAGS)" \
	  -DPALTAB_BUILD_FUZZ=ON -DPALTAB_BUILD_TESTS=OFF -DPALTAB_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_DIR) -j2

# New inputs go to fuzz-corpus/<target> (not committed); a finding is saved
# in $(FUZZ_DIR)/artifacts and fails the run with the end of the fuzzer's log.
fuzz: fuzz-build
	@scripts/make-fuzz-seeds.sh $(FUZZ_DIR)/seeds
	@mkdir -p $(FUZZ_DIR)/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz-corpus/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  if ! $(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -timeout=10 -print_final_stats=1 \
	      -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- fuzz-corpus/$$t $(FUZZ_DIR)/seeds/$$t > $(FUZZ_DIR)/$$t.log 2>&1; then \
	    tail -n 60 $(FUZZ_DIR)/$$t.log; echo "fuzz: $$t FOUND A FAULT (log: $(FUZZ_DIR)/$$t.log)"; exit 1; \
	  fi; \
	  echo "fuzz: $$t: $$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' $(FUZZ_DIR)/$$t.log), no findings"; \
	done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
