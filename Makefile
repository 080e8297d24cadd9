# The two commands of README.md: `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps build build-asan demo test bench fuzz install clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQVXML_SANITIZE=ON -DQVXML_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)

# The whole suite, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

# The peers the benchmarks compare with, where they run the same job.
bench: deps
	@scripts/install-deps python3-lxml xsltproc libxml2-utils
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQVXML_BENCH=ON -DQVXML_TESTS=OFF $(CMAKE_ARGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	scripts/bench $(BENCH_BUILD)

# libFuzzer builds of fuzz/*_fuzz.cpp (clang, with ASan+UBSan), e.g.
#   build-fuzz/fuzz/parse_fuzz -max_total_time=60 fuzz/corpus/parse_fuzz
fuzz:
	@scripts/install-deps clang libclang-rt-14-dev
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DQVXML_FUZZ=ON \
	  -DQVXML_SANITIZE=ON -DQVXML_TESTS=OFF -DQVXML_BENCH=OFF $(CMAKE_ARGS)
	cmake --build build-fuzz -j $(JOBS)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) build-fuzz
