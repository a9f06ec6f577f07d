# Convenience entry points; the build itself is CMake.
BUILD ?= build
JOBS ?= 2
# ASan + UBSan build with clang and libFuzzer (no Octave MEX files).
SANITIZE_BUILD ?= build-sanitize

.PHONY: all deps build demo bench example test check sanitize-build test-sanitize dist clean

all: build

deps:
	./tools/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

# The main job: build everything, then denoise the bundled image in Octave;
# the pictures go to $(BUILD)/demo.
demo: build
	cmake --build $(BUILD) --target demo

# PSNR and time over SIGMA 10, 20 and 30 on the bundled image.
bench: build
	cmake --build $(BUILD) --target bench

# Transform and rebuild a generated image at levels 0 to 4.
example: build
	cmake --build $(BUILD) --target example

# Every test: the normal build's, then the sanitizer build's.
test: check
	$(MAKE) test-sanitize

# The normal build: C++ tests, Octave tests, bad-input battery, memory checks.
check: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The GNU Octave package, $(BUILD)/waveprob-VERSION.tar.gz, for `pkg install`.
dist: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) --target dist

sanitize-build: deps
	CXX=clang++ cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Release -DWAVEPROB_FUZZ=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)

# Core and gateway tests and the kept fuzz corpus under the sanitizers, then a
# short fixed-seed fuzz run of each plug-in.
test-sanitize: sanitize-build
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
