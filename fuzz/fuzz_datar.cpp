// datar over an arbitrary file, from its first line on.
#include <array>
#include <memory>

#include "driver/run_numbers.h"
#include "fuzz/fuzz_util.h"
#include "readers/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  testing::MemoryFiles files;
  files.add_file("data", fuzz::as_text(data, size));
  struct : Sink {
    void put(std::string_view) override {}
  } console;
  static const std::unique_ptr<float[]> buffer(new float[kMaxValues + 1]);
  float* const values = buffer.get();
  values[kMaxValues] = 12345.0f;
  int error = 0;
  ReadFile file = ReadFile::open(files, kInputUnit, "data", error);
  if (!file.is_open()) std::abort();
  {
    for (int calls = 0; calls < 100000; ++calls) {
      std::array<char, 80> title;
      title.fill('#');
      std::int32_t n = 0, first = 0;
      if (datar(title, n, std::span<float>(values, kMaxValues), first, file.lines(), console) !=
          ReadLimit::none) {
        break;  // where a run stops
      }
      if (n == kEndOfFile) break;
      if (n < 0 || n > kMaxValues) std::abort();
    }
  }
  if (values[kMaxValues] != 12345.0f) std::abort();
  return 0;
}
