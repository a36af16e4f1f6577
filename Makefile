# Brisvane: `make run` starts the app, `make test` builds and runs the tests; `make bench` runs the benchmarks.
JOBS ?= $(shell nproc)
CMAKE_GEN = -G Ninja

.PHONY: all deps build run test test-sanitize bench fuzz clean

all: build

deps:
	@scripts/install-deps

build/debug/build.ninja: | deps
	cmake -S . -B build/debug $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps build/debug/build.ninja
	cmake --build build/debug -j $(JOBS)

# Starts Brisvane on your desktop.
run: build
	build/debug/app/brisvane

test: build
	cd build/debug && ctest --output-on-failure -j $(JOBS)

build/asan/build.ninja: | deps
	cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DBRISVANE_SANITIZE=ON

test-sanitize: deps build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/app/App/lsan.supp ctest --output-on-failure -j $(JOBS)

build/release/build.ninja: | deps
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF -DBRISVANE_BENCH=ON

# Installs the npm peer in $(1) for one comparison. Without npm, or when the peer cannot be
# installed, that comparison is left out with a message (its benchmark says it is skipped) and
# every other benchmark still runs.
define install-peer
	@if ! command -v npm >/dev/null; then echo "npm not found: $(2) is left out of the comparison"; \
	elif (cd $(1) && npm ci --no-audit --no-fund); then touch $(1)/node_modules; \
	else rm -rf $(1)/node_modules; echo "$(2) could not be installed: it is left out of the comparison"; fi
endef

# The xterm.js peer of the throughput comparison (npm); the benchmarks only, never the tests.
# Without it the comparison runs with libvterm alone.
bench/peer-xterm/node_modules: bench/peer-xterm/package.json bench/peer-xterm/package-lock.json
	$(call install-peer,bench/peer-xterm,the xterm.js peer)

# The usage-report peer of the transcript-reading comparison, the same way.
bench/app/peer-ccusage/node_modules: bench/app/peer-ccusage/package.json bench/app/peer-ccusage/package-lock.json
	$(call install-peer,bench/app/peer-ccusage,the usage-report peer)

bench: deps build/release/build.ninja bench/peer-xterm/node_modules bench/app/peer-ccusage/node_modules
	cmake --build build/release -j $(JOBS) --target corvix_bench corvix_view_bench corvix_gpu_bench brisvane_app_bench brisvane
	build/release/bench/corvix_bench --benchmark_counters_tabular=true
	build/release/bench/corvix_view_bench
	xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb build/release/bench/corvix_gpu_bench
	build/release/bench/brisvane_app_bench --benchmark_filter='-BM_Nine(Busy|Idle)Tiles'
	@echo "Nine tiles drawn on the CPU and through GL, on a virtual X display:"
	xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb build/release/bench/brisvane_app_bench \
		--benchmark_filter='BM_Nine(Busy|Idle)Tiles'
	bench/idle_cost.sh build/release/app/brisvane

# The libFuzzer target, built with clang, run for FUZZ_SECONDS. The corpus it grows stays in
# build/fuzz/corpus; fuzz/corpus holds the checked-in seeds. Crashing inputs land in
# build/fuzz/artifacts.
FUZZ_SECONDS ?= 180
build/fuzz/build.ninja: | deps
	cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ -DBRISVANE_TESTS=OFF -DBRISVANE_FUZZ=ON

# The decoders of the agent's files and the settings merge run beside the terminal, each for the
# same time, seeded from fuzz/corpus-app/<target>.
APP_FUZZERS = SessionRecordFuzzer StatsCacheFuzzer PlanUsageFuzzer SpokenSummaryFuzzer TranscriptFuzzer \
	SettingsMergeFuzzer
FUZZ_COMMON = -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=512 \
	-print_final_stats=1
fuzz: deps build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS) --target corvix_fuzz brisvane_app_fuzzers
	mkdir -p build/fuzz/corpus build/fuzz/artifacts
	pids=""; \
	for f in $(APP_FUZZERS); do \
		mkdir -p build/fuzz/corpus-app/$$f; \
		ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		build/fuzz/fuzz/$$f build/fuzz/corpus-app/$$f fuzz/corpus-app/$$f -dict=fuzz/json.dict -max_len=65536 \
			$(FUZZ_COMMON) -artifact_prefix=build/fuzz/artifacts/$$f- > build/fuzz/$$f.log 2>&1 & pids="$$pids $$!"; \
	done; \
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	build/fuzz/fuzz/corvix_fuzz build/fuzz/corpus fuzz/corpus -dict=fuzz/terminal.dict -max_len=8192 \
		$(FUZZ_COMMON) -close_fd_mask=1 -artifact_prefix=build/fuzz/artifacts/; status=$$?; \
	for p in $$pids; do wait $$p || status=1; done; \
	for f in $(APP_FUZZERS); do echo "== $$f"; tail -n 12 build/fuzz/$$f.log; done; \
	exit $$status

clean:
	rm -rf build
