# Convenience entry points; the build itself is CMake.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build demo test dist clean

all: build

deps:
	./tools/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

# The main job: build everything, then run the example in Octave.
demo: build
	cmake --build $(BUILD) --target example

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The GNU Octave package, $(BUILD)/waveprob-VERSION.tar.gz, for `pkg install`.
dist: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) --target dist

clean:
	rm -rf $(BUILD)
