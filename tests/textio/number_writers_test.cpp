// The plain number writers against the std::to_chars text they stand for.
#include "textio/number_writers.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test_util.h"

namespace corvane {
namespace {

std::string fixed_text(double v, int decimals) {
  std::string s = "x";
  append_fixed(s, v, decimals);
  return s.substr(1);
}

std::string reference_fixed(double v, int decimals) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

TEST(TextioNumberWriters, IntegersAreTheirToCharsText) {
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  std::vector<std::int64_t> values = {0, kMin, kMax, kMin + 1};
  for (std::int64_t p = 1; p <= kMax / 10; p *= 10) {
    for (const std::int64_t v : {p - 1, p, p + 1, 10 * p - 1}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  std::mt19937_64 rng(5);
  for (int i = 0; i < 200000; ++i) {
    const auto v = static_cast<std::int64_t>(rng());
    values.push_back(v >> (i % 64));  // every magnitude, both signs
  }
  for (const std::int64_t v : values) {
    std::string s = "x";
    append_integer(s, v);
    ASSERT_EQ(std::string_view(s).substr(1), std::to_string(v));
  }
}

// Round-half-even on the exact binary value, carries into a new digit, signs of values that
// round to zero, and values beyond the short path's range ("" where only to_chars says what).
TEST(TextioNumberWriters, FixedBoundariesAreToCharsText) {
  const struct {
    double value;
    int decimals;
    std::string_view expected;
  } cases[] = {
      {0.0, 1, "0.0"},
      {-0.0, 1, "-0.0"},
      {-0.04, 1, "-0.0"},
      {0.0, 0, "0"},
      {0.5, 0, "0"},
      {1.5, 0, "2"},
      {2.5, 0, "2"},
      {-2.5, 0, "-2"},
      {0.25, 1, "0.2"},
      {0.75, 1, "0.8"},
      {0.125, 2, "0.12"},
      {0.375, 2, "0.38"},
      {0.15, 1, "0.1"},
      {0.35, 1, "0.3"},
      {0.45, 1, "0.5"},
      {1.005, 2, "1.00"},
      {2.675, 2, "2.67"},
      {9.9996, 3, "10.000"},
      {9.95, 1, "9.9"},
      {99.96, 1, "100.0"},
      {-999.96, 1, "-1000.0"},
      {0.0004, 3, "0.000"},
      {0.0005, 3, "0.001"},
      {960.0, 0, "960"},
      {999999999.95, 1, "1000000000.0"},
      {1e9, 1, "1000000000.0"},
      {123456789.1234567, 6, "123456789.123457"},
      {1e20, 2, "100000000000000000000.00"},
      {-1e300, 0, ""},
      {1e-300, 6, "0.000000"},
      {0.1, 7, "0.1000000"},
      {0.1, 20, "0.10000000000000000555"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    if (!c.expected.empty()) {
      EXPECT_EQ(fixed_text(c.value, c.decimals), c.expected);
    }
    EXPECT_EQ(fixed_text(c.value, c.decimals), reference_fixed(c.value, c.decimals));
  }
}

// Coordinates of every kind (grid steps, quarters and other near-ties, random doubles of all
// magnitudes) with 0 to 7 decimals.
TEST(TextioNumberWriters, FixedOfManyValuesIsToCharsText) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> plot(-2000.0, 2000.0);
  std::uniform_int_distribution<int> span(1, 5000);
  for (int i = 0; i < 1000000; ++i) {
    double v = 0;
    switch (i % 4) {
      case 0:
        v = plot(rng);
        break;
      case 1:  // a year on an axis
        v = 100 + static_cast<double>(i % 3000) * 832.0 / static_cast<double>(span(rng));
        break;
      case 2:  // halves, quarters, ... : exact ties
        v = static_cast<double>(static_cast<std::int64_t>(rng() % 4000000) - 2000000) / 64.0;
        break;
      default: {
        v = std::bit_cast<double>(rng());
        if (!std::isfinite(v)) continue;
        int exponent = 0;
        v = std::ldexp(std::frexp(v, &exponent), static_cast<int>(rng() % 80) - 40);
      }
    }
    const int d = i % 8;
    ASSERT_EQ(fixed_text(v, d), reference_fixed(v, d)) << std::hexfloat << v << " with " << d;
  }
}

// Every float near the edges of the binades and of the fixed/scientific choice, and random
// floats of every magnitude and sign.
TEST(TextioNumberWriters, ShortestFloatsAreToCharsText) {
  std::vector<float> values = {0.0f,
                               -0.0f,
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::denorm_min(),
                               std::numeric_limits<float>::max()};
  for (const float edge : {0.0078125f, 0.001f, 0.01f, 0.1f, 1.0f, 10.0f, 1e4f, 1e5f, 1e6f, 1e7f,
                           8388608.0f, 16777216.0f, 2.1734726f, 999.9999f}) {
    float f = edge;
    for (int i = 0; i < 3000; ++i) f = std::nextafter(f, 0.0f);
    for (int i = 0; i < 6000; ++i, f = std::nextafter(f, 1e30f)) {
      values.push_back(f);
      values.push_back(-f);
    }
  }
  std::mt19937 rng(17);
  for (int i = 0; i < 1000000; ++i)
    values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
  for (const float f : values) {
    if (std::isnan(f)) continue;
    char buf[64];
    const std::string_view want(buf, std::to_chars(buf, buf + sizeof buf, f).ptr);
    std::string s = "x";
    append_shortest(s, f);
    ASSERT_EQ(std::string_view(s).substr(1), want) << std::hexfloat << f;
  }
}

}  // namespace
}  // namespace corvane
