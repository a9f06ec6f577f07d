// Literal reference implementations, written the plain way: a 3n mirror
// buffer and every position of the dilated filter, int conversions where the
// values fit, row-by-row loops.  The production code is compared with them
// bit for bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace reference {

using image = std::vector<double>;  // column-major

inline void atrous_filter(const double* x, const double* h, double* y, int level, int n, int L) {
  const int step = static_cast<int>(std::pow(2.0, level));
  const int half = (L - 1) / 2;
  const int off = step * half;
  const int nd = step * (L - 1) + 1;
  std::vector<double> e(3 * static_cast<std::size_t>(n));
  for (int p = 0; p < n; ++p) {
    e[n + p] = x[p];
    e[3 * n - 1 - p] = x[p];
    e[n - 1 - p] = x[p];
  }
  std::vector<double> d(nd, 0.0);
  for (int m = 0; m < L; ++m) d[step * m] = h[m];
  for (int i = 0; i < n; ++i) {
    const int count = std::min(nd, n + i + off + 1);
    y[i] = 0;
    for (int k = 0; k < count; ++k) y[i] = y[i] + d[k] * e[n + i + off - k];
  }
}

// rows[i][j]: a row-wise copy, as the plain design keeps it.
using rows_t = std::vector<std::vector<double>>;

inline rows_t load(const image& a, int M, int N) {
  rows_t r(M, std::vector<double>(N));
  for (int j = 0; j < N; ++j)
    for (int i = 0; i < M; ++i) r[i][j] = a[i + static_cast<std::size_t>(M) * j];
  return r;
}

inline void filter_columns(image& band, const double* taps, int L, int level, int M, int N) {
  std::vector<double> in(M), out(M);
  for (int j = 0; j < N; ++j) {
    for (int i = 0; i < M; ++i) in[i] = band[i + static_cast<std::size_t>(M) * j];
    atrous_filter(in.data(), taps, out.data(), level, M, L);
    for (int i = 0; i < M; ++i) band[i + static_cast<std::size_t>(M) * j] = out[i];
  }
}

const double alp[5] = {0.125, 0.375, 0.375, 0.125, 0};
const double ahp[5] = {0, 0.5, -0.5, 0, 0};
const double slp[7] = {0, 0, 0.125, 0.375, 0.375, 0.125, 0};
const double shp[7] = {0, -0.03125, -0.21875, -0.6875, 0.6875, 0.21875, 0.03125};

// Returns LOWPASS, HOR_DETAIL, VER_DETAIL, DIAG_DETAIL.
inline std::vector<image> forward_transform(const image& x, int level, int M, int N) {
  const rows_t r = load(x, M, N);
  std::vector<image> out(4, image(static_cast<std::size_t>(M) * N));
  std::vector<double> row_out(N);
  for (int i = 0; i < M; ++i) {
    atrous_filter(r[i].data(), ahp, row_out.data(), level, N, 5);
    for (int j = 0; j < N; ++j)
      out[2][i + static_cast<std::size_t>(M) * j] = out[3][i + static_cast<std::size_t>(M) * j] =
          row_out[j];
    atrous_filter(r[i].data(), alp, row_out.data(), level, N, 5);
    for (int j = 0; j < N; ++j)
      out[1][i + static_cast<std::size_t>(M) * j] = out[0][i + static_cast<std::size_t>(M) * j] =
          row_out[j];
  }
  filter_columns(out[0], alp, 5, level, M, N);
  filter_columns(out[1], ahp, 5, level, M, N);
  filter_columns(out[2], alp, 5, level, M, N);
  filter_columns(out[3], ahp, 5, level, M, N);
  return out;
}

inline image inverse_transform(const std::vector<image>& bands, int level, int M, int N) {
  const double* row_table[4] = {slp, slp, shp, shp};
  const double* column_table[4] = {slp, shp, slp, shp};
  std::vector<rows_t> b;
  for (int k = 0; k < 4; ++k) b.push_back(load(bands[k], M, N));
  std::vector<double> out_row(N);
  for (int i = 0; i < M; ++i)
    for (int k = 0; k < 4; ++k) {
      atrous_filter(b[k][i].data(), row_table[k], out_row.data(), level, N, 7);
      b[k][i] = out_row;
    }
  std::vector<double> in_col(M), out_col(M);
  for (int j = 0; j < N; ++j)
    for (int k = 0; k < 4; ++k) {
      for (int i = 0; i < M; ++i) in_col[i] = b[k][i][j];
      atrous_filter(in_col.data(), column_table[k], out_col.data(), level, M, 7);
      for (int i = 0; i < M; ++i) b[k][i][j] = out_col[i];
    }
  image out(static_cast<std::size_t>(M) * N);
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j)
      out[i + static_cast<std::size_t>(M) * j] =
          ((b[0][i][j] + b[1][i][j]) + b[2][i][j]) + b[3][i][j];
  return out;
}

// |trunc(x)| through an int where it fits; beyond, the saturated value.
inline double integer_magnitude(double x) {
  if (x > -2147483648.0 && x < 2147483648.0) {
    const int t = static_cast<int>(x);
    return static_cast<double>(std::abs(t));
  }
  return std::fabs(std::trunc(x));
}

inline image threshold_mask(const image& x, int M, int N, double threshold) {
  const rows_t r = load(x, M, N);
  image out(static_cast<std::size_t>(M) * N);
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) {
      double v = 0.0;
      if (!std::isnan(r[i][j])) v = threshold > integer_magnitude(r[i][j]) ? 0.0 : 1.0;
      out[i + static_cast<std::size_t>(M) * j] = v;
    }
  return out;
}

inline std::vector<double> selected_magnitudes(const image& sector, const image& detail, int M,
                                               int N) {
  const rows_t s = load(sector, M, N), d = load(detail, M, N);
  std::vector<double> out;
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j)
      if (s[i][j] == 1.0) out.push_back(d[i][j] < 0 ? -d[i][j] : d[i][j]);
  return out;
}

inline std::vector<double> selected_neighbourhood_energy(const image& sector, const image& detail,
                                                         const image& coarser, int h, int M,
                                                         int N) {
  const rows_t s = load(sector, M, N), d = load(detail, M, N), c = load(coarser, M, N);
  int count = 0;
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j)
      if (s[i][j] == 1.0) ++count;
  std::vector<double> out(count, 0.0);
  const double area = static_cast<double>((2 * h + 1) * (2 * h + 1) - 1) + 1.0;
  int k = 0;
  for (int i = h; i < M - h; ++i)
    for (int j = h; j < N - h; ++j) {
      if (!(s[i][j] == 1.0)) continue;
      double S = +0.0;
      for (int l = i - h; l <= i + h; ++l)
        for (int m = j - h; m <= j + h; ++m) S = S + d[l][m] * d[l][m];
      const double a = d[i][j], b = c[i][j];
      double T = S - a * a;
      T = T + b * b;
      const double E = T / area;
      out[k++] = std::pow(E, 0.5);
    }
  return out;
}

inline image significance_probability(const image& detail, const image& coarser, int M, int N,
                                      const std::vector<double>& LR, const std::vector<double>& PR,
                                      double f, int h) {
  const rows_t D = load(detail, M, N), Dc = load(coarser, M, N);
  const int nLR = static_cast<int>(LR.size()), nPR = static_cast<int>(PR.size());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  image out(static_cast<std::size_t>(M) * N);
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) {
      double& prob = out[i + static_cast<std::size_t>(M) * j];
      if (std::isnan(D[i][j])) {
        prob = nan;
        continue;
      }
      const double mag = integer_magnitude(D[i][j]);
      int a = mag > nLR - 1 ? nLR - 1 : static_cast<int>(mag);
      const double lambda = LR[a];
      const int u = i < M - h ? h : M - 1 - i;
      const int v = j < N - h ? h : N - 1 - j;
      double S = 0.0;
      for (int k = i - std::min(i, h); k <= i + u; ++k)
        for (int l = j - std::min(j, h); l <= j + v; ++l) S = S + D[k][l] * D[k][l];
      const int W = (u + std::min(i, h) + 1) * (v + std::min(j, h) + 1);
      const double E = ((S - D[i][j] * D[i][j]) + Dc[i][j] * Dc[i][j]) / W;
      const double e = std::pow(E, 0.5);
      if (std::isnan(e)) {
        prob = nan;
        continue;
      }
      const int b = e > nPR - 1 ? nPR - 1 : static_cast<int>(e);
      const double q = f * PR[b];
      const double r = lambda * q;
      prob = r / (r + 1.0);
    }
  return out;
}

}  // namespace reference
