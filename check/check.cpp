// The check of a set of files: names, layouts, findings in order, the closing line.
#include "check/check.h"

#include <cstring>

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
void write(Console& console, CheckTotals& totals, std::string_view file, Finding finding) {
  FindingStream findings(console, file, 0);
  findings.add(finding.line, finding.code, std::move(finding.message));
  findings.finish();
  add_tallies(totals, findings);
}

std::string cannot_open(int error) {
  return std::string("the file cannot be opened (") + std::strerror(error) +
         "): nothing of it is read";
}

// The names a list file holds, each line whole but for trailing blanks.
std::vector<Named> read_list(Services& io, Console& console, CheckTotals& totals,
                             const std::string& list) {
  std::vector<Named> names;
  if (const int e = io.try_open_existing(kListFile, list); e != 0) {
    write(console, totals, list, Finding{0, Code::open, cannot_open(e)});
    return names;
  }
  LineFile& file = io.source(kListFile);
  while (const auto line = file.next_line()) {
    // Each line whole, as a run takes it, but for the blanks and carriage returns at its end.
    const std::size_t end = line->find_last_not_of(" \r");
    names.push_back(Named{std::string(line->substr(0, end == std::string_view::npos ? 0 : end + 1)),
                          file.line_number()});
  }
  if (file.failed()) {
    write(console, totals, list,
          Finding{0, Code::open,
                  "the list could not be read after line " + std::to_string(file.line_number()) +
                      " (" + std::strerror(file.error_number()) +
                      "): the files it names after that are not checked"});
  }
  io.close_file(kListFile);
  return names;
}

}  // namespace

LayoutCode layout_for(std::string_view name) {
  name = trim_name(name);
  if (name.size() < 4) return LayoutCode::mr;
  const std::string_view ext = name.substr(name.size() - 4);
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  const char crn[] = ".crn";
  for (std::size_t i = 0; i < 4; ++i) {
    if (lower(ext[i]) != crn[i]) return LayoutCode::mr;
  }
  return LayoutCode::ir;
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
      write(console, totals, *options.list,
            Finding{named.list_line, Code::open,
                    "line " + std::to_string(named.list_line) +
                        " of the list names no file: a run counts it as a missing file"});
      continue;
    }
    if (const int e = io.try_open_existing(kCheckedFile, named.name); e != 0) {
      write(console, totals, named.name, Finding{0, Code::open, cannot_open(e)});
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
