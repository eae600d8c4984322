// Reads an arbitrary file to its end through trrw with one layout code.
#ifndef CORVANE_FUZZ_FUZZ_TRRW_H
#define CORVANE_FUZZ_FUZZ_TRRW_H

#include <memory>

#include "driver/run_numbers.h"
#include "fuzz/fuzz_util.h"
#include "readers/readers.h"

namespace corvane::fuzz {

inline int read_all(const std::uint8_t* data, std::size_t size, LayoutCode code) {
  testing::MemoryFiles files;
  files.add_file("data", as_text(data, size));
  // The readers' messages go nowhere; the file is read from memory, without the services.
  struct : Sink {
    void put(std::string_view) override {}
  } console;
  // Left uninitialised (the reader writes before anything reads), so that no instrumented loop
  // fills it for every input; one spare element past the buffer must never be touched.
  static const std::unique_ptr<float[]> buffer(new float[kMaxValues + 1]);
  float* const values = buffer.get();
  values[kMaxValues] = 12345.0f;
  {
    int error = 0;
    ReadFile file = ReadFile::open(files, kInputUnit, "data", error);
    if (!file.is_open()) std::abort();
    SeriesId id{};
    std::int32_t first = 0, n = 0, counter = 0;
    bool self_describing = false;
    for (int calls = 0;; ++calls) {
      const ReadLimit limit = trrw(id, first, n, std::span<float>(values, kMaxValues), counter,
                                   file.lines(), console, code, self_describing);
      if (limit != ReadLimit::none) {
        if (limit_message(limit, id, n).empty()) std::abort();
        return 0;  // where a run stops
      }
      if (counter <= 0) break;
      if (n < 0 || n > kMaxValues || calls > 10000000) std::abort();
    }
    if (n != kEndOfFile || counter != kEndOfFile) std::abort();
  }
  if (values[kMaxValues] != 12345.0f) std::abort();
  return 0;
}

}  // namespace corvane::fuzz

#endif  // CORVANE_FUZZ_FUZZ_TRRW_H
