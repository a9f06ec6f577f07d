// ARRAY_OUT = ardavlek(LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL, SCALE)
#include "core/transform.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::inverse_transform(out[0], c.data[0], c.data[1], c.data[2], c.data[3], c.integer[4],
                              c.rows, c.cols);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {
      "ardavlek",
      1,
      "ardavlek requires one  output argument [ARRAY_OUT].",
      5,
      "ardavlek requires five input arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL SCALE]",
      {{"LOWPASS", argument_kind::image},
       {"HOR_DETAIL", argument_kind::image},
       {"VER_DETAIL", argument_kind::image},
       {"DIAG_DETAIL", argument_kind::image},
       {"SCALE", argument_kind::level}},
      0,
      3,
      output_shape::image,
      -1,
      kernel};
  return p;
}
