// End-to-end runs from the command line: the same report and console as the dialogue's, the
// names taken whole, exit statuses, refusals, and the CSV and plot read back against the report.
#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "outputs/csv.h"
#include "outputs/xml_reader.h"
#include "report_text.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
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
using testing::RunResult;
using testing::series_line;
using testing::TempDir;
using testing::write_file;

// A word for the shell, in single quotes.
std::string quote(std::string_view s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What the dialogue's console holds after its last question.
std::string after_last_question(const std::string& out) {
  const std::string prompt = "[1] rrw  [2] crn  : ";
  const std::size_t at = out.rfind(prompt);
  EXPECT_NE(at, std::string::npos);
  return at == std::string::npos ? out : out.substr(at + prompt.size());
}

// The example data and list files (not the reports or outputs a session may have left there).
void copy_examples(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(CORVANE_EXAMPLES)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".rwl" || ext == ".crn" || ext == ".lst") {
      fs::copy_file(e.path(), dir / e.path().filename());
    }
  }
}

void copy_real_files(const fs::path& dir, std::vector<std::string>& rwl,
                     std::vector<std::string>& crn) {
  for (const auto& [sub, into] : {std::pair{"itrdb", &rwl}, std::pair{"crn", &crn}}) {
    for (const auto& e : fs::directory_iterator(testing::test_data(sub))) {
      fs::copy_file(e.path(), dir / e.path().filename());
      into->push_back(e.path().filename().string());
    }
    std::sort(into->begin(), into->end());
  }
}

struct Pair {
  RunResult dialogue, cli;
  std::string dialogue_report, cli_report;
};

// The dialogue with `answers`, then the command line with `args`, each leaving `report`.
Pair run_both(const fs::path& dir, const std::string& answers, const std::string& args,
              const std::string& report) {
  Pair p;
  p.dialogue = run_corvane(dir, answers);
  p.dialogue_report = read_file(dir / report);
  fs::remove(dir / report);
  p.cli = run_corvane(dir, "", args);
  p.cli_report = read_file(dir / report);
  fs::remove(dir / report);
  return p;
}

// Standard error without the lines that point to the check, which only the command line writes.
std::string without_check_hints(const std::string& err) {
  std::string kept;
  std::size_t begin = 0;
  while (begin < err.size()) {
    const std::size_t end = std::min(err.find('\n', begin), err.size() - 1) + 1;
    const std::string_view line(err.data() + begin, end - begin);
    if (line.find(" names them\n") == std::string_view::npos &&
        !line.ends_with(" with suspect lines\n")) {
      kept.append(line);
    }
    begin = end;
  }
  return kept;
}

void expect_same_run(const Pair& p) {
  EXPECT_FALSE(p.dialogue_report.empty());
  EXPECT_EQ(p.cli_report, p.dialogue_report);
  EXPECT_EQ(p.cli.out, after_last_question(p.dialogue.out));
  EXPECT_EQ(without_check_hints(p.cli.err), p.dialogue.err);
  // The first file heading begins the command line's console.
  EXPECT_TRUE(p.cli.out.starts_with("  ___ ") || p.cli.out.starts_with("\n")) << p.cli.out;
}

TEST(DriverCommandRun, SameRunsAsTheDialogueOnTheExamples) {
  TempDir dir;
  copy_examples(dir.path());
  const struct {
    std::string answers, args, report;
    int dialogue_status, cli_status;
  } cases[] = {
      {"F\noaks.rwl\n1\n", "oaks.rwl", "oaks.rwl_rec", 0, 0},
      {"F\nbristle.rwl\n1\n", "--rrw bristle.rwl", "bristle.rwl_rec", 0, 0},
      {"F\nmixed.rwl\n1\n", "mixed.rwl", "mixed.rwl_rec", 0, 0},
      {"F\npines.crn\n2\n", "pines.crn", "pines.crn_rec", 0, 0},
      {"F\npines.crn\n1\n", "--rrw pines.crn", "pines.crn_rec", 0, 0},
      {"F\noaks.rwl\n2\n", "oaks.rwl --crn", "oaks.rwl_rec", 0, 0},
      // The list names a file that does not exist: the command line says so by its status.
      {"T\nmeasurements.lst\n1\n", "--list measurements.lst", "measurements.lst_rec", 0, 1},
      {"T\nchronology.lst\n2\n", "--list=chronology.lst", "chronology.lst_rec", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Pair p = run_both(dir.path(), c.answers, c.args, c.report);
    expect_same_run(p);
    EXPECT_EQ(p.dialogue.status, c.dialogue_status);
    EXPECT_EQ(p.cli.status, c.cli_status);
  }
}

TEST(DriverCommandRun, SameRunsAsTheDialogueOnRealFiles) {
  TempDir dir;
  std::vector<std::string> rwl, crn;
  copy_real_files(dir.path(), rwl, crn);
  std::string rwl_list, crn_list;
  for (const std::string& name : rwl) {
    SCOPED_TRACE(name);
    expect_same_run(run_both(dir.path(), "F\n" + name + "\n1\n", quote(name), name + "_rec"));
    rwl_list += name + "\n";
  }
  for (const std::string& name : crn) {
    SCOPED_TRACE(name);
    expect_same_run(run_both(dir.path(), "F\n" + name + "\n2\n", quote(name), name + "_rec"));
    crn_list += name + "\n";
  }
  write_file(dir / "rwl.lst", rwl_list);
  write_file(dir / "crn.lst", crn_list);
  const Pair all_rwl = run_both(dir.path(), "T\nrwl.lst\n1\n", "--list rwl.lst", "rwl.lst_rec");
  expect_same_run(all_rwl);
  EXPECT_EQ(all_rwl.cli.status, 0);
  EXPECT_TRUE(all_rwl.cli.out.ends_with(closing(17, 1387)));
  expect_same_run(run_both(dir.path(), "T\ncrn.lst\n2\n", "--list crn.lst", "crn.lst_rec"));
}

// Several FILEs are a list run over them; only the input line tells them apart.
TEST(DriverCommandRun, SeveralFilesAreAListRun) {
  TempDir dir;
  copy_examples(dir.path());
  write_file(dir / "three.lst", "oaks.rwl\nbristle.rwl\nmixed.rwl\n");
  const std::size_t before = files_in(dir.path()).size();
  const RunResult d = run_corvane(dir.path(), "T\nthree.lst\n1\n");
  const std::string list_report = read_file(dir / "three.lst_rec");
  const RunResult c = run_corvane(dir.path(), "", "oaks.rwl bristle.rwl mixed.rwl");
  EXPECT_EQ(c.status, 0);
  const std::string report = read_file(dir / "oaks.rwl_rec");
  const std::string input_line = report_head("three.lst");
  ASSERT_TRUE(list_report.starts_with(input_line));
  EXPECT_EQ(report,
            report_head("oaks.rwl bristle.rwl mixed.rwl") + list_report.substr(input_line.size()));
  EXPECT_EQ(c.out, after_last_question(d.out));
  EXPECT_TRUE(c.out.ends_with(closing(3, 10)));
  EXPECT_EQ(files_in(dir.path()).size(), before + 2);  // the two reports
}

TEST(DriverCommandRun, MissingSingleFileWarnsWithoutWaiting) {
  TempDir dir;
  const RunResult r = run_corvane(dir.path(), "", "--csv out.csv --svg out.svg nofile.rwl");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, " Warning\n\n This file " + pad("nofile.rwl", 40) +
                       " DOES NOT exist\n\n Program Terminating\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(files_in(dir.path()).empty());  // no report, no CSV, no plot
}

TEST(DriverCommandRun, StatusOneWhenANamedFileIsMissingOrPassedOver) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
  write_file(dir / "b.rwl", mr_series("B1", 1905, constant(10, 100)));
  write_file(dir / "ok.lst", "a.rwl\nb.rwl  \n");
  write_file(dir / "blank.lst", "a.rwl\n\nb.rwl\n");
  const struct {
    std::string args;
    int status;
    int files;
  } cases[] = {
      {"a.rwl b.rwl", 0, 2},
      {"a.rwl gone.rwl b.rwl", 1, 3},
      {"--list ok.lst", 0, 2},
      {"--list blank.lst", 1, 3},  // a blank line names no file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = run_corvane(dir.path(), "", c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(r.out.ends_with(closing(c.files, 2))) << r.out;
    EXPECT_EQ(r.err, "");
  }
}

TEST(DriverCommandRun, MeasurementsAndChronologiesNamedTogetherAreAUsageError) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
  write_file(dir / "b.CRN", "B     1900 1000  19990  0\n");
  write_file(dir / "mixed.lst", "\nb.CRN\n\na.rwl\n");
  write_file(dir / "crn.lst", "b.CRN\n\n");
  const std::string said =
      "corvane: the files are of two kinds: 'b.CRN' is named as a chronology (.crn) and 'a.rwl' "
      "is not; give --rrw or --crn to say how all of them are read\n";
  for (const char* args : {"b.CRN a.rwl --csv x.csv", "--list mixed.lst"}) {
    SCOPED_TRACE(args);
    const RunResult r = run_corvane(dir.path(), "", args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with(said)) << r.err;
    EXPECT_FALSE(fs::exists(dir / "b.CRN_rec") || fs::exists(dir / "mixed.lst_rec") ||
                 fs::exists(dir / "x.csv"));
  }
  // One kind (blank list lines name nothing), a layout given, or a check: no usage error.
  for (const char* args : {"--list crn.lst", "--crn b.CRN a.rwl", "--check b.CRN a.rwl"}) {
    SCOPED_TRACE(args);
    const RunResult r = run_corvane(dir.path(), "", args);
    EXPECT_LE(r.status, 1) << r.err;
    EXPECT_EQ(without_check_hints(r.err), "");
  }
}

TEST(DriverCommandRun, MoreThan399NamesAreSaidOnStandardError) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
  std::string args, list;
  for (int i = 0; i < 401; ++i) {
    args += " a.rwl";
    list += "a.rwl\n";
  }
  RunResult r = run_corvane(dir.path(), "", "-q -o r1" + args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "corvane: 401 FILEs given, and a run reads at most 399 files; the last 2, from "
            "'a.rwl' on, are passed over.\n");
  EXPECT_EQ(r.out, closing(399, 399));
  write_file(dir / "big.lst", list);
  r = run_corvane(dir.path(), "", "-q --list big.lst");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "corvane: the list 'big.lst' holds more than 399 names; a run reads at most that "
            "many files, and the names from line 400 on are passed over.\n");
  EXPECT_EQ(r.out, closing(399, 399));
  // Exactly 399 is no passing over.
  list.resize(list.size() - 12);
  write_file(dir / "big.lst", list);
  r = run_corvane(dir.path(), "", "-q --list big.lst");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(DriverCommandRun, QuietKeepsWarningsMessagesAndClosingLines) {
  TempDir dir;
  std::string texts;
  for (int i = 0; i < 26; ++i) texts += "a text line\n";
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
  write_file(dir / "l.lst", "a.rwl\ngone.rwl\n");
  RunResult r = run_corvane(dir.path(), "", "--quiet --list l.lst");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, " Warning\n\n This file " + pad("gone.rwl", 40) + " DOES NOT exist\n\n" +
                       closing(2, 1));
  // The report is the same as without -q.
  const std::string quiet_report = read_file(dir / "l.lst_rec");
  run_corvane(dir.path(), "", "--list l.lst");
  EXPECT_EQ(read_file(dir / "l.lst_rec"), quiet_report);
  // A reader's message stays.
  write_file(dir / "t.rwl", texts);
  r = run_corvane(dir.path(), "", "-q t.rwl");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("sbr trrw:  over 25 text lines"), std::string::npos);
  EXPECT_EQ(r.out.find("___"), std::string::npos);
}

TEST(DriverCommandRun, NamesAreUsedWhole) {
  TempDir dir;
  const std::string sub = std::string(30, 's');
  fs::create_directory(dir / sub);
  // 47 characters with the directory: cut at 40 it would name nothing.
  const std::string name = sub + "/" + std::string(12, 'n') + ".crn";
  write_file(dir / name, "IDX1  19001000 101100 10 900 109990  0\n");
  write_file(dir / "long.lst", name + "   \r\n");
  RunResult r = run_corvane(dir.path(), "", quote(name + "  "));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  // Shown as the dialogue shows names: 35 characters in the heading.
  EXPECT_TRUE(r.out.starts_with(heading(name) + kIndxHeading)) << r.out;
  const std::string report = read_file(dir / (name + "_rec"));  // beside it, never cut
  EXPECT_EQ(report, report_head(name) + heading(name) + kIndxHeading +
                        series_line(1, "IDX1", 1900, 1902, 3, "1.000") +
                        testing::box(1900, 1902, 1, 1900, 1902, 3, 1, 3));
  r = run_corvane(dir.path(), "", "--list long.lst");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(read_file(dir / "long.lst_rec"), report_head("long.lst") + heading(name) +
                                                 kIndxHeading +
                                                 series_line(1, "IDX1", 1900, 1902, 3, "1.000") +
                                                 testing::box(1900, 1902, 1, 1900, 1902, 3, 1, 3));
  // A file named "-", and names that look like options after "--".
  fs::copy_file(dir / name, dir / "-");
  fs::copy_file(dir / name, dir / "-q");
  r = run_corvane(dir.path(), "", "--crn -o out.txt -- - -q");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(read_file(dir / "out.txt").find(heading("-q")), std::string::npos);
}

TEST(DriverCommandRun, OutputsThatWouldOverwriteAnInputOrEachOtherAreRefused) {
  TempDir dir;
  const std::string data = mr_series("A1", 1900, constant(10, 100));
  write_file(dir / "a.rwl", data);
  write_file(dir / "b.rwl", data);
  write_file(dir / "l.lst", "a.rwl\nb.rwl\n");
  fs::create_directory(dir / "sub");
  const struct {
    std::string args, message;
  } cases[] = {
      {"a.rwl --csv a.rwl", "The CSV file \"a.rwl\" would overwrite the data file \"a.rwl\""},
      {"a.rwl b.rwl --svg ./sub/../b.rwl",
       "The SVG file \"./sub/../b.rwl\" would overwrite the data file \"b.rwl\""},
      {"a.rwl b.rwl -o b.rwl", "The report file \"b.rwl\" would overwrite the data file \"b.rwl\""},
      {"--list l.lst --csv l.lst",
       "The CSV file \"l.lst\" would overwrite the list file \"l.lst\""},
      {"--list l.lst --svg b.rwl",
       "The SVG file \"b.rwl\" would overwrite the data file \"b.rwl\""},
      {"a.rwl --csv a.rwl_rec",
       "The CSV file \"a.rwl_rec\" and the report file \"a.rwl_rec\" are the same file"},
      {"a.rwl --csv x --svg x", "The SVG file \"x\" and the CSV file \"x\" are the same file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = run_corvane(dir.path(), "", c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.message + "; the run stops and nothing is written. Choose another name.\n");
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.rwl", "b.rwl", "l.lst", "sub"}));
    EXPECT_EQ(read_file(dir / "a.rwl"), data);
    EXPECT_EQ(read_file(dir / "b.rwl"), data);
  }
}

TEST(DriverCommandRun, BadOutputPathFailsBeforeAnyReading) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
  for (const std::string args : {"a.rwl --csv nodir/x.csv", "a.rwl --svg nodir/x.svg"}) {
    SCOPED_TRACE(args);
    const RunResult r = run_corvane(dir.path(), "", args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("open for writing"), std::string::npos);
    EXPECT_NE(r.err.find("nodir/x."), std::string::npos);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"a.rwl"});  // no report either
  }
  // A single FILE that cannot be opened fails before anything is written, as in the dialogue.
  fs::create_directory(dir / "d.rwl");
  const RunResult r = run_corvane(dir.path(), "", "d.rwl --csv x.csv");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos);
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.rwl", "d.rwl"}));
}

// A run that stops before its summary leaves no CSV and no plot.
TEST(DriverCommandRun, OutputsOnlyFromARunThatReachesTheSummary) {
  TempDir dir;
  std::string texts;
  for (int i = 0; i < 26; ++i) texts += "a text line\n";
  write_file(dir / "t.rwl", mr_series("A1", 1900, constant(10, 100)) + texts);
  const RunResult r = run_corvane(dir.path(), "", "t.rwl --csv t.csv --svg t.svg");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"t.rwl", "t.rwl_rec"}));
}

TEST(DriverCommandRun, StandardOutputCarriesAnOutputAlone) {
  TempDir dir;
  copy_examples(dir.path());
  const RunResult plain = run_corvane(dir.path(), "", "--list chronology.lst");
  const std::string report = read_file(dir / "chronology.lst_rec");
  RunResult r = run_corvane(dir.path(), "", "--list chronology.lst --csv -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, plain.out);  // every console line on standard error
  EXPECT_TRUE(r.out.starts_with(std::string(kCsvHeader) + "\n" +
                                "pines.crn,1,PINSTD,1702,1995,294,1.0103776,true,"));
  EXPECT_EQ(read_file(dir / "chronology.lst_rec"), report);
  r = run_corvane(dir.path(), "", "-q --svg - pines.crn");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("<?xml")) << r.out;
  EXPECT_EQ(r.err, closing(1, 1));
  testing::XmlReader reader;
  EXPECT_TRUE(reader.read(r.out)) << reader.error;
}

// ---------------------------------------------------------------------------------------------
// The CSV read back against the report's series lines, and the plot's segments counted
// ---------------------------------------------------------------------------------------------

std::vector<std::vector<std::string>> read_csv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    std::string& field = rows.back().back();
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      EXPECT_TRUE(field.empty()) << "quote inside an unquoted field";
      quoted = true;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\n') {
      rows.emplace_back(1);
    } else {
      EXPECT_NE(c, '\r');
      field += c;
    }
  }
  EXPECT_FALSE(quoted);
  EXPECT_TRUE(rows.back().size() == 1 && rows.back()[0].empty()) << "no line feed at the end";
  rows.pop_back();
  return rows;
}

struct ReportSeries {
  std::string heading, number, id, first, last, n, mean;
};

std::vector<ReportSeries> report_series(const std::string& report, long& start, long& end,
                                        long& rings) {
  std::vector<ReportSeries> all;
  std::string heading_name;
  bool in_table = false;
  std::size_t at = 0;
  while (at < report.size()) {
    const std::size_t nl = report.find('\n', at);
    const std::string line = report.substr(at, nl - at);
    at = nl + 1;
    if (line.starts_with("  ___ ")) {
      heading_name = line.substr(6, 35);
      in_table = false;
    } else if (line.find("m_rrw") != std::string::npos ||
               line.find("m_indx") != std::string::npos) {
      in_table = true;
    } else if (in_table && line.size() == 48) {
      all.push_back({heading_name, line.substr(1, 6), line.substr(8, 8), line.substr(16, 8),
                     line.substr(24, 8), line.substr(32, 8), line.substr(40, 8)});
    } else {
      in_table = false;
    }
    if (line.starts_with("   **  Optimum common interval: ")) {
      std::sscanf(line.c_str() + 32, "%ld to%ld", &start, &end);
    }
    if (line.starts_with("   **  Number of rings:")) rings = std::atol(line.c_str() + 23);
  }
  return all;
}

std::string trim(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Runs with --csv and --svg and checks both against the report.
void check_outputs(const fs::path& dir, const std::string& args, const std::string& report_name,
                   std::size_t expected_series) {
  const RunResult r = run_corvane(dir, "", "-q --csv out.csv --svg out.svg " + args);
  ASSERT_LE(r.status, 1) << r.err;
  long start = 0, end = 0, rings = -1;
  const auto series = report_series(read_file(dir / report_name), start, end, rings);
  ASSERT_EQ(series.size(), expected_series);
  const auto rows = read_csv(read_file(dir / "out.csv"));
  ASSERT_EQ(rows.size(), series.size() + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "series", "id", "first_year", "last_year",
                                               "n", "mean", "in_optimum", "median", "stdev", "skew",
                                               "kurtosis", "sens1", "gini", "ar1", "missing"}));
  for (std::size_t i = 0; i < series.size(); ++i) {
    const auto& row = rows[i + 1];
    const ReportSeries& s = series[i];
    SCOPED_TRACE(s.heading + " " + s.number + " " + s.id);
    ASSERT_EQ(row.size(), 16u);
    EXPECT_EQ(pad(row[0], 35), s.heading);
    EXPECT_EQ(row[1], trim(s.number));
    // The ID without the sign of a negated first year, without leading and trailing blanks.
    std::string id = s.id;
    if (id.size() == 8 && id[7] == '-' && std::stol(s.first) < 0) id[7] = ' ';
    EXPECT_EQ(row[2], trim(id));
    EXPECT_EQ(row[3], trim(s.first));
    EXPECT_EQ(row[4], trim(s.last));
    EXPECT_EQ(row[5], trim(s.n));
    const long n = std::stol(row[5]);
    if (n == 0) {
      EXPECT_EQ(row[6], "");
      EXPECT_EQ(s.mean, "        ");
    } else {
      float mean = 0;
      const auto res = std::from_chars(row[6].data(), row[6].data() + row[6].size(), mean);
      EXPECT_EQ(res.ptr, row[6].data() + row[6].size()) << row[6];
      char shown[64];
      std::snprintf(shown, sizeof shown, "%8.3f", static_cast<double>(mean));
      EXPECT_EQ(std::string(shown).size() > 8 ? std::string(8, '*') : std::string(shown), s.mean);
    }
    if (rings <= 0) {
      EXPECT_EQ(row[7], "");
    } else {
      const bool in = n > 0 && std::stol(row[3]) <= start && std::stol(row[4]) >= end;
      EXPECT_EQ(row[7], in ? "true" : "false");
    }
  }
  testing::XmlReader reader;
  const auto svg = reader.read(read_file(dir / "out.svg"));
  ASSERT_TRUE(svg) << reader.error;
  std::size_t segments = 0;
  for (const char* group : {"in-optimum", "other-series"}) {
    if (const auto* g = svg->by_id(group)) segments += g->children.size();
  }
  EXPECT_EQ(segments, expected_series);
  EXPECT_EQ(svg->by_id("optimum-band") != nullptr, rings > 0);
  // The depth panel's steps ("M Y 0 H Y V C H Y V C ... Z", in years and counts) against the
  // number of CSV rows with values covering each year.
  std::map<long, long> depth;
  long low = 0, high = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (std::stol(rows[i][5]) == 0) continue;
    const long first = std::stol(rows[i][3]), last = std::stol(rows[i][4]);
    low = depth.empty() ? first : std::min(low, first);
    high = depth.empty() ? last : std::max(high, last);
    for (long y = first; y <= last; ++y) ++depth[y];
  }
  const auto* panel = svg->by_id("sample-depth");
  ASSERT_NE(panel, nullptr);
  std::map<long, long> drawn;
  std::istringstream d(panel->attributes.at("d"));
  char op = 0;
  long year = 0, count = 0, v = 0;
  ASSERT_TRUE(d >> op >> year >> count && op == 'M' && count == 0);
  while (d >> op && op != 'Z') {
    ASSERT_TRUE(d >> v);
    if (op == 'V') {
      count = v;
      continue;
    }
    ASSERT_EQ(op, 'H');
    for (; year < v; ++year) drawn[year] = count;
  }
  ASSERT_EQ(op, 'Z');
  for (long y = low; y <= high; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(drawn[y], depth.count(y) ? depth[y] : 0);
  }
  EXPECT_EQ(count, 0);  // the outline comes back to 0 after the last year
}

TEST(DriverCommandRun, CsvAndPlotAgreeWithTheReport) {
  TempDir dir;
  copy_examples(dir.path());
  check_outputs(dir.path(), "--list measurements.lst", "measurements.lst_rec", 10);
  check_outputs(dir.path(), "pines.crn", "pines.crn_rec", 1);
  std::vector<std::string> rwl, crn;
  copy_real_files(dir.path(), rwl, crn);
  std::string all;
  for (const std::string& name : rwl) (all += ' ') += quote(name);
  check_outputs(dir.path(), all, rwl.front() + "_rec", 1387);
  all.clear();
  for (const std::string& name : crn) (all += ' ') += quote(name);
  check_outputs(dir.path(), all, crn.front() + "_rec", 4);
  // Means too wide for the report, series without values, IDs that need quotes.
  std::string big = pad("BIG,\"1\" title", 79) + "#\n" + "n        3      1900  (3F8.1)\n" +
                    " 12345.0 12345.0 12345.0\n";
  write_file(dir / "odd,name.rwl",
             big + mr_series("ABC1234", -1234, constant(50, 100)) + "EMPTY   1950   999\n");
  check_outputs(dir.path(), quote("odd,name.rwl"), "odd,name.rwl_rec", 3);
  // No interval at all: in_optimum empty in every row, no band.
  write_file(dir / "none.rwl", "EMPTY1  1950   999\nEMPTY2  1960   999\n");
  check_outputs(dir.path(), "none.rwl", "none.rwl_rec", 2);
}

}  // namespace
}  // namespace corvane
