// Reader throughput: generated measurement and index files read through trrw, from the page
// cache, in lines per second of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/generate.h"
#include "driver/run_numbers.h"
#include "memory_console.h"
#include "readers/readers.h"

namespace {

using corvane::LayoutCode;

std::filesystem::path prepare(const char* name, const std::string& content) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

void read_file(benchmark::State& state, LayoutCode code) {
  const corvane::bench::SeriesShape shape;
  const std::string content = code == LayoutCode::mr ? corvane::bench::measurement_file(1, shape)
                                                     : corvane::bench::index_file(1, shape);
  const auto path =
      prepare(code == LayoutCode::mr ? "corvane-bench.rwl" : "corvane-bench.crn", content);
  const auto lines = std::count(content.begin(), content.end(), '\n');
  std::vector<float> values(corvane::kMaxValues);
  std::int64_t series = 0;
  for (auto _ : state) {
    corvane::MemoryConsole console;
    corvane::Services io(console);
    corvane::Result<corvane::ReadFile> file = io.open_existing(corvane::kInputUnit, path.string());
    if (!file) {
      state.SkipWithError("cannot open the file");
      break;
    }
    corvane::ServicesSink messages(io, corvane::kConsole);
    corvane::SeriesId id;
    std::int32_t first = 0, n = 0, counter = 0;
    bool self_describing = false;
    series = 0;
    for (;;) {
      corvane::trrw(id, first, n, values, counter, file->lines(), messages, code, self_describing);
      if (counter <= 0) break;
      ++series;
      benchmark::DoNotOptimize(values.data());
    }
    io.close_file(*file);
  }
  if (series != shape.series) state.SkipWithError("wrong number of series");
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * content.size()));
  std::filesystem::remove(path);
}

void BM_ReadMeasurementFile(benchmark::State& state) { read_file(state, LayoutCode::mr); }
void BM_ReadIndexFile(benchmark::State& state) { read_file(state, LayoutCode::ir); }

BENCHMARK(BM_ReadMeasurementFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadIndexFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
