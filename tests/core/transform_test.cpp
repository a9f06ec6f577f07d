#include "core/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "reference.h"
#include "testing.h"

using namespace waveprob;
using testing_support::same_bits;

namespace {

using image = std::vector<double>;

std::vector<image> forward(const image& x, int level, int M, int N) {
  std::vector<image> b(4, image(static_cast<std::size_t>(M) * N, 777.0));
  forward_transform(x.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(), level, M, N);
  return b;
}

image inverse(const std::vector<image>& b, int level, int M, int N) {
  image out(static_cast<std::size_t>(M) * N, 777.0);
  inverse_transform(out.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(), level, M, N);
  return out;
}

image generated(int M, int N, double (*f)(int, int)) {
  image x(static_cast<std::size_t>(M) * N);
  for (int j = 0; j < N; ++j)
    for (int i = 0; i < M; ++i) x[i + static_cast<std::size_t>(M) * j] = f(i, j);
  return x;
}

image column_of(const image& band, int M, int j) {
  return image(band.begin() + static_cast<std::ptrdiff_t>(M) * j,
               band.begin() + static_cast<std::ptrdiff_t>(M) * (j + 1));
}

image row_of(const image& band, int M, int N, int i) {
  image r(N);
  for (int j = 0; j < N; ++j) r[j] = band[i + static_cast<std::size_t>(M) * j];
  return r;
}

}  // namespace

TEST(ForwardTransform, RowRampGivesTheOneDimensionalSequencesInEveryColumn) {
  const int M = 8, N = 6;
  const image x = generated(M, N, [](int i, int) { return double(i); });
  struct level_case {
    int level;
    image low, hor;
  };
  const level_case cases[] = {
      {0, {0.625, 1.5, 2.5, 3.5, 4.5, 5.5, 6.375, 6.75}, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0}},
      {1, {1.375, 2.125, 3, 4, 4.875, 5.625, 6, 6}, {1, 1, 1, 1, 1, 1, 0.5, -0.5}},
  };
  for (const auto& c : cases) {
    const std::vector<image> b = forward(x, c.level, M, N);
    for (int j = 0; j < N; ++j) {
      EXPECT_TRUE(same_bits(c.low, column_of(b[0], M, j))) << "level " << c.level;
      EXPECT_TRUE(same_bits(c.hor, column_of(b[1], M, j))) << "level " << c.level;
    }
    EXPECT_TRUE(same_bits(image(M * N, 0.0), b[2]));
    EXPECT_TRUE(same_bits(image(M * N, 0.0), b[3]));
  }
}

TEST(ForwardTransform, ColumnRampGivesTheSequencesAlongEveryRow) {
  const int M = 6, N = 8;
  const image x = generated(M, N, [](int, int j) { return double(j); });
  const std::vector<image> b = forward(x, 0, M, N);
  for (int i = 0; i < M; ++i) {
    EXPECT_TRUE(same_bits({0.625, 1.5, 2.5, 3.5, 4.5, 5.5, 6.375, 6.75}, row_of(b[0], M, N, i)));
    EXPECT_TRUE(same_bits({0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0}, row_of(b[2], M, N, i)));
  }
  EXPECT_TRUE(same_bits(image(M * N, 0.0), b[1]));
  EXPECT_TRUE(same_bits(image(M * N, 0.0), b[3]));
}

TEST(ForwardTransform, NegativeLevelGivesZerosAndNaNForNonFiniteSamples) {
  const image x = {1.0, -2.0, std::numeric_limits<double>::infinity(), std::nan(""), 3.0, 4.0};
  const std::vector<image> b = forward(x, -1, 2, 3);
  for (const image& band : b) {
    for (int k : {0, 1, 4, 5}) EXPECT_TRUE(same_bits({0.0}, {band[k]}));
    EXPECT_TRUE(std::isnan(band[2]));
    EXPECT_TRUE(std::isnan(band[3]));
  }
}

TEST(Transforms, ConstantImageComesBackEverywhere) {
  for (int level = 0; level <= 2; ++level) {
    const int M = 3 << level, N = (3 << level) + 5;
    const image x(M * N, 42.5);
    const std::vector<image> b = forward(x, level, M, N);
    EXPECT_TRUE(same_bits(x, b[0]));
    for (int k = 1; k < 4; ++k) EXPECT_TRUE(same_bits(image(M * N, 0.0), b[k]));
    EXPECT_TRUE(same_bits(x, inverse(b, level, M, N))) << "level " << level;
  }
}

TEST(Transforms, ReconstructInsideTheFrameOnly) {
  struct size_case {
    int level, M, N;
  };
  for (const size_case c : {size_case{0, 13, 17}, size_case{1, 20, 23}, size_case{2, 12, 30},
                            size_case{3, 40, 24}, size_case{4, 48, 49}}) {
    testing_support::value_source source(c.level + 11);
    const image x = source.values(static_cast<std::size_t>(c.M) * c.N, 0.0);
    const image back = inverse(forward(x, c.level, c.M, c.N), c.level, c.M, c.N);
    const int t = 1 << c.level;
    double frame_error = 0.0;
    for (int j = 0; j < c.N; ++j)
      for (int i = 0; i < c.M; ++i) {
        const double d = std::fabs(back[i + c.M * j] - x[i + c.M * j]);
        if (i >= 3 * t && i < c.M - 2 * t && j >= 3 * t && j < c.N - 2 * t)
          EXPECT_LT(d, 1e-12) << i << "," << j << " level " << c.level;
        else
          frame_error = std::max(frame_error, d);
      }
    EXPECT_GT(frame_error, 1e-6) << "level " << c.level;
  }
}

// Levels -2 to 5, sizes from exactly the limit upward, odd and even, and
// four kinds of data: finite, sparse NaN / infinities / -0.0, values near
// the largest double (sums that overflow), and one lone NaN.
TEST(Transforms, MatchTheLiteralDesignBitForBit) {
  testing_support::value_source source(99);
  auto data = [&](std::size_t n, int kind) {
    image x = source.values(n, kind == 1 ? 0.02 : 0.0);
    if (kind == 2)
      for (double& v : x) v *= 1.7e308 / 60.0;
    if (kind == 3) x[source.integer(0, static_cast<int>(n) - 1)] = std::nan("");
    return x;
  };
  for (int trial = 0; trial < 160; ++trial) {
    const int level = source.integer(-2, 5);
    const int kind = trial % 4;
    const auto where = [&](int M, int N) {
      return ::testing::Message() << "trial " << trial << ", level " << level << ", " << M << " x "
                                  << N << ", kind " << kind;
    };
    const int forward_minimum = level < 0 ? 1 : 2 << level;
    int M = source.integer(forward_minimum, forward_minimum + 7);
    int N = source.integer(forward_minimum, forward_minimum + 7);
    if (trial % 5 == 0) M = forward_minimum;
    const image x = data(static_cast<std::size_t>(M) * N, kind);
    const std::vector<image> want = reference::forward_transform(x, level, M, N);
    const std::vector<image> got = forward(x, level, M, N);
    for (int k = 0; k < 4; ++k)
      ASSERT_TRUE(same_bits(want[k], got[k])) << where(M, N) << ", band " << k;

    // Arbitrary bands through the inverse, not only a forward transform's.
    const int inverse_minimum = level < 0 ? 1 : 3 << level;
    M = source.integer(inverse_minimum, inverse_minimum + 7);
    N = source.integer(inverse_minimum, inverse_minimum + 7);
    if (trial % 5 == 1) N = inverse_minimum;
    std::vector<image> bands(4);
    for (image& band : bands) band = data(static_cast<std::size_t>(M) * N, kind);
    ASSERT_TRUE(
        same_bits(reference::inverse_transform(bands, level, M, N), inverse(bands, level, M, N)))
        << where(M, N);
  }
}

TEST(Transforms, EmptyImagesTouchNothing) {
  EXPECT_NO_THROW(forward_transform(nullptr, nullptr, nullptr, nullptr, nullptr, 40, 0, 5));
  EXPECT_NO_THROW(inverse_transform(nullptr, nullptr, nullptr, nullptr, nullptr, 3, 7, 0));
}

TEST(Transforms, RejectImagesSmallerThanTheLevelNeeds) {
  EXPECT_EQ(forward_min_size(3), 16);
  EXPECT_EQ(inverse_min_size(3), 24);
  EXPECT_EQ(forward_min_size(-4), 1);
  EXPECT_EQ(forward_min_size(30), -1);
  EXPECT_EQ(inverse_min_size(30), -1);
  EXPECT_EQ(inverse_min_size(29), 3LL << 29);
  image x(15 * 16, 1.0), o(15 * 16);
  EXPECT_THROW(forward_transform(x.data(), o.data(), o.data(), o.data(), o.data(), 3, 15, 16),
               std::invalid_argument);
  EXPECT_THROW(inverse_transform(o.data(), x.data(), x.data(), x.data(), x.data(), 2, 15, 11),
               std::invalid_argument);
}
