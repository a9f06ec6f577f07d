// ARRAY_OUT = tormissa(ARRAY_IN, THRESHOLD)
#include "core/statistics.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::threshold_mask(c.data[0], out[0], c.rows, c.cols, c.real[1]);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {
      "tormissa",
      1,
      "tormissa requires one output argument [ARRAY_OUT].",
      2,
      "tormissa requires two input arguments [ARRAY_IN THRESHOLD]",
      {{"ARRAY_IN", argument_kind::image}, {"THRESHOLD", argument_kind::real_scalar}},
      0,
      0,
      output_shape::image,
      -1,
      kernel};
  return p;
}
