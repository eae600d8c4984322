// Outputs whose names lead to an open descriptor (standard output or error through a link into
// /proc/*/fd/) are written through it: the link stays a link, and nothing is renamed over it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "driver/child_process.h"
#include "test_util.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::Child;
using testing::ChildSetup;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

const fs::path kExamples = CORVANE_EXAMPLES;
constexpr std::string_view kNormalEnd = "Normal termination of program";

bool is_link(const fs::path& p) { return fs::is_symlink(fs::symlink_status(p)); }

// What each output begins with.
struct Output {
  std::string option;
  std::string begins;
};
const Output kOutputs[] = {{"-o", "\n Input file for this run : oaks.rwl"},
                           {"--csv", "file,series,id,"},
                           {"--svg", "<?xml "}};

// Through a link of the working directory to /proc/self/fd/1, with standard output a file
// (emptied or appended to) and a pipe.
TEST(DriverStreamOutputs, LinkToStandardOutputIsWrittenThrough) {
  enum class Stdout { file, appended, pipe };
  for (const Output& o : kOutputs) {
    for (const Stdout to : {Stdout::file, Stdout::appended, Stdout::pipe}) {
      SCOPED_TRACE(o.option + (to == Stdout::pipe ? " into a pipe" : " into a file"));
      TempDir dir;
      fs::copy_file(kExamples / "oaks.rwl", dir / "oaks.rwl");
      fs::create_symlink("/proc/self/fd/1", dir / "so");
      const fs::path out = dir.path().parent_path() / (dir.path().filename().string() + ".out");
      write_file(out, "before\n");
      const auto names = testing::directory_names(dir.path());
      ChildSetup setup;
      setup.dir = dir.path();
      setup.args = {"-q", o.option, "so", "oaks.rwl"};
      if (to != Stdout::pipe) setup.stdout_path = out.string();
      setup.append = to == Stdout::appended;
      Child child(setup);
      child.close_input();
      EXPECT_EQ(testing::describe_status(child.wait_exit()), testing::exit_text(0)) << child.err();
      std::string written = to == Stdout::pipe ? child.out() : read_file(out);
      if (to == Stdout::appended) {
        ASSERT_TRUE(written.starts_with("before\n")) << "standard output was reopened";
        written.erase(0, 7);
      }
      fs::remove(out);
      EXPECT_TRUE(written.starts_with(o.begins)) << written.substr(0, 80);
      // The console's lines make way for it.
      EXPECT_EQ(written.find(kNormalEnd), std::string::npos);
      EXPECT_NE(child.err().find(kNormalEnd), std::string::npos);
      EXPECT_TRUE(is_link(dir / "so"));
      auto expected = names;
      if (o.option != "-o") expected.insert("oaks.rwl_rec");
      EXPECT_EQ(testing::directory_names(dir.path()), expected) << "a temporary file is left";
    }
  }
}

struct Shell {
  int status = -1;
  std::string out, err;
};

// Runs a shell script in `dir` with the program's path as $0, standard output and error to
// files.
Shell run_shell(const fs::path& dir, const std::string& script) {
  const std::string command = "cd '" + dir.string() + "' && sh -c '" + script + "' '" +
                              CORVANE_EXE + "' > stdout.txt 2> stderr.txt";
  Shell r;
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(dir / "stdout.txt");
  r.err = read_file(dir / "stderr.txt");
  return r;
}

// The system's own names. As root, only inside a private mount namespace with a /dev of its
// own: the machine's /dev/stdout must never be at stake, even when the program regresses.
TEST(DriverStreamOutputs, SystemNamesOfTheStandardStreams) {
  TempDir probe;
  std::string setup_dev;
  if (run_shell(probe.path(), "unshare -rm true").status == 0) {
    setup_dev =
        "mount -t tmpfs none /dev && ln -s /proc/self/fd /dev/fd && "
        "ln -s /proc/self/fd/1 /dev/stdout && ln -s /proc/self/fd/2 /dev/stderr && ";
  } else if (::geteuid() == 0) {
    GTEST_SKIP() << "no private mount namespace, and the real /dev/stdout is not to be risked";
  }
  struct Case {
    std::string name;
    bool to_error;
  };
  const Case cases[] = {{"/dev/stdout", false},
                        {"/dev/fd/1", false},
                        {"/proc/self/fd/1", false},
                        {"//dev/./stdout", false},
                        {"/dev/stderr", true}};
  for (const Case& c : cases) {
    for (const Output& o : kOutputs) {
      SCOPED_TRACE(o.option + " " + c.name);
      TempDir dir;
      fs::copy_file(kExamples / "oaks.rwl", dir / "oaks.rwl");
      std::string run = "\"$0\" -q " + o.option + " " + c.name + " oaks.rwl";
      if (!setup_dev.empty()) run = "unshare -rm sh -c \"" + setup_dev + run + "\" \"$0\"";
      const Shell r = run_shell(dir.path(), run);
      EXPECT_EQ(r.status, 0) << r.err;
      const std::string& written = c.to_error ? r.err : r.out;
      EXPECT_TRUE(written.starts_with(o.begins)) << written.substr(0, 80);
    }
  }
  // After every run, the links of a namespace of their own are still links.
  TempDir dir;
  fs::copy_file(kExamples / "oaks.rwl", dir / "oaks.rwl");
  const std::string check =
      "\"$0\" -q --csv /dev/stdout -o /dev/stderr oaks.rwl && test -L /dev/stdout && "
      "test -L /dev/stderr && test -L /dev/fd && echo links >&2";
  const Shell r = run_shell(
      dir.path(),
      setup_dev.empty() ? check : "unshare -rm sh -c \"" + setup_dev + check + "\" \"$0\"");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("file,series,id,"));
  EXPECT_TRUE(r.err.ends_with("links\n")) << r.err;
}

// Two outputs on standard output are the usage error of --csv - --svg -; an output that is the
// very file of standard output counts as one.
TEST(DriverStreamOutputs, TwoOutputsOnStandardOutputAreAUsageError) {
  TempDir dir;
  fs::copy_file(kExamples / "oaks.rwl", dir / "oaks.rwl");
  fs::create_symlink("/proc/self/fd/1", dir / "so");
  struct Case {
    std::string script;
    std::string message;
  };
  const Case cases[] = {
      {"\"$0\" --csv - --svg so oaks.rwl", "--csv - and --svg so cannot both"},
      {"\"$0\" -o so --csv - oaks.rwl", "-o so and --csv - cannot both"},
      {"\"$0\" --csv so --svg stdout.txt oaks.rwl", "--csv so and --svg stdout.txt cannot both"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const Shell r = run_shell(dir.path(), c.script);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.starts_with("corvane: " + c.message + " write to standard output\n"))
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(dir / "oaks.rwl_rec"));
  }
  // One output that is the file of standard output: the console's lines go to standard error.
  const Shell r = run_shell(dir.path(), "\"$0\" --csv stdout.txt oaks.rwl");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("file,series,id,")) << r.out.substr(0, 80);
  EXPECT_NE(r.err.find(kNormalEnd), std::string::npos);
}

// A descriptor that is not open for writing is refused, and a report under /dev/shm is still
// written beside its name and renamed: a link at the name is replaced, its target left alone.
TEST(DriverStreamOutputs, OtherDescriptorsAndSharedMemory) {
  TempDir dir;
  fs::copy_file(kExamples / "oaks.rwl", dir / "oaks.rwl");
  const Shell closed = run_shell(dir.path(), "\"$0\" -q --csv /proc/self/fd/7 oaks.rwl");
  EXPECT_EQ(closed.status, 2);
  EXPECT_NE(closed.err.find("Bad file descriptor"), std::string::npos) << closed.err;
  write_file(dir / "input.txt", "");
  const Shell reading = run_shell(dir.path(), "\"$0\" -q --csv /dev/fd/0 oaks.rwl < input.txt");
  EXPECT_EQ(reading.status, 2);
  EXPECT_NE(reading.err.find("Bad file descriptor"), std::string::npos) << reading.err;

  const fs::path shm = fs::path("/dev/shm") / ("corvane-" + std::to_string(::getpid()));
  if (!fs::is_directory("/dev/shm") || !fs::create_directory(shm)) GTEST_SKIP() << "no /dev/shm";
  write_file(shm / "target", "kept\n");
  fs::create_symlink(shm / "target", shm / "report");
  const Shell r = run_shell(dir.path(), "\"$0\" -q -o " + (shm / "report").string() + " oaks.rwl");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(is_link(shm / "report"));
  EXPECT_TRUE(read_file(shm / "report").starts_with(kOutputs[0].begins));
  EXPECT_EQ(read_file(shm / "target"), "kept\n");
  fs::remove_all(shm);
}

}  // namespace
}  // namespace corvane
