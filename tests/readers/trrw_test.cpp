// Tests of the decade-format reader: measurement ("mr") and index ("ir") layouts.
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/run_numbers.h"
#include "readers/readers.h"
#include "readers/series_file.h"

namespace corvane {
namespace {

using testing::constant;
using testing::mr_series;
using testing::pad;
using testing::Series;
using testing::SeriesFile;
using testing::TempDir;
using testing::write_file;

std::string rjust(std::string_view s, std::size_t width) {
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + std::string(s);
}

// A measurement line: ID, year field (columns 9-12), then 6-column fields as written.
std::string mr_line(std::string_view id, std::string_view year,
                    const std::vector<std::string>& fields) {
  std::string line = pad(id, 8) + rjust(year, 4);
  for (const auto& f : fields) line += rjust(f, 6);
  return line + "\n";
}

// An index line: 6-character ID, year field (columns 7-10), pairs of value and count.
std::string ir_line(std::string_view id, std::string_view year,
                    const std::vector<std::string>& values, std::string_view count = "7") {
  std::string line = pad(id, 6) + rjust(year, 4);
  for (const auto& v : values) line += rjust(v, 4) + rjust(count, 3);
  return line + "\n";
}

std::vector<std::string> numbers(int from, int count) {
  std::vector<std::string> r;
  for (int i = 0; i < count; ++i) r.push_back(std::to_string(from + i));
  return r;
}

std::vector<float> hundredths(int from, int count) {
  std::vector<float> r;
  for (int i = 0; i < count; ++i) r.push_back(static_cast<float>(from + i) * 0.01f);
  return r;
}

std::vector<float> concat(std::vector<float> a, const std::vector<float>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Bit-exact comparison of single-precision values.
void expect_bits(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[i]), std::bit_cast<std::uint32_t>(want[i]))
        << "value " << i + 1 << ": " << got[i] << " against " << want[i];
  }
}

std::string text_lines(int count) {
  std::string r;
  for (int i = 0; i < count; ++i) {
    r += i % 3 == 0   ? "Site header line " + std::to_string(i) + "\n"
         : i % 3 == 1 ? mr_line("BAD", "2000", {"100", "1x0"})  // a letter in a value field
                      : std::string("A       19.5   100\n");    // a decimal point
  }
  return r;
}

TEST(ReadersTrrw, HeaderLinesThenSeriesWithCounterRunningOn) {
  SeriesFile f(text_lines(3) + mr_series("AB01", 1901, {150, 23, 7}) +
                   mr_series("AB02", 1990, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
               LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, "AB01    ");
  EXPECT_EQ(got[0].year, 1901);
  expect_bits(got[0].values, {float(150) * 0.01f, float(23) * 0.01f, float(7) * 0.01f});
  EXPECT_FALSE(got[0].self_describing);
  EXPECT_EQ(got[1].id, "AB02    ");
  EXPECT_EQ(got[1].year, 1990);
  expect_bits(got[1].values, hundredths(1, 12));
  EXPECT_EQ(f.out(), "");
}

TEST(ReadersTrrw, CounterOfTheEndStartsAgainAtOne) {
  // A counter left at -999 by the end of a file counts as 0 on entry.
  testing::SeriesFile f(mr_series("AB01", 1901, {150}), LayoutCode::mr);
  f.set_counter(kEndOfFile);
  EXPECT_EQ(f.call(), 1);
  EXPECT_EQ(f.last.id, "AB01    ");
  EXPECT_EQ(f.call(), kEndOfFile);
}

// The first data line holds the years from the first year to the end of its decade block; the
// slots after them are ignored whatever they hold. The marker of a series that ends a decade
// stands alone in slot 1 of the next line.
TEST(ReadersTrrw, FirstLineSlotsFollowTheSignedYear) {
  struct Case {
    const char* id;
    const char* year_field;
    std::int32_t year;
    int first_line;
  };
  const Case cases[] = {
      {"A1923", "1923", 1923, 7},    {"A1929", "1929", 1929, 1}, {"A1920", "1920", 1920, 10},
      {"AM5", "-5", -5, 5},          {"AM10", "-10", -10, 10},   {"A0", "0", 0, 10},
      {"SS004B -", "2649", 2649, 9},  // -2649: r = 1
      {"SS004B -", "2641", 2641, 1},  // -2641: r = 9
      {"X      -", "1001", 1001, 1},  // -1001: r = 9
  };
  const std::vector<std::string> junk = {"999", "-9999", "555"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + " " + c.year_field);
    std::vector<std::string> first = numbers(101, c.first_line);
    for (int k = c.first_line; k < 10; ++k) first.push_back(junk[k % 3]);
    SeriesFile f(mr_line(c.id, c.year_field, first) + mr_line(c.id, "", numbers(201, 10)) +
                     mr_line(c.id, "", {"999"}),
                 LayoutCode::mr);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, pad(c.id, 8));
    EXPECT_EQ(got[0].year, c.year);
    expect_bits(got[0].values, concat(hundredths(101, c.first_line), hundredths(201, 10)));
  }
}

TEST(ReadersTrrw, EndMarkersAndScaling) {
  const float tenth = 0.1f;
  struct Case {
    const char* what;
    std::vector<std::string> fields;
    std::vector<float> want;
  };
  const Case cases[] = {
      {"closed by 999", {"150", "23", "999"}, {float(150) * 0.01f, float(23) * 0.01f}},
      {"closed by -9999",
       {"150", "23", "5", "-9999"},
       {(float(150) * 0.01f) * tenth, (float(23) * 0.01f) * tenth, (float(5) * 0.01f) * tenth}},
      {"-999 is no marker: a missing ring, 0", {"-999", "999"}, {0.0f}},
      {"9990 is a value", {"9990", "999"}, {float(9990) * 0.01f}},
      {"+999 is the marker", {"150", "+999", "7"}, hundredths(150, 1)},
      {"9 99 is the marker", {"150", "9 99", "7"}, hundredths(150, 1)},
      {"-99 99 is the marker", {"150", "-99 99"}, {(float(150) * 0.01f) * tenth}},
      {"999 first", {"999", "150"}, {}},
      {"-9999 first", {"-9999", "150"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SeriesFile f(mr_line("S1", "2000", c.fields) + mr_series("S2", 2000, {42}), LayoutCode::mr);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 2u);  // what follows the marker on its line is discarded
    expect_bits(got[0].values, c.want);
    expect_bits(got[1].values, hundredths(42, 1));
  }
  // Thousandths come from hundredths times a tenth, which differs from v x 0.001 at once.
  EXPECT_NE(std::bit_cast<std::uint32_t>((float(5) * 0.01f) * tenth),
            std::bit_cast<std::uint32_t>(float(5) * 0.001f));
}

TEST(ReadersTrrw, HashInColumn80BeforeTheFirstDataLineHandsOver) {
  const std::string hashed_data_line = pad(mr_line("B", "", numbers(11, 10)).substr(0, 72), 79);
  SeriesFile f(text_lines(1) + pad("TITLE001 a self-described series", 79) + "#\n" +
                   "n        3      1850  (10F8.3)\n" + "   1.000   2.000   3.000\n" +
                   mr_line("B", "2000", numbers(1, 10)) + hashed_data_line + "#\n" +
                   mr_line("B", "", {"999"}),
               LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, "TITLE001");
  EXPECT_TRUE(got[0].self_describing);
  EXPECT_EQ(got[0].year, 1850);
  expect_bits(got[0].values, {1.0f, 2.0f, 3.0f});
  EXPECT_EQ(got[1].id, "B       ");
  EXPECT_FALSE(got[1].self_describing);
  expect_bits(got[1].values, hundredths(1, 20));
}

// Blank lines carry nothing: they neither add values nor count as text lines.
TEST(ReadersTrrw, BlankLinesAreSkippedWhereverTheyStand) {
  std::string before;
  for (int i = 0; i < 30; ++i) before += i % 2 == 0 ? "\n" : std::string(i, ' ') + "\n";
  const std::string a = mr_series("A", 1995, constant(25, 100));
  const auto cut = a.find('\n') + 1;  // blank lines inside the series, after its first line
  SeriesFile f(before + text_lines(25) + a.substr(0, cut) + "\n" + pad("", 80) +
                   "text beyond column 80\n" + a.substr(cut) + "   \n\n" +
                   mr_series("B", 2001, {5}) + "\n\n",
               LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].id, "A       ");
  EXPECT_EQ(got[0].year, 1995);
  EXPECT_EQ(got[0].values.size(), 25u);
  EXPECT_EQ(got[1].id, "B       ");
  EXPECT_EQ(got[1].values.size(), 1u);
}

TEST(ReadersTrrw, ShortLineReadsMissingFieldsAsZero) {
  SeriesFile f("A       2000   100\nA       2010    50   999\nB       2000\nB       2010   999\n",
               LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 2u);
  std::vector<float> want(10, 0.0f);
  want[0] = 1.0f;
  want.push_back(0.5f);
  expect_bits(got[0].values, want);
  expect_bits(got[1].values, std::vector<float>(10, 0.0f));
}

// At most 25 text lines in one call, counted afresh in every call; text lines inside a series
// count for its call.
TEST(ReadersTrrw, TwentySixthTextLineInOneCallStops) {
  struct Case {
    int before, inside;
    bool stops;
  };
  const Case cases[] = {{25, 0, false}, {26, 0, true}, {20, 5, false}, {20, 6, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before) + " before, " + std::to_string(c.inside) + " inside");
    SeriesFile f(text_lines(c.before) + mr_line("A", "2000", numbers(1, 10)) +
                     text_lines(c.inside) + mr_line("A", "2010", {"999"}),
                 LayoutCode::mr);
    EXPECT_EQ(f.stop_status(), c.stops ? kExitStopped : -1);
    EXPECT_EQ(f.out(), c.stops ? "sbr trrw:  over 25 text lines\n" : "");
    if (!c.stops) {
      ASSERT_EQ(f.read.size(), 1u);
      expect_bits(f.read[0].values, hundredths(1, 10));
    }
  }
  SeriesFile f(text_lines(25) + mr_series("A", 2000, {1}) + text_lines(25) +
                   mr_series("B", 2000, {2}) + text_lines(25),
               LayoutCode::mr);
  EXPECT_EQ(f.all().size(), 2u);
}

TEST(ReadersTrrw, SeriesNotClosedAtTheEndIsNotReturned) {
  const std::string open_ended = mr_line("B", "2000", numbers(1, 10));
  SeriesFile f(mr_series("A", 2000, {1}) + open_ended, LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].id, "A       ");
  SeriesFile empty("", LayoutCode::mr);
  EXPECT_EQ(empty.call(), kEndOfFile);
  SeriesFile after_end(mr_series("A", 2000, {1}), LayoutCode::mr);
  EXPECT_EQ(after_end.call(), 1);
  EXPECT_EQ(after_end.call(), kEndOfFile);
  EXPECT_EQ(after_end.call(), kEndOfFile);  // a call after the end meets it again
}

TEST(ReadersTrrw, TenThousandValuesAndNoMore) {
  SeriesFile full(mr_series("FULL", -1000, constant(kMaxValues, 100)), LayoutCode::mr);
  EXPECT_EQ(full.stop_status(), -1) << full.out();
  const auto& got = full.read;
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values.size(), 10000u);
  EXPECT_EQ(got[0].values.back(), 1.0f);

  SeriesFile over(mr_series("TOOLONG", -1000, constant(kMaxValues + 1, 100)), LayoutCode::mr);
  EXPECT_EQ(over.stop_status(), kExitStopped);
  EXPECT_NE(over.out().find("TOOLONG"), std::string::npos) << over.out();
  EXPECT_NE(over.out().find("10000"), std::string::npos) << over.out();
}

TEST(ReadersTrrw, LongLinesAreCutAtColumn80AndCarriageReturnsDropped) {
  std::string long_data = mr_line("A", "2000", numbers(1, 10));
  long_data.pop_back();
  long_data = pad(long_data, 80) + std::string(1 << 20, 'x') + "\n";
  const std::string hash_at_81 = pad("Header  x", 80) + "#\n";  // no hand-over
  SeriesFile f(hash_at_81 + long_data + "A       2010   999", LayoutCode::mr);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  expect_bits(got[0].values, hundredths(1, 10));

  // CR CR LF line ends read like LF ends; so does a last line with CRs but no line feed.
  std::string plain = text_lines(2) + "\n" + mr_series("A", 1995, constant(8, 100));
  std::string crs;
  for (char c : plain) crs += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
  crs += "B       2000   999\r\r";
  SeriesFile g(crs, LayoutCode::mr);
  const auto read = g.all();
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].values.size(), 8u);
  EXPECT_EQ(read[1].values.size(), 0u);
}

// In the index layout every line is aligned on its decade block: the first value stands in
// slot r + 1, and the slots before it are ignored whatever they hold.
TEST(ReadersTrrwIndex, FirstValueInSlotOfItsYear) {
  struct Case {
    const char* year_field;
    std::int32_t year;
    int first_slot;
  };
  const Case cases[] = {{"1923", 1923, 4}, {"1929", 1929, 10}, {"-5", -5, 6},
                        {"-10", -10, 1},   {"0", 0, 1},        {"1920", 1920, 1}};
  const std::vector<std::string> junk = {"9990", "9999", "1234"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year_field);
    std::vector<std::string> first;
    for (int k = 1; k < c.first_slot; ++k) first.push_back(junk[k % 3]);
    const int taken = 11 - c.first_slot;
    for (int k = 0; k < taken; ++k) first.push_back(std::to_string(1001 + k));
    SeriesFile f(ir_line("ABCDEF", c.year_field, first) +
                     ir_line("ABCDEF", "", {"500", "9989", "9990", "1"}),
                 LayoutCode::ir);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, "ABCDEF  ");
    EXPECT_EQ(got[0].year, c.year);
    std::vector<float> want;
    for (int k = 0; k < taken; ++k) want.push_back(float(1001 + k) * 0.001f);
    want.push_back(float(500) * 0.001f);
    want.push_back(float(9989) * 0.001f);
    expect_bits(got[0].values, want);
  }
}

TEST(ReadersTrrwIndex, EndsAtAnyValueOf9990OrMore) {
  for (const char* marker : {"9990", "9995", "9999"}) {
    SCOPED_TRACE(marker);
    SeriesFile f(ir_line("A", "2000", {"1000", marker, "1000"}), LayoutCode::ir);
    const auto got = f.all();
    ASSERT_EQ(got.size(), 1u);
    expect_bits(got[0].values, {1.0f});
  }
}

TEST(ReadersTrrwIndex, MarkerInTheFirstSlotIsPaddingBeforeTheFirstValue) {
  // After the first value, blank slots (here those the short line leaves) read 0 again.
  SeriesFile f(
      ir_line("CHR1", "1920", {"9990", "1000", "1000"}) + ir_line("CHR1", "1930", {"1000", "9990"}),
      LayoutCode::ir);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].year, 1921);
  expect_bits(got[0].values, {1.0f, 1.0f, 0, 0, 0, 0, 0, 0, 0, 1.0f});
}

TEST(ReadersTrrwIndex, SeriesWithoutMarkerRunsIntoTheNextLines) {
  const std::vector<std::string> ten(10, "1000");
  SeriesFile f(ir_line("AAA", "1990", ten) + ir_line("BBB", "2000", {"500", "9990"}),
               LayoutCode::ir);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].id, "AAA     ");
  EXPECT_EQ(got[0].year, 1990);
  EXPECT_EQ(got[0].values.size(), 11u);
  EXPECT_EQ(got[0].values.back(), 0.5f);

  SeriesFile lost(ir_line("AAA", "1990", ten) + ir_line("BBB", "2000", ten), LayoutCode::ir);
  EXPECT_TRUE(lost.all().empty());
}

TEST(ReadersTrrwIndex, CountThatFailsToConvertMakesATextLine) {
  const std::vector<std::string> ten(10, "1000");
  SeriesFile f(ir_line("A", "2000", ten) + ir_line("A", "2010", ten, "x") +
                   ir_line("A", "2010", ten, "1.") + ir_line("A", "2010", {"2000", "9990"}),
               LayoutCode::ir);
  const auto got = f.all();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values.size(), 11u);
  EXPECT_EQ(got[0].values.back(), 2.0f);
}

}  // namespace
}  // namespace corvane
