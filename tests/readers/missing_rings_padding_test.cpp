// Missing-ring codes in measurement series and padding at the head of chronologies, against a
// small reference of the decade slot rules written for these tests alone.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "readers/readers.h"
#include "readers/series_file.h"

namespace corvane {
namespace {

using testing::Series;
using testing::SeriesFile;

std::string rjust(std::string_view s, std::size_t width) {
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + std::string(s);
}

// "mr" line: 8-column ID, year, 6-column values as written.
std::string mr(std::string_view id, int year, const std::vector<std::string>& v) {
  std::string line = (std::string(id) + "        ").substr(0, 8) + rjust(std::to_string(year), 4);
  for (const auto& f : v) line += rjust(f, 6);
  return line + "\n";
}

// "ir" line: 6-column ID, year, pairs of a 4-column value ("" leaves it blank) and a count.
std::string ir(std::string_view id, int year, const std::vector<std::string>& v) {
  std::string line = (std::string(id) + "      ").substr(0, 6) + rjust(std::to_string(year), 4);
  for (const auto& f : v) line += rjust(f, 4) + "  7";
  return line + "\n";
}

// The reference: a file as a list of lines, each read by the integer-field rule, a series made
// call by call from the slot rules as they are stated. No text-line limit, no "#" lines.
struct RefLine {
  bool data = false, blank_line = false;
  std::string id;
  std::int32_t year = 0;
  std::int32_t v[10] = {};
  bool blank[10] = {};
};

RefLine ref_line(std::string text, bool measurement) {
  RefLine r;
  text.resize(80, ' ');
  r.blank_line = text.find_first_not_of(' ') == std::string::npos;
  const std::size_t idw = measurement ? 8 : 6;
  r.id = text.substr(0, idw);
  bool ok = parse_integer_field(std::string_view(text).substr(idw, 4), r.year);
  for (std::size_t k = 0; k < 10; ++k) {
    const std::size_t at = measurement ? 12 + 6 * k : 10 + 7 * k;
    const std::string_view field = std::string_view(text).substr(at, measurement ? 6 : 4);
    r.blank[k] = field.find_first_not_of(' ') == std::string_view::npos;
    ok = ok && parse_integer_field(field, r.v[k]);
    std::int32_t count = 0;
    if (!measurement)
      ok = ok && parse_integer_field(std::string_view(text).substr(at + 4, 3), count);
  }
  r.data = ok;
  return r;
}

std::vector<Series> reference(const std::string& file, bool measurement) {
  std::vector<RefLine> lines;
  for (std::size_t at = 0; at < file.size();) {
    const std::size_t end = file.find('\n', at);
    lines.push_back(ref_line(file.substr(at, end - at), measurement));
    at = end + 1;
  }
  const auto mod10 = [](std::int32_t y) { return ((y % 10) + 10) % 10; };
  std::vector<Series> out;
  std::size_t i = 0;
  for (;;) {
    while (i < lines.size() && (lines[i].blank_line || !lines[i].data)) ++i;
    if (i == lines.size()) return out;
    Series s;
    s.id = lines[i].id + (measurement ? "" : "  ");
    s.year = lines[i].year;
    std::int32_t from = 0, to = 10;
    if (measurement) {
      to = 10 - mod10(lines[i].id[7] == '-' ? -s.year : s.year);
    } else {
      from = mod10(s.year);
      std::int32_t block = s.year - from;
      bool empty = false;
      if (lines[i].v[from] >= 9990) {
        for (;;) {
          const RefLine& l = lines[i];
          while (from < 10 && (l.v[from] >= 9990 || l.blank[from])) ++from;
          if (from < 10) {
            s.year = block + from;
            break;
          }
          const bool next = i + 1 < lines.size() && lines[i + 1].data && !lines[i + 1].blank_line &&
                            lines[i + 1].id == l.id && lines[i + 1].year == block + 10;
          if (!next) {
            s.year = l.year;
            empty = true;
            break;
          }
          ++i;
          block += 10;
          from = 0;
        }
      }
      if (empty) {
        out.push_back(s);
        ++i;
        continue;
      }
    }
    bool closed = false, thousandths = false;
    for (; i < lines.size() && !closed; ++i, from = 0, to = 10) {
      if (lines[i].blank_line || !lines[i].data) continue;
      for (std::int32_t k = from; k < to && !closed; ++k) {
        const std::int32_t v = lines[i].v[k];
        if (measurement ? v == 999 || v == -9999 : v >= 9990) {
          closed = true;
          thousandths = v == -9999;
        } else if (measurement && v < 0) {
          s.values.push_back(0.0f);
          ++s.missing_rings;
        } else {
          s.values.push_back(static_cast<float>(v) * (measurement ? 0.01f : 0.001f));
        }
      }
    }
    if (!closed) return out;  // the file ended inside the series: it is dropped
    if (thousandths) {
      for (float& x : s.values) x *= 0.1f;
    }
    out.push_back(s);
  }
}

struct Case {
  const char* what;
  LayoutCode code;
  std::string file;
  std::vector<std::array<std::int32_t, 3>> series;  // each series' first year, N, missing rings
};

// Every case read by trrw as the reference reads it, and as stated.
TEST(ReadersMissingRingsAndPadding, AsTheSlotRulesSay) {
  constexpr LayoutCode M = LayoutCode::mr, I = LayoutCode::ir;
  const std::vector<std::string> padding6 = {"", "", "", "", "", ""};
  const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<Case> cases = {
      {"-999 kept in its year",
       M,
       mr("712011", 1897, {"50", "60", "70"}) + mr("712011", 1900, {"-999", "80", "999"}),
       {{1897, 5, 1}}},
      {"-7 and -2599, several on a full line",
       M,
       mr("A1", 1900, {"-7", "100", "-2599", "-7", "0", "20", "30", "40", "50", "60"}) +
           mr("A1", 1910, {"999"}),
       {{1900, 10, 3}}},
      {"closed by -9999: the 0 scales to 0",
       M,
       mr("B2", 1901, {"150", "-999", "23", "-9999"}),
       {{1901, 3, 1}}},
      {"a written 0 is no missing ring; counts start afresh",
       M,
       mr("D4", 2000, {"0", "-1", "999"}) + mr("E5", 2000, {"0", "999"}),
       {{2000, 2, 1}, {2000, 1, 0}}},
      {"a year below -999 with its sign in column 8",
       M,
       mr("NEG    -", 1005, {"-999", "5", "999"}),
       {{1005, 2, 1}}},
      {"index values below 0 stay as written",
       I,
       ir("CRN", 2000, {"-5", "1000", "9990"}),
       {{2000, 2, 0}}},
      {"padding from the first year's slot",
       I,
       ir("ca533r", 626, with(padding6, {"9990", "9990", "1000", "1200"})) +
           ir("ca533r", 630, {"1300", "9990"}),
       {{628, 3, 0}}},
      {"blank slots after padding are padding, not 0",
       I,
       ir("P1", 1920, {"9990", "", "9999", "", "800", "9990"}),
       {{1924, 1, 0}}},
      {"a blank first slot begins the series there",
       I,
       ir("P2", 1920, {"", "9990"}),
       {{1920, 1, 0}}},
      {"a short line of one 9990, then the same ID in the next block",
       I,
       ir("P0", 1920, {"9990"}).substr(0, 14) + "\n" + ir("P0", 1930, {"9990", "1000", "9990"}),
       {{1931, 1, 0}}},
      {"one all-padding line, then blanks as padding from slot 1",
       I,
       ir("ca533r", 626, with(padding6, {"9990", "9990", "9990", "9990"})) +
           ir("ca533r", 630, {"", "9990", "1000", "9990"}),
       {{632, 1, 0}}},
      {"two all-padding lines before the first value",
       I,
       ir("ca533r", 620, {"9990"}) + ir("ca533r", 630, {"9990", "9990"}) +
           ir("ca533r", 640, {"1000", "1100", "9990"}),
       {{640, 2, 0}}},
      {"an all-padding line followed by another ID",
       I,
       ir("ZERO", 1920, {"9990"}).substr(0, 17) + "\n" + ir("OTHER", 1930, {"1", "9990"}),
       {{1920, 0, 0}, {1930, 1, 0}}},
      {"the same ID at a wrong year",
       I,
       ir("P3", 1920, {"9990"}) + ir("P3", 1940, {"1", "9990"}),
       {{1920, 0, 0}, {1940, 1, 0}}},
      {"a chain ends on its last line of padding",
       I,
       ir("P4", 1920, {"9990"}) + ir("P4", 1930, {"9990"}) + ir("P4", 1950, {"1", "9990"}),
       {{1930, 0, 0}, {1950, 1, 0}}},
      {"a text line after the padding",
       I,
       ir("P5", 1920, {"9990"}) + "P5    1930 text\n" + ir("P5", 1930, {"1", "9990"}),
       {{1920, 0, 0}, {1930, 1, 0}}},
      {"a blank line ends the chain",
       I,
       ir("P6", 1920, {"9990"}) + "\n" + ir("P6", 1930, {"1", "9990"}),
       {{1920, 0, 0}, {1930, 1, 0}}},
      {"the end of the file after the padding", I, ir("P7", 1920, {"9990"}), {{1920, 0, 0}}},
      {"padding at a negative year",
       I,
       ir("NG", -15, {"", "", "", "", "", "9990", "9990", "500", "9990"}),
       {{-13, 1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Series> want = reference(c.file, c.code == M);
    SeriesFile f(c.file, c.code);
    const std::vector<Series> got = f.all();
    ASSERT_EQ(got.size(), want.size());
    ASSERT_EQ(got.size(), c.series.size());
    for (std::size_t s = 0; s < got.size(); ++s) {
      EXPECT_EQ(got[s].id, want[s].id);
      EXPECT_EQ(got[s].year, want[s].year);
      EXPECT_EQ(got[s].values, want[s].values);
      EXPECT_EQ(got[s].missing_rings, want[s].missing_rings);
      EXPECT_EQ((std::array{got[s].year, static_cast<std::int32_t>(got[s].values.size()),
                            got[s].missing_rings}),
                c.series[s]);
    }
  }
}

}  // namespace
}  // namespace corvane
