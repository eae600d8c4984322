// The common-interval summary over full catalogues of 15000 series, written to memory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "analysis/commint.h"

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

void run(benchmark::State& state, bool short_series) {
  const Catalogue c = make(7, short_series);
  for (auto _ : state) {
    NullSink report, console;
    corvane::Commint(15000, c.first, c.id, c.n, 15000, report, console);
    benchmark::DoNotOptimize(report.size);
  }
}

void BM_CommintShortSeriesWideSpan(benchmark::State& state) { run(state, true); }
void BM_CommintRealShapedCollection(benchmark::State& state) { run(state, false); }

BENCHMARK(BM_CommintShortSeriesWideSpan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CommintRealShapedCollection)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
