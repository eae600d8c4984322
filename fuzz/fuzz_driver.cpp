// The whole program over an arbitrary data file, with fixed answers; the first byte picks the
// layout answer.
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  const bool index = size > 0 && (data[0] & 1) != 0;
  testing::MemoryFiles files;
  files.add_file("data.rwl", fuzz::as_text(data, size));
  MemoryConsole console(index ? "F\ndata.rwl\n2\n" : "F\ndata.rwl\n1\n");
  const int status = program_main({}, console, files);
  if (status != kExitNormal && status != kExitStopped) std::abort();
  // A normal end leaves the closing lines last on the console.
  if (status == kExitNormal &&
      console.out.find("Normal termination of program") == std::string::npos) {
    std::abort();
  }
  return 0;
}
