# Everything starts here: each target installs what is missing, builds and runs.
SHELL := /bin/bash
ROOT := $(abspath .)
B64 := $(ROOT)/build/x64
B32 := $(ROOT)/build/x86
JOBS ?= $(shell nproc)

.PHONY: all deps build build32 test demo bench fuzz clean

all: build

deps:
	@bash scripts/bootstrap.sh

$(B64)/build.ninja: | deps
	cmake -S . -B $(B64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86_64.cmake

build: deps $(B64)/build.ninja
	cmake --build $(B64) -j $(JOBS)

build32: deps
	cmake -S . -B $(B32) -G Ninja -DCMAKE_BUILD_TYPE=Release -DUNINST_TESTS=OFF \
	      -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-i686.cmake
	cmake --build $(B32) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(B64)

demo: build
	bash scripts/demo.sh $(B64)

bench: build
	bash bench/run.sh $(B64)

# N generated inputs against every reader (make fuzz N=100000).
N ?= 100000
fuzz: build
	bash scripts/fuzz.sh $(B64) $(N)

clean:
	rm -rf build
