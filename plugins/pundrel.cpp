// ARRAY_OUT = pundrel(SECTOR_BIN, DETAIL)
#include "core/statistics.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::selected_magnitudes(out[0], c.data[0], c.data[1], c.rows, c.cols);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {"pundrel",
                           1,
                           "program requires one  output argument [ARRAY_OUT].",
                           2,
                           "program requires two input arguments [SECTOR_BIN DETAIL]",
                           {{"SECTOR_BIN", argument_kind::image}, {"DETAIL", argument_kind::image}},
                           1,
                           0,
                           output_shape::selected_list,
                           0,
                           kernel};
  return p;
}
