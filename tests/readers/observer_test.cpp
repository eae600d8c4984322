// The readers' observer: told every decision in reading order, and changing nothing of what is
// read; past a limit the readers go on only when an observer is there.
#include "readers/observer.h"

#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/run_numbers.h"
#include "readers/readers.h"
#include "test_util.h"

namespace corvane {
namespace {

using testing::constant;
using testing::mr_series;
using testing::pad;
using testing::TempDir;
using testing::test_data;
using testing::write_file;

// Words joined by blanks, built by appending (which keeps g++ 12's -Wrestrict quiet).
std::string words(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string& p : parts) {
    if (!s.empty()) s += ' ';
    s += p;
  }
  return s;
}

std::string number(long v) { return std::to_string(v); }

// True when every number field of a decade line is blanks and then digits only.
bool plain_fields(std::string_view line, LayoutCode code) {
  const std::string padded = pad(line.substr(0, 80), 80);
  std::vector<std::pair<std::size_t, std::size_t>> fields;  // start, width
  if (code == LayoutCode::mr) {
    fields.emplace_back(8, 4);
    for (std::size_t k = 0; k < 10; ++k) fields.emplace_back(12 + 6 * k, 6);
  } else {
    fields.emplace_back(6, 4);
    for (std::size_t k = 0; k < 10; ++k) {
      fields.emplace_back(10 + 7 * k, 4);
      fields.emplace_back(14 + 7 * k, 3);
    }
  }
  for (const auto& [start, width] : fields) {
    const std::string_view f = std::string_view(padded).substr(start, width);
    const std::size_t digits = f.find_first_not_of(' ');
    if (digits == std::string_view::npos) continue;
    if (f.substr(digits).find_first_not_of("0123456789") != std::string_view::npos) return false;
  }
  return true;
}

// Writes down what it is told, one line per call: the file's line number first. The hint that
// every field is plain must be true when given.
class Recorder final : public ReaderObserver {
 public:
  Recorder(const LineFile& file, LayoutCode code) : file_(file), code_(code) {}
  void text_line(std::string_view, bool in_series) override {
    log({in_series ? "text in series" : "text"});
  }
  void data_line(std::string_view line, std::int32_t year, std::span<const std::int32_t, 10> v,
                 TakenSlots s, bool plain) override {
    if (plain) {
      EXPECT_TRUE(plain_fields(line, code_)) << line;
    }
    log({"data", std::string(line.substr(0, 4)), number(year), "v1=" + number(v[0]),
         "slots " + number(s.from) + "-" + number(s.end) + "/" + number(s.to)});
  }
  void limit(ReadLimit l) override { log({"limit", number(static_cast<int>(l))}); }
  void title_line(std::string_view line) override {
    log({"title", std::string(line.substr(0, 4))});
  }
  void count_line(std::span<const char, 80> title, std::int32_t count,
                  std::string_view format) override {
    log({"count", std::string(title.data(), 4), number(count), std::string(format)});
  }
  void condition(SelfDescribingCondition what, std::int32_t read, std::int32_t column) override {
    log({"condition", number(static_cast<int>(what)), number(read), number(column)});
  }
  std::vector<std::string> events;

 private:
  void log(std::initializer_list<std::string> what) {
    std::string e = number(file_.line_number());
    e += ' ';
    e += words(what);
    events.push_back(e);
  }
  const LineFile& file_;
  LayoutCode code_;
};

struct Read {
  std::vector<std::string> series;  // "ID year n limit" and the values' bits
  std::vector<std::string> events;
};

// Every call of trrw on `path` until the end of the file (calls that meet a limit included when
// an observer is there, which goes on past it).
Read read_through(const std::filesystem::path& path, LayoutCode code, bool observed) {
  testing::TextSink console;
  ReadFile file = testing::open_data(path);
  Recorder recorder(file.lines(), code);
  std::vector<float> values(kMaxValues);
  std::int32_t counter = 0;
  Read r;
  for (int calls = 0; calls < 100000; ++calls) {
    SeriesId id;
    id.fill(' ');
    std::int32_t year = 0, n = 0;
    bool sd = false;
    const ReadLimit limit = trrw(id, year, n, values, counter, file.lines(), console, code, sd,
                                 observed ? &recorder : nullptr);
    std::string s = words({std::string(id.data(), id.size()), number(year), number(n),
                           number(static_cast<int>(limit))});
    for (std::int32_t i = 0; i < n && limit == ReadLimit::none; ++i) {
      s += ' ';
      s += number(std::bit_cast<std::uint32_t>(values[static_cast<std::size_t>(i)]));
    }
    r.series.push_back(s);
    if (counter < 1 || (limit != ReadLimit::none && !observed)) break;
  }
  r.events = recorder.events;
  return r;
}

// Checking never changes what a run reads: the same series, value for value, call for call.
TEST(ReadersObserver, ReadsTheSameAsWithout) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"itrdb", "crn"}) {
    for (const auto& e : std::filesystem::directory_iterator(test_data(folder))) {
      files.push_back(e.path());
    }
  }
  TempDir dir;
  write_file(dir / "damaged.rwl", "head\n" + mr_series("A", 2003, {1, -999, 3}) +
                                      "A       2010   18x\n" +
                                      mr_series("B", 1995, {5, 6, 7, 8, 9, 10}) + pad("T", 79) +
                                      "#\n" + "n        3      1850  (10F8.3)\n   1.000   x.000\n" +
                                      "\t\t\n" + mr_series("C", 2000, {1}));
  files.push_back(dir / "damaged.rwl");
  for (const auto& f : files) {
    SCOPED_TRACE(f.filename().string());
    const LayoutCode code = f.extension() == ".crn" ? LayoutCode::ir : LayoutCode::mr;
    const Read plain = read_through(f, code, false);
    const Read observed = read_through(f, code, true);
    EXPECT_EQ(observed.series, plain.series);
    EXPECT_FALSE(observed.events.empty());
  }
}

TEST(ReadersObserver, ToldLineByLine) {
  TempDir dir;
  write_file(dir / "d.rwl", "Site title\n" + mr_series("A", 2003, {1, 2, 3, 4, 5, 6, 7, 8}) +
                                "Between the series, a note\n" + pad("SD01 title", 79) + "#\n" +
                                "n       12      1850  (10F8.3)\n   1.000\n");
  const Read r = read_through(dir / "d.rwl", LayoutCode::mr, true);
  EXPECT_EQ(r.events, (std::vector<std::string>{
                          "1 text",
                          "2 data A    2003 v1=1 slots 0-7/7",
                          "3 data A    2010 v1=8 slots 0-1/10",
                          "4 text",
                          "5 title SD01",
                          "6 count SD01 12 (10F8.3)",
                          "7 condition 1 10 0",
                      }));
  EXPECT_EQ(r.series.size(), 3u);
}

// Without an observer a limit ends the call (the run stops); with one, reading goes on.
TEST(ReadersObserver, PastTheLimitsOnlyWithAnObserver) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 27; ++i) text += "text line\n";
  write_file(dir / "d.rwl", text + mr_series("LONG", -1000, constant(kMaxValues + 2, 100)) +
                                pad("SD", 79) + "#\nn    20000      1850  (10F8.3)\n" +
                                "   1.000   2.000\n   3.000\n" + mr_series("NEXT", 2000, {5}));
  const Read plain = read_through(dir / "d.rwl", LayoutCode::mr, false);
  ASSERT_EQ(plain.series.size(), 1u);
  EXPECT_EQ(plain.series[0].substr(plain.series[0].size() - 2), " 1");  // text_lines

  const Read observed = read_through(dir / "d.rwl", LayoutCode::mr, true);
  ASSERT_EQ(observed.series.size(), 4u);
  EXPECT_TRUE(observed.series[0].starts_with("LONG   - 1000 10000 2")) << observed.series[0];
  EXPECT_TRUE(observed.series[1].starts_with("SD       1850 20000 3")) << observed.series[1];
  EXPECT_EQ(observed.series[2],
            "NEXT     2000 1 0 " + std::to_string(std::bit_cast<std::uint32_t>(5.0f * 0.01f)));
  std::vector<std::string> limits;
  for (const auto& e : observed.events) {
    if (e.find("limit") != std::string::npos) limits.push_back(e);
  }
  EXPECT_EQ(limits, (std::vector<std::string>{"26 limit 1", "1028 limit 2", "1030 limit 3"}));
}

}  // namespace
}  // namespace corvane
