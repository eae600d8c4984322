// Decade data lines through the compiled column tables, against the layout engine: every line
// must read the same way, field for field, or fail the same way.
#include "readers/decade_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {
namespace {

// What the layout engine reads from a line by the layout that the table stands for.
struct EngineRead {
  bool ok = false;
  DecadeLine fields;
};

class OneLine : public LineSource {
 public:
  explicit OneLine(std::string_view line) : line_(line) {}
  std::optional<std::string_view> next_line() override {
    if (given_) return std::nullopt;
    given_ = true;
    return line_;
  }

 private:
  std::string_view line_;
  bool given_ = false;
};

EngineRead engine_read(std::string_view line, LayoutCode code, bool placed) {
  const bool mr = code == LayoutCode::mr;
  EngineRead r;
  r.fields.id.fill(' ');
  std::int32_t numbers[20] = {};
  const Var vars[] = {Var::text(r.fields.id.data(), mr ? 8 : 6), Var::of(r.fields.year),
                      Var::of(std::span<std::int32_t>(numbers, mr ? 10 : 20))};
  // Lines are cut at column 80 before they are read, as trrw does.
  const std::string_view cut = line.substr(0, 80);
  ReadResult res;
  if (placed) {
    res = read_layout_from_text(cut, decade_layout(code), vars);
  } else {
    OneLine source(cut);
    res = read_layout(source, decade_layout(code), vars);
  }
  r.ok = res.outcome == ReadOutcome::done;
  for (std::size_t k = 0; k < 10; ++k) r.fields.values[k] = numbers[mr ? k : 2 * k];
  if (!mr) {
    // The index layout's value fields read as text, to tell the blank ones.
    static const Layout as_text{blanks(10), group(10, {text(4), blanks(3)})};
    char fields[10][4];
    std::vector<Var> texts;
    for (auto& f : fields) texts.push_back(Var::text(f, 4));
    (void)read_layout_from_text(cut, as_text, texts);
    for (std::size_t k = 0; k < 10; ++k) {
      if (std::string_view(fields[k], 4) == "    ") {
        r.fields.blank_values = static_cast<std::uint16_t>(r.fields.blank_values | 1u << k);
      }
    }
  }
  return r;
}

std::string shown(std::string_view line) {
  std::string s;
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      s += c;
    } else {
      static constexpr char hex[] = "0123456789ABCDEF";
      s += "\\x";
      s += hex[u >> 4];
      s += hex[u & 15];
    }
  }
  return "\"" + s + "\"";
}

// The compiled path and the engine (its general rule and its placed-field path) agree.
void expect_same(std::string_view line, LayoutCode code) {
  SCOPED_TRACE((code == LayoutCode::mr ? "mr " : "ir ") + shown(line));
  DecadeLine got;
  const bool ok = read_decade_line(line, code, got);
  const EngineRead general = engine_read(line, code, false);
  const EngineRead placed = engine_read(line, code, true);
  ASSERT_EQ(general.ok, placed.ok);
  ASSERT_EQ(ok, general.ok);
  if (!ok) return;
  EXPECT_EQ(std::string_view(got.id.data(), 8), std::string_view(general.fields.id.data(), 8));
  EXPECT_EQ(got.year, general.fields.year);
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_EQ(got.values[k], general.fields.values[k]) << "value " << k + 1;
  }
  EXPECT_EQ(got.blank_values, general.fields.blank_values);
}

std::string right(std::string_view s, std::size_t width) {
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + std::string(s);
}

// A plain data line of each layout.
std::string measurement_line() {
  std::string line = "AB0123XA1950";
  for (int k = 0; k < 10; ++k) line += right(std::to_string(100 + 37 * k), 6);
  return line;
}

std::string index_line() {
  std::string line = "CRN01 1950";
  for (int k = 0; k < 10; ++k) line += right(std::to_string(900 + 11 * k), 4) + right("12", 3);
  return line;
}

// The number fields of a layout: first column (0-based) and width.
std::vector<std::pair<std::size_t, std::size_t>> number_fields(LayoutCode code) {
  std::vector<std::pair<std::size_t, std::size_t>> f;
  if (code == LayoutCode::mr) {
    f.emplace_back(8, 4);
    for (std::size_t k = 0; k < 10; ++k) f.emplace_back(12 + 6 * k, 6);
  } else {
    f.emplace_back(6, 4);
    for (std::size_t k = 0; k < 10; ++k) {
      f.emplace_back(10 + 7 * k, 4);
      f.emplace_back(14 + 7 * k, 3);
    }
  }
  return f;
}

// Field contents that are not plain right-aligned numbers, and some that are: signs, blanks
// inside and after the digits, letters, tabs, bytes next to the digits in the code table,
// leading zeros, fields of blanks only, the largest numbers a field holds.
const std::vector<std::string_view>& tricky_fields() {
  static const std::vector<std::string_view> fields = {
      "",      " ",      "0",    "7",     "12",
      "999",   "9990",   "+",    "-",     "+5",
      "-5",    "- 5",    "+ 5",  "5-",    "-0",
      "--5",   "+-5",    "1 2",  "12 ",   "1  ",
      " 1 2 ", "12a",    "a12",  "A",     "x",
      "\t12",  "12\t",   "\t",   ".5",    "5.",
      "1.0",   "***",    ":",    "/",     "1:",
      "/1",    "0001",   "0000", "99999", "999999",
      "-9999", "-99999", "9999", "-999",  std::string_view("1\0", 2),
      "\xB1",  "\xFF",   "\r",   "1\r",   "e5",
      "1e2",   "#",      "_5"};
  return fields;
}

// The field text placed right-aligned in its columns, or cut at its width from the left.
std::string with_field(std::string line, std::size_t start, std::size_t width,
                       std::string_view text, bool left) {
  std::string f = left ? std::string(text) : right(text, width);
  f.resize(width, ' ');
  line.replace(start, width, f.substr(0, width));
  return line;
}

TEST(ReadersDecadeLine, PlainLinesReadTheirNumbers) {
  DecadeLine got;
  ASSERT_TRUE(read_decade_line(measurement_line(), LayoutCode::mr, got));
  EXPECT_EQ(std::string_view(got.id.data(), 8), "AB0123XA");
  EXPECT_EQ(got.year, 1950);
  for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(got.values[k], 100 + 37 * static_cast<int>(k));

  ASSERT_TRUE(read_decade_line(index_line(), LayoutCode::ir, got));
  EXPECT_EQ(std::string_view(got.id.data(), 8), "CRN01   ");
  EXPECT_EQ(got.year, 1950);
  for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(got.values[k], 900 + 11 * static_cast<int>(k));
}

TEST(ReadersDecadeLine, TrickyFieldsInEveryColumnAgreeWithTheEngine) {
  for (const LayoutCode code : {LayoutCode::mr, LayoutCode::ir}) {
    const std::string base = code == LayoutCode::mr ? measurement_line() : index_line();
    expect_same(base, code);
    for (const auto& [start, width] : number_fields(code)) {
      for (const std::string_view text : tricky_fields()) {
        if (text.size() > width) continue;
        expect_same(with_field(base, start, width, text, false), code);
        expect_same(with_field(base, start, width, text, true), code);
      }
    }
  }
}

TEST(ReadersDecadeLine, LinesOfEveryLengthAgreeWithTheEngine) {
  // Cut short anywhere (a field may lose its last digits), and longer than 80 columns.
  for (const LayoutCode code : {LayoutCode::mr, LayoutCode::ir}) {
    const std::string base = code == LayoutCode::mr ? measurement_line() : index_line();
    const std::string odd = with_field(base, code == LayoutCode::mr ? 18 : 17, 6, "1 2", true);
    for (const std::string& line : {base, odd, std::string(base.size(), ' ')}) {
      for (std::size_t len = 0; len <= line.size(); ++len) expect_same(line.substr(0, len), code);
      expect_same(line + std::string(90 - line.size(), ' ') + "12345", code);
      expect_same(line + std::string(80 - line.size(), '9') + "abc", code);
      expect_same(line + "\t", code);
    }
  }
}

TEST(ReadersDecadeLine, RandomLinesAgreeWithTheEngine) {
  // Mostly digits and blanks, so that many lines come close to plain ones.
  static constexpr std::string_view kAlphabet = "          0123456789012345678901234567890-+a.\t";
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::size_t> length(0, 84);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::uniform_int_distribution<int> coin(0, 3);
  for (int i = 0; i < 20000; ++i) {
    const LayoutCode code = i % 2 == 0 ? LayoutCode::mr : LayoutCode::ir;
    std::string line(length(rng), ' ');
    // Half the lines start from a plain one and get a few changes; the rest are random.
    if (coin(rng) < 2) {
      line = code == LayoutCode::mr ? measurement_line() : index_line();
      for (int c = coin(rng); c >= 0; --c) line[length(rng) % line.size()] = kAlphabet[pick(rng)];
    } else {
      for (char& ch : line) ch = kAlphabet[pick(rng)];
    }
    expect_same(line, code);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(ReadersDecadeLine, BlankIndexValuesAreTold) {
  // Chronology padding: 9990 in the first slots, blanks after it, a short line of one 9990.
  std::string padded = "ca533r 626";
  for (const char* v : {"9990", "    ", "9990", "   0", "    ", " 347"})
    padded += v + std::string("  7");
  for (const std::string& line : {padded, std::string("ZERO  19209990  0"), index_line()}) {
    expect_same(line, LayoutCode::ir);
    expect_same(line, LayoutCode::mr);
  }
  DecadeLine got;
  ASSERT_TRUE(read_decade_line(padded, LayoutCode::ir, got));
  EXPECT_EQ(got.blank_values, 0b1111010010);  // slots 2 and 5, and the four the line lacks
  ASSERT_TRUE(read_decade_line("ZERO  19209990  0", LayoutCode::ir, got));
  EXPECT_EQ(got.blank_values, 0b1111111110);
}

TEST(ReadersDecadeLine, LayoutStandsForTheTable) {
  // The engine's layouts cover the same columns: a letter in column 72 ("mr") or 80 ("ir")
  // fails both, one in column 73 or 81 neither.
  std::string mr = measurement_line();
  mr[71] = 'x';
  expect_same(mr, LayoutCode::mr);
  DecadeLine got;
  EXPECT_FALSE(read_decade_line(mr, LayoutCode::mr, got));
  EXPECT_TRUE(read_decade_line(measurement_line() + "x", LayoutCode::mr, got));
  std::string ir = index_line();
  ir[79] = 'x';
  EXPECT_FALSE(read_decade_line(ir, LayoutCode::ir, got));
  EXPECT_TRUE(read_decade_line(index_line() + "x", LayoutCode::ir, got));
}

}  // namespace
}  // namespace corvane
