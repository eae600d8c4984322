// Tests of the common-interval summary: worked cases, overflow paths, and the fast search
// against the search exactly as first written, on thousands of random catalogues.
#include "analysis/commint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/generate.h"
#include "report_text.h"

namespace corvane {
namespace {

using testing::box;

struct StringSink : Sink {
  void put(std::string_view t) override { text += t; }
  std::string text;
};

struct Catalogue {
  std::vector<std::int32_t> first, n;
  std::vector<std::array<char, 8>> id;
  void add(std::string_view name, std::int32_t iyr, std::int32_t values) {
    std::array<char, 8> a;
    a.fill(' ');
    std::memcpy(a.data(), name.data(), std::min<std::size_t>(name.size(), 8));
    id.push_back(a);
    first.push_back(iyr);
    n.push_back(values);
  }
  std::int32_t size() const { return static_cast<std::int32_t>(first.size()); }
};

struct Output {
  std::string report, console;
};

Output run(const Catalogue& c) {
  StringSink report, console;
  Commint(15000, c.first, c.id, c.n, c.size(), report, console);
  return {report.text, console.text};
}

// The summary as first written: records written, sorted in descending byte order,
// read back, and every (end year, sorted position) pair counted with a full pass. Kept here
// only, as the reference for the program's faster search.
Output literal_commint(const Catalogue& c) {
  const auto n = static_cast<std::size_t>(c.size());
  Output out;
  long earliest = n ? c.first[0] : 0, latest = n ? c.first[0] + c.n[0] - 1 : 0;
  std::vector<std::string> records;
  const auto field = [](long v) {
    char b[16];
    if (v > 99999 || v < -9999) return std::string("*****");
    std::snprintf(b, sizeof b, "%5ld", v);
    return std::string(b);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const long iyr = c.first[i], lyr = iyr + c.n[i] - 1;
    earliest = std::min(earliest, iyr);
    latest = std::max(latest, lyr);
    records.push_back(field(lyr) + field(9000 - iyr) + field(c.n[i]) + field(iyr) +
                      field(static_cast<long>(n)) + "  " + std::string(c.id[i].data(), 8) +
                      "     ");
  }
  std::sort(records.begin(), records.end(), [](const std::string& a, const std::string& b) {
    return std::memcmp(a.data(), b.data(), 40) > 0;
  });
  std::vector<long> first(n), last(n), ends;
  for (std::size_t p = 0; p < n; ++p) {
    const std::string a = records[p].substr(0, 5), b = records[p].substr(15, 5);
    if (a.find('*') != std::string::npos || b.find('*') != std::string::npos) {
      out.report = " " + records[p] + "\n";
      out.console = " error reading sqc)\n";
      return out;
    }
    last[p] = std::stol(a);
    first[p] = std::stol(b);
    if (ends.empty() || last[p] != ends.back()) ends.push_back(last[p]);
  }
  long best = 0, bs = 0, be = 0, by = 0, bk = 0;
  for (const long e : ends) {
    for (std::size_t j = 0; j < n; ++j) {
      const long s = first[j], y = e - s + 1;
      long k = 0;
      for (std::size_t i = 0; i < n; ++i) k += first[i] <= s && last[i] >= e;
      if (y * k > best) {
        best = y * k;
        bs = s;
        be = e;
        by = y;
        bk = k;
      }
    }
  }
  out.report = box(earliest, latest, static_cast<long>(n), bs, be, by, bk, best);
  return out;
}

TEST(AnalysisCommint, EmptyCatalogueWritesAZeroBox) {
  const Output o = run(Catalogue{});
  EXPECT_EQ(o.report, box(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(o.console.empty());
}

TEST(AnalysisCommint, WorkedCases) {
  struct Case {
    const char* what;
    Catalogue c;
    std::string expected;
  };
  Catalogue abg, tied, dez, single, shared, empty_series, one_value;
  abg.add("ALPHA", 1900, 100);
  abg.add("BETA", 1950, 50);
  abg.add("GAMMA", 1800, 150);
  tied.add("ALPHA", 1900, 100);
  tied.add("BETA", 1950, 50);
  tied.add("GAMMA", 1800, 100);
  dez.add("DELTA", -60, 20);
  dez.add("EPSILON", 30, 30);
  dez.add("ZETA", -120, 100);
  single.add("ONLY", 1234, 321);
  for (int i = 0; i < 7; ++i) shared.add("SAME", -5, 40);
  empty_series.add("NONE", 1900, 0);
  empty_series.add("NADA", 1950, 0);
  one_value.add("V", 1900, 0);
  one_value.add("W", 1900, 1);
  const Case cases[] = {
      {"first best holds against later equal products", abg,
       box(1800, 1999, 3, 1800, 1949, 150, 1, 150)},
      {"ties go to the first candidate", tied, box(1800, 1999, 3, 1900, 1999, 100, 1, 100)},
      {"negative last years sort by text", dez, box(-120, 59, 3, -120, -21, 100, 1, 100)},
      {"a single series is its own optimum", single, box(1234, 1554, 1, 1234, 1554, 321, 1, 321)},
      {"one shared span", shared, box(-5, 34, 7, -5, 34, 40, 7, 280)},
      {"no positive product", empty_series, box(1900, 1949, 2, 0, 0, 0, 0, 0)},
      {"an empty series beside a one-value one", one_value,
       box(1900, 1900, 2, 1900, 1900, 1, 1, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run(c.c).report, c.expected);
    EXPECT_EQ(literal_commint(c.c).report, c.expected);
  }
}

TEST(AnalysisCommint, RingsBeyondSevenColumnsPrintAsterisks) {
  Catalogue c;
  for (int i = 0; i < 1001; ++i) c.add("LONG", 1, 10000);
  const Output o = run(c);
  EXPECT_NE(o.report.find("   **  Number of rings:               *******\n"), std::string::npos);
  EXPECT_NE(o.report.find("   **  Number of Series included:        1001\n"), std::string::npos);
}

TEST(AnalysisCommint, YearsBeyondFiveColumnsFailTheReadBack) {
  struct Case {
    const char* what;
    std::int32_t first, n;
  };
  const Case cases[] = {{"last year above 99999", 99990, 20},
                        {"first year below -9999", -10000, 5},
                        {"far beyond", 5000000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Catalogue cat;
    cat.add("OK", 1900, 10);
    cat.add("BAD", c.first, c.n);
    const Output o = run(cat);
    const Output expected = literal_commint(cat);
    EXPECT_EQ(o.report, expected.report);
    EXPECT_EQ(o.console, " error reading sqc)\n");
    EXPECT_EQ(o.report.find("****"), o.report.find("*****"));  // the record, no box
    EXPECT_EQ(o.report.size(), 42u);
  }
  // Two records that fail alike: the first in descending order, decided by the ID at the end of
  // the record, is the one written.
  Catalogue twins;
  twins.add("AAA", 99990, 20);
  twins.add("ZZZ", 99990, 20);
  const Output t = run(twins);
  EXPECT_EQ(t.report, literal_commint(twins).report);
  EXPECT_EQ(t.report, " **********   2099990    2  ZZZ" + std::string(10, ' ') + "\n");
  // At the first sorted position too.
  Catalogue alone;
  alone.add("HIGH", 99999, 2);
  const Output o = run(alone);
  EXPECT_EQ(o.console, " error reading sqc)\n");
  EXPECT_EQ(o.report, " **********    299999    1  HIGH" + std::string(9, ' ') + "\n");
}

TEST(AnalysisCommint, TimeSpanStartsFromTheFirstSeries) {
  // Years beyond the old starting bounds of 32000 and -32000 are reported as they are, when
  // they still read back: series ending in 33000.
  Catalogue c;
  c.add("LATE", 32990, 11);
  c.add("LATER", 32995, 6);
  EXPECT_EQ(run(c).report, box(32990, 33000, 2, 32995, 33000, 6, 2, 12));
}

// The fast search must give the very same box as the literal one, ties included.
TEST(AnalysisCommint, FastSearchMatchesTheLiteralOnRandomCatalogues) {
  std::mt19937 rng(20261208);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  for (int round = 0; round < 4000; ++round) {
    Catalogue c;
    const int shape = round % 8;
    const int n = shape == 0 ? 1 : uniform(0, 36);
    const int span_lo = uniform(-200, 100);
    for (int i = 0; i < n; ++i) {
      std::int32_t first = 0, values = 0;
      switch (shape) {
        case 1:  // few distinct first years: shared starts and many equal products
          first = span_lo + 10 * uniform(0, 3);
          values = 10 * uniform(0, 4);
          break;
        case 2:  // all on one span
          first = span_lo;
          values = 25;
          break;
        case 3:  // empty series mixed in
          first = uniform(span_lo, span_lo + 50);
          values = uniform(0, 1) ? 0 : uniform(1, 30);
          break;
        case 4:  // the odd year beyond five columns
          first = uniform(0, 9) == 0 ? (uniform(0, 1) ? -10000 - uniform(0, 50) : 99990)
                                     : uniform(-9999, 99000);
          values = uniform(0, 40);
          break;
        case 5:  // negative years around zero
          first = uniform(-60, 20);
          values = uniform(1, 50);
          break;
        default:
          first = uniform(span_lo, span_lo + 120);
          values = uniform(0, 60);
          break;
      }
      c.add(std::string("S") + static_cast<char>('A' + uniform(0, 25)), first, values);
    }
    const Output fast = run(c);
    const Output literal = literal_commint(c);
    ASSERT_EQ(fast.report, literal.report) << "round " << round;
    ASSERT_EQ(fast.console, literal.console) << "round " << round;
  }
}

// Years at the edges of the five columns, where the records' byte order leaves the order of the
// numbers (negative years, 9000 - first year below -9999, widths changing), and catalogues whose
// series spread over many more years than they last: both against the literal summary.
TEST(AnalysisCommint, FieldOrderAndSpreadYearsMatchTheLiteral) {
  std::mt19937 rng(20261209);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  const std::int32_t edges[] = {-9999, -9990, -1000, -999,  -100,  -99,   -10,   -9,    -1,
                                0,     1,     9,     10,    99,    100,   999,   1000,  8999,
                                9000,  9001,  9999,  10000, 18999, 19000, 19001, 99000, 99990};
  for (int round = 0; round < 1500; ++round) {
    Catalogue c;
    const int n = uniform(1, 30);
    const bool spread = round % 2 == 1;
    for (int i = 0; i < n; ++i) {
      std::int32_t first = 0, values = 0;
      if (spread) {  // short series over a thousand years or more
        first = uniform(-3000, 2000);
        values = uniform(1, 300);
      } else {
        first = edges[uniform(0, std::size(edges) - 1)] + uniform(-2, 2);
        values = uniform(0, 12);
        if (first + values - 1 > 99999) values = 99999 - first + 1;
        if (first < -9999) first = -9999;
      }
      // Few names, so that equal years with different IDs, and equal records, come up.
      c.add(std::string("E") + static_cast<char>('A' + uniform(0, 3)), first, values);
    }
    const Output fast = run(c);
    const Output literal = literal_commint(c);
    ASSERT_EQ(fast.report, literal.report) << "round " << round;
    ASSERT_EQ(fast.console, literal.console) << "round " << round;
  }
}

// Every (end year, position) pair with a full count; the first pair of the greatest product.
Interval literal_optimum(const std::vector<std::int32_t>& first,
                         const std::vector<std::int32_t>& last,
                         const std::vector<std::int32_t>& ends) {
  Interval best;
  for (const std::int32_t e : ends) {
    for (const std::int32_t s : first) {
      std::int64_t count = 0;
      for (std::size_t i = 0; i < first.size(); ++i) count += first[i] <= s && last[i] >= e;
      const std::int64_t years = std::int64_t{e} - s + 1;
      if (years > 0 && years * count > best.rings) {
        best = {s, e, static_cast<std::int32_t>(years), static_cast<std::int32_t>(count),
                years * count};
      }
    }
  }
  return best;
}

// With a budget of no node the tournament gives every end year's best; with one or three nodes
// it takes over now and then, for runs of years after an overrun, and catches up over the years
// that the bounded search finished.
TEST(AnalysisCommint, BudgetedSearchMatchesTheLiteral) {
  std::mt19937 rng(20261210);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  for (int round = 0; round < 400; ++round) {
    const int shape = round % 4;
    const int n = uniform(1, 60);
    std::vector<std::pair<std::int32_t, std::int32_t>> series;  // (first, last)
    for (int i = 0; i < n; ++i) {
      const std::int32_t first = shape == 1 ? 10 * uniform(0, 4) : uniform(-50, 400);
      const std::int32_t length = shape == 2 && i % 3 == 0 ? uniform(200, 500) : uniform(1, 80);
      series.emplace_back(first, first + length - 1);
    }
    if (shape == 3) {  // positions not in last-year order
      std::shuffle(series.begin(), series.end(), rng);
    } else {
      std::stable_sort(series.begin(), series.end(),
                       [](const auto& a, const auto& b) { return a.second > b.second; });
    }
    std::vector<std::int32_t> first, last, ends;
    for (const auto& [f, l] : series) {
      first.push_back(f);
      last.push_back(l);
      if (ends.empty() || l != ends.back()) ends.push_back(l);
    }
    const Interval expected = literal_optimum(first, last, ends);
    for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
      ASSERT_EQ(optimum_interval(first, last, ends, limit), expected)
          << "round " << round << ", budget " << limit;
    }
  }
}

// Catalogues too large for the literal search: the spread-years measurement catalogue (15000
// series over 10,000 years) and a staircase of series of one length, where the bounded search's
// bound is loose throughout. The bounded search alone, the tournament alone and the two
// together must agree, and on the first with the best that a full count per end year gives.
TEST(AnalysisCommint, LargeCataloguesAgreeOnEveryWay) {
  std::vector<std::pair<std::int32_t, std::int32_t>> spread, staircase;
  for (const auto& span : bench::spread_spans(1, 1, 10000)) {
    spread.emplace_back(span.first, span.first + span.values - 1);
  }
  for (std::int32_t i = 0; i < 4000; ++i) staircase.emplace_back(i, i + 1500);
  for (auto* series : {&spread, &staircase}) {
    std::stable_sort(series->begin(), series->end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::int32_t> first, last, ends;
    for (const auto& [f, l] : *series) {
      first.push_back(f);
      last.push_back(l);
      if (ends.empty() || l != ends.back()) ends.push_back(l);
    }
    const Interval both = optimum_interval(first, last, ends);
    EXPECT_EQ(optimum_interval(first, last, ends, 0), both);
    EXPECT_EQ(optimum_interval(first, last, ends, SIZE_MAX), both);
    if (series == &spread) {
      EXPECT_EQ(both, (Interval{654, 867, 214, 332, 71048}));
    }
  }
}

TEST(AnalysisCommint, OptimumIntervalOnItsOwn) {
  // Equal products at one end year go to the earliest sorted position.
  const std::int32_t first[] = {20, 10, 10};
  const std::int32_t last[] = {29, 29, 19};
  const std::int32_t ends[] = {29, 19};
  // E=29: s=20 gives 10 x 2 = 20 (position 1); s=10 gives 20 x 1 = 20 (position 2).
  EXPECT_EQ(optimum_interval(first, last, ends), (Interval{20, 29, 10, 2, 20}));
  EXPECT_EQ(optimum_interval({}, {}, {}), Interval{});
}

}  // namespace
}  // namespace corvane
