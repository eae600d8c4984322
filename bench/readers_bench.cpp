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
#include "readers/series_reader.h"

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
    corvane::SeriesReader reader(file->lines(), code, messages);
    series = 0;
    for (;;) {
      const corvane::SeriesStep step = reader.next();
      if (step.kind != corvane::SeriesStep::Kind::series) break;
      ++series;
      benchmark::DoNotOptimize(step.series.values.data());
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
