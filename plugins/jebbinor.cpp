// PROB = jebbinor(DETAIL, DETAIL_COARSER, LIKELIHOOD_RATIO, PRIOR_RATIO,
//                 WINDOW_HALFSIZE, PRIOR_FACTOR)
#include "core/statistics.h"
#include "gateway/plugin.h"

using namespace waveprob::gateway;

namespace {
void kernel(const call_data& c, double* const out[]) {
  waveprob::significance_probability(c.data[0], c.data[1], out[0], c.rows, c.cols, c.data[2],
                                     c.data[3], c.length[2], c.length[3], c.real[5], c.integer[4]);
}
}  // namespace

const plugin& waveprob_plugin() {
  static const plugin p = {"jebbinor",
                           1,
                           "jebbinor requires one output arguments [PROB].",
                           6,
                           "jebbinor requires six input arguments [DETAIL DETAIL_COARSER "
                           "LIKELIHOOD_RATIO PRIOR_RATIO WINDOW_HALFSIZE PRIOR_FACTOR]",
                           {{"DETAIL", argument_kind::image},
                            {"DETAIL_COARSER", argument_kind::image},
                            {"LIKELIHOOD_RATIO", argument_kind::table},
                            {"PRIOR_RATIO", argument_kind::table},
                            {"WINDOW_HALFSIZE", argument_kind::half_size},
                            {"PRIOR_FACTOR", argument_kind::real_scalar}},
                           0,
                           0,
                           output_shape::image,
                           -1,
                           kernel};
  return p;
}
