// The failure paths of a whole run, on files held in memory: a read that fails in the middle
// of a data file or a list file, a write, a sync or a close of the report that fails, standard
// output that cannot be written, memory that runs out, and how the report is written.
#include <cerrno>
#include <string>
#include <vector>

#include "driver/program.h"
#include "memory_files.h"
#include "report_text.h"

namespace corvane {
namespace {

using testing::constant;
using testing::listing_head;
using testing::MemoryFiles;
using testing::mr_series;
using testing::numbered;

bool has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Enough series that the data file outgrows the line reader's first block many times.
std::string many_series(int count) {
  std::string data;
  for (int i = 0; i < count; ++i) data += mr_series(numbered("S", i), 1900, constant(60, 150));
  return data;
}

struct Outcome {
  int status;
  MemoryConsole console;
};

Outcome run(MemoryFiles& files, std::string answers) {
  Outcome r{0, MemoryConsole(std::move(answers))};
  r.status = program_main({}, r.console, files);
  return r;
}

TEST(DriverFailurePaths, FailedReadOfADataFileEndsTheRun) {
  // Single-file mode and a list run; the failure far into the file, after a block or two.
  struct Case {
    const char* what;
    const char* answers;
    const char* report;
  };
  const Case cases[] = {{"single file", "F\ndata.rwl\n1\n", "data.rwl_rec"},
                        {"list", "T\nrun.lst\n1\n", "run.lst_rec"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFiles files;
    const std::string data = many_series(400);
    files.add_file("data.rwl", data);
    files.add_file("run.lst", "data.rwl\nother.rwl\n");
    files.add_file("other.rwl", mr_series("O1", 1950, {100}));
    files.fail_reads_of("data.rwl", data.size() / 2, EIO);
    Outcome r = run(files, c.answers);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r.console.err, "Input/output error")) << r.console.err;
    EXPECT_TRUE(has(r.console.err, "read, handle 13, file \"data.rwl\"")) << r.console.err;
    EXPECT_FALSE(has(r.console.out, "Normal termination"));
    EXPECT_FALSE(has(r.console.out, "___ other.rwl"));  // nothing after the failure
    // The report keeps what was written before the failure, and no summary box.
    const std::string& report = files.content(c.report);
    EXPECT_TRUE(has(report, "     1 S0      "));
    EXPECT_FALSE(has(report, "S399"));
    EXPECT_FALSE(has(report, "*****"));
    EXPECT_FALSE(has(r.console.out, "Series Read from file="));
  }
}

TEST(DriverFailurePaths, FailedReadOfASelfDescribingSeriesSaysNothingOfAnEarlyEnd) {
  MemoryFiles files;
  std::string data = std::string(79, 'T') + "#\n";
  data += "n       30      1850  (10F8.3)\n";
  for (int line = 0; line < 3; ++line) {
    for (int k = 0; k < 10; ++k) data += "   1.000";
    data += "\n";
  }
  files.add_file("sd.rwl", data);
  files.fail_reads_of("sd.rwl", data.size() - 81, EIO);  // before the last value line
  Outcome r = run(files, "F\nsd.rwl\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(has(r.console.out, "unexpected end reading data"));
  EXPECT_TRUE(has(r.console.err, "Input/output error"));
}

TEST(DriverFailurePaths, FailedReadOfAListFileEndsTheRun) {
  MemoryFiles files;
  std::string list;
  for (int i = 0; i < 300; ++i) list += numbered("name", i) + ".rwl\n";
  files.add_file("run.lst", list);
  files.fail_reads_of("run.lst", 1000, EIO);
  Outcome r = run(files, "T\nrun.lst\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.console.err, "file \"run.lst\""));
  EXPECT_FALSE(files.has("run.lst_rec"));  // the report is created after the list is read
}

TEST(DriverFailurePaths, ReportThatCannotBeCompletedLeavesThePreviousOne) {
  // A write, a sync or a close of the report that fails: exit 2, an error report, no closing
  // lines, and the previous report as it was, with no temporary file left.
  enum class Fails { write, sync, close };
  for (const Fails f : {Fails::write, Fails::sync, Fails::close}) {
    SCOPED_TRACE(static_cast<int>(f));
    MemoryFiles files;
    files.add_file("data.rwl", many_series(200));
    files.add_file("data.rwl_rec", "previous report\n");
    if (f == Fails::write) files.fail_writes_after(5000, EFBIG);
    if (f == Fails::sync) files.fail_syncs(EIO);
    if (f == Fails::close) files.fail_closes(EIO);
    Outcome r = run(files, "F\ndata.rwl\n1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r.console.err, "Run-time error: the operating system reports a failure"));
    EXPECT_TRUE(has(r.console.err, "file \"data.rwl_rec\""));
    EXPECT_FALSE(has(r.console.out, "Normal termination"));
    EXPECT_EQ(files.content("data.rwl_rec"), "previous report\n");
    for (const auto& [name, entry] : files.entries()) EXPECT_FALSE(name.starts_with(".")) << name;
  }
}

TEST(DriverFailurePaths, ReportIsWrittenBesideItsNameAndRenamedWhenWhole) {
  MemoryFiles files;
  files.add_file("data.rwl", mr_series("A1", 1950, {100, 200}));
  files.add_file("data.rwl_rec", "previous report\n");
  Outcome r = run(files, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(files.content("data.rwl_rec").starts_with(listing_head("data.rwl")));
  EXPECT_EQ(files.entries().size(), 2u);  // no temporary file left beside it
}

TEST(DriverFailurePaths, ReportEndsWhereTheRunStops) {
  // Ends that keep the report: a stop with a message, an error report about an input.
  MemoryFiles files;
  std::string data = mr_series("A1", 1950, {100});
  for (int i = 0; i < 30; ++i) data += "text line\n";
  files.add_file("data.rwl", data);
  Outcome r = run(files, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(files.content("data.rwl_rec"), "     1 A1      "));

  // The input ends at the layout question: the new report, of no series, is dropped.
  MemoryFiles files2;
  files2.add_file("data.rwl", data);
  Outcome r2 = run(files2, "F\ndata.rwl\n");
  EXPECT_EQ(r2.status, 2);
  EXPECT_FALSE(files2.has("data.rwl_rec"));
  files2.add_file("data.rwl_rec", "previous report\n");
  EXPECT_EQ(run(files2, "F\ndata.rwl\n").status, 2);
  EXPECT_EQ(files2.content("data.rwl_rec"), "previous report\n");
}

TEST(DriverFailurePaths, NoNewFileBesideItIsWrittenInPlace) {
  // A writable report in a directory where no new file can be made.
  MemoryFiles files;
  files.add_file("data.rwl", mr_series("A1", 1950, {100}));
  files.add_file("data.rwl_rec", "previous report\n");
  files.fail_creating_beside(EACCES);
  Outcome r = run(files, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(files.content("data.rwl_rec").starts_with(listing_head("data.rwl")));
  // With no report there yet, the directory's refusal is the error.
  MemoryFiles files2;
  files2.add_file("data.rwl", mr_series("A1", 1950, {100}));
  files2.fail_creating_beside(EACCES);
  Outcome r2 = run(files2, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r2.status, 2);
  EXPECT_TRUE(has(r2.console.err, "Permission denied"));
  EXPECT_FALSE(has(r2.console.out, "Measurements or Chronologies?"));
}

TEST(DriverFailurePaths, ReportNameThatIsADirectoryOrALink) {
  MemoryFiles files;
  files.add_file("data.rwl", mr_series("A1", 1950, {100}));
  files.add_directory("data.rwl_rec");
  Outcome r = run(files, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.console.err, "Is a directory"));
  EXPECT_FALSE(has(r.console.out, "Measurements or Chronologies?"));

  MemoryFiles linked;
  linked.add_file("data.rwl", mr_series("A1", 1950, {100}));
  linked.add_file("elsewhere/keep", "keep me\n");
  linked.add_link("data.rwl_rec", "elsewhere/keep");
  Outcome r2 = run(linked, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r2.status, 0);
  EXPECT_EQ(linked.content("elsewhere/keep"), "keep me\n");
  EXPECT_EQ(linked.type("data.rwl_rec", false), NameType::regular);

  MemoryFiles device;
  device.add_file("data.rwl", mr_series("A1", 1950, {100}));
  device.add_device("full");
  device.add_link("data.rwl_rec", "full");
  device.fail_writes_after(0, ENOSPC);
  Outcome r3 = run(device, "F\ndata.rwl\n1\n");
  EXPECT_EQ(r3.status, 2);
  EXPECT_TRUE(has(r3.console.err, "No space left on device"));
}

TEST(DriverFailurePaths, ConsoleOutputThatFailsOnAShortRun) {
  MemoryFiles files;
  files.add_file("data.rwl", mr_series("A1", 1950, {100}));
  MemoryConsole console("F\ndata.rwl\n1\n");
  console.fail_output = true;
  EXPECT_EQ(program_main({}, console, files), 2);
  EXPECT_TRUE(has(console.err, "The console output could not be written"));
  // The report is still written whole.
  EXPECT_TRUE(has(files.content("data.rwl_rec"), "Number of rings"));
}

TEST(DriverFailurePaths, RunningOutOfMemoryAnywhereEndsWithStatusTwo) {
  // Memory runs out at each operation on the files in turn, from the first on; every run ends
  // with status 2 and a message, and none leaves a temporary file.
  int reached = 0;
  for (long at = 1; at < 400; ++at) {
    MemoryFiles files;
    files.add_file("data.rwl", many_series(20));
    files.add_file("run.lst", "data.rwl\ndata.rwl\n");
    files.run_out_of_memory_at(at);
    Outcome r = run(files, "T\nrun.lst\n1\n");
    if (!files.failure_happened()) {
      EXPECT_EQ(r.status, 0);
      break;
    }
    ++reached;
    EXPECT_EQ(r.status, 2) << at;
    EXPECT_TRUE(has(r.console.err, "Out of memory")) << at;
    for (const auto& [name, entry] : files.entries()) EXPECT_FALSE(name.starts_with(".")) << at;
  }
  EXPECT_GT(reached, 10);
}

}  // namespace
}  // namespace corvane
