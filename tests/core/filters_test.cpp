#include "core/filters.h"

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

const double inf = std::numeric_limits<double>::infinity();

std::vector<double> filter(const std::vector<double>& x, const filter_table& t, int level) {
  std::vector<double> y(x.size(), 12345.0);
  atrous_filter(x.data(), t.taps, y.data(), level, static_cast<int>(x.size()), t.length);
  return y;
}

const filter_table* const all_tables[] = {&analysis_lowpass, &analysis_highpass, &synthesis_lowpass,
                                          &synthesis_highpass};

}  // namespace

TEST(AtrousFilter, ImpulseResponsesStandTheirStepApart) {
  struct expected_response {
    const filter_table* table;
    int first;  // offset of the first response value from the impulse
    std::vector<double> values;
  };
  const expected_response cases[] = {
      {&analysis_lowpass, -2, {0.125, 0.375, 0.375, 0.125}},
      {&analysis_highpass, -1, {0.5, -0.5}},
      {&synthesis_lowpass, -1, {0.125, 0.375, 0.375, 0.125}},
      {&synthesis_highpass, -2, {-0.03125, -0.21875, -0.6875, 0.6875, 0.21875, 0.03125}},
  };
  const int n = 64, p = 30;
  for (const auto& c : cases) {
    for (int level = 0; level <= 2; ++level) {
      std::vector<double> x(n, 0.0);
      x[p] = 1.0;
      const std::vector<double> y = filter(x, *c.table, level);
      std::vector<double> want(n, 0.0);
      const int step = 1 << level;
      for (std::size_t k = 0; k < c.values.size(); ++k)
        want[p + step * (c.first + static_cast<int>(k))] = c.values[k];
      EXPECT_TRUE(same_bits(want, y)) << "table " << c.table->length << " taps, level " << level;
    }
  }
}

TEST(AtrousFilter, RampAtLevelsZeroAndOne) {
  const std::vector<double> ramp = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(
      same_bits({1.625, 2.5, 3.5, 4.5, 5.5, 6.5, 7.375, 7.75}, filter(ramp, analysis_lowpass, 0)));
  EXPECT_TRUE(
      same_bits({0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0}, filter(ramp, analysis_highpass, 0)));
  EXPECT_TRUE(
      same_bits({2.375, 3.125, 4, 5, 5.875, 6.625, 7, 7}, filter(ramp, analysis_lowpass, 1)));
  EXPECT_TRUE(same_bits({1, 1, 1, 1, 1, 1, 0.5, -0.5}, filter(ramp, analysis_highpass, 1)));
}

TEST(AtrousFilter, AllOnesPassLowpassExactlyAndVanishUnderHighpass) {
  for (const filter_table* t : all_tables) {
    const int reach = (t->length - 1) / 2;
    for (int level = 0; level <= 3; ++level) {
      const int n = reach << level;  // exactly at the size limit
      const std::vector<double> y = filter(std::vector<double>(n, 1.0), *t, level);
      const bool highpass = t == &analysis_highpass || t == &synthesis_highpass;
      const double want = highpass ? 0.0 : 1.0;
      EXPECT_TRUE(same_bits(std::vector<double>(n, want), y))
          << t->length << " taps, level " << level;
    }
  }
}

TEST(AtrousFilter, NegativeLevelWeighsEachSampleByTheLastTap) {
  const std::vector<double> x = {2.0, -4.0, std::nan(""), inf, -0.0};
  for (const filter_table* t : {&analysis_lowpass, &analysis_highpass, &synthesis_lowpass}) {
    const std::vector<double> y = filter(x, *t, -1);
    EXPECT_TRUE(same_bits({0.0, 0.0, 0.0}, {y[0], y[1], y[4]}));  // +0.0, even for -0.0
    EXPECT_TRUE(std::isnan(y[2]) && std::isnan(y[3]));
  }
  const std::vector<double> y = filter(x, synthesis_highpass, -1);
  EXPECT_EQ(y[0], 0.0625);
  EXPECT_EQ(y[1], -0.125);
  EXPECT_TRUE(std::isnan(y[2]));
  EXPECT_EQ(y[3], inf);
  EXPECT_TRUE(same_bits({0.0}, {y[4]}));  // +0.0 + (0.03125 * -0.0)
}

TEST(AtrousFilter, InfinityUnderAZeroPositionGivesNaN) {
  const int n = 40, p = 20;
  std::vector<double> x(n, 1.0);
  x[p] = inf;
  const std::vector<double> y = filter(x, analysis_lowpass, 1);
  for (int i = 0; i < n; ++i) {
    const int d = i - p;
    if (d == -4 || d == -2 || d == 0 || d == 2)
      EXPECT_EQ(y[i], inf) << i;
    else if (d >= -3 && d <= 4)
      EXPECT_TRUE(std::isnan(y[i])) << i;
    else
      EXPECT_TRUE(std::isfinite(y[i])) << i;
  }
}

TEST(AtrousFilter, ReconstructsInsideTheFrame) {
  testing_support::value_source source(7);
  for (int level = 0; level <= 3; ++level) {
    const int t = 1 << level;
    const int n = 3 * t + 17;
    const std::vector<double> x = source.values(n, 0.0);
    const std::vector<double> low = filter(x, analysis_lowpass, level);
    const std::vector<double> high = filter(x, analysis_highpass, level);
    const std::vector<double> a = filter(low, synthesis_lowpass, level);
    const std::vector<double> b = filter(high, synthesis_highpass, level);
    bool outside_differs = false;
    for (int i = 0; i < n; ++i) {
      const double back = a[i] + b[i];
      if (i >= 3 * t && i < n - 2 * t)
        EXPECT_NEAR(back, x[i], 1e-12 * 100) << "level " << level << " index " << i;
      else if (std::fabs(back - x[i]) > 1e-9)
        outside_differs = true;
    }
    EXPECT_TRUE(outside_differs) << "the frame is not exact, level " << level;
  }
}

TEST(AtrousFilter, MatchesTheLiteralDesignBitForBit) {
  testing_support::value_source source(2024);
  for (int trial = 0; trial < 3000; ++trial) {
    const filter_table& t = *all_tables[trial % 4];
    const int level = source.integer(-2, 4);
    const int reach = (t.length - 1) / 2;
    const int minimum = level < 0 ? 1 : reach << level;
    const int n = source.integer(minimum, minimum + 40);
    // Mostly finite signals (the fast path), some with specials anywhere.
    const double special = trial % 3 == 0 ? 0.08 : 0.0;
    std::vector<double> x = source.values(n, special);
    if (trial % 7 == 0) x[source.integer(0, n - 1)] = -0.0;
    std::vector<double> want(n);
    reference::atrous_filter(x.data(), t.taps, want.data(), level, n, t.length);
    ASSERT_TRUE(same_bits(want, filter(x, t, level)))
        << "trial " << trial << ", level " << level << ", n " << n << ", taps " << t.length;
  }
}

TEST(AtrousFilter, RejectsCallsBeyondTheSizeLimit) {
  std::vector<double> x(8, 1.0), y(8);
  EXPECT_THROW(atrous_filter(x.data(), analysis_lowpass.taps, y.data(), 3, 8, 5),
               std::invalid_argument);
  EXPECT_NO_THROW(atrous_filter(x.data(), analysis_lowpass.taps, y.data(), 2, 8, 5));
  EXPECT_THROW(atrous_filter(x.data(), synthesis_lowpass.taps, y.data(), 2, 8, 7),
               std::invalid_argument);
  EXPECT_THROW(atrous_filter(x.data(), analysis_lowpass.taps, y.data(), 31, 8, 5),
               std::invalid_argument);
  EXPECT_THROW(atrous_filter(x.data(), analysis_lowpass.taps, y.data(), 0, 8, 4),
               std::invalid_argument);
  EXPECT_NO_THROW(atrous_filter(x.data(), analysis_lowpass.taps, y.data(), 40, 0, 5));  // n = 0
  EXPECT_EQ(atrous_step(-3), 0);
  EXPECT_EQ(atrous_step(30), 1 << 30);
}
