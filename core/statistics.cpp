#include "core/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace waveprob {
namespace {

std::size_t at(std::int64_t i, std::int64_t j, int M) {
  return static_cast<std::size_t>(i) + static_cast<std::size_t>(M) * static_cast<std::size_t>(j);
}

// |trunc(x)| as a double: the integer magnitude where it fits an int, and
// its exact saturated value where it does not.
double integer_magnitude(double x) { return std::fabs(std::trunc(x)); }

// Table index of a non-negative, non-NaN value: its integer part, clamped
// at the top to the last entry.  Compares as doubles, so that values beyond
// any integer type (infinities included) are never converted.
std::size_t clamped_index(double value, std::size_t length) {
  const double last = static_cast<double>(length - 1);
  if (value >= last) return length - 1;
  return static_cast<std::size_t>(value);
}

}  // namespace

std::size_t count_selected(const double* sector, std::size_t count) {
  std::size_t selected = 0;
  for (std::size_t k = 0; k < count; ++k)
    if (is_selected(sector[k])) ++selected;
  return selected;
}

void threshold_mask(const double* input, double* output, int M, int N, double threshold) {
  const std::size_t count = static_cast<std::size_t>(M) * static_cast<std::size_t>(N);
  for (std::size_t k = 0; k < count; ++k) {
    const double x = input[k];
    if (std::isnan(x))
      output[k] = 0.0;
    else
      output[k] = threshold > integer_magnitude(x) ? 0.0 : 1.0;
  }
}

void selected_magnitudes(double* out, const double* sector, const double* detail, int M, int N) {
  std::size_t k = 0;
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < N; ++j) {
      if (!is_selected(sector[at(i, j, M)])) continue;
      const double x = detail[at(i, j, M)];
      out[k++] = x < 0 ? -x : x;
    }
  }
}

void selected_neighbourhood_energy(double* out, const double* sector, const double* detail,
                                   const double* coarser, int h, int M, int N) {
  if (h < 0) throw std::invalid_argument("selected_neighbourhood_energy: negative half size");
  const std::int64_t span = 2 * static_cast<std::int64_t>(h) + 1;
  if (span > M || span > N) return;  // no interior position
  // span <= INT_MAX here, so span * span - 1 fits in 64 bits.
  const double area = static_cast<double>(span * span - 1) + 1.0;
  std::size_t k = 0;
  for (std::int64_t i = h; i < M - h; ++i) {
    for (std::int64_t j = h; j < N - h; ++j) {
      if (!is_selected(sector[at(i, j, M)])) continue;
      double sum = 0.0;
      for (std::int64_t l = i - h; l <= i + h; ++l) {
        for (std::int64_t m = j - h; m <= j + h; ++m) {
          const double d = detail[at(l, m, M)];
          sum = sum + d * d;
        }
      }
      const double a = detail[at(i, j, M)];
      const double b = coarser[at(i, j, M)];
      double t = sum - a * a;
      t = t + b * b;
      out[k++] = std::pow(t / area, 0.5);
    }
  }
}

void significance_probability(const double* detail, const double* coarser, double* out, int M,
                              int N, const double* likelihood, const double* prior, std::size_t nLR,
                              std::size_t nPR, double prior_factor, int h) {
  if (h < 0) throw std::invalid_argument("significance_probability: negative half size");
  if (M <= 0 || N <= 0) return;
  if (nLR == 0 || nPR == 0) throw std::invalid_argument("significance_probability: empty table");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::int64_t i = 0; i < M; ++i) {
    const std::int64_t row_first = std::max<std::int64_t>(0, i - h);
    const std::int64_t row_last = std::min<std::int64_t>(M - 1, i + h);
    for (std::int64_t j = 0; j < N; ++j) {
      const double d = detail[at(i, j, M)];
      if (std::isnan(d)) {
        out[at(i, j, M)] = nan;
        continue;
      }
      const double lambda = likelihood[clamped_index(integer_magnitude(d), nLR)];
      const std::int64_t col_first = std::max<std::int64_t>(0, j - h);
      const std::int64_t col_last = std::min<std::int64_t>(N - 1, j + h);
      double sum = 0.0;
      for (std::int64_t k = row_first; k <= row_last; ++k) {
        for (std::int64_t l = col_first; l <= col_last; ++l) {
          const double v = detail[at(k, l, M)];
          sum = sum + v * v;
        }
      }
      const std::int64_t window = (row_last - row_first + 1) * (col_last - col_first + 1);
      const double c = coarser[at(i, j, M)];
      const double energy = ((sum - d * d) + c * c) / static_cast<double>(window);
      const double e = std::pow(energy, 0.5);
      if (!(e >= 0.0)) {  // NaN: no table index
        out[at(i, j, M)] = nan;
        continue;
      }
      const double q = prior_factor * prior[clamped_index(e, nPR)];
      const double r = lambda * q;
      out[at(i, j, M)] = r / (r + 1.0);
    }
  }
}

}  // namespace waveprob
