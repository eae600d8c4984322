// Tests of the layout engine: output rules, input rules, values running out or outlasting the
// layout, and the number of lines a read spans.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/textio.h"

namespace corvane {
namespace {

std::string render(const Layout& layout, const std::vector<Value>& values = {}) {
  std::string out;
  render_layout(out, layout, values);
  return out;
}

class StringSink : public Sink {
 public:
  void put(std::string_view text) override { out += text; }
  std::string out;
};

// Lines held in memory, read one by one.
class Lines : public LineSource {
 public:
  explicit Lines(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  std::optional<std::string_view> next_line() override {
    if (next_ == lines_.size()) return std::nullopt;
    return std::string_view(lines_[next_++]);
  }
  std::size_t taken() const { return next_; }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

// Reads one line both ways (as a line of a source and as an in-memory text, which takes the
// placed-field path where it can); the two must agree on the result and on the variables.
// Returns the result of the source read, whose variables are kept.

ReadResult read_both(std::string_view line, const Layout& layout, std::span<const Var> vars,
                     const std::function<void()>& reset, const std::function<std::string()>& dump) {
  reset();
  const ReadResult a = read_layout_from_text(line, layout, vars);
  const std::string from_text = dump();
  reset();
  Lines src({std::string(line)});
  const ReadResult b = read_layout(src, layout, vars);
  EXPECT_EQ(a.outcome, b.outcome) << "line \"" << line << "\"";
  EXPECT_EQ(a.values, b.values) << "line \"" << line << "\"";
  EXPECT_EQ(a.lines, b.lines) << "line \"" << line << "\"";
  EXPECT_EQ(a.failed_column, b.failed_column) << "line \"" << line << "\"";
  EXPECT_EQ(from_text, dump()) << "line \"" << line << "\"";
  return b;
}

const std::string kName40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

// --- output --------------------------------------------------------------------------------

TEST(TextioLayout, IntegerAndFixedFieldsThroughALayout) {
  const Layout l{blanks(1), integer(5), fixed(8, 3), integer(8)};
  EXPECT_EQ(render(l, {99999, 0.0, 1850}), " 99999   0.000    1850\n");
  EXPECT_EQ(render(l, {100000, -0.25, 0}), " *****  -0.250       0\n");
  EXPECT_EQ(render(l, {-9999, 10000.0, -10000}), " -9999********  -10000\n");
  // A float value and an integer value in a fixed-point field.
  EXPECT_EQ(render(Layout{fixed(8, 3), fixed(6, 1)}, {0.5f, 12}), "   0.500  12.0\n");
}

TEST(TextioLayout, TextOfNaturalWidthWritesEveryCharacter) {
  const std::string name = "abc" + std::string(37, ' ');
  EXPECT_EQ(render(Layout{text(), literal("|")}, {std::string_view(name)}), name + "|\n");
  EXPECT_EQ(render(Layout{text(1), literal("|")}, {std::string_view(name)}), "a|\n");
}

TEST(TextioLayout, TextOfWidthW) {
  EXPECT_EQ(render(Layout{text(8)}, {"abc"}), "     abc\n");
  EXPECT_EQ(render(Layout{text(3)}, {"abc"}), "abc\n");
  EXPECT_EQ(render(Layout{text(2)}, {"abc"}), "ab\n");
  EXPECT_EQ(render(Layout{text(5)}, {"ab   "}), "ab   \n");
}

TEST(TextioLayout, LiteralsAndBlanks) {
  EXPECT_EQ(render(Layout{blanks(13), literal("Max: files  =  "), integer(5)}, {400}),
            "             Max: files  =    400\n");
  // Column 1 is an ordinary column.
  EXPECT_EQ(render(Layout{literal("x")}), "x\n");
  EXPECT_EQ(render(Layout{blanks(1), literal("x")}), " x\n");
  EXPECT_EQ(render(Layout{literal(" a  ")}), " a  \n");
}

TEST(TextioLayout, ColumnPositionRightAndLeft) {
  // The file heading: the name's last five characters are replaced.
  const Layout heading{blanks(1), literal(" ___ "), text(), column(42), literal(" ___ ")};
  const std::string line = render(heading, {std::string_view(kName40)});
  ASSERT_EQ(line.size(), 47u);
  EXPECT_EQ(line, "  ___ " + kName40.substr(0, 35) + " ___ \n");
  // Moving right leaves blanks; the line ends at its rightmost written column.
  EXPECT_EQ(render(Layout{literal("ab"), column(6), literal("c")}), "ab   c\n");
  // Moving left and writing less keeps what stands further right.
  EXPECT_EQ(render(Layout{literal("abcdef"), column(2), literal("X")}), "aXcdef\n");
  EXPECT_EQ(render(Layout{literal("abcdef"), column(3), integer(2)}, {7}), "ab 7ef\n");
  EXPECT_EQ(render(Layout{literal("abcdef"), column(2), blanks(2)}), "a  def\n");
  // A move to the left that writes nothing leaves the line as it is.
  EXPECT_EQ(render(Layout{literal("abcdef"), column(1)}), "abcdef\n");
  // A move to the right that writes nothing adds nothing.
  EXPECT_EQ(render(Layout{literal("ab"), column(10)}), "ab\n");
}

TEST(TextioLayout, LineBreaks) {
  EXPECT_EQ(render(Layout{line_break(), literal(" text"), line_break()}), "\n text\n\n");
  EXPECT_EQ(render(Layout{literal("a"), line_break(), line_break(), literal("b")}), "a\n\nb\n");
  EXPECT_EQ(render(Layout{literal("a"), line_break(), line_break(), line_break(), literal("b")}),
            "a\n\n\nb\n");
  // Columns count from the start of each line.
  EXPECT_EQ(render(Layout{literal("abc"), line_break(), column(3), literal("x")}), "abc\n  x\n");
  EXPECT_EQ(render(Layout{}), "\n");
}

TEST(TextioLayout, HoldLeavesTheLastLineOpen) {
  const Layout p{blanks(13), literal("Answer [T]rue or [F]alse :  "), hold()};
  EXPECT_TRUE(p.holds());
  EXPECT_EQ(render(p), "             Answer [T]rue or [F]alse :  ");
  EXPECT_EQ(render(Layout{line_break(), literal("x"), hold()}), "\nx");
  EXPECT_FALSE(Layout{literal("x")}.holds());
}

TEST(TextioLayout, OutputStopsAtTheNextFieldWhenValuesRunOut) {
  const Layout l{literal("A"), integer(3), literal("B"), integer(3), literal("C")};
  EXPECT_EQ(render(l, {1}), "A  1B\n");
  EXPECT_EQ(render(l, {1, 2}), "A  1B  2C\n");
  EXPECT_EQ(render(l), "A\n");
  // Even a held layout has its line ended when it stops early.
  EXPECT_EQ(render(Layout{literal("n ="), integer(3), literal(" :"), hold()}), "n =\n");
  // Fields after a line break are not reached: the break is carried out first.
  EXPECT_EQ(render(Layout{integer(2), line_break(), literal("x"), integer(2)}, {5}), " 5\nx\n");
}

TEST(TextioLayout, ValuesOutlastingTheLayoutResumeFromTheLastBracketedGroup) {
  // The last top-level group, with its repeat count.
  const Layout g{literal("Y"), integer(2), group(2, {integer(3)})};
  EXPECT_EQ(render(g, {1, 2, 3, 4, 5, 6, 7}), "Y 1  2  3\n  4  5\n  6  7\n");
  EXPECT_EQ(render(g, {1, 2, 3, 4}), "Y 1  2  3\n  4\n");
  // The last of two groups.
  const Layout two{group(1, {literal("a"), integer(1)}), group(1, {literal("b"), integer(1)})};
  EXPECT_EQ(render(two, {1, 2, 3, 4}), "a1b2\nb3\nb4\n");
  // A group inside a group does not count; the outer one does.
  const Layout nested{integer(1), group(1, {literal("<"), group(2, {integer(1)}), literal(">")})};
  EXPECT_EQ(render(nested, {1, 2, 3, 4, 5, 6}), "1<23>\n<45>\n<6\n");
  // Without a group, from the beginning; a repeated single item is not a group.
  const Layout plain{literal("-"), integer(2), repeat(2, integer(3))};
  EXPECT_EQ(render(plain, {1, 2, 3, 4, 5}), "- 1  2  3\n- 4  5\n");
  EXPECT_EQ(render(Layout{repeat(3, fixed(6, 1))}, {1.0, 2.0, 3.0, 4.0}),
            "   1.0   2.0   3.0\n   4.0\n");
  // A trailing group without fields: resume from the beginning.
  const Layout tail{integer(2), group(1, {literal("!")})};
  EXPECT_EQ(render(tail, {1, 2}), " 1!\n 2!\n");
}

TEST(TextioLayout, WriteLayoutAndFreeForm) {
  StringSink sink;
  const std::vector<Value> v{1850};
  write_layout(sink, Layout{integer(8)}, v);
  write_free_form(sink);
  write_free_form(sink, "Warning");
  write_free_form(sink, "a  ");
  write_free_form(sink, "");
  EXPECT_EQ(sink.out, "    1850\n\n Warning\n a  \n \n");
}

// --- input ---------------------------------------------------------------------------------

TEST(TextioLayout, IntegerFieldsOnInput) {
  const Layout l{integer(8)};
  std::int32_t v = 0;
  const Var vars[] = {Var::of(v)};
  const auto reset = [&] { v = -1; };
  const auto dump = [&] { return std::to_string(v); };
  EXPECT_EQ(read_both(" 1 2    ", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(read_both("  -7    ", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, -7);
  EXPECT_EQ(read_both("        ", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(read_both("", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(read_both("    1850", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 1850);
  EXPECT_EQ(read_both("  18", l, vars, reset, dump).outcome, ReadOutcome::done);  // short line
  EXPECT_EQ(v, 18);
  EXPECT_EQ(read_both("       1xyz", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 1);  // what the layout does not reach is ignored
  const ReadResult bad = read_both("12a", l, vars, reset, dump);
  EXPECT_EQ(bad.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(bad.failed_column, 1);
  EXPECT_EQ(bad.values, 0);
  EXPECT_EQ(read_both("      \t5", l, vars, reset, dump).outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(read_both("       -", l, vars, reset, dump).outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(read_both("      +5", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 5);
  const Layout wide{integer(11)};
  EXPECT_EQ(read_both(" 2147483647", wide, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 2147483647);
  EXPECT_EQ(read_both(" 2147483648", wide, vars, reset, dump).outcome,
            ReadOutcome::conversion_failure);
  EXPECT_EQ(read_both("-2147483648", wide, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, -2147483647 - 1);
}

TEST(TextioLayout, OneColumnAnswer) {
  const Layout l{integer(1)};
  std::int32_t v = 0;
  const Var vars[] = {Var::of(v)};
  const auto reset = [&] { v = -1; };
  const auto dump = [&] { return std::to_string(v); };
  EXPECT_EQ(read_both("12", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(read_both("", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(read_both("x", l, vars, reset, dump).outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(read_both("2x", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 2);
}

TEST(TextioLayout, SameColumnsReadTwice) {
  const Layout l{integer(5), column(1), integer(5)};
  std::int32_t a = 0, b = 0;
  const Var vars[] = {Var::of(a), Var::of(b)};
  const auto reset = [&] { a = b = -1; };
  const auto dump = [&] { return std::to_string(a) + "," + std::to_string(b); };
  const ReadResult r = read_both("  123xyz", l, vars, reset, dump);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.values, 2);
  EXPECT_EQ(a, 123);
  EXPECT_EQ(b, 123);
  // The same with a text field and an integer field over the same columns.
  const Layout l2{text(5), column(3), integer(3)};
  char t[5];
  std::int32_t n = 0;
  const Var vars2[] = {Var::text(t, 5), Var::of(n)};
  const ReadResult r2 = read_both(
      "ab123", l2, vars2, [&] { n = -1; }, [&] { return std::string(t, 5) + std::to_string(n); });
  EXPECT_EQ(r2.outcome, ReadOutcome::done);
  EXPECT_EQ(std::string(t, 5), "ab123");
  EXPECT_EQ(n, 123);
}

TEST(TextioLayout, BlanksAndColumnsOnInput) {
  const Layout l{blanks(2), integer(2), column(8), integer(2), column(4), integer(2)};
  std::int32_t a = 0, b = 0, c = 0;
  const Var vars[] = {Var::of(a), Var::of(b), Var::of(c)};
  const auto reset = [&] { a = b = c = -1; };
  const auto dump = [&] { return std::to_string(a) + std::to_string(b) + std::to_string(c); };
  EXPECT_EQ(read_both("xx12345678", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 67);
  EXPECT_EQ(c, 23);
}

TEST(TextioLayout, TextOfNaturalWidthOnInput) {
  const std::string line(30, 'q');
  std::string var(80, '#');
  const Var vars[] = {Var::text(var)};
  const ReadResult r = read_both(
      line, Layout{text()}, vars, [&] { var.assign(80, '#'); }, [&] { return var; });
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.values, 1);
  EXPECT_EQ(var, line + std::string(50, ' '));
  // From a later column, and past the line's end entirely.
  std::string id(8, '#');
  const Var idv[] = {Var::text(id)};
  EXPECT_EQ(read_both(
                "1234567890AB", Layout{column(9), text()}, idv, [&] { id.assign(8, '#'); },
                [&] { return id; })
                .outcome,
            ReadOutcome::done);
  EXPECT_EQ(id, "90AB    ");
  EXPECT_EQ(
      read_both(
          "short", Layout{column(20), text()}, idv, [&] { id.assign(8, '#'); }, [&] { return id; })
          .outcome,
      ReadOutcome::done);
  EXPECT_EQ(id, std::string(8, ' '));
}

TEST(TextioLayout, TextOfWidthWOnInput) {
  std::string var(4, '#');
  const Var vars[] = {Var::text(var)};
  const auto reset = [&] { var.assign(4, '#'); };
  const auto dump = [&] { return var; };
  // w at least the variable's length: the rightmost characters.
  EXPECT_EQ(read_both("abcdefgh", Layout{text(6)}, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(var, "cdef");
  EXPECT_EQ(read_both("abcdefgh", Layout{text(4)}, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(var, "abcd");
  // w smaller: at the left, the rest blanks.
  EXPECT_EQ(read_both("abcdefgh", Layout{text(2)}, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(var, "ab  ");
  // Columns past the line's end read as blanks, in both cases.
  EXPECT_EQ(read_both("abc", Layout{text(6)}, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(var, "c   ");
  EXPECT_EQ(read_both("abcdefgh", Layout{column(8), text(3)}, vars, reset, dump).outcome,
            ReadOutcome::done);
  EXPECT_EQ(var, "h   ");
  // Fields after a text field start behind its w columns.
  std::int32_t n = 0;
  const Var both[] = {Var::text(var), Var::of(n)};
  EXPECT_EQ(read_both("abcdef  42", Layout{text(6), integer(4)}, both, reset,
                      [&] { return var + std::to_string(n); })
                .outcome,
            ReadOutcome::done);
  EXPECT_EQ(var, "cdef");
  EXPECT_EQ(n, 42);
}

TEST(TextioLayout, RealFieldsOnInput) {
  const Layout l{fixed(8, 3), fixed(8, 3)};
  float a = 0, b = 0;
  const Var vars[] = {Var::of(a), Var::of(b)};
  const auto reset = [&] { a = b = -1.0f; };
  const auto dump = [&] { return std::to_string(a) + "," + std::to_string(b); };
  EXPECT_EQ(read_both("  123456     1.5", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(a, 123.456f);
  EXPECT_EQ(b, 1.5f);
  EXPECT_EQ(read_both("   1.5E2    15D1", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(a, 150.0f);
  EXPECT_EQ(b, 0.15f);  // no point: the implied decimals apply to the mantissa (15e1 / 1000)
  EXPECT_EQ(read_both("    1e-3     -.5", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(a, 1e-6f);  // the implied decimals apply with an exponent too
  EXPECT_EQ(b, -0.5f);
  EXPECT_EQ(read_both("", l, vars, reset, dump).outcome, ReadOutcome::done);
  EXPECT_EQ(a, 0.0f);
  EXPECT_EQ(b, 0.0f);
  for (const std::string_view bad : {".", "E5", "1.2.3", "1E"}) {
    const std::string line = "     2.5" + std::string(8 - bad.size(), ' ') + std::string(bad);
    const ReadResult r = read_both(line, l, vars, reset, dump);
    EXPECT_EQ(r.outcome, ReadOutcome::conversion_failure) << bad;
    EXPECT_EQ(r.values, 1) << bad;
    EXPECT_EQ(r.failed_column, 9) << bad;
    EXPECT_EQ(a, 2.5f) << bad;   // filled before the failure
    EXPECT_EQ(b, -1.0f) << bad;  // the failing variable keeps its old value
  }
}

TEST(TextioLayout, FieldsThatDoNotSuitTheirVariableFail) {
  std::int32_t n = 5;
  const Var ints[] = {Var::of(n)};
  const auto reset = [&] { n = 5; };
  const auto dump = [&] { return std::to_string(n); };
  EXPECT_EQ(read_both("   1.5", Layout{fixed(6, 1)}, ints, reset, dump).outcome,
            ReadOutcome::conversion_failure);
  EXPECT_EQ(read_both("   abc", Layout{text(6)}, ints, reset, dump).outcome,
            ReadOutcome::conversion_failure);
  std::string t(3, '#');
  const Var texts[] = {Var::text(t)};
  EXPECT_EQ(read_both(
                "  12", Layout{integer(4)}, texts, [&] { t = "###"; }, [&] { return t; })
                .outcome,
            ReadOutcome::conversion_failure);
  EXPECT_EQ(t, "###");
}

TEST(TextioLayout, FailureKeepsWhatWasFilledAndTellsWhere) {
  const Layout l{integer(8), repeat(3, integer(3)), integer(2)};
  std::int32_t year = 0;
  std::int32_t v[3] = {};
  std::int32_t last = 0;
  const Var vars[] = {Var::of(year), Var::of(std::span<std::int32_t>(v)), Var::of(last)};
  const auto reset = [&] {
    year = -1;
    v[0] = v[1] = v[2] = -1;
    last = -1;
  };
  const auto dump = [&] {
    return std::to_string(year) + "," + std::to_string(v[0]) + "," + std::to_string(v[1]) + "," +
           std::to_string(v[2]) + "," + std::to_string(last);
  };
  const ReadResult ok = read_both("    1850  1  2  3 4", l, vars, reset, dump);
  EXPECT_EQ(ok.outcome, ReadOutcome::done);
  EXPECT_EQ(ok.values, 5);
  EXPECT_EQ(ok.lines, 1);
  EXPECT_EQ(ok.failed_column, 0);
  const ReadResult bad = read_both("    1850  1 2x  3 4", l, vars, reset, dump);
  EXPECT_EQ(bad.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(bad.values, 2);
  EXPECT_EQ(bad.lines, 1);
  EXPECT_EQ(bad.failed_column, 12);
  EXPECT_EQ(year, 1850);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], -1);
  EXPECT_EQ(v[2], -1);
  EXPECT_EQ(last, -1);
}

TEST(TextioLayout, ReadFromTextNeedingASecondLineIsEndOfFile) {
  const Layout l{repeat(3, integer(2))};
  std::int32_t v[5] = {-1, -1, -1, -1, -1};
  const Var vars[] = {Var::of(std::span<std::int32_t>(v))};
  const ReadResult r = read_layout_from_text(" 1 2 3 4", l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(r.values, 3);
  EXPECT_EQ(r.lines, 1);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[2], 3);
  EXPECT_EQ(v[3], -1);
  // A line break that needs a second line, too.
  std::int32_t a = -1, b = -1;
  const Var ab[] = {Var::of(a), Var::of(b)};
  const ReadResult r2 =
      read_layout_from_text(" 7", Layout{integer(2), line_break(), integer(2)}, ab);
  EXPECT_EQ(r2.outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(r2.values, 1);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, -1);
}

TEST(TextioLayout, ReadOverSeveralLinesWithAnArraySpanningThem) {
  const Layout l{repeat(3, fixed(5, 1))};
  Lines src({"  1.5  2.5  3.5 junk", "   45   55   65", "  7.0", "next"});
  float v[7] = {};
  const Var vars[] = {Var::of(std::span<float>(v))};
  const ReadResult r = read_layout(src, l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(r.values, 7);
  const float expected[7] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.0f};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(v[k], expected[k]) << k;
  // The next read begins with the following line.
  std::string rest(4, '#');
  const Var rv[] = {Var::text(rest)};
  EXPECT_EQ(read_layout(src, Layout{text()}, rv).outcome, ReadOutcome::done);
  EXPECT_EQ(rest, "next");
  EXPECT_EQ(read_layout(src, Layout{text()}, rv).outcome, ReadOutcome::end_of_file);
}

TEST(TextioLayout, ReadResumesFromTheLastBracketedGroup) {
  // A heading field on the first line only; the group goes on over the following lines.
  const Layout l{text(4), group(2, {integer(3)})};
  Lines src({"ABCD  1  2", "  3  4", "  5"});
  std::string id(4, '#');
  std::int32_t v[5] = {};
  const Var vars[] = {Var::text(id), Var::of(std::span<std::int32_t>(v))};
  const ReadResult r = read_layout(src, l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(r.values, 6);
  EXPECT_EQ(id, "ABCD");
  for (int k = 0; k < 5; ++k) EXPECT_EQ(v[k], k + 1);
  // Without a group the layout starts again from its beginning.
  Lines src2({"AB 1 2", "CD 3 4"});
  std::string t1(2, '#'), t2(2, '#');
  std::int32_t a[2] = {}, b[2] = {};
  const Var vars2[] = {Var::text(t1), Var::of(std::span<std::int32_t>(a)), Var::text(t2),
                       Var::of(std::span<std::int32_t>(b))};
  const ReadResult r2 = read_layout(src2, Layout{text(2), repeat(2, integer(2))}, vars2);
  EXPECT_EQ(r2.outcome, ReadOutcome::done);
  EXPECT_EQ(r2.lines, 2);
  EXPECT_EQ(t1, "AB");
  EXPECT_EQ(t2, "CD");
  EXPECT_EQ(a[1], 2);
  EXPECT_EQ(b[0], 3);
}

TEST(TextioLayout, EndOfFileInTheMiddleOfARead) {
  Lines src({" 1 2", " 3"});
  std::int32_t v[5] = {-1, -1, -1, -1, -1};
  const Var vars[] = {Var::of(std::span<std::int32_t>(v))};
  const ReadResult r = read_layout(src, Layout{repeat(2, integer(2))}, vars);
  // The second line is short, so it reads 3 and a blank field (0); a third line is missing.
  EXPECT_EQ(r.outcome, ReadOutcome::end_of_file);
  EXPECT_EQ(r.lines, 2);
  EXPECT_EQ(r.values, 4);
  EXPECT_EQ(v[2], 3);
  EXPECT_EQ(v[3], 0);
  EXPECT_EQ(v[4], -1);
  // No line at all.
  Lines none({});
  EXPECT_EQ(read_layout(none, Layout{integer(2)}, vars).outcome, ReadOutcome::end_of_file);
  // A line break on input goes on at column 1 of the next line.
  Lines two({"  1xx", " 22"});
  std::int32_t a = 0, b = 0;
  const Var ab[] = {Var::of(a), Var::of(b)};
  const ReadResult r3 = read_layout(two, Layout{integer(3), line_break(), integer(3)}, ab);
  EXPECT_EQ(r3.outcome, ReadOutcome::done);
  EXPECT_EQ(r3.lines, 2);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 22);
}

TEST(TextioLayout, ReadWithoutVariablesTakesOneLine) {
  Lines src({"skip me", "  42"});
  EXPECT_EQ(read_layout(src, Layout{integer(4)}, {}).lines, 1);
  std::int32_t n = 0;
  const Var vars[] = {Var::of(n)};
  EXPECT_EQ(read_layout(src, Layout{integer(4)}, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(n, 42);
}

TEST(TextioLayout, LinesFor) {
  const Layout ten{repeat(10, fixed(8, 3))};
  EXPECT_EQ(ten.lines_for(25), 3);
  EXPECT_EQ(ten.lines_for(0), 0);
  EXPECT_EQ(ten.lines_for(10), 1);
  EXPECT_EQ(ten.lines_for(11), 2);
  EXPECT_EQ(ten.lines_for(20), 2);
  EXPECT_EQ(ten.lines_for(1), 1);
  const Layout broken{integer(2), line_break(), integer(2)};
  EXPECT_EQ(broken.lines_for(2), 2);
  const Layout grouped{integer(2), group(2, {integer(3)})};
  EXPECT_EQ(grouped.lines_for(7), 3);
  EXPECT_EQ(grouped.lines_for(8), 4);
  const Layout no_fields{literal("x")};
  EXPECT_EQ(no_fields.lines_for(5), 0);
}

TEST(TextioLayout, ALayoutIsAppliedToManyLines) {
  const Layout l{text(8), integer(4), repeat(10, integer(6))};
  std::string id(8, ' ');
  std::int32_t year = 0;
  std::int32_t v[10] = {};
  const Var vars[] = {Var::text(id), Var::of(year), Var::of(std::span<std::int32_t>(v))};
  for (int k = 0; k < 200; ++k) {
    std::string line = "ABC" + std::to_string(k);
    line.resize(8, ' ');
    std::string y = std::to_string(1000 + k);
    line += y;
    for (int j = 0; j < 10; ++j) {
      std::string f = std::to_string(k * 10 + j);
      line += std::string(6 - f.size(), ' ') + f;
    }
    const ReadResult r = read_layout_from_text(line, l, vars);
    ASSERT_EQ(r.outcome, ReadOutcome::done) << line;
    EXPECT_EQ(r.values, 12);
    EXPECT_EQ(year, 1000 + k);
    EXPECT_EQ(v[9], k * 10 + 9);
    EXPECT_EQ(id.substr(0, 3), "ABC");
  }
}

TEST(TextioLayout, PlacedFieldsAgreeWithTheGeneralRead) {
  // Random one-line layouts of integer, real and text fields at random columns, over random
  // lines of digits, blanks, signs and other bytes: the in-memory read (which takes the placed
  // fields and their word-at-a-time rule) and the read from a source agree on everything.
  std::mt19937 rng(2024);
  static constexpr char kChars[] = "0123456789      +-.Ex";
  for (int round = 0; round < 3000; ++round) {
    std::vector<Item> items;
    const int nfields = 1 + static_cast<int>(rng() % 6);
    std::vector<int> kinds;
    for (int f = 0; f < nfields; ++f) {
      if (rng() % 4 == 0) items.push_back(column(1 + static_cast<int>(rng() % 20)));
      if (rng() % 4 == 0) items.push_back(blanks(static_cast<int>(rng() % 4)));
      const int kind = static_cast<int>(rng() % 4);  // 0, 1 integer; 2 real; 3 text
      const auto w = static_cast<std::int32_t>(1 + rng() % 10);
      if (kind <= 1) items.push_back(integer(w));
      if (kind == 2) items.push_back(fixed(w, static_cast<std::int32_t>(rng() % 4)));
      if (kind == 3) items.push_back(text(w));
      kinds.push_back(kind);
    }
    const Layout layout(items);
    std::string line;
    const auto len = rng() % 40;
    for (std::size_t k = 0; k < len; ++k) {
      line.push_back(rng() % 3 == 0 ? ' ' : kChars[rng() % (sizeof kChars - 1)]);
    }
    std::vector<std::int32_t> ints(kinds.size(), 0);
    std::vector<float> reals(kinds.size(), 0.0f);
    std::vector<std::string> texts(kinds.size(), std::string(5, '#'));
    std::vector<Var> vars;
    for (std::size_t f = 0; f < kinds.size(); ++f) {
      if (kinds[f] == 0) vars.push_back(Var::of(ints[f]));
      if (kinds[f] == 1 || kinds[f] == 2) vars.push_back(Var::of(reals[f]));
      if (kinds[f] == 3) vars.push_back(Var::text(texts[f]));
    }
    const auto reset = [&] {
      std::fill(ints.begin(), ints.end(), -1);
      std::fill(reals.begin(), reals.end(), -1.0f);
      for (auto& t : texts) t.assign(5, '#');
    };
    const auto dump = [&] {
      std::string d;
      for (std::size_t f = 0; f < kinds.size(); ++f) {
        d += std::to_string(ints[f]) + "|" + std::to_string(reals[f]) + "|" + texts[f] + ";";
      }
      return d;
    };
    read_both(line, layout, vars, reset, dump);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "round " << round << " line \"" << line << "\"";
      return;
    }
  }
}

}  // namespace
}  // namespace corvane
