// A check over several files and lists, and corvane --check as a command: what it writes, what
// it leaves alone, and its exit statuses.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "check/check_util.h"
#include "check/findings.h"
#include "driver/command_line.h"
#include "memory_files.h"

namespace corvane {
namespace {

using testing::mr_series;
using testing::read_file;
using testing::run_check_in_memory;
using testing::run_corvane;
using testing::TempDir;
using testing::write_file;

const std::filesystem::path kExamples = CORVANE_EXAMPLES;

TEST(CheckRun, LayoutByName) {
  for (const char* name : {"a.crn", "A.CRN", "dir.rwl/b.Crn", "x.crn  "}) {
    EXPECT_EQ(layout_for(name), LayoutCode::ir) << name;
  }
  for (const char* name : {"a.rwl", "crn", "a.crnx", "a.crn.txt", ""}) {
    EXPECT_EQ(layout_for(name), LayoutCode::mr) << name;
  }
}

// A file that cannot be opened is an error at line 0, and the check goes on.
TEST(CheckRun, UnopenedFilesAreFindingsAndTheCheckGoesOn) {
  TempDir dir;
  write_file(dir / "one.rwl", mr_series("A", 2000, {-5}));
  CheckOptions options;
  options.files = {(dir / "missing.rwl").string(), dir.path().string(), (dir / "one.rwl").string()};
  const auto c = run_check_in_memory(options);
  ASSERT_EQ(c.found.size(), 3u) << c.out;
  EXPECT_EQ(c.found[0].file, (dir / "missing.rwl").string());
  EXPECT_EQ(c.found[0].line, 0);
  EXPECT_EQ(c.found[0].message,
            "the file cannot be opened (No such file or directory): nothing of it is read");
  EXPECT_EQ(c.found[1].message,
            "the file cannot be opened (Is a directory): nothing of it is read");
  EXPECT_EQ(c.found[2].code, "negative-value");
  EXPECT_EQ(c.closing, "3 files, 1 series: 2 errors, 1 warnings, 0 notes");
}

// A read that fails is an error of the file at line 0, after what was read before it.
TEST(CheckRun, AFailedReadIsAnOpenFinding) {
  const std::string oaks = read_file(kExamples / "oaks.rwl");
  std::string a = oaks.substr(oaks.find("OAK01A  1850"));  // 73 bytes a line
  a.replace(12, 6, "   -12");
  testing::MemoryFiles files;
  files.add_file("a.rwl", a);
  files.fail_reads_of("a.rwl", 6 * 73);  // after the sixth line, at its end
  files.add_file("b.rwl", mr_series("B", 2000, {1}));
  CheckOptions options;
  options.files = {"a.rwl", "b.rwl"};
  MemoryConsole console;
  run_check(options, console, files);
  auto c = testing::parse_check_output(console.out);
  EXPECT_EQ(c.summary(), (std::vector<std::string>{"0 error open", "1 warning negative-value"}));
  EXPECT_EQ(c.found.at(0).message,
            "the file could not be read after line 6 (Input/output error): the check of it ends "
            "there");
  EXPECT_EQ(c.closing, "2 files, 1 series: 1 errors, 1 warnings, 0 notes");

  testing::MemoryFiles list_files;
  list_files.add_file("b.rwl", mr_series("B", 2000, {1}));
  list_files.add_file("c.lst", "b.rwl\nb.rwl\n");
  list_files.fail_reads_of("c.lst", 6);
  options = CheckOptions{};
  options.list = "c.lst";
  console.out.clear();
  run_check(options, console, list_files);
  c = testing::parse_check_output(console.out);
  EXPECT_EQ(c.summary(), (std::vector<std::string>{"0 error open"}));
  EXPECT_EQ(c.found.at(0).message,
            "the list could not be read after line 1 (Input/output error): the files it names "
            "after that are not checked");
  EXPECT_EQ(c.closing, "1 files, 1 series: 1 errors, 0 warnings, 0 notes");
}

TEST(CheckRun, ListFiles) {
  TempDir dir;
  write_file(dir / "one.rwl", mr_series("A", 2000, {1}));
  write_file(dir / "two.crn", "CHR   19201000  79990  0\n");
  const std::string one = (dir / "one.rwl").string(), two = (dir / "two.crn").string();
  // Names used whole, trailing blanks and carriage returns dropped; a blank line names no file.
  write_file(dir / "run.lst", one + "   \r\n\n" + two + "\n" + (dir / "gone.rwl").string() + "\n");
  CheckOptions options;
  options.list = (dir / "run.lst").string();
  const auto c = run_check_in_memory(options);
  EXPECT_EQ(c.summary(), (std::vector<std::string>{"2 error open", "0 error open"})) << c.out;
  EXPECT_EQ(c.found.at(0).file, *options.list);
  EXPECT_EQ(c.found.at(0).message,
            "line 2 of the list names no file: a run counts it as a missing file");
  EXPECT_EQ(c.found.at(1).file, (dir / "gone.rwl").string());
  EXPECT_EQ(c.closing, "4 files, 2 series: 2 errors, 0 warnings, 0 notes");

  options.list = (dir / "none.lst").string();
  const auto none = run_check_in_memory(options);
  EXPECT_EQ(none.summary(), (std::vector<std::string>{"0 error open"}));
  EXPECT_EQ(none.closing, "0 files, 0 series: 1 errors, 0 warnings, 0 notes");
}

// The catalogue's room is for the files checked together; the check goes on past it.
TEST(CheckRun, CatalogueFullAtTheFirstLineOfSeries15001) {
  TempDir dir;
  std::string many;
  for (int i = 0; i < 14999; ++i) many += mr_series(testing::numbered("S", i), 2000, {1});
  write_file(dir / "many.rwl", many);
  write_file(dir / "more.rwl", "More site header text\n" + mr_series("T1", 2000, {1}) +
                                   mr_series("T2", 2000, {1}) + mr_series("T3", 2000, {1}));
  CheckOptions options;
  options.files = {(dir / "many.rwl").string(), (dir / "more.rwl").string()};
  const auto c = run_check_in_memory(options);
  EXPECT_EQ(c.summary(), (std::vector<std::string>{"3 error catalogue-full"})) << c.out;
  EXPECT_EQ(c.found.at(0).message,
            "series \"T2\" is series 15001 of the files checked together: a run stops here, as "
            "its catalogue holds at most 15000 series");
  EXPECT_EQ(c.closing, "2 files, 15002 series: 1 errors, 0 warnings, 0 notes");
}

// What the command writes: findings and the closing line on standard output, nothing else
// anywhere; the status tells whether there was an error or a warning.
TEST(CheckRun, TheCommand) {
  TempDir dir;
  for (const char* f : {"oaks.rwl", "pines.crn", "mixed.rwl"}) {
    std::filesystem::copy_file(kExamples / f, dir / f);
  }
  write_file(dir / "note.rwl", mr_series("EGR108 1", 713, {1}));
  write_file(dir / "bad.rwl", mr_series("A", 2000, {-999}));

  const auto clean = run_corvane(dir.path(), "", "--check oaks.rwl pines.crn mixed.rwl note.rwl");
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(clean.out.substr(0, 13), "note.rwl:1: n");
  EXPECT_TRUE(clean.out.ends_with("\n4 files, 9 series: 0 errors, 0 warnings, 1 notes\n"));

  const auto bad = run_corvane(dir.path(), "", "--check --rrw bad.rwl missing.rwl");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "");
  const auto c = testing::parse_check_output(bad.out);
  EXPECT_EQ(c.summary(), (std::vector<std::string>{"1 warning negative-value", "0 error open"}));

  const auto listed = run_corvane(dir.path(), "", "--check --list list.lst");
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(listed.out,
            "list.lst:0: error: the file cannot be opened (No such file or directory): nothing "
            "of it is read [open]\n0 files, 0 series: 1 errors, 0 warnings, 0 notes\n");

  // No report, no other file: the folder holds what it held.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"bad.rwl", "mixed.rwl", "note.rwl", "oaks.rwl",
                                             "pines.crn"}));

  const auto full = run_corvane(dir.path(), "", "--check oaks.rwl > /dev/full; exit $?; :");
  EXPECT_EQ(full.status, 2);
}

TEST(CheckRun, OnTheCommandLine) {
  const auto parse = [](std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> v(args);
    return parse_command_line(v);
  };
  const CommandLine cl = parse({"--ch", "--crn", "a.txt", "b.txt"});
  EXPECT_EQ(cl.action, CommandLine::Action::run);
  EXPECT_TRUE(cl.check);
  EXPECT_EQ(cl.layout_choice, 2);
  EXPECT_EQ(cl.files, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(parse({"a.rwl", "--check", "--svg=x.svg"}).error,
            "--check does not go with --svg: a check writes no report, CSV or plot, and lists no "
            "series");
  EXPECT_EQ(parse({"--check", "-q", "a.rwl"}).error,
            "--check does not go with -q/--quiet: a check writes no report, CSV or plot, and "
            "lists no series");
  EXPECT_EQ(parse({"--check", "--help"}).action, CommandLine::Action::help);
}

// --help and the manual page name --check and every code.
TEST(CheckRun, HelpAndManualNameEveryCode) {
  const std::string manual =
      read_file(std::filesystem::path(CORVANE_EXAMPLES).parent_path() / "corvane.1");
  const std::string_view help = help_text();
  EXPECT_NE(help.find("--check [--rrw | --crn] (FILE... | --list LIST)"), std::string::npos);
  for (int i = 0; i < kCodeCount; ++i) {
    const std::string_view code = code_name(static_cast<Code>(i));
    EXPECT_NE(help.find(code), std::string::npos) << code;
    std::string escaped;  // as roff writes a hyphen
    for (const char ch : code) escaped += ch == '-' ? std::string("\\-") : std::string(1, ch);
    EXPECT_NE(manual.find(escaped), std::string::npos) << escaped;
  }
}

// The status: 1 for an error or a warning, each without the other; 0 for notes alone.
TEST(CheckRun, StatusByTheGravestFinding) {
  TempDir dir;
  const struct {
    std::string content;
    int status;
  } cases[] = {
      {mr_series("A", 2000, {1}), 0},
      {testing::mr_line("EGR108 1", "713", testing::fields(7)) +
           testing::mr_line("EGR108 1", "720", {"999"}),
       0},
      {mr_series("A", 2000, {-5}), 1},
      {mr_series("A", -1000, testing::constant(10001, 100)), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content.substr(0, 20));
    write_file(dir / "a.rwl", c.content);
    const auto r = run_corvane(dir.path(), "", "--check a.rwl");
    EXPECT_EQ(r.status, c.status) << r.out;
  }
}

TEST(CheckRun, UsageErrors) {
  TempDir dir;
  for (const char* args :
       {"--check", "--check --rrw --crn a.rwl", "--check --list x.lst a.rwl",
        "--check --csv out.csv a.rwl", "--check --svg out.svg a.rwl", "--check -o out a.rwl",
        "--check -q a.rwl", "--check --bogus a.rwl", "--check --list", "--max-findings 5 a.rwl",
        "--check --max-findings -1 a.rwl", "--check --max-findings x a.rwl",
        "--check --max-findings= a.rwl", "--check --max-findings 1e3 a.rwl",
        "--check --max-findings 99999999999999999999 a.rwl"}) {
    SCOPED_TRACE(args);
    const auto r = run_corvane(dir.path(), "", args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'corvane --help'"), std::string::npos) << r.err;
  }
  // After "--" every argument is a FILE.
  const auto r = run_corvane(dir.path(), "", "--check -- -q");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(0, 6), "-q:0: ");
}

}  // namespace
}  // namespace corvane
