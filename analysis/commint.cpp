// Time span and optimum common interval of the catalogue, appended to the report as a box.
#include "analysis/commint.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/start_tournament.h"

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

// The start years in blocks of kBlock, the blocks as the leaves of a tree: each node knows the
// earliest start year below it, the earliest sorted position that has one of its start years,
// and how many of the joined series start in its blocks. The count at a start index (joined
// series that start there or before) is the count before its node plus the node's own.
constexpr std::size_t kBlock = 8;

class StartTree {
 public:
  StartTree(std::span<const std::int32_t> starts, std::span<const std::size_t> first_position)
      : leaves_(std::bit_ceil(std::max<std::size_t>((starts.size() + kBlock - 1) / kBlock, 1))),
        earliest_(2 * leaves_, INT32_MAX),
        position_(2 * leaves_, SIZE_MAX),
        joined_(2 * leaves_, 0) {
    for (std::size_t s = starts.size(); s-- > 0;) {
      earliest_[leaves_ + s / kBlock] = starts[s];
      position_[leaves_ + s / kBlock] =
          std::min(position_[leaves_ + s / kBlock], first_position[s]);
    }
    for (std::size_t v = leaves_ - 1; v > 0; --v) {
      earliest_[v] = std::min(earliest_[2 * v], earliest_[2 * v + 1]);
      position_[v] = std::min(position_[2 * v], position_[2 * v + 1]);
    }
  }

  // One more series joined, at start index s.
  void join(std::size_t s) {
    for (std::size_t v = leaves_ + s / kBlock; v > 0; v >>= 1) ++joined_[v];
  }

  std::size_t leaves() const { return leaves_; }
  // The count at the end of block b.
  std::int32_t at_block_end(std::size_t b) const {
    std::size_t v = leaves_ + b;
    std::int32_t c = joined_[v];
    for (; v > 1; v >>= 1) {
      if (v & 1) c += joined_[v - 1];
    }
    return c;
  }
  std::int32_t earliest(std::size_t v) const { return earliest_[v]; }
  std::size_t position(std::size_t v) const { return position_[v]; }
  std::int32_t joined(std::size_t v) const { return joined_[v]; }

 private:
  std::size_t leaves_;
  std::vector<std::int32_t> earliest_;
  std::vector<std::size_t> position_;
  std::vector<std::int32_t> joined_;
};

// Nodes the bounded search may open for one end year before it leaves the year to the
// tournament: a few times the tree's height.
std::size_t search_budget(std::size_t leaves) {
  return 4 * (static_cast<std::size_t>(std::bit_width(leaves)) + 1);
}

// How far below the best a search looks, as a fraction of the best (1/24): the year's
// products are then known to be below the best by about that much where they were not seen, and
// the next end years may pass the search until their joins could make up the difference.
constexpr std::int64_t kCeilingMargin = 24;

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
  const std::uint32_t length = (v < 0 ? 2u : 1u) + (magnitude >= 10) + (magnitude >= 100) +
                               (magnitude >= 1000) + (magnitude >= 10000);
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
                          std::span<const std::int32_t> end_years,
                          std::optional<std::size_t> search_limit) {
  const std::size_t n = first_years.size();
  Interval best;
  if (n == 0 || end_years.empty()) return best;

  // Years over a span of at most a few times the series are sorted by counting them.
  const auto first_range = std::minmax_element(first_years.begin(), first_years.end());
  const auto last_range = std::minmax_element(last_years.begin(), last_years.end());
  const auto first_lo = first_range.first, first_hi = first_range.second;
  const auto last_lo = last_range.first, last_hi = last_range.second;
  // (Their tables hold positions in 32 bits.)
  const auto narrow = [&](std::int32_t lo, std::int32_t hi) {
    return static_cast<std::int64_t>(hi) - lo <= 4 * static_cast<std::int64_t>(n) + 1024 &&
           n < UINT32_MAX;
  };

  // Distinct start years, ascending, each with the first sorted position that has it.
  std::vector<std::int32_t> starts;
  starts.reserve(std::min<std::size_t>(n, static_cast<std::size_t>(*first_hi - *first_lo) + 1));
  const auto series_start = std::make_unique_for_overwrite<std::size_t[]>(n);
  if (narrow(*first_lo, *first_hi)) {
    std::vector<std::uint32_t> index(static_cast<std::size_t>(*first_hi - *first_lo) + 1,
                                     UINT32_MAX);
    for (const std::int32_t y : first_years) index[static_cast<std::size_t>(y - *first_lo)] = 0;
    for (std::size_t y = 0; y < index.size(); ++y) {
      if (index[y] == UINT32_MAX) continue;
      index[y] = static_cast<std::uint32_t>(starts.size());
      starts.push_back(*first_lo + static_cast<std::int32_t>(y));
    }
    for (std::size_t p = 0; p < n; ++p) {
      series_start[p] = index[static_cast<std::size_t>(first_years[p] - *first_lo)];
    }
  } else {
    starts.assign(first_years.begin(), first_years.end());
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    for (std::size_t p = 0; p < n; ++p) {
      series_start[p] = static_cast<std::size_t>(
          std::lower_bound(starts.begin(), starts.end(), first_years[p]) - starts.begin());
    }
  }
  std::vector<std::size_t> first_position(starts.size(), SIZE_MAX);
  for (std::size_t p = n; p-- > 0;) first_position[series_start[p]] = p;

  // Series by last year descending: as the end year falls they join the counts for good. End
  // years visited from the latest down, each once, at its first position in the list: a later
  // position of the same year has the same candidates and loses their ties.
  const auto by_last = std::make_unique_for_overwrite<std::size_t[]>(n);
  std::vector<std::pair<std::int32_t, std::size_t>> ends;
  ends.reserve(end_years.size());
  // (The end years are last years; an end year that is none takes the other way.)
  if (narrow(*last_lo, *last_hi) &&
      std::all_of(end_years.begin(), end_years.end(),
                  [&](std::int32_t y) { return y >= *last_lo && y <= *last_hi; })) {
    const auto slot = [&](std::int32_t y) { return static_cast<std::size_t>(*last_hi - y); };
    std::vector<std::uint32_t> at(slot(*last_lo) + 2, 0);  // series before each last year
    for (const std::int32_t y : last_years) ++at[slot(y) + 1];
    for (std::size_t i = 1; i < at.size(); ++i) at[i] += at[i - 1];
    std::vector<std::size_t> first_k(at.size(), SIZE_MAX);
    for (std::size_t p = 0; p < n; ++p) by_last[at[slot(last_years[p])]++] = p;
    for (std::size_t k = end_years.size(); k-- > 0;) first_k[slot(end_years[k])] = k;
    for (std::size_t i = 0; i <= slot(*last_lo); ++i) {
      if (first_k[i] != SIZE_MAX) {
        ends.emplace_back(*last_hi - static_cast<std::int32_t>(i), first_k[i]);
      }
    }
  } else {
    for (std::size_t p = 0; p < n; ++p) by_last[p] = p;
    std::sort(by_last.get(), by_last.get() + n,
              [&](std::size_t a, std::size_t b) { return last_years[a] > last_years[b]; });
    for (std::size_t k = 0; k < end_years.size(); ++k) ends.emplace_back(end_years[k], k);
    std::sort(ends.begin(), ends.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    ends.erase(std::unique(ends.begin(), ends.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               ends.end());
  }

  // A candidate is a pair of an end year E (list position k) and a start index s: its product
  // is (E - start + 1) x (joined series with start index <= s), and it replaces the best when
  // its product is greater, or equal at a lower k, or at the same k at a lower first position.
  // For E, the tree is searched from its root down: a node's bound is the count at its end (at
  // most the series through E) times the years from its earliest start; no candidate below it
  // has more, so a node is passed over when its bound could not replace the best (nor its
  // earliest position break a tie). Which node is opened first changes what is pruned, never
  // the best, since the order of the candidates is total. When that search has opened its
  // budget of nodes for E, E's best is the tournament's instead, and so is that of the next
  // end year, the next 2, 4, ... after each overrun in a row: where the bound is loose for long
  // stretches (series of one length in a staircase), the tournament takes them.
  //
  // An end year is passed over altogether when its ceiling, a bound on its products, is below
  // the best. For a start s and end years E' > E (x' = E' + 1 > x = E + 1), with the series J
  // that joined in between: count(s, E) (x - s) = count(s, E') (x - s) + |{j in J: f_j <= s}|
  // (x - s) <= product(s, E') + sum over J of max(0, x - f_j). So the ceiling of E is that of E'
  // plus that sum, and after a search of E' it is the greatest product seen or bound of a node
  // passed over; after the tournament, its best.
  //
  // Cost, for S start years, D end years and n series: O(n log S) to join the series and
  // O(D log S) for the searches' budgets. The tournament, if it is asked at all, adds O(log S)
  // for each node a join passed through (O(n log S)) or an alarm reached. A node turns to its
  // right child only on a join's path and back at most once for each such turn, so the nodes'
  // bests change O((S + n log S) log S) times in all, and each pair of a node's children's
  // bests is alarmed O(log(n x years)) times, each alarm reached in O(log S). At the very worst
  // that is O(D log S + (S + n log S) log^2 S log(n x years)), against O(D x S) for the search
  // alone.
  StartTree tree(starts, first_position);
  StartTournament tournament(starts, first_position);
  // The start index of each series, in joining order.
  const auto join_start = std::make_unique_for_overwrite<std::size_t[]>(n);
  const std::size_t budget = search_limit.value_or(search_budget(tree.leaves()));
  std::size_t skip = 0, backoff = 1;  // end years left to the tournament after an overrun
  std::int64_t best_product = 0;
  std::size_t best_k = SIZE_MAX, best_j = SIZE_MAX;
  const auto may_replace = [&](std::int64_t bound, std::size_t k, std::size_t j) {
    return bound > best_product ||
           (bound == best_product && (k < best_k || (k == best_k && j < best_j)));
  };
  struct Open {
    std::size_t node;
    std::int32_t before;  // the count before the node's first start index
    std::int64_t bound;
  };
  // A node opened pushes its two children: the stack holds at most one node a level and one.
  std::array<Open, 66> stack;
  std::size_t depth = 0;
  std::vector<std::int32_t> joined_at(starts.size(), 0);  // series joined by start index
  std::size_t next = 0, upper = starts.size();
  std::int64_t ceiling = INT64_MAX / 4;  // no product of the end year is more
  for (const auto& [end_year, end_k] : ends) {
    const std::int32_t end = end_year;
    const std::size_t k = end_k;
    const std::int64_t x = static_cast<std::int64_t>(end) + 1;
    for (; next < n && last_years[by_last[next]] >= end; ++next) {
      const std::size_t s = series_start[by_last[next]];
      ++joined_at[s];
      tree.join(s);
      join_start[next] = s;
      ceiling += std::max<std::int64_t>(0, x - starts[s]);
    }
    while (upper > 0 && starts[upper - 1] > end) --upper;
    if (upper == 0 || ceiling < best_product) continue;
    // The series that run through the end year: the count at its last start index, and no
    // start index of a candidate has more.
    std::int64_t covering = tree.at_block_end((upper - 1) / kBlock);
    for (std::size_t s = upper; s < std::min(starts.size(), (upper - 1) / kBlock * kBlock + kBlock);
         ++s) {
      covering -= joined_at[s];
    }
    // The search also opens the nodes that could reach `floor`, so that the year's products
    // are known to be below it where they were not seen.
    const std::int64_t floor = best_product - best_product / kCeilingMargin;
    std::int64_t seen = 0;  // the greatest product seen, or bound of a node passed over
    // Start index s with its count, as a candidate.
    const auto offer = [&](std::size_t s, std::int64_t count) {
      const std::int64_t years = x - starts[s];
      const std::int64_t product = years * count;
      seen = std::max(seen, product);  // (no more than 0 when years <= 0)
      if (years <= 0 || product <= 0 || !may_replace(product, k, first_position[s])) return;
      best_product = product;
      best_k = k;
      best_j = first_position[s];
      best = Interval{starts[s], end, static_cast<std::int32_t>(years),
                      static_cast<std::int32_t>(count), product};
    };
    // Pushes node v when a candidate below it might replace the best.
    const auto open = [&](std::size_t v, std::int32_t before) {
      const std::int64_t years = x - tree.earliest(v);
      const std::int64_t count = std::min<std::int64_t>(before + tree.joined(v), covering);
      const std::int64_t bound = years * count;
      if (years > 0 && count > 0 && (bound >= floor || may_replace(bound, k, tree.position(v)))) {
        stack[depth++] = {v, before, bound};
      } else {
        seen = std::max(seen, bound);
      }
    };
    std::size_t opened = 0;
    const bool search = skip == 0;
    if (search) open(1, 0);
    if (!search) --skip;
    while (depth > 0 && opened++ < budget) {
      const Open o = stack[--depth];
      if (o.bound < floor && !may_replace(o.bound, k, tree.position(o.node))) {
        seen = std::max(seen, o.bound);
        continue;
      }
      if (o.node >= tree.leaves()) {  // a block: its start indices one by one, from its end
        const std::size_t lo = (o.node - tree.leaves()) * kBlock;
        std::int64_t count = o.before + tree.joined(o.node);
        for (std::size_t s = std::min(lo + kBlock, starts.size()); s-- > lo;) {
          const std::int64_t count_here = count;
          count -= joined_at[s];
          offer(s, count_here);
        }
        continue;
      }
      // The right child first, so that the left one, of more years, is opened first.
      const std::size_t left = 2 * o.node;
      open(left + 1, o.before + tree.joined(left));
      open(left, o.before);
    }
    if (search && depth == 0) {
      backoff = 1;
      ceiling = seen;
      continue;
    }
    if (search) {  // over its budget: the next end years go straight to the tournament
      skip = backoff;
      backoff = std::min<std::size_t>(2 * backoff, 1024);
    }
    depth = 0;
    tournament.refresh(x, std::span<const std::size_t>(join_start.get(), next));
    const auto s = static_cast<std::size_t>(tournament.best());
    offer(s, tournament.best_count());
    ceiling = std::max<std::int64_t>(0, (x - starts[s]) * tournament.best_count());
  }
  return best;
}

std::optional<Interval> Commint(std::int32_t capacity, std::span<const std::int32_t> IYR,
                                std::span<const std::array<char, 8>> ID,
                                std::span<const std::int32_t> N, std::int32_t n, Sink& report,
                                Sink& console) {
  n = std::clamp(n, 0, capacity);
  const auto count = static_cast<std::size_t>(n);

  // The series in descending byte order of their sort records, without writing them: the
  // records are fixed fields, so their byte order is that of the fields' ranks in turn (last
  // year, 9000 - first year, values, first year; the series count and the blanks are the same
  // in every record), then of the ID's bytes. Equal keys are equal records.
  struct Key {
    std::uint64_t fields;  // the ranks of last year, 9000 - first year and values
    std::size_t series;
  };
  // Equal fields mostly mean equal first years, so the first years' ranks are taken only when
  // they differ, and the IDs only then.
  const auto descending = [&](const Key& x, const Key& y) {
    if (x.fields != y.fields) return x.fields > y.fields;
    const std::int32_t x_first = IYR[x.series], y_first = IYR[y.series];
    if (x_first != y_first) return field_rank(x_first) > field_rank(y_first);
    return big_endian(ID[x.series].data()) > big_endian(ID[y.series].data());
  };
  auto order = std::make_unique_for_overwrite<Key[]>(count);
  // The time span, from the series' own years, on the way.
  std::int64_t earliest = count > 0 ? IYR[0] : 0;
  std::int64_t latest = count > 0 ? static_cast<std::int64_t>(IYR[0]) + N[0] - 1 : 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t own_last = static_cast<std::int64_t>(IYR[i]) + N[i] - 1;
    earliest = std::min<std::int64_t>(earliest, IYR[i]);
    latest = std::max(latest, own_last);
    const std::int32_t last = clamp32(own_last);
    const std::int32_t flipped = clamp32(9000 - static_cast<std::int64_t>(IYR[i]));
    order[i] = {std::uint64_t{field_rank(last)} << 42 | std::uint64_t{field_rank(flipped)} << 21 |
                    field_rank(N[i]),
                i};
  }
  // By the last year's rank first (the fields' top 21 bits), in a stable radix sort of 11 bits
  // at a time that passes over a digit every key shares; then each run of one last year on its
  // own.
  auto other = std::make_unique_for_overwrite<Key[]>(count);
  for (const int shift : {42, 53}) {
    const auto digit = [&](const Key& key) { return (~key.fields >> shift) & 2047; };
    std::array<std::size_t, 2048> at{};
    for (std::size_t i = 0; i < count; ++i) ++at[digit(order[i])];
    if (count == 0 || at[digit(order[0])] == count) continue;
    std::size_t sum = 0;
    for (std::size_t& a : at) sum += std::exchange(a, sum);
    for (std::size_t i = 0; i < count; ++i) other[at[digit(order[i])]++] = order[i];
    order.swap(other);
  }
  for (std::size_t run = 0; run < count;) {
    std::size_t end = run + 1;
    while (end < count && order[end].fields >> 42 == order[run].fields >> 42) ++end;
    if (end - run > 1) std::sort(order.get() + run, order.get() + end, descending);
    run = end;
  }

  // Read back the years of each record, and the distinct last years in sorted order. A year
  // reads back as itself when it fits its five columns; otherwise its record stands in the
  // report as written.
  const auto first = std::make_unique_for_overwrite<std::int32_t[]>(count);
  const auto last = std::make_unique_for_overwrite<std::int32_t[]>(count);
  std::vector<std::int32_t> end_years;
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

  const Interval best = optimum_interval({first.get(), count}, {last.get(), count}, end_years);
  const Value values[] = {clamp32(earliest), clamp32(latest), n,           best.start,
                          best.end,          best.years,      best.series, clamp32(best.rings)};
  write_layout(report, box_layout(), values);
  return best;
}

}  // namespace corvane
