#include "core/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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
std::vector<std::size_t> row_starts(const std::vector<std::uint32_t>& counts) {
  std::vector<std::size_t> start(counts.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    start[i] = next;
    next += counts[i];
  }
  return start;
}

// Selected entries per row over columns [first, end) and rows [top, bottom).
std::vector<std::uint32_t> selected_per_row(const double* sector, int M, index_t top,
                                            index_t bottom, index_t first, index_t end) {
  std::vector<std::uint32_t> counts(M, 0);
  for (index_t j = first; j < end; ++j)
    columns::count_ones(sector + at(top, j, M), bottom - top, counts.data() + top);
  return counts;
}

// trunc(pow(E, 0.5)) clamped to `last`, given E >= 0 or NaN and its
// correctly rounded square root s (NaN returns false).  The power function
// is within one unit in the last place of s (and equal to it where s is
// exact), so every candidate lies in [s - 2 ulp, s + 2 ulp]; unless an
// integer lies that close, all candidates truncate alike and s gives the
// index.  Near an integer the power function itself decides.
bool energy_index(double E, double s, std::size_t last, std::size_t* index) {
  if (!(s >= 0.0)) return false;
  const double top = static_cast<double>(last);
  double whole = s >= 4503599627370496.0 ? s : static_cast<double>(static_cast<std::int64_t>(s));
  const double margin = s * 0x1p-49;  // four to eight units in the last place of s
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
  const index_t top = h, bottom = M - h;
  const std::vector<std::uint32_t> counts = selected_per_row(sector, M, top, bottom, h, N - h);
  std::vector<std::size_t> next = row_starts(counts);
  const std::size_t written = next.back() + counts.back();
  if (written == 0) return 0;

  const index_t span = 2 * static_cast<index_t>(h) + 1;
  // span <= INT_MAX here, so span * span - 1 fits in 64 bits.
  const double area = static_cast<double>(span * span - 1) + 1.0;
  // Few selected positions: each window summed on its own; many: the sums
  // of whole columns of windows.  Either way from the band's own values,
  // squared as they are added.
  const double interior = static_cast<double>(bottom - top) * static_cast<double>(N - 2 * h);
  const bool sparse = static_cast<double>(written) < 0.2 * interior;
  std::vector<double> sums(sparse ? 0 : bottom - top);
  std::vector<std::uint32_t> rows(bottom - top);
  for (index_t j = h; j < N - h; ++j) {
    const std::size_t found = columns::ones(sector + at(top, j, M), rows.size(), rows.data());
    if (found == 0) continue;
    if (!sparse)
      columns::window_square_sums(sums.data(), detail + at(top, j, M), M, h, sums.size());
    for (std::size_t r = 0; r < found; ++r) {
      const index_t i = top + rows[r];
      double sum = 0.0;
      if (sparse) {
        for (index_t l = i - h; l <= i + h; ++l) {
          for (index_t m = j - h; m <= j + h; ++m) {
            const double v = detail[at(l, m, M)];
            sum = sum + v * v;
          }
        }
      } else {
        sum = sums[rows[r]];
      }
      const double a = detail[at(i, j, M)];
      const double b = coarser[at(i, j, M)];
      double t = sum - a * a;
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

// Probability of one coefficient d from its local energy E and sqrt(E).
double probability(double d, double E, double root, const double* likelihood, const double* prior,
                   std::size_t nLR, std::size_t nPR, double prior_factor) {
  if (std::isnan(d)) return not_a_number;
  const double lambda = likelihood[magnitude_index(d, nLR)];
  std::size_t b;
  if (!energy_index(E, root, nPR - 1, &b)) return not_a_number;
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
      const double d = detail[at(i, j, M)], c = coarser[at(i, j, M)];
      const double E = ((sum - d * d) + c * c) / static_cast<double>(window);
      out[at(i, j, M)] = probability(d, E, std::sqrt(E), likelihood, prior, nLR, nPR, prior_factor);
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
  if (M <= 0 || N <= 0) return;
  const std::vector<std::uint32_t> counts = selected_per_row(sector, M, 0, M, 0, N);
  std::vector<std::size_t> next = row_starts(counts);
  std::vector<std::uint32_t> rows(M);
  for (index_t j = 0; j < N; ++j) {
    const double* column = detail + at(0, j, M);
    const std::size_t found = columns::ones(sector + at(0, j, M), M, rows.data());
    for (std::size_t r = 0; r < found; ++r) {
      const double x = column[rows[r]];
      out[next[rows[r]]++] = x < 0 ? -x : x;
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
  std::vector<double> sums(M), energies(M), roots(M), heights(M);
  const bool small_tables = nLR <= (std::size_t{1} << 30) && nPR <= (std::size_t{1} << 30);
  std::vector<std::int32_t> lr_index(M), pr_index(M);
  std::vector<std::uint8_t> check(M);
  for (index_t i = 0; i < M; ++i)
    heights[i] =
        static_cast<double>(std::min<index_t>(M - 1, i + h) - std::max<index_t>(0, i - h) + 1);
  for (index_t j = 0; j < N; ++j) {
    const index_t width = std::min<index_t>(N - 1, j + h) - std::max<index_t>(0, j - h) + 1;
    const double* d = detail + at(0, j, M);
    columns::window_sums(sums.data(), sq.column(j), sq.stride(), h, M);
    columns::local_energies(energies.data(), roots.data(), sums.data(), d, coarser + at(0, j, M),
                            heights.data(), static_cast<double>(width), M);
    double* column = out + at(0, j, M);
    if (!small_tables) {
      for (index_t i = 0; i < M; ++i)
        column[i] =
            probability(d[i], energies[i], roots[i], likelihood, prior, nLR, nPR, prior_factor);
      continue;
    }
    // Indices and odds for the whole column, then the few coefficients whose
    // index needs the power function (or that are NaN) one by one.
    const std::size_t flagged =
        columns::table_indices(lr_index.data(), pr_index.data(), check.data(), d, roots.data(),
                               static_cast<double>(nLR - 1), static_cast<double>(nPR - 1), M);
    columns::odds_to_probability(column, lr_index.data(), pr_index.data(), likelihood, prior,
                                 prior_factor, M);
    for (index_t i = 0; flagged > 0 && i < M; ++i)
      if (check[i])
        column[i] =
            probability(d[i], energies[i], roots[i], likelihood, prior, nLR, nPR, prior_factor);
  }
}

}  // namespace waveprob
