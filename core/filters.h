// Dilated ("a trous") filtering with mirror extension, and the four spline
// filter tables of the undecimated transform.
#pragma once

namespace waveprob {

// A constant filter: `length` taps, centred on tap (length - 1) / 2.
struct filter_table {
  const double* taps;
  int length;
};

extern const filter_table analysis_lowpass;    // 5 taps
extern const filter_table analysis_highpass;   // 5 taps
extern const filter_table synthesis_lowpass;   // 7 taps
extern const filter_table synthesis_highpass;  // 7 taps

// Index p of the mirror-extended signal of length n, for -n <= p < 2n
// (the picture at atrous_filter below).
inline int mirror_index(int p, int n) { return p < 0 ? -1 - p : (p >= n ? 2 * n - 1 - p : p); }

// The non-zero taps of a table of L taps (L <= 31) at a step, each with the
// offset of the sample it weighs: tap m weighs x[i + step * ((L - 1) / 2 - m)].
struct tap_list {
  int count = 0;
  int offset[31] = {};
  double weight[31] = {};
};
tap_list nonzero_taps(const double* h, int L, int step);

// Distance between neighbouring taps at `level`: 2^level, and 0 for every
// negative level.  Levels of 31 and above have no int step; the result is
// then -1.
int atrous_step(int level);

// Whether `atrous_filter` may run on n samples with a table of `length` taps
// at `level`: the reach of the dilated filter, step * (length - 1) / 2, must
// not exceed n.  Always true for n == 0 and for negative levels.
bool atrous_fits(int level, int n, int length);

// Filters x (n samples, only read) with the taps h (L of them, L odd) spread
// 2^level samples apart, writing n samples to y:
//
//   y[i] = sum over m = 0 .. L-1 of h[m] * xm[i + step * ((L-1)/2 - m)]
//
// accumulated from +0.0 over every position of the dilated filter, the zeros
// between the taps included, so that a NaN or infinity under a zero position
// gives NaN.  xm is x mirrored about its half-sample end points:
//
//        x[1] x[0] | x[0] x[1] ... x[n-2] x[n-1] | x[n-1] x[n-2]
//
// x and y must not overlap.  Throws std::invalid_argument when the call is
// outside atrous_fits() or L is not a positive odd number.
void atrous_filter(const double* x, const double* h, double* y, int level, int n, int L);

}  // namespace waveprob
