// The mean of a series as the listing shows it: its values added one by one in double
// precision, whatever shortcut the sum takes.
#include "driver/listing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace corvane {
namespace {

float plain_mean(const std::vector<float>& values) {
  double sum = 0.0;
  for (const float v : values) sum += v;
  return static_cast<float>(sum) / static_cast<float>(values.size());
}

void expect_plain_mean(const std::vector<float>& values) {
  const float got = series_mean(values);
  const float want = plain_mean(values);
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got));
  } else {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
        << got << " against " << want << " over " << values.size() << " values";
  }
}

TEST(DriverListing, MeanIsThePlainSumInOrder) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> count(1, 700);
  std::uniform_int_distribution<int> field(-99999, 999999);
  std::uniform_real_distribution<float> wide(-600.0f, 600.0f);
  std::uniform_int_distribution<int> kind(0, 6);
  for (int i = 0; i < 3000; ++i) {
    std::vector<float> values(static_cast<std::size_t>(count(rng)));
    const int k = kind(rng);
    for (float& v : values) {
      switch (k) {
        case 0:  // ring widths in hundredths
          v = static_cast<float>(field(rng) % 1000) * 0.01f;
          break;
        case 1:  // thousandths: values below 2^-7 among them
          v = (static_cast<float>(field(rng) % 1000) * 0.01f) * 0.1f;
          break;
        case 2:  // indices, with zeros
          v = field(rng) % 3 == 0 ? 0.0f : static_cast<float>(field(rng) % 2000) * 0.001f;
          break;
        case 3:  // magnitudes up to and beyond 512
          v = wide(rng);
          break;
        case 4:  // whole fields as written, up to 999999 hundredths
          v = static_cast<float>(field(rng)) * 0.01f;
          break;
        case 5:  // sums that round in double: large and tiny values together
          v = field(rng) % 2 == 0 ? 3.0e7f : 1.0e-9f * static_cast<float>(field(rng));
          break;
        default:  // the same below 512
          v = field(rng) % 2 == 0 ? 511.0f : 1.0e-9f * static_cast<float>(field(rng));
          break;
      }
    }
    SCOPED_TRACE(i);
    expect_plain_mean(values);
  }
}

TEST(DriverListing, MeanOfOddValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float tiny = std::numeric_limits<float>::denorm_min();
  const std::vector<std::vector<float>> cases = {
      {0.0f},
      {-0.0f, -0.0f},
      {0.0078125f, 511.99997f, -511.99997f},  // the bounds of the shortcut
      {0.0078124998f, 1.0f},
      {512.0f, 0.01f},
      {inf, 1.0f},
      {inf, -inf},
      {nan, 1.0f},
      {tiny, 1.0f, -1.0f},
      {1.0f, 1e-8f, 1e-8f, 1e-8f, -1.0f},
      std::vector<float>(10000, 511.0f),
      std::vector<float>(16385, 0.01f),  // more values than the shortcut takes
  };
  for (const auto& values : cases) expect_plain_mean(values);
}

// Values whose sums round in double precision, arranged so that adding them eight side by side
// would give another mean: one just beyond each bound that lets the mean take that shortcut.
TEST(DriverListing, MeanOfValuesWhoseSumsRound) {
  const float c = std::ldexp(1.0f, -7) + std::ldexp(1.0f, -30);  // loses 2^-30 added to a large sum
  const float d = -std::ldexp(1.0f, -7);
  // Below 2^-7: 1 + 2^-24 is a tie between two floats, which two tiny values together break.
  std::vector<float> tiny(16, 0.0f);
  tiny[0] = 1.0f;
  tiny[1] = std::ldexp(1.0f, -24);
  tiny[2] = tiny[10] = 3.0f * std::ldexp(1.0f, -55);
  expect_plain_mean(tiny);
  // From 512 on: 2^29 + 32 is such a tie, and 96 pairs of c and d in one lane break it.
  std::vector<float> large(2 + 16 * 96, 0.0f);
  large[0] = std::ldexp(1.0f, 29);
  large[1] = 32.0f;
  for (std::size_t j = 0; j < 96; ++j) {
    large[2 + 16 * j] = c;
    large[10 + 16 * j] = d;
  }
  expect_plain_mean(large);
  // More than 2^14 values below 512: their sum passes 2^23, where 2^-30 is lost.
  std::vector<float> many(16416, 511.0f);
  many.push_back(32.0f);
  many.push_back(0.5f);
  const std::size_t m = many.size();
  many.resize(m + 41, 0.0f);
  for (std::size_t j = 0; j < 3; ++j) {
    many[m + 16 * j] = c;
    many[m + 8 + 16 * j] = d;
  }
  expect_plain_mean(many);
}

}  // namespace
}  // namespace corvane
