// A series table that owns its lists, for the tests of the outputs.
#ifndef CORVANE_TESTS_OUTPUTS_TABLE_FIXTURE_H
#define CORVANE_TESTS_OUTPUTS_TABLE_FIXTURE_H

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/series_table.h"
#include "textio/textio.h"

namespace corvane::testing {

struct OwnedTable {
  std::vector<std::array<char, 8>> id;
  std::vector<std::int32_t> first, last, n, file;
  std::vector<float> mean;
  std::vector<std::string> files;
  std::vector<std::uint8_t> year_sign;

  /// Adds a series of file `f` (added to `files` when new): ID padded to 8, N values from
  /// `first_year`.
  void add(std::string_view file_name, std::string_view series_id, std::int32_t first_year,
           std::int32_t values, float series_mean = 1.0f, bool sign = false) {
    if (files.empty() || files.back() != file_name) files.emplace_back(file_name);
    std::array<char, 8> a;
    a.fill(' ');
    for (std::size_t i = 0; i < series_id.size() && i < 8; ++i) a[i] = series_id[i];
    id.push_back(a);
    first.push_back(first_year);
    n.push_back(values);
    last.push_back(first_year + values - 1);
    mean.push_back(series_mean);
    file.push_back(static_cast<std::int32_t>(files.size() - 1));
    year_sign.push_back(sign ? 1 : 0);
  }
  std::vector<SeriesStats> stats;  ///< empty, or one entry per series
  SeriesTable view() const { return {id, first, last, n, mean, file, files, year_sign, stats}; }
};

/// Sink that collects text in memory, counting the pieces.
struct MemorySink : Sink {
  void put(std::string_view t) override {
    text += t;
    ++pieces;
  }
  std::string text;
  int pieces = 0;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_OUTPUTS_TABLE_FIXTURE_H
