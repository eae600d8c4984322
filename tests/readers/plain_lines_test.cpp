// Runs of plain full lines, by every conversion this processor can run, against the general
// line rule: a line is taken only when read_decade_line reads it as the same data line, with
// no end marker, and its values are stored exactly as trrw stores them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "readers/decade_line.h"

namespace corvane {
namespace {

using decade::PlainCheck;
using decade::PlainRun;
using decade::VectorPath;

std::vector<VectorPath> paths() {
  std::vector<VectorPath> out;
  for (const VectorPath p : {VectorPath::none, VectorPath::sse41, VectorPath::avx2}) {
    if (decade::supports(p)) out.push_back(p);
  }
  return out;
}

float unit(LayoutCode code) { return code == LayoutCode::mr ? 0.01f : 0.001f; }

// What one plain run over `text` must give by the general rule: the lines read in turn while
// each is a full line (a line feed or CR LF after the layout's extent, nothing before it that
// ends a line), a data line of printable ID and plain fields with no end marker, its year
// closed by a digit; with `check`, of that ID and year and no value 0.
struct Expected {
  std::int32_t lines = 0;
  std::size_t bytes = 0;
  std::vector<float> values;
};

Expected by_general_rule(std::string_view text, LayoutCode code, std::int32_t max_lines,
                         const PlainCheck* check) {
  const std::size_t width = code == LayoutCode::mr ? 72 : 80;
  Expected e;
  while (e.lines < max_lines && text.size() > width) {
    std::size_t end = 0;
    if (text[width] == '\n') end = 1;
    if (text.size() > width + 1 && text[width] == '\r' && text[width + 1] == '\n') end = 2;
    const std::string_view line = text.substr(0, width);
    if (end == 0 || line.find_first_of("\r\n") != std::string_view::npos) break;
    bool printable = true;
    for (const char c : line.substr(0, 8)) printable &= c >= 0x20 && c < 0x7F;
    const char year_end = line[code == LayoutCode::mr ? 11 : 9];
    DecadeLine fields;
    if (!printable || year_end < '0' || year_end > '9' || !read_decade_line(line, code, fields) ||
        (code == LayoutCode::mr ? !decade::plain_fields(line.data(), decade::kMeasurement)
                                : !decade::plain_fields(line.data(), decade::kIndex))) {
      break;
    }
    bool stop = false;
    for (const std::int32_t v : fields.values) stop |= is_end_marker(code, v) || v < 0;
    if (check != nullptr) {
      std::uint64_t id = 0;
      std::memcpy(&id, line.data(), 8);
      stop |= (id & check->id_mask) != check->id || fields.year != check->year + 10 * e.lines;
      for (const std::int32_t v : fields.values) stop |= v == 0;
    }
    if (stop) break;
    for (const std::int32_t v : fields.values)
      e.values.push_back(static_cast<float>(v) * unit(code));
    ++e.lines;
    e.bytes += width + end;
    text.remove_prefix(width + end);
  }
  return e;
}

// Runs every path over `text` and compares it with the general rule, the sum and its
// exactness included.
void expect_agreement(std::string_view text, LayoutCode code, std::int32_t max_lines,
                      const PlainCheck* check, const std::string& what) {
  const Expected want = by_general_rule(text, code, max_lines, check);
  for (const VectorPath path : paths()) {
    SCOPED_TRACE(what + " by " + std::string(decade::path_name(path)));
    std::vector<float> out(10 * static_cast<std::size_t>(max_lines) + 10, -1.0f);
    const PlainRun got = decade::plain_lines(code, path)(text, out.data(), max_lines, check);
    ASSERT_EQ(got.lines, want.lines);
    ASSERT_EQ(got.bytes, want.bytes);
    double sum = 0.0;
    bool exact = true;
    for (std::size_t i = 0; i < want.values.size(); ++i) {
      ASSERT_EQ(out[i], want.values[i]) << "value " << i;
      sum += want.values[i];
      exact = exact && sums_exactly(want.values[i]);
    }
    EXPECT_EQ(got.exact, exact);
    if (exact) {
      EXPECT_EQ(got.sum, sum);
    }
  }
}

std::string mr_line(const std::string& id, int year, std::vector<int> v) {
  char buf[80];
  std::string s = id;
  s.resize(8, ' ');
  std::snprintf(buf, sizeof buf, "%4d", year);
  s += buf;
  for (const int x : v) {
    std::snprintf(buf, sizeof buf, "%6d", x);
    s += buf;
  }
  return s;
}

std::string ir_line(const std::string& id, int year, std::vector<int> v) {
  char buf[80];
  std::string s = id;
  s.resize(6, ' ');
  std::snprintf(buf, sizeof buf, "%4d", year);
  s += buf;
  for (const int x : v) {
    std::snprintf(buf, sizeof buf, "%4d%3d", x, 12);
    s += buf;
  }
  return s;
}

TEST(PlainLines, TakeOnlyWhatTheGeneralRuleReadsAlike) {
  const std::vector<int> ten = {123, 45, 6, 999998, 0, 7, 88, 51199, 51200, 100};
  const std::string m = mr_line("ABC01", 1810, ten);
  const std::string i = ir_line("CHR", 1810, {1000, 7, 8, 9989, 0, 1, 2, 3, 4, 5});
  struct Case {
    const char* what;
    LayoutCode code;
    std::string first;
  };
  const auto with = [](std::string s, std::size_t at, char c) {
    s[at] = c;
    return s;
  };
  const std::vector<Case> cases = {
      {"plain", LayoutCode::mr, m},
      {"CR LF", LayoutCode::mr, m + "\r"},
      {"a column more", LayoutCode::mr, m + " "},
      {"a column less", LayoutCode::mr, m.substr(0, 71)},
      {"end marker", LayoutCode::mr, mr_line("ABC01", 1810, {1, 2, 3, 4, 5, 999, 7, 8, 9, 10})},
      {"thousandths marker", LayoutCode::mr,
       mr_line("ABC01", 1810, {1, 2, -9999, 4, 5, 6, 7, 8, 9, 10})},
      {"missing ring", LayoutCode::mr, mr_line("ABC01", 1810, {1, 2, 3, -4, 5, 6, 7, 8, 9, 10})},
      {"blank inside a field", LayoutCode::mr, with(m, 63, ' ')},
      {"letter in a field", LayoutCode::mr, with(m, 40, 'x')},
      {"tab in the ID", LayoutCode::mr, with(m, 2, '\t')},
      {"carriage return in the ID", LayoutCode::mr, with(m, 3, '\r')},
      {"high byte in the ID", LayoutCode::mr, with(m, 0, '\xE9')},
      {"blank year", LayoutCode::mr, with(with(with(with(m, 8, ' '), 9, ' '), 10, ' '), 11, ' ')},
      {"minus in column 8", LayoutCode::mr, with(m, 7, '-')},
      {"blank value field", LayoutCode::mr, with(with(with(m, 15, ' '), 16, ' '), 17, ' ')},
      {"index plain", LayoutCode::ir, i},
      {"index CR LF", LayoutCode::ir, i + "\r"},
      {"index padding", LayoutCode::ir, ir_line("CHR", 1810, {1000, 9990, 8, 9, 0, 1, 2, 3, 4, 5})},
      {"index blank count", LayoutCode::ir, with(with(i, 78, ' '), 79, ' ')},
      {"index count not aligned", LayoutCode::ir, with(i, 79, ' ')},
      {"index letter in a count", LayoutCode::ir, with(i, 21, 'q')},
  };
  for (const Case& c : cases) {
    // The case's line, then plain lines: a run takes none, or it and the rest.
    std::string text = c.first + "\n";
    const std::string next =
        c.code == LayoutCode::mr ? mr_line("ABC01", 1820, ten) + "\n" : i + "\n";
    for (int k = 0; k < 3; ++k) text += next;
    for (const std::int32_t max_lines : {1, 2, 4}) {
      expect_agreement(text, c.code, max_lines, nullptr, c.what);
    }
    // The buffer may end anywhere, also within a line end.
    for (std::size_t cut = 60; cut < 90 && cut < text.size(); ++cut) {
      expect_agreement(std::string_view(text).substr(0, cut), c.code, 4, nullptr, c.what);
    }
  }
}

TEST(PlainLines, ACheckTakesOnlyLinesOfItsIdAndYearsWithoutZeros) {
  const std::string id = "ABC01   ";
  std::uint64_t word = 0;
  std::memcpy(&word, id.data(), 8);
  const PlainCheck check{word, ~std::uint64_t{0}, 1820};
  const std::vector<int> ten = {12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
  const auto text = [&](const std::string& third) {
    return mr_line(id, 1820, ten) + "\n" + mr_line(id, 1830, ten) + "\n" + third + "\n";
  };
  expect_agreement(text(mr_line(id, 1840, ten)), LayoutCode::mr, 3, &check, "all");
  expect_agreement(text(mr_line(id, 1850, ten)), LayoutCode::mr, 3, &check, "year skips");
  expect_agreement(text(mr_line("ABC02", 1840, ten)), LayoutCode::mr, 3, &check, "other ID");
  std::vector<int> zero = ten;
  zero[9] = 0;
  expect_agreement(text(mr_line(id, 1840, zero)), LayoutCode::mr, 3, &check, "a zero");
  std::uint64_t six = 0;
  std::memcpy(&six, "CHR   ", 6);
  const PlainCheck index{six, (std::uint64_t{1} << 48) - 1, 1810};
  const std::string i = ir_line("CHR", 1810, {1000, 7, 8, 9989, 3, 1, 2, 3, 4, 5});
  expect_agreement(i + "\n" + ir_line("CHR", 1820, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}) + "\n",
                   LayoutCode::ir, 2, &index, "index");
}

// Every line of every real file, as it stands and with CR LF line ends, starts a run.
TEST(PlainLines, EveryLineOfTheRealFilesAgrees) {
  int taken = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CORVANE_TEST_DATA)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const LayoutCode code = name.ends_with(".crn") ? LayoutCode::ir : LayoutCode::mr;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string lf = ss.str();
    std::string crlf;
    for (const char c : lf) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    for (const std::string* text : {&lf, &crlf}) {
      std::size_t at = 0;
      while (at < text->size()) {
        const std::string_view rest = std::string_view(*text).substr(at);
        expect_agreement(rest, code, 3, nullptr, name + " at byte " + std::to_string(at));
        if (::testing::Test::HasFatalFailure()) return;
        taken += by_general_rule(rest, code, 1, nullptr).lines;
        const std::size_t nl = rest.find('\n');
        if (nl == std::string_view::npos) break;
        at += nl + 1;
      }
    }
  }
  EXPECT_GT(taken, 1000);  // the real files are mostly plain lines
}

}  // namespace
}  // namespace corvane
