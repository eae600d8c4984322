// Smaller rules at the edges of input and output, end to end: links that lead to the report,
// the command line's output failing, lines ended by carriage returns, byte-order marks, and
// real fields beyond single precision.
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/child_process.h"
#include "report_text.h"
#include "textio/textio.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::Child;
using testing::ChildSetup;
using testing::describe_status;
using testing::exit_text;
using testing::listing_head;
using testing::mr_series;
using testing::pad;
using testing::read_file;
using testing::run_corvane;
using testing::series_line;
using testing::TempDir;
using testing::write_file;

std::string examples_file(std::string_view name) {
  return read_file(fs::path(CORVANE_EXAMPLES) / name);
}

/// The text with every line feed replaced by `line_end`.
std::string with_line_ends(std::string_view text, std::string_view line_end) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += line_end;
    } else {
      out += c;
    }
  }
  return out;
}

/// A self-describing series: the title line with "#" in column 80, the count line, values.
std::string self_describing(std::string_view title, std::string_view count, std::string_view year,
                            std::string_view format, std::string_view value_lines) {
  return pad(title, 79) + "#\nn " + pad(count, 8) + "  " + pad(year, 8) + "  " + pad(format, 8) +
         "\n" + std::string(value_lines);
}

/// The report that a run with `input` leaves in a fresh directory holding `files`.
struct Run {
  int status;
  std::string out;
  std::string report;
};
Run run_with(const std::vector<std::pair<std::string, std::string>>& files,
             const std::string& input, const std::string& report) {
  TempDir dir;
  for (const auto& [name, content] : files) write_file(dir / name, content);
  const auto r = run_corvane(dir.path(), input);
  return {r.status, r.out, read_file(dir / report)};
}

// A list entry that leads by symbolic links to the report's name clashes with the report,
// also before the report exists; a loop of links ends and names no file.
TEST(DriverSmallMends, ListEntryLinkedToTheReport) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> links;  // name -> target
    int status;
    const char* text;
  };
  const Case cases[] = {
      {"dangling link to the report", {{"link.rwl", "d.lst_rec"}}, 1, "would overwrite"},
      {"link to a link to the report",
       {{"link.rwl", "hop"}, {"hop", "./d.lst_rec"}},
       1,
       "would overwrite"},
      {"absolute link to the report", {{"link.rwl", ""}}, 1, "would overwrite"},
      {"loop of links", {{"link.rwl", "hop"}, {"hop", "link.rwl"}}, 0, "DOES NOT exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir / "d.lst", "link.rwl\n");
    for (const auto& [name, target] : c.links) {
      fs::create_symlink(*target != '\0' ? fs::path(target) : dir / "d.lst_rec", dir / name);
    }
    const auto r = run_corvane(dir.path(), "T\nd.lst\n1\n");
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
    if (c.status == 1) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "d.lst_rec")));
      EXPECT_EQ(r.out.find("Measurements or Chronologies?"), std::string::npos);
    }
  }
}

// The command line's own output failing is no success.
TEST(DriverSmallMends, HelpAndVersionFailWhenTheirOutputFails) {
  for (const char* arg : {"--help", "--version"}) {
    SCOPED_TRACE(arg);
    TempDir dir;
    ChildSetup setup;
    setup.dir = dir.path();
    setup.args = {arg};
    setup.stdin_path = "/dev/null";
    setup.stdout_path = "/dev/full";
    Child child(setup);
    EXPECT_EQ(describe_status(child.wait_exit()), exit_text(2)) << child.err();
    // With a working output they succeed.
    setup.stdout_path.clear();
    Child ok(setup);
    EXPECT_EQ(describe_status(ok.wait_exit()), exit_text(0));
    EXPECT_FALSE(ok.out().empty());
  }
}

// A line ends at a line feed, or at a run of carriage returns with or without one line feed
// after it: every such file reads as its line-feed original, data and list files alike.
TEST(DriverSmallMends, CarriageReturnLineEnds) {
  const std::string oaks = examples_file("oaks.rwl");
  const std::string list = "oaks.rwl\nmixed.rwl\nbristle.rwl\n";
  const auto lf = run_with({{"oaks.rwl", oaks}}, "F\noaks.rwl\n1\n", "oaks.rwl_rec");
  ASSERT_EQ(lf.status, 0);
  const auto lf_list = run_with({{"oaks.rwl", oaks},
                                 {"mixed.rwl", examples_file("mixed.rwl")},
                                 {"bristle.rwl", examples_file("bristle.rwl")},
                                 {"l.lst", list}},
                                "T\nl.lst\n1\n", "l.lst_rec");
  ASSERT_EQ(lf_list.status, 0);
  for (const std::string_view end : {"\r", "\r\n", "\r\r\n", "\r\r", "\r\r\r"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(end)));
    const auto r =
        run_with({{"oaks.rwl", with_line_ends(oaks, end)}}, "F\noaks.rwl\n1\n", "oaks.rwl_rec");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.report, lf.report);
    const auto l = run_with({{"oaks.rwl", oaks},
                             {"mixed.rwl", examples_file("mixed.rwl")},
                             {"bristle.rwl", examples_file("bristle.rwl")},
                             {"l.lst", with_line_ends(list, end)}},
                            "T\nl.lst\n1\n", "l.lst_rec");
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.report, lf_list.report);
  }
}

// An empty line between two carriage returns vanishes, where an empty line would count: a
// list entry (an empty name is a file of its own) and a value line of a self-describing series
// (an empty line reads as zeros).
TEST(DriverSmallMends, NoEmptyLineBetweenTwoCarriageReturns) {
  const std::string a = mr_series("A1", 1950, {100});
  auto r = run_with({{"a.rwl", a}, {"l.lst", "a.rwl\r\ra.rwl\r"}}, "T\nl.lst\n1\n", "l.lst_rec");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(testing::closing(2, 2)), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("DOES NOT exist"), std::string::npos);
  // A line feed, a carriage return and a line feed: the empty line between them stays.
  r = run_with({{"a.rwl", a}, {"l.lst", "a.rwl\n\r\na.rwl\n"}}, "T\nl.lst\n1\n", "l.lst_rec");
  EXPECT_NE(r.out.find(testing::closing(3, 2)), std::string::npos) << r.out;

  const std::string sd = with_line_ends(
      self_describing("SD", "       2", "    1900", "(2F8.3)", "   1.000   3.000\n"), "\r\r");
  r = run_with({{"sd.rwl", sd}}, "F\nsd.rwl\n1\n", "sd.rwl_rec");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.report.find(series_line(1, "SD", 1900, 1901, 2, "2.000")), std::string::npos)
      << r.report;
}

// A UTF-8 byte-order mark at the very start of a data or list file is skipped.
TEST(DriverSmallMends, ByteOrderMarkIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string oaks = examples_file("oaks.rwl");
  // A file whose first line is a series: the mark would shift its columns.
  const std::string first_series = mr_series("A1", 1950, {100, 200, 300}) + oaks;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> plain, marked;
    std::string input, report;
  };
  const std::vector<Case> cases = {
      {"data file beginning with a header",
       {{"oaks.rwl", oaks}},
       {{"oaks.rwl", bom + oaks}},
       "F\noaks.rwl\n1\n",
       "oaks.rwl_rec"},
      {"data file beginning with a series",
       {{"s.rwl", first_series}},
       {{"s.rwl", bom + first_series}},
       "F\ns.rwl\n1\n",
       "s.rwl_rec"},
      {"list file",
       {{"s.rwl", first_series}, {"l.lst", "s.rwl\ns.rwl\n"}},
       {{"s.rwl", first_series}, {"l.lst", bom + "s.rwl\ns.rwl\n"}},
       "T\nl.lst\n1\n",
       "l.lst_rec"},
      {"list file with CR line ends and a marked data file",
       {{"s.rwl", first_series}, {"l.lst", "s.rwl\n"}},
       {{"s.rwl", bom + first_series}, {"l.lst", bom + "s.rwl\r"}},
       "T\nl.lst\n1\n",
       "l.lst_rec"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto plain = run_with(c.plain, c.input, c.report);
    ASSERT_EQ(plain.status, 0);
    const auto marked = run_with(c.marked, c.input, c.report);
    EXPECT_EQ(marked.status, 0);
    EXPECT_EQ(marked.report, plain.report);
  }
  // Only at the very start: a mark at the start of the second name is part of that name.
  const auto second = run_with({{"s.rwl", first_series}, {"l.lst", "s.rwl\n" + bom + "s.rwl\n"}},
                               "T\nl.lst\n1\n", "l.lst_rec");
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.out.find(" This file " + pad(bom + "s.rwl", 40) + " DOES NOT exist"),
            std::string::npos);
}

// A real field too large for single precision converts to infinity (rounding to nearest) and
// is no conversion failure: a self-describing series of 1E39 lists its values and a mean of
// asterisks.
TEST(DriverSmallMends, RealFieldBeyondSinglePrecision) {
  struct Case {
    const char* value_line;
    const char* id;
  };
  const Case cases[] = {{"    1E39   1.000\n", "HUGE"},
                        {"   -1E39   1.000\n", "NEGHUGE"},
                        {"   1.000 1.0D+39\n", "DHUGE"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value_line);
    TempDir dir;
    write_file(dir / "big.rwl",
               self_describing(c.id, "       2", "    1900", "(2F8.0)", c.value_line) +
                   mr_series("NEXT", 1950, {100}));
    const auto r = run_corvane(dir.path(), "F\nbig.rwl\n1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find(">> sbr datar"), std::string::npos) << r.out;
    const std::string expected = listing_head("big.rwl") +
                                 series_line(1, c.id, 1900, 1901, 2, "********") +
                                 series_line(2, "NEXT", 1950, 1950, 1, "1.000");
    EXPECT_EQ(read_file(dir / "big.rwl_rec").substr(0, expected.size()), expected);
  }

  // The field rule itself, at the edge of the range.
  struct Field {
    const char* text;
    int decimals;
    float value;
  };
  const float inf = HUGE_VALF;
  const Field fields[] = {
      {"1E39", 0, inf},
      {"-1E39", 0, -inf},
      {"1.E39", 3, inf},
      {"1E39", 3, 1e36f},  // no point: the last three digits are decimals
      {"3.4028235E38", 0, FLT_MAX},
      {"3.4028236E38", 0, inf},  // above the midpoint between FLT_MAX and 2^128
      {"-3.4028236E38", 0, -inf},
      {"1E99999999", 0, inf},
      {"99999999999999999999999999999999999999999", 0, inf},
  };
  for (const Field& f : fields) {
    SCOPED_TRACE(f.text);
    float out = 0.0f;
    EXPECT_TRUE(parse_real_field(f.text, f.decimals, out));
    EXPECT_EQ(out, f.value);
  }
}

}  // namespace
}  // namespace corvane
