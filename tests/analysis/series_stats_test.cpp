// Series statistics against values worked out by hand, written as the CSV writes them.
#include "analysis/series_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "outputs/csv.h"

namespace corvane {
namespace {

// The seven statistics as the CSV's columns hold them.
std::string columns(const SeriesStats& s) {
  std::string out;
  for (std::size_t k = 0; k < kStatistics; ++k) {
    if (k > 0) out.push_back(',');
    if (s.has(static_cast<Statistic>(k))) append_statistic(out, s.value[k]);
  }
  return out;
}

TEST(SeriesStats, SmallSeriesWorkedOutByHand) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const struct {
    std::vector<float> values;
    std::string expected;  // median,stdev,skew,kurtosis,sens1,gini,ar1
  } cases[] = {
      {{}, ",,,,,,"},
      {{2.5f}, "2.5,,,,,0,"},
      {{0.0f}, "0,,,,,,"},  // S = 0: no gini
      {{1, 3}, "2,1.41421,0,-2.75,1,0.25,-0.5"},
      {{1, -1}, "0,1.41421,0,-2.75,0,,-0.5"},  // a pair of sum 0 counts 0; S = 0
      {{1, 2, 3}, "2,1,0,-2.33333,0.533333,0.222222,0"},
      {{3, 1, 2}, "2,1,0,-2.33333,0.833333,0.222222,-0.5"},
      {{1e7f, 2e7f, 3e7f}, "2e+07,1e+07,0,-2.33333,0.533333,0.222222,0"},  // beyond counting
      {{4, 0, 0, 4}, "2,2.3094,0,-2.4375,1.33333,0.5,-0.25"},              // ties and zeros
      {{1, 2, 3, 10}, "2.5,4.08248,0.661362,-1.7454,0.71453,0.4375,0.04"},
      {{1.5f, 1.5f, 1.5f}, "1.5,0,,,0,0,"},  // all equal
      {{0, 0, 0, 0}, "0,0,,,0,,"},
      {{1, inf, 2}, "2,nan,nan,nan,nan,nan,nan"},
  };
  SeriesDescriber describer;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.values));
    EXPECT_EQ(columns(describer.describe(c.values)), c.expected);
  }
}

TEST(SeriesStats, OrderIsTheSameWhateverTheUnitOfTheValues) {
  // Hundredths and thousandths are sorted by counting, values scaled by a tenth (a series
  // closed by -9999) and wide-ranging ones by comparison: the figures agree as closely as the
  // single-precision values do.
  std::vector<float> hundredths, thousandths, tenths_of, spread;
  for (int i = 0; i < 500; ++i) {
    const int k = (i * 7919) % 613 + (i % 5 == 0 ? 0 : 40);  // ties and a gap
    hundredths.push_back(static_cast<float>(k) * 0.01f);
    thousandths.push_back(static_cast<float>(k) * 0.001f);
    tenths_of.push_back(static_cast<float>(k) * 0.01f * 0.1f);
    spread.push_back(static_cast<float>(k) * 0.01f * (i == 1 ? 1e6f : 1.0f));
  }
  SeriesDescriber describer;
  const SeriesStats a = describer.describe(hundredths), b = describer.describe(thousandths),
                    c = describer.describe(tenths_of);
  for (std::size_t k = 0; k < kStatistics; ++k) {
    SCOPED_TRACE(k);
    const double scale = k == 0 || k == 1 ? 10 : 1;  // median and stdev carry the unit
    EXPECT_NEAR(a.value[k], b.value[k] * scale, 1e-5 * std::abs(a.value[k]) + 1e-7);
    EXPECT_NEAR(a.value[k], c.value[k] * scale, 1e-5 * std::abs(a.value[k]) + 1e-7);
  }
  // One value of the upper half made a million times larger leaves the median as it was.
  EXPECT_EQ(describer.describe(spread)[Statistic::median], a[Statistic::median]);
}

TEST(SeriesStats, StatisticsAsPrintfWritesThem) {
  const struct {
    double value;
    std::string_view expected;
  } cases[] = {
      {0.0735, "0.0735"},
      {-2.75, "-2.75"},
      {1234567.0, "1.23457e+06"},
      {0.00001234, "1.234e-05"},
      {123456.0, "123456"},
      {0.1 + 0.2, "0.3"},
      {-0.0, "0"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
      {-std::numeric_limits<double>::quiet_NaN(), "nan"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string out;
    append_statistic(out, c.value);
    EXPECT_EQ(out, c.expected);
  }
}

}  // namespace
}  // namespace corvane
