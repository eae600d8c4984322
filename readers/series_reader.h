// The series of one data file, one after another: the loop that every reader of a file shares.
#ifndef CORVANE_READERS_SERIES_READER_H
#define CORVANE_READERS_SERIES_READER_H

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "readers/readers.h"

namespace corvane {

/// One series as a file holds it.
struct Series {
  SeriesId id{};                  ///< `ID`, as written (a year's sign in column 8 stays)
  std::int32_t first_year = 0;    ///< `IYR`, with the sign that column 8 may give it
  std::span<const float> values;  ///< `N` values; good until the next call of next()
  bool self_describing = false;   ///< read from the self-describing layout
  bool year_sign = false;         ///< the year's "-" is the ID's last column
  std::int32_t last_year() const {
    return first_year + static_cast<std::int32_t>(values.size()) - 1;
  }
};

/// What one call of SeriesReader::next() found.
struct SeriesStep {
  enum class Kind : std::uint8_t {
    series,  ///< a series, in `series`
    end,     ///< the end of the file, or a read that failed (the line file's failed() tells)
    limit,   ///< a limit of a run, in `limit`; the series it met is not delivered
  };
  Kind kind = Kind::end;
  Series series;
  ReadLimit limit = ReadLimit::none;
  /// The missing-ring codes of a delivered series; the suspect lines of every step, the end's
  /// included.
  SeriesCounts counts;
  /// For a limit: the message with which a run stops there.
  std::string limit_message() const;

 private:
  friend class SeriesReader;
  std::int32_t limit_n_ = 0;  // the count that the limit's message names
};

/// Reads the series of a line file in a layout, one per call of next(), by the rules of `trrw`
/// (see readers.h): the end marker, missing rings, chronology padding and its look-ahead, the
/// self-describing layout and its messages (to `console`), the limits. The layouts of
/// self-describing format texts are kept from one series to the next of this file only.
/// With an `observer` (a check) it goes on past each limit, as trrw does: calls after a
/// limit go on with the file.
class SeriesReader {
 public:
  SeriesReader(LineFile& file, LayoutCode code, Sink& console, ReaderObserver* observer = nullptr);

  /// The next series, the end, or a limit. After the end, the end again.
  SeriesStep next();

 private:
  LineFile& file_;
  LayoutCode code_;
  Sink& console_;
  ReaderObserver* observer_;
  std::unique_ptr<float[]> values_;  // written by the reader before it is read
  std::int32_t counter_ = 0;
  bool ended_ = false;
  FormatCache formats_;
};

}  // namespace corvane

#endif  // CORVANE_READERS_SERIES_READER_H
