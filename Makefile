# Front door of the build. Every target first installs what is missing (scripts/setup.sh).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# make fuzz-run: minutes per fuzz target, and how many targets run at once.
MINUTES ?= 10
PARALLEL ?= 2

.PHONY: all setup configure build test install package demo check-asan bench fuzz fuzz-run clean

all: build

setup:
	sh scripts/setup.sh

# Warnings are errors in every build made through this file (tests, CI, the sanitizer build);
# a plain cmake Release build keeps them as warnings.
configure: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_WERROR=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Installs the programs, manual pages, documents, desktop entry, icon and demo game under
# PREFIX (DESTDIR is honoured for staging).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds a Debian package of the files make install puts in place, with its dependencies worked
# out from the libraries the programs link: $(BUILD)/package/kivoplay_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack --config CPackConfig.cmake

# Runs the player on the bundled demo game: in a window when there is a display, otherwise
# under a virtual X server.
demo: build
	sh scripts/run-demo.sh $(BUILD)

check-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DKIVO_SANITIZE=ON -DKIVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

bench: build
	sh scripts/run-bench.sh $(BUILD)

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKIVO_FUZZ=ON -DKIVO_BENCH=OFF -DKIVO_DESKTOP=OFF
	cmake --build build-fuzz -j $(JOBS) --target kivo_fuzz

# Runs every fuzz target for MINUTES minutes from its seed corpus and dictionary and prints
# runs, coverage, corpus size and crashes per target (TARGETS="fuzz_gal ..." for some only).
fuzz-run: fuzz
	MINUTES=$(MINUTES) PARALLEL=$(PARALLEL) TARGETS="$(TARGETS)" sh scripts/fuzz-run.sh build-fuzz

clean:
	rm -rf build build-asan build-fuzz
