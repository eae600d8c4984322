// The whole program over files in memory whose reads, writes, closes or syncs fail, or where
// memory runs out, at a point the input chooses. Every run must end with one of the documented
// statuses, no run that met a failure may end with status 0, and a failure of the report
// itself must leave the previous report as it was.
#include <cstdlib>
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  if (size < 4) return 0;
  const unsigned mode = data[0];
  const unsigned kind = data[1] % 7;
  const std::size_t at = static_cast<std::size_t>(data[2]) << 8 | data[3];
  const std::string_view content = fuzz::as_text(data + 4, size - 4);

  testing::MemoryFiles files;
  files.add_file("data.rwl", content);
  files.add_file("two.lst", "data.rwl\ndata.rwl\n");
  const bool list = (mode & 2) != 0;
  const std::string report = list ? "two.lst_rec" : "data.rwl_rec";
  files.add_file(report, "previous report\n");
  switch (kind) {
    case 1:
      files.fail_reads_of(list && (mode & 4) != 0 ? "two.lst" : "data.rwl", at);
      break;
    case 2:
      files.fail_writes_after(at);
      break;
    case 3:
      files.fail_closes();
      break;
    case 4:
      files.fail_syncs();
      break;
    case 5:
      files.run_out_of_memory_at(static_cast<long>(at % 512) + 1);
      break;
    case 6:
      files.read_in_pieces(at % 97 + 1);
      break;
    default:
      break;
  }
  std::string answers = list ? "T\ntwo.lst\n" : "F\ndata.rwl\n";
  answers += (mode & 1) != 0 ? "2\n" : "1\n";
  MemoryConsole console(answers);
  const int status = program_main({}, console, files);

  if (status != 0 && status != 1 && status != 2) std::abort();
  if (files.failure_happened() && status == 0) std::abort();
  if (status == 0 && console.out.find("Normal termination of program") == std::string::npos) {
    std::abort();
  }
  // A report that could not be written whole leaves its previous version.
  const bool report_failed = files.failure_happened() && (kind == 2 || kind == 3 || kind == 4);
  if (report_failed && (!files.has(report) || files.content(report) != "previous report\n")) {
    std::abort();
  }
  // No temporary file outlives the run.
  for (const auto& [name, entry] : files.entries()) {
    if (name.starts_with(".")) std::abort();
  }
  return 0;
}
