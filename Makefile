# The commands the README shows. `make ci` is what CI runs.
JOBS ?= $(shell nproc)
ASAN_DIR := build/asan
REL_DIR := build/release
# The build-time tools (packbuild, movieenc), built on their own so `make assets` needs neither
# other tree.
TOOLS_DIR := build/tools
# Debian's python3-pil is installed for the system interpreter.
PYTHON := /usr/bin/python3
REL_TESTS_DIR := build/release-tests
TSAN_DIR := build/tsan
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60

.PHONY: test run bench deps build release-tests ci fuzz clean assets close-sweep version-sweep tsan

deps:
	@tools/install-deps

$(ASAN_DIR)/build.ninja: | deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMURKWELL_SANITIZE=ON \
	    -DMURKWELL_WERROR=ON

$(REL_DIR)/build.ninja: | deps
	cmake -S . -B $(REL_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=OFF \
	    -DMURKWELL_BENCH=ON

$(TOOLS_DIR)/build.ninja: | deps
	cmake -S . -B $(TOOLS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURKWELL_TESTS=OFF

# The generated sounds and images: remakes only what changed, and rewrites only files whose bytes
# differ, so a second run does nothing.
assets: deps $(TOOLS_DIR)/build.ninja
	cmake --build $(TOOLS_DIR) --target packbuild movieenc -j $(JOBS)
	$(PYTHON) tools/assetgen/gen.py --out assets --packbuild $(TOOLS_DIR)/tools/packbuild \
	    --movieenc $(TOOLS_DIR)/tools/movieenc --jobs $(JOBS)

# The optimised build with its tests and benchmarks: warnings that only -O2 raises, and faults that
# only optimised code shows (the tests run again there).
$(REL_TESTS_DIR)/build.ninja: | deps
	cmake -S . -B $(REL_TESTS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_BENCH=ON \
	    -DMURKWELL_WERROR=ON

$(TSAN_DIR)/build.ninja: | deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMURKWELL_TSAN=ON \
	    -DMURKWELL_WERROR=ON

$(FUZZ_DIR)/build.ninja: | deps
	@tools/install-deps clang
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

test: deps assets $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS) -LE optimised

release-tests: deps assets $(REL_TESTS_DIR)/build.ninja
	cmake --build $(REL_TESTS_DIR) -j $(JOBS)
	cd $(REL_TESTS_DIR) && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
	    ctest --output-on-failure -j $(JOBS)

ci: test release-tests

# The tests that start threads, built with the thread sanitizer: the savers of the shared files, the
# heap's give-back, the download worker, the sound service and its mixer, the rasteriser's helpers,
# the quit watch, and the menus of a whole headless game. A race fails its test (the sanitizer's
# exit code).
TSAN_TARGETS := test_sys test_sys_audio test_sys_display test_platform test_sound test_ui \
    test_services test_e2e
TSAN_SUITES := PrefsSaverTest PrefsCopiesTest HiscoresTest HttpTest SoundTest SoundStreamVolume \
    AudioDevice AudioBuffer RasterThreads MemoryPages QuitWatchTest MenuSavesTest FrameThreadSavesTest
empty :=
TSAN_TESTS := ^($(subst $(empty) $(empty),|,$(strip $(TSAN_SUITES))))\.|^ManagerTest\.AClosedScreen
tsan: deps assets $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_DIR) && TSAN_OPTIONS=second_deadlock_stack=1 SDL_VIDEODRIVER=dummy \
	    SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# The whole close sweep (`make ci` runs a sample of it): every frame of each location's windows,
# in the optimised tree, where its thousands of runs take a fraction of the sanitizers' time.
close-sweep: deps assets $(REL_TESTS_DIR)/build.ninja
	cmake --build $(REL_TESTS_DIR) -j $(JOBS) --target test_close_sweep
	cd $(REL_TESTS_DIR) && MURKWELL_CLOSE_SWEEP=full SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
	    ctest --output-on-failure -j $(JOBS) -L closesweep

# The whole version sweep (`make ci` runs a sample of it): a new start from every version of the
# player's files the play-through puts in place, each played on to the credits.
version-sweep: deps assets $(REL_TESTS_DIR)/build.ninja
	cmake --build $(REL_TESTS_DIR) -j $(JOBS) --target test_version_sweep
	cd $(REL_TESTS_DIR) && MURKWELL_VERSION_SWEEP=full SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
	    ctest --output-on-failure -j $(JOBS) -L versionsweep

# The optimised program, its tools and the benchmarks.
build: deps $(REL_DIR)/build.ninja
	cmake --build $(REL_DIR) -j $(JOBS)

# The program, the two tools that read its files and the location check (the README and the guide
# name them): the first start does not wait for the benchmarks (`make bench` builds them). The
# test "run_target_files" checks that these make every file the build puts in assets/.
RUN_TARGETS := murkwell prefsdump hiscoredump locationcheck
run: deps assets $(REL_DIR)/build.ninja
	cmake --build $(REL_DIR) -j $(JOBS) --target $(RUN_TARGETS)
	$(REL_DIR)/murkwell

bench: build
	@for b in $(REL_DIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Builds every libFuzzer target of tests/fuzz/ and runs each for FUZZ_SECONDS, from the corpus it
# grows in build/fuzz/ and the seeds of tests/fuzz/corpus/ (when the target has some); a crash or
# undefined behaviour stops with its input saved in build/fuzz/. The leak checker skips one frame
# of the Vorbis library (tests/fuzz/lsan.supp says why).
fuzz: $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target tests/fuzz/all
	@for f in $(FUZZ_DIR)/tests/fuzz/fuzz_*; do \
	    [ -x "$$f" ] || continue; t=$$(basename $$f); seeds=tests/fuzz/corpus/$${t#fuzz_}; \
	    [ -d "$$seeds" ] || seeds=; \
	    mkdir -p $(FUZZ_DIR)/corpus/$$t && echo "fuzz: $$t for $(FUZZ_SECONDS) s" && \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/fuzz/lsan.supp \
	    $$f -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ_DIR)/ \
	        $(FUZZ_DIR)/corpus/$$t $$seeds || exit 1; \
	done

clean:
	rm -rf build
