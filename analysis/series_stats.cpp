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
using Double8 = double __attribute__((vector_size(64)));

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

// Four pairs (x(t), x(t+1)) at a time, each value with the one after it, eight values widened
// in one go (a wider conversion than four makes fewer instructions); the last values one by
// one. The lanes take the same values in the same order however many are widened at once. A
// pair of sum 0 counts 0 without a branch: its quotient is cleared. Compiled for the
// processor's widest vectors, chosen when the program starts.
__attribute__((target_clones("avx2", "default"))) Sums shifted_sums(const float* x, std::size_t n,
                                                                    double c) {
  const Double4 shift = {c, c, c, c};
  const Mask4 magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
  // Half of each sensitivity: doubling the sum at the end is exact, as doubling each one is.
  Double4 s1{}, s2{}, s3{}, s4{}, lag{}, half_sens{};
  const auto step = [&](const Double4& a, const Double4& b) {
    const Double4 u = a - shift, v = b - shift, u2 = u * u;
    s1 += u;
    s2 += u2;
    s3 += u2 * u;
    s4 += u2 * u2;
    lag += u * v;
    const Double4 sum = a + b;
    const Double4 q = (b - a) / sum;  // not finite where sum is 0, and cleared there
    half_sens += reinterpret_cast<Double4>(reinterpret_cast<Mask4>(q) & magnitude & ~(sum == 0.0));
  };
  std::size_t i = 0;
  for (; i + 8 < n; i += 8) {
    Float8 here, next;
    load(here, x + i);
    load(next, x + i + 1);
    const Double8 a = __builtin_convertvector(here, Double8);
    const Double8 b = __builtin_convertvector(next, Double8);
    step(__builtin_shufflevector(a, a, 0, 1, 2, 3), __builtin_shufflevector(b, b, 0, 1, 2, 3));
    step(__builtin_shufflevector(a, a, 4, 5, 6, 7), __builtin_shufflevector(b, b, 4, 5, 6, 7));
  }
  for (; i + 4 < n; i += 4) {
    Float4 here, next;
    load(here, x + i);
    load(next, x + i + 1);
    step(__builtin_convertvector(here, Double4), __builtin_convertvector(next, Double4));
  }
  Sums r{total(s1), total(s2), total(s3), total(s4), total(lag), 2.0 * total(half_sens)};
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
// (float(k) times the unit) with |k| below 2^22; the k go to `keys`, with their least and
// greatest. Adding and taking away 1.5 * 2^23 rounds a float below 2^22 in magnitude to an
// integer; NaN and infinities fail, and their keys are 0.
__attribute__((target_clones("avx2", "default"))) bool whole_units(const float* x, std::size_t n,
                                                                   float per_unit, float unit,
                                                                   std::int32_t* keys, float& low,
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
    const Mask8 whole = (k * unit == v) & (size < kBound);
    exact &= whole;
    const Mask8 key = __builtin_convertvector(
        reinterpret_cast<Float8>(reinterpret_cast<Mask8>(k) & whole), Mask8);
    std::memcpy(keys + i, &key, sizeof key);
    lo = k < lo ? k : lo;
    hi = k > hi ? k : hi;
  }
  bool all = true;
  for (int k = 0; k < 8; ++k) all = all && exact[k] != 0;
  low = lo[0];
  high = hi[0];
  for (int k = 1; k < 8; ++k) {
    low = std::min(low, lo[k]);
    high = std::max(high, hi[k]);
  }
  for (; i < n; ++i) {
    const float scaled = x[i] * per_unit;
    const float k = (scaled + kRound) - kRound;
    const bool whole = k * unit == x[i] && std::fabs(scaled) < kBound;
    all = all && whole;
    keys[i] = whole ? static_cast<std::int32_t>(k) : 0;
    low = std::min(low, k);
    high = std::max(high, k);
  }
  return all;
}

// The walk over counted values, eight counts at a time: for each value `value[k]` of count c,
// its c positions from `seen` on (the values below it) weigh it in the sum of each value times
// its position; and the middle values are taken where the positions pass them. `count` and
// `value` hold a multiple of 8 entries, the counts past the values 0. The counts and the
// positions up to a value fit 16 bits (at most kMaxValuesCounted, twice that for the sum of a
// value's first and last positions); the sum of a value's positions fits 32.
struct CountWalk {
  double sum = 0, positions = 0;
  double middle[2] = {0, 0};
};

__attribute__((target_clones("avx2", "default"))) CountWalk walk_counts(const std::uint16_t* count,
                                                                        const double* value,
                                                                        std::size_t blocks,
                                                                        std::int32_t n) {
  using Short8 = std::uint16_t __attribute__((vector_size(16)));
  using Int4 = std::int32_t __attribute__((vector_size(16)));
  static_assert(2 * kMaxValuesCounted < UINT16_MAX);
  const Short8 zero{};
  const Short8 one = {1, 1, 1, 1, 1, 1, 1, 1};
  // Positions n/2 - 1 and n/2 when n is even, n/2 twice when it is odd.
  const std::int32_t middle_at[2] = {n % 2 == 0 ? n / 2 - 1 : n / 2, n / 2};
  int found = 0;
  Double4 sum{}, positions{};
  Short8 seen{};  // the values before this block, in every lane
  CountWalk w;
  // acc += v * i, the four integers widened to doubles.
  const auto add = [](Double4& acc, const Double4& v, const Int4& i) {
    const Double4 wide = {static_cast<double>(i[0]), static_cast<double>(i[1]),
                          static_cast<double>(i[2]), static_cast<double>(i[3])};
    acc += v * wide;
  };
  for (std::size_t block = 0; block < blocks; ++block) {
    Short8 c;
    std::memcpy(&c, count + 8 * block, sizeof c);
    // Counts up to each value, its own included.
    Short8 upto = c + __builtin_shufflevector(zero, c, 7, 8, 9, 10, 11, 12, 13, 14);
    upto += __builtin_shufflevector(zero, upto, 6, 7, 8, 9, 10, 11, 12, 13);
    upto += __builtin_shufflevector(zero, upto, 4, 5, 6, 7, 8, 9, 10, 11);
    upto += seen;
    // The c positions of a value run from upto - c to upto - 1: they add up to c (2 upto - c
    // - 1) / 2. Where c is 0 the factor may wrap, and the product is 0 all the same.
    const Short8 span = upto + upto - c - one;
    const auto low = [&zero](const Short8& v) {
      return reinterpret_cast<Int4>(__builtin_shufflevector(v, zero, 0, 8, 1, 9, 2, 10, 3, 11));
    };
    const auto high = [&zero](const Short8& v) {
      return reinterpret_cast<Int4>(__builtin_shufflevector(v, zero, 4, 12, 5, 13, 6, 14, 7, 15));
    };
    const Int4 c_low = low(c), c_high = high(c);
    const Int4 at_low = (c_low * low(span)) >> 1, at_high = (c_high * high(span)) >> 1;
    Double4 v_low, v_high;
    std::memcpy(&v_low, value + 8 * block, sizeof v_low);
    std::memcpy(&v_high, value + 8 * block + 4, sizeof v_high);
    add(sum, v_low, c_low);
    add(positions, v_low, at_low);
    add(sum, v_high, c_high);
    add(positions, v_high, at_high);
    seen = __builtin_shufflevector(upto, upto, 7, 7, 7, 7, 7, 7, 7, 7);
    if (found < 2 && seen[0] > middle_at[found]) [[unlikely]] {
      for (int k = 0; k < 8 && found < 2; ++k) {
        while (found < 2 && upto[k] > middle_at[found])
          w.middle[found++] = value[8 * block + static_cast<std::size_t>(k)];
      }
    }
  }
  w.sum = total(sum);
  w.positions = total(positions);
  return w;
}

}  // namespace

// The values float(k) * unit, widened, for the keys k the last series sorted by counting
// needed, with room around them: the next series of a file mostly finds its keys there.
const double* SeriesDescriber::ValueTable::values(std::int32_t base, std::size_t count,
                                                  float unit) {
  constexpr std::int32_t kRoom = 4096;
  const auto end = base + static_cast<std::int32_t>(count);
  if (unit != unit_ || base < first_ || end > first_ + static_cast<std::int32_t>(value_.size())) {
    unit_ = unit;
    first_ = base - kRoom;
    value_.resize(count + 2 * kRoom);
    for (std::size_t i = 0; i < value_.size(); ++i) {
      value_[i] = static_cast<float>(first_ + static_cast<std::int32_t>(i)) * unit;
    }
  }
  return value_.data() + (base - first_);
}

namespace {

// Values that are whole hundredths or thousandths sort by counting their k, when the k span
// a range not much wider than the series. Sets `equal` when every value is the same.
bool count_sorted(std::span<const float> x, float per_unit, float unit,
                  std::vector<std::int32_t>& keys, std::vector<std::uint16_t>& counts,
                  SeriesDescriber::ValueTable& table, OrderFigures& order, bool& equal) {
  static_assert(kMaxValuesCounted <= UINT16_MAX);
  const std::size_t n = x.size();
  if (n > kMaxValuesCounted) return false;
  if (keys.size() < n) keys.resize(n);
  float low = 0, high = 0;
  if (!whole_units(x.data(), n, per_unit, unit, keys.data(), low, high)) return false;
  const auto base = static_cast<std::int32_t>(low);
  const auto range = static_cast<std::size_t>(static_cast<std::int32_t>(high) - base) + 1;
  if (range > 8 * n + 256) return false;
  equal = range == 1;
  const std::size_t blocks = (range + 7) / 8;
  if (counts.size() < 8 * blocks) counts.resize(8 * blocks);  // zero, and left zero
  std::uint16_t* count = counts.data();
  const std::int32_t* key = keys.data();
  // The keys are at least `base`: their distance from it is a count's index as it stands.
#pragma GCC unroll 4
  for (std::size_t i = 0; i < n; ++i) ++count[static_cast<std::uint32_t>(key[i] - base)];
  const CountWalk w = walk_counts(count, table.values(base, 8 * blocks, unit), blocks,
                                  static_cast<std::int32_t>(n));
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
  if (!count_sorted(x, 100.0f, 0.01f, keys_, counts_, hundredths_, order, equal) &&
      !count_sorted(x, 1000.0f, 0.001f, keys_, counts_, thousandths_, order, equal)) {
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
