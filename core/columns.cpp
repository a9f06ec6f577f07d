#include "core/columns.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define WAVEPROB_AVX2 1
#else
#define WAVEPROB_AVX2 0
#endif

// One clone per instruction set; the loader picks the best the processor has.
// Only whole-vector element-wise code lives here: no reassociation, no
// contraction into fused multiply-add (the build forbids it), so every clone
// gives the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define WAVEPROB_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define WAVEPROB_CLONES
#endif

namespace waveprob::columns {
namespace {

template <int K, bool Accumulate>
__attribute__((always_inline)) inline void sum_taps(double* __restrict dst, const taps& t,
                                                    std::size_t n) {
  const double* s[K];
  double w[K];
  for (int k = 0; k < K; ++k) {
    s[k] = t.source[k];
    w[k] = t.weight[k];
  }
  for (std::size_t i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int k = 0; k < K; ++k) sum = sum + w[k] * s[k][i];
    if (Accumulate)
      dst[i] = dst[i] + sum;
    else
      dst[i] = sum;
  }
}

template <bool Accumulate>
__attribute__((always_inline)) inline void dispatch(double* dst, const taps& t, std::size_t n) {
  switch (t.count) {
    case 1:
      sum_taps<1, Accumulate>(dst, t, n);
      break;
    case 2:
      sum_taps<2, Accumulate>(dst, t, n);
      break;
    case 3:
      sum_taps<3, Accumulate>(dst, t, n);
      break;
    case 4:
      sum_taps<4, Accumulate>(dst, t, n);
      break;
    case 5:
      sum_taps<5, Accumulate>(dst, t, n);
      break;
    case 6:
      sum_taps<6, Accumulate>(dst, t, n);
      break;
    case 7:
      sum_taps<7, Accumulate>(dst, t, n);
      break;
    case 8:
      sum_taps<8, Accumulate>(dst, t, n);
      break;
    default:
      for (std::size_t i = 0; i < n; ++i) dst[i] = Accumulate ? dst[i] + 0.0 : 0.0;
  }
}

}  // namespace

WAVEPROB_CLONES void weighted_sum(double* dst, const taps& t, std::size_t n) {
  dispatch<false>(dst, t, n);
}

WAVEPROB_CLONES void add_weighted_sum(double* dst, const taps& t, std::size_t n) {
  dispatch<true>(dst, t, n);
}

WAVEPROB_CLONES bool all_finite(const double* x, std::size_t n) {
  // A NaN or an infinity has every exponent bit set: adding one to the
  // exponent field then carries into the sign bit, which the OR keeps.
  const std::uint64_t exponent = 0x7ff0000000000000u, one = 0x0010000000000000u;
  std::uint64_t carried = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t bits;
    std::memcpy(&bits, x + i, sizeof bits);
    carried |= (bits & exponent) + one;
  }
  return (carried >> 63) == 0;
}

namespace {

// Four doubles, added lane by lane (each lane an ordinary IEEE addition).
typedef double four_doubles __attribute__((vector_size(32), aligned(8)));

// S[i] = sum over the window, row offset outer, column offset inner, from
// +0.0; column dm of the window starts at column(dm).  The sums of
// 4 * Groups neighbouring positions from `first` on, in registers while every
// window offset is added to them: enough independent chains of additions to
// hide each addition's latency.  Span is the window's width when known at
// compile time (0 otherwise), so that the common widths unroll.
template <std::size_t Groups, int Span, typename Columns>
__attribute__((always_inline)) inline void window_block(double* S, Columns column, int h,
                                                        std::size_t first) {
  const std::ptrdiff_t span = Span > 0 ? Span : 2 * static_cast<std::ptrdiff_t>(h) + 1;
  four_doubles acc[Groups];
  for (std::size_t g = 0; g < Groups; ++g) acc[g] = four_doubles{0.0, 0.0, 0.0, 0.0};
  for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
    for (std::ptrdiff_t dm = 0; dm < span; ++dm) {
      const double* src = column(dm) + first + dl;
      for (std::size_t g = 0; g < Groups; ++g) {
        four_doubles v;
        std::memcpy(&v, src + 4 * g, sizeof v);
        acc[g] = acc[g] + v;
      }
    }
  }
  std::memcpy(S + first, acc, sizeof acc);
}

// All n sums: thirty-two at a time, the rest one by one.
template <int Span, typename Columns>
__attribute__((always_inline)) inline void window_total_span(double* S, Columns column, int h,
                                                             std::size_t n) {
  constexpr std::size_t groups = 8, lanes = 4 * groups;
  const std::ptrdiff_t span = 2 * static_cast<std::ptrdiff_t>(h) + 1;
  std::size_t first = 0;
  for (; first + lanes <= n; first += lanes) window_block<groups, Span>(S, column, h, first);
  for (; first < n; ++first) {
    double acc = 0.0;
    for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
      for (std::ptrdiff_t dm = 0; dm < span; ++dm) {
        acc = acc + column(dm)[static_cast<std::ptrdiff_t>(first) + dl];
      }
    }
    S[first] = acc;
  }
}

template <typename Columns>
__attribute__((always_inline)) inline void window_total(double* S, Columns column, int h,
                                                        std::size_t n) {
  switch (h) {
    case 1:
      return window_total_span<3>(S, column, h, n);
    case 2:
      return window_total_span<5>(S, column, h, n);
    case 3:
      return window_total_span<7>(S, column, h, n);
    default:
      return window_total_span<0>(S, column, h, n);
  }
}

}  // namespace

WAVEPROB_CLONES void window_sums(double* S, const double* const* column, int h, std::size_t n) {
  window_total(
      S, [column](std::ptrdiff_t dm) { return column[dm]; }, h, n);
}

namespace {

// Window sums at listed rows.  Each sum is a chain of additions in a fixed
// order; eight positions go side by side so that their chains overlap.
template <bool Square>
__attribute__((always_inline)) inline void window_total_at(double* S, const double* const* column,
                                                           int h, const std::uint32_t* rows,
                                                           std::size_t count) {
  constexpr std::size_t lanes = 8;
  const std::ptrdiff_t span = 2 * static_cast<std::ptrdiff_t>(h) + 1;
  std::size_t first = 0;
  for (; first + lanes <= count; first += lanes) {
    double acc[lanes];
    std::ptrdiff_t at[lanes];
    for (std::size_t q = 0; q < lanes; ++q) {
      acc[q] = 0.0;
      at[q] = static_cast<std::ptrdiff_t>(rows[first + q]);
    }
    for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
      for (std::ptrdiff_t dm = 0; dm < span; ++dm) {
        const double* src = column[dm] + dl;
        for (std::size_t q = 0; q < lanes; ++q) {
          const double v = src[at[q]];
          acc[q] = acc[q] + (Square ? v * v : v);
        }
      }
    }
    for (std::size_t q = 0; q < lanes; ++q) S[first + q] = acc[q];
  }
  for (; first < count; ++first) {
    double acc = 0.0;
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(rows[first]);
    for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
      for (std::ptrdiff_t dm = 0; dm < span; ++dm) {
        const double v = column[dm][at + dl];
        acc = acc + (Square ? v * v : v);
      }
    }
    S[first] = acc;
  }
}

}  // namespace

WAVEPROB_CLONES void window_sums_at(double* S, const double* const* column, int h,
                                    const std::uint32_t* rows, std::size_t count) {
  window_total_at<false>(S, column, h, rows, count);
}

WAVEPROB_CLONES void window_square_sums_at(double* S, const double* const* column, int h,
                                           const std::uint32_t* rows, std::size_t count) {
  window_total_at<true>(S, column, h, rows, count);
}

WAVEPROB_CLONES void squares(double* __restrict out, const double* __restrict x, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = x[i] * x[i];
}

WAVEPROB_CLONES void at_least(double* __restrict out, const double* __restrict x, double bound,
                              std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double a = x[i] < 0 ? -x[i] : x[i];
    out[i] = a >= bound ? 1.0 : 0.0;
  }
}

namespace {

// -x where x < 0, else x, by flipping the sign bit.
inline double flip_negative(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits ^= static_cast<std::uint64_t>(x < 0.0) << 63;
  std::memcpy(&x, &bits, sizeof bits);
  return x;
}

// Rows first .. rows-1 of `cols` columns, one row at a time, column by
// column.  Every value is stored, and the count advances only where the map
// selects, so that no branch mispredicts on a map as likely to select as
// not.
void append_selected_magnitudes_rows(double* lists, std::size_t list_stride, std::size_t* filled,
                                     const double* map, const double* x, std::ptrdiff_t stride,
                                     std::size_t first, std::size_t rows, std::ptrdiff_t cols) {
  for (std::size_t r = first; r < rows; ++r) {
    double* list = lists + r * list_stride;
    std::size_t n = filled[r];
    for (std::ptrdiff_t c = 0; c < cols; ++c) {
      list[n] = flip_negative(x[r + c * stride]);
      n += map[r + c * stride] == 1.0;
    }
    filled[r] = n;
  }
}

#if WAVEPROB_AVX2
// Rows a, b, c, d of a 4 x 4 block become its columns.
__attribute__((target("avx2"), always_inline)) inline void transpose(__m256d& a, __m256d& b,
                                                                     __m256d& c, __m256d& d) {
  const __m256d ab_low = _mm256_unpacklo_pd(a, b), ab_high = _mm256_unpackhi_pd(a, b);
  const __m256d cd_low = _mm256_unpacklo_pd(c, d), cd_high = _mm256_unpackhi_pd(c, d);
  a = _mm256_permute2f128_pd(ab_low, cd_low, 0x20);
  b = _mm256_permute2f128_pd(ab_high, cd_high, 0x20);
  c = _mm256_permute2f128_pd(ab_low, cd_low, 0x31);
  d = _mm256_permute2f128_pd(ab_high, cd_high, 0x31);
}

// Four rows by four columns at a time: the block is transposed so that each
// row's four values sit in one register, whose selected values a table of
// permutations packs to the front; all four are stored and the count
// advances by the number selected.
__attribute__((target("avx2"))) void append_selected_magnitudes4_avx2(
    double* lists, std::size_t list_stride, std::size_t* filled, const double* map, const double* x,
    std::ptrdiff_t stride, std::size_t rows) {
  // For each pattern of selected lanes, the 32-bit halves of the selected
  // doubles, in order, then anything.
  alignas(32) static const std::int32_t pack[16][8] = {
      {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}, {2, 3, 0, 1, 4, 5, 6, 7},
      {0, 1, 2, 3, 4, 5, 6, 7}, {4, 5, 0, 1, 2, 3, 6, 7}, {0, 1, 4, 5, 2, 3, 6, 7},
      {2, 3, 4, 5, 0, 1, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}, {6, 7, 0, 1, 2, 3, 4, 5},
      {0, 1, 6, 7, 2, 3, 4, 5}, {2, 3, 6, 7, 0, 1, 4, 5}, {0, 1, 2, 3, 6, 7, 4, 5},
      {4, 5, 6, 7, 0, 1, 2, 3}, {0, 1, 4, 5, 6, 7, 2, 3}, {2, 3, 4, 5, 6, 7, 0, 1},
      {0, 1, 2, 3, 4, 5, 6, 7}};
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d zero = _mm256_setzero_pd();
  const __m256d sign = _mm256_set1_pd(-0.0);
  std::size_t r = 0;
  for (; r + 4 <= rows; r += 4) {
    __m256d m[4], v[4];
    for (int c = 0; c < 4; ++c) {
      m[c] = _mm256_loadu_pd(map + r + c * stride);
      v[c] = _mm256_loadu_pd(x + r + c * stride);
    }
    transpose(m[0], m[1], m[2], m[3]);
    transpose(v[0], v[1], v[2], v[3]);
    for (int q = 0; q < 4; ++q) {
      const int selected = _mm256_movemask_pd(_mm256_cmp_pd(m[q], one, _CMP_EQ_OQ));
      const __m256d negative = _mm256_cmp_pd(v[q], zero, _CMP_LT_OQ);
      const __m256d magnitude = _mm256_xor_pd(v[q], _mm256_and_pd(negative, sign));
      const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(pack[selected]));
      const __m256 packed = _mm256_permutevar8x32_ps(_mm256_castpd_ps(magnitude), order);
      std::size_t& n = filled[r + q];
      _mm256_storeu_ps(reinterpret_cast<float*>(lists + (r + q) * list_stride + n), packed);
      n += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(selected)));
    }
  }
  append_selected_magnitudes_rows(lists, list_stride, filled, map, x, stride, r, rows, 4);
}
#endif

}  // namespace

void append_selected_magnitudes(double* lists, std::size_t list_stride, std::size_t* filled,
                                const double* map, const double* x, std::ptrdiff_t stride,
                                std::size_t rows, std::ptrdiff_t cols) {
  std::ptrdiff_t c = 0;
#if WAVEPROB_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  for (; avx2 && c + 4 <= cols; c += 4)
    append_selected_magnitudes4_avx2(lists, list_stride, filled, map + c * stride, x + c * stride,
                                     stride, rows);
#endif
  append_selected_magnitudes_rows(lists, list_stride, filled, map + c * stride, x + c * stride,
                                  stride, 0, rows, cols - c);
}

void append_selected_magnitudes_portable(double* lists, std::size_t list_stride,
                                         std::size_t* filled, const double* map, const double* x,
                                         std::ptrdiff_t stride, std::size_t rows,
                                         std::ptrdiff_t cols) {
  append_selected_magnitudes_rows(lists, list_stride, filled, map, x, stride, 0, rows, cols);
}

std::size_t ones(const double* x, std::size_t n, std::uint32_t* positions) {
  std::size_t count = 0, i = 0;
#if defined(__SSE2__)
  // Four values at a time: their pattern of ones picks, from a table, which
  // of the four positions to keep.  All four are stored; the count advances
  // by the kept ones only, and count <= i keeps the store within n entries.
  alignas(16) static const std::uint32_t kept[16][4] = {
      {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}, {0, 2, 0, 0},
      {1, 2, 0, 0}, {0, 1, 2, 0}, {3, 0, 0, 0}, {0, 3, 0, 0}, {1, 3, 0, 0}, {0, 1, 3, 0},
      {2, 3, 0, 0}, {0, 2, 3, 0}, {1, 2, 3, 0}, {0, 1, 2, 3}};
  static const unsigned char kept_count[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
  const __m128d one = _mm_set1_pd(1.0);
  for (; i + 4 <= n; i += 4) {
    const int low = _mm_movemask_pd(_mm_cmpeq_pd(_mm_loadu_pd(x + i), one));
    const int high = _mm_movemask_pd(_mm_cmpeq_pd(_mm_loadu_pd(x + i + 2), one));
    const int pattern = low | high << 2;
    const __m128i base = _mm_set1_epi32(static_cast<int>(i));
    const __m128i chosen =
        _mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(kept[pattern])), base);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(positions + count), chosen);
    count += kept_count[pattern];
  }
#endif
  for (; i < n; ++i) {
    positions[count] = static_cast<std::uint32_t>(i);
    count += x[i] == 1.0;
  }
  return count;
}

WAVEPROB_CLONES std::size_t count_ones(const double* x, std::size_t n) {
  // Counted in 64-bit lanes, without branches: a class map is as likely to
  // select as not.
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < n; ++i) count += x[i] == 1.0 ? 1u : 0u;
  return count;
}

WAVEPROB_CLONES void local_energies(double* __restrict E, double* __restrict root,
                                    const double* __restrict S, const double* __restrict d,
                                    const double* __restrict c, const double* __restrict heights,
                                    double width, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double energy = local_energy(S[i], d[i], c[i], heights[i] * width);
    E[i] = energy;
    root[i] = __builtin_sqrt(energy);
  }
}

WAVEPROB_CLONES void settled_square_roots(double* __restrict root, std::uint8_t* __restrict settled,
                                          const double* __restrict E, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double e = E[i];
    const double s = __builtin_sqrt(e);
    // s * s = p + q exactly (Dekker's product: s split into halves of 26
    // bits, whose products are exact), so E - s^2 = (e - p) - q, where
    // e - p is exact (p is within a factor of two of e) and the last
    // subtraction rounds by a negligible relative amount.
    const double c = 134217729.0 * s;  // 2^27 + 1
    const double high = c - (c - s);
    const double low = s - high;
    const double p = s * s;
    const double q = ((high * high - p) + 2.0 * high * low) + low * low;
    const double residual = (e - p) - q;
    // The exact root is s + residual / (sqrt(E) + s), about
    // s + residual / (2 s): within 3/8 of a unit u when
    // |residual| <= (3/4) s u, tightened slightly for the approximations.
    std::uint64_t bits;
    std::memcpy(&bits, &s, sizeof bits);
    std::uint64_t unit_bits = (bits & 0x7ff0000000000000u) - (52ull << 52);
    double unit;
    std::memcpy(&unit, &unit_bits, sizeof unit);
    const double bound = 0.749 * s * unit;
    const double size = residual < 0.0 ? -residual : residual;
    const bool in_range = (e >= 0x1p-960) & (e <= 0x1p960);
    const bool power_of_two = (bits & 0x000fffffffffffffu) == 0;
    root[i] = s;
    settled[i] = in_range & !power_of_two & (size <= bound);
  }
}

WAVEPROB_CLONES std::size_t probabilities(
    double* __restrict out, double* __restrict E, std::uint8_t* __restrict check,
    const double* __restrict S, const double* __restrict d, const double* __restrict c,
    const double* __restrict heights, double width, const double* __restrict likelihood,
    const double* __restrict prior, double lr_last, double pr_last, double factor, std::size_t n) {
  std::size_t flagged = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double energy = local_energy(S[i], d[i], c[i], heights[i] * width);
    E[i] = energy;
    const double s = __builtin_sqrt(energy);
    const double a = __builtin_fabs(d[i]);
    const std::int32_t lr = static_cast<std::int32_t>(a < lr_last ? a : lr_last);  // NaN: last
    const double t = s < 0x1p30 ? s : 0x1p30;                                      // NaN -> 2^30
    const double whole = static_cast<double>(static_cast<std::int32_t>(t));
    const double margin = t * 0x1p-49;
    // Bitwise, not short-circuit: no branches, so the loop vectorises.
    const bool near = (t - whole <= margin) | (whole + 1.0 - t <= margin);
    const std::int32_t pr = static_cast<std::int32_t>(t < pr_last ? t : pr_last);
    const bool flag = near | (s != s) | (a != a);  // a NaN root or coefficient
    check[i] = flag;
    flagged += flag;
    const double q = factor * prior[pr];
    const double r = likelihood[lr] * q;
    out[i] = r / (r + 1.0);
  }
  return flagged;
}

}  // namespace waveprob::columns
