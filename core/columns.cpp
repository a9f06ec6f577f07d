#include "core/columns.h"

#include <cstdint>
#include <cstring>

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

// S[i] = sum over the window of value(x), row offset outer, column offset
// inner, from +0.0.  Sixteen sums at a time stay in registers while every
// window offset is added to them; the rest one by one.
template <bool Square>
__attribute__((always_inline)) inline void window_total(double* S, const double* centre,
                                                        std::ptrdiff_t stride, int h,
                                                        std::size_t n) {
  constexpr std::size_t lanes = 16;
  std::size_t first = 0;
  for (; first + lanes <= n; first += lanes) {
    double acc[lanes];
    for (std::size_t i = 0; i < lanes; ++i) acc[i] = 0.0;
    for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
      for (std::ptrdiff_t dm = -h; dm <= h; ++dm) {
        const double* src = centre + first + dl + stride * dm;
        for (std::size_t i = 0; i < lanes; ++i)
          acc[i] = acc[i] + (Square ? src[i] * src[i] : src[i]);
      }
    }
    for (std::size_t i = 0; i < lanes; ++i) S[first + i] = acc[i];
  }
  for (; first < n; ++first) {
    double acc = 0.0;
    const double* at = centre + first;
    for (std::ptrdiff_t dl = -h; dl <= h; ++dl) {
      for (std::ptrdiff_t dm = -h; dm <= h; ++dm) {
        const double v = at[dl + stride * dm];
        acc = acc + (Square ? v * v : v);
      }
    }
    S[first] = acc;
  }
}

}  // namespace

WAVEPROB_CLONES void window_sums(double* S, const double* centre, std::ptrdiff_t stride, int h,
                                 std::size_t n) {
  window_total<false>(S, centre, stride, h, n);
}

WAVEPROB_CLONES void window_square_sums(double* S, const double* centre, std::ptrdiff_t stride,
                                        int h, std::size_t n) {
  window_total<true>(S, centre, stride, h, n);
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

std::size_t ones(const double* x, std::size_t n, std::uint32_t* positions) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    positions[count] = static_cast<std::uint32_t>(i);
    count += x[i] == 1.0;
  }
  return count;
}

WAVEPROB_CLONES void count_ones(const double* __restrict x, std::size_t n,
                                std::uint32_t* __restrict counts) {
  for (std::size_t i = 0; i < n; ++i) counts[i] += x[i] == 1.0 ? 1u : 0u;
}

WAVEPROB_CLONES void local_energies(double* __restrict E, double* __restrict root,
                                    const double* __restrict S, const double* __restrict d,
                                    const double* __restrict c, const double* __restrict heights,
                                    double width, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double energy = ((S[i] - d[i] * d[i]) + c[i] * c[i]) / (heights[i] * width);
    E[i] = energy;
    root[i] = __builtin_sqrt(energy);
  }
}

WAVEPROB_CLONES std::size_t table_indices(std::int32_t* __restrict likelihood,
                                          std::int32_t* __restrict prior,
                                          std::uint8_t* __restrict check,
                                          const double* __restrict d, const double* __restrict root,
                                          double lr_last, double pr_last, std::size_t n) {
  std::size_t flagged = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double a = __builtin_fabs(d[i]);
    likelihood[i] = static_cast<std::int32_t>(a < lr_last ? a : lr_last);  // NaN -> lr_last
    const double s = root[i];
    const double t = s < 0x1p30 ? s : 0x1p30;  // NaN -> 2^30
    const double whole = static_cast<double>(static_cast<std::int32_t>(t));
    const double margin = t * 0x1p-49;
    // Bitwise, not short-circuit: no branches, so the loop vectorises.
    const bool near = (t - whole <= margin) | (whole + 1.0 - t <= margin);
    prior[i] = static_cast<std::int32_t>(t < pr_last ? t : pr_last);
    const bool flag = near | (s != s) | (a != a);  // a NaN root or coefficient
    check[i] = flag;
    flagged += flag;
  }
  return flagged;
}

WAVEPROB_CLONES void odds_to_probability(double* __restrict out, const std::int32_t* __restrict lr,
                                         const std::int32_t* __restrict pr,
                                         const double* __restrict likelihood,
                                         const double* __restrict prior, double factor,
                                         std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double q = factor * prior[pr[i]];
    const double r = likelihood[lr[i]] * q;
    out[i] = r / (r + 1.0);
  }
}

}  // namespace waveprob::columns
