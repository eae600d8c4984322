// Series statistics: one pass for the moments and the pairs, one counting sort for the order.
#include "analysis/series_stats.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace corvane {

namespace {

// The longest series that is sorted by counting: its counts fit 16 bits, and the positions the
// walk works out (a count times the values below it, a count times one less, at most n^2) fit
// 32. A longer series (no reader delivers one) goes to the general sort.
constexpr std::size_t kMaxValuesCounted = 10000;

// Four lanes of doubles, floats and their masks: one instruction each where the processor has
// 256-bit vectors, two elsewhere.
using Double4 = double __attribute__((vector_size(32)));
using Float4 = float __attribute__((vector_size(16)));
using Mask4 = std::int64_t __attribute__((vector_size(32)));
using Float8 = float __attribute__((vector_size(32)));
using Mask8 = std::int32_t __attribute__((vector_size(32)));

// Vectors go by reference: passed by value, their ABI would depend on the instruction set.
template <typename V>
void load(V& v, const float* p) {
  std::memcpy(&v, p, sizeof v);
}

double total(const Double4& v) { return (v[0] + v[1]) + (v[2] + v[3]); }

// Sums over the values taken from a shift c (one of the values): u = x - c. Central sums follow
// from these; since |c - m| is at most sqrt(N) standard deviations, the fourth central sum
// keeps a relative error below N^2 times the rounding unit, far below what the CSV shows.
struct Sums {
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0;  // sums of u, u^2, u^3, u^4
  double lag = 0;                         // sum of u(t) u(t+1)
  double sens = 0;                        // sum of the pairs' sensitivities
};

// Four pairs (x(t), x(t+1)) at a time, each value with the one after it; the last values one
// by one. A pair of sum 0 counts 0 without a branch: its quotient is taken over 1 and cleared.
// Compiled for the processor's widest vectors, chosen when the program starts.
__attribute__((target_clones("avx2", "default"))) Sums shifted_sums(const float* x, std::size_t n,
                                                                    double c) {
  const Double4 shift = {c, c, c, c};
  const Double4 one = {1.0, 1.0, 1.0, 1.0};
  const Mask4 magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
  Double4 s1{}, s2{}, s3{}, s4{}, lag{}, sens{};
  std::size_t i = 0;
  for (; i + 4 < n; i += 4) {
    Float4 here, next;
    load(here, x + i);
    load(next, x + i + 1);
    const Double4 a = __builtin_convertvector(here, Double4);
    const Double4 b = __builtin_convertvector(next, Double4);
    const Double4 u = a - shift, v = b - shift, u2 = u * u;
    s1 += u;
    s2 += u2;
    s3 += u2 * u;
    s4 += u2 * u2;
    lag += u * v;
    const Double4 sum = a + b;
    const Mask4 zero = sum == 0.0;
    const Double4 over = sum + reinterpret_cast<Double4>(reinterpret_cast<Mask4>(one) & zero);
    const Double4 q = (b - a) / over;
    sens += reinterpret_cast<Double4>(reinterpret_cast<Mask4>(q + q) & magnitude & ~zero);
  }
  Sums r{total(s1), total(s2), total(s3), total(s4), total(lag), total(sens)};
  for (; i < n; ++i) {
    const double a = x[i], u = a - c, u2 = u * u;
    r.s1 += u;
    r.s2 += u2;
    r.s3 += u2 * u;
    r.s4 += u2 * u2;
    if (i + 1 < n) {
      const double b = x[i + 1], sum = a + b;
      r.lag += u * (b - c);
      if (sum != 0.0) r.sens += std::fabs(2.0 * (b - a) / sum);
    }
  }
  return r;
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
  explicit OrderWalk(std::size_t n)
      : n_(static_cast<std::int64_t>(n)), next_middle_(n_ % 2 == 0 ? n_ / 2 - 1 : n_ / 2) {}
  void take(double v, std::int64_t count) {
    // The values at positions seen_ to seen_ + count - 1 (from 0); the sum of those positions
    // gives the cumulative sums, as the value at position i is in N - i of them.
    sum_ += static_cast<double>(count) * v;
    positions_ += v * static_cast<double>(count * seen_ + ((count * (count - 1)) >> 1));
    seen_ += count;
    if (seen_ > next_middle_) [[unlikely]] {
      middles(v);
    }
  }
  OrderFigures figures() const {
    OrderFigures f;
    f.sum = sum_;
    // The sum of all N cumulative sums, less the last, which is S itself.
    f.cumulative = static_cast<double>(n_) * sum_ - positions_ - sum_;
    f.median = (middle_[0] + middle_[1]) / 2;
    return f;
  }

 private:
  // The middle positions: n/2 - 1 and n/2 when n is even, n/2 (taken twice) when it is odd.
  void middles(double v) {
    while (seen_ > next_middle_ && found_ < 2) {
      middle_[found_++] = v;
      if (n_ % 2 == 1) middle_[found_++] = v;
      ++next_middle_;
    }
    if (found_ == 2) next_middle_ = INT64_MAX;
  }
  std::int64_t n_, next_middle_, seen_ = 0;
  int found_ = 0;
  double middle_[2] = {0, 0};
  double sum_ = 0;
  double positions_ = 0;  // the sum of each value times its position
};

// Whether every value is a whole number k of the unit, as the decade reader stores them
// (float(k) times the unit) with |k| below 2^22; the k go to `keys` as floats, with their
// least and greatest. Adding and taking away 1.5 * 2^23 rounds a float below 2^22 in magnitude
// to an integer; NaN and infinities fail.
__attribute__((target_clones("avx2", "default"))) bool whole_units(const float* x, std::size_t n,
                                                                   float per_unit, float unit,
                                                                   float* keys, float& low,
                                                                   float& high) {
  constexpr float kRound = 0x1.8p23f, kBound = 0x1p22f;
  const Float8 round = {kRound, kRound, kRound, kRound, kRound, kRound, kRound, kRound};
  const Mask8 magnitude = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                           INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
  Mask8 exact = ~Mask8{};  // all set
  Float8 lo = {kBound, kBound, kBound, kBound, kBound, kBound, kBound, kBound};
  Float8 hi = -lo;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    Float8 v;
    load(v, x + i);
    const Float8 scaled = v * per_unit;
    const Float8 k = (scaled + round) - round;
    const Float8 size = reinterpret_cast<Float8>(reinterpret_cast<Mask8>(scaled) & magnitude);
    exact &= (k * unit == v) & (size < kBound);
    std::memcpy(keys + i, &k, sizeof k);
    const Mask8 below = k<lo, above = k> hi;
    lo = reinterpret_cast<Float8>((reinterpret_cast<Mask8>(k) & below) |
                                  (reinterpret_cast<Mask8>(lo) & ~below));
    hi = reinterpret_cast<Float8>((reinterpret_cast<Mask8>(k) & above) |
                                  (reinterpret_cast<Mask8>(hi) & ~above));
  }
  bool whole = true;
  for (int k = 0; k < 8; ++k) whole = whole && exact[k] != 0;
  low = lo[0];
  high = hi[0];
  for (int k = 1; k < 8; ++k) {
    low = std::min(low, lo[k]);
    high = std::max(high, hi[k]);
  }
  for (; i < n; ++i) {
    const float scaled = x[i] * per_unit;
    const float k = (scaled + kRound) - kRound;
    whole = whole && k * unit == x[i] && std::fabs(scaled) < kBound;
    keys[i] = k;
    low = std::min(low, k);
    high = std::max(high, k);
  }
  return whole;
}

// The walk over counted values, eight counts at a time: for each value k (the count's index
// plus `base`) of count c, its c positions from `seen` on (the values below it) weigh it in the
// sum of each value times its position; and the middle values are taken where the positions
// pass them. `count` holds a multiple of 8 counts, those past the values 0.
struct CountWalk {
  double sum = 0, positions = 0;
  double middle[2] = {0, 0};
};

__attribute__((target_clones("avx2", "default"))) CountWalk walk_counts(
    const std::uint16_t* count, std::size_t blocks, std::int32_t base, float unit, std::int32_t n) {
  using Short4 = std::uint16_t __attribute__((vector_size(8)));
  using Int4 = std::int32_t __attribute__((vector_size(16)));
  const Int4 zero{};
  const Int4 lane = {0, 1, 2, 3};
  // Positions n/2 - 1 and n/2 when n is even, n/2 twice when it is odd.
  const std::int32_t middle_at[2] = {n % 2 == 0 ? n / 2 - 1 : n / 2, n / 2};
  int found = 0;
  Double4 sum{}, positions{};
  std::int32_t seen = 0;
  CountWalk w;
  for (std::size_t quad = 0; quad < 2 * blocks; ++quad) {
    Short4 narrow;
    std::memcpy(&narrow, count + 4 * quad, sizeof narrow);
    const Int4 c = __builtin_convertvector(narrow, Int4);
    // Counts up to each value, its own included.
    Int4 upto = c + __builtin_shufflevector(zero, c, 3, 4, 5, 6);
    upto += __builtin_shufflevector(zero, upto, 2, 3, 4, 5);
    upto += seen;
    const Int4 at = c * (upto - c) + ((c * (c - 1)) >> 1);
    const Float4 v =
        __builtin_convertvector(lane + (base + static_cast<std::int32_t>(4 * quad)), Float4) * unit;
    const Double4 wide = {v[0], v[1], v[2], v[3]};
    const Double4 counted = {static_cast<double>(c[0]), static_cast<double>(c[1]),
                             static_cast<double>(c[2]), static_cast<double>(c[3])};
    const Double4 weight = {static_cast<double>(at[0]), static_cast<double>(at[1]),
                            static_cast<double>(at[2]), static_cast<double>(at[3])};
    sum += wide * counted;
    positions += wide * weight;
    seen = upto[3];
    if (found < 2 && seen > middle_at[found]) [[unlikely]] {
      for (int k = 0; k < 4 && found < 2; ++k) {
        while (found < 2 && upto[k] > middle_at[found]) w.middle[found++] = v[k];
      }
    }
  }
  w.sum = total(sum);
  w.positions = total(positions);
  return w;
}

// Values that are whole hundredths or thousandths sort by counting their k, when the k span
// a range not much wider than the series. Sets `equal` when every value is the same.
bool count_sorted(std::span<const float> x, float per_unit, float unit, std::vector<float>& keys,
                  std::vector<std::int32_t>& indices, std::vector<std::uint16_t>& counts,
                  OrderFigures& order, bool& equal) {
  static_assert(kMaxValuesCounted <= UINT16_MAX);
  const std::size_t n = x.size();
  if (n > kMaxValuesCounted) return false;
  if (keys.size() < n) {
    keys.resize(n);
    indices.resize(n);
  }
  float low = 0, high = 0;
  if (!whole_units(x.data(), n, per_unit, unit, keys.data(), low, high)) return false;
  const auto base = static_cast<std::int32_t>(low);
  const auto range = static_cast<std::size_t>(static_cast<std::int32_t>(high) - base) + 1;
  if (range > 8 * n + 256) return false;
  equal = range == 1;
  const std::size_t blocks = (range + 7) / 8;
  if (counts.size() < 8 * blocks) counts.resize(8 * blocks);  // zero, and left zero
  std::int32_t* index = indices.data();
  const float* key = keys.data();
  for (std::size_t i = 0; i < n; ++i) index[i] = static_cast<std::int32_t>(key[i]) - base;
  std::uint16_t* count = counts.data();
  for (std::size_t i = 0; i < n; ++i) ++count[index[i]];
  const CountWalk w = walk_counts(count, blocks, base, unit, static_cast<std::int32_t>(n));
  std::memset(count, 0, 8 * blocks * sizeof *count);
  order.sum = w.sum;
  order.cumulative = static_cast<double>(n) * w.sum - w.positions - w.sum;
  order.median = (w.middle[0] + w.middle[1]) / 2;
  return true;
}

}  // namespace

SeriesStats SeriesDescriber::describe(std::span<const float> x) {
  SeriesStats stats;
  const std::size_t n = x.size();
  if (n == 0) return stats;
  const auto nd = static_cast<double>(n);
  const double c = x[0];
  const Sums s = shifted_sums(x.data(), n, c);

  OrderFigures order;
  bool equal = false;
  if (!count_sorted(x, 100.0f, 0.01f, keys_, indices_, counts_, order, equal) &&
      !count_sorted(x, 1000.0f, 0.001f, keys_, indices_, counts_, order, equal)) {
    OrderWalk walk(n);
    sorted_.assign(x.begin(), x.end());
    std::sort(sorted_.begin(), sorted_.end(),
              [](float a, float b) { return order_key(a) < order_key(b); });
    equal = sorted_.front() == sorted_.back();
    for (std::size_t i = 0; i < n;) {
      std::size_t j = i + 1;
      while (j < n && order_key(sorted_[j]) == order_key(sorted_[i])) ++j;
      walk.take(sorted_[i], static_cast<std::int64_t>(j - i));
      i = j;
    }
    order = walk.figures();
  }
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
