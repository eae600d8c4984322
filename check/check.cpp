// The check of a set of files: names, layouts, findings in order, the closing line.
#include "check/check.h"

#include <cerrno>
#include <utility>

#include "check/describe.h"
#include "check/file_check.h"
#include "check/findings.h"

namespace corvane {

namespace {

// The units of the check's files (named in no message of its own).
constexpr int kListFile = 1;
constexpr int kCheckedFile = 2;

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

// Opens a file to check, its name a run's (trailing blanks are no part of it; a name of none
// but blanks, or holding a NUL byte, names no file).
ReadFile open_checked(FileSystem& files, int unit, std::string_view name, int& error) {
  const std::string_view n = trim_name(name);
  if (n.empty() || n.find('\0') != std::string_view::npos) {
    error = ENOENT;
    return ReadFile();
  }
  return ReadFile::open(files, unit, std::string(n), error);
}

// The names a list file holds, each line whole but for the blanks and carriage returns at its
// end, as a run takes it.
std::vector<Named> read_list(FileSystem& files, Console& console, CheckTotals& totals,
                             const std::string& list) {
  std::vector<Named> names;
  int e = 0;
  ReadFile opened = open_checked(files, kListFile, list, e);
  if (!opened.is_open()) {
    write(console, totals, list, open_fact(Situation::cannot_open, 0, e));
    return names;
  }
  LineFile& file = opened.lines();
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
  return names;
}

}  // namespace

LayoutCode layout_for(std::string_view name) {
  return names_chronology(trim_name(name)) ? LayoutCode::ir : LayoutCode::mr;
}

CheckTotals run_check(const CheckOptions& options, Console& console, FileSystem& files) {
  CheckTotals totals;
  std::vector<Named> names;
  if (options.list) {
    names = read_list(files, console, totals, *options.list);
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
    int e = 0;
    ReadFile checked = open_checked(files, kCheckedFile, named.name, e);
    if (!checked.is_open()) {
      write(console, totals, named.name, open_fact(Situation::cannot_open, 0, e));
      continue;
    }
    FindingStream findings(console, named.name, options.max_findings);
    FileCheck check(checked.lines(), options.layout.value_or(layout_for(named.name)), findings);
    totals.series += check.read(totals.series);
    checked.close();
    add_tallies(totals, findings);
  }
  console.write(std::to_string(totals.files) + " files, " + std::to_string(totals.series) +
                " series: " + std::to_string(totals.errors) + " errors, " +
                std::to_string(totals.warnings) + " warnings, " + std::to_string(totals.notes) +
                " notes\n");
  return totals;
}

}  // namespace corvane
