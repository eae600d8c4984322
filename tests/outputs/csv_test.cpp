// The catalogue as CSV: quoting, the shortest float form, rows and the in_optimum column.
#include "outputs/csv.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "outputs/table_fixture.h"
#include "test_util.h"

namespace corvane {
namespace {

using testing::MemorySink;
using testing::OwnedTable;

TEST(OutputsCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    std::string_view field;
    std::string_view expected;
  } cases[] = {
      {"", ""},
      {"oaks.rwl", "oaks.rwl"},
      {"dir with blanks/a b.rwl", "dir with blanks/a b.rwl"},
      {"a,b.rwl", "\"a,b.rwl\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"lf\nhere", "\"lf\nhere\""},
      {"semi;colon 'single'", "semi;colon 'single'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    std::string out = "x";
    append_csv_field(out, c.field);
    std::string expected = "x";
    expected += c.expected;
    EXPECT_EQ(out, expected);
  }
}

TEST(OutputsCsv, MeansInTheirShortestForm) {
  const struct {
    float value;
    std::string_view expected;
  } cases[] = {
      {1.456f, "1.456"},
      {2.0f, "2"},
      {0.5081262f, "0.5081262"},
      {12345.0f, "12345"},
      {1e10f, "1e+10"},
      {-0.0f, "-0"},
      {std::numeric_limits<float>::infinity(), "inf"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
      {std::numeric_limits<float>::max(), "3.4028235e+38"},
      {std::numeric_limits<float>::denorm_min(), "1e-45"},
      {std::numeric_limits<float>::quiet_NaN(), "nan"},
      {-std::numeric_limits<float>::quiet_NaN(), "nan"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string out;
    append_shortest_float(out, c.value);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(OutputsCsv, IdsWithoutTheYearsSignAndBlanks) {
  // Only a "-" that gave the first year its sign goes; a self-describing ID keeps its own.
  testing::OwnedTable t;
  t.add("a.rwl", "SS004B -", -2649, 3, 1.0f, true);
  t.add("a.rwl", " SS35X", -396, 3);
  t.add("a.rwl", "SD-TEST-", -5, 3);
  t.add("a.rwl", "       -", 5, 3, 1.0f, true);
  t.add("a.rwl", "", 5, 3);
  testing::MemorySink sink;
  write_csv(sink, t.view(), Optimum{});
  std::vector<std::string> ids;
  for (std::size_t at = sink.text.find('\n') + 1; at < sink.text.size();) {
    const std::size_t end = sink.text.find('\n', at);
    const std::string row = sink.text.substr(at, end - at);
    const std::size_t a = row.find(',', row.find(',') + 1) + 1;
    ids.push_back(row.substr(a, row.find(',', a) - a));
    at = end + 1;
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"SS004B", "SS35X", "SD-TEST-", "", ""}));
}

TEST(OutputsCsv, IdsThatNeedQuotesAreQuotedInTheirRows) {
  OwnedTable t;
  t.add("a.rwl", "A,B", 1900, 2, 1.0f);
  t.add("a.rwl", "\"\"\"\"\"\"\"\"", -1, 1, -0.5f);  // eight quotes: the longest field
  MemorySink sink;
  write_csv(sink, t.view(), Optimum{});
  EXPECT_EQ(sink.text, std::string(kCsvHeader) +
                           "\n"
                           "a.rwl,1,\"A,B\",1900,1901,2,1,,,,,,,,,\n"
                           "a.rwl,2,\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\",-1,-1,1,-0.5,,,,,,,,,\n");
}

TEST(OutputsCsv, RowsNumberSeriesWithinTheirFileAndMarkTheOptimum) {
  OwnedTable t;
  t.add("a.rwl", "ALPHA", 1900, 100, 1.0f);
  t.add("a.rwl", "BETA", 1950, 50, 2.5f);
  t.add("b,c.rwl", "ABC1234-", -1234, 50, 0.25f);
  t.add("b,c.rwl", "EMPTY", 1950, 0);
  t.add("d.rwl", "SPAN", 1940, 70, 12345.0f);
  const Optimum optimum = Interval{1950, 1999, 50, 3, 150};
  MemorySink sink;
  write_csv(sink, t.view(), optimum);
  EXPECT_EQ(sink.text, std::string(kCsvHeader) +
                           "\n"
                           "a.rwl,1,ALPHA,1900,1999,100,1,true,,,,,,,,\n"
                           "a.rwl,2,BETA,1950,1999,50,2.5,true,,,,,,,,\n"
                           "\"b,c.rwl\",1,ABC1234-,-1234,-1185,50,0.25,false,,,,,,,,\n"
                           "\"b,c.rwl\",2,EMPTY,1950,1949,0,,false,,,,,,,,\n"
                           "d.rwl,1,SPAN,1940,2009,70,12345,true,,,,,,,,\n");
}

TEST(OutputsCsv, InOptimumAtTheIntervalsEdges) {
  // Optimum 1900-1950: a series must begin in or before 1900 and end in or after 1950.
  OwnedTable t;
  t.add("f", "EXACT", 1900, 51);   // 1900-1950
  t.add("f", "LATE", 1901, 60);    // begins a year late
  t.add("f", "SHORT", 1850, 100);  // 1850-1949: ends a year early
  t.add("f", "WIDE", 1800, 300);   // 1800-2099
  t.add("f", "NOVALUE", 1900, 0);  // no values, never in
  t.add("f", "NEG", -5000, 7000);  // -5000-1999
  MemorySink sink;
  write_csv(sink, t.view(), Interval{1900, 1950, 51, 3, 153});
  const std::string expected_tail[] = {",true,,,,,,,,\n", ",false,,,,,,,,\n", ",false,,,,,,,,\n",
                                       ",true,,,,,,,,\n", ",false,,,,,,,,\n", ",true,,,,,,,,\n"};
  std::size_t at = sink.text.find('\n') + 1;
  for (const std::string& tail : expected_tail) {
    const std::size_t end = sink.text.find('\n', at) + 1;
    const std::string row = sink.text.substr(at, end - at);
    SCOPED_TRACE(row);
    EXPECT_TRUE(row.ends_with(tail));
    at = end;
  }
  EXPECT_EQ(at, sink.text.size());
}

TEST(OutputsCsv, NoIntervalLeavesInOptimumEmptyInEveryRow) {
  OwnedTable t;
  t.add("f", "A", 1900, 10);
  t.add("f", "B", 1900, 0);
  const Optimum cases[] = {Interval{}, std::nullopt};  // found none; records not read back
  for (const Optimum& optimum : cases) {
    MemorySink sink;
    write_csv(sink, t.view(), optimum);
    EXPECT_EQ(sink.text, std::string(kCsvHeader) +
                             "\n"
                             "f,1,A,1900,1909,10,1,,,,,,,,,\n"
                             "f,2,B,1900,1899,0,,,,,,,,,,\n");
  }
}

TEST(OutputsCsv, StatisticsFollowInOptimumAndEmptyOnesStayEmpty) {
  OwnedTable t;
  t.add("f", "A", 1900, 4, 4.0f);
  t.add("f", "B", 1900, 1, 2.5f);
  t.add("f", "C", 1900, 0);
  SeriesDescriber describer;
  const std::vector<float> a = {1, 2, 3, 10}, b = {2.5f};
  t.stats = {describer.describe(a), describer.describe(b), describer.describe({})};
  t.stats[0].missing = 3;
  MemorySink sink;
  write_csv(sink, t.view(), Interval{1900, 1903, 4, 1, 4});
  EXPECT_EQ(sink.text,
            std::string(kCsvHeader) +
                "\n"
                "f,1,A,1900,1903,4,4,true,2.5,4.08248,0.661362,-1.7454,0.71453,0.4375,0.04,3\n"
                "f,2,B,1900,1900,1,2.5,false,2.5,,,,,0,,0\n"
                "f,3,C,1900,1899,0,,false,,,,,,,,0\n");
}

TEST(OutputsCsv, EmptyCatalogueIsTheHeaderAlone) {
  OwnedTable t;
  MemorySink sink;
  write_csv(sink, t.view(), Interval{});
  EXPECT_EQ(sink.text, std::string(kCsvHeader) + "\n");
}

TEST(OutputsCsv, LargeCatalogueIsWrittenInPieces) {
  OwnedTable t;
  for (int i = 0; i < 15000; ++i)
    t.add("some/directory/file.rwl", testing::numbered("S", i), 1900, 100);
  MemorySink sink;
  write_csv(sink, t.view(), Interval{1900, 1999, 100, 15000, 1500000});
  EXPECT_GT(sink.pieces, 4);
  EXPECT_EQ(std::count(sink.text.begin(), sink.text.end(), '\n'), 15001);
  EXPECT_TRUE(
      sink.text.ends_with("some/directory/file.rwl,15000,S14999,1900,1999,100,1,true,,,,,,,,\n"));
}

// Statistics as printf's "%.6g" writes them: near the ends of the fixed-point range, near
// halves and carries, and at random over many magnitudes.
TEST(OutputsCsv, StatisticsAreWrittenAsPrintfWritesThem) {
  std::vector<double> values = {0.5,
                                2.5,
                                1.0000005,
                                1.0000015,
                                123456.5,
                                1234565.0,
                                999999.5,
                                9999995.0,
                                0.99999949,
                                0.99999951,
                                0.0001,
                                0.0000999999,
                                0.00009999995,
                                99999.95,
                                999999.0,
                                1e-300,
                                1e300,
                                1e20,
                                1e21,
                                1.5e-15,
                                7.21354e-16,
                                0.1,
                                1.0 / 3,
                                2.0 / 3,
                                -0.00123456789,
                                1e-310,
                                -4.9e-324,
                                2.2250738585072014e-308};
  std::mt19937_64 random(16);
  std::uniform_real_distribution<double> exponent(-18.0, 23.0), mantissa(1.0, 10.0);
  for (int i = 0; i < 100000; ++i) {
    const double scaled = std::pow(10.0, std::floor(exponent(random)));
    values.push_back(mantissa(random) * scaled * (i % 2 == 0 ? 1 : -1));
    // Six digits and a half, written as decimal text and read back: the closest doubles to ties.
    values.push_back(std::round(mantissa(random) * 1e5) / 1e5 * scaled + 5e-6 * scaled);
  }
  for (const double v : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.6g", v);
    std::string out;
    append_statistic(out, v);
    ASSERT_EQ(out, expected) << std::hexfloat << v;
  }
}

}  // namespace
}  // namespace corvane
