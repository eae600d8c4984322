// Time span and optimum common interval of the catalogue, appended to the report as a box.
#include "analysis/commint.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

namespace corvane {

namespace {

std::int32_t clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// A record's last year (columns 1-5) and first year (columns 16-20), read back by the integer
// field rule: a year that did not fit its five columns left asterisks and fails.
bool read_back(std::string_view record, std::int32_t& last, std::int32_t& first) {
  return parse_integer_field(record.substr(0, 5), last) &&
         parse_integer_field(record.substr(15, 5), first);
}

// One line of the box per source line.
// clang-format off
const Layout& box_layout() {
  static const std::string stars(42, '*');
  static const Layout layout{
      line_break(),
      blanks(3), literal(stars), line_break(),
      blanks(2), literal(" **  Time span of chronology: "), integer(5), literal(" to"), integer(5),
      line_break(),
      blanks(2), literal(" **  Number of series in chronology: "), integer(6), line_break(),
      blanks(2), literal(" **  Optimum common interval: "), integer(5), literal(" to"), integer(5),
      line_break(),
      blanks(2), literal(" **  Number of years included: "), integer(12), line_break(),
      blanks(2), literal(" **  Number of Series included:     "), integer(7), line_break(),
      blanks(2), literal(" **  Number of rings:               "), integer(7), line_break(),
      blanks(3), literal(stars)};
  return layout;
}
// clang-format on

// Counts of added series by start index, with prefix sums in logarithmic time.
class Fenwick {
 public:
  explicit Fenwick(std::size_t n) : tree_(n + 1, 0) {}
  void add(std::size_t i) {
    for (++i; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  std::int64_t prefix(std::size_t i) const {  // sum of [0, i]
    std::int64_t s = 0;
    for (++i; i > 0; i -= i & (~i + 1)) s += tree_[i];
    return s;
  }

 private:
  std::vector<std::int32_t> tree_;
};

}  // namespace

namespace {

// Appends the 40 characters of a sort record.
void append_sort_record(std::string& s, std::int32_t first_year, std::int32_t values,
                        std::int32_t series, std::span<const char, 8> id) {
  const std::int64_t last = static_cast<std::int64_t>(first_year) + values - 1;
  format_integer(s, clamp32(last), 5);
  format_integer(s, clamp32(9000 - static_cast<std::int64_t>(first_year)), 5);
  format_integer(s, values, 5);
  format_integer(s, first_year, 5);
  format_integer(s, series, 5);
  s.append(2, ' ');
  s.append(id.data(), id.size());
  s.append(5, ' ');
}

// Eight bytes of text as a number that compares as the bytes do.
std::uint64_t big_endian(const char* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) {
    v = ((v & 0x00000000FFFFFFFFULL) << 32) | ((v & 0xFFFFFFFF00000000ULL) >> 32);
    v = ((v & 0x0000FFFF0000FFFFULL) << 16) | ((v & 0xFFFF0000FFFF0000ULL) >> 16);
    v = ((v & 0x00FF00FF00FF00FFULL) << 8) | ((v & 0xFF00FF00FF00FF00ULL) >> 8);
  }
  return v;
}

}  // namespace

Interval optimum_interval(std::span<const std::int32_t> first_years,
                          std::span<const std::int32_t> last_years,
                          std::span<const std::int32_t> end_years) {
  const std::size_t n = first_years.size();
  Interval best;
  if (n == 0 || end_years.empty()) return best;

  // Distinct start years, ascending, each with the first sorted position that has it.
  std::vector<std::int32_t> starts(first_years.begin(), first_years.end());
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  const auto start_index = [&](std::int32_t year) {
    return static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), year) -
                                    starts.begin());
  };
  std::vector<std::size_t> first_position(starts.size(), SIZE_MAX);
  std::vector<std::size_t> series_start(n);
  for (std::size_t p = 0; p < n; ++p) {
    const std::size_t s = start_index(first_years[p]);
    series_start[p] = s;
    first_position[s] = std::min(first_position[s], p);
  }

  // Series by last year descending: as the end year falls they join the counts for good.
  std::vector<std::size_t> by_last(n);
  for (std::size_t p = 0; p < n; ++p) by_last[p] = p;
  std::sort(by_last.begin(), by_last.end(),
            [&](std::size_t a, std::size_t b) { return last_years[a] > last_years[b]; });

  // End years visited from the latest down; ties go by their position in the list.
  std::vector<std::pair<std::int32_t, std::size_t>> ends;
  ends.reserve(end_years.size());
  for (std::size_t k = 0; k < end_years.size(); ++k) ends.emplace_back(end_years[k], k);
  std::sort(ends.begin(), ends.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });

  std::int64_t best_product = 0;
  std::size_t best_k = SIZE_MAX, best_j = SIZE_MAX;
  // Whether a candidate bounded by `bound` at list position k could still replace the best.
  const auto may_improve = [&](std::int64_t bound, std::size_t k) {
    return bound > 0 && (bound > best_product || (bound == best_product && k <= best_k));
  };

  Fenwick counts(starts.size());
  std::vector<std::int32_t> count_at(starts.size(), 0);
  std::size_t lowest = SIZE_MAX;  // lowest start index among the series joined so far
  std::size_t next = 0;
  for (const auto& [end, k] : ends) {
    while (next < n && last_years[by_last[next]] >= end) {
      const std::size_t s = series_start[by_last[next++]];
      counts.add(s);
      ++count_at[s];
      lowest = std::min(lowest, s);
    }
    if (lowest == SIZE_MAX) continue;
    // Start years after the end year give no years.
    const auto upper = std::upper_bound(starts.begin(), starts.end(), end) - starts.begin();
    if (upper == 0 || static_cast<std::size_t>(upper) <= lowest) continue;
    const auto highest = static_cast<std::size_t>(upper - 1);
    const std::int64_t covering = counts.prefix(highest);  // series that run through `end`
    if (covering == 0) continue;
    const std::int64_t longest = static_cast<std::int64_t>(end) - starts[lowest] + 1;
    if (!may_improve(longest * covering, k)) continue;

    std::int64_t covered = 0;
    for (std::size_t s = lowest; s <= highest; ++s) {
      const std::int64_t years = static_cast<std::int64_t>(end) - starts[s] + 1;
      if (!may_improve(years * covering, k)) break;  // later starts give fewer years
      covered += count_at[s];
      if (covered == 0) continue;
      const std::int64_t product = years * covered;
      const std::size_t j = first_position[s];
      if (product > best_product ||
          (product == best_product && (k < best_k || (k == best_k && j < best_j)))) {
        best_product = product;
        best_k = k;
        best_j = j;
        best = Interval{starts[s], end, static_cast<std::int32_t>(years),
                        static_cast<std::int32_t>(covered), product};
      }
    }
  }
  return best;
}

std::optional<Interval> Commint(std::int32_t capacity, std::span<const std::int32_t> IYR,
                                std::span<const std::array<char, 8>> ID,
                                std::span<const std::int32_t> N, std::int32_t n, Sink& report,
                                Sink& console) {
  n = std::clamp(n, 0, capacity);
  const auto count = static_cast<std::size_t>(n);

  // Time span, from the first series' own years.
  std::int64_t earliest = 0, latest = 0;
  std::string text;  // the records, 40 characters each
  text.reserve(count * 40);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t last = static_cast<std::int64_t>(IYR[i]) + N[i] - 1;
    earliest = i == 0 ? IYR[i] : std::min<std::int64_t>(earliest, IYR[i]);
    latest = i == 0 ? last : std::max(latest, last);
    append_sort_record(text, IYR[i], N[i], n, ID[i]);
  }

  // Descending byte order of the records' text, compared as five big-endian words. The first
  // two decide most comparisons; series with the same years go on to the rest (their IDs).
  struct Key {
    std::uint64_t a, b;
    std::uint32_t record;
  };
  std::vector<Key> order(count);
  for (std::size_t i = 0; i < count; ++i) {
    order[i] = {big_endian(&text[i * 40]), big_endian(&text[i * 40 + 8]),
                static_cast<std::uint32_t>(i)};
  }
  std::sort(order.begin(), order.end(), [&](const Key& x, const Key& y) {
    if (x.a != y.a) return x.a > y.a;
    if (x.b != y.b) return x.b > y.b;
    for (std::size_t at = 16; at < 40; at += 8) {
      const std::uint64_t u = big_endian(&text[std::size_t{x.record} * 40 + at]);
      const std::uint64_t v = big_endian(&text[std::size_t{y.record} * 40 + at]);
      if (u != v) return u > v;
    }
    return false;
  });

  // Read back the years of each record, and the distinct last years in sorted order.
  std::vector<std::int32_t> first(count), last(count), end_years;
  end_years.reserve(count);
  for (std::size_t p = 0; p < count; ++p) {
    const std::string_view record(&text[std::size_t{order[p].record} * 40], 40);
    if (!read_back(record, last[p], first[p])) {
      write_free_form(report, record);
      write_free_form(console, "error reading sqc)");
      return std::nullopt;
    }
    if (end_years.empty() || last[p] != end_years.back()) end_years.push_back(last[p]);
  }

  const Interval best = optimum_interval(first, last, end_years);
  const Value values[] = {clamp32(earliest), clamp32(latest), n,           best.start,
                          best.end,          best.years,      best.series, clamp32(best.rings)};
  write_layout(report, box_layout(), values);
  return best;
}

}  // namespace corvane
