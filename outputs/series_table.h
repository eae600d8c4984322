// A run's series catalogue as the outputs see it, and the optimum that the summary found.
#ifndef CORVANE_OUTPUTS_SERIES_TABLE_H
#define CORVANE_OUTPUTS_SERIES_TABLE_H

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/commint.h"
#include "analysis/series_stats.h"

namespace corvane {

/// The catalogue of a run, read-only: parallel lists in catalogue order (all of one length),
/// and for each series the index of its data file in `file_names`. Nothing is copied.
struct SeriesTable {
  std::span<const std::array<char, 8>> id;
  std::span<const std::int32_t> first_year;
  std::span<const std::int32_t> last_year;
  std::span<const std::int32_t> values;  ///< N, the number of values
  std::span<const float> mean;           ///< the listed mean; meaningless where N is 0
  std::span<const std::int32_t> file;
  std::span<const std::string> file_names;  ///< the data files' names as they were opened
  /// 1 where the "-" in column 8 of the ID is the sign of the first year (decade data lines of
  /// the measurement layout); empty when no series has one.
  std::span<const std::uint8_t> year_sign;
  std::span<const SeriesStats> stats;  ///< per series, or empty when not worked out

  std::size_t size() const { return id.size(); }
};

/// The optimum as the summary reports it: nothing when it could not read its records back,
/// every figure 0 when it found no interval.
using Optimum = std::optional<Interval>;

/// True when the summary found an interval (a positive number of rings).
inline bool has_interval(const Optimum& optimum) { return optimum && optimum->rings > 0; }

/// Whether series i runs through the whole optimum interval (it has values, begins in or
/// before its start and ends in or after its end); nothing when there is no interval.
inline std::optional<bool> in_optimum(const SeriesTable& t, std::size_t i, const Optimum& optimum) {
  if (!has_interval(optimum)) return std::nullopt;
  return t.values[i] > 0 && t.first_year[i] <= optimum->start && t.last_year[i] >= optimum->end;
}

/// Series i's ID as the outputs write it, to be joined with other tables: without the sign of
/// the year that column 8 may hold, without leading and trailing blanks.
inline std::string_view table_id(const SeriesTable& t, std::size_t i) {
  const std::string_view id(t.id[i].data(), t.id[i].size());
  const bool sign = i < t.year_sign.size() && t.year_sign[i] != 0;
  return trim_blanks(sign ? id.substr(0, id.size() - 1) : id);
}

}  // namespace corvane

#endif  // CORVANE_OUTPUTS_SERIES_TABLE_H
