// The dialogue as a person or a script meets it: the real executable on a pseudo-terminal, or
// on a pipe or FIFO fed one answer at a time, each answer sent only after its prompt has
// appeared. A program that waits for more than the line being answered fails these tests by
// the time bound of each step.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/child_process.h"
#include "report_text.h"

namespace corvane {
namespace {

using testing::Child;
using testing::ChildSetup;
using testing::exit_text;
using testing::read_file;
using testing::run_corvane;
using testing::TempDir;
using testing::write_file;

constexpr std::string_view kLogicalPrompt = "Answer [T]rue or [F]alse :  ";
constexpr std::string_view kListPrompt = "List- file name ==> ";
constexpr std::string_view kNamePrompt = "Enter file name :  ";
constexpr std::string_view kLayoutPrompt = "[1] rrw  [2] crn  : ";
constexpr std::string_view kNormalEnd = "Normal termination of program";

void copy_examples(const std::filesystem::path& dir) {
  for (const auto& e : std::filesystem::directory_iterator(CORVANE_EXAMPLES)) {
    if (e.is_regular_file() && e.path().filename().string()[0] != '.') {
      std::filesystem::copy_file(e.path(), dir / e.path().filename());
    }
  }
}

/// Opens a FIFO for writing once its reader is there; -1 when no reader comes within the bound.
int open_fifo_writer(const std::filesystem::path& path) {
  for (int i = 0; i < testing::kStepMs / 10; ++i) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      ::fcntl(fd, F_SETFL, 0);
      return fd;
    }
    ::usleep(10000);
  }
  return -1;
}

/// One question of a session: the text to wait for, then the bytes to type.
struct Step {
  std::string prompt;
  std::string answer;
};

std::size_t count(const std::string& s, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

::testing::AssertionResult play(Child& child, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (!child.wait_for(s.prompt)) {
      return ::testing::AssertionFailure() << "\"" << s.prompt << "\" did not appear within "
                                           << testing::kStepMs << " ms; output so far:\n"
                                           << child.out() << "\nerrors:\n"
                                           << child.err();
    }
    if (!s.answer.empty() && !child.send(s.answer)) {
      return ::testing::AssertionFailure() << "could not send \"" << s.answer << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

// Sessions at a terminal. Each is run a second time with all its answers piped at once; both
// runs must end alike and leave the same report.
TEST(DriverTerminal, SessionsTypedAfterEachPrompt) {
  struct Case {
    const char* what;
    std::vector<Step> steps;  // answers end with RETURN, which the terminal turns into a LF
    std::string piped;        // the same answers for the reference run
    std::string last_text;    // shown before the end
    int status;
    const char* report;  // left by the run, or nullptr
    std::size_t layout_prompts;
  };
  const std::string eof(1, '\x04');
  const std::vector<Case> cases = {
      {"list mode on the examples",
       {{std::string(kLogicalPrompt), "T\r"},
        {std::string(kListPrompt), "measurements.lst\r"},
        {std::string(kLayoutPrompt), "1\r"}},
       "T\nmeasurements.lst\n1\n",
       std::string(kNormalEnd),
       0,
       "measurements.lst_rec",
       1},
      {"single file, layout answer 7 asked again",
       {{std::string(kLogicalPrompt), "F\r"},
        {std::string(kNamePrompt), "oaks.rwl\r"},
        {std::string(kLayoutPrompt), "7\r"},
        {std::string(kLayoutPrompt), "1\r"}},
       "F\noaks.rwl\n7\n1\n",
       std::string(kNormalEnd),
       0,
       "oaks.rwl_rec",
       2},
      {"missing single file ended by RETURN",
       {{std::string(kLogicalPrompt), "F\r"},
        {std::string(kNamePrompt), "nofile.rwl\r"},
        {"Hit RETURN to Quit", "\r"}},
       "F\nnofile.rwl\n\n",
       "",
       1,
       nullptr,
       0},
      {"Ctrl-D at the first question",
       {{std::string(kLogicalPrompt), eof}},
       "",
       "Attempt to read past end of file",
       2,
       nullptr,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir ref_dir;
    copy_examples(ref_dir.path());
    const auto ref = run_corvane(ref_dir.path(), c.piped);
    ASSERT_EQ(ref.status, c.status) << ref.out << ref.err;

    TempDir dir;
    copy_examples(dir.path());
    const auto before = testing::directory_names(dir.path());
    ChildSetup setup;
    setup.dir = dir.path();
    setup.terminal = true;
    Child child(setup);
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.eof_char(), '\x04');
    ASSERT_TRUE(play(child, c.steps));
    EXPECT_TRUE(child.wait_for(c.last_text)) << child.out();
    EXPECT_EQ(testing::describe_status(child.wait_exit()), exit_text(c.status)) << child.out();
    EXPECT_EQ(count(child.out(), kLayoutPrompt), c.layout_prompts);
    if (c.report != nullptr) {
      EXPECT_EQ(read_file(dir / c.report), read_file(ref_dir / c.report));
    } else {
      EXPECT_EQ(testing::directory_names(dir.path()), before);
    }
  }
}

// The missing-file stop really waits for RETURN at a terminal.
TEST(DriverTerminal, HitReturnToQuitWaits) {
  TempDir dir;
  ChildSetup setup;
  setup.dir = dir.path();
  setup.terminal = true;
  Child child(setup);
  ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "F\r"},
                           {std::string(kNamePrompt), "nofile.rwl\r"},
                           {"Hit RETURN to Quit", ""}}));
  EXPECT_FALSE(child.wait_exit(300).has_value()) << "ended without waiting for RETURN";
  ASSERT_TRUE(child.send("\r"));
  EXPECT_EQ(testing::describe_status(child.wait_exit()), exit_text(1));
}

// At a terminal every complete console line is shown at once: while the run waits for a data
// file (a FIFO whose writer has not come yet), the listing of the files before it and the
// heading of the waiting one are on the screen.
TEST(DriverTerminal, ListingLinesAreShownAsTheyAreComplete) {
  TempDir dir;
  copy_examples(dir.path());
  ASSERT_EQ(::mkfifo((dir / "later.rwl").c_str(), 0600), 0);
  write_file(dir / "run.lst", "oaks.rwl\nlater.rwl\n");
  ChildSetup setup;
  setup.dir = dir.path();
  setup.terminal = true;
  Child child(setup);
  ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "T\r"},
                           {std::string(kListPrompt), "run.lst\r"},
                           {std::string(kLayoutPrompt), "1\r"}}));
  ASSERT_TRUE(child.wait_for("Total Series Read=")) << child.out();
  EXPECT_TRUE(child.wait_for("___ later.rwl"));
  EXPECT_FALSE(child.wait_exit(100).has_value());
  {
    // Let the run go on: one series through the FIFO.
    const int fd = open_fifo_writer(dir / "later.rwl");
    ASSERT_GE(fd, 0) << "the run never opened the FIFO";
    const std::string series = testing::mr_series("LATE1", 1950, {100, 200});
    EXPECT_EQ(::write(fd, series.data(), series.size()), static_cast<ssize_t>(series.size()));
    ::close(fd);
  }
  EXPECT_TRUE(child.wait_for(kNormalEnd)) << child.out();
  EXPECT_EQ(testing::describe_status(child.wait_exit()), exit_text(0));
  EXPECT_NE(read_file(dir / "run.lst_rec").find("LATE1"), std::string::npos);
}

// A run interrupted at a question by Ctrl-C, or by its terminal hanging up, after it has begun
// the new report: it ends by that signal and the previous report stays as it was.
// Every end at the layout question keeps the previous report byte for byte, and leaves none
// where there was none: the end of input, a letter, Ctrl-C, a hang-up; at a terminal and on a
// pipe.
TEST(DriverTerminal, RunThatEndsAtTheLayoutQuestionKeepsThePreviousReport) {
  enum class End { input, letter, interrupt, hang_up };
  struct Case {
    End end;
    bool terminal;
    std::string status;
  };
  const Case cases[] = {
      {End::input, true, testing::exit_text(2)},
      {End::letter, true, testing::exit_text(2)},
      {End::interrupt, true, testing::signal_text(SIGINT)},
      {End::hang_up, true, testing::signal_text(SIGHUP)},
      {End::input, false, testing::exit_text(2)},
      {End::letter, false, testing::exit_text(2)},
      {End::interrupt, false, testing::signal_text(SIGINT)},
  };
  for (const Case& c : cases) {
    for (const bool earlier : {true, false}) {
      SCOPED_TRACE(c.status + (c.terminal ? " at a terminal" : " on a pipe") +
                   (earlier ? ", with an earlier report" : ", with none"));
      TempDir dir;
      copy_examples(dir.path());
      if (earlier) write_file(dir / "oaks.rwl_rec", "the previous report\n");
      const auto before = testing::directory_names(dir.path());
      ChildSetup setup;
      setup.dir = dir.path();
      setup.terminal = c.terminal;
      Child child(setup);
      const std::string end_line = c.terminal ? "\r" : "\n";
      ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "F" + end_line},
                               {std::string(kNamePrompt), "oaks.rwl" + end_line},
                               {std::string(kLayoutPrompt), ""}}));
      EXPECT_EQ(testing::directory_names(dir.path()).size(), before.size() + 1)
          << "no new report begun beside the old one";
      switch (c.end) {
        case End::input:
          if (c.terminal) {
            ASSERT_TRUE(child.send(std::string(1, child.eof_char())));
          } else {
            child.close_input();
          }
          break;
        case End::letter:
          ASSERT_TRUE(child.send("x" + end_line));
          break;
        case End::interrupt:
          if (c.terminal) {
            ASSERT_TRUE(child.send(std::string(1, child.intr_char())));
          } else {
            child.signal(SIGINT);
          }
          break;
        case End::hang_up:
          child.hang_up();
          break;
      }
      EXPECT_EQ(testing::describe_status(child.wait_exit()), c.status);
      if (earlier) {
        EXPECT_EQ(read_file(dir / "oaks.rwl_rec"), "the previous report\n");
      }
      EXPECT_EQ(testing::directory_names(dir.path()), before);
    }
  }
}

// A run started with SIGINT ignored (a job in the background) keeps it ignored: an interrupt at
// a question does not end it.
TEST(DriverConsolePipe, IgnoredInterruptStaysIgnored) {
  TempDir dir;
  copy_examples(dir.path());
  ChildSetup setup;
  setup.dir = dir.path();
  setup.ignore_interrupt = true;
  Child child(setup);
  ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "F\n"},
                           {std::string(kNamePrompt), "oaks.rwl\n"},
                           {std::string(kLayoutPrompt), ""}}));
  child.signal(SIGINT);
  EXPECT_FALSE(child.wait_exit(300).has_value()) << "the interrupt ended the run";
  ASSERT_TRUE(child.send("1\n"));
  EXPECT_TRUE(child.wait_for(kNormalEnd));
  EXPECT_EQ(testing::describe_status(child.wait_exit()), testing::exit_text(0));
  EXPECT_TRUE(read_file(dir / "oaks.rwl_rec").find("OAK01A") != std::string::npos);
}

// A script that writes one answer, reads the next prompt back, and only then writes the next
// answer: through a pipe and through a FIFO.
TEST(DriverConsolePipe, AnswersSentOneAtATime) {
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "pipe");
    TempDir ref_dir;
    copy_examples(ref_dir.path());
    const auto ref = run_corvane(ref_dir.path(), "T\nmeasurements.lst\n7\n1\n");
    ASSERT_EQ(ref.status, 0);

    TempDir dir;
    copy_examples(dir.path());
    TempDir fifo_dir;
    const auto fifo_path = fifo_dir / "answers";
    ChildSetup setup;
    setup.dir = dir.path();
    if (fifo) {
      ASSERT_EQ(::mkfifo(fifo_path.c_str(), 0600), 0);
      setup.stdin_path = fifo_path.string();
    }
    Child child(setup);
    ASSERT_TRUE(child.started());
    if (fifo) {
      const int fd = open_fifo_writer(fifo_path);
      ASSERT_GE(fd, 0) << "the run never opened its standard input";
      child.set_input(fd);
    }
    ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "T\n"},
                             {std::string(kListPrompt), "measurements.lst\n"},
                             {std::string(kLayoutPrompt), "7\n"},
                             {std::string(kLayoutPrompt), "1\n"}}));
    EXPECT_TRUE(child.wait_for(kNormalEnd)) << child.out();
    EXPECT_EQ(testing::describe_status(child.wait_exit()), exit_text(0)) << child.err();
    EXPECT_EQ(child.out(), ref.out);
    EXPECT_EQ(read_file(dir / "measurements.lst_rec"), read_file(ref_dir / "measurements.lst_rec"));
  }
}

// An answer that ends at a carriage return is taken at once; the carriage returns and the one
// line feed that follow it, sent later, belong to its line end and are dropped.
TEST(DriverConsolePipe, AnswerEndingAtACarriageReturnIsTakenAtOnce) {
  TempDir ref_dir;
  copy_examples(ref_dir.path());
  ASSERT_EQ(run_corvane(ref_dir.path(), "F\noaks.rwl\n1\n").status, 0);

  TempDir dir;
  copy_examples(dir.path());
  ChildSetup setup;
  setup.dir = dir.path();
  Child child(setup);
  // An answer is not taken before its line end has come.
  ASSERT_TRUE(play(child, {{std::string(kLogicalPrompt), "F"}}));
  EXPECT_TRUE(child.stays_without(kNamePrompt, 100));
  ASSERT_TRUE(play(child, {{"", "\r"},
                           // The LF belongs to the line end of "F\r": the name is "oaks.rwl".
                           {std::string(kNamePrompt), "\noaks.rwl\r"},
                           {std::string(kLayoutPrompt), "\r\r\n"}}));
  // The dropped line end is no empty answer: the layout question is not asked again.
  EXPECT_TRUE(child.stays_without(kLayoutPrompt, 200));
  ASSERT_TRUE(child.send("1\r"));
  EXPECT_TRUE(child.wait_for(kNormalEnd)) << child.out();
  child.close_input();
  EXPECT_EQ(testing::describe_status(child.wait_exit()), exit_text(0)) << child.err();
  EXPECT_EQ(count(child.out(), kLayoutPrompt), 1u);
  EXPECT_EQ(read_file(dir / "oaks.rwl_rec"), read_file(ref_dir / "oaks.rwl_rec"));
}

// The end of input while a CR-ended answer's line end is still open is the end of the input,
// not a further empty answer, and a line feed two lines later is an empty answer again.
TEST(DriverConsolePipe, CarriageReturnLineEndsPipedAtOnce) {
  struct Case {
    const char* input;
    int status;
    std::size_t layout_prompts;
  };
  const Case cases[] = {
      {"F\roaks.rwl\r1\r", 0, 1},
      {"F\r\noaks.rwl\r\r\r\n1\r\n", 0, 1},
      {"F\r\r\roaks.rwl\n\r1\n", 0, 2},  // CR after a LF-ended answer is an empty answer (0)
      {"F\roaks.rwl\r\r", 2, 1},         // the end of input at the layout question
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.input)));
    TempDir dir;
    copy_examples(dir.path());
    const auto r = run_corvane(dir.path(), c.input);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_EQ(count(r.out, kLayoutPrompt), c.layout_prompts);
    EXPECT_EQ(r.out.find("DOES NOT exist"), std::string::npos);
  }
}

}  // namespace
}  // namespace corvane
