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
.PHONY: format format-check

all: build

setup:
	@./scripts/setup.sh

# $(call configure,FOLDER,ARGS): configures FOLDER the first time, and again
# whenever CMAKE_ARGS is given, so that new values reach a build configured
# before (values given earlier stay in its cache until given again).
configure = if [ ! -f $(1)/CMakeCache.txt ] || [ -n "$(strip $(CMAKE_ARGS))" ]; then \
	  cmake -S . -B $(1) $(2) $(CMAKE_ARGS); fi

build: setup
	$(call configure,$(BUILD))
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
	@# The overview page and a few pictures, in headless Chromium; skipped
	@# (status 77) where node, the browser or Leaflet is missing.
	@if command -v node >/dev/null; then \
	  node tests/node/overview_page.mjs --writer $(BUILD)/tests/overview_library \
	    --screenshots $(SHOT_DIR) --convert $(BUILD)/cli/kelvane-split examples/walk.xml \
	    tests/data/tcx tests/data/fit tests/data/gpx || [ $$? -eq 77 ]; \
	  node tests/node/run_picture.mjs $(BUILD)/tests/run_picture_samples \
	    $(SHOT_DIR)/pictures || [ $$? -eq 77 ]; \
	else echo "no node: the page and the pictures are not shot"; fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package $(BUILD)/kelvane_VERSION_ARCH.deb, and its check: lintian,
# an install with apt, the installed programs at work, and its removal.
.PHONY: package package-check
package: build
	cmake --build $(BUILD) --target package

package-check: package
	./scripts/check_package.sh $(BUILD)

# Builds that are only tested are optimised less, to build in two thirds of
# the time; the sanitizers need no more than -O1 to find what they find.
CHECK_FLAGS = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 $(1) -DNDEBUG"

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (SANITIZE_TESTS: ctest's choice of tests, such as -LE heavy).
test-sanitize: setup
	$(call configure,$(SANITIZE_BUILD),-DKELVANE_SANITIZE=ON $(call CHECK_FLAGS,-g1))
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan_suppressions.txt:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS) $(SANITIZE_TESTS)

# Feeds generated history files to the engine for FUZZ_SECONDS seconds (clang,
# libFuzzer, ASan, UBSan); FUZZ_TARGET=kelvane_fuzz_portable does the same
# with day files saved by portable calls. New inputs collect in $(FUZZ_BUILD)/corpus; an
# input that breaks a check is saved in $(FUZZ_BUILD)/findings. The real FIT
# files of the shared reference folder, when it is there, join the seeds with
# every day file asked for (their first 64 KiB: the longest input tried).
REFERENCE_FIT ?= ../shared/reference/fit
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
FUZZ_CONFIGURE := -DCMAKE_CXX_COMPILER=clang++ -DKELVANE_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" $(call CHECK_FLAGS,-gline-tables-only)
FUZZ_TARGET ?= kelvane_fuzz
fuzz: setup
	$(call configure,$(FUZZ_BUILD),$(FUZZ_CONFIGURE))
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGET) -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/findings
	for f in $(REFERENCE_FIT)/*.fit; do [ ! -f "$$f" ] || \
	  { printf '\047\014\000\000\000'; cat "$$f"; } > $(FUZZ_BUILD)/corpus/reference_$$(basename "$$f"); done
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/fuzz/$(FUZZ_TARGET) -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 \
	  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/ \
	  $(FUZZ_BUILD)/corpus fuzz/corpus

# Feeds FIT files to the FIT decoder alone for FUZZ_SECONDS seconds, in the
# same build: each input decoded at once and in pieces must give the same
# messages, with files and offsets in order.
fuzz-fit: setup
	$(call configure,$(FUZZ_BUILD),$(FUZZ_CONFIGURE))
	cmake --build $(FUZZ_BUILD) --target kelvane_fit_fuzz -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus_fit $(FUZZ_BUILD)/findings
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/fuzz/kelvane_fit_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 \
	  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/ \
	  $(FUZZ_BUILD)/corpus_fit fuzz/corpus_fit

# Day files saved the way every system allows (temporary names and renames)
# instead of Linux's own calls: the tests of saving (CTest label `saving`) in
# $(PORTABLE_BUILD), and a fuzz run in the fuzz build, whose portable target
# compiles only the saving calls anew. The rest of the program does not change
# with the way of saving.
PORTABLE_BUILD ?= build-portable
test-portable: setup
	$(call configure,$(PORTABLE_BUILD),-DKELVANE_PORTABLE_OUTPUT=ON $(call CHECK_FLAGS,-g1))
	cmake --build $(PORTABLE_BUILD) --target saving_tests -j $(JOBS)
	cd $(PORTABLE_BUILD) && ctest -L saving --output-on-failure -j $(JOBS)
	$(MAKE) fuzz FUZZ_TARGET=kelvane_fuzz_portable FUZZ_SECONDS=$(FUZZ_SECONDS)

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

# Lays out every C++ file of the project by .clang-format (format), or lists
# the lines that differ and fails (format-check, run by CI). Build folders and
# other files git ignores are left out. The layout is that of clang-format 14,
# Debian 12's, which CI uses; later versions break a few lines otherwise.
CXX_FILES = $(wildcard $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.h.in' \
	  2>/dev/null || find . \( -name 'build*' -o -name .git \) -prune -o \
	  \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' \) -print))
format: setup
	@clang-format -i $(CXX_FILES)
	@echo "$(words $(CXX_FILES)) C++ files laid out by .clang-format"

format-check: setup
	@clang-format --dry-run --Werror $(CXX_FILES)
	@echo "$(words $(CXX_FILES)) C++ files as .clang-format lays them out ($$(clang-format --version))"

clean:
	rm -rf $(BUILD)
