// Descriptive statistics of one series, computed from its values as they are delivered.
#ifndef CORVANE_ANALYSIS_SERIES_STATS_H
#define CORVANE_ANALYSIS_SERIES_STATS_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

/// The statistics of a series, in the order of their CSV columns.
enum class Statistic : std::uint8_t { median, stdev, skew, kurtosis, sens1, gini, ar1 };
inline constexpr std::size_t kStatistics = 7;

/// One series' statistics: each either has a value (possibly not finite) or is empty, because
/// the series is too short for it or a denominator is exactly 0. `missing` counts the values
/// that were missing-ring codes.
struct SeriesStats {
  std::array<double, kStatistics> value{};
  std::uint8_t defined = 0;  ///< bit k set when statistic k has a value
  std::int32_t missing = 0;

  bool has(Statistic s) const { return (defined >> static_cast<unsigned>(s) & 1u) != 0; }
  double operator[](Statistic s) const { return value[static_cast<std::size_t>(s)]; }
  void set(Statistic s, double v) {
    value[static_cast<std::size_t>(s)] = v;
    defined = static_cast<std::uint8_t>(defined | 1u << static_cast<unsigned>(s));
  }
};

/// Works out the statistics of series one after another, reusing its sorting room.
///
/// With x1..xN the values (in double precision) and m their mean:
///   median    the middle sorted value, the mean of the two middle ones when N is even;
///   stdev     sqrt(sum((x - m)^2) / (N - 1));
///   skew      sum((x - m)^3) / (N * stdev^3);
///   kurtosis  N * sum((x - m)^4) / sum((x - m)^2)^2 * (1 - 1/N)^2 - 3;
///   sens1     the mean over t = 1..N-1 of |2 (x(t+1) - x(t)) / (x(t+1) + x(t))|, 0 for a pair
///             whose sum is 0;
///   gini      (S (N - 1) - 2 C) / (S N), S the sum and C the sum of the first N - 1 cumulative
///             sums of the sorted values;
///   ar1       sum over t = 1..N-1 of (x(t) - m)(x(t+1) - m) / sum((x - m)^2).
/// N = 0: all empty. N = 1: median and gini (empty when S is 0). N = 2 with two different values:
/// skew 0, kurtosis -2.75 and ar1 -0.5 exactly. All values equal: stdev 0, and skew, kurtosis
/// and ar1 empty.
class SeriesDescriber {
 public:
  SeriesStats describe(std::span<const float> values);

  /// The values float(k) * unit of a range of keys k, kept from one series to the next.
  class ValueTable {
   public:
    /// The values of the keys `base` to `base + count - 1`.
    const double* values(std::int32_t base, std::size_t count, float unit);

   private:
    std::vector<double> value_;
    std::int32_t first_ = 0;
    float unit_ = 0;
  };

 private:
  std::vector<float> sorted_;
  std::vector<std::uint16_t> counts_;
  std::vector<std::int32_t> keys_;
  ValueTable hundredths_, thousandths_;
};

}  // namespace corvane

#endif  // CORVANE_ANALYSIS_SERIES_STATS_H
