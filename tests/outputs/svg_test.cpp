// The segment plot: well-formed SVG with one segment per series, in catalogue order, coloured
// by the optimum, a band for the optimum, and a size that grows linearly.
#include "outputs/svg.h"

#include <algorithm>
#include <cstdio>

#include "outputs/table_fixture.h"
#include "outputs/xml_reader.h"
#include "test_util.h"

namespace corvane {
namespace {

using testing::MemorySink;
using testing::OwnedTable;
using testing::XmlElement;
using testing::XmlReader;

struct Segment {
  double x = 0, y = 0, width = 0;
  bool included = false;
};

struct Plot {
  std::unique_ptr<XmlElement> root;
  std::vector<Segment> segments;  // by their height on the picture, top first
  std::size_t bytes = 0;
};

// Writes and reads back the plot; fails the test when it is no well-formed SVG.
Plot plot(const OwnedTable& t, const Optimum& optimum, std::string_view input = "in.lst") {
  MemorySink sink;
  write_svg(sink, t.view(), optimum, input);
  Plot p;
  p.bytes = sink.text.size();
  XmlReader reader;
  p.root = reader.read(sink.text);
  EXPECT_TRUE(p.root) << reader.error;
  if (!p.root) return p;
  EXPECT_EQ(p.root->name, "svg");
  EXPECT_EQ(p.root->attributes["version"], "1.1");
  EXPECT_EQ(p.root->attributes["xmlns"], "http://www.w3.org/2000/svg");
  for (const bool included : {true, false}) {
    const XmlElement* group = p.root->by_id(included ? "in-optimum" : "other-series");
    if (group == nullptr) continue;
    for (const auto& path : group->children) {
      EXPECT_EQ(path->name, "path");
      Segment s;
      s.included = included;
      EXPECT_EQ(std::sscanf(path->attributes["d"].c_str(), "M%lf %lfh%lf", &s.x, &s.y, &s.width), 3)
          << path->attributes["d"];
      p.segments.push_back(s);
    }
  }
  std::sort(p.segments.begin(), p.segments.end(),
            [](const Segment& a, const Segment& b) { return a.y < b.y; });
  return p;
}

// The reader that the plot's tests rely on refuses what is not well-formed.
TEST(OutputsSvg, TheTestsXmlReaderRefusesBadDocuments) {
  const std::string_view bad[] = {"<a><b></a></b>",   "<a x=1/>",     "<a>&bogus;</a>",
                                  "<a x='1' x='2'/>", "<a>\xff</a>",  "<a/><b/>",
                                  "<a>x < y</a>",     "<a x=\"<\"/>", "<a>",
                                  "<a x='1'y='2'/>",  "<a>\x01</a>",  "text"};
  for (const std::string_view doc : bad) {
    SCOPED_TRACE(doc);
    XmlReader reader;
    EXPECT_FALSE(reader.read(doc));
    EXPECT_FALSE(reader.error.empty());
  }
  XmlReader reader;
  EXPECT_TRUE(
      reader.read("<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n<a k='&amp;'>t<!-- c --><b/></a>\n"));
}

TEST(OutputsSvg, XmlTextIsEscapedAndKeptWellFormed) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"plain name.rwl", "plain name.rwl"},
      {"a&b<c>\"d\"'e'", "a&amp;b&lt;c&gt;&quot;d&quot;&apos;e&apos;"},
      {"tab\there\x01\x7f", "tab?here??"},
      {"caf\xc3\xa9 \xe2\x80\x93 \xf0\x9f\x8c\xb2", "caf\xc3\xa9 \xe2\x80\x93 \xf0\x9f\x8c\xb2"},
      {"latin1 \xe9t\xe9", "latin1 ?t?"},
      {"overlong \xc0\xaf", "overlong ??"},
      {"surrogate \xed\xa0\x80", "surrogate ???"},
      {"not a character \xef\xbf\xbe", "not a character ???"},
      {"cut \xe2\x80", "cut ??"},
      {"beyond \xf4\x90\x80\x80", "beyond ????"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string out;
    append_xml_text(out, c.text);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(OutputsSvg, RoundSteps) {
  const struct {
    std::int64_t range, target, step;
  } cases[] = {{0, 8, 1},     {1, 8, 1},      {8, 8, 1},       {9, 8, 2},         {16, 8, 2},
               {17, 8, 5},    {40, 8, 5},     {41, 8, 10},     {100, 8, 20},      {150, 8, 20},
               {701, 8, 100}, {3210, 8, 500}, {4655, 8, 1000}, {15000, 10, 2000}, {-5, 8, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.range));
    EXPECT_EQ(round_step(c.range, c.target), c.step);
  }
}

TEST(OutputsSvg, WorkedExampleTitleBandAndSegments) {
  OwnedTable t;
  t.add("abg.rwl", "ALPHA", 1900, 100);
  t.add("abg.rwl", " BETA  -", 1950, 50, 1.0f, true);  // labelled without blanks and sign
  t.add("abg.rwl", "GAMMA", 1800, 150);
  const Plot p = plot(t, Interval{1800, 1949, 150, 1, 150}, "abg.rwl");
  ASSERT_TRUE(p.root);
  std::vector<const XmlElement*> texts;
  p.root->find_all("text", texts);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front()->all_text(),
            "abg.rwl: span 1800 to 1999, 3 series; optimum 1800 to 1949: 150 years, 1 series "
            "included, 150 rings");
  ASSERT_NE(p.root->by_id("optimum-band"), nullptr);
  EXPECT_EQ(p.root->by_id("optimum-label")->text, "1800 to 1949");
  ASSERT_EQ(p.segments.size(), 3u);
  // Catalogue order from the top: ALPHA, BETA, GAMMA; GAMMA alone runs through 1800-1949.
  EXPECT_FALSE(p.segments[0].included);
  EXPECT_FALSE(p.segments[1].included);
  EXPECT_TRUE(p.segments[2].included);
  // Widths follow the number of years; starts follow the first years.
  const double per_year = p.segments[2].width / 150;
  EXPECT_NEAR(p.segments[0].width, 100 * per_year, 0.2);
  EXPECT_NEAR(p.segments[1].width, 50 * per_year, 0.2);
  EXPECT_NEAR(p.segments[0].x - p.segments[2].x, 100 * per_year, 0.2);
  EXPECT_NEAR(p.segments[1].x - p.segments[0].x, 50 * per_year, 0.2);
  // The band covers the optimum's years exactly.
  const XmlElement* band = p.root->by_id("optimum-band");
  EXPECT_NEAR(std::stod(band->attributes.at("x")), p.segments[2].x, 0.2);
  EXPECT_NEAR(std::stod(band->attributes.at("width")), 150 * per_year, 0.2);
  // Few series: each row is labelled with its ID.
  std::string all;
  for (const XmlElement* e : texts) all += e->all_text() + "|";
  EXPECT_NE(all.find("|ALPHA|BETA|GAMMA|"), std::string::npos);
}

// Steps where the count changes, none where one series ends as the next begins; years close
// together and years far apart (summed per year, or sorted) give the same steps.
TEST(OutputsSvg, DepthStepsOverNarrowAndWideSpans) {
  const std::string narrow = "H1900V1H1950V2H1990V3H2000V1H2055V0";
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide);
    OwnedTable t;
    t.add("a.rwl", "A", 1900, 100);
    t.add("a.rwl", "B", 1950, 100);
    t.add("a.rwl", "EMPTY", 1000, 0);
    t.add("a.rwl", "C", 1990, 10);
    t.add("a.rwl", "D", 2050, 5);
    if (wide) t.add("a.rwl", "FAR", 1000000000, 1);
    const Plot p = plot(t, Optimum{});
    ASSERT_TRUE(p.root);
    const XmlElement* depth = p.root->by_id("sample-depth");
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->attributes.at("d"),
              "M1900 0" + narrow + (wide ? "H1000000000V1H1000000001V0Z" : "Z"));
  }
}

TEST(OutputsSvg, NoBandWithoutAnInterval) {
  OwnedTable t;
  t.add("f.rwl", "A", 1900, 0);
  t.add("f.rwl", "B", 1910, 0);
  const struct {
    Optimum optimum;
    std::string_view says;
  } cases[] = {{Interval{}, "no optimum common interval"},
               {std::nullopt, "no optimum: a year does not fit the summary's records"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const Plot p = plot(t, c.optimum);
    ASSERT_TRUE(p.root);
    EXPECT_EQ(p.root->by_id("optimum-band"), nullptr);
    EXPECT_EQ(p.root->by_id("optimum-label"), nullptr);
    EXPECT_NE(p.root->by_id("other-series"), nullptr);
    ASSERT_EQ(p.segments.size(), 2u);  // series without values keep their (empty) segment
    EXPECT_EQ(p.segments[0].width, 0);
    std::vector<const XmlElement*> texts;
    p.root->find_all("text", texts);
    EXPECT_NE(texts.front()->all_text().find(c.says), std::string::npos);
  }
}

TEST(OutputsSvg, LegendCountsWithAndWithoutAnOptimum) {
  OwnedTable t;
  t.add("f.rwl", "A", 1900, 100);
  t.add("f.rwl", "B", 1950, 50);
  t.add("f.rwl", "C", 1800, 10);
  const struct {
    Optimum optimum;
    std::string_view legend;
  } cases[] = {
      {Interval{1950, 1999, 50, 2, 100},
       "runs through the optimum (2)|other series (1)|optimum common interval|"},
      {Interval{}, "series (3)|"},
      {std::nullopt, "series (3)|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    const Plot p = plot(t, c.optimum);
    ASSERT_TRUE(p.root);
    std::vector<const XmlElement*> texts;
    p.root->by_id("legend")->find_all("text", texts);
    std::string legend;
    for (const XmlElement* e : texts) legend += e->all_text() + "|";
    EXPECT_EQ(legend, c.legend);
  }
}

TEST(OutputsSvg, LongTitleWrapsBetweenCharactersAndKeepsAll) {
  // 300 bytes of two- and three-byte characters, one blank: no line may split a character,
  // and the lines together give the whole title back.
  std::string name;
  for (int i = 0; i < 60; ++i) name += "\xc3\xa9\xe6\x9c\xa8";  // e-acute, a CJK tree
  name += " /dir/";
  for (int i = 0; i < 40; ++i) name += "\xc3\xb8";
  OwnedTable t;
  t.add("f.rwl", "A", 1900, 10);
  const Plot p = plot(t, Interval{1900, 1909, 10, 1, 10}, name);
  ASSERT_TRUE(p.root);
  const XmlElement* title = p.root->by_id("title");
  ASSERT_NE(title, nullptr);
  ASSERT_GE(title->children.size(), 3u);
  const auto without_blanks = [](std::string text) {
    std::erase(text, ' ');
    return text;
  };
  std::string joined;
  for (const auto& line : title->children) {
    const std::string text = line->all_text();
    EXPECT_EQ(text.find('?'), std::string::npos) << text;  // a split character would show "?"
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    });
    EXPECT_LE(characters, 110) << text;
    joined += text;
  }
  EXPECT_EQ(without_blanks(joined),
            without_blanks(name + ": span 1900 to 1909, 1 series; optimum 1900 to 1909: 10 years, "
                                  "1 series included, 10 rings"));
}

TEST(OutputsSvg, EmptyCatalogue) {
  const Plot p = plot(OwnedTable{}, Interval{});
  ASSERT_TRUE(p.root);
  EXPECT_TRUE(p.segments.empty());
  EXPECT_NE(p.root->all_text().find("No series were read."), std::string::npos);
}

TEST(OutputsSvg, AwkwardNamesStayWellFormed) {
  OwnedTable t;
  t.add("x&y <z>.rwl", "A<&>\"'", 1900, 10);
  const Plot p = plot(t, Interval{1900, 1909, 10, 1, 10}, "l\xffst \"&\" <it>.lst");
  ASSERT_TRUE(p.root);
  EXPECT_NE(p.root->all_text().find("l?st \"&\" <it>.lst"), std::string::npos);
  EXPECT_NE(p.root->all_text().find("x&y <z>.rwl #1 A<&>\"'"), std::string::npos);
  ASSERT_EQ(p.segments.size(), 1u);
}

// From 1 to 15000 series: every series a segment, in order from the top, inside a picture of
// bounded height, strokes never thinner than a pixel, and some 35 bytes per series.
TEST(OutputsSvg, OneToFifteenThousandSeries) {
  std::size_t bytes_5000 = 0;
  for (const int n : {1, 2, 150, 151, 500, 501, 1387, 5000, 15000}) {
    SCOPED_TRACE(n);
    OwnedTable t;
    for (int i = 0; i < n; ++i) {
      t.add(testing::numbered("f", i / 500) + ".rwl", testing::numbered("S", i),
            1000 + (i * 7) % 900, 50 + (i * 13) % 400);
    }
    const Optimum optimum = Interval{1500, 1600, 101, 0, 1};
    const Plot p = plot(t, optimum);
    ASSERT_TRUE(p.root);
    ASSERT_EQ(p.segments.size(), static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < p.segments.size(); ++i) {
      const auto k = static_cast<std::size_t>(i);
      EXPECT_EQ(p.segments[i].included, in_optimum(t.view(), k, optimum).value());
      if (i > 0) {
        ASSERT_GT(p.segments[i].y, p.segments[i - 1].y);
      }
    }
    const double height = std::stod(p.root->attributes["height"]);
    EXPECT_LE(height, 1400 + 124);  // the rows, and the depth panel below them
    EXPECT_GE(std::stod(p.root->by_id("other-series")->attributes.at("stroke-width")), 1.0);
    if (n == 5000) bytes_5000 = p.bytes;
    if (n == 15000) {
      EXPECT_LT(p.bytes, 600000u);
      EXPECT_LT(p.bytes - bytes_5000, 10000u * 40);
    }
  }
}

}  // namespace
}  // namespace corvane
