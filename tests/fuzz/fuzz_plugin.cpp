// The libFuzzer entry for one plug-in, named by WAVEPROB_FUZZ_PLUGIN at
// build time.
#include <cstddef>
#include <cstdint>

#include "plugin_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plugin_harness::open_plugin(WAVEPROB_FUZZ_PLUGIN);  // outside the measured runs
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  plugin_harness::run_one(WAVEPROB_FUZZ_PLUGIN, data, size);
  return 0;
}
