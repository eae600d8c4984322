// Hostile and broken input, end to end: every case states how the run ends (status, message)
// and checks that the report holds exactly the lines written before that end.
#include <filesystem>
#include <string>
#include <vector>

#include "report_text.h"

namespace corvane {
namespace {

using testing::constant;
using testing::heading;
using testing::kNormalEnd;
using testing::kRrwHeading;
using testing::listing_head;
using testing::mr_series;
using testing::numbered;
using testing::pad;
using testing::read_file;
using testing::report_head;
using testing::run_corvane;
using testing::TempDir;
using testing::write_file;

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(DriverBadInput, TextLineStops) {
  struct Case {
    const char* what;
    std::string data;
  };
  std::string binary;
  for (int line = 0; line < 30; ++line) {
    for (int b = 0x80; b < 0x100; ++b) binary.push_back(static_cast<char>(b));
    binary.push_back('\n');
  }
  std::string million;
  million.reserve(12000000);
  for (int i = 0; i < 1000000; ++i) million += "header text\n";
  const Case cases[] = {{"binary bytes", binary}, {"a million text lines", million}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir / "bad.rwl", c.data);
    const auto r = run_corvane(dir.path(), "F\nbad.rwl\n1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ends_with(r.out, kRrwHeading + "sbr trrw:  over 25 text lines\n"));
    EXPECT_EQ(read_file(dir / "bad.rwl_rec"), listing_head("bad.rwl"));
  }
}

TEST(DriverBadInput, OddBytesAndLineEnds) {
  struct Case {
    const char* what;
    std::string data;
    std::vector<std::string> lines;  // series lines expected in the report
  };
  const std::string long_tail(1 << 20, 'x');
  const Case cases[] = {
      {"NUL in the ID is kept, NUL in a number makes a text line",
       std::string("AB\0CD   1950   100   999\n", 25) +
           std::string("XY      1950 1\0 0   999\n", 24) + "Z1      1950   200   999\n",
       {std::string("      1 AB\0CD       1950    1950       1   1.000\n", 49),
        "      2 Z1          1950    1950       1   2.000\n"}},
      {"lone carriage returns make one line, a text line",
       "S1      1950   100   999\rS2      1950   100   999\r",
       {}},
      {"CR CR LF line ends are dropped",
       "S1      1950   100   200   999\r\r\nS2      1950   100   999\r\r",
       {"      1 S1          1950    1951       2   1.500\n",
        "      2 S2          1950    1950       1   1.000\n"}},
      {"a line of a megabyte is read as its first 80 columns",
       pad("S1      1950   100   999", 80) + long_tail + "\n" + long_tail + "\n" +
           "S2      1950   300   999\n",
       {"      1 S1          1950    1950       1   1.000\n",
        "      2 S2          1950    1950       1   3.000\n"}},
      {"a file truncated inside a series drops that series",
       "S1      1950   100   999\nS2      1950   100   200",
       {"      1 S1          1950    1950       1   1.000\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir / "odd.rwl", c.data);
    const auto r = run_corvane(dir.path(), "F\nodd.rwl\n1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kNormalEnd), std::string::npos);
    std::string lines;
    for (const auto& l : c.lines) lines += l;
    const std::string report = read_file(dir / "odd.rwl_rec");
    EXPECT_EQ(report.substr(0, listing_head("odd.rwl").size() + lines.size()),
              listing_head("odd.rwl") + lines);
    EXPECT_NE(report.find("   ******************************************\n"), std::string::npos);
  }
}

std::string self_describing(std::string_view title, std::string_view count, std::string_view year,
                            std::string_view format) {
  return pad(title, 79) + "#\nn " + pad(count, 8) + "  " + pad(year, 8) + "  " + pad(format, 8) +
         "\n";
}

TEST(DriverBadInput, SelfDescribingSeries) {
  struct Case {
    const char* what;
    std::string data;
    std::string message;
    std::string line;
  };
  // Blank fields read 0: the second line gives ten values, and the file ends in the third.
  const std::string twelve =
      "   1.000   2.000   3.000   4.000   5.000   6.000   7.000   8.000   9.000  10.000\n"
      "  11.000  12.000\n";
  const std::vector<Case> cases = {
      {"truncated", self_describing("TRUNC", "      25", "    1850", "(10F8.3)") + twelve,
       ">> sbr datar:  unexpected end reading data\n",
       "      1 TRUNC       1850    1869      20   3.900\n"},
      {"(I10) value beyond 32 bits",
       self_describing("BIGINT", "       3", "    1900", "(3I10)") +
           "         12147483648         3\n" + "NEXT    1950   100   999\n",
       ">> sbr datar:  error reading data\n", "      1 BIGINT      1900    1900       1   1.000\n"},
      {"(F)", self_describing("BADF", "       3", "    1900", "(F)") + "NEXT    1950   100   999\n",
       ">> sbr datar:  bad format text\n", "      1 BADF        1900    1899       0        \n"},
      {"(0F8.3)",
       self_describing("ZERO", "       3", "    1900", "(0F8.3)") + "NEXT    1950   100   999\n",
       ">> sbr datar:  bad format text\n", "      1 ZERO        1900    1899       0        \n"},
      {"(10F0.0)",
       self_describing("WIDTH0", "       3", "    1900", "(10F0.0)") + "NEXT    1950   100   999\n",
       ">> sbr datar:  bad format text\n", "      1 WIDTH0      1900    1899       0        \n"},
      {"(A8)",
       self_describing("ALPHA", "       3", "    1900", "(A8)") + "NEXT    1950   100   999\n",
       ">> sbr datar:  bad format text\n", "      1 ALPHA       1900    1899       0        \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir / "sd.rwl", c.data);
    const auto r = run_corvane(dir.path(), "F\nsd.rwl\n1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kRrwHeading + c.message + c.line), std::string::npos) << r.out;
    EXPECT_EQ(
        read_file(dir / "sd.rwl_rec").substr(0, listing_head("sd.rwl").size() + c.line.size()),
        listing_head("sd.rwl") + c.line);
  }
}

TEST(DriverBadInput, SelfDescribingCountBeyondTheLimitStops) {
  TempDir dir;
  write_file(dir / "sd.rwl", self_describing("HUGE", "99999999", "    1900", "(10F8.3)"));
  const auto r = run_corvane(dir.path(), "F\nsd.rwl\n1\n");
  EXPECT_EQ(r.status, 1);
  // Eight digits fill column 3, so the count line does not begin "n  " and becomes the title.
  EXPECT_NE(r.out.find("series \"n 999999\" gives a count of 99999999 values; the limit is 10000"),
            std::string::npos);
  EXPECT_EQ(r.out.find(kNormalEnd), std::string::npos);
  EXPECT_EQ(read_file(dir / "sd.rwl_rec"), listing_head("sd.rwl"));
}

TEST(DriverBadInput, ListFiles) {
  TempDir dir;
  write_file(dir / "a.rwl", "A1      1950   100   999\n");
  std::filesystem::create_directory(dir / "adir");

  // 1000 names: 399 read, the missing ones warned about.
  std::string thousand;
  for (int i = 0; i < 1000; ++i) {
    thousand += numbered("n", i);
    thousand += ".rwl\n";
  }
  write_file(dir / "k.lst", thousand);
  auto r = run_corvane(dir.path(), "T\nk.lst\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("              399 files \n"), std::string::npos);
  EXPECT_EQ(r.out.find("n399.rwl"), std::string::npos);

  // Exactly 399 and one more: the 400th is never read.
  for (const int names : {399, 400}) {
    std::string list;
    for (int i = 0; i < names; ++i) list += "a.rwl\n";
    write_file(dir / "l.lst", list);
    r = run_corvane(dir.path(), "T\nl.lst\n1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("              399 files \n                    399 records \n"),
              std::string::npos);
  }

  // Empty lines and names of blanks name no file.
  write_file(dir / "e.lst", "\n     \na.rwl\n");
  r = run_corvane(dir.path(), "T\ne.lst\n1\n");
  EXPECT_EQ(r.status, 0);
  const std::string blank_warning =
      " Warning\n\n This file " + std::string(40, ' ') + " DOES NOT exist\n\n";
  const std::string report = read_file(dir / "e.lst_rec");
  EXPECT_NE(
      report.find(heading("") + blank_warning + heading("") + blank_warning + heading("a.rwl")),
      std::string::npos);
  EXPECT_NE(r.out.find("                3 files \n                      1 records \n"),
            std::string::npos);

  // Its own name: the list read as a data file holds no series.
  write_file(dir / "self.lst", "self.lst\n");
  r = run_corvane(dir.path(), "T\nself.lst\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("   Series Read from file=      0\n"), std::string::npos);

  // A directory's name: it exists, and opening it is an error report.
  write_file(dir / "d.lst", "a.rwl\nadir\na.rwl\n");
  r = run_corvane(dir.path(), "T\nd.lst\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos);
  EXPECT_NE(r.err.find("adir"), std::string::npos);
  EXPECT_EQ(read_file(dir / "d.lst_rec"), report_head("d.lst") + heading("a.rwl") + kRrwHeading +
                                              "      1 A1          1950    1950       1   1.000\n" +
                                              heading("adir"));
}

TEST(DriverBadInput, ReportNameCollidingWithAListedFile) {
  TempDir dir;
  write_file(dir / "m.lst_rec", "A1      1950   100   999\n");
  write_file(dir / "m.lst", "./sub/../m.lst_rec\n");
  std::filesystem::create_directory(dir / "sub");
  const auto r = run_corvane(dir.path(), "T\nm.lst\n1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("would overwrite the data file"), std::string::npos);
  EXPECT_EQ(read_file(dir / "m.lst_rec"), "A1      1950   100   999\n");
}

TEST(DriverBadInput, NamesWithBlanksAndNonAscii) {
  TempDir dir;
  write_file(dir / "my oaks.rwl", "A1      1950   100   999\n");
  auto r = run_corvane(dir.path(), "F\nmy oaks.rwl\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / "my_rec").substr(0, listing_head("my oaks.rwl").size()),
            listing_head("my oaks.rwl"));

  const std::string name = "\xc3\xa9pic\xc3\xa9\xa0.rwl";  // UTF-8 and a stray byte
  write_file(dir / name, "A1      1950   100   999\n");
  r = run_corvane(dir.path(), "F\n" + name + "\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / (name + "_rec")));
}

TEST(DriverBadInput, AnswerLinesOfAMegabyte) {
  TempDir dir;
  write_file(dir / "a.rwl", "A1      1950   100   999\n");
  write_file(dir / "a.lst", "a.rwl\n");
  const std::string tail(1 << 20, 'x');
  auto r = run_corvane(dir.path(),
                       "T" + tail + "\na.lst" + std::string(1 << 20, ' ') + "\n1" + tail + "\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("                1 files \n"), std::string::npos);
  // A name answer is its first 40 characters.
  r = run_corvane(dir.path(), "F\na.rwl" + std::string(35, ' ') + tail + "\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "a.rwl_rec"));
}

TEST(DriverBadInput, ReportThatCannotBeCreatedOrWritten) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(100, 100)));
  std::filesystem::create_directory(dir / "a.rwl_rec");
  auto r = run_corvane(dir.path(), "F\na.rwl\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos);
  EXPECT_NE(r.err.find("a.rwl_rec"), std::string::npos);
  EXPECT_EQ(r.out.find("Measurements or Chronologies?"), std::string::npos);

  // A report on a full disk: the failure is reported and the run does not claim success.
  std::string many;
  for (int i = 0; i < 200; ++i) many += mr_series(numbered("S", i), 1900, constant(20, 100));
  write_file(dir / "b.rwl", many);
  std::filesystem::create_symlink("/dev/full", dir / "b.rwl_rec");
  r = run_corvane(dir.path(), "F\nb.rwl\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos);
  EXPECT_NE(r.err.find("b.rwl_rec"), std::string::npos);
  EXPECT_EQ(r.out.find(kNormalEnd), std::string::npos);
}

TEST(DriverBadInput, ClosedStandardOutputStillWritesTheWholeReport) {
  TempDir dir;
  std::string many;
  for (int i = 0; i < 6000; ++i)
    many += mr_series(numbered("S", i), 1900 + i % 50, constant(30, 100));
  write_file(dir / "c.rwl", many);
  ASSERT_EQ(run_corvane(dir.path(), "F\nc.rwl\n1\n").status, 0);
  const std::string full = read_file(dir / "c.rwl_rec");
  std::filesystem::remove(dir / "c.rwl_rec");
  write_file(dir / "answers", "F\nc.rwl\n1\n");
  const std::string cmd = "cd '" + dir.path().string() +
                          "' && ( '" CORVANE_EXE
                          "' < answers 2> err; echo $? > status ) | head -c 10 > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(read_file(dir / "status"), "2\n");
  EXPECT_NE(read_file(dir / "err").find("console output could not be written"), std::string::npos);
  EXPECT_EQ(read_file(dir / "c.rwl_rec"), full);
}

}  // namespace
}  // namespace corvane
