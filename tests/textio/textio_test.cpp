// Tests of the text layer: field rules, layouts on output and input, field descriptions, line
// files, and the console and file services.
#include "textio/textio.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "test_util.h"

namespace corvane {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string render(const Layout& layout, std::vector<Value> values = {}) {
  std::string out;
  render_layout(out, layout, values);
  return out;
}

TEST(TextioCore, IntegerOutput) {
  struct Case {
    std::int32_t value, width;
    const char* expected;
  };
  const Case cases[] = {{99999, 5, "99999"}, {100000, 5, "*****"},          {-10000, 5, "*****"},
                        {-9999, 5, "-9999"}, {1850, 8, "    1850"},         {0, 3, "  0"},
                        {-1, 1, "*"},        {INT32_MIN, 11, "-2147483648"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    std::string out;
    format_integer(out, c.value, c.width);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(TextioCore, FixedPointOutput) {
  struct Case {
    double value;
    std::int32_t width, decimals;
    const char* expected;
  };
  const Case cases[] = {{0.0, 8, 3, "   0.000"},
                        {-0.25, 8, 3, "  -0.250"},
                        {10000.0, 8, 3, "********"},
                        {9999.9994, 8, 3, "9999.999"},
                        {0.5, 8, 3, "   0.500"},
                        {0.5, 4, 3, ".500"},
                        {-0.5, 5, 3, "-.500"},
                        {-0.0004, 8, 3, "  -0.000"},
                        {0.125, 6, 2, "  0.12"},
                        {0.375, 6, 2, "  0.38"},
                        {2.5, 4, 0, "  2."},
                        {3.5, 4, 0, "  4."},
                        {1.0 / 3.0, 8, 3, "   0.333"},
                        {std::nan(""), 8, 3, "********"},
                        {std::numeric_limits<double>::infinity(), 4, 1, "****"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string out;
    format_fixed(out, c.value, c.width, c.decimals);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(TextioCore, IntegerInput) {
  struct Case {
    const char* field;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {{" 1 2    ", true, 12},
                        {"  -7    ", true, -7},
                        {"        ", true, 0},
                        {"", true, 0},
                        {"12a", false, 0},
                        {"-", false, 0},
                        {"  +  ", false, 0},
                        {"+5", true, 5},
                        {"- 7", true, -7},
                        {"7-", false, 0},
                        {"--7", false, 0},
                        {"1.0", false, 0},
                        {"2147483647", true, INT32_MAX},
                        {"2147483648", false, 0},
                        {"-2147483648", true, INT32_MIN},
                        {"-2147483649", false, 0},
                        {"00000000000000000042", true, 42},
                        {"\t1", false, 0},
                        {"1\r", false, 0},
                        {"  999", true, 999},
                        {"9 99", true, 999},
                        {"99999999", true, 99999999},
                        {"****", false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.field + "\"");
    std::int32_t v = -123;
    EXPECT_EQ(parse_integer_field(c.field, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
    // The same field placed in a line, read through a layout, agrees.
    const std::string line = std::string("xx") + c.field;
    const Layout layout{column(3), integer(static_cast<std::int32_t>(std::string(c.field).size()))};
    std::int32_t w = -123;
    const Var var = Var::of(w);
    const ReadResult r = read_layout_from_text(line, layout, std::span(&var, 1));
    EXPECT_EQ(r.outcome == ReadOutcome::done, c.ok);
    if (c.ok) {
      EXPECT_EQ(w, c.value);
    }
  }
}

TEST(TextioCore, RealInput) {
  struct Case {
    const char* field;
    std::int32_t decimals;
    bool ok;
    const char* nearest;  // decimal text whose nearest float is expected
  };
  const Case cases[] = {{"  123456", 3, true, "123.456"},
                        {"     1.5", 3, true, "1.5"},
                        {"   1.5E2", 3, true, "150"},
                        {"    15D1", 1, true, "15"},
                        {"    1e-3", 0, true, "0.001"},
                        {"     -.5", 3, true, "-0.5"},
                        {"        ", 3, true, "0"},
                        {"       .", 3, false, ""},
                        {"      E5", 3, false, ""},
                        {"   1.2.3", 3, false, ""},
                        {"      1E", 3, false, ""},
                        {"   1 2 3", 1, true, "12.3"},
                        {"  1.5E+2", 3, true, "150"},
                        {"       +", 3, false, ""},
                        {" 1.0E999", 3, false, ""},
                        {"1.00000005960464477539", 3, true, "1.00000005960464477539"},
                        {"0.1", 3, true, "0.1"},
                        {"   12abc", 3, false, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    float v = -1.0f;
    EXPECT_EQ(parse_real_field(c.field, c.decimals, v), c.ok);
    if (!c.ok) continue;
    float expected = 0.0f;
    const std::string t = c.nearest;
    std::from_chars(t.data(), t.data() + t.size(), expected);
    EXPECT_EQ(v, expected);
  }
}

TEST(TextioCore, TextFieldsOnOutputAndInput) {
  const std::string name = testing::pad("abc", 40);
  EXPECT_EQ(render(Layout{text()}, {std::string_view(name)}), name + "\n");
  EXPECT_EQ(render(Layout{text(1)}, {std::string_view(name)}), "a\n");
  EXPECT_EQ(render(Layout{text(6)}, {"abc"}), "   abc\n");

  char eight[8];
  const Var v8 = Var::text(eight, 8);
  ASSERT_EQ(read_layout_from_text("  ABCDEFGHIJ", Layout{text(10)}, std::span(&v8, 1)).outcome,
            ReadOutcome::done);
  EXPECT_EQ(std::string(eight, 8), "ABCDEFGH");  // w >= length: the rightmost characters
  ASSERT_EQ(read_layout_from_text("XYZ", Layout{text(2)}, std::span(&v8, 1)).outcome,
            ReadOutcome::done);
  EXPECT_EQ(std::string(eight, 8), "XY      ");  // w smaller: at the left, the rest blanks
  std::string eighty(80, '?');
  const Var v80 = Var::text(eighty);
  read_layout_from_text(std::string(30, 'q'), Layout{text()}, std::span(&v80, 1));
  EXPECT_EQ(eighty, std::string(30, 'q') + std::string(50, ' '));
}

TEST(TextioCore, LayoutOutputRules) {
  // The file heading: the name's characters 36 to 40 are covered by the second mark.
  const std::string name(40, 'N');
  const Layout heading{blanks(1), literal(" ___ "), text(), column(42), literal(" ___ ")};
  EXPECT_EQ(render(heading, {std::string_view(name)}), "  ___ " + std::string(35, 'N') + " ___ \n");
  // A move to the left overwrites; columns never written are blanks.
  EXPECT_EQ(render(Layout{column(5), literal("b"), column(2), literal("a")}), " a  b\n");
  // Line breaks around one text line: three lines.
  EXPECT_EQ(render(Layout{line_break(), literal("t"), line_break()}), "\nt\n\n");
  EXPECT_EQ(render(Layout{literal("a"), line_break(), line_break(), literal("b")}), "a\n\nb\n");
  // A hold leaves the last line open.
  EXPECT_EQ(render(Layout{literal("Q: "), hold()}), "Q: ");
  // Values running out stop at the next field that needs one.
  EXPECT_EQ(render(Layout{integer(3), literal("|"), integer(3), literal("|")}, {1}), "  1|\n");
  // Values outlasting the layout take up its last bracketed group, with its repeat count...
  EXPECT_EQ(render(Layout{literal(">"), group(2, {integer(2)})}, {1, 2, 3, 4, 5}),
            "> 1 2\n 3 4\n 5\n");
  // ...or the whole layout when it has none.
  EXPECT_EQ(render(Layout{literal(">"), repeat(2, integer(2))}, {1, 2, 3}), "> 1 2\n> 3\n");
}

// A line source over lines held in memory.
struct Lines : LineSource {
  explicit Lines(std::vector<std::string> l) : lines(std::move(l)) {}
  std::optional<std::string_view> next_line() override {
    if (at == lines.size()) return std::nullopt;
    return lines[at++];
  }
  std::vector<std::string> lines;
  std::size_t at = 0;
};

TEST(TextioCore, LayoutInputRules) {
  std::int32_t a = 0, b = 0;
  const Var two[] = {Var::of(a), Var::of(b)};
  // The same columns read twice.
  EXPECT_EQ(
      read_layout_from_text("12345xyz", Layout{integer(5), column(1), integer(5)}, two).outcome,
      ReadOutcome::done);
  EXPECT_EQ(a, 12345);
  EXPECT_EQ(b, 12345);
  // An answer "12" read in one column, and an empty answer.
  const Var one[] = {Var::of(a)};
  read_layout_from_text("12", Layout{integer(1)}, one);
  EXPECT_EQ(a, 1);
  read_layout_from_text("", Layout{integer(1)}, one);
  EXPECT_EQ(a, 0);
  // A failure ends the read at its field; what came before keeps its new value.
  a = b = -1;
  const ReadResult bad = read_layout_from_text("   7   x", Layout{integer(4), integer(4)}, two);
  EXPECT_EQ(bad.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(bad.values, 1);
  EXPECT_EQ(bad.failed_column, 5);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, -1);
  // Needing a second line of a text is the end of the file.
  const ReadResult more = read_layout_from_text("   1", Layout{integer(4)}, two);
  EXPECT_EQ(more.outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(more.values, 1);

  // An array spanning lines, the layout taken up again from the start on each line.
  std::vector<float> values(25, -1.0f);
  const Var array = Var::of(std::span<float>(values));
  const auto description = parse_description("(10F8.3)");
  ASSERT_TRUE(description);
  Lines lines({std::string(80, ' '), "   1.000" + std::string(72, ' '), "   25000   2.5", "extra"});
  const ReadResult r = read_layout(lines, *description, std::span(&array, 1));
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(values[0], 0.0f);
  EXPECT_EQ(values[10], 1.0f);
  EXPECT_EQ(values[20], 25.0f);
  EXPECT_EQ(values[21], 2.5f);
  EXPECT_EQ(values[24], 0.0f);
  EXPECT_EQ(lines.at, 3u);
  EXPECT_EQ(description->lines_for(25), 3);
  EXPECT_EQ(description->lines_for(10), 1);
  EXPECT_EQ(description->lines_for(0), 0);
}

TEST(TextioCore, FieldDescriptions) {
  struct Case {
    const char* text;
    bool valid;
    std::int32_t lines_for_20;
  };
  const Case cases[] = {
      {"(10F8.3)", true, 2},      {" ( 10f8.3 ) ", true, 2}, {"(F8.3)", true, 20},
      {"(2I5,3X,F6.2)", true, 7}, {"(20F8.3)", true, 1},     {"(E10.3)", true, 20},
      {"(D8.2)", true, 20},       {"(G8.3)", true, 20},      {"(F)", false, 0},
      {"(0F8.3)", false, 0},      {"(10F0.0)", false, 0},    {"(A8)", false, 0},
      {"(5X)", false, 0},         {"()", false, 0},          {"10F8.3", false, 0},
      {"(10F8.3", false, 0},      {"x(10F8.3)", false, 0},   {"(F8)", false, 0},
      {"(X)", false, 0},          {"((F8.3))", false, 0},    {"(F8.3,)", false, 0},
      {"(,F8.3)", false, 0},      {"(I0)", false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto layout = parse_description(c.text);
    EXPECT_EQ(layout.has_value(), c.valid);
    if (layout) {
      EXPECT_EQ(layout->lines_for(20), c.lines_for_20);
    }
  }
  // Integer fields are stored as reals; beyond 32 bits they fail.
  std::vector<float> v(3);
  const Var var = Var::of(std::span<float>(v));
  const auto ints = parse_description("(2I5,3X,F6.2)");
  ASSERT_TRUE(ints);
  EXPECT_EQ(read_layout_from_text("   12   -7xxx 12.50", *ints, std::span(&var, 1)).outcome,
            ReadOutcome::done);
  EXPECT_EQ(v, (std::vector<float>{12.0f, -7.0f, 12.5f}));
  const auto wide = parse_description("(I10)");
  EXPECT_EQ(read_layout_from_text("2147483648", *wide, std::span(&var, 1)).outcome,
            ReadOutcome::conversion_failure);
}

std::vector<std::string> lines_of(const std::string& content) {
  TempDir dir;
  write_file(dir / "f", content);
  LineFile file(std::fopen((dir / "f").c_str(), "rb"));
  std::vector<std::string> got;
  while (auto line = file.next_line()) got.emplace_back(*line);
  return got;
}

TEST(TextioCore, LineFileEndsAndLengths) {
  using L = std::vector<std::string>;
  EXPECT_EQ(lines_of("a\nb\r\nc\r\r\nd"), (L{"a", "b", "c", "d"}));
  EXPECT_EQ(lines_of("a\n\nb\r"), (L{"a", "", "b"}));
  EXPECT_EQ(lines_of(""), L{});
  EXPECT_EQ(lines_of("x\ry\n"), L{"x\ry"});
  EXPECT_EQ(lines_of(std::string("n\0l\n", 4)), L{std::string("n\0l", 3)});
  const std::string long_line(200000, 'z');
  const L got = lines_of("a\n" + std::string(70000, 'y') + "\n" + long_line + "\nb\n");
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[1], std::string(70000, 'y'));
  EXPECT_EQ(got[2], std::string(LineFile::kMaxLineLength, 'z'));  // kept up to the limit
  EXPECT_EQ(got[3], "b");
}

TEST(TextioCore, LineFileStepsBackOverItsLastLine) {
  TempDir dir;
  write_file(dir / "f", "one\ntwo\n");
  LineFile file(std::fopen((dir / "f").c_str(), "rb"));
  EXPECT_EQ(file.next_line(), "one");
  EXPECT_EQ(file.next_line(), "two");
  file.step_back();
  EXPECT_EQ(file.next_line(), "two");
  EXPECT_EQ(file.next_line(), std::nullopt);
}

// Runs `f`, returning the status of the RunEnd it ends with (-1 when it returns).
template <class F>
int status_of(F&& f) {
  try {
    f();
  } catch (const RunEnd& end) {
    return end.status;
  }
  return -1;
}

TEST(TextioCore, ServicesFiles) {
  TempDir dir;
  const std::string path = (dir / "out.txt").string();
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += "old line\n";
  write_file(path, hundred);
  MemoryConsole console;
  Services io(console);
  io.open_for_writing(kReportHandle, path);
  for (int i = 0; i < 3; ++i) io.write_line(kReportHandle, Layout{literal("new")});
  io.close_file(kReportHandle);
  EXPECT_EQ(read_file(path), "new\nnew\nnew\n");

  EXPECT_TRUE(io.file_exists(path + "      "));  // trailing blanks are not part of a name
  EXPECT_FALSE(io.file_exists(std::string(40, ' ')));
  EXPECT_TRUE(io.file_exists(dir.path().string()));

  io.open_existing(kInputHandle, path);
  std::string line(3, ' ');
  const Var var = Var::text(line);
  for (int i = 0; i < 3; ++i) io.read_line(kInputHandle, Layout{text()}, std::span(&var, 1));
  EXPECT_EQ(io.read_line(kInputHandle, Layout{text()}, std::span(&var, 1), Handling::end).outcome,
            ReadOutcome::end_of_file);
  EXPECT_EQ(status_of([&] { io.read_line(kInputHandle, Layout{text()}, std::span(&var, 1)); }), 2);
  EXPECT_NE(console.err.find("Attempt to read past end of file"), std::string::npos);
}

TEST(TextioCore, ServicesFailuresEndTheRun) {
  TempDir dir;
  struct Case {
    const char* what;
    std::function<void(Services&)> call;
    const char* report;
  };
  const std::string missing = (dir / "missing").string();
  const std::string folder = dir.path().string();
  const std::string nowhere = (dir / "no" / "such").string();
  const std::vector<Case> cases = {
      {"missing file", [&](Services& io) { io.open_existing(kInputHandle, missing); },
       "No such file or directory"},
      {"directory", [&](Services& io) { io.open_existing(kInputHandle, folder); },
       "Is a directory"},
      {"name of blanks",
       [&](Services& io) { io.open_existing(kInputHandle, std::string(40, ' ')); },
       "No such file or directory"},
      {"report in no directory", [&](Services& io) { io.open_for_writing(kReportHandle, nowhere); },
       "No such file or directory"},
      {"full disk",
       [&](Services& io) {
         io.open_for_writing(kReportHandle, "/dev/full");
         io.write_line(kReportHandle, Layout{literal("x")});
         io.close_file(kReportHandle);
       },
       "No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryConsole console;
    Services io(console);
    EXPECT_EQ(status_of([&] { c.call(io); }), 2);
    EXPECT_NE(console.err.find(c.report), std::string::npos) << console.err;
  }
}

TEST(TextioCore, ServicesConsole) {
  {
    MemoryConsole console("x\n");
    Services io(console);
    io.prompt(Layout{literal("Digit: "), hold()});
    std::int32_t d = 0;
    const Var var = Var::of(d);
    EXPECT_EQ(status_of([&] { io.read_answer(Layout{integer(1)}, std::span(&var, 1)); }), 2);
    EXPECT_EQ(console.out, "Digit: \n");  // the held prompt ended before the report
    EXPECT_NE(console.err.find("Illegal character in numeric input"), std::string::npos);
  }
  {
    MemoryConsole console;
    Services io(console);
    EXPECT_EQ(status_of([&] { io.read_answer_text(); }), 2);
    EXPECT_NE(console.err.find("Attempt to read past end of file"), std::string::npos);
    io.wait_for_return("Hit RETURN to Quit");  // the end of input counts as RETURN
    EXPECT_EQ(console.out, " Hit RETURN to Quit\n");
  }
  {
    MemoryConsole console;
    Services io(console);
    io.prompt(Layout{literal("Q:  "), hold()});
    io.write_free_form(kConsole, "Warning");
    io.write_free_form(kConsole);
    io.prompt(Layout{literal("R: "), hold()});
    io.write_line(kConsole, Layout{line_break(), literal("next")});
    EXPECT_EQ(console.out, "Q:   Warning\n\nR: \nnext\n");
    EXPECT_EQ(status_of([&] { io.stop_run(" ", 0); }), 0);
    EXPECT_EQ(console.out, "Q:   Warning\n\nR: \nnext\n");
  }
  {
    MemoryConsole console;
    Services io(console);
    io.prompt(Layout{literal("P: "), hold()});
    EXPECT_EQ(status_of([&] { io.stop_run("sbr trrw:  over 25 text lines", 1); }), 1);
    EXPECT_EQ(console.out, "P: \nsbr trrw:  over 25 text lines\n");
  }
}

}  // namespace
}  // namespace corvane
