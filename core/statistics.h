// Per-coefficient statistics of detail bands.  Images are M x N, stored
// column by column (element (i, j) at i + M * j).  The list outputs run over
// positions row by row: row i outer, column j inner.
#pragma once

#include <cstddef>

namespace waveprob {

// A class map selects exactly the positions that hold 1.0.
inline bool is_selected(double value) { return value == 1.0; }

// Number of selected entries among the first `count` values of a class map.
std::size_t count_selected(const double* sector, std::size_t count);

// out = 1.0 where the integer magnitude |trunc(x)| reaches the threshold
// (threshold > magnitude gives 0.0).  Magnitudes beyond the int range keep
// their exact value (an infinity stays infinite); a NaN coefficient gives 0.0.
void threshold_mask(const double* input, double* output, int M, int N, double threshold);

// The magnitudes of the selected DETAIL entries, row by row: one value per
// selected position (count_selected of the M * N map) written to out.
// The magnitude of x is -x where x < 0, else x (-0.0 stays -0.0).
void selected_magnitudes(double* out, const double* sector, const double* detail, int M, int N);

// The neighbourhood energy of every selected position whose (2h+1)^2 window
// lies inside the image, row by row, written from out[0] on:
//   pow(((S - a*a) + b*b) / (2h+1)^2, 0.5)
// with S the sum of the squares of DETAIL over the window (row by row),
// a = DETAIL and b = DETAIL_COARSER at the centre.  out holds `count`
// values, count_selected of the map: the selected border positions leave
// zeros at its end.  Throws std::invalid_argument for h < 0.
void selected_neighbourhood_energy(double* out, std::size_t count, const double* sector,
                                   const double* detail, const double* coarser, int h, int M,
                                   int N);

// PROB = r / (r + 1) for every coefficient, with
//   r = LR[a] * (f * PR[b]),
//   a = |trunc(DETAIL)|, clamped to nLR - 1,
//   b = trunc(pow(((S - d*d) + c*c) / W, 0.5)), clamped to nPR - 1,
// where S sums DETAIL^2 over the window of half size h clipped at the
// borders, W is the number of coefficients in it, d = DETAIL and
// c = DETAIL_COARSER at the centre.  A NaN coefficient or a NaN energy gives
// NaN and reads no table.  Throws std::invalid_argument for h < 0 or for an
// empty table with a non-empty image.
void significance_probability(const double* detail, const double* coarser, double* out, int M,
                              int N, const double* likelihood, const double* prior, std::size_t nLR,
                              std::size_t nPR, double prior_factor, int h);

}  // namespace waveprob
