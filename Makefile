# One entry point. `make test` installs what is missing, builds every target and runs every test.
JOBS ?= 2
CTEST := ctest --output-on-failure -j$(JOBS)
WINE_RUN := scripts/wine-run.sh

FUZZ_SECONDS ?= 60

VERSION := $(shell grep -o 'QelVorlaProxy VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
DIST_TARGETS := QelVorlaProxy qel_relay qelhost

.PHONY: help all demo dist bootstrap build test test-native test-tsan test-win64 test-win32 check-imports check-dist \
	fuzz fuzz-long bench bench-target bench-relay bench-wall clean

# Plain `make` says what there is to make: building every tree takes tens of minutes.
.DEFAULT_GOAL := help
help:
	@echo "QelVorlaProxy: make TARGET (each installs the Debian packages it misses and says what it builds)"
	@echo "  make demo          a stream through the real DLL to a player, traced and checked: about"
	@echo "                     5 minutes the first time (it builds the 32-bit library), 15 seconds after"
	@echo "  make test          every build and every test, as CI runs them; the first run takes about 20 to 30"
	@echo "                     minutes on two cores, its last line says PASSED or FAILED with the counts"
	@echo "  make dist          the release dist/QelVorlaProxy-$(VERSION)-win32.zip and its SHA-256"
	@echo "  make build         every build tree, no test (tens of minutes the first time)"
	@echo "  make bench         benchmarks, as ratios against same-run baselines"
	@echo "  make bench-target  the log line on the target, under Wine"
	@echo "  make bench-relay   the relay beside socat on loopback"
	@echo "  make bench-wall    a video wall: 64 cells in one host process, each with its own stream"
	@echo "  make fuzz-long     the fuzzers for 30 minutes each"
	@echo "  make clean         remove build/ and dist/"
	@echo "  ./qelhost --help   the host simulator: its options and every session step"
	@echo "Settings: JOBS=$(JOBS) (parallel compile jobs), FUZZ_SECONDS=$(FUZZ_SECONDS), DEMO_SECONDS (the demo's length)"

all: build

# Configured build trees are kept between runs.
.SECONDARY:

bootstrap:
	scripts/bootstrap.sh

build/%/build.ninja:
	cmake --preset $* >/dev/null

# One build of a tree at a time (scripts/build-tree.sh takes a lock beside it), so a demo and a test run
# started together in one clone take turns instead of writing one tree at once.
build-%:
	JOBS=$(JOBS) scripts/build-tree.sh --show $*

build: bootstrap build-win32 build-win64 build-native build-native-tsan

test:
	@echo "test: builds six trees and runs every suite; the first run takes about 20 to 30 minutes on two cores"
	@MAKE="$(MAKE)" scripts/test-all.sh test-native test-tsan test-win64 test-win32 check-imports check-dist fuzz

test-native:
	TZ=UTC $(CTEST) --test-dir build/native

test-tsan:
	TZ=UTC $(CTEST) --test-dir build/native-tsan -L concurrency

# The 64-bit build carries the Wine tests where the machine cannot execute 32-bit code. Elsewhere the product's
# own 32-bit build runs them, and running them twice would double the run's longest part for a build nobody
# ships; the 64-bit build is still built, so its sources keep compiling for the machines that need it.
test-win64:
	@if scripts/can-run-32bit.sh; then \
	  echo "test-win64: this machine executes 32-bit code, so the win32 build runs the Wine tests; the win64" \
	    "build was built and its tests are left to machines that cannot"; \
	else \
	  $(WINE_RUN) build/win64 $(CTEST) --test-dir build/win64; \
	fi

# The shipped 32-bit build runs its tests only where the machine can execute 32-bit code; elsewhere
# the 64-bit build of the same sources carries the Wine tests.
test-win32:
	@if scripts/can-run-32bit.sh; then \
	  $(WINE_RUN) build/win32 $(CTEST) --test-dir build/win32; \
	else \
	  echo "test-win32: this machine cannot execute 32-bit code; the win64 build ran the Wine tests"; \
	  echo "test-win32: the C plug-in's test of the 32-bit layout (c_plugin_tests) is built and skipped;" \
	    "the layout's static asserts held in the build"; \
	fi

check-imports: build-win32
	scripts/check-imports.sh build/win32
	scripts/check-exports.sh build/win32/src/control/QelVorlaProxy.dll

# The main job: a stream flows from a local origin through a SOCKS5 proxy and the relay that the real DLL
# sets up, to a player; the host simulator traces it and the demo ends with a checked summary.
demo: bootstrap
	scripts/run-demo.sh

# The release archive, dist/QelVorlaProxy-$(VERSION)-win32.zip.
dist: bootstrap
	JOBS=$(JOBS) scripts/build-tree.sh --show win32 $(DIST_TARGETS)
	scripts/make-dist.sh build/win32 dist

# The archive's contents, a second build in another folder that must give the same bytes, and the
# install note's try under Wine, word for word.
check-dist: dist
	JOBS=$(JOBS) scripts/build-tree.sh --show -B build/dist-again win32 $(DIST_TARGETS)
	tests/dist/dist_test.sh dist/QelVorlaProxy-$(VERSION)-win32.zip \
	  "$$(scripts/make-dist.sh build/dist-again build/dist-again/dist)"
	tests/dist/install_try_test.sh dist/QelVorlaProxy-$(VERSION)-win32.zip

fuzz: bootstrap
	JOBS=$(JOBS) scripts/build-tree.sh --show fuzz fuzzers
	JOBS=$(JOBS) scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

fuzz-long:
	$(MAKE) fuzz FUZZ_SECONDS=1800

bench: bootstrap
	JOBS=$(JOBS) scripts/build-tree.sh --show bench qel_bench
	# Interleaved repetitions and their medians: the ratios hold on a machine whose load changes meanwhile.
	build/bench/bench/qel_bench --benchmark_enable_random_interleaving=true --benchmark_repetitions=9 \
	  --benchmark_min_time=0.1 --benchmark_report_aggregates_only=true

# The log line on the target: the 32-bit build under 32-bit Wine where the machine can run it, the 64-bit
# build elsewhere (the program says which). Not part of `make test`.
bench-target: bootstrap
	@if scripts/can-run-32bit.sh; then tree=win32 loader=wine; else tree=win64 loader=wine64; fi; \
	  JOBS=$(JOBS) scripts/build-tree.sh --show $$tree log_line_target_bench && \
	  $(WINE_RUN) build/$$tree /usr/lib/wine/$$loader build/$$tree/bench/target/log_line_target_bench.exe

# The relay beside socat and the origin itself on loopback; not part of `make test`.
bench-relay: bootstrap
	scripts/bench-relay.sh

# A video wall in one host process: what each playing cell costs it beyond one idle cell, and how long the
# calls into the library hold its thread; not part of `make test`.
bench-wall: bootstrap
	scripts/bench-wall.sh

clean:
	rm -rf build dist
