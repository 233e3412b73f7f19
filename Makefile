# A thin front end over the CMake presets.
#   make demo                   build (release) and run the programs on an example
#   make test [PRESET=sanitize] build and run the whole test suite
#   make fuzz [FUZZ_SECONDS=600] run the libFuzzer targets (clang)
#   make memcheck               run the programs and library tests under valgrind
#   make bench                  time the programs against their baselines (release)
#   make install PREFIX=/usr/local
#   make check-install          install into a temporary prefix and build against it
#   make manlint                check that the manual pages render without warnings
#   make examples               run the README's examples
#   make plots                  render docs/*.png from the programs' output
PRESET ?= release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD = build/$(PRESET)

.PHONY: all build demo test bench fuzz memcheck install check-install manlint examples plots clean format
PREFIX ?= /usr/local

all: build

build:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

demo: build
	@echo '$$ hsum -L8 1 1 0 | od -An -v -tf4'
	@$(BUILD)/hsum/hsum -L8 1 1 0 | od -An -v -tf4

test: build
	ctest --preset $(PRESET) -j $(JOBS)

FUZZ_SECONDS ?= 30
FUZZ_WORK = build/fuzz/corpus

# Each target starts from the checked-in seeds; what it learns goes to
# build/, and any finding fails the run.  The readers' own diagnostics
# would flood the terminal: each run logs to build/fuzz/, and the log's
# tail is shown when it fails.
define runfuzz
	mkdir -p $(FUZZ_WORK)/$(1)
	build/fuzz/fuzz/fuzz_$(1) $(FUZZ_WORK)/$(1) fuzz/corpus/$(1) -max_total_time=$(FUZZ_SECONDS) \
	  -max_len=$(2) -artifact_prefix=build/fuzz/ > build/fuzz/$(1).log 2>&1 \
	  || { tail -n 40 build/fuzz/$(1).log; exit 1; }
	@grep -a '^Done' build/fuzz/$(1).log | sed 's/^/fuzz_$(1): /'
endef

fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	$(call runfuzz,readheader,12288)
	$(call runfuzz,writeheader,4096)

bench:
	$(MAKE) build PRESET=release
	/usr/bin/python3 bench/run.py build/release build/release/bench-results.dat
	@if command -v gnuplot >/dev/null; then \
	  gnuplot -e "data='build/release/bench-results.dat'; out='build/release/bench-ratios.png'" bench/ratios.gnuplot \
	  && echo "plot: build/release/bench-ratios.png"; \
	else echo "gnuplot missing: no plot (apt-get install gnuplot-nox)"; fi

memcheck:
	$(MAKE) build PRESET=release
	tests/memcheck.sh build/release

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

check-install: build
	tests/install.sh $(BUILD)

manlint:
	for page in man/*.[135]; do mandoc -Tlint -W style $$page && groff -ww -z -man $$page; done

examples: build
	docs/examples.sh $(BUILD)

plots: build
	docs/plots.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' '*.h' '*.c')

clean:
	rm -rf build
