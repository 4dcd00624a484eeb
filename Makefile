# make build  - the five programs, 32-bit Windows, in build/bin
# make test   - installs what is missing, builds, and runs every test under Wine,
#               then the native sanitizer tests and a short run of every fuzz
#               target (FUZZ_TEST_SECONDS each)
# make fuzz   - runs every fuzz target for FUZZ_SECONDS each (default 60)
# make bench  - builds the benchmarks (with the stand-ins, in build-bench) and
#               the deliverables, runs them under Wine and writes
#               docs/performance.md; BENCH_SOAK=full for the soak counts of
#               record (about ten minutes instead of four)
# make demo   - builds what is needed and shows the five programs at work on a
#               sample product under Wine, one narrated line per step
# make dist   - the release build/norvale-<version>.zip (the five 32-bit
#               programs without debug information, their documentation,
#               SHA256SUMS) and build/norvale-<version>-symbols.zip; with
#               SIGN_CERT=cert.pem SIGN_KEY=key.pem [SIGN_PASS=...] the
#               programs are signed with Authenticode
# make repro  - builds the release twice from two clean clones of HEAD at
#               different paths and compares programs and archives byte for byte
# make faults - fails each system call of the programs' main runs in turn
#               under Wine (the first eight calls of every import) and writes
#               docs/reliability.md; fails when a run crashes, hangs, loses
#               data or reports a failure as success
SHELL := /bin/bash
JOBS ?= $(shell nproc)
# The build the tests and benchmarks run on (see scripts/test-arch), asked
# once, when a recipe first needs it: by then the bootstrap has installed
# Wine. Asked when the Makefile is read, a fresh machine would answer x86_64.
TEST_ARCH = $(eval TEST_ARCH := $(shell scripts/test-arch 2>/dev/null || echo x86_64))$(TEST_ARCH)
TEST_DIR = $(if $(filter i686,$(TEST_ARCH)),build,build-x64)
FUZZ_SECONDS ?= 60
FUZZ_TEST_SECONDS ?= 4

.PHONY: all bootstrap build test test-build fuzz bench faults clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DNORVALE_TESTS=OFF
	cmake --build build -j $(JOBS)

# The tests run on the 32-bit build where the host can execute it, and on the
# 64-bit build of the same sources where it cannot; there the 32-bit programs
# are built as well.
test-build: bootstrap
	@if [ "$(TEST_ARCH)" != i686 ]; then $(MAKE) --no-print-directory build; fi
	cmake -S . -B $(TEST_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$(TEST_ARCH).cmake -DNORVALE_TESTS=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

test: test-build
	scripts/run-tests $(TEST_DIR)
	scripts/config-native
	scripts/config-native fuzz $(FUZZ_TEST_SECONDS)

fuzz: bootstrap
	scripts/config-native fuzz $(FUZZ_SECONDS)

# The fault sweeps run on the build the tests run on.
faults: test-build
	scripts/faults $(TEST_DIR)

# The benchmarks run on the build whose programs this host can execute, the
# same choice as for the tests.
BENCH_DIR := build-bench
BENCH_SOAK ?= quick
bench: build
	cmake -S . -B $(BENCH_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$(TEST_ARCH).cmake -DNORVALE_TESTS=ON
	cmake --build $(BENCH_DIR) --target bench -j $(JOBS)
	BENCH_SOAK=$(BENCH_SOAK) bench/run-bench $(BENCH_DIR) build

.PHONY: demo dist

# The demo picks the build this host can run by itself (see scripts/demo).
demo: bootstrap
	scripts/demo

# The signing certificate, key and password reach scripts/dist through the
# environment, so the password never shows in the echoed command.
export SIGN_CERT SIGN_KEY SIGN_PASS
dist: build
	scripts/dist build

.PHONY: repro
repro: bootstrap
	scripts/repro

clean:
	rm -rf build build-x64 $(BENCH_DIR) build-native build-demo
