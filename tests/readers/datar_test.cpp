// Tests of the self-describing series reader, reached through trrw's "#" hand-over.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run_numbers.h"
#include "readers/readers.h"
#include "readers/series_file.h"

namespace corvane {
namespace {

using testing::mr_series;
using testing::pad;
using testing::SeriesFile;
using testing::TempDir;
using testing::write_file;

std::string title(std::string_view text) { return pad(text, 79) + "#\n"; }

// "n  ", the count in columns 3-10, the first year in 13-20, the format text in 23-30.
std::string count_line(long count, int year, std::string_view format) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "n %8ld  %8d  ", count, year);
  return buf + pad(format, 8) + "\n";
}

// Value k (from 1) is k x 0.25 written with 3 decimals, or k as an integer; `per_line` fields
// of 8 columns a line.
std::string value_lines(int count, int per_line, bool integers = false) {
  std::string r;
  for (int k = 1; k <= count; ++k) {
    char buf[16];
    if (integers) {
      std::snprintf(buf, sizeof buf, "%8d", k);
    } else {
      std::snprintf(buf, sizeof buf, "%8.3f", k * 0.25);
    }
    r += buf;
    if (k % per_line == 0 || k == count) r += "\n";
  }
  return r;
}

std::vector<float> quarters(int count, bool integers = false) {
  std::vector<float> r;
  for (int k = 1; k <= count; ++k) r.push_back(static_cast<float>(k) * (integers ? 1.0f : 0.25f));
  return r;
}

// A decade series after the self-described one shows where the next call began.
const std::string kNext = mr_series("NEXT", 2000, {100, 200});

TEST(ReadersDatar, SeriesWithTitleCountLineAndValues) {
  SeriesFile f(title("ABCDEFG- title of the series") + count_line(25, 2649, "(10F8.3)") +
               value_lines(25, 10) + kNext);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, "ABCDEFG-");
  EXPECT_EQ(got[0].year, 2649);  // as written: no sign from column 8 here
  EXPECT_TRUE(got[0].self_describing);
  EXPECT_EQ(got[0].values, quarters(25));
  EXPECT_EQ(got[1].id, "NEXT    ");
  EXPECT_EQ(got[1].values, (std::vector<float>{1.0f, 2.0f}));
  EXPECT_EQ(f.out(), "");
}

TEST(ReadersDatar, ValueFieldsByTheDescription) {
  struct Case {
    const char* format;
    std::string lines;
    std::vector<float> want;
  };
  const Case cases[] = {
      {"(10F8.3)", "  123456   1.5E2  -0.125        \n", {123.456f, 150.0f, -0.125f, 0.0f}},
      // Used up, the description begins again on the next line.
      {"(2X,I3)", "xx 12\nxx -7\n", {12.0f, -7.0f}},
      // One line spans as many columns as the description: 160 for (20F8.3).
      {"(20F8.3)", value_lines(25, 20), quarters(25)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    SeriesFile f(title("T") + count_line(static_cast<long>(c.want.size()), 1850, c.format) +
                 c.lines + kNext);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].values, c.want);
    EXPECT_EQ(got[1].id, "NEXT    ");
  }
}

// Lines before the count line that do not begin "n  " replace the title; a line that fails the
// count-line test is skipped.
TEST(ReadersDatar, TitleAndCountLineSearch) {
  struct Case {
    const char* what;
    std::string lines;
    const char* id;
    int n;
  };
  const std::string ok = count_line(3, 1900, "(10F8.3)");
  const std::string two_blanks = std::string(ok).replace(0, 10, "  3       ");
  const std::string paren_at_31 = count_line(5, 1800, "(10F8.3").insert(30, ")");
  const Case cases[] = {
      {"count line begins with two blanks", title("TITLE") + two_blanks, "  3     ", 3},
      {"text line replaces the title", title("TITLE") + "SECOND title\n" + ok, "SECOND t", 3},
      {"line beginning n is skipped, keeps the title", title("TITLE") + "n  remarks\n" + ok,
       "TITLE   ", 3},
      {"blank line replaces the title", title("TITLE") + "\n" + ok, "        ", 3},
      {"\")\" in column 31 is not seen", title("TITLE") + paren_at_31 + ok, "TITLE   ", 3},
      {"no \"(\"", title("TITLE") + count_line(5, 1800, "10F8.3)") + ok, "TITLE   ", 3},
      {"count field fails",
       title("TITLE") + count_line(5, 1800, "(10F8.3)").replace(5, 1, "x") + ok, "TITLE   ", 3},
      {"the title line is the count line", pad("n        3      1900  (10F8.3)", 79) + "#\n",
       "n       ", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SeriesFile f(c.lines + value_lines(c.n, 10) + kNext);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, c.id);
    EXPECT_EQ(got[0].year, 1900);
    EXPECT_EQ(got[0].values, quarters(c.n));
    EXPECT_EQ(got[1].id, "NEXT    ");
  }
}

TEST(ReadersDatar, FileEndingBeforeTheCountLineIsTheEnd) {
  for (const std::string& lines : {title("TITLE"), title("TITLE") + "more text\nn  x\n"}) {
    SCOPED_TRACE(lines);
    SeriesFile f(mr_series("FIRST", 2000, {1}) + lines);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, "FIRST   ");
    EXPECT_EQ(f.out(), "");
  }
}

TEST(ReadersDatar, CountZeroReadsNoValueLine) {
  SeriesFile f(title("EMPTY") + count_line(0, 1850, "(10F8.3)") + kNext);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, "EMPTY   ");
  EXPECT_EQ(got[0].year, 1850);
  EXPECT_TRUE(got[0].values.empty());
  EXPECT_EQ(got[1].id, "NEXT    ");
}

// After a value that fails to convert the series keeps only the values read, and the rest of
// its value lines are passed over: written as integers, they would pass for decade lines.
TEST(ReadersDatar, ValueThatFailsToConvert) {
  for (const bool integers : {false, true}) {
    for (int bad : {1, 12, 20, 25}) {
      SCOPED_TRACE((integers ? "(10I8), bad value " : "(10F8.3), bad value ") +
                   std::to_string(bad));
      std::string lines = value_lines(25, 10, integers);
      const std::size_t line = static_cast<std::size_t>(bad - 1) / 10;
      const std::size_t at = line * 81 + static_cast<std::size_t>((bad - 1) % 10) * 8;
      lines.replace(at, 8, "   1.2.3");
      SeriesFile f(title("BADVAL") + count_line(25, 1850, integers ? "(10I8)" : "(10F8.3)") +
                   lines + kNext);
      const auto got = f.all();
      ASSERT_EQ(got.size(), 2u);
      EXPECT_EQ(got[0].id, "BADVAL  ");
      EXPECT_EQ(got[0].values, quarters(bad - 1, integers));
      EXPECT_EQ(got[1].id, "NEXT    ");
      EXPECT_EQ(f.out(), ">> sbr datar:  error reading data\n");
    }
  }
}

TEST(ReadersDatar, EarlyEndKeepsTheValuesRead) {
  SeriesFile f(title("SHORT") + count_line(25, 1850, "(10F8.3)") + value_lines(20, 10));
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values, quarters(20));
  EXPECT_EQ(f.out(), ">> sbr datar:  unexpected end reading data\n");
}

// A format text with both parentheses that is no valid description: an empty series, and the
// next call begins after the count line, whatever the count.
TEST(ReadersDatar, BadFormatText) {
  struct Case {
    const char* format;
    long count;
  };
  const Case cases[] = {{"(F)", 3},  {"(0F8.3)", 3}, {"(10F0.0)", 3},
                        {"(A8)", 3}, {"(5X)", 3},    {"(F)", 20000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.count));
    SeriesFile f(title("BADFMT") + count_line(c.count, 1850, c.format) + kNext);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, "BADFMT  ");
    EXPECT_TRUE(got[0].values.empty());
    EXPECT_EQ(got[1].id, "NEXT    ");
    EXPECT_EQ(f.out(), ">> sbr datar:  bad format text\n");
  }
}

TEST(ReadersDatar, CountOutsideTheLimitStops) {
  for (long count : {10001L, -1L, 20000L}) {
    SCOPED_TRACE(count);
    SeriesFile f(title("HUGE01") + count_line(count, 1850, "(10F8.3)") + value_lines(30, 10));
    EXPECT_EQ(f.stop_status(), kExitStopped);
    EXPECT_NE(f.out().find("HUGE01"), std::string::npos) << f.out();
    EXPECT_NE(f.out().find("10000"), std::string::npos) << f.out();
  }
  SeriesFile full(title("FULL") + count_line(kMaxValues, 1, "(10F8.3)") +
                  value_lines(kMaxValues, 10));
  const auto got = full.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values.size(), 10000u);
}

}  // namespace
}  // namespace corvane
