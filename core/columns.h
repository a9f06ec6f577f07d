// Element-wise loops over contiguous columns: the inner loops of the
// transforms and the statistics.  Each output element is summed on its own, from +0.0, in the
// order of the taps, so the results do not depend on how the loops are
// vectorised.  Built for several instruction sets, chosen at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace waveprob::columns {

// Up to this many taps per sum.
constexpr int max_taps = 8;

struct taps {
  int count = 0;
  const double* source[max_taps] = {};
  double weight[max_taps] = {};
};

// dst[i] = (((+0.0 + w0 * s0[i]) + w1 * s1[i]) + ...) for i < n.
void weighted_sum(double* dst, const taps& t, std::size_t n);

// dst[i] = dst[i] + (((+0.0 + w0 * s0[i]) + w1 * s1[i]) + ...) for i < n.
void add_weighted_sum(double* dst, const taps& t, std::size_t n);

// Whether all of x[0 .. n-1] are finite.
bool all_finite(const double* x, std::size_t n);

}  // namespace waveprob::columns

namespace waveprob::columns {

// Sums over a square window, one window per element: for i < n,
//   S[i] = ((+0.0 + c(-h, 0)[i]) + c(-h, 1)[i]) + ... + c(h, 2h)[i],
//   c(dl, dm) = column[dm] + dl,
// row offset dl outer, column dm inner: the window read row by row when
// column[0 .. 2h] point at the same row of 2h+1 neighbouring columns.
void window_sums(double* S, const double* const* column, int h, std::size_t n);

// The same sums at listed rows only: S[k] is the sum of the window at row
// rows[k], for k < count; window_square_sums_at sums the squares v * v of
// the window's values instead.
void window_sums_at(double* S, const double* const* column, int h, const std::uint32_t* rows,
                    std::size_t count);
void window_square_sums_at(double* S, const double* const* column, int h, const std::uint32_t* rows,
                           std::size_t count);

// squares[i] = x[i] * x[i].
void squares(double* out, const double* x, std::size_t n);

// out[i] = 1.0 where |x[i]| >= bound, else 0.0 (NaN gives 0.0).
void at_least(double* out, const double* x, double bound, std::size_t n);

// The positions i < n where x[i] == 1.0, in ascending order, written to
// `positions`; returns how many.  Branch-free: a class map is as likely to
// select as not, which defeats branch prediction.
std::size_t ones(const double* x, std::size_t n, std::uint32_t* positions);

// The local energy of a coefficient d: its window's sum of squares S with
// the centre's square d * d replaced by that of the coarser coefficient c,
// over the window's area, in exactly this order.
inline double local_energy(double S, double d, double c, double area) {
  return ((S - d * d) + c * c) / area;
}

// The local energy of a column of coefficients and its square root:
//   E[i] = local_energy(S[i], d[i], c[i], heights[i] * width),
//   root[i] = sqrt(E[i]) (correctly rounded).
void local_energies(double* E, double* root, const double* S, const double* d, const double* c,
                    const double* heights, double width, std::size_t n);

// root[i] = sqrt(E[i]), correctly rounded, and settled[i] = 1 where that
// root lies within 3/8 of a unit in the last place of the exact square root
// of E[i] (else 0: E[i] outside [2^-960, 2^960], NaN, or a root that is a
// power of two, or farther from the exact one).  A power function with an
// error below 5/8 of a unit cannot round such a root differently.
void settled_square_roots(double* root, std::uint8_t* settled, const double* E, std::size_t n);

// For `cols` neighbouring columns, the first at `map` and `x`, the next ones
// `stride` values further each, and their rows 0 .. rows-1: appends -x or x
// (the sign flipped where x < 0; -0.0 and NaN unchanged) where map == 1.0 to
// list r, column by column, starting at lists[r * list_stride + filled[r]],
// and advances filled[r] by the number appended.  Each list needs room for
// four values past its last one.  Four columns at a time with AVX2 where the
// processor has it.
void append_selected_magnitudes(double* lists, std::size_t list_stride, std::size_t* filled,
                                const double* map, const double* x, std::ptrdiff_t stride,
                                std::size_t rows, std::ptrdiff_t cols);

// The same without vector instructions (exposed for the tests).
void append_selected_magnitudes_portable(double* lists, std::size_t list_stride,
                                         std::size_t* filled, const double* map, const double* x,
                                         std::ptrdiff_t stride, std::size_t rows,
                                         std::ptrdiff_t cols);

// How many of x[0 .. n-1] equal 1.0.
std::size_t count_ones(const double* x, std::size_t n);

// The probabilities of a column of coefficients d, for tables of at most
// 2^30 entries: with the local energy E[i] as in local_energies,
//   out[i] = r / (r + 1), r = likelihood[a] * (factor * prior[b]),
//   a = min(trunc(|d[i]|), lr_last), b = min(trunc(sqrt(E[i])), pr_last).
// check[i] = 1 where the prior index cannot be taken from the square root
// (NaN, or a root within a few units in the last place of a whole number)
// or d[i] is NaN: out[i] is then for the caller to redo from E[i].  Returns
// how many were flagged.
std::size_t probabilities(double* out, double* E, std::uint8_t* check, const double* S,
                          const double* d, const double* c, const double* heights, double width,
                          const double* likelihood, const double* prior, double lr_last,
                          double pr_last, double factor, std::size_t n);

}  // namespace waveprob::columns
