# Varnwick: the two everyday commands are `make run` and `make test`.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
GENERATOR   := -G Ninja
JOBS        ?= $(shell nproc)
# One libFuzzer program per tools/fuzz/fuzz_*.cpp; only they are built with the
# fuzzing instrumentation.
FUZZ_TARGETS := $(basename $(notdir $(wildcard tools/fuzz/fuzz_*.cpp)))

.PHONY: all deps configure build test sanitize run demo bench screenshots fuzz format clean

all: build

deps:
	@bash tools/setup-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests once more with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVW_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

demo: build
	bash tools/make-demo.sh $(BUILD)

run: demo
	cd $(BUILD) && ./varnwick

bench: build
	bash tools/run-benchmarks.sh $(BUILD)

screenshots: build
	bash tools/screenshots.sh $(BUILD)

fuzz: deps
	cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVW_FUZZ=ON -DVW_WITH_GUI=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

# Formats every C++ file git tracks by .clang-format.
format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
