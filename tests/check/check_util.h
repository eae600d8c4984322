// Helpers of the check's tests: data lines written column by column, and a check run in memory
// whose finding lines are taken apart again.
#ifndef CORVANE_TESTS_CHECK_CHECK_UTIL_H
#define CORVANE_TESTS_CHECK_CHECK_UTIL_H

#include <cstdio>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "check/check.h"
#include "test_util.h"

namespace corvane::testing {

inline std::string rjust(std::string_view s, std::size_t width) {
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + std::string(s);
}

/// A measurement line: the ID in columns 1-8, the year field in 9-12, then 6-column fields.
inline std::string mr_line(std::string_view id, std::string_view year,
                           const std::vector<std::string>& fields) {
  std::string line = pad(id, 8) + rjust(year, 4);
  for (const auto& f : fields) line += rjust(f, 6);
  return line + "\n";
}

/// An index line: the ID in columns 1-6, the year field in 7-10, then pairs of a 4-column value
/// and a 3-column count.
inline std::string ir_line(std::string_view id, std::string_view year,
                           const std::vector<std::string>& values, std::string_view count = "7") {
  std::string line = pad(id, 6) + rjust(year, 4);
  for (const auto& v : values) line += rjust(v, 4) + rjust(count, 3);
  return line + "\n";
}

/// `count` fields "100", "101", ...
inline std::vector<std::string> fields(int count, int from = 100) {
  std::vector<std::string> r;
  for (int i = 0; i < count; ++i) r.push_back(std::to_string(from + i));
  return r;
}

/// The "#" title line of a self-describing series.
inline std::string sd_title(std::string_view text) { return pad(text, 79) + "#\n"; }

/// A count line: "n  ", the count in columns 3-10, the first year in 13-20, the format text in
/// 23-30.
inline std::string sd_count(long count, int year, std::string_view format = "(10F8.3)") {
  char buf[64];
  std::snprintf(buf, sizeof buf, "n %8ld  %8d  ", count, year);
  return buf + pad(format, 8) + "\n";
}

/// `count` values of 8 columns with 3 decimals, ten a line.
inline std::string sd_values(int count) {
  std::string r;
  for (int k = 1; k <= count; ++k) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%8.3f", k * 0.25);
    r += buf;
    if (k % 10 == 0 || k == count) r += "\n";
  }
  return r;
}

/// One finding line taken apart.
struct Found {
  std::string file;
  long line = 0;
  std::string severity;
  std::string message;
  std::string code;
};

/// What a check wrote and found.
struct Checked {
  std::string out;
  std::string err;
  std::vector<Found> found;
  std::string closing;
  CheckTotals totals;
  /// "LINE severity code" of each finding, in order.
  std::vector<std::string> summary() const {
    std::vector<std::string> r;
    for (const Found& f : found)
      r.push_back(std::to_string(f.line) + " " + f.severity + " " + f.code);
    return r;
  }
};

/// Takes a check's output apart: every line but the last must be a finding line.
inline Checked parse_check_output(std::string out) {
  static const std::regex kFinding(R"(^(.*):(\d+): (error|warning|note): (.*) \[([a-z0-9-]+)\]$)");
  Checked c;
  c.out = std::move(out);
  std::size_t begin = 0;
  while (begin < c.out.size()) {
    const std::size_t end = c.out.find('\n', begin);
    const std::string line =
        c.out.substr(begin, (end == std::string::npos ? c.out.size() : end) - begin);
    begin = end == std::string::npos ? c.out.size() : end + 1;
    std::smatch m;
    if (begin >= c.out.size()) {
      c.closing = line;
    } else if (std::regex_match(line, m, kFinding)) {
      c.found.push_back(Found{m[1], std::stol(m[2]), m[3], m[4], m[5]});
    } else {
      ADD_FAILURE() << "not a finding line: " << line;
    }
  }
  return c;
}

/// Checks `options` in memory.
inline Checked run_check_in_memory(const CheckOptions& options) {
  MemoryConsole console;
  const CheckTotals totals = run_check(options, console);
  Checked c = parse_check_output(console.out);
  c.err = console.err;
  c.totals = totals;
  return c;
}

/// Checks one file of `content`, written as `name` in a fresh directory.
inline Checked check_text(std::string_view content, std::string_view name = "data.rwl",
                          std::optional<LayoutCode> layout = std::nullopt) {
  TempDir dir;
  const std::string path = (dir / name).string();
  write_file(path, content);
  CheckOptions options;
  options.files = {path};
  options.layout = layout;
  Checked c = run_check_in_memory(options);
  for (Found& f : c.found) {
    EXPECT_EQ(f.file, path);
    f.file = name;
  }
  return c;
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_CHECK_CHECK_UTIL_H
