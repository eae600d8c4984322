// Findings written as they become final, at most a cap of one code a file, and file names
// escaped so that a finding is always one line; a check of a million damaged lines in bounded
// memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <fstream>
#include <map>
#include <string>

#include "check/check_util.h"
#include "check/findings.h"
#include "memory_console.h"

extern char** environ;

namespace corvane {
namespace {

using testing::TempDir;

// The escape forms, shared by names and quoted field texts.
TEST(CheckEscapes, NamesAndFieldTexts) {
  const struct {
    std::string text, name, quoted;
  } cases[] = {
      {"plain.rwl", "plain.rwl", "\"plain.rwl\""},
      {"a\\b", "a\\\\b", "\"a\\\\b\""},
      {"a\tb", "a\\tb", "\"a\\tb\""},
      {"a\nb\x01"
       "c\x1F",
       "a\\x0Ab\\x01c\\x1F", "\"a\\x0Ab\\x01c\\x1F\""},
      {"del\x7F", "del\\x7F", "\"del\\x7F\""},
      {"say \"x\"", "say \"x\"", "\"say \\\"x\\\"\""},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "\"\\xC3\\xA9t\\xC3\\xA9\""},
      {"\r", "\\x0D", "\"\\x0D\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escaped(c.text), c.name) << c.text;
    EXPECT_EQ(escaped(c.text, Escaping::quoted), c.quoted) << c.text;
  }
}

// A name with a line feed, a tab and a byte 0x01: one line per finding, the name escaped.
TEST(CheckEscapes, FileNamesInFindings) {
  const std::string name = "a\nb\tc\x01.rwl";
  const std::string data = testing::mr_series("A", 2000, {-5}) + testing::mr_series("A", 2000, {1});
  TempDir dir;
  testing::write_file(dir / name, data);
  CheckOptions options;
  options.files = {(dir / name).string()};
  const auto c = testing::run_check_in_memory(options);
  ASSERT_EQ(c.found.size(), 2u) << c.out;
  for (std::size_t begin = 0; begin < c.out.size();) {
    const std::size_t end = c.out.find('\n', begin);
    const std::string line = c.out.substr(begin, end - begin);
    begin = end + 1;
    if (begin >= c.out.size()) break;  // the closing line
    EXPECT_NE(line.find("a\\x0Ab\\tc\\x01.rwl:"), std::string::npos) << line;
  }
}

// Findings as the stream takes them: out of order within what is open, a cap of 2.
TEST(CheckFindingStream, OrderCapAndMoreLines) {
  MemoryConsole console;
  FindingStream s(console, "f", 2);
  s.add(1, Code::negative_value, "n1");
  s.add(3, Code::negative_value, "n3");
  s.add(2, Code::duplicate_id, "d2");  // comes late for an earlier line
  s.release(3);                        // lines 1 and 2 are final
  EXPECT_EQ(console.out,
            "f:1: warning: n1 [negative-value]\n"
            "f:2: warning: d2 [duplicate-id]\n");
  s.add(5, Code::negative_value, "n5");  // the third: only counted, and held from here on
  s.add(5, Code::beyond_80, "b5");
  s.add(6, Code::negative_value, "n6");
  s.add(7, Code::text_in_series, "t7");
  s.add(4, Code::decade_step, "s4");
  s.release(8);
  s.add(8, Code::negative_value, "n8");
  s.finish();
  EXPECT_EQ(console.out,
            "f:1: warning: n1 [negative-value]\n"
            "f:2: warning: d2 [duplicate-id]\n"
            "f:3: warning: n3 [negative-value]\n"
            "f:4: warning: s4 [decade-step]\n"
            "f:5: note: b5 [beyond-80]\n"
            "f:5: note: 3 more findings of this code [more]\n"
            "f:7: warning: t7 [text-in-series]\n");
  EXPECT_EQ(s.count(Severity::warning), 8);
  EXPECT_EQ(s.count(Severity::note), 1);
  EXPECT_EQ(s.count(Severity::error), 0);
}

// A cap of 0 writes every finding; a cap never reached writes no more line.
TEST(CheckFindingStream, NoCapAndCapNotReached) {
  for (const std::int64_t cap : {0, 3}) {
    MemoryConsole console;
    FindingStream s(console, "f", cap);
    for (int line = 1; line <= 3; ++line) s.add(line, Code::zero_line, "z");
    s.finish();
    EXPECT_EQ(console.out.find("[more]"), std::string::npos);
    EXPECT_EQ(std::count(console.out.begin(), console.out.end(), '\n'), 3);
  }
}

// One series of 250,000 decade lines of four kinds, all damaged, and 1000 IDs over and over:
// each line one finding or more.
std::string write_damaged(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  char id[9];
  for (int s = 0; s < 250000; ++s) {
    std::snprintf(id, sizeof id, "S%04d", s % 1000);
    const std::string head = testing::pad(id, 8);
    std::string values;
    for (int k = 0; k < 9; ++k) values += "   100";
    out << head << "1900   -50" << values << "\n";
    out << head << "1910   100" << values << "        notes\n";
    out << head << "1930   100   100   100   100   100   100   100   100   100   100\n";
    out << head << "1940   100   999\n";
  }
  return path.string();
}

TEST(CheckBoundedMemory, AMillionDamagedLines) {
#ifdef CORVANE_SANITIZED
  GTEST_SKIP() << "memory is measured on the release build";
#endif
  TempDir dir;
  const std::string path = write_damaged(dir / "damaged.rwl");
  const std::string out_path = (dir / "out.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::string exe = CORVANE_EXE, check = "--check";
  char* argv[] = {exe.data(), check.data(), const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int raw = 0;
  rusage usage{};
  ASSERT_EQ(::wait4(pid, &raw, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);
  EXPECT_LE(usage.ru_maxrss, 32 * 1024) << "KiB at the peak";

  std::ifstream in(out_path);
  std::map<std::string, int> written;
  std::map<std::string, long> more;
  std::string line, last;
  long previous_line = 0;
  while (std::getline(in, line)) {
    last = line;
    if (!line.starts_with(path + ":")) continue;
    const long at = std::stol(line.substr(path.size() + 1));
    EXPECT_GE(at, previous_line) << line;
    previous_line = at;
    const std::size_t open = line.rfind('[');
    const std::string code = line.substr(open + 1, line.size() - open - 2);
    if (code != "more") {
      ++written[code];
      continue;
    }
    // The more line follows the last finding written of the line it names.
    const std::size_t n = line.find(": note: ") + 8;
    more[std::to_string(at)] = std::stol(line.substr(n));
  }
  const std::map<std::string, int> expected_written = {{"negative-value", 100},
                                                       {"beyond-80", 100},
                                                       {"decade-step", 100},
                                                       {"duplicate-id", 100},
                                                       {"catalogue-full", 1}};  // series 15001
  EXPECT_EQ(written, expected_written);
  // Of each code: its findings minus 100, at the line of its 101st finding.
  const std::map<std::string, long> expected_more = {
      {"401", 250000 - 100},    // negative-value: line 1 of series 101
      {"402", 250000 - 100},    // beyond-80: line 2 of series 101
      {"403", 250000 - 100},    // decade-step: line 3 of series 101
      {"4401", 249000 - 100}};  // duplicate-id: the first line of series 1101
  EXPECT_EQ(more, expected_more);
  EXPECT_EQ(last, "1 files, 250000 series: 1 errors, 749000 warnings, 250000 notes");
}

}  // namespace
}  // namespace corvane
