// A check of an arbitrary file (the first byte chooses the layout): every line it writes is a
// finding of that file, in line order, or the closing line; it finds an error exactly where a
// run stops, and otherwise delivers the series that a run lists.
#include <cstdlib>
#include <string>
#include <vector>

#include "check/check.h"
#include "driver/run_numbers.h"
#include "fuzz/fuzz_util.h"
#include "readers/series_reader.h"

namespace {

using namespace corvane;

// The series a run lists, and whether it stops at a limit before the end.
struct Run {
  std::int64_t series = 0;
  bool stopped = false;
};

Run plain_run(testing::MemoryFiles& files, LayoutCode code) {
  struct : Sink {
    void put(std::string_view) override {}
  } console;
  int error = 0;
  ReadFile file = ReadFile::open(files, kInputUnit, "data.txt", error);
  if (!file.is_open()) std::abort();
  SeriesReader reader(file.lines(), code, console);
  Run run;
  for (;;) {
    const SeriesStep step = reader.next();
    if (step.kind == SeriesStep::Kind::limit) {
      run.stopped = true;
      return run;
    }
    if (step.kind == SeriesStep::Kind::end) return run;
    ++run.series;
  }
}

bool starts_with_number(std::string_view s, std::size_t& at, long& value) {
  const std::size_t begin = at;
  value = 0;
  while (at < s.size() && s[at] >= '0' && s[at] <= '9') value = value * 10 + (s[at++] - '0');
  return at > begin;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const LayoutCode code = data[0] % 2 == 0 ? LayoutCode::mr : LayoutCode::ir;
  testing::MemoryFiles files;
  files.add_file("data.txt", fuzz::as_text(data + 1, size - 1));
  CheckOptions options;
  options.files = {"data.txt"};
  options.layout = code;
  options.max_findings = 0;  // every finding written, so that the lines can be counted
  MemoryConsole console;
  const CheckTotals totals = run_check(options, console, files);
  const Run run = plain_run(files, code);

  // data.txt:LINE: SEVERITY: MESSAGE [CODE], lines in order; then the closing line.
  const std::string& out = console.out;
  std::size_t begin = 0;
  long last_line = 0;
  std::int64_t lines = 0;
  for (;;) {
    const std::size_t end = out.find('\n', begin);
    if (end == std::string::npos) std::abort();
    const std::string_view line(out.data() + begin, end - begin);
    begin = end + 1;
    if (begin == out.size()) {
      const std::string closing = "1 files, " + std::to_string(totals.series) +
                                  " series: " + std::to_string(totals.errors) + " errors, " +
                                  std::to_string(totals.warnings) + " warnings, " +
                                  std::to_string(totals.notes) + " notes";
      if (line != closing) std::abort();
      break;
    }
    std::size_t at = 9;
    long number = 0;
    if (!line.starts_with("data.txt:") || !starts_with_number(line, at, number)) std::abort();
    if (number < last_line || !line.substr(at).starts_with(": ") || !line.ends_with("]")) {
      std::abort();
    }
    last_line = number;
    ++lines;
  }
  if (lines != totals.errors + totals.warnings + totals.notes || !console.err.empty()) {
    std::abort();
  }
  if (run.stopped != (totals.errors > 0)) std::abort();
  if (!run.stopped && run.series != totals.series) std::abort();
  return 0;
}
