# Front door: `make demo` runs the tool on the bundled samples, `make test` runs every test.
# Both install the Debian packages they need first (scripts/setup.sh).

BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
KARVEX = $(BUILD)/karvex

.PHONY: all setup configure build demo test clean install asan-test fuzz bench

all: build

setup:
	@./scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target karvex -- --no-print-directory
	@echo '$$ karvex examples/sample.bdf 0 FFFF -h -m=$(BUILD)/sample-map.xml'
	@$(KARVEX) examples/sample.bdf 0 FFFF -h -m=$(BUILD)/sample-map.xml
	@echo '$$ cat $(BUILD)/sample-map.xml'
	@cat $(BUILD)/sample-map.xml
	@echo '$$ karvex examples/sample.hex -0=.'
	@$(KARVEX) examples/sample.hex -0=.

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with clang under AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; the first finding fails the test that ran into it.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

asan-test: setup
	@CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKARVEX_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer: each target for FUZZ_SECONDS, from fuzz/corpus and seeds cut from real fonts.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= bdf hex cli face

fuzz: setup
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKARVEX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) -- --no-print-directory
	@./fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# karvex against peers on whole fonts: ratios of median wall times and peak memory
# (bench/run.sh; inputs are made in $(BUILD)/bench from Debian's packages).
bench: setup
	@./bench/run.sh $(BUILD)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
