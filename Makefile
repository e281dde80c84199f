# Front door: `make demo` runs the tool on the bundled samples, `make test` runs every test.
# Both install the Debian packages they need first (scripts/setup.sh).

BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
KARVEX = $(BUILD)/karvex

.PHONY: all setup build demo test clean install

all: build

setup:
	@./scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@echo '$$ karvex examples/sample.bdf 0 FFFF -h -m=$(BUILD)/sample-map.xml'
	@$(KARVEX) examples/sample.bdf 0 FFFF -h -m=$(BUILD)/sample-map.xml
	@echo '$$ cat $(BUILD)/sample-map.xml'
	@cat $(BUILD)/sample-map.xml
	@echo '$$ karvex examples/sample.hex -0=.'
	@$(KARVEX) examples/sample.hex -0=.

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	@cmake --install $(BUILD)

clean:
	rm -rf $(BUILD)
