// The common-interval summary over full catalogues of 15000 series, written to memory, and over
// the spread-years catalogues: 15000 series over 10,000 years, and 2, 4 and 8 times that.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/commint.h"
#include "bench/generate.h"

namespace {

struct NullSink : corvane::Sink {
  void put(std::string_view t) override { size += t.size(); }
  std::size_t size = 0;
};

struct Catalogue {
  std::vector<std::int32_t> first, n;
  std::vector<std::array<char, 8>> id;
};

Catalogue make(std::uint32_t seed, bool short_series) {
  std::mt19937 rng(seed);
  Catalogue c;
  for (int i = 0; i < 15000; ++i) {
    std::int32_t first = 0, values = 0;
    if (short_series) {
      first = std::uniform_int_distribution<int>(-999, 9000)(rng);
      values = std::uniform_int_distribution<int>(1, 20)(rng);
    } else {
      values = std::uniform_int_distribution<int>(300, 500)(rng);
      first = std::uniform_int_distribution<int>(1000, 2020 - values + 1)(rng);
    }
    std::array<char, 8> a;
    std::snprintf(a.data(), a.size(), "S%06d", i);
    a[7] = ' ';
    c.first.push_back(first);
    c.n.push_back(values);
    c.id.push_back(a);
  }
  return c;
}

// The spans of the spread-years measurement file (factor 1), or `factor` times as many series
// over `factor` times the years.
Catalogue spread(int factor) {
  Catalogue c;
  int i = 0;
  for (const auto& span : corvane::bench::spread_spans(1, factor, factor * 10000)) {
    std::array<char, 8> a;
    std::snprintf(a.data(), a.size(), "G%06d", i++ % 1000000);
    a[7] = span.first < -999 ? '-' : ' ';
    c.first.push_back(span.first);
    c.n.push_back(span.values);
    c.id.push_back(a);
  }
  return c;
}

void run(benchmark::State& state, const Catalogue& c) {
  const auto n = static_cast<std::int32_t>(c.first.size());
  for (auto _ : state) {
    NullSink report, console;
    corvane::Commint(n, c.first, c.id, c.n, n, report, console);
    benchmark::DoNotOptimize(report.size);
  }
}

void run(benchmark::State& state, bool short_series) { run(state, make(7, short_series)); }

void BM_CommintShortSeriesWideSpan(benchmark::State& state) { run(state, true); }
void BM_CommintRealShapedCollection(benchmark::State& state) { run(state, false); }

BENCHMARK(BM_CommintShortSeriesWideSpan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommintRealShapedCollection)->Unit(benchmark::kMillisecond)->UseRealTime();

// The argument is the factor.
void BM_CommintSpreadYears(benchmark::State& state) {
  run(state, spread(static_cast<int>(state.range(0))));
}
// The factors 1, 2, 4 and 8, timed in milliseconds of real time.
void spread_factors(benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_CommintSpreadYears)->Apply(spread_factors);

// The same catalogues with the tournament answering every end year (no node for the bounded
// search): the cost the search's budget guarantees. The positions are by last year, descending.
void BM_CommintSpreadYearsTournament(benchmark::State& state) {
  const Catalogue c = spread(static_cast<int>(state.range(0)));
  std::vector<std::size_t> order(c.first.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto last = [&](std::size_t i) { return c.first[i] + c.n[i] - 1; };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return last(a) > last(b); });
  std::vector<std::int32_t> first, lasts, ends;
  for (const std::size_t i : order) {
    first.push_back(c.first[i]);
    lasts.push_back(last(i));
    if (ends.empty() || ends.back() != lasts.back()) ends.push_back(lasts.back());
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvane::optimum_interval(first, lasts, ends, 0));
  }
}
BENCHMARK(BM_CommintSpreadYearsTournament)->Apply(spread_factors);

}  // namespace
