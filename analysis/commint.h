// The common-interval summary: time span and optimum common interval of a series catalogue.
#ifndef CORVANE_ANALYSIS_COMMINT_H
#define CORVANE_ANALYSIS_COMMINT_H

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "textio/textio.h"

namespace corvane {

/// The best candidate of the optimum-interval search.
struct Interval {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t years = 0;
  std::int32_t series = 0;
  std::int64_t rings = 0;  ///< years x series
  friend bool operator==(const Interval&, const Interval&) = default;
};

/// The optimum common interval over series given by sorted position (first and last years as
/// read back from their records) and the end-year list (distinct last years in sorted order).
/// Maximises years x series covering the whole span over every pair of an end year of the list
/// and a start year of a position; among equal products the first pair in the order (end-year
/// position, sorted position) wins; no positive product leaves every figure 0.
/// Searches the start years of each end year as a tree whose nodes bound their candidates, and
/// leaves an end year whose search opens more than `search_limit` nodes (by default a few times
/// the tree's height) to a tournament of the start years: at worst
/// O(D log S + (S + n log S) log^2 S log(n x years)) for S start and D end years.
Interval optimum_interval(std::span<const std::int32_t> first_years,
                          std::span<const std::int32_t> last_years,
                          std::span<const std::int32_t> end_years,
                          std::optional<std::size_t> search_limit = std::nullopt);

/// Appends the boxed summary of the catalogue (series 1..n: first years, IDs, value counts) to
/// `report`. When a sort record cannot be read back (a year beyond five columns), that record
/// goes to `report` as a free-form line, " error reading sqc)" to `console`, and no box is
/// written. `capacity` bounds the end-year list; n must not exceed it.
/// Returns the optimum that the box states (every figure 0 when no interval was found), or
/// nothing when the records could not be read back and no box was written.
std::optional<Interval> Commint(std::int32_t capacity, std::span<const std::int32_t> IYR,
                                std::span<const std::array<char, 8>> ID,
                                std::span<const std::int32_t> N, std::int32_t n, Sink& report,
                                Sink& console);

}  // namespace corvane

#endif  // CORVANE_ANALYSIS_COMMINT_H
