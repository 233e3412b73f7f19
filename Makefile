# A thin front end over the CMake presets.
#   make demo                   build (release) and run the programs on an example
#   make test [PRESET=sanitize] build and run the whole test suite
PRESET ?= release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD = build/$(PRESET)

.PHONY: all build demo test clean format

all: build

build:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

demo: build
	@echo '$$ hsum -L8 1 1 0 | od -An -v -tf4'
	@$(BUILD)/hsum/hsum -L8 1 1 0 | od -An -v -tf4

test: build
	ctest --preset $(PRESET) -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' '*.h' '*.c')

clean:
	rm -rf build
