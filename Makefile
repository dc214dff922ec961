# The newcomer's entry points: `make demo` and `make test`. Both install what is missing first.
SHELL := /bin/bash
JOBS ?= 2
BUILD ?= build
export SSP_BUILD := $(abspath $(BUILD))
CMAKE_ARGS := -DCMAKE_BUILD_TYPE=Release
# make install: sspack and its manual page, and the PE32 stubs and uninstaller it packs by itself.
PREFIX ?= /usr/local
DESTDIR ?=
VERSION := $(shell sed -n 's/^const char SspackVersion\[\] = "\(.*\)";/\1/p' sspack/cli/cli.cpp)

# Debian packages the builds and the test suites use. wine32:i386 is Wine's 32-bit loader with its
# i386 libraries: the end-to-end tests run the shipped PE32 programs with it (it needs the i386
# architecture, which deps adds first).
DEPS := cmake make g++ python3 googletest libgtest-dev zlib1g-dev \
        g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
        wine wine64 wine32:i386 xvfb x11-utils imagemagick locales xdotool clang libclang-rt-14-dev \
        osslsigncode openssl

.PHONY: all deps build win32 win64 host asan fuzz-build test test-probe test-unit test-fuzz test-e2e demo bench fuzz \
        reliability clean install dist

all: build

deps:
	@missing=$$(for p in $(DEPS); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  if [ "$$(dpkg --print-architecture)" != i386 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then \
	    dpkg --add-architecture i386; \
	  fi; \
	  apt-get update -q && apt-get install -y -q $$missing; \
	fi
	@cmake/i386-emulation.sh

define configure
	@if [ ! -f $(BUILD)/$(1)/CMakeCache.txt ]; then cmake -S . -B $(BUILD)/$(1) $(CMAKE_ARGS) $(2) > /dev/null; fi
	cmake --build $(BUILD)/$(1) -j $(JOBS)
endef

win32:
	$(call configure,win32,-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DSSP_TRIPLET=i686-w64-mingw32)
win64:
	$(call configure,win64,-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DSSP_TRIPLET=x86_64-w64-mingw32)
host:
	$(call configure,host,)
asan:
	$(call configure,asan,-DSSP_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)
fuzz-build:
	$(call configure,fuzz,-DSSP_FUZZ=ON -DSSP_SANITIZE=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo)

build: deps win32 win64 host asan

# Every suite: unit tests under ASan/UBSan (they also read the built win32 product), bounded fuzz
# runs, and the end-to-end scenarios under Wine. First of all, whether Wine runs a PE32 program:
# the end-to-end scenarios run the shipped 32-bit binaries, and without it nothing else matters.
# A suite that is missing (no unit tests, a fuzz program or a scenario script not there) fails.
test: deps build fuzz-build
	$(MAKE) --no-print-directory test-probe test-unit test-fuzz test-e2e

test-probe:
	tests/e2e/run --no-build --probe

test-unit:
	cd $(BUILD)/asan && ctest --output-on-failure --no-tests=error -j $(JOBS)

test-fuzz:
	tests/fuzz/run $(BUILD)/fuzz short

test-e2e:
	tests/e2e/run

demo: deps build
	tests/e2e/demo

bench: deps host win32
	$(BUILD)/host/bench/lzbench
	$(BUILD)/host/bench/toolbench

fuzz: deps fuzz-build
	tests/fuzz/run $(BUILD)/fuzz long

reliability: deps build
	tests/e2e/reliability

# install/ is also a folder of the tree: the target is phony, so it always runs.
install: deps host win32
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/host --prefix "$(PREFIX)"
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/win32 --prefix "$(PREFIX)" --component stubs

# The Windows zip: sspack.exe with the three programs it packs beside it, and a README.
dist: win32
	rm -rf $(BUILD)/dist
	cmake --install $(BUILD)/win32 --prefix $(abspath $(BUILD))/dist/sspack-$(VERSION)-win32 --component windows
	cd $(BUILD)/dist && python3 -m zipfile -c sspack-$(VERSION)-win32.zip sspack-$(VERSION)-win32/
	@echo "$(BUILD)/dist/sspack-$(VERSION)-win32.zip"

clean:
	rm -rf $(BUILD)
