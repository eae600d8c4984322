// Reading a data file made from a text through trrw, call by call, as the driver reads it.
#ifndef CORVANE_TESTS_READERS_SERIES_FILE_H
#define CORVANE_TESTS_READERS_SERIES_FILE_H

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "driver/program.h"
#include "readers/readers.h"
#include "test_util.h"

namespace corvane::testing {

struct Series {
  std::string id;
  std::int32_t year = 0;
  std::vector<float> values;
  bool self_describing = false;
  std::int32_t missing_rings = 0;  // as trrw counts them
};

// A data file made from a text, read call by call as the driver reads it.
class SeriesFile {
 public:
  explicit SeriesFile(std::string_view content, LayoutCode code = LayoutCode::mr) : code_(code) {
    write_file(dir_ / "data", content);
    file_ = open_data(dir_ / "data");
  }
  // One call of trrw: the counter it hands back; a delivered series is in `last`.
  std::int32_t call() {
    std::int32_t n = 0;
    bool self_describing = false;
    SeriesCounts counts;
    const ReadLimit limit = trrw(id_, last.year, n, values_, counter_, file_.lines(), console_sink_,
                                 code_, self_describing, nullptr, &counts);
    // A limit stops the run, as the driver stops it.
    if (limit != ReadLimit::none) {
      stopped_ = io_.stop_run(limit_message(limit, id_, n), End::stopped());
      return 0;
    }
    last.id.assign(id_.data(), id_.size());
    last.values.assign(values_.begin(), values_.begin() + std::max(n, 0));
    last.self_describing = self_describing;
    last.missing_rings = counts.missing_rings;
    if (counter_ < 1) {
      EXPECT_EQ(n, kEndOfFile);
    }
    return counter_;
  }
  // Every series up to the end of the file; the counters run 1, 2, ...
  std::vector<Series> all() {
    std::vector<Series> got;
    while (call() >= 1) {
      got.push_back(last);
      EXPECT_EQ(counter_, static_cast<std::int32_t>(got.size()));
    }
    if (stopped_) return got;  // a stop ends the reading, as it ends the run
    EXPECT_EQ(counter_, kEndOfFile);
    return got;
  }
  // Reads the whole file into `read`: the status of the stop that ends it, or -1 when it runs
  // to the end.
  int stop_status() {
    read = all();
    if (stopped_) return exit_status(*stopped_);
    return -1;
  }
  const std::string& out() const { return console_.out; }
  void set_counter(std::int32_t counter) { counter_ = counter; }
  Series last;
  std::vector<Series> read;

 private:
  TempDir dir_;
  MemoryConsole console_;
  Services io_{console_};
  ServicesSink console_sink_{io_, kConsole};
  ReadFile file_;
  std::optional<End> stopped_;
  LayoutCode code_;
  SeriesId id_{};
  std::vector<float> values_ = std::vector<float>(kMaxValues);
  std::int32_t counter_ = 0;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_READERS_SERIES_FILE_H
