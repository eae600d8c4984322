// Hostile input stays bounded: files of many lines and of very long lines read through trrw,
// in time proportional to their size and in memory that does not grow with it (peak resident
// memory is reported beside the throughput).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/run_numbers.h"
#include "memory_console.h"
#include "readers/series_reader.h"

namespace {

double peak_rss_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Writes `repeat` copies of `chunk` without holding the file in memory.
std::filesystem::path write_repeated(const char* name, const std::string& head,
                                     const std::string& chunk, std::int64_t repeat,
                                     const std::string& tail) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(head.data(), 1, head.size(), f);
  for (std::int64_t i = 0; i < repeat; ++i) std::fwrite(chunk.data(), 1, chunk.size(), f);
  std::fwrite(tail.data(), 1, tail.size(), f);
  std::fclose(f);
  return path;
}

std::int64_t read_through(const std::filesystem::path& path) {
  corvane::MemoryConsole console;
  corvane::Services io(console);
  corvane::Result<corvane::ReadFile> file = io.open_existing(corvane::kInputUnit, path.string());
  if (!file) return -1;
  corvane::ServicesSink messages(io, corvane::kConsole);
  corvane::SeriesReader reader(file->lines(), corvane::LayoutCode::mr, messages);
  std::int64_t series = 0;
  while (reader.next().kind == corvane::SeriesStep::Kind::series) ++series;
  return series;
}

void run(benchmark::State& state, const std::filesystem::path& path, std::int64_t expected) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    if (read_through(path) != expected) state.SkipWithError("wrong number of series");
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["file_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  state.counters["peak_rss_MiB"] = peak_rss_mib();
  std::filesystem::remove(path);
}

// Lines by the million: blocks of 20 text lines and a one-line series, so that no call meets
// more than 25 text lines and every line is read; each line ended by `end`.
void many_lines(benchmark::State& state, const char* name, char end) {
  const std::int64_t blocks = state.range(0) / 21;
  std::string block;
  for (int i = 0; i < 20; ++i) block += std::string("a text line between series") + end;
  block += std::string("S1      1950   100   200   999") + end;
  run(state, write_repeated(name, "", block, blocks, ""), blocks);
}

void BM_ManyLines(benchmark::State& state) { many_lines(state, "corvane-many-lines.rwl", '\n'); }

// The same lines ended by carriage returns alone, as old Macintosh programs wrote them: no
// line feed in the whole file, which must not make the search for line ends quadratic.
void BM_ManyCarriageReturnLines(benchmark::State& state) {
  many_lines(state, "corvane-cr-lines.rwl", '\r');
}

// One line of many megabytes between two series: kept only up to its first columns.
void BM_LongLine(benchmark::State& state) {
  const std::string series = "S1      1950   100   200   999\n";
  const std::string kib(1024, 'x');
  run(state,
      write_repeated("corvane-long-line.rwl", series, kib, state.range(0) * 1024, "\n" + series),
      2);
}

BENCHMARK(BM_ManyLines)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(4000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_ManyCarriageReturnLines)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(4000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_LongLine)
    ->Arg(1)
    ->Arg(16)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
