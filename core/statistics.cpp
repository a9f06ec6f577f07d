#include "core/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/columns.h"

namespace waveprob {
namespace {

using index_t = std::int64_t;

std::size_t at(index_t i, index_t j, index_t M) {
  return static_cast<std::size_t>(i) + static_cast<std::size_t>(M) * static_cast<std::size_t>(j);
}

const double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Table index of |trunc(x)| for a non-NaN x: the integer part of |x|,
// clamped at the top to the last of `length` entries.  Compares as doubles,
// so values beyond any integer type (infinities included) are never
// converted; below `length` the cast truncates.
std::size_t magnitude_index(double x, std::size_t length) {
  const double a = std::fabs(x);
  if (a >= static_cast<double>(length)) return length - 1;
  return static_cast<std::size_t>(a);
}

// Where each row's entries start in a list that runs row by row: counts[i]
// entries for row i, rows in order.  Returns the write positions.
std::vector<std::size_t> row_starts(const std::vector<std::size_t>& counts) {
  std::vector<std::size_t> start(counts.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    start[i] = next;
    next += counts[i];
  }
  return start;
}

// trunc(pow(E, 0.5)) clamped to `last`, for E >= 0 or NaN (NaN returns
// false).  The power function is within one unit in the last place of the
// correctly rounded square root s (and equal to it where s is exact), so
// every candidate lies in [s - 2 ulp, s + 2 ulp]; unless that interval holds
// an integer, all candidates truncate alike and s gives the index.  Near an
// integer the power function itself decides.
bool energy_index(double E, std::size_t last, std::size_t* index) {
  const double s = std::sqrt(E);
  if (!(s >= 0.0)) return false;
  const double top = static_cast<double>(last);
  double whole = s >= 4503599627370496.0 ? s : static_cast<double>(static_cast<std::int64_t>(s));
  const double margin = s * 0x1p-49;  // eight units in the last place of s
  if (s - whole <= margin || whole + 1.0 - s <= margin) {
    const double e = std::pow(E, 0.5);
    if (!(e >= 0.0)) return false;
    whole = e >= top ? top : std::trunc(e);
  }
  *index = whole >= top ? last : static_cast<std::size_t>(whole);
  return true;
}

// Energies of the selected interior positions, row by row from out[0];
// returns how many were written.  The window sums of one column of
// positions are formed together, each in the row-by-row window order.
std::size_t interior_energies(double* out, const double* sector, const double* detail,
                              const double* coarser, int h, int M, int N) {
  const index_t rows_first = h, rows_end = M - h;
  std::vector<std::size_t> counts(M, 0);
  for (index_t j = h; j < N - h; ++j)
    for (index_t i = rows_first; i < rows_end; ++i)
      if (is_selected(sector[at(i, j, M)])) ++counts[i];
  std::vector<std::size_t> next = row_starts(counts);
  std::size_t written = 0;
  for (std::size_t c : counts) written += c;
  if (written == 0) return 0;

  const index_t span = 2 * static_cast<index_t>(h) + 1;
  // span <= INT_MAX here, so span * span - 1 fits in 64 bits.
  const double area = static_cast<double>(span * span - 1) + 1.0;
  std::vector<double> sq(static_cast<std::size_t>(M) * static_cast<std::size_t>(N));
  columns::squares(sq.data(), detail, sq.size());
  std::vector<double> sums(rows_end - rows_first);
  for (index_t j = h; j < N - h; ++j) {
    columns::window_sums(sums.data(), sq.data() + at(rows_first, j, M), M, h, sums.size());
    for (index_t i = rows_first; i < rows_end; ++i) {
      if (!is_selected(sector[at(i, j, M)])) continue;
      const double a = detail[at(i, j, M)];
      const double b = coarser[at(i, j, M)];
      double t = sums[i - rows_first] - a * a;
      t = t + b * b;
      out[next[i]++] = std::pow(t / area, 0.5);
    }
  }
  return written;
}

// Window sums clipped at the borders, from a copy of the squares with h
// rows and columns of zeros around it: adding +0.0 to these sums, which are
// never -0.0, changes nothing, so every position takes the full window.
class padded_squares {
 public:
  padded_squares(const double* detail, int M, int N, int h)
      : rows_(static_cast<index_t>(M) + 2 * h),
        h_(h),
        values_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(N + 2 * index_t{h}),
                0.0) {
    for (index_t j = 0; j < N; ++j) columns::squares(column(j), detail + at(0, j, M), M);
  }
  double* column(index_t j) { return values_.data() + at(h_, j + h_, rows_); }
  index_t stride() const { return rows_; }

 private:
  index_t rows_;
  index_t h_;
  std::vector<double> values_;
};

// Whether the padded copy stays within about the size of the image.
bool padding_fits(int M, int N, int h) {
  const double padded = (static_cast<double>(M) + 2.0 * h) * (static_cast<double>(N) + 2.0 * h);
  return padded <= 2.0 * M * N + 65536.0;
}

// Probability from the window sum S of one coefficient.
double probability(double d, double c, double S, double window, const double* likelihood,
                   const double* prior, std::size_t nLR, std::size_t nPR, double prior_factor) {
  if (std::isnan(d)) return not_a_number;
  const double lambda = likelihood[magnitude_index(d, nLR)];
  const double energy = ((S - d * d) + c * c) / window;
  std::size_t b;
  if (!energy_index(energy, nPR - 1, &b)) return not_a_number;
  const double q = prior_factor * prior[b];
  const double r = lambda * q;
  return r / (r + 1.0);
}

// The clipped window sums formed directly: for half sizes whose padded copy
// would be much larger than the image.
void probabilities_direct(const double* detail, const double* coarser, double* out, int M, int N,
                          const double* likelihood, const double* prior, std::size_t nLR,
                          std::size_t nPR, double prior_factor, int h) {
  for (index_t i = 0; i < M; ++i) {
    const index_t row_first = std::max<index_t>(0, i - h);
    const index_t row_last = std::min<index_t>(M - 1, i + h);
    for (index_t j = 0; j < N; ++j) {
      const index_t col_first = std::max<index_t>(0, j - h);
      const index_t col_last = std::min<index_t>(N - 1, j + h);
      double sum = 0.0;
      for (index_t k = row_first; k <= row_last; ++k) {
        for (index_t l = col_first; l <= col_last; ++l) {
          const double v = detail[at(k, l, M)];
          sum = sum + v * v;
        }
      }
      const index_t window = (row_last - row_first + 1) * (col_last - col_first + 1);
      out[at(i, j, M)] =
          probability(detail[at(i, j, M)], coarser[at(i, j, M)], sum, static_cast<double>(window),
                      likelihood, prior, nLR, nPR, prior_factor);
    }
  }
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
  if (std::isnan(threshold)) {
    // Greater than no magnitude: every coefficient but a NaN is marked.
    for (std::size_t k = 0; k < count; ++k) output[k] = std::isnan(input[k]) ? 0.0 : 1.0;
    return;
  }
  // The magnitude m = trunc(|x|) is a whole number, so "threshold > m" fails
  // exactly when m >= ceil(threshold), that is when |x| >= ceil(threshold).
  columns::at_least(output, input, std::ceil(threshold), count);
}

void selected_magnitudes(double* out, const double* sector, const double* detail, int M, int N) {
  // Count each row's selections, then place every value at its row's write
  // position while reading both images in their stored order.
  std::vector<std::size_t> counts(M, 0);
  for (index_t j = 0; j < N; ++j)
    for (index_t i = 0; i < M; ++i)
      if (is_selected(sector[at(i, j, M)])) ++counts[i];
  std::vector<std::size_t> next = row_starts(counts);
  for (index_t j = 0; j < N; ++j) {
    for (index_t i = 0; i < M; ++i) {
      if (!is_selected(sector[at(i, j, M)])) continue;
      const double x = detail[at(i, j, M)];
      out[next[i]++] = x < 0 ? -x : x;
    }
  }
}

void selected_neighbourhood_energy(double* out, std::size_t count, const double* sector,
                                   const double* detail, const double* coarser, int h, int M,
                                   int N) {
  if (h < 0) throw std::invalid_argument("selected_neighbourhood_energy: negative half size");
  std::size_t k = 0;
  const index_t span = 2 * static_cast<index_t>(h) + 1;
  if (span <= M && span <= N) k = interior_energies(out, sector, detail, coarser, h, M, N);
  for (; k < count; ++k) out[k] = 0.0;  // one zero per selected border position
}

void significance_probability(const double* detail, const double* coarser, double* out, int M,
                              int N, const double* likelihood, const double* prior, std::size_t nLR,
                              std::size_t nPR, double prior_factor, int h) {
  if (h < 0) throw std::invalid_argument("significance_probability: negative half size");
  if (M <= 0 || N <= 0) return;
  if (nLR == 0 || nPR == 0) throw std::invalid_argument("significance_probability: empty table");
  if (!padding_fits(M, N, h)) {
    probabilities_direct(detail, coarser, out, M, N, likelihood, prior, nLR, nPR, prior_factor, h);
    return;
  }
  padded_squares sq(detail, M, N, h);
  // Window heights by row and widths by column, clipped at the borders.
  std::vector<double> sums(M);
  std::vector<index_t> heights(M);
  for (index_t i = 0; i < M; ++i)
    heights[i] = std::min<index_t>(M - 1, i + h) - std::max<index_t>(0, i - h) + 1;
  for (index_t j = 0; j < N; ++j) {
    const index_t width = std::min<index_t>(N - 1, j + h) - std::max<index_t>(0, j - h) + 1;
    columns::window_sums(sums.data(), sq.column(j), sq.stride(), h, M);
    for (index_t i = 0; i < M; ++i) {
      const std::size_t k = at(i, j, M);
      out[k] = probability(detail[k], coarser[k], sums[i], static_cast<double>(heights[i] * width),
                           likelihood, prior, nLR, nPR, prior_factor);
    }
  }
}

}  // namespace waveprob
