// The readers on their own: a line file held in memory and a sink for the console, with no
// services between them and the file.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "memory_files.h"
#include "readers/series_reader.h"
#include "test_util.h"

namespace corvane {
namespace {

const std::string kDecade = "AB01    1990   100   200   999\n";  // 31 bytes
const std::string kTitle = std::string("SD02 a described series") + std::string(56, ' ') + "#\n";
const std::string kCount = "n        3      1995  (3F8.3) \n";

TEST(ReadersInMemory, SeriesMessagesSuspectLinesAndFailedReads) {
  struct Case {
    const char* what;
    std::string content;
    std::size_t fail_after;           // reads fail once this many bytes are read; 0: never
    std::vector<std::string> series;  // "ID n", "!" after it when the file has failed by then
    std::string console;
    std::int32_t suspect_lines;
    bool failed;
  };
  const Case cases[] = {
      {"a decade series, then a described one whose third value fails",
       kDecade + kTitle + kCount + "   1.000   2.000     abc\n",
       0,
       {"AB01     2", "SD02 a d 2"},
       ">> sbr datar:  error reading data\n",
       1,
       false},
      {"a title and no count line: the series is dropped",
       kDecade + kTitle,
       0,
       {"AB01     2"},
       "",
       1,
       false},
      {"a read that fails in the title is no dropped series",
       kDecade + kTitle,
       kDecade.size() + 20,
       {"AB01     2"},
       "",
       0,
       true},
      // The bytes before the failure come back as a last line; the failure is told with it.
      {"a read that fails in the values is told with the series, without a message",
       kDecade + kTitle + kCount + "   1.000   2.000   3.000\n",
       kDecade.size() + kTitle.size() + kCount.size() + 4,
       {"AB01     2", "SD02 a d 3!"},
       "",
       0,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemoryFiles files;
    files.add_file("data.rwl", c.content);
    if (c.fail_after != 0) files.fail_reads_of("data.rwl", c.fail_after);
    int error = 0;
    ReadFile file = ReadFile::open(files, 13, "data.rwl", error);
    ASSERT_TRUE(file.is_open()) << error;
    testing::TextSink console;
    SeriesReader reader(file.lines(), LayoutCode::mr, console);
    std::vector<std::string> got;
    std::int32_t suspect = 0;
    SeriesStep step;
    for (int call = 0; call < 10; ++call) {
      step = reader.next();
      ASSERT_NE(step.kind, SeriesStep::Kind::limit);
      suspect += step.counts.suspect_lines;
      if (step.kind == SeriesStep::Kind::end) break;
      got.push_back(std::string(step.series.id.data(), step.series.id.size()) + " " +
                    std::to_string(step.series.values.size()) + (file.lines().failed() ? "!" : ""));
    }
    EXPECT_EQ(step.kind, SeriesStep::Kind::end);
    EXPECT_EQ(reader.next().kind, SeriesStep::Kind::end);  // and the end again
    EXPECT_EQ(got, c.series);
    EXPECT_EQ(console.text, c.console);
    EXPECT_EQ(suspect, c.suspect_lines);
    EXPECT_EQ(file.lines().failed(), c.failed);
    EXPECT_EQ(file.lines().error_number(), c.failed ? EIO : 0);
  }
}

}  // namespace
}  // namespace corvane
