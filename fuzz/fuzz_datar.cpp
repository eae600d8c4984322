// datar over an arbitrary file, from its first line on.
#include <array>
#include <memory>

#include "driver/handles.h"
#include "fuzz/fuzz_util.h"
#include "readers/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  testing::MemoryFiles files;
  files.add_file("data", fuzz::as_text(data, size));
  MemoryConsole console;
  Services io(console, files);
  static const std::unique_ptr<float[]> buffer(new float[kMaxValues + 1]);
  float* const values = buffer.get();
  values[kMaxValues] = 12345.0f;
  try {
    io.open_existing(kInputHandle, "data");
    for (int calls = 0; calls < 100000; ++calls) {
      std::array<char, 80> title;
      title.fill('#');
      std::int32_t n = 0, first = 0;
      if (datar(title, n, std::span<float>(values, kMaxValues), first, io, kInputHandle) !=
          ReadLimit::none) {
        break;  // where a run stops
      }
      if (n == kEndOfFile) break;
      if (n < 0 || n > kMaxValues) std::abort();
    }
  } catch (const RunEnd& end) {
    if (end.why != RunEnd::Why::stopped || end.status != kExitStopped) std::abort();
  }
  if (values[kMaxValues] != 12345.0f) std::abort();
  return 0;
}
