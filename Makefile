# Tessarin Setup: top-level commands.
#   make        build the native tree (portable core, tests) and the cross trees: build/cross
#               (the product, the 32-bit stub, with its Wine tests where they can run) and
#               build/cross64 (the 64-bit test vehicle)
#   make test   install missing packages, build, run every test (native and under Wine)
#   make demo   install missing packages, build, walk the demo installer's wizard under Wine
#               (screenshots in build/cross/demo-screenshots), show what it made (files, uninstall
#               entry, shortcuts, Install.log, exit code), uninstall it through its question
BUILD ?= build
NATIVE := $(BUILD)/native
CROSS := $(BUILD)/cross
CROSS64 := $(BUILD)/cross64
JOBS ?= 2
GENERATOR := -G Ninja

FUZZ := $(BUILD)/fuzz
# make test: every fuzz target together for about FUZZ_TEST_SECONDS; make fuzz: each target
# for FUZZ_SECONDS, its corpus kept between runs.
FUZZ_TEST_SECONDS ?= 30
FUZZ_SECONDS ?= 120

.PHONY: all deps native cross cross64 test test-native test-wine test-fuzz fuzz bench bench-payload demo clean format \
	format-check

all: native cross cross64

deps:
	@scripts/install-deps.sh

$(NATIVE)/build.ninja:
	@cmake -S . -B $(NATIVE) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug >/dev/null

$(CROSS)/build.ninja:
	@cmake -S . -B $(CROSS) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

native: $(NATIVE)/build.ninja
	@cmake --build $(NATIVE) -j $(JOBS)

# Where this machine cannot execute 32-bit x86 code, the 32-bit tree builds the product alone
# (the stub and the Windows build of the tool): its Wine tests and test tools could not run. The
# question is asked when the tree is built, after `make test` has installed Wine.
CROSS_PRODUCT := tessarin-setup tessarin-build
cross: $(CROSS)/build.ninja
	@if tests/harness/wine-loader.sh can-run-32 >/dev/null; then \
	    cmake --build $(CROSS) -j $(JOBS); \
	else cmake --build $(CROSS) -j $(JOBS) --target $(CROSS_PRODUCT); fi

$(CROSS64)/build.ninja:
	@cmake -S . -B $(CROSS64) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null

cross64: $(CROSS64)/build.ninja
	@cmake --build $(CROSS64) -j $(JOBS)

test: deps format-check all
	@$(MAKE) --no-print-directory test-layout test-imports test-native test-fuzz test-wine

# Each floor of the sources includes from the floors below it only (README, Layout).
.PHONY: test-layout
test-layout:
	@python3 tests/harness/check_layout.py .

# Both stubs import known system libraries only: any other would be looked for beside the
# installer first, wherever it was downloaded to.
.PHONY: test-imports
test-imports:
	@python3 tests/harness/check_imports.py $(CROSS)/tessarin-setup.exe $(CROSS64)/tessarin-setup64.exe

$(FUZZ)/build.ninja:
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	    -DTESSARIN_FUZZ=ON >/dev/null

# Every tests/fuzz/*_fuzz.cpp is a target, seeded from real installers (tests/fuzz/run-fuzz.sh
# says how); each run prints every target's coverage.
FUZZ_RUN = tests/fuzz/run-fuzz.sh
FUZZ_TOOLS = $(FUZZ) $(NATIVE)/tessarin-build $(CROSS)/tessarin-setup.exe
.PHONY: fuzz-targets
fuzz-targets: $(FUZZ)/build.ninja
	@cmake --build $(FUZZ) -j $(JOBS) --target fuzz_targets

fuzz: fuzz-targets cross native
	@$(FUZZ_RUN) --keep --each $(FUZZ_SECONDS) $(FUZZ_TOOLS)

# A short run of each fuzz target on its seed corpus, under ASan and UBSan.
test-fuzz: fuzz-targets cross native
	@$(FUZZ_RUN) --fresh --total $(FUZZ_TEST_SECONDS) $(FUZZ_TOOLS)

test-native:
	@ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# The Wine tier of each cross tree whose programs this machine can execute: the 64-bit tier
# everywhere, the 32-bit tier where 32-bit x86 code runs (TESSARIN_NO_32BIT=1 skips it as if
# it could not).
test-wine:
	@TESSARIN_NATIVE_BUILD=$(abspath $(NATIVE)) tests/harness/wine-tiers.sh $(CROSS) $(CROSS64)

# Benchmarks (not tests), from an optimised tree of their own without sanitizers.
#   make bench [BENCH_PROFILES="tiny small large"] [BENCH_ROUNDS=3]
#       Tessarin Setup against NSIS (installed from Debian's nsis package when missing): the
#       generated product tree of each profile packed, installed and uninstalled silently under
#       Wine in interleaved rounds; a table of ratios, the figures in build/bench/results.json.
#   make bench-payload [PROFILE=small|large]
#       packs and unpacks a generated tree natively and reports MiB/s beside zlib's inflate.
BENCH := $(BUILD)/bench
BENCH_PROFILES ?= tiny small
BENCH_ROUNDS ?= 3
PROFILE ?= large
BENCH_STUB_TARGETS := tessarin-setup runexact desktop_keeper

$(BENCH)/build.ninja:
	@cmake -S . -B $(BENCH) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTESSARIN_SANITIZE=OFF >/dev/null

# The stub tree this machine runs: the 32-bit one where it executes 32-bit code, else the 64-bit.
bench: deps $(BENCH)/build.ninja $(CROSS)/build.ninja $(CROSS64)/build.ninja
	@cmake --build $(BENCH) -j $(JOBS) --target tessarin-build
	@if tests/harness/wine-loader.sh can-run-32 >/dev/null; then \
	    cmake --build $(CROSS) -j $(JOBS) --target $(BENCH_STUB_TARGETS); \
	else cmake --build $(CROSS64) -j $(JOBS) --target $(BENCH_STUB_TARGETS); fi
	@python3 scripts/bench/bench.py --builder $(BENCH)/tessarin-build --cross $(CROSS) \
	    --cross64 $(CROSS64) --work $(BENCH) --profiles "$(BENCH_PROFILES)" \
	    --rounds $(BENCH_ROUNDS) --out $(BENCH)/results.json

bench-payload: deps cross $(BENCH)/build.ninja
	@cmake --build $(BENCH) -j $(JOBS) --target payload_bench
	@tree=$$(python3 scripts/bench/make_tree.py --profile $(PROFILE) --cached) && \
	    $(BENCH)/payload_bench $(CROSS)/tessarin-setup.exe $$tree

demo: deps all
	@scripts/demo.sh $(CROSS) $(CROSS64)

clean:
	rm -rf $(BUILD)

# Every C++ source follows the checked-in .clang-format; `make test` fails on drift.
FORMAT_SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
format:
	@clang-format -i $(FORMAT_SOURCES)

format-check:
	@mkdir -p $(BUILD)
	@clang-format --dry-run --Werror $(FORMAT_SOURCES) 2>$(BUILD)/format.log || { \
	    grep -E '^[^ ].*: (warning|error):' $(BUILD)/format.log | cut -d: -f1 | sort -u | \
	    sed 's/^/not formatted: /'; echo "run 'make format'"; exit 1; }

# ---- Publishing the build tool ------------------------------------------------------------
# make install [PREFIX=/usr/local] [DESTDIR=]
#     PREFIX/bin/tessarin-build, the installer stub in PREFIX/share/tessarin (where the tool
#     finds it without --stub), MANIFEST.md and MESSAGES.md in PREFIX/share/doc/tessarin.
# make dist [DIST=build/dist]
#     tessarin-build-VERSION-linux-x86_64.tar.gz: the installed layout under one folder, with
#     the demo product in share/tessarin/examples/demo;
#     tessarin-build-VERSION-windows.zip: tessarin-build.exe, the stub and the references in one
#     folder (the tool finds a stub beside itself).
# The tool comes from a release tree of its own (optimised, without sanitizers).
PREFIX ?= /usr/local
RELEASE := $(BUILD)/release
DIST ?= $(BUILD)/dist
VERSION := $(shell sed -n 's/.*kBuilderVersion = "\(.*\)";/\1/p' package/payload_format.h)
REFERENCES := tools/build/MANIFEST.md tools/build/MESSAGES.md
LINUX_DIST := tessarin-build-$(VERSION)-linux-$(shell uname -m)
WINDOWS_DIST := tessarin-build-$(VERSION)-windows
MINGW_STRIP ?= i686-w64-mingw32-strip

.PHONY: release-tool release-windows install dist

$(RELEASE)/build.ninja:
	@cmake -S . -B $(RELEASE) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTESSARIN_SANITIZE=OFF \
	    >/dev/null

release-tool: $(RELEASE)/build.ninja
	@cmake --build $(RELEASE) -j $(JOBS) --target tessarin-build

# The stub and the Windows build of the tool, from the cross tree.
release-windows: $(CROSS)/build.ninja
	@cmake --build $(CROSS) -j $(JOBS) --target tessarin-setup tessarin-build

install: release-tool release-windows
	@install -D -s -m 755 $(RELEASE)/tessarin-build $(DESTDIR)$(PREFIX)/bin/tessarin-build
	@install -D -m 644 $(CROSS)/tessarin-setup.exe \
	    $(DESTDIR)$(PREFIX)/share/tessarin/tessarin-setup.exe
	@install -d $(DESTDIR)$(PREFIX)/share/doc/tessarin
	@install -m 644 $(REFERENCES) $(DESTDIR)$(PREFIX)/share/doc/tessarin/
	@echo "tessarin-build $(VERSION) installed in $(DESTDIR)$(PREFIX)"

dist: release-tool release-windows
	@rm -rf $(DIST)/stage && mkdir -p $(DIST)/stage/$(WINDOWS_DIST)
	@$(MAKE) --no-print-directory install PREFIX=$(abspath $(DIST)/stage/$(LINUX_DIST)) \
	    DESTDIR= >/dev/null
	@mkdir -p $(DIST)/stage/$(LINUX_DIST)/share/tessarin/examples
	@cp -r examples/demo $(DIST)/stage/$(LINUX_DIST)/share/tessarin/examples/
	@install -m 644 $(CROSS)/tessarin-setup.exe $(REFERENCES) $(DIST)/stage/$(WINDOWS_DIST)/
	@$(MINGW_STRIP) -o $(DIST)/stage/$(WINDOWS_DIST)/tessarin-build.exe \
	    $(CROSS)/tessarin-build.exe
	@python3 -c 'import shutil, sys; \
	    shutil.make_archive(sys.argv[1] + "/" + sys.argv[3], "gztar", sys.argv[2], sys.argv[3]); \
	    shutil.make_archive(sys.argv[1] + "/" + sys.argv[4], "zip", sys.argv[2], sys.argv[4])' \
	    $(DIST) $(DIST)/stage $(LINUX_DIST) $(WINDOWS_DIST)
	@rm -rf $(DIST)/stage
	@echo "$(DIST)/$(LINUX_DIST).tar.gz"
	@echo "$(DIST)/$(WINDOWS_DIST).zip"

# The release tool is built before the tests, one of which installs it.
test: release-tool
