// The list-file intake and the whole run over an arbitrary list file, on files in memory.
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  testing::MemoryFiles files;
  files.add_file("run.lst", fuzz::as_text(data, size));
  files.add_file("a.rwl", "A1      1950   100   200   999\n");
  MemoryConsole console("T\nrun.lst\n1\n");
  const int status = program_main({}, console, files);
  if (status != kExitNormal && status != kExitStopped && status != kExitFailure) std::abort();
  return 0;
}
