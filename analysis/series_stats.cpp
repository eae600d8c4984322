// Series statistics: one pass for the moments and the pairs, one counting sort for the order.
#include "analysis/series_stats.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace corvane {

namespace {

constexpr std::size_t kLanes = 2;

// Sums over the values taken from a shift c (one of the values): u = x - c. Central sums follow
// from these; since |c - m| is at most sqrt(N) standard deviations, the fourth central sum
// keeps a relative error below N^2 times the rounding unit, far below what the CSV shows.
struct Sums {
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0;  // sums of u, u^2, u^3, u^4
  double lag = 0;                         // sum of u(t) u(t+1)
  double sens = 0;                        // sum of the pairs' sensitivities
};

// x in double precision; w has room for x.size() values.
Sums shifted_sums(std::span<const float> x, double* w, double c) {
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n; ++i) w[i] = x[i];
  double s1[kLanes] = {}, s2[kLanes] = {}, s3[kLanes] = {}, s4[kLanes] = {};
  double lag[kLanes] = {}, sens[kLanes] = {};
  // Lanes side by side, so that no sum waits on the one before and the compiler can give lanes
  // one instruction; the pair terms take each value with the one after it. A pair of sum 0
  // counts 0 without a branch: its quotient is taken over 1 and multiplied by 0.
  std::size_t i = 0;
  for (; i + kLanes < n; i += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      const double a = w[i + k], b = w[i + k + 1];
      const double u = a - c, v = b - c, u2 = u * u;
      s1[k] += u;
      s2[k] += u2;
      s3[k] += u2 * u;
      s4[k] += u2 * u2;
      lag[k] += u * v;
      const double sum = a + b;
      const double counts = sum != 0.0 ? 1.0 : 0.0;
      const double over = sum != 0.0 ? sum : 1.0;
      sens[k] += counts * std::fabs(2.0 * (b - a) / over);
    }
  }
  for (; i < n; ++i) {
    const double a = w[i], u = a - c, u2 = u * u;
    s1[0] += u;
    s2[0] += u2;
    s3[0] += u2 * u;
    s4[0] += u2 * u2;
    if (i + 1 < n) {
      const double b = w[i + 1], sum = a + b;
      lag[0] += u * (b - c);
      if (sum != 0.0) sens[0] += std::fabs(2.0 * (b - a) / sum);
    }
  }
  const auto total = [](const double* t) {
    double r = 0;
    for (std::size_t k = 0; k < kLanes; ++k) r += t[k];
    return r;
  };
  return {total(s1), total(s2), total(s3), total(s4), total(lag), total(sens)};
}

// The order-preserving unsigned image of a float's bits: a total order, NaN included.
std::uint32_t order_key(float f) {
  const auto b = std::bit_cast<std::uint32_t>(f);
  return (b & 0x80000000u) != 0 ? ~b : b | 0x80000000u;
}

// Median, sum and the sum of the first N - 1 cumulative sums, from values in ascending order
// handed out as (value, how many) runs.
struct OrderFigures {
  double median = 0, sum = 0, cumulative = 0;
};

class OrderWalk {
 public:
  explicit OrderWalk(std::size_t n) : n_(n), middle_(n / 2) {}
  void take(double v, std::size_t count) {
    // In ascending order the value at position i (from 0) is in N - i cumulative sums; a run
    // of `count` equal values from position seen_ is in count (N - seen_) - count (count - 1) / 2.
    const std::size_t weight = count * (n_ - seen_) - count * (count - 1) / 2;
    f_.cumulative += v * static_cast<double>(weight);
    f_.sum += static_cast<double>(count) * v;
    seen_ += count;
    // The middle positions n/2 and, when n is even, n/2 - 1.
    if (seen_ > middle_ - 1 && !lower_found_) {
      lower_ = v;
      lower_found_ = true;
    }
    if (seen_ > middle_ && !upper_found_) {
      upper_ = v;
      upper_found_ = true;
    }
  }
  OrderFigures figures() const {
    OrderFigures f = f_;
    f.cumulative -= f.sum;  // the last cumulative sum is S itself
    f.median = n_ % 2 == 0 ? (lower_ + upper_) / 2 : upper_;
    return f;
  }

 private:
  std::size_t n_, middle_, seen_ = 0;
  bool lower_found_ = false, upper_found_ = false;
  double lower_ = 0, upper_ = 0;
  OrderFigures f_;
};

// Values written as whole hundredths or thousandths (float(k) times the unit, as the decade
// reader stores them) sort by counting their k, when the k span a range not much wider than
// the series. Sets `equal` when every value is the same.
template <typename Unit>
bool count_sorted(std::span<const float> x, Unit unit_of, float per_unit,
                  std::vector<std::int32_t>& keys, std::vector<std::uint32_t>& counts,
                  OrderWalk& walk, bool& equal) {
  // Adding and taking away 1.5 * 2^23 rounds a float below 2^22 in magnitude to an integer;
  // the clamp keeps larger values, infinities and NaN (sent to the low end) in that range, and
  // such values then fail the exactness test.
  constexpr float kRound = 0x1.8p23f, kBound = 0x1p22f;
  const std::size_t n = x.size();
  if (keys.size() < n) keys.resize(n);
  std::int32_t exact = 1;
  std::int32_t* key = keys.data();
  for (std::size_t i = 0; i < n; ++i) {
    const float v = std::min(kBound, std::max(-kBound, x[i] * per_unit));
    const float k = (v + kRound) - kRound;
    exact &= static_cast<std::int32_t>(unit_of(k) == x[i]);
    key[i] = static_cast<std::int32_t>(k);
  }
  if (exact == 0) return false;
  std::int32_t low = key[0], high = key[0];
  for (std::size_t i = 1; i < n; ++i) {
    low = std::min(low, key[i]);
    high = std::max(high, key[i]);
  }
  const auto range = static_cast<std::size_t>(static_cast<std::int64_t>(high) - low) + 1;
  if (range > 8 * n + 256) return false;
  equal = range == 1;
  if (counts.size() < range) counts.resize(range);  // zero, and left zero after each walk
  std::uint32_t* count = counts.data();
  for (std::size_t i = 0; i < n; ++i) ++count[key[i] - low];
  for (std::size_t b = 0; b < range; ++b) {
    if (counts[b] == 0) continue;
    walk.take(unit_of(static_cast<float>(low + static_cast<std::int32_t>(b))), counts[b]);
    counts[b] = 0;
  }
  return true;
}

}  // namespace

SeriesStats SeriesDescriber::describe(std::span<const float> x) {
  SeriesStats stats;
  const std::size_t n = x.size();
  if (n == 0) return stats;
  const auto nd = static_cast<double>(n);
  const double c = x[0];
  if (wide_.size() < n) wide_.resize(n);
  const Sums s = shifted_sums(x, wide_.data(), c);

  OrderWalk walk(n);
  bool equal = false;
  const auto hundredths = [](float k) { return k * 0.01f; };
  const auto thousandths = [](float k) { return k * 0.001f; };
  if (!count_sorted(x, hundredths, 100.0f, keys_, counts_, walk, equal) &&
      !count_sorted(x, thousandths, 1000.0f, keys_, counts_, walk, equal)) {
    sorted_.assign(x.begin(), x.end());
    std::sort(sorted_.begin(), sorted_.end(),
              [](float a, float b) { return order_key(a) < order_key(b); });
    equal = sorted_.front() == sorted_.back();
    for (std::size_t i = 0; i < n;) {
      std::size_t j = i + 1;
      while (j < n && order_key(sorted_[j]) == order_key(sorted_[i])) ++j;
      walk.take(sorted_[i], j - i);
      i = j;
    }
  }
  const OrderFigures order = walk.figures();
  stats.set(Statistic::median, order.median);
  if (order.sum != 0) {
    stats.set(Statistic::gini, (order.sum * (nd - 1) - 2 * order.cumulative) / (order.sum * nd));
  }
  if (n == 1) return stats;

  stats.set(Statistic::sens1, s.sens / (nd - 1));
  if (equal) {
    stats.set(Statistic::stdev, 0.0);
    return stats;
  }
  const double mu = s.s1 / nd;  // the mean's distance from the shift
  const double m2 = s.s2 - mu * s.s1;
  const double m3 = s.s3 - 3 * mu * s.s2 + 2 * mu * mu * s.s1;
  const double m4 = s.s4 - 4 * mu * s.s3 + 6 * mu * mu * s.s2 - 3 * mu * mu * mu * s.s1;
  // sum of (u(t) - mu)(u(t+1) - mu): the pairs hold every u but the last once on the left and
  // every u but the first once on the right.
  const double u_first = 0.0, u_last = static_cast<double>(x[n - 1]) - c;
  const double lag = s.lag - mu * ((s.s1 - u_last) + (s.s1 - u_first)) + (nd - 1) * mu * mu;
  const double stdev = std::sqrt(m2 / (nd - 1));
  stats.set(Statistic::stdev, stdev);
  if (n == 2) {
    stats.set(Statistic::skew, 0.0);
    stats.set(Statistic::kurtosis, -2.75);
    stats.set(Statistic::ar1, -0.5);
    return stats;
  }
  if (stdev != 0) stats.set(Statistic::skew, m3 / (nd * stdev * stdev * stdev));
  if (m2 != 0) {
    const double f = 1 - 1 / nd;
    stats.set(Statistic::kurtosis, nd * m4 / (m2 * m2) * f * f - 3);
    stats.set(Statistic::ar1, lag / m2);
  }
  return stats;
}

}  // namespace corvane
