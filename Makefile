# The commands the README shows. `make test` is what CI runs.
JOBS ?= $(shell nproc)
ASAN_DIR := build/asan
REL_DIR := build/release

.PHONY: test run bench deps build clean

deps:
	@tools/install-deps

$(ASAN_DIR)/build.ninja: | deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMURKWELL_SANITIZE=ON

$(REL_DIR)/build.ninja: | deps
	cmake -S . -B $(REL_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=OFF \
	    -DMURKWELL_BENCH=ON

test: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

build: deps $(REL_DIR)/build.ninja
	cmake --build $(REL_DIR) -j $(JOBS)

run: build
	$(REL_DIR)/murkwell

bench: build
	@for b in $(REL_DIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build
