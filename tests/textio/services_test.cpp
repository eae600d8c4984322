// Tests of LineFile (line ends, long lines, one step back) and of the console and file
// services (prompts and answers, files by handle, the ends of a run).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "driver/program.h"
#include "test_util.h"
#include "textio/textio.h"

namespace corvane {
namespace {

using testing::pad;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// --- LineFile ------------------------------------------------------------------------------

// A file of `content` opened as a LineFile.
class FileOf {
 public:
  explicit FileOf(std::string_view content) {
    write_file(dir_ / "f", content);
    int error = 0;
    auto in = system_files().open_input((dir_ / "f").string(), error);
    EXPECT_NE(in, nullptr);
    file_ = std::make_unique<LineFile>(std::move(in));
  }
  LineFile& operator*() { return *file_; }
  LineFile* operator->() { return file_.get(); }

 private:
  TempDir dir_;
  std::unique_ptr<LineFile> file_;
};

std::vector<std::string> lines_of(std::string_view content) {
  FileOf f(content);
  std::vector<std::string> got;
  while (const auto line = f->next_line()) got.emplace_back(*line);
  EXPECT_FALSE(f->failed());
  EXPECT_FALSE(f->next_line().has_value());  // the end stays the end
  return got;
}

using Lines = std::vector<std::string>;

TEST(TextioLineFile, LineEndsAreDropped) {
  EXPECT_EQ(lines_of("a\nb\r\nc\r\r\nd\n"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(lines_of("a\r\r\r\n"), (Lines{"a"}));
  EXPECT_EQ(lines_of("\r\n"), (Lines{""}));
}

TEST(TextioLineFile, LastLineWithoutLineFeed) {
  EXPECT_EQ(lines_of("abc"), (Lines{"abc"}));
  EXPECT_EQ(lines_of("abc\r"), (Lines{"abc"}));
  EXPECT_EQ(lines_of("abc\r\r"), (Lines{"abc"}));
  // After other lines that were already in the buffer.
  EXPECT_EQ(lines_of("a\nbcd"), (Lines{"a", "bcd"}));
  EXPECT_EQ(lines_of("first line\r\r\nsecond\r\nlast one\r"),
            (Lines{"first line", "second", "last one"}));
  EXPECT_EQ(lines_of("a\n\nxy"), (Lines{"a", "", "xy"}));
}

TEST(TextioLineFile, EmptyFileAndEmptyLines) {
  EXPECT_EQ(lines_of(""), Lines{});
  EXPECT_EQ(lines_of("\n"), (Lines{""}));
  EXPECT_EQ(lines_of("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(lines_of("\n\n\n"), (Lines{"", "", ""}));
}

// A line ends at a line feed, or at a run of carriage returns with or without one line feed
// after it; a byte-order mark at the very start is skipped.
struct LineEndCase {
  std::string_view content;
  Lines lines;
};

TEST(TextioLineFile, LineEndRule) {
  const LineEndCase cases[] = {
      {"a\rb\rc", {"a", "b", "c"}},  // old Macintosh files
      {"a\rb\r", {"a", "b"}},
      {"a\r\rb\r\r", {"a", "b"}},  // an empty line between two CRs vanishes
      {"a\r\r\nb\r\n", {"a", "b"}},
      {"a\r\n\nb", {"a", "", "b"}},  // one LF belongs to the CR run, not two
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\rab\r\n", {"", "ab"}},
      {"\n\r", {"", ""}},
      {"\xEF\xBB\xBF"
       "ab\ncd\n",
       {"ab", "cd"}},  // byte-order mark skipped
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB", {"\xEF\xBB"}},
      {"x\xEF\xBB\xBF\n", {"x\xEF\xBB\xBF"}},  // only at the very start
      {"\xEF\xBB\xBF\xEF\xBB\xBF\n", {"\xEF\xBB\xBF"}},
  };
  for (const auto& c : cases) EXPECT_EQ(lines_of(c.content), c.lines) << c.content;
}

TEST(TextioLineFile, CarriageReturnRunsAcrossTheBufferEdge) {
  // The CR run and its LF fall on either side of a refill.
  for (const std::size_t n : {65533u, 65534u, 65535u, 65536u}) {
    const std::string first(n, 'x');
    EXPECT_EQ(lines_of(first + "\r\r\nnext\n"), (Lines{first, "next"})) << n;
    EXPECT_EQ(lines_of(first + "\r\rnext"), (Lines{first, "next"})) << n;
  }
}

TEST(TextioLineFile, LinesAreNumberedAsTheyEnd) {
  FileOf f(
      "\xEF\xBB\xBF"
      "one\r\rtwo\r\nthree\n\nfive");
  EXPECT_EQ(f->line_number(), 0);
  for (std::int64_t n = 1; n <= 5; ++n) {
    ASSERT_TRUE(f->next_line().has_value());
    EXPECT_EQ(f->line_number(), n);
    if (n == 3) {
      f->step_back();
      EXPECT_EQ(f->line_number(), 2);
      EXPECT_EQ(f->next_line(), std::optional<std::string_view>("three"));
      EXPECT_EQ(f->line_number(), 3);
    }
  }
  EXPECT_FALSE(f->next_line().has_value());
  EXPECT_EQ(f->line_number(), 5);
}

TEST(TextioLineFile, NulBytesStay) {
  const std::string line("a\0b\0", 4);
  EXPECT_EQ(lines_of(line + "\n" + line), (Lines{line, line}));
}

TEST(TextioLineFile, LinesAroundTheBufferSize) {
  for (const std::size_t n : {65535u, 65536u, 65537u, 70000u, 131071u, 131072u}) {
    const std::string long_line(n, 'x');
    EXPECT_EQ(lines_of("a\n" + long_line + "\r\nnext\n"), (Lines{"a", long_line, "next"})) << n;
    EXPECT_EQ(lines_of(long_line + "\n" + "next"), (Lines{long_line, "next"})) << n;
    EXPECT_EQ(lines_of(long_line), (Lines{long_line})) << n;
    EXPECT_EQ(lines_of(long_line + "\r"), (Lines{long_line})) << n;
  }
}

TEST(TextioLineFile, ALineLongerThanTheLimitIsCut) {
  const std::size_t limit = LineFile::kMaxLineLength;
  std::string long_line;
  for (std::size_t i = 0; i < limit + 50000; ++i)
    long_line.push_back(static_cast<char>('a' + i % 26));
  const Lines got = lines_of("first\n" + long_line + "\r\nafter\nlast\n");
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "first");
  EXPECT_EQ(got[1], long_line.substr(0, limit));
  EXPECT_EQ(got[2], "after");
  EXPECT_EQ(got[3], "last");
  // Without a line end behind it.
  const Lines tail = lines_of("first\n" + long_line);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[1], long_line.substr(0, limit));
  // Carriage returns at the cut end the line there, like anywhere else.
  const std::string at_cut = std::string(limit - 2, 'c') + "\r\r" + "more\n";
  EXPECT_EQ(lines_of(at_cut), (Lines{std::string(limit - 2, 'c'), "more"}));
}

TEST(TextioLineFile, StepBackAfterTheLastLine) {
  FileOf f("one\ntwo\n");
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("one"));
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("two"));
  f->step_back();
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("two"));
  EXPECT_FALSE(f->next_line().has_value());
  EXPECT_FALSE(f->failed());
}

TEST(TextioLineFile, StepBackBeforeAnyReadDoesNothing) {
  FileOf f("one\n");
  f->step_back();
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("one"));
  EXPECT_FALSE(f->next_line().has_value());
}

TEST(TextioLineFile, StepBackOverALongLineAndALastLineWithoutLineFeed) {
  const std::string long_line(LineFile::kMaxLineLength + 10, 'z');
  FileOf f(long_line + "\nend");
  ASSERT_EQ(f->next_line()->size(), LineFile::kMaxLineLength);
  f->step_back();
  ASSERT_EQ(f->next_line()->size(), LineFile::kMaxLineLength);
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("end"));
  f->step_back();
  EXPECT_EQ(f->next_line(), std::optional<std::string_view>("end"));
  EXPECT_FALSE(f->next_line().has_value());
}

TEST(TextioLineFile, ManyLinesWithStepsBack) {
  // Lines of every length up to 300 with various endings, over many refills of the buffer;
  // stepping back now and then must give the line just read once more.
  std::mt19937 rng(12345);
  std::string content;
  Lines expected;
  for (int k = 0; k < 3000; ++k) {
    std::string line;
    const int len = static_cast<int>(rng() % 300);
    for (int i = 0; i < len; ++i) line.push_back(static_cast<char>('!' + rng() % 90));
    expected.push_back(line);
    static constexpr std::string_view ends[] = {"\n", "\r\n", "\r\r\n"};
    content += line;
    content += ends[rng() % 3];
  }
  FileOf f(content);
  std::size_t i = 0;
  while (const auto line = f->next_line()) {
    ASSERT_LT(i, expected.size());
    ASSERT_EQ(*line, expected[i]) << i;
    if (rng() % 5 == 0) {
      f->step_back();
      const auto again = f->next_line();
      ASSERT_TRUE(again.has_value());
      ASSERT_EQ(*again, expected[i]) << i;
    }
    ++i;
  }
  EXPECT_EQ(i, expected.size());
}

// --- services ------------------------------------------------------------------------------

// The status of an end, or of the end that a result met (-1 when it went through).
int run_end_status(End end) { return exit_status(end); }
template <typename T>
int run_end_status(const Result<T>& result) {
  return result ? -1 : exit_status(result.end());
}

// A read whose outcome the caller does not handle: an outcome other than done ends the run.
template <typename Read>
int unhandled_status(Services& io, Read read) {
  const ReadResult r = read();
  return r.outcome == ReadOutcome::done ? -1 : run_end_status(io.unhandled(r));
}
int unhandled_status(Services& io, ReadFile& file, const Layout& layout,
                     std::span<const Var> vars) {
  const Result<ReadResult> r = io.read_line(file, layout, vars);
  if (!r) return run_end_status(r);
  return r->outcome == ReadOutcome::done ? -1 : run_end_status(io.unhandled(*r, file));
}

// Makes a directory the current one for the time of a test.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& p) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(p);
  }
  ~InDirectory() { std::filesystem::current_path(old_); }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

const Layout kLineOf80{text()};

TEST(TextioServices, OpenForWritingReplacesAnExistingFile) {
  TempDir dir;
  const std::string name = (dir / "report").string();
  std::string old;
  for (int k = 0; k < 100; ++k) old += "old line " + std::to_string(k) + "\n";
  write_file(name, old);
  MemoryConsole console;
  Services io(console);
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, name);
  ASSERT_TRUE(report);
  EXPECT_TRUE(report->is_open());
  io.write_line(*report, Layout{literal(" first")});
  io.write_line(*report, Layout{integer(5)}, std::vector<Value>{42});
  io.write_free_form(*report, "third");
  ASSERT_TRUE(io.close_file(*report));
  EXPECT_FALSE(report->is_open());
  EXPECT_EQ(read_file(name), " first\n   42\n third\n");
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err, "");
}

TEST(TextioServices, FileExists) {
  TempDir dir;
  InDirectory in(dir.path());
  write_file("oaks.rrw", "x\n");
  std::filesystem::create_directory("sub");
  MemoryConsole console;
  Services io(console);
  EXPECT_TRUE(io.file_exists("oaks.rrw"));
  EXPECT_TRUE(io.file_exists(pad("oaks.rrw", 40)));
  EXPECT_FALSE(io.file_exists(pad("nofile.rrw", 40)));
  EXPECT_FALSE(io.file_exists(std::string(40, ' ')));
  EXPECT_FALSE(io.file_exists(""));
  EXPECT_FALSE(io.file_exists(std::string("oaks.rrw\0x", 10)));
  EXPECT_TRUE(io.file_exists(pad("sub", 40)));  // a directory counts as existing
  EXPECT_TRUE(io.file_exists((dir / "oaks.rrw").string()));
  // Also while the file is open.
  Result<ReadFile> input = io.open_existing(kInputUnit, pad("oaks.rrw", 40));
  ASSERT_TRUE(input);
  EXPECT_TRUE(io.file_exists("oaks.rrw"));
  std::string line(80, '#');
  const Var vars[] = {Var::text(line)};
  EXPECT_EQ(io.read_line(*input, kLineOf80, vars)->outcome, ReadOutcome::done);
  EXPECT_EQ(line, pad("x", 80));
  io.close_file(*input);
  EXPECT_EQ(console.out + console.err, "");
}

TEST(TextioServices, ReadLineAtTheEndOfAFile) {
  TempDir dir;
  const std::string name = (dir / "data").string();
  write_file(name, "one\r\r\ntwo\r\n");
  MemoryConsole console;
  Services io(console);
  Result<ReadFile> input = io.open_existing(kInputUnit, name);
  ASSERT_TRUE(input);
  ReadFile& file = *input;
  std::string line(8, '#');
  const Var vars[] = {Var::text(line)};
  EXPECT_EQ(io.read_line(file, kLineOf80, vars)->outcome, ReadOutcome::done);
  EXPECT_EQ(line, pad("one", 8));
  EXPECT_EQ(io.read_line(file, kLineOf80, vars)->outcome, ReadOutcome::done);
  EXPECT_EQ(line, pad("two", 8));
  // A step back after the last line gives it once more, then the end.
  io.step_back(file);
  line.assign(8, '#');
  EXPECT_EQ(io.read_line(file, kLineOf80, vars)->outcome, ReadOutcome::done);
  EXPECT_EQ(line, pad("two", 8));
  const ReadResult end = *io.read_line(file, kLineOf80, vars);
  EXPECT_EQ(end.outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(io.read_line(file, kLineOf80, vars)->outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(console.err, "");
  // Without handling, the end of the file ends the run with an error report.
  EXPECT_EQ(unhandled_status(io, file, kLineOf80, vars), kExitFailure);
  EXPECT_TRUE(contains(console.err, "Attempt to read past end of file")) << console.err;
  EXPECT_TRUE(contains(console.err, "13")) << console.err;  // the unit
  EXPECT_FALSE(file.is_open());                             // the file closed
  EXPECT_EQ(console.out, "");
}

TEST(TextioServices, ConversionFailureInAFileLine) {
  TempDir dir;
  const std::string name = (dir / "data").string();
  write_file(name, "  12\n  1x\n  1x\n");
  MemoryConsole console;
  Services io(console);
  Result<ReadFile> input = io.open_existing(kInputUnit, name);
  ASSERT_TRUE(input);
  std::int32_t n = 0;
  const Var vars[] = {Var::of(n)};
  EXPECT_EQ(io.read_line(*input, Layout{integer(4)}, vars)->outcome, ReadOutcome::done);
  EXPECT_EQ(n, 12);
  const ReadResult handled = *io.read_line(*input, Layout{integer(4)}, vars);
  EXPECT_EQ(handled.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(handled.failed_column, 1);
  EXPECT_EQ(unhandled_status(io, *input, Layout{integer(4)}, vars), kExitFailure);
  EXPECT_TRUE(contains(console.err, kIllegalCharacter)) << console.err;
}

TEST(TextioServices, ReadTextAndStepBack) {
  TempDir dir;
  const std::string name = (dir / "data").string();
  write_file(name, "a\nb");
  MemoryConsole console;
  Services io(console);
  Result<ReadFile> input = io.open_existing(kInputUnit, name);
  ASSERT_TRUE(input);
  EXPECT_EQ(io.read_text(*input), std::optional<std::string_view>("a"));
  io.step_back(*input);
  EXPECT_EQ(io.read_text(*input), std::optional<std::string_view>("a"));
  EXPECT_EQ(io.read_text(*input), std::optional<std::string_view>("b"));
  EXPECT_FALSE(io.read_text(*input).has_value());
  io.close_file(*input);
  // A file can be opened again after it was closed, from the first line.
  input = io.open_existing(kInputUnit, name);
  ASSERT_TRUE(input);
  EXPECT_EQ(io.read_text(*input), std::optional<std::string_view>("a"));
  io.close_file(*input);
}

TEST(TextioServices, OpenExistingOfAMissingFile) {
  TempDir dir;
  MemoryConsole console;
  Services io(console);
  const Result<ReadFile> input = io.open_existing(kInputUnit, (dir / "nofile.rrw").string());
  EXPECT_EQ(run_end_status(input), kExitFailure);
  EXPECT_TRUE(contains(console.err, "No such file or directory")) << console.err;
  EXPECT_TRUE(contains(console.err, "nofile.rrw")) << console.err;
  EXPECT_FALSE(input);
  EXPECT_EQ(console.out, "");
}

TEST(TextioServices, OpenExistingOfADirectory) {
  TempDir dir;
  MemoryConsole console;
  Services io(console);
  EXPECT_EQ(run_end_status(io.open_existing(kInputUnit, dir.path().string())), kExitFailure);
  EXPECT_TRUE(contains(console.err, "Is a directory")) << console.err;
}

TEST(TextioServices, ANameOfBlanksNamesNoFile) {
  TempDir dir;
  InDirectory in(dir.path());
  MemoryConsole console;
  Services io(console);
  EXPECT_EQ(run_end_status(io.open_existing(kInputUnit, std::string(40, ' '))), kExitFailure);
  EXPECT_TRUE(contains(console.err, "No such file or directory")) << console.err;
  console.err.clear();
  Services io2(console);  // a run reports one failure
  EXPECT_EQ(run_end_status(io2.open_for_writing(kReportUnit, std::string(40, ' '))), kExitFailure);
  EXPECT_NE(console.err, "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TextioServices, OpenForWritingInAMissingDirectory) {
  TempDir dir;
  MemoryConsole console;
  Services io(console);
  const Result<WrittenFile> report =
      io.open_for_writing(kReportUnit, (dir / "nodir" / "x_rec").string());
  EXPECT_EQ(run_end_status(report), kExitFailure);
  EXPECT_TRUE(contains(console.err, "No such file or directory")) << console.err;
  EXPECT_FALSE(report);
}

TEST(TextioServices, AFailedWriteIsReportedWhenTheFileIsClosed) {
  MemoryConsole console;
  Services io(console);
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, "/dev/full");
  ASSERT_TRUE(report);
  io.write_line(*report, Layout{literal(" a report line")});
  EXPECT_EQ(run_end_status(io.close_file(*report)), kExitFailure);
  EXPECT_TRUE(contains(console.err, "/dev/full")) << console.err;
  EXPECT_TRUE(contains(console.err, "No space left on device")) << console.err;
  EXPECT_FALSE(report->is_open());
}

TEST(TextioServices, AFailedWriteIsReportedAtStopRun) {
  MemoryConsole console;
  Services io(console);
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, "/dev/full");
  ASSERT_TRUE(report);
  io.write_line(*report, Layout{literal(" a report line")});
  // A normal stop that cannot complete the report file is no normal end.
  EXPECT_EQ(run_end_status(io.close_at_end(*report, io.stop_run(" ", End::normal()))),
            kExitFailure);
  EXPECT_TRUE(contains(console.err, "/dev/full")) << console.err;
}

TEST(TextioServices, StopRunWithABlankWritesNothing) {
  MemoryConsole console;
  Services io(console);
  EXPECT_EQ(run_end_status(io.stop_run(" ", End::normal())), kExitNormal);
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err, "");
}

TEST(TextioServices, StopRunWithAMessage) {
  MemoryConsole console;
  Services io(console);
  io.write_line(kConsole, Layout{blanks(1), literal("ABC00001  1850")});
  EXPECT_EQ(run_end_status(io.stop_run("sbr trrw:  over 25 text lines", End::stopped())),
            kExitStopped);
  EXPECT_EQ(console.out, " ABC00001  1850\nsbr trrw:  over 25 text lines\n");
  EXPECT_EQ(console.err, "");
}

TEST(TextioServices, StopRunClosesFilesComplete) {
  TempDir dir;
  const std::string name = (dir / "report").string();
  MemoryConsole console;
  Services io(console);
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, name);
  ASSERT_TRUE(report);
  for (int k = 0; k < 1000; ++k) io.write_line(*report, Layout{integer(6)}, std::vector<Value>{k});
  EXPECT_EQ(run_end_status(io.close_at_end(*report, io.stop_run(" ", End::normal()))), kExitNormal);
  EXPECT_FALSE(report->is_open());
  const std::string content = read_file(name);
  EXPECT_EQ(content.size(), 7000u);
  EXPECT_EQ(content.substr(content.size() - 7), "   999\n");
}

TEST(TextioServices, AHeldPromptIsEndedByStopRun) {
  MemoryConsole console;
  Services io(console);
  io.prompt(Layout{blanks(13), literal("Enter file name :  "), hold()});
  EXPECT_EQ(run_end_status(io.stop_run(" ", End::normal())), kExitNormal);
  EXPECT_EQ(console.out, "             Enter file name :  \n");
  MemoryConsole console2;
  Services io2(console2);
  io2.prompt(Layout{literal("n :  "), hold()});
  EXPECT_EQ(run_end_status(io2.stop_run("stopped", End::stopped())), kExitStopped);
  EXPECT_EQ(console2.out, "n :  \nstopped\n");
}

TEST(TextioServices, AHeldPromptIsEndedBeforeAnErrorReport) {
  MemoryConsole console("x\n");
  Services io(console);
  io.prompt(Layout{blanks(13), literal("[1] rrw  [2] crn  :  "), hold()});
  std::int32_t answer = -1;
  const Var vars[] = {Var::of(answer)};
  EXPECT_EQ(unhandled_status(io, [&] { return io.read_answer(Layout{integer(1)}, vars); }),
            kExitFailure);
  EXPECT_EQ(console.out, "             [1] rrw  [2] crn  :  \n");
  EXPECT_TRUE(contains(console.err, "Illegal character in numeric input")) << console.err;
  EXPECT_TRUE(contains(console.err, "console")) << console.err;
}

TEST(TextioServices, ReadAnswer) {
  MemoryConsole console("12\n\n2\r\nx\n");
  Services io(console);
  std::int32_t answer = -1;
  const Var vars[] = {Var::of(answer)};
  const Layout one{integer(1)};
  EXPECT_EQ(io.read_answer(one, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(io.read_answer(one, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(io.read_answer(one, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(answer, 2);
  EXPECT_EQ(io.read_answer(one, vars).outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(io.read_answer(one, vars).outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(console.err, "");
}

TEST(TextioServices, AnIllegalAnswerNotHandledEndsTheRun) {
  MemoryConsole console("x\n");
  Services io(console);
  std::int32_t answer = -1;
  const Var vars[] = {Var::of(answer)};
  EXPECT_EQ(unhandled_status(io, [&] { return io.read_answer(Layout{integer(1)}, vars); }),
            kExitFailure);
  EXPECT_TRUE(contains(console.err, "Illegal character in numeric input")) << console.err;
  EXPECT_EQ(console.out, "");
}

TEST(TextioServices, EndOfConsoleInputAtAnAnswer) {
  MemoryConsole console("");
  Services io(console);
  std::string answer(40, '#');
  const Var vars[] = {Var::text(answer)};
  EXPECT_EQ(unhandled_status(io, [&] { return io.read_answer(Layout{text()}, vars); }),
            kExitFailure);
  EXPECT_TRUE(contains(console.err, "Attempt to read past end of file")) << console.err;
  MemoryConsole console2("");
  Services io2(console2);
  EXPECT_EQ(run_end_status(io2.read_answer_text()), kExitFailure);
  EXPECT_TRUE(contains(console2.err, "Attempt to read past end of file")) << console2.err;
}

TEST(TextioServices, WaitForReturn) {
  MemoryConsole console("anything at all\n2\n");
  Services io(console);
  io.wait_for_return("Hit RETURN to Quit");
  EXPECT_EQ(console.out, " Hit RETURN to Quit\n");
  // The line was taken: the next answer is the following one.
  EXPECT_EQ(*io.read_answer_text(), "2");
  // At the end of input it returns as for Return.
  io.wait_for_return("Hit RETURN to Quit");
  EXPECT_EQ(console.out, " Hit RETURN to Quit\n Hit RETURN to Quit\n");
  EXPECT_EQ(console.err, "");
}

TEST(TextioServices, ConsoleModel) {
  MemoryConsole console;
  Services io(console);
  // A leading line break ends the held prompt's line.
  io.prompt(Layout{literal("prompt"), hold()});
  io.write_line(kConsole, Layout{line_break(), literal("next")});
  EXPECT_EQ(console.out, "prompt\nnext\n");
  // A column position counts from where the new layout began.
  console.out.clear();
  io.prompt(Layout{literal("abc"), hold()});
  io.write_line(kConsole, Layout{column(3), literal("X")});
  EXPECT_EQ(console.out, "abc  X\n");
  // Free-form output continues a held prompt.
  console.out.clear();
  io.prompt(Layout{blanks(13), literal("Enter file name :  "), hold()});
  io.write_free_form(kConsole, "Warning");
  io.write_free_form(kConsole);
  EXPECT_EQ(console.out, "             Enter file name :   Warning\n\n");
  // A free-form line with no value is just the line feed.
  console.out.clear();
  io.write_free_form(kConsole);
  EXPECT_EQ(console.out, "\n");
  io.write_free_form(kConsole, " Warning");
  EXPECT_EQ(console.out, "\n  Warning\n");
}

TEST(TextioServices, HandleSinkAndPut) {
  TempDir dir;
  const std::string name = (dir / "out").string();
  MemoryConsole console;
  Services io(console);
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, name);
  ASSERT_TRUE(report);
  ServicesSink file(io, *report);
  ServicesSink screen(io, kConsole);
  write_layout(file, Layout{integer(4), integer(4)}, std::vector<Value>{1, 2});
  write_layout(screen, Layout{literal("to the console")});
  io.put(*report, "as it stands\n");
  ASSERT_TRUE(io.close_file(*report));
  EXPECT_EQ(read_file(name), "   1   2\nas it stands\n");
  EXPECT_EQ(console.out, "to the console\n");
}

TEST(TextioServices, MemoryConsoleLineEnds) {
  MemoryConsole console("a\r\r\nb\n\nc\r");
  EXPECT_EQ(console.read_line(), std::optional<std::string_view>("a"));
  EXPECT_EQ(console.read_line(), std::optional<std::string_view>("b"));
  EXPECT_EQ(console.read_line(), std::optional<std::string_view>(""));
  EXPECT_EQ(console.read_line(), std::optional<std::string_view>("c"));
  EXPECT_FALSE(console.read_line().has_value());
}

TEST(TextioServices, NamesHelpers) {
  EXPECT_EQ(trim_name(pad("oaks.rrw", 40)), "oaks.rrw");
  EXPECT_EQ(trim_name(std::string(40, ' ')), "");
  EXPECT_EQ(trim_name(" a b "), " a b");
  EXPECT_EQ(fit("abc", 5), "abc  ");
  EXPECT_EQ(fit("abcdef", 3), "abc");
}

// Through the system's file system, every written file gives its cleanup slot back: many
// more files than there are slots, closed, dropped and closed at the end of a run, one after
// another.
TEST(ServicesSystemFiles, ManyWrittenFilesInOneProcess) {
  TempDir dir;
  MemoryConsole console;
  Services io(console, system_files());
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(i);
    const std::string name = (dir / ("out" + std::to_string(i))).string();
    Result<WrittenFile> file = io.open_for_writing(kReportUnit, name);
    ASSERT_TRUE(file);
    io.put(*file, "text\n");
    if (i % 3 == 0) {
      ASSERT_TRUE(io.close_file(*file));
    } else if (i % 3 == 1) {
      file = End::normal();  // destroyed unclosed: dropped
    } else {
      ASSERT_EQ(io.close_at_end(*file, End::normal()), End::normal());
    }
    EXPECT_EQ(std::filesystem::exists(name), i % 3 != 1);
  }
  const auto left = std::distance(std::filesystem::directory_iterator(dir.path()),
                                  std::filesystem::directory_iterator());
  EXPECT_EQ(left, 20) << "no temporary file left";
}

}  // namespace
}  // namespace corvane
