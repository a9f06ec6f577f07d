# Convenience entry points; the build itself is CMake.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build demo bench example test dist clean

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

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The GNU Octave package, $(BUILD)/waveprob-VERSION.tar.gz, for `pkg install`.
dist: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) --target dist

clean:
	rm -rf $(BUILD)
