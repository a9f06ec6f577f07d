// LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL = kelvadra(ARRAY_IN, SCALE)
#include "core/transform.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::forward_transform(c.data[0], out[0], out[1], out[2], out[3], c.integer[1], c.rows,
                              c.cols);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {
      "kelvadra",
      4,
      "kelvadra requires four output arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL].",
      2,
      "kelvadra requires two input arguments [ARRAY_IN SCALE]",
      {{"ARRAY_IN", argument_kind::image}, {"SCALE", argument_kind::level}},
      0,
      2,
      output_shape::image,
      -1,
      kernel};
  return p;
}
