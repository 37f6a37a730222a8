# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first, then configure and build with CMake.

BUILD     ?= build
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=
RUN_DIR   := $(BUILD)/run

.PHONY: all setup build run test clean

all: build

setup:
	@./scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Splits the bundled sample history into day files in a scratch folder.
run: build
	rm -rf $(RUN_DIR) && mkdir -p $(RUN_DIR)
	$(BUILD)/cli/kelvane-split --all --xml --csv --gpx -C $(RUN_DIR) examples/walk.xml
	@echo "Day files in $(RUN_DIR):" && ls -l $(RUN_DIR)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
