# The commands a user needs; each installs what it needs first.
#   make run    build and start Quavix on the current display
#   make test   build and run every test suite (non-zero exit on any failure)
#   make bench  build and print the benchmark table
#   make demo   build and start a sandboxed demo station
BUILD ?= build
ASAN_BUILD ?= build-asan
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS ?= $(shell nproc)
# CI treats warnings as errors and runs the unit and ui suites under the sanitizers too.
ifeq ($(CI),true)
  CMAKE_FLAGS += -DWERROR=ON
endif

.PHONY: all deps build run test test-asan lint bench demo format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G "$(GENERATOR)" $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
ifeq ($(CI),true)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory lint
endif

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DASAN=ON -DQUAVIX_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(ASAN_BUILD) -L 'unit|ui' -j $(JOBS) --output-on-failure

lint: build
	@scripts/lint $(BUILD)

bench: build
	@bench/run $(BUILD)

demo: build
	@scripts/demo $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
