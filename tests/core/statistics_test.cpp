#include "core/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "core/columns.h"
#include "reference.h"
#include "testing.h"

using namespace waveprob;
using testing_support::same_bits;

namespace {

using image = std::vector<double>;
const double inf = std::numeric_limits<double>::infinity();
const double not_a_number = std::numeric_limits<double>::quiet_NaN();

image mask(const image& x, int M, int N, double threshold) {
  image out(x.size(), 7.0);
  threshold_mask(x.data(), out.data(), M, N, threshold);
  return out;
}

image magnitudes(const image& sector, const image& detail, int M, int N) {
  image out(count_selected(sector.data(), static_cast<std::size_t>(M) * N), 7.0);
  selected_magnitudes(out.data(), sector.data(), detail.data(), M, N);
  return out;
}

// The output starts with garbage: the kernel writes every entry, the
// trailing zeros included.
image energies(const image& sector, const image& detail, const image& coarser, int h, int M,
               int N) {
  image out(count_selected(sector.data(), static_cast<std::size_t>(M) * N), 7.0);
  selected_neighbourhood_energy(out.data(), out.size(), sector.data(), detail.data(),
                                coarser.data(), h, M, N);
  return out;
}

image probability(const image& detail, const image& coarser, int M, int N, const image& lr,
                  const image& pr, double f, int h) {
  image out(detail.size(), 7.0);
  significance_probability(detail.data(), coarser.data(), out.data(), M, N, lr.data(), pr.data(),
                           lr.size(), pr.size(), f, h);
  return out;
}

// A selector map with 1.0 where `keep` says so and decoys elsewhere.
// A class map selecting about `share` of the positions, decoys elsewhere.
image sector_from(testing_support::value_source& s, std::size_t n, double share = 2.0 / 3.0) {
  const double decoys[] = {0.0, 0.999, 2.0, -1.0, not_a_number, inf, std::nextafter(1.0, 2.0)};
  image m(n);
  for (double& v : m) v = s.uniform(0.0, 1.0) < share ? 1.0 : decoys[s.integer(0, 6)];
  return m;
}

}  // namespace

TEST(ThresholdMask, TruncatesBeforeComparing) {
  struct mask_case {
    image x;
    double threshold;
    image want;
  };
  const mask_case cases[] = {
      {{2.7, 0.4, -2.7, -3.0}, 2.0, {1, 0, 1, 1}},  // [2.7 -2.7; 0.4 -3.0]
      {{2.9, 3.0, -3.5}, 2.5, {0, 1, 1}},
      {{0.4, -0.4, 0.0, -0.0}, 0.0, {1, 1, 1, 1}},
      {{5.0, -1e9, 0.0}, inf, {0, 0, 0}},
      {{5.0, -1e9, 0.0}, -inf, {1, 1, 1}},
      {{5.0, -1e9, 0.0}, not_a_number, {1, 1, 1}},
      // Beyond the int range the magnitude saturates to its exact value; a
      // NaN coefficient is never marked.
      {{3e9, -inf, inf, not_a_number, not_a_number}, 2.5e9, {1, 1, 1, 0, 0}},
      {{-2147483648.5, 2147483647.9}, 2147483648.0, {1, 0}},
      {{inf, not_a_number}, inf, {1, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(same_bits(c.want, mask(c.x, 1, static_cast<int>(c.x.size()), c.threshold)))
        << "threshold " << c.threshold;
  }
}

TEST(SelectedMagnitudes, RowByRowOrderAndExactSelection) {
  // SECTOR_BIN = [1 1; 1 0], DETAIL = [-1 2; 3 -4], column-major.
  EXPECT_TRUE(same_bits({1, 2, 3}, magnitudes({1, 1, 1, 0}, {-1, 3, 2, -4}, 2, 2)));
  const image sector = {
      0.999, 1.0, 2.0, 1.0, not_a_number, 1.0, inf, -1.0, std::nextafter(1.0, 2.0), 1.0};
  const image detail = {9, -0.0, 9, not_a_number, 9, -inf, 9, 9, 9, -2.5};
  EXPECT_TRUE(same_bits({-0.0, not_a_number, inf, 2.5}, magnitudes(sector, detail, 1, 10)));
  EXPECT_TRUE(magnitudes(image(6, 0.0), image(6, 1.0), 2, 3).empty());
}

TEST(SelectedNeighbourhoodEnergy, CentreTakesTheCoarserValue) {
  image sector(9, 0.0);
  sector[4] = 1.0;
  EXPECT_TRUE(same_bits({std::pow(12.0 / 9.0, 0.5)},
                        energies(sector, image(9, 1.0), image(9, 2.0), 1, 3, 3)));
}

TEST(SelectedNeighbourhoodEnergy, RowOrderWithTrailingZeroForBorderPositions) {
  const int M = 5, N = 5;
  testing_support::value_source s(5);
  const image detail = s.values(25, 0.0), coarser = s.values(25, 0.0);
  image sector(25, 0.0);
  sector[0 + 5 * 0] = sector[1 + 5 * 3] = sector[2 + 5 * 2] = 1.0;
  const image got = energies(sector, detail, coarser, 1, M, N);
  const image want = reference::selected_neighbourhood_energy(sector, detail, coarser, 1, M, N);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(same_bits(want, got));
  EXPECT_EQ(got[2], 0.0);
  EXPECT_NE(got[0], 0.0);
  // (1, 3) comes before (2, 2) in row order.
  sector[2 + 5 * 2] = 0.0;
  EXPECT_EQ(energies(sector, detail, coarser, 1, M, N)[0], got[0]);
}

TEST(SelectedNeighbourhoodEnergy, WindowLargerThanTheImageLeavesZeros) {
  EXPECT_TRUE(
      same_bits(image(16, 0.0), energies(image(16, 1.0), image(16, 3.0), image(16, 3.0), 2, 4, 4)));
  // A half size whose window area overflows an int: no interior position.
  EXPECT_TRUE(
      same_bits({0.0, 0.0}, energies({1.0, 1.0}, {3.0, 3.0}, {3.0, 3.0}, 2147483647, 1, 2)));
  EXPECT_THROW(energies({1.0}, {1.0}, {1.0}, -1, 1, 1), std::invalid_argument);
}

// pow(x, 0.5) and sqrt(x) differ by one unit in the last place for some x;
// the energy must be the power function's.
TEST(SelectedNeighbourhoodEnergy, UsesThePowerFunctionNotTheSquareRoot) {
  testing_support::value_source s(3);
  volatile double half = 0.5;  // keeps the compiler from folding pow into sqrt here
  for (int attempt = 0; attempt < 100000; ++attempt) {
    const image detail = s.values(9, 0.0), coarser = s.values(9, 0.0);
    double sum = 0.0;  // row by row over the column-major 3 x 3 window
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) sum = sum + detail[i + 3 * j] * detail[i + 3 * j];
    const double energy = ((sum - detail[4] * detail[4]) + coarser[4] * coarser[4]) / 9.0;
    if (std::pow(energy, half) == std::sqrt(energy)) continue;
    image sector(9, 0.0);
    sector[4] = 1.0;
    const image got = energies(sector, detail, coarser, 1, 3, 3);
    EXPECT_TRUE(same_bits({std::pow(energy, half)}, got));
    EXPECT_NE(got[0], std::sqrt(energy));
    return;
  }
  FAIL() << "no window found where pow and sqrt differ";
}

TEST(SignificanceProbability, WorkedExample) {
  // DETAIL = [3 4; 0 0], DETAIL_COARSER = [2 0; 0 0], column-major.
  const image got =
      probability({3, 0, 4, 0}, {2, 0, 0, 0}, 2, 2, {1, 2, 4, 8}, {0.5, 1, 2}, 0.5, 1);
  EXPECT_TRUE(same_bits({8.0 / 9.0, 0.5, 0.8, 0.5}, got));
  EXPECT_TRUE(
      same_bits({8.0 / 9.0}, probability({3.0}, {-2.5}, 1, 1, {1, 2, 4, 8}, {0.5, 1, 2}, 0.5, 0)));
}

TEST(SignificanceProbability, ClampsIndicesAtTheTopForEveryMagnitude) {
  const image lr = {1, 2, 4}, pr = {0.5, 1, 3};
  // Each against the reference, which clamps the same way.
  const image details = {-7.6, 3e9, inf, not_a_number, 1.0, 1.0, -2147483648.0};
  const image coarsers = {0.5, 0.0, 0.0, 1.0, inf, 1e300, 0.0};
  for (std::size_t k = 0; k < details.size(); ++k) {
    const image got = probability({details[k]}, {coarsers[k]}, 1, 1, lr, pr, 1.0, 0);
    const image want =
        reference::significance_probability({details[k]}, {coarsers[k]}, 1, 1, lr, pr, 1.0, 0);
    EXPECT_TRUE(same_bits(want, got)) << details[k] << ", " << coarsers[k];
  }
  // Magnitude 7 uses the last likelihood entry, an energy below 1 PR[0].
  EXPECT_EQ(probability({-7.6}, {0.5}, 1, 1, lr, pr, 1.0, 0)[0], 2.0 / 3.0);
  // An infinite energy uses the last prior entry; an infinite coefficient
  // gives inf - inf in its energy, hence NaN.
  EXPECT_EQ(probability({1.0}, {inf}, 1, 1, lr, pr, 1.0, 0)[0], 6.0 / 7.0);
  EXPECT_TRUE(std::isnan(probability({inf}, {0.0}, 1, 1, lr, pr, 1.0, 0)[0]));
  // A 2^31 magnitude with a finite energy uses the last likelihood entry.
  const image big = probability({2147483648.0, 1.0}, {0.0, 0.0}, 1, 2, lr, pr, 1.0, 0);
  EXPECT_EQ(big[0], (4.0 * 0.5) / (4.0 * 0.5 + 1.0));
}

TEST(SignificanceProbability, BorderWindowSizes) {
  // With DETAIL zero and DETAIL_COARSER = 6, E = 36 / W: W is 4 at the
  // corners, 6 along the borders and 9 inside a 3 x 4 image (h = 1).
  const int M = 3, N = 4;
  image pr(40);
  for (std::size_t k = 0; k < pr.size(); ++k) pr[k] = static_cast<double>(k);
  const image got = probability(image(12, 0.0), image(12, 6.0), M, N, {1.0}, pr, 1.0, 1);
  auto prob_for = [](double r) { return r / (r + 1.0); };
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) {
      const int rows = (i > 0) + (i < M - 1) + 1, cols = (j > 0) + (j < N - 1) + 1;
      const double e = std::trunc(std::pow(36.0 / (rows * cols), 0.5));
      EXPECT_EQ(got[i + M * j], prob_for(e)) << i << "," << j;
    }
}

TEST(SignificanceProbability, RejectsEmptyTablesAndNegativeHalfSizes) {
  image out(1);
  const double one = 1.0;
  EXPECT_THROW(significance_probability(&one, &one, out.data(), 1, 1, &one, &one, 0, 1, 1.0, 0),
               std::invalid_argument);
  EXPECT_THROW(significance_probability(&one, &one, out.data(), 1, 1, &one, &one, 1, 1, 1.0, -1),
               std::invalid_argument);
  EXPECT_NO_THROW(
      significance_probability(nullptr, nullptr, nullptr, 0, 3, nullptr, nullptr, 0, 0, 1.0, 0));
}

TEST(Statistics, MatchTheLiteralDesignBitForBit) {
  testing_support::value_source s(42);
  for (int trial = 0; trial < 400; ++trial) {
    const int M = s.integer(0, 9), N = s.integer(0, 9);
    const std::size_t n = static_cast<std::size_t>(M) * N;
    const double special = trial % 2 ? 0.1 : 0.0;
    const image detail = s.values(n, special), coarser = s.values(n, special);
    const image sector = sector_from(s, n);
    const int h = s.integer(0, 4);
    const double threshold = trial % 5 == 0 ? not_a_number : s.uniform(-5, 60);
    ASSERT_TRUE(same_bits(reference::threshold_mask(detail, M, N, threshold),
                          mask(detail, M, N, threshold)))
        << "trial " << trial;
    ASSERT_TRUE(same_bits(reference::selected_magnitudes(sector, detail, M, N),
                          magnitudes(sector, detail, M, N)))
        << "trial " << trial;
    ASSERT_TRUE(
        same_bits(reference::selected_neighbourhood_energy(sector, detail, coarser, h, M, N),
                  energies(sector, detail, coarser, h, M, N)))
        << "trial " << trial;
    image lr = s.values(s.integer(1, 40), 0.0), pr = s.values(s.integer(1, 40), 0.0);
    const double f = trial % 7 == 0 ? not_a_number : s.uniform(-2, 2);
    ASSERT_TRUE(same_bits(reference::significance_probability(detail, coarser, M, N, lr, pr, f, h),
                          probability(detail, coarser, M, N, lr, pr, f, h)))
        << "trial " << trial;
  }
}

// Larger images than above: the vectorised window sums run in blocks, the
// clipped windows come from a zero-padded copy, large half sizes take the
// direct sums; small whole numbers make energies land on perfect squares,
// where the square root and the power function may truncate differently.
TEST(Statistics, MatchTheLiteralDesignOnLargerImages) {
  testing_support::value_source s(77);
  struct size_case {
    int M, N, h;
  };
  // Lists run in strips of 512 rows and the probabilities in blocks of 256:
  // taller images cross those seams.  Images of more than 2^20 positions
  // read ahead of the work.
  for (const size_case c :
       {size_case{300, 7, 1}, size_case{9, 290, 2}, size_case{257, 33, 3}, size_case{40, 41, 0},
        size_case{12, 15, 40}, size_case{31, 3, 2}, size_case{1100, 9, 2}, size_case{1030, 5, 1},
        size_case{1030, 1030, 2}}) {
    const std::size_t n = static_cast<std::size_t>(c.M) * c.N;
    for (int variant = 0; variant < 3; ++variant) {
      image detail, coarser;
      if (variant == 2) {
        for (std::size_t k = 0; k < n; ++k) {
          detail.push_back(s.integer(-3, 3));
          coarser.push_back(s.integer(-4, 4));
        }
      } else {
        detail = s.values(n, variant ? 0.02 : 0.0);
        coarser = s.values(n, variant ? 0.02 : 0.0);
      }
      // Dense and sparse selections take different paths in the energies;
      // the first variant mixes both down each column.
      image sector = sector_from(s, n, variant == 1 ? 0.05 : 2.0 / 3.0);
      if (variant == 0)
        for (std::size_t k = 0; k < n; ++k)
          if (k % c.M % 200 < 100 && sector[k] == 1.0)
            sector[k] = s.uniform(0, 1) < 0.9 ? 0.0 : 1.0;
      image pr(30);
      for (std::size_t k = 0; k < pr.size(); ++k) pr[k] = 1.0 + static_cast<double>(k);
      const image lr = s.values(25, 0.0);
      const auto where = [&] {
        return ::testing::Message()
               << c.M << " x " << c.N << ", h " << c.h << ", variant " << variant;
      };
      ASSERT_TRUE(same_bits(
          reference::selected_neighbourhood_energy(sector, detail, coarser, c.h, c.M, c.N),
          energies(sector, detail, coarser, c.h, c.M, c.N)))
          << where();
      ASSERT_TRUE(same_bits(
          reference::significance_probability(detail, coarser, c.M, c.N, lr, pr, 0.7, c.h),
          probability(detail, coarser, c.M, c.N, lr, pr, 0.7, c.h)))
          << where();
      ASSERT_TRUE(same_bits(reference::selected_magnitudes(sector, detail, c.M, c.N),
                            magnitudes(sector, detail, c.M, c.N)))
          << where();
      ASSERT_TRUE(
          same_bits(reference::threshold_mask(detail, c.M, c.N, 2.5), mask(detail, c.M, c.N, 2.5)))
          << where();
    }
  }
}

// The probability kernel takes the prior index from the square root where
// the power function cannot truncate differently: that rests on the two
// never being more than one unit in the last place apart.
TEST(SignificanceProbability, PowerFunctionStaysWithinOneUlpOfTheSquareRoot) {
  testing_support::value_source s(11);
  volatile double half = 0.5;
  for (int k = 0; k < 200000; ++k) {
    const double x =
        k % 2 ? s.uniform(0.0, 1e6) : std::ldexp(s.uniform(1.0, 2.0), s.integer(-1000, 1000));
    const auto p = static_cast<std::int64_t>(testing_support::bits(std::pow(x, half)));
    const auto r = static_cast<std::int64_t>(testing_support::bits(std::sqrt(x)));
    ASSERT_LE(std::abs(p - r), 1) << x;
  }
}

// The magnitude lists are filled four columns at a time with vector code
// where the processor has it: the same bits as the portable loop, for every
// pattern of selections, signed zeros, NaN and infinities included, rows
// beyond a multiple of four and columns left over after the blocks of four.
TEST(SelectedMagnitudes, VectorBlocksMatchThePortableLoop) {
  testing_support::value_source s(9);
  for (const std::size_t rows : {std::size_t{1}, std::size_t{4}, std::size_t{7}, std::size_t{64}}) {
    for (const std::ptrdiff_t cols : {1, 4, 7, 12}) {
      const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(rows) + 3;
      const std::size_t n = static_cast<std::size_t>(cols * stride);
      const image map = sector_from(s, n, 0.5);
      const image x = s.values(n, 0.2);
      const std::size_t list_stride = 3 * static_cast<std::size_t>(cols) + 8;
      image vector_lists(rows * list_stride, 7.0), portable_lists(rows * list_stride, 7.0);
      std::vector<std::size_t> vector_filled(rows), portable_filled(rows);
      for (std::size_t r = 0; r < rows; ++r) vector_filled[r] = portable_filled[r] = r % 3;
      for (int round = 0; round < 2; ++round) {  // the lists grow across calls
        columns::append_selected_magnitudes(vector_lists.data(), list_stride, vector_filled.data(),
                                            map.data(), x.data(), stride, rows, cols);
        columns::append_selected_magnitudes_portable(portable_lists.data(), list_stride,
                                                     portable_filled.data(), map.data(), x.data(),
                                                     stride, rows, cols);
      }
      ASSERT_EQ(vector_filled, portable_filled);
      for (std::size_t r = 0; r < rows; ++r) {
        const auto first = static_cast<std::ptrdiff_t>(r * list_stride);
        const auto end = first + static_cast<std::ptrdiff_t>(portable_filled[r]);
        EXPECT_TRUE(same_bits(image(vector_lists.begin() + first, vector_lists.begin() + end),
                              image(portable_lists.begin() + first, portable_lists.begin() + end)))
            << rows << " rows, " << cols << " columns, row " << r;
      }
    }
  }
}

// The energies take the correctly rounded square root in place of the power
// function where the exact root lies within 3/8 of a unit of it: there the
// two must agree.  Roots near that limit, near powers of two, and of every
// size, tiny and huge energies included.
TEST(SelectedNeighbourhoodEnergy, SettledSquareRootsEqualThePowerFunction) {
  testing_support::value_source s(5);
  constexpr std::size_t n = 1 << 20;
  std::vector<double> E(n), roots(n);
  std::vector<std::uint8_t> settled(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double root = std::ldexp(s.uniform(1.0, 2.0), s.integer(-520, 520));
    const double unit = std::ldexp(1.0, std::ilogb(root) - 52);
    switch (k % 4) {
      case 0:  // anywhere
        E[k] = std::ldexp(s.uniform(1.0, 4.0), s.integer(-1074, 1023));
        break;
      case 1:  // about 3/8 of a unit off: near the limit
        E[k] = root * (root + s.uniform(-0.76, 0.76) * unit);
        break;
      case 2:  // next to a power of two
        E[k] = std::nextafter(std::ldexp(1.0, 2 * s.integer(-500, 500)), k % 8 < 4 ? 0.0 : inf);
        break;
      default:  // a whole square and its neighbours
        E[k] = std::nextafter(root * root, s.integer(0, 2) ? 0.0 : inf);
    }
  }
  columns::settled_square_roots(roots.data(), settled.data(), E.data(), n);
  volatile double half = 0.5;
  std::size_t taken = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (!settled[k]) continue;
    ++taken;
    ASSERT_TRUE(same_bits({std::pow(E[k], half)}, {roots[k]})) << E[k];
  }
  EXPECT_GT(taken, n / 4);  // not vacuous: many roots count as settled
}

// Energies on and next to perfect squares, with a prior table whose every
// entry differs, so that a wrong index shows in the probability.
TEST(SignificanceProbability, EnergiesAtWholeNumberRoots) {
  image pr(5000);
  for (std::size_t k = 0; k < pr.size(); ++k) pr[k] = 1.0 + static_cast<double>(k);
  for (double root = 0; root < 4000; root += 1) {
    const double square = root * root;
    for (double e : {square, std::nextafter(square, 0.0), std::nextafter(square, 1e300)}) {
      const double c = std::sqrt(e);
      EXPECT_TRUE(
          same_bits(reference::significance_probability({0.0}, {c}, 1, 1, {1.0}, pr, 1.0, 0),
                    probability({0.0}, {c}, 1, 1, {1.0}, pr, 1.0, 0)))
          << e;
    }
  }
}
