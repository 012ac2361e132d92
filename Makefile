# Everything starts here: each target installs what is missing, builds and runs.
# Two builds: x64 (build/x64) and i686 (build/x86), each with its own tests and
# Wine prefix. ARCH=x86 points demo and bench at the i686 build; MODE picks the
# demo's run (scripts/demo.sh): wizard (the default), headless or silent.
SHELL := /bin/bash
ROOT := $(abspath .)
B64 := $(ROOT)/build/x64
B32 := $(ROOT)/build/x86
JOBS ?= $(shell nproc)
ARCH ?= x64
MODE ?= wizard

ifeq ($(ARCH),x64)
ARCH_BUILD := build
ARCH_DIR := $(B64)
else ifeq ($(ARCH),x86)
ARCH_BUILD := build32
ARCH_DIR := $(B32)
else
$(error ARCH must be x64 or x86)
endif

.PHONY: all deps build build32 test demo docs-images bench ui-shots fuzz clean

all: build

deps:
	@bash scripts/bootstrap.sh

$(B64)/build.ninja: | deps
	cmake -S . -B $(B64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86_64.cmake

$(B32)/build.ninja: | deps
	cmake -S . -B $(B32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-i686.cmake

build: deps $(B64)/build.ninja
	cmake --build $(B64) -j $(JOBS)

build32: deps $(B32)/build.ninja
	cmake --build $(B32) -j $(JOBS)

# The whole suite on each build, x64 first; fails when either fails.
test: build build32
	bash scripts/test-all.sh $(B64) $(B32)

demo: $(ARCH_BUILD)
	bash scripts/demo.sh $(ARCH_DIR) $(MODE)

# The README's pictures of the wizard and the message box, from a driven demo run.
docs-images: build
	bash scripts/docs-images.sh $(B64)

bench: $(ARCH_BUILD)
	bash bench/run.sh $(ARCH_DIR)

# Screenshots of both layouts in real windows into build/x64/ui-shots/.
ui-shots: build
	bash scripts/ui-shots.sh $(B64)

# N generated inputs against every reader (make fuzz N=100000).
N ?= 100000
fuzz: build
	bash scripts/fuzz.sh $(B64) $(N)

clean:
	rm -rf build
