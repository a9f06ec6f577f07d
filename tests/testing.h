// Helpers shared by the tests: bit-exact comparison and random inputs that
// mix ordinary values with NaN, infinities, -0.0, huge and tiny values.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace testing_support {

inline std::uint64_t bits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Every element equal bit for bit (so -0.0 differs from +0.0 and NaN
// payloads count); reports the first difference.
inline ::testing::AssertionResult same_bits(const std::vector<double>& expected,
                                            const std::vector<double>& actual) {
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure()
           << "sizes differ: " << expected.size() << " vs " << actual.size();
  for (std::size_t k = 0; k < expected.size(); ++k) {
    if (bits(expected[k]) != bits(actual[k])) {
      std::ostringstream s;
      s.precision(17);
      s << "element " << k << ": expected " << expected[k] << " (0x" << std::hex
        << bits(expected[k]) << "), got " << std::dec << actual[k] << " (0x" << std::hex
        << bits(actual[k]) << ")";
      return ::testing::AssertionFailure() << s.str();
    }
  }
  return ::testing::AssertionSuccess();
}

// Random values; `special` is the chance of a NaN, an infinity, -0.0, a huge
// or a tiny value in each element.
class value_source {
 public:
  explicit value_source(std::uint32_t seed) : engine_(seed) {}

  double next(double special = 0.05) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(engine_) < special) {
      switch (std::uniform_int_distribution<int>(0, 7)(engine_)) {
        case 0:
          return std::numeric_limits<double>::quiet_NaN();
        case 1:
          return std::numeric_limits<double>::infinity();
        case 2:
          return -std::numeric_limits<double>::infinity();
        case 3:
          return -0.0;
        case 4:
          return 0.0;
        case 5:
          return (unit(engine_) < 0.5 ? -1 : 1) * 1e300 * unit(engine_);
        case 6:
          return (unit(engine_) < 0.5 ? -1 : 1) * 1e-310 * unit(engine_);
        default:
          return (unit(engine_) < 0.5 ? -1 : 1) * 3e9 * unit(engine_);
      }
    }
    return std::normal_distribution<double>(0.0, 20.0)(engine_);
  }

  std::vector<double> values(std::size_t n, double special = 0.05) {
    std::vector<double> v(n);
    for (double& x : v) x = next(special);
    return v;
  }

  int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(engine_);
  }

 private:
  std::mt19937 engine_;
};

}  // namespace testing_support
