// Tests of the field-description parser: which texts are descriptions, and how the layouts
// made from them read.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/layout_plan.h"
#include "textio/textio.h"

namespace corvane {
namespace {

// The steps of a layout as a short text, e.g. "F8.3 F8.3 X2 I5".
std::string shape(const Layout& l) {
  std::string s;
  for (const detail::LayoutPlan::Step& st : l.plan().steps) {
    if (!s.empty()) s += ' ';
    switch (st.kind) {
      case Item::Kind::real:
        s += 'F';
        s += std::to_string(st.width);
        s += '.';
        s += std::to_string(st.decimals);
        break;
      case Item::Kind::integer:
        s += 'I';
        s += std::to_string(st.width);
        break;
      case Item::Kind::blanks:
        s += 'X';
        s += std::to_string(st.width);
        break;
      default:
        s += "?";
        break;
    }
  }
  return s;
}

std::string repeated(std::string_view item, int k) {
  std::string s;
  for (int i = 0; i < k; ++i) {
    if (i > 0) s += ' ';
    s += item;
  }
  return s;
}

struct ValidCase {
  std::string_view text;
  std::string expected_shape;
};

// Descriptions as short names for the test listing: blanks as "_", tabs as "TAB".
std::string shown(std::string_view text) {
  std::string s;
  for (const char c : text)
    s += c == ' ' ? std::string("_") : c == '\t' ? std::string("TAB") : std::string(1, c);
  return s.empty() ? std::string("empty") : s;
}

void PrintTo(const ValidCase& c, std::ostream* os) { *os << shown(c.text); }

class TextioDescriptionValid : public ::testing::TestWithParam<ValidCase> {};

TEST_P(TextioDescriptionValid, Parses) {
  const ValidCase& c = GetParam();
  const std::optional<Layout> l = parse_description(c.text);
  ASSERT_TRUE(l.has_value()) << "\"" << c.text << "\"";
  EXPECT_EQ(shape(*l), c.expected_shape) << "\"" << c.text << "\"";
  EXPECT_TRUE(l->has_fields());
  EXPECT_FALSE(l->holds());
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioDescriptionValid,
    ::testing::Values(ValidCase{"(10F8.3)", repeated("F8.3", 10)},
                      ValidCase{"( 10f8.3 )", repeated("F8.3", 10)}, ValidCase{"(F8.3)", "F8.3"},
                      ValidCase{"(2I5,3X,F6.2)", "I5 I5 X3 F6.2"},
                      ValidCase{"(20F8.3)", repeated("F8.3", 20)}, ValidCase{"(E10.3)", "F10.3"},
                      ValidCase{"(D8.2)", "F8.2"}, ValidCase{"(G8.3)", "F8.3"},
                      ValidCase{"  (10F8.3)", repeated("F8.3", 10)},
                      ValidCase{"(10F8.3)   ", repeated("F8.3", 10)},
                      ValidCase{"(e10.3, d8.2 ,g8.3,i4, 2x)", "F10.3 F8.2 F8.3 I4 X2"},
                      ValidCase{"( 1 0 F 8 . 3 )", repeated("F8.3", 10)}, ValidCase{"(I1)", "I1"},
                      ValidCase{"(F1.0)", "F1.0"}, ValidCase{"(1F8.3)", "F8.3"},
                      ValidCase{"(3X,F8.3,1X)", "X3 F8.3 X1"}));

struct InvalidCase {
  std::string_view text;
};

void PrintTo(const InvalidCase& c, std::ostream* os) { *os << shown(c.text); }

class TextioDescriptionInvalid : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(TextioDescriptionInvalid, IsNoDescription) {
  EXPECT_FALSE(parse_description(GetParam().text).has_value()) << "\"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioDescriptionInvalid,
    ::testing::Values(InvalidCase{"(F)"}, InvalidCase{"(0F8.3)"}, InvalidCase{"(10F0.0)"},
                      InvalidCase{"(A8)"}, InvalidCase{"(5X)"}, InvalidCase{"()"},
                      InvalidCase{"10F8.3"}, InvalidCase{"(10F8.3"}, InvalidCase{"x(10F8.3)"},
                      InvalidCase{"(F8)"}, InvalidCase{"(X)"}, InvalidCase{"((F8.3))"},
                      InvalidCase{""}, InvalidCase{" "}, InvalidCase{"("}, InvalidCase{")"},
                      InvalidCase{"( )"}, InvalidCase{"(F8.3,)"}, InvalidCase{"(,F8.3)"},
                      InvalidCase{"(F8.3,,F8.3)"}, InvalidCase{"(F8.3 F8.3)"},
                      InvalidCase{"(10F8.3)x"}, InvalidCase{"(10F8.3)(F8.3)"},
                      InvalidCase{"\t(10F8.3)"}, InvalidCase{"(10F8.3)\t"}, InvalidCase{"(I)"},
                      InvalidCase{"(I0)"}, InvalidCase{"(0X)"}, InvalidCase{"(F8.)"},
                      InvalidCase{"(F.3)"}, InvalidCase{"(-1F8.3)"}, InvalidCase{"(+F8.3)"},
                      InvalidCase{"(10F8.3.1)"}, InvalidCase{"(10F8,3)"}, InvalidCase{"(10(F8.3))"},
                      InvalidCase{"(F8.3/F8.3)"}, InvalidCase{"(I5.2)"}, InvalidCase{"(2X,3X)"},
                      // A skip needs its count of columns.
                      InvalidCase{"(X,F8.3)"}, InvalidCase{"(F8.3,X)"}));

TEST(TextioDescription, ParsedLayoutReadsRealValues) {
  const auto l = parse_description("(10F8.3)");
  ASSERT_TRUE(l.has_value());
  std::string line;
  for (int k = 1; k <= 10; ++k) {
    const std::string f = std::to_string(k * 1111);
    line += std::string(8 - f.size(), ' ') + f;
  }
  float v[10] = {};
  const Var vars[] = {Var::of(std::span<float>(v))};
  const ReadResult r = read_layout_from_text(line, *l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.values, 10);
  EXPECT_EQ(v[0], 1.111f);
  EXPECT_EQ(v[9], 11.11f);
  EXPECT_EQ(l->lines_for(25), 3);
}

TEST(TextioDescription, IntegerAndSkipItemsStoreReals) {
  const auto l = parse_description("(2I5,3X,F6.2)");
  ASSERT_TRUE(l.has_value());
  float v[3] = {};
  const Var vars[] = {Var::of(std::span<float>(v))};
  const ReadResult r = read_layout_from_text("   12  -34xxx  1.25", *l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.values, 3);
  EXPECT_EQ(v[0], 12.0f);
  EXPECT_EQ(v[1], -34.0f);
  EXPECT_EQ(v[2], 1.25f);
  // Without a point in the F field, its last two digits are decimals.
  EXPECT_EQ(read_layout_from_text("    1    2     125", *l, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(v[2], 1.25f);
  // An I field follows the integer rule: a point in it fails.
  const ReadResult bad = read_layout_from_text("  1.2    2     125", *l, vars);
  EXPECT_EQ(bad.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(bad.failed_column, 1);
}

TEST(TextioDescription, IntegerFieldOutside32BitsFails) {
  const auto l = parse_description("(I11)");
  ASSERT_TRUE(l.has_value());
  float v = -1.0f;
  const Var vars[] = {Var::of(v)};
  EXPECT_EQ(read_layout_from_text(" 2147483647", *l, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(v, 2147483647.0f);
  EXPECT_EQ(read_layout_from_text("-2147483648", *l, vars).outcome, ReadOutcome::done);
  EXPECT_EQ(v, -2147483648.0f);
  v = -1.0f;
  const ReadResult r = read_layout_from_text(" 2147483648", *l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::conversion_failure);
  EXPECT_EQ(v, -1.0f);
  // The same read from a source of lines.
  class One : public LineSource {
   public:
    std::optional<std::string_view> next_line() override {
      if (given_) return std::nullopt;
      given_ = true;
      return std::string_view("99999999999");
    }

   private:
    bool given_ = false;
  } src;
  EXPECT_EQ(read_layout(src, *l, vars).outcome, ReadOutcome::conversion_failure);
}

TEST(TextioDescription, ParsedLayoutResumesFromItsBeginning) {
  const auto l = parse_description("(3F4.1)");
  ASSERT_TRUE(l.has_value());
  class Two : public LineSource {
   public:
    std::optional<std::string_view> next_line() override {
      static constexpr std::string_view lines[] = {" 1.5 2.5 3.5", " 4.5"};
      if (i_ == 2) return std::nullopt;
      return lines[i_++];
    }

   private:
    int i_ = 0;
  } src;
  float v[4] = {};
  const Var vars[] = {Var::of(std::span<float>(v))};
  const ReadResult r = read_layout(src, *l, vars);
  EXPECT_EQ(r.outcome, ReadOutcome::done);
  EXPECT_EQ(r.lines, 2);
  EXPECT_EQ(v[3], 4.5f);
}

}  // namespace
}  // namespace corvane
