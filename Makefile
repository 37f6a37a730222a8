# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first, then configure and build with CMake.

BUILD     ?= build
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=
RUN_DIR   := $(BUILD)/run

SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 300

.PHONY: all setup build run screenshot test test-sanitize test-portable fuzz fuzz-fit bench clean

all: build

setup:
	@./scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Opens the window in a scratch folder holding a copy of the sample as walk.xml;
# the day files of a conversion appear there.
run: build
	rm -rf $(RUN_DIR) && mkdir -p $(RUN_DIR)
	cp examples/walk.xml $(RUN_DIR)/walk.xml
	cd $(RUN_DIR) && $(abspath $(BUILD))/app/kelvane
	@echo "Day files in $(RUN_DIR):" && ls -l $(RUN_DIR)

# Draws the window without a screen into $(SHOT_DIR): after start-up, with the
# offset controls and the date picker open, and with the file list open; then
# all three at 200% scale, and the window as a 1280 x 1024 screen shows it there.
SHOT_DIR := $(BUILD)/screenshot
screenshot: build
	mkdir -p $(SHOT_DIR)
	$(BUILD)/app/kelvane-screenshot \
	  $(SHOT_DIR)/kelvane.png $(SHOT_DIR)/kelvane-picker.png $(SHOT_DIR)/kelvane-list.png
	QT_SCALE_FACTOR=2 $(BUILD)/app/kelvane-screenshot \
	  $(SHOT_DIR)/kelvane-2x.png $(SHOT_DIR)/kelvane-picker-2x.png $(SHOT_DIR)/kelvane-list-2x.png \
	  $(SHOT_DIR)/kelvane-2x-on-1280x1024.png

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package $(BUILD)/kelvane_VERSION_ARCH.deb, and its check: lintian,
# an install with apt, the installed programs at work, and its removal.
.PHONY: package package-check
package: build
	cmake --build $(BUILD) --target package

package-check: package
	./scripts/check_package.sh $(BUILD)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
$(SANITIZE_BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(SANITIZE_BUILD) -DKELVANE_SANITIZE=ON $(CMAKE_ARGS)

test-sanitize: setup $(SANITIZE_BUILD)/CMakeCache.txt
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan_suppressions.txt:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# Feeds generated history files to the engine for FUZZ_SECONDS seconds (clang,
# libFuzzer, ASan, UBSan). New inputs collect in $(FUZZ_BUILD)/corpus; an
# input that breaks a check is saved in $(FUZZ_BUILD)/findings.
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
$(FUZZ_BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKELVANE_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" $(CMAKE_ARGS)

fuzz: setup $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) --target kelvane_fuzz -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/findings
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/fuzz/kelvane_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 \
	  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/ \
	  $(FUZZ_BUILD)/corpus fuzz/corpus

# Feeds FIT files to the FIT decoder alone for FUZZ_SECONDS seconds, in the
# same build: each input decoded at once and in pieces must give the same
# messages, with files and offsets in order.
fuzz-fit: setup $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) --target kelvane_fit_fuzz -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus_fit $(FUZZ_BUILD)/findings
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/fuzz/kelvane_fit_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 \
	  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/ \
	  $(FUZZ_BUILD)/corpus_fit fuzz/corpus_fit

# The tests, the sanitizer tests and a short fuzz run again, with day files
# saved the way every system allows (temporary names and renames) instead of
# Linux's own calls; each in build folders of its own.
PORTABLE_ARGS := CMAKE_ARGS=-DKELVANE_PORTABLE_OUTPUT=ON
test-portable:
	$(MAKE) test BUILD=build-portable $(PORTABLE_ARGS)
	$(MAKE) test-sanitize SANITIZE_BUILD=build-sanitize-portable $(PORTABLE_ARGS)
	$(MAKE) fuzz FUZZ_BUILD=build-fuzz-portable FUZZ_SECONDS=$(FUZZ_SECONDS) $(PORTABLE_ARGS)

# Times conversions of generated 100 MB and 400 MB histories against this
# machine's own floors, and of Training Center files against gpsbabel (Release
# build, scratch data in $(BENCH_BUILD)/data); fails when a target is missed.
# Not part of `make test`.
BENCH_BUILD ?= build-bench
bench: setup
	@./scripts/setup.sh --bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKELVANE_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD) --target kelvane-bench -j $(JOBS)
	$(BENCH_BUILD)/bench/kelvane-bench --data $(BENCH_BUILD)/data

clean:
	rm -rf $(BUILD)
