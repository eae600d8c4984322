// Series statistics against values worked out by hand, written as the CSV writes them.
#include "analysis/series_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The formulas as they stand, in double precision, over the values sorted by comparison.
SeriesStats literal(std::vector<float> x) {
  const std::size_t n = x.size();
  const auto nd = static_cast<double>(n);
  double m = 0;
  for (const float v : x) m += v;
  m /= nd;
  double d2 = 0, d3 = 0, d4 = 0, lag = 0, sens = 0;
  for (std::size_t t = 0; t < n; ++t) {
    const double d = x[t] - m;
    d2 += d * d;
    d3 += d * d * d;
    d4 += d * d * d * d;
    if (t + 1 < n) {
      lag += d * (x[t + 1] - m);
      const double sum = static_cast<double>(x[t]) + x[t + 1];
      if (sum != 0) sens += std::fabs(2 * (x[t + 1] - static_cast<double>(x[t])) / sum);
    }
  }
  std::sort(x.begin(), x.end());
  double s = 0, c = 0;
  for (std::size_t i = 0; i < n; ++i) {
    s += x[i];
    if (i + 1 < n) c += s;
  }
  SeriesStats r;
  r.set(Statistic::median,
        n % 2 == 1 ? x[n / 2] : (static_cast<double>(x[n / 2 - 1]) + x[n / 2]) / 2);
  const double sd = std::sqrt(d2 / (nd - 1));
  r.set(Statistic::stdev, sd);
  r.set(Statistic::skew, d3 / (nd * sd * sd * sd));
  r.set(Statistic::kurtosis, nd * d4 / (d2 * d2) * (1 - 1 / nd) * (1 - 1 / nd) - 3);
  r.set(Statistic::sens1, sens / (nd - 1));
  r.set(Statistic::gini, (s * (nd - 1) - 2 * c) / (s * nd));
  r.set(Statistic::ar1, lag / d2);
  return r;
}

TEST(SeriesStats, OneDescriberOverSeriesOfEveryShapeAgreesWithTheFormulas) {
  // One describer in turn over series whose keys move far and back (the values it keeps from
  // one series to the next must follow), change unit, and reach the longest counted series
  // with its counts and positions at their widest: one value 10000 times, 10000 distinct ones.
  const struct {
    const char* what;
    std::size_t n;
    int (*key)(int i);
    float unit;
  } cases[] = {
      {"hundredths", 501, [](int i) { return (i * 7919) % 613; }, 0.01f},
      {"far above", 500, [](int i) { return 3000000 + (i * 31) % 997; }, 0.01f},
      {"back again", 480, [](int i) { return 40 + (i * 13) % 600; }, 0.01f},
      {"below 0", 333, [](int i) { return (i * 17) % 701 - 350; }, 0.01f},
      {"thousandths", 400, [](int i) { return 200 + (i * 101) % 3001; }, 0.001f},
      {"one value", 10000, [](int) { return 123; }, 0.01f},
      {"each once", 10000, [](int i) { return 10000 - i; }, 0.01f},
      {"widest counted", 10000, [](int i) { return (i * 7) % 80256; }, 0.01f},
      {"two values", 9999, [](int i) { return i % 3 == 0 ? 5 : 90; }, 0.01f},
  };
  SeriesDescriber describer;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<float> x;
    for (std::size_t i = 0; i < c.n; ++i) {
      x.push_back(static_cast<float>(c.key(static_cast<int>(i))) * c.unit);
    }
    const SeriesStats got = describer.describe(x), want = literal(x);
    EXPECT_EQ(got[Statistic::median], want[Statistic::median]);
    for (std::size_t k = 1; k < kStatistics; ++k) {
      SCOPED_TRACE(k);
      if (!want.has(static_cast<Statistic>(k)) || !std::isfinite(want.value[k])) {
        EXPECT_FALSE(got.has(static_cast<Statistic>(k)) && std::isfinite(got.value[k]));
        continue;
      }
      ASSERT_TRUE(got.has(static_cast<Statistic>(k)));
      EXPECT_NEAR(got.value[k], want.value[k], 1e-9 * std::abs(want.value[k]) + 1e-12);
    }
  }
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
