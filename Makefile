# The commands a user needs; each installs what it needs first.
#   make run    build and start Quavix on the current display
#   make test   build and run every test suite (non-zero exit on any failure)
#   make bench  build and print the benchmark table
#   make demo   build and start a sandboxed demo station
#   make install PREFIX=DIR   build and install under DIR (default /usr/local; DESTDIR too)
#   make package              build and make the Debian package $(BUILD)/quavix_*.deb
#   make fuzz   build the fuzz targets with clang and run each for FUZZ_SECONDS (60)
#   make test-debian13        make test on Debian 13, in a root of its own (as root)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# A build folder keeps the generator it was first configured with; a new one gets Ninja when
# it is there. Decided when a recipe runs, after install-deps has installed it: decided when
# make starts, a fresh machine's first command would choose Makefiles and every later one Ninja.
generator = $(if $(wildcard $(1)/CMakeCache.txt),,-G "$(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo 'Unix Makefiles')")
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
# CI treats warnings as errors and runs the unit and ui suites under the sanitizers too.
ifeq ($(CI),true)
  CMAKE_FLAGS += -DWERROR=ON
endif

.PHONY: all deps build run test test-debian13 test-asan fuzz lint bench demo install package format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(call generator,$(BUILD)) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
# The sanitizer, fuzz and lint runs check the code, not the release: once, on the host.
ifeq ($(CI)$(CI_EXTRAS),true)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=20
	@$(MAKE) --no-print-directory lint
endif

# The same on Debian 13 (trixie), in a root made of its packages and kept in ~/.cache, on a
# clean copy of this tree; CI=true goes along.
test-debian13:
	@scripts/test-debian13

# Only the programs of the suites run under the sanitizers are built there. No leak is
# suppressed: any leak, in our code or a library's, fails the run.
ASAN_SUITES := $(subst /,_,$(patsubst tests/%.cpp,%,$(wildcard tests/unit/*.cpp tests/ui/*.cpp)))

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(call generator,$(ASAN_BUILD)) -DASAN=ON -DQUAVIX_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(ASAN_SUITES) quavix_help_page
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(ASAN_BUILD) -L 'unit|ui' -j $(JOBS) --output-on-failure

# The readers of outside input under libFuzzer; a project of its own, built with clang.
fuzz: deps
	@cmake -S fuzz -B $(FUZZ_BUILD) $(call generator,$(FUZZ_BUILD)) -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

lint: build
	@scripts/lint $(BUILD)

bench: build
	@bench/run $(BUILD)

demo: build
	@scripts/demo $(BUILD)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

package: build
	@cd $(BUILD) && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
