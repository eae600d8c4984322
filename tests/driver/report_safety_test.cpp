// The report file under attack, with the real executable: runs killed in the middle, links and
// special files at the report's name, two runs at once, a file-size limit, a data file whose
// read fails. Whatever happens, the report's name holds either the previous report or a whole
// new one, and nothing is written anywhere else.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/child_process.h"
#include "report_text.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::Child;
using testing::ChildSetup;
using testing::constant;
using testing::describe_status;
using testing::directory_names;
using testing::exit_text;
using testing::heading;
using testing::kNormalEnd;
using testing::kRrwHeading;
using testing::mr_series;
using testing::numbered;
using testing::read_file;
using testing::report_head;
using testing::run_corvane;
using testing::series_line;
using testing::signal_text;
using testing::TempDir;
using testing::write_file;

const std::string kOldReport = "the previous report\nof an earlier run\n";

/// Series of one value each, `count` of them: one console and one report line per series.
std::string many_series(int count) {
  std::string data;
  data.reserve(static_cast<std::size_t>(count) * 32);
  for (int i = 0; i < count; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "S%06d 1900   %3d   999\n", i, 100 + i % 900);
    data += line;
  }
  return data;
}

/// Names in `dir` that begin with "." and the report's name: temporary files of a report.
std::vector<std::string> temporaries(const fs::path& dir, const std::string& report) {
  std::vector<std::string> found;
  for (const std::string& name : directory_names(dir)) {
    if (name.rfind("." + report, 0) == 0) found.push_back(name);
  }
  return found;
}

/// Waits until the child blocks on a full standard-output pipe that nobody reads.
::testing::AssertionResult wait_until_stalled(Child& child) {
  const int fd = child.stdout_fd();
  const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  int last = -1, steady = 0;
  for (int i = 0; i < testing::kStepMs / 20; ++i) {
    if (child.wait_exit(0, false)) {
      return ::testing::AssertionFailure() << "the run ended before it stalled";
    }
    int queued = 0;
    ::ioctl(fd, FIONREAD, &queued);
    steady = queued == last && queued >= capacity - 4096 && child.is_asleep() ? steady + 1 : 0;
    if (steady >= 5) return ::testing::AssertionSuccess();
    last = queued;
    ::usleep(20000);
  }
  return ::testing::AssertionFailure() << "the run never stalled on its standard output";
}

// A run killed in the middle of a large listing, while it waits on a full standard-output
// pipe: the previous report stays byte for byte and nothing else is left behind (SIGKILL,
// which cannot be caught, may leave the temporary file).
TEST(DriverReportSafety, KilledRunLeavesThePreviousReport) {
  struct Case {
    const char* what;
    int sig;
    const char* sub;  // directory of the data file and its report, relative to the run's
  };
  const Case cases[] = {{"SIGTERM", SIGTERM, ""},
                        {"SIGINT", SIGINT, ""},
                        {"SIGHUP", SIGHUP, ""},
                        {"SIGKILL", SIGKILL, ""},
                        {"SIGTERM, report in a subdirectory", SIGTERM, "sub"}};
  const std::string data = many_series(12000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path where = dir / c.sub;
    fs::create_directories(where);
    write_file(where / "big.rwl", data);
    write_file(where / "big.rwl_rec", kOldReport);
    const auto before = directory_names(where);

    ChildSetup setup;
    setup.dir = dir.path();
    Child child(setup);
    ASSERT_TRUE(child.started());
    const std::string input = (fs::path(c.sub) / "big.rwl").string();
    ASSERT_TRUE(child.send("F\n" + input + "\n1\n"));
    child.close_input();
    ASSERT_TRUE(wait_until_stalled(child));
    // The new report grows beside the old one, in the report's own directory.
    EXPECT_EQ(temporaries(where, "big.rwl_rec").size(), 1u);
    if (*c.sub != '\0') {
      EXPECT_EQ(directory_names(dir.path()), std::set<std::string>{c.sub});
    }

    child.signal(c.sig);
    EXPECT_EQ(describe_status(child.wait_exit()), signal_text(c.sig)) << child.err();
    EXPECT_EQ(read_file(where / "big.rwl_rec"), kOldReport);
    auto after = directory_names(where);
    if (c.sig == SIGKILL) {
      for (const std::string& t : temporaries(where, "big.rwl_rec")) after.erase(t);
    }
    EXPECT_EQ(after, before);
  }
}

// A link at the report's name is replaced by the report; what it pointed to, here or in another
// directory, is never written. A hard link is parted from its other name.
TEST(DriverReportSafety, LinkAtTheReportNameIsReplacedNotFollowed) {
  enum class Kind { symbolic, dangling, loop, hard };
  struct Case {
    const char* what;
    Kind kind;
    bool elsewhere;  // the target in another directory
  };
  const Case cases[] = {{"link to a file elsewhere", Kind::symbolic, true},
                        {"dangling link elsewhere", Kind::dangling, true},
                        {"link to a file beside it", Kind::symbolic, false},
                        {"dangling link beside it", Kind::dangling, false},
                        {"link to itself", Kind::loop, false},
                        {"hard link to a file elsewhere", Kind::hard, true}};
  const std::string data =
      mr_series("A1", 1900, constant(30, 150)) + mr_series("A2", 1910, constant(30, 250));
  TempDir ref_dir;
  write_file(ref_dir / "a.rwl", data);
  ASSERT_EQ(run_corvane(ref_dir.path(), "F\na.rwl\n1\n").status, 0);
  const std::string reference = read_file(ref_dir / "a.rwl_rec");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir, other;
    write_file(dir / "a.rwl", data);
    const fs::path target = (c.elsewhere ? other.path() : dir.path()) / "target.txt";
    const bool exists = c.kind == Kind::symbolic || c.kind == Kind::hard;
    if (exists) write_file(target, kOldReport);
    switch (c.kind) {
      case Kind::symbolic:
      case Kind::dangling:
        fs::create_symlink(c.elsewhere ? target : fs::path("target.txt"), dir / "a.rwl_rec");
        break;
      case Kind::loop:
        fs::create_symlink("a.rwl_rec", dir / "a.rwl_rec");
        break;
      case Kind::hard:
        fs::create_hard_link(target, dir / "a.rwl_rec");
        break;
    }
    const auto other_before = directory_names(other.path());

    const auto r = run_corvane(dir.path(), "F\na.rwl\n1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "a.rwl_rec")));
    EXPECT_EQ(read_file(dir / "a.rwl_rec"), reference);
    EXPECT_EQ(fs::exists(target), exists);
    if (exists) {
      EXPECT_EQ(read_file(target), kOldReport);
    }
    EXPECT_EQ(directory_names(other.path()), other_before);
    EXPECT_TRUE(temporaries(dir.path(), "a.rwl_rec").empty());
  }
}

// A character device at the report's name, itself or through a link, is written in place and
// stays what it was: /dev/null takes the report, /dev/full fails it with the failed-write
// report.
TEST(DriverReportSafety, DeviceAtTheReportNameIsWrittenInPlace) {
  struct Case {
    const char* device;
    int status;
  };
  const Case cases[] = {{"/dev/null", 0}, {"/dev/full", 2}};
  std::string data;
  for (int i = 0; i < 200; ++i) data += mr_series(numbered("S", i), 1900, constant(20, 100));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    TempDir dir;
    write_file(dir / "b.rwl", data);
    fs::create_symlink(c.device, dir / "b.rwl_rec");
    const auto before = directory_names(dir.path());
    const auto r = run_corvane(dir.path(), "F\nb.rwl\n1\n");
    EXPECT_EQ(r.status, c.status);
    if (c.status == 0) {
      EXPECT_NE(r.out.find(kNormalEnd), std::string::npos);
      EXPECT_TRUE(r.err.empty()) << r.err;
    } else {
      EXPECT_NE(r.err.find("operating system reports a failure"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("b.rwl_rec"), std::string::npos) << r.err;
      EXPECT_EQ(r.out.find(kNormalEnd), std::string::npos);
    }
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink(dir / "b.rwl_rec", ec), fs::path(c.device)) << "no longer the link";
    EXPECT_EQ(directory_names(dir.path()), before);
  }
}

// A FIFO at the report's name receives the report; it is not replaced by a file.
TEST(DriverReportSafety, FifoAtTheReportNameReceivesTheReport) {
  const std::string data = mr_series("F1", 1900, constant(40, 120));
  TempDir ref_dir;
  write_file(ref_dir / "f.rwl", data);
  ASSERT_EQ(run_corvane(ref_dir.path(), "F\nf.rwl\n1\n").status, 0);

  TempDir dir;
  write_file(dir / "f.rwl", data);
  ASSERT_EQ(::mkfifo((dir / "f.rwl_rec").c_str(), 0600), 0);
  const auto before = directory_names(dir.path());
  // Our reading end is open first, so that the run's open for writing does not wait.
  const int reader = ::open((dir / "f.rwl_rec").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ChildSetup setup;
  setup.dir = dir.path();
  Child child(setup);
  const std::size_t fifo = child.watch(reader);
  ASSERT_TRUE(child.send("F\nf.rwl\n1\n"));
  child.close_input();
  EXPECT_EQ(describe_status(child.wait_exit()), exit_text(0)) << child.err();
  EXPECT_EQ(child.watched(fifo), read_file(ref_dir / "f.rwl_rec"));
  EXPECT_EQ(fs::status(dir / "f.rwl_rec").type(), fs::file_type::fifo);
  EXPECT_EQ(directory_names(dir.path()), before);
}

// A directory at the report's name, itself or through a link, fails where the report is
// opened: before the layout question, with nothing left behind.
TEST(DriverReportSafety, DirectoryAtTheReportNameFailsBeforeTheLayoutQuestion) {
  for (const bool link : {false, true}) {
    SCOPED_TRACE(link ? "link to a directory" : "directory");
    TempDir dir, other;
    write_file(dir / "a.rwl", mr_series("A1", 1900, constant(10, 100)));
    if (link) {
      fs::create_symlink(other.path(), dir / "a.rwl_rec");
    } else {
      fs::create_directory(dir / "a.rwl_rec");
    }
    const auto before = directory_names(dir.path());
    const auto r = run_corvane(dir.path(), "F\na.rwl\n1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("a.rwl_rec"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Measurements or Chronologies?"), std::string::npos);
    EXPECT_EQ(directory_names(dir.path()), before);
    EXPECT_TRUE(directory_names(other.path()).empty());
  }
}

// Two runs at once on one report name, under two spellings of the input's name so that their
// reports differ: the first stalls in the middle of its listing while the second runs to its
// end, then the first goes on. Both end normally and the report is the whole report of the
// run that finished last.
TEST(DriverReportSafety, TwoRunsAtOnceEachLeaveAWholeReport) {
  const std::string data = many_series(8000);
  TempDir ref_dir;
  write_file(ref_dir / "x.rwl", data);
  ASSERT_EQ(run_corvane(ref_dir.path(), "F\nx.rwl\n1\n").status, 0);
  const std::string first_report = read_file(ref_dir / "x.rwl_rec");
  ASSERT_EQ(run_corvane(ref_dir.path(), "F\n./x.rwl\n1\n").status, 0);
  const std::string second_report = read_file(ref_dir / "x.rwl_rec");
  ASSERT_NE(first_report, second_report);
  ASSERT_EQ(first_report.size(), second_report.size());

  TempDir dir;
  write_file(dir / "x.rwl", data);
  ChildSetup setup;
  setup.dir = dir.path();
  Child first(setup), second(setup);
  ASSERT_TRUE(first.started() && second.started());
  // Both open the report before either lists a series.
  ASSERT_TRUE(first.send("F\nx.rwl\n"));
  ASSERT_TRUE(second.send("F\n./x.rwl\n"));
  ASSERT_TRUE(first.wait_for("[1] rrw  [2] crn  : "));
  ASSERT_TRUE(second.wait_for("[1] rrw  [2] crn  : "));
  ASSERT_TRUE(first.send("1\n"));
  ASSERT_TRUE(wait_until_stalled(first));
  ASSERT_TRUE(second.send("1\n"));
  EXPECT_EQ(describe_status(second.wait_exit()), exit_text(0)) << second.err();
  EXPECT_EQ(read_file(dir / "x.rwl_rec"), second_report);
  EXPECT_EQ(describe_status(first.wait_exit()), exit_text(0)) << first.err();
  EXPECT_EQ(read_file(dir / "x.rwl_rec"), first_report);
  EXPECT_EQ(directory_names(dir.path()), (std::set<std::string>{"x.rwl", "x.rwl_rec"}));
}

// Under a file-size limit smaller than the report the write fails: the failed-write report,
// exit 2, and the previous report as it was (the run is not killed by SIGXFSZ).
TEST(DriverReportSafety, FileSizeLimitGivesTheFailedWriteReport) {
  TempDir dir;
  write_file(dir / "c.rwl", many_series(400));
  write_file(dir / "c.rwl_rec", kOldReport);
  const auto before = directory_names(dir.path());
  ChildSetup setup;
  setup.dir = dir.path();
  setup.file_size_limit = 4096;
  Child child(setup);
  ASSERT_TRUE(child.send("F\nc.rwl\n1\n"));
  child.close_input();
  EXPECT_EQ(describe_status(child.wait_exit()), exit_text(2)) << child.err();
  EXPECT_NE(child.err().find("operating system reports a failure"), std::string::npos);
  EXPECT_NE(child.err().find(std::strerror(EFBIG)), std::string::npos) << child.err();
  EXPECT_NE(child.err().find("c.rwl_rec"), std::string::npos) << child.err();
  EXPECT_EQ(child.out().find(kNormalEnd), std::string::npos);
  EXPECT_EQ(read_file(dir / "c.rwl_rec"), kOldReport);
  EXPECT_EQ(directory_names(dir.path()), before);
}

// A new report gets the permissions of a newly created file: 0666 less the umask.
TEST(DriverReportSafety, NewReportHasTheModeOfANewFile) {
  for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{0}}) {
    SCOPED_TRACE(mask);
    TempDir dir;
    write_file(dir / "m.rwl", mr_series("M1", 1900, constant(10, 100)));
    ChildSetup setup;
    setup.dir = dir.path();
    setup.umask_bits = mask;
    Child child(setup);
    ASSERT_TRUE(child.send("F\nm.rwl\n1\n"));
    child.close_input();
    EXPECT_EQ(describe_status(child.wait_exit()), exit_text(0)) << child.err();
    struct stat st {};
    ASSERT_EQ(::stat((dir / "m.rwl_rec").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
  }
}

// A writable report in a directory where no new file can be made is written in place.
TEST(DriverReportSafety, WritableReportInAReadOnlyDirectoryIsWrittenInPlace) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempDir dir;
  write_file(dir / "w.rwl", mr_series("W1", 1900, constant(10, 100)));
  write_file(dir / "w.rwl_rec", kOldReport);
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  ChildSetup setup;
  setup.dir = dir.path();
  Child child(setup);
  ASSERT_TRUE(child.send("F\nw.rwl\n1\n"));
  child.close_input();
  const auto status = describe_status(child.wait_exit());
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(status, exit_text(0)) << child.err();
  EXPECT_EQ(read_file(dir / "w.rwl_rec").substr(0, report_head("w.rwl").size()),
            report_head("w.rwl"));
}

// A data file named in a list whose read fails (the kernel answers reads of /proc/self/mem
// at address 0 with EIO) ends the run with an error report naming it; the report keeps what
// was written before, without the summary, and the files after it are not read.
TEST(DriverReportSafety, FailedReadOfAListedDataFileEndsTheRun) {
  TempDir dir;
  write_file(dir / "a.rwl", mr_series("A1", 1950, {100, 300}));
  write_file(dir / "b.rwl", mr_series("B1", 1950, {100}));
  write_file(dir / "mem.lst", "a.rwl\n/proc/self/mem\nb.rwl\n");
  const auto r = run_corvane(dir.path(), "T\nmem.lst\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("operating system reports a failure"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(std::strerror(EIO)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("/proc/self/mem"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find(kNormalEnd), std::string::npos);
  EXPECT_EQ(r.out.find("B1"), std::string::npos);
  EXPECT_EQ(read_file(dir / "mem.lst_rec"), report_head("mem.lst") + heading("a.rwl") +
                                                kRrwHeading +
                                                series_line(1, "A1", 1950, 1951, 2, "2.000") +
                                                heading("/proc/self/mem") + kRrwHeading);
  EXPECT_TRUE(temporaries(dir.path(), "mem.lst_rec").empty());
}

}  // namespace
}  // namespace corvane
