// Damaged copies of examples/oaks.rwl: what a run lists without a word, a check names by line.
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "check/check_util.h"

namespace corvane {
namespace {

using testing::check_text;
using testing::read_file;

// The lines of examples/oaks.rwl: three header lines, then OAK01A (lines 4-19), OAK01B
// (20-34), OAK02A (35-45) and OAK03A (46-59), each closed by 999.
std::vector<std::string> oaks() {
  const std::string text = read_file(std::filesystem::path(CORVANE_EXAMPLES) / "oaks.rwl");
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = text.find('\n', begin);
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines, std::string_view end = "\n") {
  std::string s;
  for (const auto& l : lines) s.append(l).append(end);
  return s;
}

struct Damage {
  const char* what;
  std::vector<std::string> lines;
  std::vector<std::string> expected;  // "LINE severity code"
  std::int64_t series;
};

std::vector<Damage> damages() {
  const std::vector<std::string> base = oaks();
  std::vector<Damage> d;
  auto add = [&](const char* what, auto change, std::vector<std::string> expected,
                 std::int64_t series) {
    std::vector<std::string> lines = base;
    change(lines);
    d.push_back({what, lines, std::move(expected), series});
  };
  const auto line = [](std::vector<std::string>& l, int n) -> std::string& { return l[n - 1]; };
  add(
      "18x in a value", [&](auto& l) { line(l, 7).replace(15, 3, "18x"); },
      {"7 warning text-in-series", "8 warning decade-step"}, 4);
  add(
      "a decade line deleted", [](auto& l) { l.erase(l.begin() + 9); }, {"10 warning decade-step"},
      4);
  add(
      "a decade line doubled", [](auto& l) { l.insert(l.begin() + 9, l[9]); },
      {"11 warning decade-step"}, 4);
  add(
      "an end marker removed", [](auto& l) { l.erase(l.begin() + 18); },
      {"19 warning decade-step", "19 warning id-change", "19 warning blank-value"}, 3);
  add(
      "the last end marker removed", [](auto& l) { l.pop_back(); }, {"46 warning unterminated"}, 3);
  add(
      "-999 in a value", [&](auto& l) { line(l, 24).replace(12, 6, "  -999"); },
      {"24 warning negative-value"}, 4);
  add(
      "a duplicated ID",
      [](auto& l) {
        for (int n = 35; n <= 45; ++n) l[static_cast<std::size_t>(n - 1)].replace(0, 6, "OAK01B");
      },
      {"35 warning duplicate-id"}, 4);
  add(
      "30 header lines",
      [](auto& l) {
        for (int i = 0; i < 27; ++i) l.insert(l.begin() + 3, "OAK    4 one more header line");
      },
      {"26 error text-limit"}, 4);
  add(
      "a tab inside a numeric field", [&](auto& l) { line(l, 13).replace(14, 1, "\t"); },
      {"13 warning text-in-series", "14 warning decade-step"}, 4);
  add(
      "a line of tabs inside a series", [](auto& l) { l.insert(l.begin() + 30, "\t\t\t"); },
      {"31 warning zero-line"}, 4);
  // A letter in a value of a series' first line makes the line text before the series.
  for (const int first : {4, 20, 35, 46}) {
    d.push_back({"a letter on a first line",
                 base,
                 {std::to_string(first) + " warning damaged-first-line"},
                 4});
    d.back().lines[static_cast<std::size_t>(first - 1)].replace(15, 3, "1x2");
  }
  add(
      "a damaged first line, then a blank line",
      [&](auto& l) {
        line(l, 20).replace(15, 3, "1x2");
        l.insert(l.begin() + 20, "");
      },
      {"20 warning damaged-first-line"}, 4);
  add(
      "a damaged first year", [&](auto& l) { line(l, 20).replace(8, 4, "18x0"); }, {}, 4);
  add(
      "a damaged first line with another ID",
      [&](auto& l) { line(l, 20).replace(0, 8, "OAK01C  ").replace(15, 3, "1x2"); }, {}, 4);
  return d;
}

TEST(CheckDamagedOaks, EachDamageNamedByLine) {
  const auto clean = check_text(joined(oaks()), "oaks.rwl");
  EXPECT_TRUE(clean.found.empty()) << clean.out;
  EXPECT_EQ(clean.closing, "1 files, 4 series: 0 errors, 0 warnings, 0 notes");
  for (const Damage& d : damages()) {
    SCOPED_TRACE(d.what);
    const auto c = check_text(joined(d.lines), "oaks.rwl");
    EXPECT_EQ(c.summary(), d.expected) << c.out;
    EXPECT_EQ(c.totals.series, d.series);
  }
}

TEST(CheckDamagedOaks, DamagedFirstLineSaysWhatIsLost) {
  std::vector<std::string> lines = oaks();
  lines[19].replace(15, 3, "1x2");
  const auto c = check_text(joined(lines), "oaks.rwl");
  ASSERT_EQ(c.found.size(), 1u) << c.out;
  EXPECT_EQ(c.found[0].message,
            "the value field \"   1x2\" in columns 13-18 does not convert, so the reader passes "
            "over the line as text; it is most likely the first data line of series \"OAK01B\", "
            "damaged: the rings of 1862-1869 are lost and the series begins in 1870 instead of "
            "1862");
}

// A chronology whose three header lines begin with its site code: no finding until its first
// line is damaged; a value below 0 is named too.
TEST(CheckDamagedOaks, ChronologyHeadersAndDamage) {
  const auto ir = [](std::string_view id, std::string_view year, std::string_view values) {
    return std::string(id) + std::string(year) + std::string(values) + "\n";
  };
  const std::string head =
      "CAM001 1 Campito Mountain                               PILO\n"
      "CAM001 2 California   Bristlecone  3400M  3730-11813   __  626 1983\n"
      "CAM001 3 chronology header, third line\n";
  const std::string first =
      ir("CAM001", " 626", std::string(42, ' ') + " 347  1 266  1 287  1 391  1");
  const std::string second = ir("CAM001", " 630", " 453  1 558  19990  0");
  EXPECT_TRUE(check_text(head + first + second, "cam.crn").found.empty());
  std::string damaged = first;
  damaged[60] = 'x';  // the value for 627
  EXPECT_EQ(check_text(head + damaged + second, "cam.crn").summary(),
            (std::vector<std::string>{"4 warning damaged-first-line"}));
  EXPECT_EQ(check_text(head + first + ir("CAM001", " 630", " 453  1 -58  19990  0"), "cam.crn")
                .found.at(0)
                .message,
            "1 value of series \"CAM001\" on this line (\" -58\", in columns 18-21) is below 0: "
            "the reader stores it as written, which counts in the mean");
}

// Lines are counted as the line-end rule ends them, a byte-order mark aside.
TEST(CheckDamagedOaks, LinesCountedByTheLineEndRule) {
  const Damage d = damages().front();
  for (const char* end : {"\r\n", "\r\r\n", "\r"}) {
    SCOPED_TRACE(testing::numbered("line end of length ", static_cast<long>(std::strlen(end))));
    EXPECT_EQ(check_text(joined(d.lines, end), "oaks.rwl").summary(), d.expected);
  }
  EXPECT_EQ(check_text("\xEF\xBB\xBF" + joined(d.lines), "oaks.rwl").summary(), d.expected);
}

// A command-line run over each damaged copy says how many of its lines a check would warn
// about, as far as the reader tells them on its way: the distinct lines of those findings.
TEST(CheckDamagedOaks, ARunPointsToTheCheckOfEachDamagedFile) {
  static const std::set<std::string> told = {"text-in-series", "damaged-first-line",
                                             "negative-value", "unterminated"};
  testing::TempDir dir;
  testing::write_file(dir / "clean.rwl", joined(oaks()));
  std::string args = "-q clean.rwl";
  std::vector<std::string> hints;
  std::size_t with_hint = 0;
  int k = 0;
  std::vector<Damage> twice = damages();
  const std::size_t kinds = twice.size();
  for (std::size_t i = 0; i < kinds; ++i) twice.push_back(twice[i]);
  for (const Damage& d : twice) {
    if (d.expected.size() == 1 && d.expected[0].find(" error ") != std::string::npos) continue;
    const std::string name = "d" + std::to_string(++k) + ".rwl";
    testing::write_file(dir / name, joined(d.lines, k % 2 == 0 ? "\r\n" : "\n"));
    args += " " + name;
    std::set<std::string> lines;
    for (const std::string& e : d.expected) {
      const std::size_t code = e.rfind(' ') + 1;
      if (told.count(e.substr(code)) != 0) lines.insert(e.substr(0, e.find(' ')));
    }
    if (lines.empty()) continue;
    if (++with_hint > 10) continue;
    hints.push_back("corvane: " + name + ": " + std::to_string(lines.size()) +
                    (lines.size() == 1 ? " suspect line" : " suspect lines") +
                    "; corvane --check " + name + " names them");
  }
  ASSERT_GT(with_hint, 10u);
  hints.push_back("corvane: and " + std::to_string(with_hint - 10) +
                  " more files with suspect lines");
  std::string expected;
  for (const std::string& h : hints) expected += h + "\n";
  const testing::RunResult run = testing::run_corvane(dir.path(), "", args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, expected);

  // Clean files, and the dialogue over a damaged one, say nothing of it.
  EXPECT_EQ(testing::run_corvane(dir.path(), "", "-q clean.rwl").err, "");
  const testing::RunResult dialogue = testing::run_corvane(dir.path(), "F\nd1.rwl\n1\n");
  EXPECT_EQ(dialogue.status, 0);
  EXPECT_EQ(dialogue.err, "");
}

}  // namespace
}  // namespace corvane
