// The readers' limits are handed back to the caller, never acted on by the readers themselves.
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
using testing::write_file;

struct Call {
  ReadLimit limit = ReadLimit::none;
  SeriesId id{};
  std::int32_t n = 0;
  std::int32_t counter = 0;
  std::string console;
};

// The first call of trrw on a file made of `content`.
Call first_call(const std::string& content) {
  TempDir dir;
  write_file(dir / "data", content);
  testing::TextSink console;
  ReadFile file = testing::open_data(dir / "data");
  std::vector<float> values(kMaxValues);
  Call c;
  std::int32_t year = 0;
  bool self_describing = false;
  c.limit = trrw(c.id, year, c.n, values, c.counter, file.lines(), console, LayoutCode::mr,
                 self_describing);
  c.console = console.text;
  return c;
}

std::string text_lines(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += "A text line, no data\n";
  return s;
}

TEST(ReadersLimits, HandedBackWithoutAWordOnTheConsole) {
  const Call text = first_call(text_lines(26) + mr_series("A", 2000, {1}));
  EXPECT_EQ(text.limit, ReadLimit::text_lines);
  EXPECT_EQ(limit_message(text.limit, text.id, text.n), "sbr trrw:  over 25 text lines");

  const Call values = first_call(mr_series("LONG", 1000, constant(kMaxValues + 1, 100)));
  EXPECT_EQ(values.limit, ReadLimit::values);
  EXPECT_EQ(limit_message(values.limit, values.id, values.n),
            "sbr trrw:  series \"LONG    \" has more than 10000 values; the limit is 10000 values "
            "per series");

  const std::string count_line = "n       -5      1850  (10F8.3)\n";
  const Call count = first_call(pad("HUGE01", 79) + "#\n" + count_line);
  EXPECT_EQ(count.limit, ReadLimit::count);
  EXPECT_EQ(count.n, -5);
  EXPECT_EQ(limit_message(count.limit, count.id, count.n),
            "sbr datar:  series \"HUGE01  \" gives a count of -5 values; the limit is 10000 values "
            "per series");

  for (const Call* c : {&text, &values, &count}) {
    EXPECT_EQ(c->console, "");
    EXPECT_EQ(c->counter, 1);
  }
  EXPECT_EQ(first_call(mr_series("A", 2000, {1})).limit, ReadLimit::none);
}

}  // namespace
}  // namespace corvane
