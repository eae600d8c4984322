// The check of a set of files: names, layouts, findings in order, the closing line.
#include "check/check.h"

#include <utility>

#include "check/describe.h"
#include "check/file_check.h"
#include "check/findings.h"

namespace corvane {

namespace {

// The check's own handles on its services.
constexpr int kListFile = 1;
constexpr int kCheckedFile = 2;

// The readers' own console messages become findings: what they write goes nowhere.
class Silent : public Console {
 public:
  void write(std::string_view) override {}
  void write_error(std::string_view) override {}
  std::optional<std::string_view> read_line() override { return std::nullopt; }
  void flush() override {}
  bool write_failed() const override { return false; }
  void divert_to_error() override {}
  bool write_data(std::string_view) override { return true; }
};

struct Named {
  std::string name;
  std::int64_t list_line = 0;  // the line of the list that names it; 0 for a FILE
};

void add_tallies(CheckTotals& totals, const FindingStream& findings) {
  totals.errors += findings.count(Severity::error);
  totals.warnings += findings.count(Severity::warning);
  totals.notes += findings.count(Severity::note);
}

// One finding about a file (or a list's line) on its own.
void write(Console& console, CheckTotals& totals, std::string_view file, const Fact& fact) {
  FindingStream findings(console, file, 0);
  findings.add(fact.line, fact.code, describe(fact));
  findings.finish();
  add_tallies(totals, findings);
}

Fact open_fact(Situation situation, std::int64_t line, int error = 0, std::int64_t lines = 0) {
  Fact f;
  f.code = Code::open;
  f.situation = situation;
  f.line = line;
  f.error = error;
  f.count = lines;
  return f;
}

// The names a list file holds, each line whole but for the blanks and carriage returns at its
// end, as a run takes it.
std::vector<Named> read_list(Services& io, Console& console, CheckTotals& totals,
                             const std::string& list) {
  std::vector<Named> names;
  if (const int e = io.try_open_existing(kListFile, list); e != 0) {
    write(console, totals, list, open_fact(Situation::cannot_open, 0, e));
    return names;
  }
  LineFile& file = io.source(kListFile);
  std::vector<std::string> lines;
  const ListEnd end = read_names(file, static_cast<std::size_t>(-1), lines);
  names.reserve(lines.size());
  for (std::string& name : lines) {
    names.push_back(Named{std::move(name), static_cast<std::int64_t>(names.size()) + 1});
  }
  if (end == ListEnd::failed) {
    write(console, totals, list,
          open_fact(Situation::list_unreadable, 0, file.error_number(), file.line_number()));
  }
  io.close_file(kListFile);
  return names;
}

}  // namespace

LayoutCode layout_for(std::string_view name) {
  return names_chronology(trim_name(name)) ? LayoutCode::ir : LayoutCode::mr;
}

CheckTotals run_check(const CheckOptions& options, Console& console, FileSystem& files) {
  Silent silent;
  Services io(silent, files);
  CheckTotals totals;
  std::vector<Named> names;
  if (options.list) {
    names = read_list(io, console, totals, *options.list);
  } else {
    for (const std::string& f : options.files) names.push_back(Named{f, 0});
  }
  for (const Named& named : names) {
    if (console.write_failed()) break;
    ++totals.files;
    if (named.name.empty() && named.list_line > 0) {
      write(console, totals, *options.list, open_fact(Situation::list_line_empty, named.list_line));
      continue;
    }
    if (const int e = io.try_open_existing(kCheckedFile, named.name); e != 0) {
      write(console, totals, named.name, open_fact(Situation::cannot_open, 0, e));
      continue;
    }
    FindingStream findings(console, named.name, options.max_findings);
    FileCheck check(io, kCheckedFile, options.layout.value_or(layout_for(named.name)), findings);
    totals.series += check.read(totals.series);
    io.close_file(kCheckedFile);
    add_tallies(totals, findings);
  }
  console.write(std::to_string(totals.files) + " files, " + std::to_string(totals.series) +
                " series: " + std::to_string(totals.errors) + " errors, " +
                std::to_string(totals.warnings) + " warnings, " + std::to_string(totals.notes) +
                " notes\n");
  return totals;
}

}  // namespace corvane
