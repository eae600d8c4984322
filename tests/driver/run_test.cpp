// End-to-end tests of whole runs: listing, totals, summary box, closing lines, report file.
#include <filesystem>
#include <string>
#include <vector>

#include "report_text.h"

namespace corvane {
namespace {

using testing::box;
using testing::closing;
using testing::constant;
using testing::heading;
using testing::kIndxHeading;
using testing::kRrwHeading;
using testing::mr_series;
using testing::numbered;
using testing::pad;
using testing::read_file;
using testing::report_head;
using testing::run_corvane;
using testing::series_line;
using testing::TempDir;
using testing::write_file;

// The three worked examples of the summary, each as a measurement file, with the whole report
// compared byte for byte.
TEST(DriverRun, WorkedSummaryExamples) {
  struct Case {
    std::string name;
    std::string data;
    std::string lines;
    std::string box;
  };
  const Case cases[] = {
      {"abg.rwl",
       mr_series("ALPHA", 1900, constant(100, 100)) + mr_series("BETA", 1950, constant(50, 200)) +
           mr_series("GAMMA", 1800, constant(150, 50)),
       series_line(1, "ALPHA", 1900, 1999, 100, "1.000") +
           series_line(2, "BETA", 1950, 1999, 50, "2.000") +
           series_line(3, "GAMMA", 1800, 1949, 150, "0.500"),
       box(1800, 1999, 3, 1800, 1949, 150, 1, 150)},
      {"tied.rwl",
       mr_series("ALPHA", 1900, constant(100, 100)) + mr_series("BETA", 1950, constant(50, 200)) +
           mr_series("GAMMA", 1800, constant(100, 50)),
       series_line(1, "ALPHA", 1900, 1999, 100, "1.000") +
           series_line(2, "BETA", 1950, 1999, 50, "2.000") +
           series_line(3, "GAMMA", 1800, 1899, 100, "0.500"),
       box(1800, 1999, 3, 1900, 1999, 100, 1, 100)},
      {"dez.rwl",
       mr_series("DELTA", -60, constant(20, 100)) + mr_series("EPSILON", 30, constant(30, 100)) +
           mr_series("ZETA", -120, constant(100, 100)),
       series_line(1, "DELTA", -60, -41, 20, "1.000") +
           series_line(2, "EPSILON", 30, 59, 30, "1.000") +
           series_line(3, "ZETA", -120, -21, 100, "1.000"),
       box(-120, 59, 3, -120, -21, 100, 1, 100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    write_file(dir / c.name, c.data);
    const auto r = run_corvane(dir.path(), "F\n" + c.name + "\n1\n");
    EXPECT_EQ(r.status, 0);
    const std::string listing = heading(c.name) + kRrwHeading + c.lines;
    EXPECT_EQ(read_file(dir / (c.name + "_rec")), report_head(c.name) + listing + c.box);
    const std::string console_tail = c.lines + "   Series Read from file=      3\n" +
                                     "   Total Series Read=      3\n" + closing(1, 3);
    ASSERT_GE(r.out.size(), console_tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - console_tail.size()), console_tail);
    // The first file heading continues the held layout prompt on the console.
    EXPECT_NE(r.out.find("[1] rrw  [2] crn  : " + heading(c.name) + kRrwHeading),
              std::string::npos);
  }
}

TEST(DriverRun, ListOfFiveWithTwoMissing) {
  TempDir dir;
  std::string a, b, c;
  for (int i = 0; i < 3; ++i) a += mr_series(numbered("A", i), 1900 + i, constant(10, 100));
  for (int i = 0; i < 4; ++i) b += mr_series(numbered("B", i), 1900, constant(20, 100));
  for (int i = 0; i < 5; ++i) c += mr_series(numbered("C", i), 1950, constant(5, 100));
  write_file(dir / "a.rwl", "Site A header line one\nSite A, second line\n" + a);
  write_file(dir / "b.rwl", b);
  write_file(dir / "c.rwl", c);
  write_file(dir / "run.lst", "a.rwl\nmissing1.rwl\nb.rwl\nmissing2.rwl\nc.rwl\n");
  const auto r = run_corvane(dir.path(), "T\nrun.lst\n1\n");
  EXPECT_EQ(r.status, 0);
  const std::string report = read_file(dir / "run.lst_rec");
  const auto count = [](const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(report, " ___ "), 10u);
  EXPECT_EQ(count(report, " Warning\n\n This file "), 2u);
  EXPECT_EQ(count(report, kRrwHeading), 3u);
  EXPECT_EQ(count(report, "******************************************"), 2u);
  const std::string warning =
      " Warning\n\n This file " + pad("missing1.rwl", 40) + " DOES NOT exist\n\n";
  // A missing file: its heading and warning, then directly the next file's heading.
  EXPECT_NE(report.find(heading("missing1.rwl") + warning + heading("b.rwl") + kRrwHeading),
            std::string::npos);
  EXPECT_NE(r.out.find(heading("missing1.rwl") + warning + heading("b.rwl") + kRrwHeading),
            std::string::npos);
  EXPECT_NE(r.out.find("   Series Read from file=      3\n   Total Series Read=      3\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("   Series Read from file=      4\n   Total Series Read=      7\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("   Series Read from file=      5\n   Total Series Read=     12\n"),
            std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - closing(5, 12).size()), closing(5, 12));
  // Numbering restarts in each file.
  EXPECT_NE(report.find(series_line(4, "B3", 1900, 1919, 20, "1.000")), std::string::npos);
  EXPECT_NE(report.find(series_line(1, "C0", 1950, 1954, 5, "1.000")), std::string::npos);
  EXPECT_NE(report.find(box(1900, 1954, 12, 1900, 1919, 20, 4, 80)), std::string::npos);
}

TEST(DriverRun, SingleFileOfFortySeries) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 40; ++i) data += mr_series(numbered("S", i), 1800 + i, constant(50, 123));
  write_file(dir / "forty.rwl", data);
  const auto r = run_corvane(dir.path(), "F\nforty.rwl\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(r.out.size() - closing(1, 40).size()), closing(1, 40));
  EXPECT_NE(read_file(dir / "forty.rwl_rec").find(series_line(40, "S39", 1839, 1888, 50, "1.230")),
            std::string::npos);
}

TEST(DriverRun, EmptyListFile) {
  TempDir dir;
  write_file(dir / "none.lst", "");
  const auto r = run_corvane(dir.path(), "T\nnone.lst\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / "none.lst_rec"), report_head("none.lst") + box(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(r.out.substr(r.out.size() - closing(0, 0).size()), closing(0, 0));
}

TEST(DriverRun, FortyCharacterNameAndFileWithoutSeries) {
  TempDir dir;
  const std::string name = std::string(30, 'x') + "_empty.rwl";  // 40 characters
  write_file(dir / name, "Only a header line\nand another one\n");
  write_file(dir / "l.lst", name + "\n");
  const auto r = run_corvane(dir.path(), "T\nl.lst\n2\n");
  EXPECT_EQ(r.status, 0);
  const std::string head = "  ___ " + name.substr(0, 35) + " ___ \n";
  EXPECT_EQ(read_file(dir / "l.lst_rec"),
            report_head("l.lst") + head + kIndxHeading + box(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_NE(r.out.find(head + kIndxHeading + "   Series Read from file=      0\n"),
            std::string::npos);
}

TEST(DriverRun, LargeMeanMinusSignAndEmptySeries) {
  TempDir dir;
  // A self-describing series with values of 12345 gives a mean too wide for its field.
  std::string big = pad("BIGVALS title", 79) + "#\n" + "n        3      1900  (3F8.1)\n" +
                    " 12345.0 12345.0 12345.0\n";
  write_file(dir / "mixed.rwl",
             big + mr_series("ABC1234", -1234, constant(50, 100)) + "EMPTY   1950   999\n");
  const auto r = run_corvane(dir.path(), "F\nmixed.rwl\n1\n");
  EXPECT_EQ(r.status, 0);
  const std::string report = read_file(dir / "mixed.rwl_rec");
  EXPECT_NE(report.find(series_line(1, "BIGVALS ", 1900, 1902, 3, "********")), std::string::npos);
  EXPECT_NE(report.find(series_line(2, "ABC1234-", -1234, -1185, 50, "1.000")), std::string::npos);
  // No values: the mean field is eight blanks.
  EXPECT_NE(report.find("      3 EMPTY       1950    1949       0        \n"), std::string::npos);
}

TEST(DriverRun, SecondRunReplacesTheReport) {
  TempDir dir;
  write_file(dir / "r.rwl",
             mr_series("ONE", 1900, constant(10, 100)) + mr_series("TWO", 1900, constant(10, 100)));
  ASSERT_EQ(run_corvane(dir.path(), "F\nr.rwl\n1\n").status, 0);
  write_file(dir / "r.rwl", mr_series("ONE", 1900, constant(10, 100)));
  ASSERT_EQ(run_corvane(dir.path(), "F\nr.rwl\n1\n").status, 0);
  const std::string report = read_file(dir / "r.rwl_rec");
  EXPECT_EQ(report, report_head("r.rwl") + heading("r.rwl") + kRrwHeading +
                        series_line(1, "ONE", 1900, 1909, 10, "1.000") +
                        box(1900, 1909, 1, 1900, 1909, 10, 1, 10));
}

TEST(DriverRun, CatalogueFullStopsAtThe15001stSeries) {
  TempDir dir;
  std::string data;
  data.reserve(15001 * 32);
  for (int i = 0; i < 15001; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "S%06d 1900   100   999\n", i);
    data += line;
  }
  write_file(dir / "full.rwl", data);
  const auto r = run_corvane(dir.path(), "F\nfull.rwl\n1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("15000"), std::string::npos);
  EXPECT_NE(r.out.find("full.rwl"), std::string::npos);
  const std::string report = read_file(dir / "full.rwl_rec");
  EXPECT_NE(report.find(series_line(15000, "S014999", 1900, 1900, 1, "1.000")), std::string::npos);
  EXPECT_EQ(report.find("S015000"), std::string::npos);
  EXPECT_EQ(report.find("****"), std::string::npos);  // no summary box
  EXPECT_EQ(report.substr(report.size() - 49),
            series_line(15000, "S014999", 1900, 1900, 1, "1.000"));

  // Exactly 15000 series end normally, with the summary.
  data.resize(data.size() - 24);
  write_file(dir / "full.rwl", data);
  const auto ok = run_corvane(dir.path(), "F\nfull.rwl\n1\n");
  EXPECT_EQ(ok.status, 0);
  EXPECT_NE(
      read_file(dir / "full.rwl_rec").find(box(1900, 1900, 15000, 1900, 1900, 1, 15000, 15000)),
      std::string::npos);
}

// Every real measurement file in one list-mode run, against figures worked out apart from the
// program (tests/data/FIGURES.md).
TEST(DriverRun, AllArchiveFilesInOneRun) {
  struct File {
    const char* name;
    int series;
  };
  const File files[] = {{"TTHH_raw.txt", 74}, {"ca533.rwl", 34},          {"ca667.rwl", 311},
                        {"cana209.rwl", 22},  {"cana326_error.rwl", 218}, {"co021.rwl", 35},
                        {"min.rwl", 1},       {"nc004.rwl", 30},          {"nm580.rwl", 119},
                        {"nm580e.rwl", 119},  {"nm580l.rwl", 109},        {"th001.rwl", 77},
                        {"tx042.rwl", 95},    {"viet001.rwl", 82},        {"wa082.rwl", 23},
                        {"wwr.rwl", 20},      {"xDateRtest.rwl", 18}};
  TempDir dir;
  std::string list;
  for (const File& f : files) {
    std::filesystem::copy_file(testing::test_data(std::string("itrdb/") + f.name), dir / f.name);
    list += std::string(f.name) + "\n";
  }
  write_file(dir / "all.lst", list);
  const auto r = run_corvane(dir.path(), "T\nall.lst\n1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  int total = 0;
  std::size_t at = 0;
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    total += f.series;
    char expect[128];
    std::snprintf(expect, sizeof expect,
                  "   Series Read from file= %6d\n   Total Series Read= %6d\n", f.series, total);
    const std::size_t found = r.out.find(expect, at);
    ASSERT_NE(found, std::string::npos);
    at = found + 1;
  }
  EXPECT_EQ(total, 1387);
  EXPECT_EQ(r.out.substr(r.out.size() - closing(17, 1387).size()), closing(17, 1387));
  const std::string report = read_file(dir / "all.lst_rec");
  EXPECT_EQ(report.substr(report.size() - box(0, 0, 0, 0, 0, 0, 0, 0).size()),
            box(-2649, 2008, 1387, 1710, 1962, 253, 386, 97658));
  // Years below -999: the first series of ca667 runs from -2649.
  EXPECT_NE(report.find(series_line(1, "SS004B -", -2649, -2454, 196, "0.864")), std::string::npos);
}

// What the listing prints, read from the program's own output.
TEST(DriverRun, MeansAndYearsAsListed) {
  TempDir dir;
  // The mean of SS35X (thousandths, closed by -9999) summed in double precision: 0.462; a
  // single-precision sum would print 0.463.
  std::filesystem::copy_file(testing::test_data("itrdb/ca667.rwl"), dir / "ca667.rwl");
  const auto r = run_corvane(dir.path(), "F\nca667.rwl\n1\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(
      read_file(dir / "ca667.rwl_rec").find(series_line(97, " SS35X", -396, -249, 148, "0.462")),
      std::string::npos);

  // A "-" in column 8 of a self-describing title is no year sign: the series keeps the first
  // year of its count line.
  std::string sd = pad("ABCDEFG-", 79) + "#\n";
  sd += "n        3      1850  (10F8.3)\n";
  sd += "   1.000   2.000   3.000\n";
  write_file(dir / "sd.rwl", sd);
  const auto s = run_corvane(dir.path(), "F\nsd.rwl\n1\n");
  ASSERT_EQ(s.status, 0);
  EXPECT_NE(read_file(dir / "sd.rwl_rec").find(series_line(1, "ABCDEFG-", 1850, 1852, 3, "2.000")),
            std::string::npos)
      << read_file(dir / "sd.rwl_rec");
}

}  // namespace
}  // namespace corvane
