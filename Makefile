# Tessarin Setup: top-level commands.
#   make        build the native tree (portable core, tests) and the cross tree (Windows stub)
#   make test   install missing packages, build, run every test (native and under Wine)
#   make demo   install missing packages, build, run the stub under Wine and show the result
BUILD ?= build
NATIVE := $(BUILD)/native
CROSS := $(BUILD)/cross
JOBS ?= 2
GENERATOR := -G Ninja

.PHONY: all deps native cross test test-native test-wine demo clean

all: native cross

deps:
	@scripts/install-deps.sh

$(NATIVE)/build.ninja:
	@cmake -S . -B $(NATIVE) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug >/dev/null

$(CROSS)/build.ninja:
	@cmake -S . -B $(CROSS) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

native: $(NATIVE)/build.ninja
	@cmake --build $(NATIVE) -j $(JOBS)

cross: $(CROSS)/build.ninja
	@cmake --build $(CROSS) -j $(JOBS)

test: deps all test-native test-wine

test-native:
	@ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-wine:
	@ctest --test-dir $(CROSS) --output-on-failure

demo: deps cross
	@scripts/demo.sh $(CROSS)

clean:
	rm -rf $(BUILD)
