// End-to-end tests of the dialogue and intake: the real executable with piped answers.
#include "driver/dialogue.h"

#include <string>

#include "test_util.h"

namespace corvane {
namespace {

using testing::pad;
using testing::read_file;
using testing::run_corvane;
using testing::TempDir;
using testing::write_file;

const std::string kBanner =
    "\n"
    "             Program Corvane reports the contents of\n"
    "             of decade format Ring-Width data files and/or \n"
    "             VELMOR Chronology files.\n"
    "\n"
    "             Current dimentions are:\n"
    "               Max: records in a single file =    15000\n"
    "               Max: record length            =    10000\n"
    "               Max: files                    =      400\n"
    "\n"
    "\n"
    "             Read in file names from a .lst file?\n"
    "               [ This is a simple text file containing one \n"
    "                      column of data file names.           ]\n"
    "\n"
    "             Answer [T]rue or [F]alse :  ";

const std::string kLayoutQuestion =
    "\n"
    "             Measurements or Chronologies?\n"
    "             [1] rrw  [2] crn  : ";

std::string input_line(std::string_view name) {
  return "\n             Input file for this run : " + pad(name, 40) + "\n";
}

// A small measurement file of one series.
constexpr std::string_view kOneSeries = "OAK001  1950   100   200   300   999\n";

TEST(DriverDialogue, TranscriptOfASingleFileRunUpToTheLayoutPrompt) {
  TempDir dir;
  write_file(dir / "oaks.rrw", kOneSeries);
  const auto r = run_corvane(dir.path(), "F\noaks.rrw\n1\n");
  const std::string expected =
      kBanner + "\n             Enter file name :  \n" + input_line("oaks.rrw") + kLayoutQuestion;
  ASSERT_GE(r.out.size(), expected.size());
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  EXPECT_EQ(r.status, 0);
  const std::string report = read_file(dir / "oaks.rrw_rec");
  EXPECT_EQ(report.substr(0, 69), "\n Input file for this run : " + pad("oaks.rrw", 40) + "\n");
}

TEST(DriverDialogue, MissingSingleFileWarnsWaitsAndCreatesNoReport) {
  TempDir dir;
  const auto r = run_corvane(dir.path(), "F\nnofile.rrw\n\n");
  const std::string expected =
      kBanner + "\n             Enter file name :   Warning\n\n This file " +
      pad("nofile.rrw", 40) + " DOES NOT exist\n\n Program Terminating\n Hit RETURN to Quit\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "nofile.rrw_rec"));
  // The end of the console input counts as RETURN.
  const auto eof = run_corvane(dir.path(), "F\nnofile.rrw\n");
  EXPECT_EQ(eof.out, expected);
  EXPECT_EQ(eof.status, 1);
}

TEST(DriverDialogue, ListFileOf450NamesEchoes399) {
  TempDir dir;
  std::string list;
  for (int i = 1; i <= 450; ++i) list += "file" + std::to_string(i) + ".rwl\n";
  write_file(dir / "big.lst", list);
  const auto r = run_corvane(dir.path(), "T\nbig.lst\n1\n");
  std::string echo = "\n             List- file name ==> \n             Openning files:\n";
  for (int i = 1; i <= 399; ++i) {
    std::string num = std::to_string(i);
    echo += "             " + std::string(4 - num.size(), ' ') + num + " " +
            pad("file" + num + ".rwl", 40) + "\n";
  }
  const std::string expected = kBanner + echo + input_line("big.lst") + kLayoutQuestion;
  ASSERT_GE(r.out.size(), expected.size());
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  EXPECT_EQ(r.out.find("file400.rwl"), std::string::npos);
  EXPECT_NE(r.out.find("              399 files \n"), std::string::npos);
  EXPECT_EQ(r.status, 0);
}

TEST(DriverDialogue, EmptyListFileAndLongListLine) {
  TempDir dir;
  write_file(dir / "empty.lst", "");
  auto r = run_corvane(dir.path(), "T\nempty.lst\n1\n");
  std::string expected = kBanner +
                         "\n             List- file name ==> \n             Openning files:\n" +
                         input_line("empty.lst") + kLayoutQuestion;
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  EXPECT_NE(r.out.find("                0 files \n"), std::string::npos);

  const std::string fifty(50, 'n');
  write_file(dir / "long.lst", fifty + "\n");
  r = run_corvane(dir.path(), "T\nlong.lst\n1\n");
  EXPECT_NE(r.out.find("                1 " + std::string(40, 'n') + "\n"), std::string::npos);
}

TEST(DriverDialogue, LogicalAnswers) {
  struct Case {
    std::string answer;
    bool list;
  };
  const Case cases[] = {{"T", true},    {"t", true},  {".true.", true}, {"  .TRUE.", true},
                        {"yes", false}, {"x", false}, {"", false},      {"   ", false},
                        {"F", false},   {".f", false}};
  TempDir dir;
  write_file(dir / "a.lst", "");
  write_file(dir / "a.lst_data", kOneSeries);
  for (const Case& c : cases) {
    SCOPED_TRACE("answer \"" + c.answer + "\"");
    const auto r = run_corvane(dir.path(), c.answer + "\na.lst\n1\n");
    const std::string after = r.out.substr(kBanner.size(), 40);
    if (c.list) {
      EXPECT_EQ(after.substr(0, 34), "\n             List- file name ==> ");
    } else {
      EXPECT_EQ(after.substr(0, 33), "\n             Enter file name :  ");
    }
    EXPECT_EQ(r.status, 0);
  }
}

TEST(DriverDialogue, LayoutAnswers) {
  TempDir dir;
  write_file(dir / "oaks.rrw", kOneSeries);
  const std::string head =
      kBanner + "\n             Enter file name :  \n" + input_line("oaks.rrw");
  struct Case {
    std::string answers;
    int asked;
    std::string heading;
  };
  const Case cases[] = {{"1\n", 1, "m_rrw"},
                        {"2\n", 1, "m_indx"},
                        {"12\n", 1, "m_rrw"},
                        {"\n1\n", 2, "m_rrw"},
                        {"0\n7\n2\n", 3, "m_indx"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("answers \"" + c.answers + "\"");
    const auto r = run_corvane(dir.path(), "F\noaks.rrw\n" + c.answers);
    std::string expected = head;
    for (int i = 0; i < c.asked; ++i) expected += kLayoutQuestion;
    ASSERT_GE(r.out.size(), expected.size());
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    EXPECT_NE(r.out.find(c.heading), std::string::npos);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(DriverDialogue, LetterAsLayoutAnswerIsAnInputErrorReport) {
  TempDir dir;
  write_file(dir / "oaks.rrw", kOneSeries);
  // A typo must not cost the last complete report: the new one, of no series yet, is dropped.
  for (const bool earlier : {false, true}) {
    for (const std::string answer : {"x", "+", "-", ".", "3\nx"}) {
      SCOPED_TRACE(answer + (earlier ? ", with an earlier report" : ""));
      std::filesystem::remove(dir / "oaks.rrw_rec");
      if (earlier) write_file(dir / "oaks.rrw_rec", "complete report\n");
      const auto r = run_corvane(dir.path(), "F\noaks.rrw\n" + answer + "\n");
      const std::string expected = kBanner + "\n             Enter file name :  \n" +
                                   input_line("oaks.rrw") + kLayoutQuestion +
                                   (answer.size() > 1 ? kLayoutQuestion : "") + "\n";
      EXPECT_EQ(r.out, expected);  // the held prompt is ended first
      EXPECT_NE(r.err.find("Illegal character in numeric input"), std::string::npos);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(std::filesystem::exists(dir / "oaks.rrw_rec"), earlier);
      if (earlier) {
        EXPECT_EQ(read_file(dir / "oaks.rrw_rec"), "complete report\n");
      }
    }
  }
}

TEST(DriverDialogue, EndOfConsoleInputAtEachQuestion) {
  TempDir dir;
  write_file(dir / "oaks.rrw", kOneSeries);
  for (const std::string input : {"", "F\n", "F\noaks.rrw\n", "T\n"}) {
    SCOPED_TRACE("input \"" + input + "\"");
    const auto r = run_corvane(dir.path(), input);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Attempt to read past end of file"), std::string::npos);
    EXPECT_EQ(r.out.back(), '\n');
  }
}

TEST(DriverDialogue, ReportNames) {
  struct Case {
    std::string name;
    std::string report;
  };
  const Case cases[] = {
      {"oaks.rrw", "oaks.rrw_rec"},
      {"site list.lst", "site_rec"},
      {" lead.rrw", "_rec"},
      {std::string(36, 'a'), std::string(36, 'a') + "_rec"},
      {std::string(37, 'b'), std::string(36, 'b') + "_rec"},
      {std::string(40, 'c'), std::string(36, 'c') + "_rec"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(make_report_name(pad(c.name, 40)), pad(c.report, 40));
  }
}

TEST(DriverDialogue, ReportNamesOnDisk) {
  TempDir dir;
  write_file(dir / " lead.rrw", kOneSeries);
  auto r = run_corvane(dir.path(), "F\n lead.rrw\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "_rec"));

  // 36 characters keep all of them; 37 lose the last, so the name still ends in "_rec".
  for (const std::size_t length : {36u, 37u}) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'd') + ".rwl";
    write_file(dir / name, kOneSeries);
    r = run_corvane(dir.path(), "F\n" + name + "\n1\n");
    EXPECT_EQ(r.status, 0);
    const std::string report = name.substr(0, 36) + "_rec";
    EXPECT_TRUE(std::filesystem::exists(dir / report));
    EXPECT_NE(r.out.find("Normal termination of program"), std::string::npos);
  }
}

TEST(DriverDialogue, ReportThatWouldOverwriteAnInputIsRefused) {
  TempDir dir;
  // A 40-character name ending in "_rec" would be its own report.
  const std::string self = std::string(36, 'e') + "_rec";
  write_file(dir / self, kOneSeries);
  auto r = run_corvane(dir.path(), "F\n" + self + "\n1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("would overwrite"), std::string::npos);
  EXPECT_EQ(read_file(dir / self), kOneSeries);

  // A list naming its own report, as "./x.lst_rec", before that file exists.
  write_file(dir / "x.lst", "./x.lst_rec\n");
  r = run_corvane(dir.path(), "T\nx.lst\n1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("x.lst_rec"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.lst_rec"));
}

TEST(DriverDialogue, CommandLine) {
  TempDir dir;
  auto r = run_corvane(dir.path(), "", "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: corvane"), std::string::npos);
  r = run_corvane(dir.path(), "", "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("corvane ", 0), 0u);
  r = run_corvane(dir.path(), "", "--bogus");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("Usage: corvane"), std::string::npos);
}

TEST(DriverDialogue, MissingListFileIsAnOpenFailureReport) {
  TempDir dir;
  const auto r = run_corvane(dir.path(), "T\nnone.lst\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("No such file or directory"), std::string::npos);
  EXPECT_NE(r.err.find("none.lst"), std::string::npos);
}

}  // namespace
}  // namespace corvane
