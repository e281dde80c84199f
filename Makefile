# Front door: `make demo` runs the tool on the bundled samples, `make test` runs every test.
# Both install the Debian packages they need first (scripts/setup.sh).

BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
KARVEX = $(BUILD)/karvex

.PHONY: all setup configure build demo epub-demo test clean install asan-test fuzz bench

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

# From an XHTML chapter with rare characters to a checked EPUB 3 book and a picture of its
# page as Chromium draws it ($(EPUB_DEMO)/page.png, which doc/epub.png shows), each command
# shown as it runs.
EPUB_DEMO = $(BUILD)/epub-demo
CHROMIUM = chromium --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars \
	--disable-background-networking --disable-component-update --disable-sync
epub-demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target karvex -- --no-print-directory
	@rm -rf $(EPUB_DEMO) && mkdir -p $(EPUB_DEMO) && cp -r examples/epub/OEBPS $(EPUB_DEMO)/
	@set -x && \
	$(KARVEX) IPAGothic --fallback="Noto Sans CJK JP" --missing-from=JISX0208 \
	  --epub=$(EPUB_DEMO)/OEBPS/image --epub-text=$(EPUB_DEMO)/OEBPS/text/chapter.xhtml && \
	examples/epub/make-book.sh $(EPUB_DEMO) $(EPUB_DEMO).epub 外字 && \
	java -jar /usr/share/java/epubcheck.jar $(EPUB_DEMO).epub && \
	$(CHROMIUM) --user-data-dir=$(abspath $(EPUB_DEMO))/profile --window-size=900,160 \
	  --screenshot=$(EPUB_DEMO)/page.png file://$(abspath $(EPUB_DEMO))/OEBPS/text/chapter.xhtml \
	  2>/dev/null

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

# libFuzzer: each target for FUZZ_SECONDS from fuzz/corpus and seeds made here from Debian's
# fonts: a reader field block (header, map file, every code) before slices of BDF fonts and
# of unifont.hex. New inputs go to $(FUZZ_BUILD)/corpus, never into fuzz/corpus; a finding
# leaves its input in $(FUZZ_BUILD)/artifacts/TARGET/ and fails the make.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= bdf hex cli face xhtml
FUZZ_FIELDS = printf '\023\0\0\0\0\0\0\0\0\041\241\0\0\0\340\0\0\0\0\0\0\0\0\0\0'

fuzz: setup
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKARVEX_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) -- --no-print-directory
	@cd $(FUZZ_BUILD) && mkdir -p seeds/bdf seeds/hex $(addprefix seeds/,$(FUZZ_TARGETS)) && \
	for font in shnm8x16r b10 a18rk unifont; do \
	  { $(FUZZ_FIELDS); pcf2bdf /usr/share/fonts/X11/misc/$$font.pcf.gz | \
	    awk '{ print } /^ENDCHAR/ && NR > 300 { exit }'; echo ENDFONT; } > seeds/bdf/$$font; \
	done && \
	{ $(FUZZ_FIELDS); echo '16 16'; grep -E '^(004|306)' /usr/share/unifont/unifont.hex; } > seeds/hex/unifont
	@status=0; for t in $(FUZZ_TARGETS); do \
	  log=$(FUZZ_BUILD)/$$t.log; dict=; [ -f fuzz/$$t.dict ] && dict=-dict=fuzz/$$t.dict; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/artifacts/$$t; \
	  $(FUZZ_BUILD)/fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=3072 \
	    $$dict -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$t/ \
	    $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t $(FUZZ_BUILD)/seeds/$$t >$$log 2>&1 || \
	  { status=1; tail -n 40 $$log; echo "fuzz: $$t failed; a finding is in $(FUZZ_BUILD)/artifacts/$$t/"; }; \
	  sed -n "s/^#\([0-9]*\)[[:space:]]*DONE *cov: \([0-9]*\) ft: \([0-9]*\).*/fuzz: $$t: \1 executions, cov \2, ft \3/p" $$log; \
	done; exit $$status

# karvex against peers on whole fonts: ratios of median wall times and peak memory
# (bench/run.sh; inputs are made in $(BUILD)/bench from Debian's packages).
bench: setup
	@./bench/run.sh $(BUILD)

# Builds and installs the tool and its manual page, without the tests; it installs no
# packages (it needs cmake, pkg-config and the FreeType and fontconfig headers).
INSTALL_BUILD ?= build-install
install:
	@cmake -S . -B $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(INSTALL_BUILD) -j $(JOBS) -- --no-print-directory
	@cmake --install $(INSTALL_BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(INSTALL_BUILD)
