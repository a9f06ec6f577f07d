#include "core/transform.h"

#include <algorithm>
#include <stdexcept>

#include "core/columns.h"
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

namespace {

// The two-pass design, row pass into the outputs, then every column in
// place: exact for any input, the fall-back of the fast paths.
void forward_general(const double* image, double* lowpass, double* hor_detail, double* ver_detail,
                     double* diag_detail, int level, int M, int N) {
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

void inverse_general(double* out, const double* lowpass, const double* hor_detail,
                     const double* ver_detail, const double* diag_detail, int level, int M, int N) {
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

// The non-zero taps of one of the four tables: at most columns::max_taps.
tap_list table_taps(const filter_table& table, int step) {
  const tap_list list = nonzero_taps(table.taps, table.length, step);
  if (list.count > columns::max_taps) throw std::logic_error("filter table with too many taps");
  return list;
}

// A column of n samples with `pad` mirror-extended samples on each side
// (pad <= n), so that filtering it needs no test at the ends:
//
//    x[pad-1] .. x[1] x[0] | x[0] x[1] .. x[n-1] | x[n-1] x[n-2] .. x[n-pad]
class padded_column {
 public:
  padded_column(int n, int pad)
      : n_(n), pad_(pad), values_(static_cast<std::size_t>(n) + 2 * pad) {}
  double* data() { return values_.data() + pad_; }
  void extend() {
    double* x = data();
    for (int p = 0; p < pad_; ++p) {
      x[-1 - p] = x[p];
      x[n_ + p] = x[n_ - 1 - p];
    }
  }

 private:
  int n_;
  int pad_;
  std::vector<double> values_;
};

// Weighted sum of whole columns of a column-major image: the rows of the
// image filtered at column j, every row at once.
columns::taps along_rows(const double* image, const tap_list& list, int j, int M, int N) {
  columns::taps t;
  t.count = list.count;
  for (int k = 0; k < list.count; ++k) {
    t.source[k] = image + at(0, mirror_index(j + list.offset[k], N), M);
    t.weight[k] = list.weight[k];
  }
  return t;
}

// The same filter along one padded column.
columns::taps along_column(const double* column, const tap_list& list) {
  columns::taps t;
  t.count = list.count;
  for (int k = 0; k < list.count; ++k) {
    t.source[k] = column + list.offset[k];
    t.weight[k] = list.weight[k];
  }
  return t;
}

// Filters a padded column into `out` (accumulating if asked).  A column
// holding a NaN or an infinity goes through atrous_filter, which sums every
// position of the dilated filter as the exact result needs.
void filter_into(padded_column& column, int M, const tap_list& list, const filter_table& table,
                 int level, bool accumulate, double* out, std::vector<double>& spare) {
  double* x = column.data();
  if (columns::all_finite(x, M)) {
    column.extend();
    const columns::taps t = along_column(x, list);
    if (accumulate)
      columns::add_weighted_sum(out, t, M);
    else
      columns::weighted_sum(out, t, M);
    return;
  }
  atrous_filter(x, table.taps, spare.data(), level, M, table.length);
  for (int i = 0; i < M; ++i) out[i] = accumulate ? out[i] + spare[i] : spare[i];
}

// Column by column: the two row-filtered columns that column j needs are
// made from whole image columns, then filtered down into the four outputs.
// Only a finite image takes this path (a NaN or an infinity under a zero
// position of the dilated filter changes the result); it returns false as
// soon as it meets a non-finite column, and the caller starts over.
bool forward_fast(const double* image, double* lowpass, double* hor_detail, double* ver_detail,
                  double* diag_detail, int level, int M, int N) {
  const int step = atrous_step(level);
  const tap_list low = table_taps(analysis_lowpass, step);
  const tap_list high = table_taps(analysis_highpass, step);
  padded_column rows_low(M, 2 * step), rows_high(M, 2 * step);
  std::vector<double> spare(M);
  for (int j = 0; j < N; ++j) {
    if (!columns::all_finite(image + at(0, j, M), M)) return false;
    columns::weighted_sum(rows_low.data(), along_rows(image, low, j, M, N), M);
    columns::weighted_sum(rows_high.data(), along_rows(image, high, j, M, N), M);
    const std::size_t c = at(0, j, M);
    filter_into(rows_low, M, low, analysis_lowpass, level, false, lowpass + c, spare);
    filter_into(rows_low, M, high, analysis_highpass, level, false, hor_detail + c, spare);
    filter_into(rows_high, M, low, analysis_lowpass, level, false, ver_detail + c, spare);
    filter_into(rows_high, M, high, analysis_highpass, level, false, diag_detail + c, spare);
  }
  return true;
}

// Column by column, finite bands only, as above.
bool inverse_fast(double* out, const double* lowpass, const double* hor_detail,
                  const double* ver_detail, const double* diag_detail, int level, int M, int N) {
  const int step = atrous_step(level);
  const tap_list low = table_taps(synthesis_lowpass, step);
  const tap_list high = table_taps(synthesis_highpass, step);
  struct band {
    const double* values;
    const tap_list& along_rows;
    const tap_list& along_columns;
    const filter_table& column_table;
  };
  const band bands[4] = {{lowpass, low, low, synthesis_lowpass},
                         {hor_detail, low, high, synthesis_highpass},
                         {ver_detail, high, low, synthesis_lowpass},
                         {diag_detail, high, high, synthesis_highpass}};
  padded_column rows(M, 3 * step);
  std::vector<double> spare(M);
  // Output column j: each band's rows filtered at column j, then that column
  // filtered and added into the output in band order.
  const auto rebuild_column = [&](int j) {
    double* target = out + at(0, j, M);
    for (int b = 0; b < 4; ++b) {
      const band& band = bands[b];
      if (!columns::all_finite(band.values + at(0, j, M), M)) return false;
      columns::weighted_sum(rows.data(), along_rows(band.values, band.along_rows, j, M, N), M);
      filter_into(rows, M, band.along_columns, band.column_table, level, b > 0, target, spare);
    }
    return true;
  };
  // Output columns step apart share their source columns: taking them in
  // that order (every step-th column, from each phase in turn) reads each
  // source column again while it is still in the cache, however wide the
  // dilated filters.  Every column is computed on its own, so the order
  // changes no result.
  for (int phase = 0; phase < std::min(step, N); ++phase) {
    for (int j = phase; j < N; j += step) {
      if (!rebuild_column(j)) return false;
    }
  }
  return true;
}

}  // namespace

void forward_transform(const double* image, double* lowpass, double* hor_detail, double* ver_detail,
                       double* diag_detail, int level, int M, int N) {
  check_size(M, N, forward_min_size(level));
  if (M == 0 || N == 0) return;
  if (level >= 0 && forward_fast(image, lowpass, hor_detail, ver_detail, diag_detail, level, M, N))
    return;
  forward_general(image, lowpass, hor_detail, ver_detail, diag_detail, level, M, N);
}

void inverse_transform(double* out, const double* lowpass, const double* hor_detail,
                       const double* ver_detail, const double* diag_detail, int level, int M,
                       int N) {
  check_size(M, N, inverse_min_size(level));
  if (M == 0 || N == 0) return;
  if (level >= 0 && inverse_fast(out, lowpass, hor_detail, ver_detail, diag_detail, level, M, N))
    return;
  inverse_general(out, lowpass, hor_detail, ver_detail, diag_detail, level, M, N);
}

}  // namespace waveprob
