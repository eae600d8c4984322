// Tests of the single-field rules: integer and fixed-point output, integer and real input.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "textio/textio.h"

namespace corvane {
namespace {

std::string int_out(std::int32_t v, std::int32_t w) {
  std::string s;
  format_integer(s, v, w);
  return s;
}

std::string fixed_out(double v, std::int32_t w, std::int32_t d) {
  std::string s;
  format_fixed(s, v, w, d);
  return s;
}

// A field as a short name for the test listing: blanks as "_", other odd bytes in hex.
std::string shown(std::string_view field) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string s;
  for (const char c : field) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ' ') {
      s += '_';
    } else if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
               c == '.' || c == '+' || c == '-' || c == '*') {
      s += c;
    } else {
      s += 'x';
      s += hex[u >> 4];
      s += hex[u & 15];
    }
  }
  return s.empty() ? std::string("empty") : s;
}

// --- integer output ------------------------------------------------------------------------

struct IntOutCase {
  std::int32_t value;
  std::int32_t width;
  std::string_view expected;
};

void PrintTo(const IntOutCase& c, std::ostream* os) { *os << c.value << "_in_I" << c.width; }

class TextioFieldsIntegerOut : public ::testing::TestWithParam<IntOutCase> {};

TEST_P(TextioFieldsIntegerOut, RightAlignedOrAsterisks) {
  const IntOutCase& c = GetParam();
  EXPECT_EQ(int_out(c.value, c.width), c.expected) << c.value << " in I" << c.width;
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioFieldsIntegerOut,
    ::testing::Values(IntOutCase{99999, 5, "99999"}, IntOutCase{100000, 5, "*****"},
                      IntOutCase{123456, 5, "*****"}, IntOutCase{-10000, 5, "*****"},
                      IntOutCase{-9999, 5, "-9999"}, IntOutCase{1850, 8, "    1850"},
                      IntOutCase{0, 5, "    0"}, IntOutCase{0, 1, "0"}, IntOutCase{-1, 1, "*"},
                      IntOutCase{7, 1, "7"}, IntOutCase{-7, 3, " -7"}, IntOutCase{12, 2, "12"},
                      IntOutCase{123, 2, "**"}, IntOutCase{-123, 7, "   -123"},
                      IntOutCase{5, 16, "               5"},
                      IntOutCase{-5, 17, "               -5"},
                      IntOutCase{2147483647, 10, "2147483647"},
                      IntOutCase{std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
                      IntOutCase{std::numeric_limits<std::int32_t>::min(), 10, "**********"}));

TEST(TextioFields, IntegerOutputAppends) {
  std::string s = "ab";
  format_integer(s, 12, 4);
  EXPECT_EQ(s, "ab  12");
}

// --- fixed-point output --------------------------------------------------------------------

struct FixedOutCase {
  double value;
  std::int32_t width;
  std::int32_t decimals;
  std::string_view expected;
};

void PrintTo(const FixedOutCase& c, std::ostream* os) {
  *os << std::setprecision(12) << c.value << "_in_F" << c.width << "." << c.decimals;
}

class TextioFieldsFixedOut : public ::testing::TestWithParam<FixedOutCase> {};

TEST_P(TextioFieldsFixedOut, RoundedRightAligned) {
  const FixedOutCase& c = GetParam();
  EXPECT_EQ(fixed_out(c.value, c.width, c.decimals), c.expected)
      << c.value << " in F" << c.width << "." << c.decimals;
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioFieldsFixedOut,
    ::testing::Values(
        FixedOutCase{0.0, 8, 3, "   0.000"}, FixedOutCase{-0.25, 8, 3, "  -0.250"},
        FixedOutCase{10000.0, 8, 3, "********"}, FixedOutCase{9999.999, 8, 3, "9999.999"},
        FixedOutCase{9999.9996, 8, 3, "********"},  // rounds up to 10000.000
        FixedOutCase{0.5, 8, 3, "   0.500"}, FixedOutCase{0.5, 4, 3, ".500"},
        FixedOutCase{0.5, 5, 3, "0.500"}, FixedOutCase{0.5, 3, 3, "***"},
        FixedOutCase{-0.5, 5, 3, "-.500"}, FixedOutCase{-0.5, 6, 3, "-0.500"},
        FixedOutCase{-0.5, 4, 3, "****"},
        // A negative value that rounds to zero keeps its sign.
        FixedOutCase{-0.0004, 8, 3, "  -0.000"}, FixedOutCase{-0.4, 4, 0, " -0."},
        // Ties to even on the exact binary value.
        FixedOutCase{0.125, 6, 2, "  0.12"}, FixedOutCase{0.375, 6, 2, "  0.38"},
        FixedOutCase{2.5, 4, 0, "  2."}, FixedOutCase{3.5, 4, 0, "  4."},
        FixedOutCase{-2.5, 4, 0, " -2."}, FixedOutCase{0.5, 3, 0, " 0."},
        // 1.005 is just below 1.005 in binary, 2.675 too: both round down.
        FixedOutCase{1.005, 6, 2, "  1.00"}, FixedOutCase{2.675, 6, 2, "  2.67"},
        // d = 0 writes the point.
        FixedOutCase{5.0, 4, 0, "  5."}, FixedOutCase{1850.0, 5, 0, "1850."},
        FixedOutCase{1850.0, 4, 0, "****"},
        // Non-finite values fill the field.
        FixedOutCase{std::numeric_limits<double>::quiet_NaN(), 8, 3, "********"},
        FixedOutCase{std::numeric_limits<double>::infinity(), 8, 3, "********"},
        FixedOutCase{-std::numeric_limits<double>::infinity(), 6, 2, "******"},
        FixedOutCase{1.0e300, 10, 2, "**********"}, FixedOutCase{123.456, 8, 3, " 123.456"},
        FixedOutCase{-123.456, 8, 3, "-123.456"}, FixedOutCase{-1234.5, 8, 3, "********"}));

TEST(TextioFields, FixedOutputOfAFloatUsesItsExactValue) {
  // 0.1f is 0.100000001490116...: nine decimals show it.
  EXPECT_EQ(fixed_out(static_cast<double>(0.1f), 12, 9), " 0.100000001");
  EXPECT_EQ(fixed_out(static_cast<double>(0.1f), 8, 3), "   0.100");
}

TEST(TextioFields, FixedOutputAppends) {
  std::string s = "x";
  format_fixed(s, 1.5, 6, 2);
  EXPECT_EQ(s, "x  1.50");
}

// Float values (the means of the listing are floats) in fields wide enough for their text are
// exactly the decimal text that to_chars gives, right-aligned; the values run over the ranges that
// a float with 1 to 6 decimals holds in a double exactly, ties, signs and zeros among them.
TEST(TextioFields, FixedOutputOfFloatsIsTheExactDecimalText) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<std::uint32_t> bits(0, 0xFFFFFFFFu);
  std::vector<float> values = {0.0f,    -0.0f,        0.0625f,    -0.0625f, 0.1875f,    2.5f,
                               1.0005f, 0.001953125f, 999999.94f, 1e9f,     -1e9f,      0.5f,
                               1e-30f,  -1e-30f,      123.456f,   4.0e6f,   16777216.0f};
  for (int i = 0; i < 50000; ++i) {
    const float f = std::bit_cast<float>(bits(rng));
    if (std::isfinite(f) && std::fabs(f) < 2e9f) values.push_back(f);
    values.push_back(static_cast<float>(i % 5000) * 0.01f);  // means of ring widths
    values.push_back(static_cast<float>(i) / 64.0f);         // halves, quarters, ... : ties
  }
  for (const float f : values) {
    for (std::int32_t d = 1; d <= 7; ++d) {
      char buf[400];
      const auto res =
          std::to_chars(buf, buf + sizeof buf, static_cast<double>(f), std::chars_format::fixed, d);
      ASSERT_EQ(res.ec, std::errc());
      const std::string text(buf, res.ptr);
      // In 40 columns, in 24 (the widest that is built in place) and in just its own.
      for (const std::size_t w : {std::size_t{40}, std::size_t{24}, text.size()}) {
        if (w < text.size()) continue;
        const std::string want = std::string(w - text.size(), ' ') + text;
        ASSERT_EQ(fixed_out(f, static_cast<std::int32_t>(w), d), want)
            << std::setprecision(12) << f << " with " << d << " in " << w;
      }
    }
  }
}

TEST(TextioFields, IntegerOutputOfManyValuesAndWidths) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
  for (int i = 0; i < 20000; ++i) {
    const std::int32_t v = i % 2 == 0 ? any(rng) : any(rng) % 100000;
    const std::string text = std::to_string(v);
    for (std::int32_t w = 1; w <= 20; ++w) {
      const auto len = static_cast<std::int32_t>(text.size());
      const std::string want = len > w ? std::string(static_cast<std::size_t>(w), '*')
                                       : std::string(static_cast<std::size_t>(w - len), ' ') + text;
      ASSERT_EQ(int_out(v, w), want) << v << " in I" << w;
    }
  }
}

// --- integer input -------------------------------------------------------------------------

struct IntInCase {
  std::string_view field;
  bool ok;
  std::int32_t value;
};

void PrintTo(const IntInCase& c, std::ostream* os) { *os << shown(c.field); }

class TextioFieldsIntegerIn : public ::testing::TestWithParam<IntInCase> {};

TEST_P(TextioFieldsIntegerIn, Rule) {
  const IntInCase& c = GetParam();
  std::int32_t v = -12345;
  const bool ok = parse_integer_field(c.field, v);
  EXPECT_EQ(ok, c.ok) << "field \"" << c.field << "\"";
  if (ok && c.ok) {
    EXPECT_EQ(v, c.value) << "field \"" << c.field << "\"";
  }
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioFieldsIntegerIn,
    ::testing::Values(
        IntInCase{" 1 2    ", true, 12}, IntInCase{"  -7    ", true, -7},
        IntInCase{"        ", true, 0}, IntInCase{"", true, 0}, IntInCase{"12a", false, 0},
        IntInCase{"12a     ", false, 0}, IntInCase{"-", false, 0}, IntInCase{"   +    ", false, 0},
        IntInCase{"+5", true, 5}, IntInCase{"   +5", true, 5}, IntInCase{"- 5", true, -5},
        IntInCase{"2147483647", true, 2147483647}, IntInCase{"2147483648", false, 0},
        IntInCase{"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
        IntInCase{"-2147483649", false, 0}, IntInCase{"99999999999999999999", false, 0},
        IntInCase{"00000000000000000000042", true, 42}, IntInCase{"\t5", false, 0},
        IntInCase{"5\t", false, 0}, IntInCase{"1.0", false, 0}, IntInCase{"***", false, 0},
        IntInCase{"1-", false, 0}, IntInCase{"--1", false, 0}, IntInCase{"+-1", false, 0},
        IntInCase{"   12345", true, 12345}, IntInCase{"12345678", true, 12345678},
        IntInCase{"    0001", true, 1}, IntInCase{"1", true, 1}, IntInCase{":", false, 0},
        IntInCase{"/", false, 0}, IntInCase{"1 2 3 4 5 6 7 8 9", true, 123456789},
        IntInCase{std::string_view("1\0", 2), false, 0}, IntInCase{"\xB1", false, 0},
        IntInCase{"  9 99", true, 999}, IntInCase{"   1\r", false, 0}));

TEST(TextioFields, IntegerRuleOnEveryShortRightAlignedField) {
  // Every right-aligned field of up to four digits, in widths 1 to 8 (the word-at-a-time
  // path), and the same digits followed by a blank (the general path).
  for (int w = 1; w <= 8; ++w) {
    for (int v = 0; v < 10000; v += (v < 200 ? 1 : 37)) {
      std::string digits = std::to_string(v);
      if (static_cast<int>(digits.size()) > w) continue;
      const std::string field = std::string(w - digits.size(), ' ') + digits;
      std::int32_t got = -1;
      ASSERT_TRUE(parse_integer_field(field, got)) << field;
      EXPECT_EQ(got, v) << field;
      std::int32_t got2 = -1;
      ASSERT_TRUE(parse_integer_field(digits + " ", got2));
      EXPECT_EQ(got2, v);
    }
  }
}

// The integer rule written out plainly, as a reference.
bool reference_integer(std::string_view field, std::int32_t& out) {
  std::string packed;
  for (const char c : field) {
    if (c != ' ') packed.push_back(c);
  }
  if (packed.empty()) {
    out = 0;
    return true;
  }
  std::size_t i = 0;
  const bool negative = packed[0] == '-';
  if (packed[0] == '-' || packed[0] == '+') i = 1;
  if (i == packed.size()) return false;
  std::int64_t v = 0;
  for (; i < packed.size(); ++i) {
    if (packed[i] < '0' || packed[i] > '9') return false;
    v = v * 10 + (packed[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

TEST(TextioFields, IntegerRuleAgreesWithAPlainReferenceOnRandomFields) {
  std::mt19937 rng(99);
  static constexpr char kChars[] = "0123456789012345678901234567890123456789     +-/:x.\t";
  for (int round = 0; round < 200000; ++round) {
    const auto w = rng() % 13;
    std::string field;
    const bool right_aligned = rng() % 2 == 0;  // the decade files' shape, for the fast path
    for (std::size_t k = 0; k < w; ++k) {
      if (right_aligned && k < w / 2) {
        field.push_back(' ');
      } else {
        field.push_back(kChars[rng() % (sizeof kChars - 1)]);
      }
    }
    std::int32_t expected = 0, got = 0;
    const bool ok = reference_integer(field, expected);
    ASSERT_EQ(parse_integer_field(field, got), ok) << "\"" << field << "\"";
    if (ok) {
      ASSERT_EQ(got, expected) << "\"" << field << "\"";
    }
  }
}

// --- real input ----------------------------------------------------------------------------

struct RealInCase {
  std::string_view field;
  std::int32_t decimals;
  bool ok;
  float value;
};

void PrintTo(const RealInCase& c, std::ostream* os) { *os << shown(c.field) << "_d" << c.decimals; }

class TextioFieldsRealIn : public ::testing::TestWithParam<RealInCase> {};

TEST_P(TextioFieldsRealIn, Rule) {
  const RealInCase& c = GetParam();
  float v = -777.0f;
  const bool ok = parse_real_field(c.field, c.decimals, v);
  EXPECT_EQ(ok, c.ok) << "field \"" << c.field << "\" d=" << c.decimals;
  if (ok && c.ok) {
    EXPECT_EQ(v, c.value) << "field \"" << c.field << "\" d=" << c.decimals;
  }
}

INSTANTIATE_TEST_SUITE_P(
    TextioCases, TextioFieldsRealIn,
    ::testing::Values(RealInCase{"  123456", 3, true, 123.456f},
                      RealInCase{"     1.5", 3, true, 1.5f}, RealInCase{"1.5", 0, true, 1.5f},
                      RealInCase{"  1 5   ", 1, true, 1.5f}, RealInCase{"1.5E2", 3, true, 150.0f},
                      RealInCase{"1.5e2", 3, true, 150.0f}, RealInCase{"1.5D2", 3, true, 150.0f},
                      RealInCase{"15D1", 0, true, 150.0f}, RealInCase{"1e-3", 0, true, 1e-3f},
                      RealInCase{"1.E+3", 0, true, 1000.0f}, RealInCase{"-.5", 0, true, -0.5f},
                      RealInCase{"+.5", 0, true, 0.5f}, RealInCase{"  -   2.25 ", 0, true, -2.25f},
                      RealInCase{"        ", 3, true, 0.0f}, RealInCase{"", 3, true, 0.0f},
                      RealInCase{"-999", 0, true, -999.0f},
                      RealInCase{"   -1234", 2, true, -12.34f}, RealInCase{"0.000", 3, true, 0.0f},
                      RealInCase{"3.4E38", 0, true, 3.4e38f}, RealInCase{"1E-50", 0, true, 0.0f},
                      RealInCase{".", 0, false, 0}, RealInCase{"E5", 0, false, 0},
                      RealInCase{"1.2.3", 0, false, 0}, RealInCase{"1E", 0, false, 0},
                      RealInCase{"1E+", 0, false, 0}, RealInCase{"-", 0, false, 0},
                      RealInCase{"+", 3, false, 0}, RealInCase{"-.", 0, false, 0},
                      RealInCase{"1.5x", 0, false, 0}, RealInCase{"1,5", 0, false, 0},
                      RealInCase{"1-", 0, false, 0}, RealInCase{"--1", 0, false, 0},
                      RealInCase{"1E2E3", 0, false, 0}, RealInCase{"1E2.0", 0, false, 0},
                      RealInCase{"\t1.5", 0, false, 0},
                      // Beyond single precision: the infinity that rounding to nearest gives.
                      RealInCase{"1E39", 0, true, std::numeric_limits<float>::infinity()},
                      RealInCase{"-1E400", 0, true, -std::numeric_limits<float>::infinity()},
                      RealInCase{"340282356779733661637539395458142568448", 0, true,
                                 std::numeric_limits<float>::infinity()},
                      RealInCase{"340282356779733661637539395458142568447", 0, true,
                                 std::numeric_limits<float>::max()},
                      RealInCase{"1.5+2", 0, false, 0}, RealInCase{"***", 0, false, 0}));

TEST(TextioFields, RealInputIsTheNearestFloatOfTheDecimalText) {
  // Just above the midpoint between 1 and the next float: through a double it would land on
  // the midpoint and round to even (1.0); straight to float it is 1 + 2^-23.
  constexpr std::string_view text = "1.0000000596046447753907";
  float expected = 0.0f;
  ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), expected).ec, std::errc());
  const float via_double = static_cast<float>(std::strtod(std::string(text).c_str(), nullptr));
  ASSERT_NE(expected, via_double);  // the case tells the two conversions apart
  float got = 0.0f;
  ASSERT_TRUE(parse_real_field(text, 0, got));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got, 1.0f + 0x1p-23f);
  // The same digits without a point, with 22 implied decimals, and in exponent form.
  float implied = 0.0f;
  ASSERT_TRUE(parse_real_field("10000000596046447753907", 22, implied));
  EXPECT_EQ(implied, expected);
  float with_exponent = 0.0f;
  ASSERT_TRUE(parse_real_field("10000000596046447753907E-22", 0, with_exponent));
  EXPECT_EQ(with_exponent, expected);
}

TEST(TextioFields, RealInputMatchesFromCharsOnManyValues) {
  // Fields of the decade files' kind: integers with implied decimals.
  for (int v = -20000; v <= 20000; v += 7) {
    const std::string field = std::to_string(v);
    for (int d = 0; d <= 4; ++d) {
      const std::string decimal = field + "e-" + std::to_string(d);
      float expected = 0.0f;
      ASSERT_EQ(std::from_chars(decimal.data(), decimal.data() + decimal.size(), expected).ec,
                std::errc());
      float got = 1.0f;
      ASSERT_TRUE(parse_real_field(field, d, got)) << field;
      EXPECT_EQ(got, expected) << field << " d=" << d;
    }
  }
}

TEST(TextioFields, RealInputOfALongField) {
  // More characters than the rule's local buffer: every digit still counts.
  const std::string field = std::string(150, ' ') + "0.25" + std::string(100, '0');
  float got = 0.0f;
  ASSERT_TRUE(parse_real_field(field, 3, got));
  EXPECT_EQ(got, 0.25f);
  const std::string digits = "1" + std::string(200, '0');  // 1e200 with 200 implied decimals
  ASSERT_TRUE(parse_real_field(digits, 200, got));
  EXPECT_EQ(got, 1.0f);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

TEST(TextioFields, ShortRealFieldsAreTheNearestFloatToo) {
  // Fields of up to seven digits with up to ten implied or written decimals, or an exponent up
  // to 10, take a shorter way than the long ones: they must land on the same float.
  std::mt19937 rng(2026);
  for (int i = 0; i < 200000; ++i) {
    const auto digits = static_cast<std::int32_t>(rng() % 10000000);
    const auto decimals = static_cast<std::int32_t>(rng() % 11);
    const int exponent = static_cast<int>(rng() % 21) - 10;
    // Built by appending, which keeps g++ 12's -Wrestrict quiet.
    std::string text = std::to_string(digits);
    if (i % 2 == 1) {
      text += 'E';
      text += std::to_string(exponent);
    }
    std::string exact = std::to_string(digits);
    exact += 'e';
    exact += std::to_string((i % 2 == 1 ? exponent : 0) - decimals);
    float expected = 0.0f;
    ASSERT_EQ(std::from_chars(exact.data(), exact.data() + exact.size(), expected).ec, std::errc());
    float got = -1.0f;
    ASSERT_TRUE(parse_real_field(text, decimals, got)) << text;
    ASSERT_EQ(got, expected) << text << " with " << decimals << " decimals";
  }
}

}  // namespace
}  // namespace corvane
