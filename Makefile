# Brisvane: `make test` builds and runs the tests; `make bench` runs the benchmarks.
JOBS ?= $(shell nproc)
CMAKE_GEN = -G Ninja

.PHONY: all deps build test test-sanitize bench clean

all: build

deps:
	@scripts/install-deps

build/debug/build.ninja: | deps
	cmake -S . -B build/debug $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps build/debug/build.ninja
	cmake --build build/debug -j $(JOBS)

test: build
	cd build/debug && ctest --output-on-failure -j $(JOBS)

build/asan/build.ninja: | deps
	cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DBRISVANE_SANITIZE=ON

test-sanitize: deps build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

build/release/build.ninja: | deps
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF -DBRISVANE_BENCH=ON

bench: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS) --target corvix_bench
	build/release/bench/corvix_bench

clean:
	rm -rf build
