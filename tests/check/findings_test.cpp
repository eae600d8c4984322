// Each kind of finding on a small file: its exact line, severity and code, and the same file
// mended checking clean.
#include <string>
#include <vector>

#include "check/check_util.h"

namespace corvane {
namespace {

using testing::check_text;
using testing::constant;
using testing::fields;
using testing::ir_line;
using testing::mr_line;
using testing::mr_series;
using testing::pad;
using testing::sd_count;
using testing::sd_title;
using testing::sd_values;

std::string text_lines(int count) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += "Site header, line " + std::to_string(i) + "\n";
  return s;
}

// Fields 100.. with one replaced.
std::vector<std::string> with(int count, std::size_t at, std::string field) {
  std::vector<std::string> f = fields(count);
  f[at] = std::move(field);
  return f;
}

struct Case {
  const char* name;
  std::string damaged;
  std::string mended;
  std::vector<std::string> expected;  // "LINE severity code"
  const char* file = "data.rwl";      // the name gives the layout
};

const std::string kA2000 = mr_line("A", "2000", fields(10));
const std::string kA2010 = mr_line("A", "2010", fields(10, 200));
const std::string kA2020 = mr_line("A", "2020", fields(10, 300));
const std::string kAEnd = mr_line("A", "2030", {"999"});

std::vector<Case> cases() {
  return {
      {"text-limit, counted again from 0",
       text_lines(52) + mr_series("A", 2000, {1, 2}),
       text_lines(25) + mr_series("A", 2000, {1, 2}),
       {"26 error text-limit", "52 error text-limit"}},
      {"too-long at the line of the 10001st value",
       mr_series("LONG", -1000, constant(10001, 100)) + mr_series("NEXT", 2000, {5}),
       mr_series("LONG", -1000, constant(10000, 100)) + mr_series("NEXT", 2000, {5}),
       {"1001 error too-long"}},
      {"sd-bad-count",
       sd_title("HUGE") + sd_count(-1, 1850) + sd_values(3) + mr_series("NEXT", 2000, {5}),
       sd_title("HUGE") + sd_count(3, 1850) + sd_values(3) + mr_series("NEXT", 2000, {5}),
       {"2 error sd-bad-count"}},
      {"text-in-series, and the step it leaves",
       kA2000 + mr_line("A", "2010", with(10, 1, "18x")) + kA2020 + kAEnd,
       kA2000 + mr_line("A", "2010", with(10, 1, "180")) + kA2020 + kAEnd,
       {"2 warning text-in-series", "3 warning decade-step"}},
      {"decade-step: a line missing",
       kA2000 + kA2020 + kAEnd,
       kA2000 + kA2010 + kA2020 + kAEnd,
       {"2 warning decade-step"}},
      {"decade-step: a line doubled",
       kA2000 + kA2010 + kA2010 + kA2020 + kAEnd,
       kA2000 + kA2010 + kA2020 + kAEnd,
       {"3 warning decade-step"}},
      {"decade-step with the year's sign in column 8",
       mr_line("X      -", "1200", fields(10)) + mr_line("X      -", "1180", fields(10)) +
           mr_line("X      -", "1170", {"999"}),
       mr_line("X      -", "1200", fields(10)) + mr_line("X      -", "1190", fields(10)) +
           mr_line("X      -", "1180", {"999"}),
       {"2 warning decade-step"}},
      {"id-change: an end marker missing",
       kA2000 + mr_line("B", "2010", fields(10)) + mr_line("B", "2020", {"999"}),
       kA2000 + mr_line("A", "2010", {"999"}) + mr_line("B", "2010", fields(10)) +
           mr_line("B", "2020", {"999"}),
       {"2 warning id-change"}},
      {"unterminated: the last end marker missing",
       mr_series("A", 2000, {1}) + text_lines(1) + mr_line("B", "2000", fields(10)),
       mr_series("A", 2000, {1}) + text_lines(1) + mr_line("B", "2000", fields(10)) +
           mr_line("B", "2010", {"999"}),
       {"3 warning unterminated"}},
      {"duplicate-id, the year's sign read as a blank",
       mr_series("A", 2000, {1}) + mr_series("ABC", -1200, {2}) + mr_series("ABC", 1900, {3}),
       mr_series("A", 2000, {1}) + mr_series("ABC", -1200, {2}) + mr_series("ABD", 1900, {3}),
       {"3 warning duplicate-id"}},
      {"negative-value",
       mr_line("A", "2000", with(10, 2, "-999")) + mr_line("A", "2010", {"999"}),
       mr_line("A", "2000", with(10, 2, "99")) + mr_line("A", "2010", {"999"}),
       {"1 warning negative-value"}},
      {"empty-series",
       mr_line("A", "2000", {"999"}) + mr_series("B", 2000, {1}),
       mr_line("A", "2000", {"5", "999"}) + mr_series("B", 2000, {1}),
       {"1 warning empty-series"}},
      {"empty-series of a chronology",
       ir_line("CHR", "1920", {"9990"}),
       ir_line("CHR", "1920", {"1000", "9990"}),
       {"1 warning empty-series"},
       "data.crn"},
      {"empty-series of a count of 0",
       sd_title("NONE") + sd_count(0, 1850),
       sd_title("NONE") + sd_count(1, 1850) + sd_values(1),
       {"2 warning empty-series"}},
      {"after-marker",
       mr_line("A", "2000", {"5", "999", "7"}) + mr_series("B", 2000, {1}),
       mr_line("A", "2000", {"5", "999", "999"}) + mr_series("B", 2000, {1}),
       {"1 warning after-marker"}},
      {"after-marker of a chronology",
       ir_line("CHR", "1920", {"1000", "9990", "1032", "9990"}),
       ir_line("CHR", "1920", {"1000", "9990", "9990", "9990"}),
       {"1 warning after-marker"},
       "data.crn"},
      {"ignored-slot after the first line's slots",
       mr_line("A", "2003", fields(8)) + mr_line("A", "2010", {"999"}),
       mr_line("A", "2003", fields(7)) + mr_line("A", "2010", {"999"}),
       {"1 warning ignored-slot"}},
      {"ignored-slot before a chronology's first year",
       ir_line("CHR", "1923",
               {"500", "600", "700", "1000", "1001", "1002", "1003", "1004", "1005", "1006"}) +
           ir_line("CHR", "1930", {"9990"}),
       ir_line("CHR", "1923",
               {"9990", "9990", "9990", "1000", "1001", "1002", "1003", "1004", "1005", "1006"}) +
           ir_line("CHR", "1930", {"9990"}),
       {"1 warning ignored-slot"},
       "data.crn"},
      {"blank-value, and a short line",
       mr_line("A", "2000", with(10, 3, "")) + mr_line("A", "2010", {"1", "2"}) +
           mr_line("A", "2020", {"999"}),
       kA2000 + kA2010 + mr_line("A", "2020", {"999"}),
       {"1 warning blank-value", "2 warning blank-value"}},
      {"embedded-blank",
       mr_line("A", "2000", {" 10 30", "999"}),
       mr_line("A", "2000", {"10", "30", "999"}),
       {"1 warning embedded-blank"}},
      {"zero-line inside a series",
       kA2000 + "\t\t\t\n" + kA2010 + kA2020 + kAEnd,
       kA2000 + kA2010 + kA2020 + kAEnd,
       {"2 warning zero-line"}},
      {"sd-bad-value",
       sd_title("BAD") + sd_count(25, 1850) +
           std::string(sd_values(25)).replace(sd_values(25).find("3.000"), 1, "x") +
           mr_series("NEXT", 2000, {5}),
       sd_title("BAD") + sd_count(25, 1850) + sd_values(25) + mr_series("NEXT", 2000, {5}),
       {"4 warning sd-bad-value"}},
      {"sd-early-end",
       sd_title("SHORT") + sd_count(25, 1850) + sd_values(12),
       sd_title("SHORT") + sd_count(12, 1850) + sd_values(12),
       {"2 warning sd-early-end"}},
      {"sd-bad-format",
       sd_title("FMT") + sd_count(0, 1850, "(10Q8.3)"),
       sd_title("FMT") + sd_count(1, 1850) + sd_values(1),
       {"2 warning sd-bad-format"}},
      {"beyond-80",
       pad(mr_line("A", "2000", fields(10)).substr(0, 72), 80) + "  notes\n" + kA2010 + kA2020 +
           kAEnd,
       kA2000 + kA2010 + kA2020 + kAEnd,
       {"1 note beyond-80"}},
      {"year-in-id",
       mr_line("EGR108 1", "713", fields(7)) + mr_line("EGR108 1", "720", {"999"}),
       mr_line("EGR108", "1713", fields(7)) + mr_line("EGR108", "1720", {"999"}),
       {"1 note year-in-id"}},
      {"year-in-id: a 0 in column 8",
       mr_line("EGR108 0", "713", fields(7)) + mr_line("EGR108 0", "720", {"999"}),
       mr_line("EGR108 A", "713", fields(7)) + mr_line("EGR108 A", "720", {"999"}),
       {"1 note year-in-id"}},
      {"year-in-id: a 9 in column 8",
       mr_line("EGR108 9", "713", fields(7)) + mr_line("EGR108 9", "720", {"999"}),
       mr_line("EGR108 B", "713", fields(7)) + mr_line("EGR108 B", "720", {"999"}),
       {"1 note year-in-id"}},
      {"after-marker alone on a first line that holds fewer slots than ten",
       mr_line("A", "2003", {"5", "999", "1", "2", "3", "4", "5", "6", "7", "8"}) +
           mr_series("B", 2000, {1}),
       mr_line("A", "2003", {"5", "999"}) + mr_series("B", 2000, {1}),
       {"1 warning after-marker"}},
      {"mixed-precision",
       mr_series("A", 2000, {1}) + mr_series("B", 2000, {2}, -9999) + mr_series("C", 2000, {3}),
       mr_series("A", 2000, {1}) + mr_series("B", 2000, {2}) + mr_series("C", 2000, {3}),
       {"2 note mixed-precision"}},
  };
}

TEST(CheckFindings, EachCodeAtItsLineAndTheMendedFileClean) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const auto damaged = check_text(c.damaged, c.file);
    EXPECT_EQ(damaged.summary(), c.expected) << damaged.out;
    const auto mended = check_text(c.mended, c.file);
    EXPECT_TRUE(mended.found.empty()) << mended.out;
  }
}

// The whole line of a few findings: file, line, severity, message, code.
TEST(CheckFindings, MessagesNameWhatWasFoundAndWhatTheReaderDid) {
  const auto step = check_text(kA2000 + kA2020 + kAEnd);
  ASSERT_EQ(step.found.size(), 1u);
  EXPECT_EQ(step.found[0].message,
            "series \"A\" expects the year 2010 here but the line says 2020: the reader ignores "
            "the years of later lines, so from here on the values stand 10 years early (a decade "
            "line missing, doubled or out of order)");
  EXPECT_EQ(step.closing, "1 files, 1 series: 0 errors, 1 warnings, 0 notes");
  const auto text = check_text(kA2000 + mr_line("A", "2010", with(10, 1, "18x")) + kA2020 + kAEnd);
  EXPECT_EQ(text.found.at(0).message,
            "the value field \"   18x\" in columns 19-24 does not convert, so the reader passes "
            "over the line as text: series \"A\" goes on with its next data line, without this "
            "line's values");
  const auto tab = check_text(kA2000 + mr_line("A", "2010", with(10, 0, "1\t0")) + kA2020 + kAEnd);
  EXPECT_EQ(tab.found.at(0).message,
            "the value field \"   1\\t0\" in columns 13-18 does not convert, so the reader passes "
            "over the line as text: series \"A\" goes on with its next data line, without this "
            "line's values");
  const auto negative = check_text(mr_line("AB-1", "2000", with(10, 4, "-999")) +
                                   mr_line("AB-1", "2010", with(10, 0, "-5")) +
                                   mr_line("AB-1", "2020", {"-5", "-6", "999"}));
  ASSERT_EQ(negative.found.size(), 3u) << negative.out;
  EXPECT_EQ(negative.found[0].message,
            "1 value of series \"AB-1\" on this line (\"  -999\", in columns 37-42) is below 0, "
            "the code of a missing ring: the reader reads it as a ring of width 0, which counts in "
            "the mean");
  EXPECT_EQ(negative.found[2].message,
            "2 values of series \"AB-1\" on this line (the first, \"    -5\", in columns 13-18) "
            "are below 0, codes of missing rings: the reader reads them as rings of width 0, which "
            "count in the mean");
  const auto ignored =
      check_text(mr_line("A", "2003", with(9, 8, "999")) + mr_line("A", "2010", {"999"}));
  EXPECT_EQ(ignored.found.at(0).message,
            "2 values after the 7 slots that the first line of series \"A\" holds for 2003-2009 "
            "(the first, \"   107\", in columns 55-60) are not taken: the reader drops them");
  const auto lost = check_text(mr_series("A", 2000, {1}) + mr_line("B", "2000", fields(3)));
  EXPECT_EQ(lost.found.at(0).message,
            "the file ends inside series \"B\", begun on this line, before its end marker: the "
            "reader drops the series");
  const auto twice = check_text(mr_series("A", 2000, {1}) + mr_series("A", 2000, {2}));
  EXPECT_EQ(twice.found.at(0).message,
            "series \"A\" has the ID of the series begun on line 1: both are listed under one ID");
}

// A value limit is an error of the line, and what comes after it is checked as usual.
TEST(CheckFindings, ChecksOnPastEveryLimit) {
  const auto c = check_text(text_lines(30) + mr_series("LONG", -1000, constant(10001, 100)) +
                            mr_series("NEXT", 2000, {-5}) + sd_title("HUGE") +
                            sd_count(20000, 1850) + sd_values(30) + mr_series("LAST", 2000, {1}));
  EXPECT_EQ(c.summary(),
            (std::vector<std::string>{"26 error text-limit", "1031 error too-long",
                                      "1032 warning negative-value", "1034 error sd-bad-count"}))
      << c.out;
  EXPECT_EQ(c.closing, "1 files, 2 series: 3 errors, 1 warnings, 0 notes");
}

}  // namespace
}  // namespace corvane
