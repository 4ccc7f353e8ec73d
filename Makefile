# The commands the README shows. `make test` is what CI runs.
JOBS ?= $(shell nproc)
ASAN_DIR := build/asan
REL_DIR := build/release
# The build-time tools (packbuild), built on their own so `make assets` needs neither other tree.
TOOLS_DIR := build/tools
# Debian's python3-pil is installed for the system interpreter.
PYTHON := /usr/bin/python3

.PHONY: test run bench deps build clean assets

deps:
	@tools/install-deps

$(ASAN_DIR)/build.ninja: | deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMURKWELL_SANITIZE=ON

$(REL_DIR)/build.ninja: | deps
	cmake -S . -B $(REL_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=OFF \
	    -DMURKWELL_BENCH=ON

$(TOOLS_DIR)/build.ninja: | deps
	cmake -S . -B $(TOOLS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURKWELL_TESTS=OFF

# The generated sounds and images: remakes only what changed, and rewrites only files whose bytes
# differ, so a second run does nothing.
assets: deps $(TOOLS_DIR)/build.ninja
	cmake --build $(TOOLS_DIR) --target packbuild -j $(JOBS)
	$(PYTHON) tools/assetgen/gen.py --out assets --packbuild $(TOOLS_DIR)/tools/packbuild \
	    --jobs $(JOBS)

test: deps assets $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

build: deps $(REL_DIR)/build.ninja
	cmake --build $(REL_DIR) -j $(JOBS)

run: build assets
	$(REL_DIR)/murkwell

bench: build
	@for b in $(REL_DIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build
