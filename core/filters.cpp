#include "core/filters.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/columns.h"

namespace waveprob {
namespace {

const double analysis_lowpass_taps[5] = {0.125, 0.375, 0.375, 0.125, 0.0};
const double analysis_highpass_taps[5] = {0.0, 0.5, -0.5, 0.0, 0.0};
const double synthesis_lowpass_taps[7] = {0.0, 0.0, 0.125, 0.375, 0.375, 0.125, 0.0};
const double synthesis_highpass_taps[7] = {0.0,    -0.03125, -0.21875, -0.6875,
                                           0.6875, 0.21875,  0.03125};

// Sample p of the mirror-extended signal, for -n <= p < 2n.
inline double mirrored(const double* x, int n, int p) { return x[mirror_index(p, n)]; }

// Every position of the dilated filter, zeros included: the result for a
// signal that holds a NaN or an infinity.
void filter_every_position(const double* x, const double* h, double* y, int step, int n, int L) {
  const int half = (L - 1) / 2;
  const int off = step * half;
  const int nd = step * (L - 1) + 1;
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int k = 0; k < nd; ++k) {
      // Position k holds tap k / step where it is a multiple of step; the
      // single position of a zero step holds the last tap.
      double tap = 0.0;
      if (step == 0)
        tap = h[L - 1];
      else if (k % step == 0)
        tap = h[k / step];
      sum = sum + tap * mirrored(x, n, i + off - k);
    }
    y[i] = sum;
  }
}

// Only the non-zero taps, for a signal that is finite throughout.  This is
// bit-identical to summing every position: each skipped product is a signed
// zero, the sum starts at +0.0 and can never become -0.0 (x + (-x) rounds to
// +0.0), and adding a zero to +0.0 or to a non-zero value changes nothing.
void filter_nonzero_taps(const double* x, const double* h, double* y, int step, int n, int L) {
  const int half = (L - 1) / 2;
  const tap_list taps = nonzero_taps(h, L, step);
  const int reach = step * half;             // furthest sample ahead
  const int behind = step * (L - 1 - half);  // furthest sample behind
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    if (i >= behind && i + reach < n) {
      for (int c = 0; c < taps.count; ++c) sum = sum + taps.weight[c] * x[i + taps.offset[c]];
    } else {
      for (int c = 0; c < taps.count; ++c)
        sum = sum + taps.weight[c] * mirrored(x, n, i + taps.offset[c]);
    }
    y[i] = sum;
  }
}

}  // namespace

tap_list nonzero_taps(const double* h, int L, int step) {
  tap_list list;
  const int half = (L - 1) / 2;
  for (int m = 0; m < L && m < 31; ++m) {
    if (h[m] == 0.0) continue;
    list.offset[list.count] = step * (half - m);
    list.weight[list.count] = h[m];
    ++list.count;
  }
  return list;
}

const filter_table analysis_lowpass = {analysis_lowpass_taps, 5};
const filter_table analysis_highpass = {analysis_highpass_taps, 5};
const filter_table synthesis_lowpass = {synthesis_lowpass_taps, 7};
const filter_table synthesis_highpass = {synthesis_highpass_taps, 7};

int atrous_step(int level) {
  if (level < 0) return 0;
  if (level >= 31) return -1;
  return static_cast<int>(std::pow(2.0, level));
}

bool atrous_fits(int level, int n, int length) {
  if (n <= 0 || level < 0) return true;
  if (level >= 31 || length < 1) return false;
  const std::int64_t reach = static_cast<std::int64_t>(atrous_step(level)) * ((length - 1) / 2);
  return reach <= n;
}

void atrous_filter(const double* x, const double* h, double* y, int level, int n, int L) {
  if (L < 1 || L % 2 == 0 || L > 31)
    throw std::invalid_argument("atrous_filter: tap count must be odd");
  if (n < 0) throw std::invalid_argument("atrous_filter: negative length");
  if (!atrous_fits(level, n, L))
    throw std::invalid_argument("atrous_filter: filter reach exceeds the signal length");
  if (n == 0) return;
  const int step = atrous_step(level);
  if (step > 0 && columns::all_finite(x, static_cast<std::size_t>(n)))
    filter_nonzero_taps(x, h, y, step, n, L);
  else
    filter_every_position(x, h, y, step, n, L);
}

}  // namespace waveprob
