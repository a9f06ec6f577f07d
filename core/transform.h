// One level of the undecimated two-dimensional spline wavelet transform and
// its inverse.  Images are M x N, stored column by column (element (i, j) at
// i + M * j), as the host stores them.
#pragma once

#include <cstddef>
#include <vector>

namespace waveprob {

// The working form of an image: M rows of N doubles, each row contiguous.
class row_matrix {
 public:
  row_matrix(int rows, int cols);
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  double* row(int i) { return values_.data() + static_cast<std::size_t>(i) * cols_; }
  const double* row(int i) const { return values_.data() + static_cast<std::size_t>(i) * cols_; }

 private:
  int rows_;
  int cols_;
  std::vector<double> values_;
};

// Copies a column-major M x N image into a row_matrix.
row_matrix row_matrix_load(const double* image, int M, int N);

// Smallest number of rows and of columns that a non-empty image needs at
// `level`: 2 * 2^level for the forward transform, 3 * 2^level for the
// inverse; 1 for negative levels.  Returns -1 where that exceeds the int range.
long long forward_min_size(int level);
long long inverse_min_size(int level);

// The four bands of `image` at `level`: rows filtered first, then columns.
//   LOWPASS     lowpass along rows,  lowpass along columns
//   HOR_DETAIL  lowpass along rows,  highpass along columns
//   VER_DETAIL  highpass along rows, lowpass along columns
//   DIAG_DETAIL highpass along rows, highpass along columns
// Every output is M x N and wholly written.  Throws std::invalid_argument for
// a non-empty image smaller than forward_min_size(level).
void forward_transform(const double* image, double* lowpass, double* hor_detail, double* ver_detail,
                       double* diag_detail, int level, int M, int N);

// Rebuilds an image from the four bands of one level:
//   out = ((L' + H') + V') + D'
// where each band' is the band filtered along rows and then along columns with
// the synthesis partners of the filters that made it.  Throws
// std::invalid_argument for a non-empty image smaller than inverse_min_size.
void inverse_transform(double* out, const double* lowpass, const double* hor_detail,
                       const double* ver_detail, const double* diag_detail, int level, int M,
                       int N);

}  // namespace waveprob
