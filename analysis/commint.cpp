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

// The start years as the leaves of a tree: each node knows the earliest start year below it and
// the earliest sorted position that has one of its start years, and counts the series that have
// joined: a series with start index s adds one to the count of every start index from s on.
class StartTree {
 public:
  StartTree(std::span<const std::int32_t> starts, std::span<const std::size_t> first_position)
      : leaves_(std::bit_ceil(std::max<std::size_t>(starts.size(), 1))),
        earliest_(2 * leaves_, INT32_MAX),
        position_(2 * leaves_, SIZE_MAX),
        added_(2 * leaves_, 0),
        most_(2 * leaves_, 0) {
    for (std::size_t s = 0; s < starts.size(); ++s) {
      earliest_[leaves_ + s] = starts[s];
      position_[leaves_ + s] = first_position[s];
    }
    for (std::size_t v = leaves_ - 1; v > 0; --v) {
      earliest_[v] = std::min(earliest_[2 * v], earliest_[2 * v + 1]);
      position_[v] = std::min(position_[2 * v], position_[2 * v + 1]);
    }
  }

  // One more series counted at start indices s and above.
  void join(std::size_t s) {
    // The canonical nodes of [s, leaves) take the count; their ancestors take it in their most.
    std::size_t lo = s + leaves_, hi = 2 * leaves_;
    const std::size_t first_lo = lo, last_hi = hi - 1;
    while (lo < hi) {
      if (lo & 1) bump(lo++);
      if (hi & 1) bump(--hi);
      lo >>= 1;
      hi >>= 1;
    }
    refresh(first_lo);
    refresh(last_hi);
  }

  std::size_t leaves() const { return leaves_; }
  std::int32_t earliest(std::size_t v) const { return earliest_[v]; }
  std::size_t position(std::size_t v) const { return position_[v]; }
  std::int32_t added(std::size_t v) const { return added_[v]; }
  // The largest count below v, less what v's ancestors add.
  std::int32_t most(std::size_t v) const { return most_[v]; }

 private:
  void bump(std::size_t v) {
    ++added_[v];
    ++most_[v];
  }
  void refresh(std::size_t v) {
    for (v >>= 1; v > 0; v >>= 1) {
      most_[v] = added_[v] + std::max(most_[2 * v], most_[2 * v + 1]);
    }
  }

  std::size_t leaves_;
  std::vector<std::int32_t> earliest_;
  std::vector<std::size_t> position_;
  std::vector<std::int32_t> added_, most_;
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

// Where a value's five-column field falls in the byte order of such fields, as a number below
// 2^21. The field is blanks, then a token of L = 1..5 characters: "-" and digits, or digits.
// Blank < "*" < "-" < digit, so a longer token is greater; of equal length, a negative one is
// below the others, which compare as their values, and negative ones compare as their
// magnitudes. Five asterisks (a value that does not fit) come after every shorter token and
// before every token of five.
std::uint32_t field_rank(std::int32_t v) {
  if (v > 99999 || v < -9999) return (5u << 18) - 1;
  const std::uint32_t magnitude =
      v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  std::uint32_t length = v < 0 ? 2 : 1;
  for (std::uint32_t m = magnitude; m >= 10; m /= 10) ++length;
  return length << 18 | (v < 0 ? magnitude : 1u << 17 | magnitude);
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

bool fits_five_columns(std::int32_t v) { return v >= -9999 && v <= 99999; }

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
  std::vector<std::size_t> first_position(starts.size(), SIZE_MAX);
  std::vector<std::size_t> series_start(n);
  for (std::size_t p = 0; p < n; ++p) {
    const auto s = static_cast<std::size_t>(
        std::lower_bound(starts.begin(), starts.end(), first_years[p]) - starts.begin());
    series_start[p] = s;
    first_position[s] = std::min(first_position[s], p);
  }

  // Series by last year descending: as the end year falls they join the counts for good.
  std::vector<std::size_t> by_last(n);
  for (std::size_t p = 0; p < n; ++p) by_last[p] = p;
  std::sort(by_last.begin(), by_last.end(),
            [&](std::size_t a, std::size_t b) { return last_years[a] > last_years[b]; });

  // End years visited from the latest down, each once, at its first position in the list: a
  // later position of the same year has the same candidates and loses their ties.
  std::vector<std::pair<std::int32_t, std::size_t>> ends;
  ends.reserve(end_years.size());
  for (std::size_t k = 0; k < end_years.size(); ++k) ends.emplace_back(end_years[k], k);
  std::sort(ends.begin(), ends.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  ends.erase(std::unique(ends.begin(), ends.end(),
                         [](const auto& a, const auto& b) { return a.first == b.first; }),
             ends.end());

  // A candidate is a pair of an end year E (list position k) and a start index s: its product
  // is (E - start + 1) x (joined series with start index <= s), and it replaces the best when
  // its product is greater, or equal at a lower k, or at the same k at a lower first position.
  // For E, the tree is searched from its root down: a node's bound is its largest count times
  // the years from its earliest start, and a node is passed over when no candidate below it
  // could replace the best by that bound (nor by its earliest position). Which node is looked
  // at first changes what is pruned, never the best, since the order of the candidates is
  // total. Joining costs O(log S) a series for S start years; a search O(log S) for each node
  // that it opens, which on catalogues of real shape stays near the path to the best leaf.
  StartTree tree(starts, first_position);
  std::int64_t best_product = 0;
  std::size_t best_k = SIZE_MAX, best_j = SIZE_MAX;
  const auto may_replace = [&](std::int64_t bound, std::size_t k, std::size_t j) {
    return bound > best_product ||
           (bound == best_product && (k < best_k || (k == best_k && j < best_j)));
  };
  struct Open {
    std::size_t node;
    std::int32_t above;  // what the node's ancestors add to its counts
  };
  std::vector<Open> stack;
  stack.reserve(64);
  std::size_t next = 0;
  for (const auto& [end, k] : ends) {
    while (next < n && last_years[by_last[next]] >= end) tree.join(series_start[by_last[next++]]);
    const std::int64_t x = static_cast<std::int64_t>(end) + 1;
    const auto bound = [&](const Open& o) {
      const std::int64_t years = x - tree.earliest(o.node);
      const std::int64_t count = o.above + tree.most(o.node);
      return years > 0 && count > 0 ? years * count : 0;
    };
    stack.push_back({1, 0});
    while (!stack.empty()) {
      const Open o = stack.back();
      stack.pop_back();
      const std::int64_t b = bound(o);
      if (b <= 0 || !may_replace(b, k, tree.position(o.node))) continue;
      if (o.node >= tree.leaves()) {  // a start index: the bound is its product
        best_product = b;
        best_k = k;
        best_j = tree.position(o.node);
        const std::int64_t years = x - tree.earliest(o.node);
        best = Interval{tree.earliest(o.node), end, static_cast<std::int32_t>(years),
                        static_cast<std::int32_t>(b / years), b};
        continue;
      }
      const std::int32_t above = o.above + tree.added(o.node);
      const Open left{2 * o.node, above}, right{2 * o.node + 1, above};
      // The child of the greater bound goes on top, to be opened first.
      if (bound(left) > bound(right)) {
        stack.push_back(right);
        stack.push_back(left);
      } else {
        stack.push_back(left);
        stack.push_back(right);
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
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t last = static_cast<std::int64_t>(IYR[i]) + N[i] - 1;
    earliest = i == 0 ? IYR[i] : std::min<std::int64_t>(earliest, IYR[i]);
    latest = i == 0 ? last : std::max(latest, last);
  }

  // The series in descending byte order of their sort records, without writing them: the
  // records are fixed fields, so their byte order is that of the fields' ranks in turn (last
  // year, 9000 - first year, values, first year; the series count and the blanks are the same
  // in every record), then of the ID's bytes. Equal keys are equal records.
  struct Key {
    std::uint64_t fields;  // the ranks of last year, 9000 - first year and values
    std::uint64_t id;
    std::uint32_t first;  // the rank of the first year
    std::uint32_t series;
  };
  std::vector<Key> order(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t last = clamp32(static_cast<std::int64_t>(IYR[i]) + N[i] - 1);
    const std::int32_t flipped = clamp32(9000 - static_cast<std::int64_t>(IYR[i]));
    order[i] = {std::uint64_t{field_rank(last)} << 42 | std::uint64_t{field_rank(flipped)} << 21 |
                    field_rank(N[i]),
                big_endian(ID[i].data()), field_rank(IYR[i]), static_cast<std::uint32_t>(i)};
  }
  std::sort(order.begin(), order.end(), [](const Key& x, const Key& y) {
    if (x.fields != y.fields) return x.fields > y.fields;
    if (x.first != y.first) return x.first > y.first;
    return x.id > y.id;
  });

  // Read back the years of each record, and the distinct last years in sorted order. A year
  // reads back as itself when it fits its five columns; otherwise its record stands in the
  // report as written.
  std::vector<std::int32_t> first(count), last(count), end_years;
  end_years.reserve(count);
  for (std::size_t p = 0; p < count; ++p) {
    const std::size_t i = order[p].series;
    last[p] = clamp32(static_cast<std::int64_t>(IYR[i]) + N[i] - 1);
    first[p] = IYR[i];
    if (!fits_five_columns(last[p]) || !fits_five_columns(first[p])) {
      std::string record;
      append_sort_record(record, IYR[i], N[i], n, ID[i]);
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
