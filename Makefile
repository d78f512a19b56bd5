# Thin wrapper over CMake. `make run` builds and runs the generator on the
# bundled default palette and describes what it wrote; `make test` builds and
# runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
CMAKE_ARGS ?=
PALETTE ?= examples/default.pal.txt
TABLES ?= $(BUILD_DIR)/default.tab

.PHONY: all configure build run test bench clean

all: build

configure:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR)

# paltab ends with status 1 on every run, by design; success is the file.
run: build
	@rm -f $(TABLES)
	./$(BUILD_DIR)/paltab -n $(PALETTE) $(TABLES) || true
	@test -f $(TABLES) || { echo "run: $(TABLES) was not written" >&2; exit 1; }
	./$(BUILD_DIR)/paltool info $(TABLES)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

bench: build
	./$(BUILD_DIR)/bench/paltab_bench

clean:
	rm -rf $(BUILD_DIR)
