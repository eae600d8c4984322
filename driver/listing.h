// The series catalogue of a run and the listing of every series of every file.
#ifndef CORVANE_DRIVER_LISTING_H
#define CORVANE_DRIVER_LISTING_H

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/series_stats.h"
#include "driver/dialogue.h"

namespace corvane {

/// One entry per series of the whole run, in reading order, as parallel lists with room for
/// kMaxSeries entries, allocated once; each list holds `count` entries.
struct Catalogue {
  Catalogue();
  std::vector<SeriesId> ID;
  std::vector<std::int32_t> IYR;  ///< first year (negated for a decade-layout ID ending in "-")
  std::vector<std::int32_t> LYR;  ///< IYR + N - 1
  std::vector<std::int32_t> N;
  std::vector<float> mean;              ///< the listed mean, where N > 0
  std::vector<std::int32_t> file;       ///< index of the series' file in the intake's names
  std::vector<std::uint8_t> year_sign;  ///< 1 where the ID's "-" in column 8 negated IYR
  std::vector<SeriesStats> stats;  ///< each series' statistics, when the listing works them out
  /// Per file of the intake: the lines its reader met that a check would warn about.
  std::vector<std::int64_t> suspect_lines;
  std::int32_t count = 0;
};

/// The mean of n values: summed in double precision, rounded to float, divided in float. The
/// sum is taken in order unless it is exact in any order; `exact_sum`, when a reader gives it
/// (SeriesCounts), is that sum already taken.
float series_mean(std::span<const float> values, std::optional<double> exact_sum = std::nullopt);

/// Reads and lists every file of the intake in turn: headings, missing-file warnings, one line
/// per series (files.report, then the console), per-file and running totals on the console
/// (only the warnings when the intake is quiet). In single-file mode files.input is the data
/// file, open; in list mode each file is opened on it in turn. A 15001st series stops the run
/// with nothing of it stored. With a `describer`, every series' statistics go to
/// catalogue.stats as it is delivered. The readers' suspect lines of each file go to
/// catalogue.suspect_lines. Returns the number of listed files that did not exist, or the end
/// that the run met (a limit of a run, a failure).
Result<std::int32_t> run_listing(Services& io, const Intake& intake, RunFiles& files,
                                 Catalogue& catalogue, SeriesDescriber* describer = nullptr);

}  // namespace corvane

#endif  // CORVANE_DRIVER_LISTING_H
