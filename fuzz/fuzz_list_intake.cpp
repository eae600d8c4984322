// The list-file intake and the whole run over an arbitrary list file. Names are kept inside
// the working directory (no "/"), so the run never reaches outside it.
#include <algorithm>
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  fuzz::enter_work_dir();
  std::string list(fuzz::as_text(data, size));
  std::replace(list.begin(), list.end(), '/', '_');
  fuzz::write_file("run.lst", list);
  fuzz::write_file("a.rwl", "A1      1950   100   200   999\n");
  MemoryConsole console("T\nrun.lst\n1\n");
  const int status = program_main({}, console);
  if (status != kExitNormal && status != kExitStopped && status != kExitFailure) std::abort();
  return 0;
}
