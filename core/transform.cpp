#include "core/transform.h"

#include <stdexcept>

#include "core/filters.h"

namespace waveprob {
namespace {

std::size_t at(int i, int j, int M) {
  return static_cast<std::size_t>(i) + static_cast<std::size_t>(M) * j;
}

long long min_size(int level, int reach) {
  if (level < 0) return 1;
  if (level >= 31) return -1;
  const long long size = static_cast<long long>(reach) << level;
  return size > 2147483647LL ? -1 : size;
}

void check_size(int M, int N, long long minimum) {
  if (M < 0 || N < 0) throw std::invalid_argument("transform: negative dimension");
  if (M == 0 || N == 0) return;
  if (minimum < 0 || M < minimum || N < minimum)
    throw std::invalid_argument("transform: image too small for the level");
}

// Filters column j of a column-major band in place, through `scratch`.
void filter_column(double* band, int j, int M, const filter_table& table, int level,
                   double* scratch) {
  double* column = band + at(0, j, M);
  atrous_filter(column, table.taps, scratch, level, M, table.length);
  for (int i = 0; i < M; ++i) column[i] = scratch[i];
}

}  // namespace

row_matrix::row_matrix(int rows, int cols)
    : rows_(rows), cols_(cols), values_(static_cast<std::size_t>(rows) * cols) {}

row_matrix row_matrix_load(const double* image, int M, int N) {
  row_matrix m(M, N);
  for (int j = 0; j < N; ++j)
    for (int i = 0; i < M; ++i) m.row(i)[j] = image[at(i, j, M)];
  return m;
}

long long forward_min_size(int level) { return min_size(level, 2); }
long long inverse_min_size(int level) { return min_size(level, 3); }

void forward_transform(const double* image, double* lowpass, double* hor_detail, double* ver_detail,
                       double* diag_detail, int level, int M, int N) {
  check_size(M, N, forward_min_size(level));
  if (M == 0 || N == 0) return;
  const row_matrix rows = row_matrix_load(image, M, N);
  std::vector<double> row_out(N);
  for (int i = 0; i < M; ++i) {
    atrous_filter(rows.row(i), analysis_highpass.taps, row_out.data(), level, N, 5);
    for (int j = 0; j < N; ++j) ver_detail[at(i, j, M)] = diag_detail[at(i, j, M)] = row_out[j];
    atrous_filter(rows.row(i), analysis_lowpass.taps, row_out.data(), level, N, 5);
    for (int j = 0; j < N; ++j) lowpass[at(i, j, M)] = hor_detail[at(i, j, M)] = row_out[j];
  }
  std::vector<double> column_out(M);
  for (int j = 0; j < N; ++j) {
    filter_column(lowpass, j, M, analysis_lowpass, level, column_out.data());
    filter_column(hor_detail, j, M, analysis_highpass, level, column_out.data());
    filter_column(ver_detail, j, M, analysis_lowpass, level, column_out.data());
    filter_column(diag_detail, j, M, analysis_highpass, level, column_out.data());
  }
}

void inverse_transform(double* out, const double* lowpass, const double* hor_detail,
                       const double* ver_detail, const double* diag_detail, int level, int M,
                       int N) {
  check_size(M, N, inverse_min_size(level));
  if (M == 0 || N == 0) return;
  struct band {
    const double* values;
    const filter_table& along_rows;
    const filter_table& along_columns;
  };
  const band bands[4] = {{lowpass, synthesis_lowpass, synthesis_lowpass},
                         {hor_detail, synthesis_lowpass, synthesis_highpass},
                         {ver_detail, synthesis_highpass, synthesis_lowpass},
                         {diag_detail, synthesis_highpass, synthesis_highpass}};
  // One band at a time: filter its rows into `filtered`, then each column,
  // and add it to the output in band order.
  std::vector<double> filtered(static_cast<std::size_t>(M) * N);
  std::vector<double> row_in(N), row_out(N), column_out(M);
  for (int b = 0; b < 4; ++b) {
    const band& band = bands[b];
    for (int i = 0; i < M; ++i) {
      for (int j = 0; j < N; ++j) row_in[j] = band.values[at(i, j, M)];
      atrous_filter(row_in.data(), band.along_rows.taps, row_out.data(), level, N, 7);
      for (int j = 0; j < N; ++j) filtered[at(i, j, M)] = row_out[j];
    }
    for (int j = 0; j < N; ++j) {
      atrous_filter(filtered.data() + at(0, j, M), band.along_columns.taps, column_out.data(),
                    level, M, 7);
      double* target = out + at(0, j, M);
      if (b == 0) {
        for (int i = 0; i < M; ++i) target[i] = column_out[i];
      } else {
        for (int i = 0; i < M; ++i) target[i] = target[i] + column_out[i];
      }
    }
  }
}

}  // namespace waveprob
