# Front door for people and CI. The real build is CMake + Ninja in build/.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# The programs `make run` and the package need; neither needs the tests.
PROGRAMS = TARNSvr overprint tabulate blat tarn-send tarn-merge tarn-jobs

.PHONY: all build test run package deps deps-build asan tsan fuzz fuzz-smoke clean format format-check programs

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

deps:
	./scripts/install-deps.sh test

deps-build:
	./scripts/install-deps.sh build

# The test build: a build folder first made by `make run` gets its tests now.
test: deps
	cmake -S . -B $(BUILD) -G Ninja -DTARN_TESTS=ON -DTARN_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only what building and running need: a fresh build folder is configured
# without the tests and benchmarks, whose packages `make test` installs.
programs: deps-build
	[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -G Ninja -DTARN_TESTS=OFF -DTARN_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS) tarn_package_files

run: programs
	./scripts/prepare-run.sh $(BUILD) run
	cd run && TARN_REGISTRY_ROOT="$$PWD/registry" exec ./TARNSvr

# build/tarn_<version>_amd64.deb (CPack's DEB generator; see package/).
package: programs
	cd $(BUILD) && cpack -G DEB

# The whole test suite under AddressSanitizer and UBSan.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DTARN_SANITIZE=ON -DTARN_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The service, platform, mailer and reliability tests under ThreadSanitizer
# (the programs they start are built with it too). Suppressions: see
# tests/tsan.supp.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DTARN_TSAN=ON -DTARN_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_tests
	# G_SLICE: glib's slice allocator (under GMime) passes blocks between
	# threads under locks of its own that the detector cannot see; plain
	# malloc lets it check GMime's memory like the rest.
	for dir in platform service mailer reliability; do \
	  G_SLICE=always-malloc TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir $(TSAN_BUILD)/tests/$$dir --output-on-failure -j $(JOBS) || exit 1; done

# libFuzzer targets, built with clang into build-fuzz/.
fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTARN_FUZZ=ON -DTARN_TESTS=OFF -DTARN_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every fuzz target 60 s on its seed corpus (fuzz/corpus/<target>); fails on a
# crash, a leak, an input running over 25 s or one taking more than 2 GB.
fuzz-smoke: fuzz
	FUZZ_BIN=$(CURDIR)/$(FUZZ_BUILD)/bin ./fuzz/run.sh smoke 60

# Source formatting: `format` rewrites, `format-check` fails on any difference.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(FORMAT_FILES)

format-check:
	clang-format --dry-run --Werror $(FORMAT_FILES)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) run
