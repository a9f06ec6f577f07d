// ARRAY_OUT = vostrane(SECTOR_BIN, DETAIL, DETAIL_COARSER, WINDOW_HALFSIZE)
#include "core/statistics.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::selected_neighbourhood_energy(out[0], c.list_length, c.data[0], c.data[1], c.data[2],
                                          c.integer[3], c.rows, c.cols);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {
      "vostrane",
      1,
      "vostrane requires one  output argument [ARRAY_OUT].",
      4,
      "vostrane requires four input arguments [SECTOR_BIN DETAIL DETAIL_COARSER WINDOW_HALFSIZE]",
      {{"SECTOR_BIN", argument_kind::image},
       {"DETAIL", argument_kind::image},
       {"DETAIL_COARSER", argument_kind::image},
       {"WINDOW_HALFSIZE", argument_kind::half_size}},
      1,
      0,
      output_shape::selected_list,
      0,
      kernel};
  return p;
}
