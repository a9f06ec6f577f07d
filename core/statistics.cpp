#include "core/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
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

// Lists in row-by-row order from column-major images, a strip of rows at a
// time.  Each column's part of the strip is read in stored order and its
// values go to the staging row of their image row; once the strip is done,
// its staging rows are appended to the list in order.  Reads and writes then
// stay within a strip's few rows instead of scattering over the whole list.
constexpr index_t strip_rows = 512;
// The magnitude lists do little work per value: half as many rows keep
// their staging rows in a nearer cache.
constexpr index_t magnitude_strip_rows = 256;

// Rows of `length` values laid out a whole number of cache lines plus one
// apart, so that rows read or written side by side fall into different
// cache sets.
std::size_t padded_stride(index_t length) {
  return (static_cast<std::size_t>(length) + 7) / 8 * 8 + 8;
}

class row_stager {
 public:
  // Room for `rows` image rows of up to `width` values each.
  row_stager(index_t rows, index_t width)
      : width_(padded_stride(width)),
        values_(new double[static_cast<std::size_t>(rows) * width_]),
        filled_(static_cast<std::size_t>(rows), 0) {}
  double* row(index_t r) { return values_.get() + static_cast<std::size_t>(r) * width_; }
  std::size_t& filled(index_t r) { return filled_[static_cast<std::size_t>(r)]; }
  // Distance between staging rows, and the counts of all rows.
  std::size_t stride() const { return width_; }
  std::size_t* counts() { return filled_.data(); }
  // Appends the first `rows` staging rows to out and empties them; returns
  // how many values were written.
  std::size_t flush(double* out, index_t rows) {
    std::size_t written = 0;
    for (index_t r = 0; r < rows; ++r) {
      std::copy(row(r), row(r) + filled(r), out + written);
      written += filled(r);
      filled(r) = 0;
    }
    return written;
  }

 private:
  std::size_t width_;
  std::unique_ptr<double[]> values_;  // not zeroed: only filled entries are read
  std::vector<std::size_t> filled_;
};

// pow(E, 0.5) for E >= 0 is the square root of E, rounded by the maths
// library's power function.  The correctly rounded square root s differs
// from it only when the power function's error reaches past the midpoint
// between s and a neighbour: never when the exact root lies within 3/8 of a
// unit in the last place of s and the power function errs by less than 5/8
// of a unit (glibc's bound is about 0.54).  columns::settled_square_roots
// marks such roots; then s is the power function's result and the call is
// saved.  This is checked once per process on roots close to that limit,
// and the power function is used throughout if one of them disagrees.
bool power_agrees_with_settled_roots() {
  static const bool agrees = [] {
    constexpr std::size_t n = 4096;
    std::vector<double> E(n), roots(n);
    std::vector<std::uint8_t> settled(n);
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    for (std::size_t k = 0; k < n; ++k) {
      state = state * 6364136223846793005u + 1442695040888963407u;
      // A root with random digits and binade, pushed about 0.37 units up
      // or down: near the limit of what counts as settled.
      const double mantissa = 1.0 + static_cast<double>(state >> 12) * 0x1p-52;
      const double s = std::ldexp(mantissa, static_cast<int>(state % 200) - 100);
      const double unit = std::ldexp(1.0, std::ilogb(s) - 52);
      E[k] = s * (s + (k % 2 ? 0.74 : -0.74) * unit);
    }
    columns::settled_square_roots(roots.data(), settled.data(), E.data(), n);
    const volatile double half = 0.5;
    for (std::size_t k = 0; k < n; ++k)
      if (settled[k] && std::pow(E[k], half) != roots[k]) return false;
    return true;
  }();
  return agrees;
}

// Asks for the n values from `x` on to be brought into the cache.
void prefetch(const double* x, index_t n) {
  for (index_t k = 0; k < n; k += 8) __builtin_prefetch(x + k);
}

// The squares of the 2h+1 columns under a window, each over `length` rows,
// kept in a ring as the window moves right: image column c lives in slot
// (c + 2h+1) mod (2h+1), for c >= -h.  Slots start as zeros.
class square_ring {
 public:
  square_ring(int h, index_t length)
      : h_(h),
        span_(2 * index_t{h} + 1),
        stride_(padded_stride(length)),
        values_(static_cast<std::size_t>(span_) * stride_, 0.0),
        window_(static_cast<std::size_t>(span_)) {}
  double* slot(index_t c) {
    return values_.data() + static_cast<std::size_t>((c + span_) % span_) * stride_;
  }
  // Fills the slot of column c, from `offset` on, with the squares of x[0 .. n-1].
  void load(index_t c, index_t offset, const double* x, index_t n) {
    columns::squares(slot(c) + offset, x, n);
  }
  // The columns j-h .. j+h, each from `offset` into its slot.
  const double* const* window(index_t j, index_t offset) {
    for (index_t dm = 0; dm < span_; ++dm) window_[dm] = slot(j - h_ + dm) + offset;
    return window_.data();
  }

 private:
  index_t h_;
  index_t span_;
  std::size_t stride_;
  std::vector<double> values_;
  std::vector<const double*> window_;
};

// Energies of the selected interior positions, row by row from out[0];
// returns how many were written.  Unless the selection is sparse, the
// squares under the window come from a ring of squared columns.  Where a
// column's part of a strip has many selected positions, the window sums of
// the whole part are formed together (vectorised); where it has few, those
// of the selected positions alone.  Either way every sum runs in the
// row-by-row window order.
std::size_t interior_energies(double* out, const double* sector, const double* detail,
                              const double* coarser, int h, int M, int N, bool sparse) {
  const index_t first = h, last = M - h;  // interior rows
  const index_t height = std::min<index_t>(strip_rows, last - first);
  row_stager stage(height, N - 2 * index_t{h});
  // At most 2h+1 <= N columns of at most M rows (a strip and its margins):
  // no more than about the image.
  square_ring ring(h, sparse ? 0 : height + 2 * index_t{h});
  std::vector<double> sums(height);
  std::vector<const double*> band_columns(sparse ? 2 * static_cast<std::size_t>(h) + 1 : 0);
  std::vector<std::uint32_t> selected(height);
  std::vector<double> energies(height), roots(height);
  std::vector<std::uint8_t> settled(height);
  const bool shortcut = power_agrees_with_settled_roots();
  const bool far = static_cast<double>(M) * N > 1 << 20;
  const index_t span = 2 * static_cast<index_t>(h) + 1;
  // span <= INT_MAX here, so span * span - 1 fits in 64 bits.
  const double area = static_cast<double>(span * span - 1) + 1.0;
  std::size_t written = 0;
  for (index_t top = first; top < last; top += height) {
    const index_t rows = std::min<index_t>(height, last - top);
    // The ring holds rows top-h .. top+rows+h-1 of the window's columns.
    for (index_t c = 0; c < 2 * h && !sparse; ++c)
      ring.load(c, 0, detail + at(top - h, c, M), rows + 2 * h);
    for (index_t j = h; j < N - h; ++j) {
      if (!sparse) ring.load(j + h, 0, detail + at(top - h, j + h, M), rows + 2 * h);
      if (far && j + 1 < N - h) {
        // The next column's parts of the strip: their addresses are far
        // apart, beyond what the hardware prefetchers follow.  Images that
        // fit the caches do better without.
        prefetch(sector + at(top, j + 1, M), rows);
        prefetch(coarser + at(top, j + 1, M), rows);
        prefetch(detail + at(top - h, j + 1 + h, M), rows + 2 * h);
      }
      const std::size_t found = columns::ones(sector + at(top, j, M), rows, selected.data());
      if (found == 0) continue;
      const double* centre = detail + at(top, j, M);
      const double* centre_coarser = coarser + at(top, j, M);
      const bool together = !sparse && 4 * static_cast<index_t>(found) >= rows;
      if (together) {
        columns::window_sums(sums.data(), ring.window(j, h), h, rows);
        for (std::size_t k = 0; k < found; ++k) sums[k] = sums[selected[k]];  // k <= selected[k]
      } else if (sparse) {
        // The band's own columns j-h .. j+h, at the strip's first row.
        for (index_t m = 0; m < span; ++m) band_columns[m] = detail + at(top, j - h + m, M);
        columns::window_square_sums_at(sums.data(), band_columns.data(), h, selected.data(), found);
      } else {
        columns::window_sums_at(sums.data(), ring.window(j, h), h, selected.data(), found);
      }
      for (std::size_t k = 0; k < found; ++k) {
        // Written out in the literal order rather than through
        // columns::local_energy: these energies are returned as they are, and
        // when both terms of an addition are NaN the result keeps the sign
        // of the first, an order the compiler is free to swap; through the
        // shared helper the tests caught a NaN of the other sign here.
        const index_t r = selected[k];
        const double a = centre[r], b = centre_coarser[r];
        double t = sums[k] - a * a;
        t = t + b * b;
        energies[k] = t / area;
      }
      columns::settled_square_roots(roots.data(), settled.data(), energies.data(), found);
      for (std::size_t k = 0; k < found; ++k) {
        const index_t r = selected[k];
        const double value = settled[k] && shortcut ? roots[k] : std::pow(energies[k], 0.5);
        stage.row(r)[stage.filled(r)++] = value;
      }
    }
    written += stage.flush(out + written, rows);
  }
  return written;
}

// Whether a ring of 2h+1 squared columns of M + 2h rows stays within about
// the size of the image.
bool ring_fits(int M, int N, int h) {
  const double ring = (2.0 * h + 1.0) * (static_cast<double>(M) + 2.0 * h);
  return ring <= 2.0 * M * N + 65536.0;
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

// The clipped window sums formed directly: for half sizes whose ring of
// squared columns would be much larger than the image.
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
      const double E = columns::local_energy(sum, d, c, static_cast<double>(window));
      out[at(i, j, M)] = probability(d, E, std::sqrt(E), likelihood, prior, nLR, nPR, prior_factor);
    }
  }
}

}  // namespace

std::size_t count_selected(const double* sector, std::size_t count) {
  return columns::count_ones(sector, count);
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
  if (M <= 0 || N <= 0) return;
  const index_t height = std::min<index_t>(magnitude_strip_rows, M);
  row_stager stage(height, N);
  for (index_t top = 0; top < M; top += height) {
    const index_t rows = std::min<index_t>(height, M - top);
    // Room for four values past each row's last: the staging rows are wider
    // than the N values they can hold.
    columns::append_selected_magnitudes(stage.row(0), stage.stride(), stage.counts(),
                                        sector + at(top, 0, M), detail + at(top, 0, M), M,
                                        static_cast<std::size_t>(rows), N);
    out += stage.flush(out, rows);
  }
}

void selected_neighbourhood_energy(double* out, std::size_t count, const double* sector,
                                   const double* detail, const double* coarser, int h, int M,
                                   int N) {
  if (h < 0) throw std::invalid_argument("selected_neighbourhood_energy: negative half size");
  std::size_t k = 0;
  const index_t span = 2 * static_cast<index_t>(h) + 1;
  // Few selected positions overall: their windows are summed straight from
  // the band, without squaring every column into the ring.
  const bool sparse = static_cast<double>(count) * 8.0 < static_cast<double>(M) * N;
  if (span <= M && span <= N) k = interior_energies(out, sector, detail, coarser, h, M, N, sparse);
  for (; k < count; ++k) out[k] = 0.0;  // one zero per selected border position
}

void significance_probability(const double* detail, const double* coarser, double* out, int M,
                              int N, const double* likelihood, const double* prior, std::size_t nLR,
                              std::size_t nPR, double prior_factor, int h) {
  if (h < 0) throw std::invalid_argument("significance_probability: negative half size");
  if (M <= 0 || N <= 0) return;
  if (nLR == 0 || nPR == 0) throw std::invalid_argument("significance_probability: empty table");
  if (!ring_fits(M, N, h)) {
    probabilities_direct(detail, coarser, out, M, N, likelihood, prior, nLR, nPR, prior_factor, h);
    return;
  }
  // Clipped windows from a ring of squared columns with h rows of zeros
  // above and below, and zero columns beyond the left and right borders:
  // adding +0.0 to these sums, which are never -0.0, changes nothing, so
  // every position takes the full window.
  square_ring ring(h, M + 2 * index_t{h});
  for (index_t c = 0; c < std::min<index_t>(h, N); ++c) ring.load(c, h, detail + at(0, c, M), M);
  // Window heights by row, clipped at the borders.
  std::vector<double> heights(M);
  for (index_t i = 0; i < M; ++i)
    heights[i] =
        static_cast<double>(std::min<index_t>(M - 1, i + h) - std::max<index_t>(0, i - h) + 1);
  // Each column is worked through in blocks of rows small enough that the
  // block's intermediate values stay in the first-level cache.
  constexpr index_t block = 256;
  const index_t length = std::min<index_t>(block, M);
  std::vector<double> sums(length), energies(length), roots(length);
  std::vector<std::uint8_t> check(length);
  const bool small_tables = nLR <= (std::size_t{1} << 30) && nPR <= (std::size_t{1} << 30);
  for (index_t j = 0; j < N; ++j) {
    const double width =
        static_cast<double>(std::min<index_t>(N - 1, j + h) - std::max<index_t>(0, j - h) + 1);
    if (j + h < N)
      ring.load(j + h, h, detail + at(0, j + h, M), M);
    else
      std::fill(ring.slot(j + h) + h, ring.slot(j + h) + h + M, 0.0);
    for (index_t first = 0; first < M; first += length) {
      const index_t n = std::min<index_t>(length, M - first);
      const double* d = detail + at(first, j, M);
      double* column = out + at(first, j, M);
      columns::window_sums(sums.data(), ring.window(j, h + first), h, n);
      const double* c = coarser + at(first, j, M);
      if (!small_tables) {
        columns::local_energies(energies.data(), roots.data(), sums.data(), d, c,
                                heights.data() + first, width, n);
        for (index_t i = 0; i < n; ++i)
          column[i] =
              probability(d[i], energies[i], roots[i], likelihood, prior, nLR, nPR, prior_factor);
        continue;
      }
      // The whole block at once, then the few coefficients whose prior
      // index needs the power function (or that are NaN) one by one.
      const std::size_t flagged = columns::probabilities(
          column, energies.data(), check.data(), sums.data(), d, c, heights.data() + first, width,
          likelihood, prior, static_cast<double>(nLR - 1), static_cast<double>(nPR - 1),
          prior_factor, n);
      for (index_t i = 0; flagged > 0 && i < n; ++i)
        if (check[i])
          column[i] = probability(d[i], energies[i], std::sqrt(energies[i]), likelihood, prior, nLR,
                                  nPR, prior_factor);
    }
  }
}

}  // namespace waveprob
