// Series readers: one series per call from an open data file, in the decade layouts or the
// self-describing layout.
#ifndef CORVANE_READERS_READERS_H
#define CORVANE_READERS_READERS_H

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "readers/limits.h"
#include "textio/textio.h"

namespace corvane {

/// The value count and series counter that report the end of a file.
inline constexpr std::int32_t kEndOfFile = -999;

/// The two decade layouts: "mr" measurements (ten 6-column values a line, closed by 999 or
/// -9999), "ir" indices (ten 4-column values with 3-column counts, closed by 9990 or more).
enum class LayoutCode : std::uint8_t { mr, ir };

/// An 8-character series identifier.
using SeriesId = std::array<char, 8>;

/// A limit of a run that a reader met; a run stops there with limit_message.
enum class ReadLimit : std::uint8_t {
  none,        ///< no limit met
  text_lines,  ///< a 26th text line in one call of trrw
  values,      ///< a series of more than kMaxValues values (the call has set its ID)
  count,       ///< a self-describing count below 0 or above kMaxValues (held in the call's n)
};

/// The message with which a run stops at `limit`, for the series `id` and the count `n` that
/// the call handed back.
std::string limit_message(ReadLimit limit, const SeriesId& id, std::int32_t n);

class ReaderObserver;

/// What trrw tells about the series it delivered, beyond its values, for a caller that asks.
struct SeriesCounts {
  /// Missing-ring codes (values below 0 other than the end marker, measurement layout) that
  /// the series holds and that were stored as rings of width 0.
  std::int32_t missing_rings = 0;
  /// Lines of the call that a check would warn about and that the reader tells on its way:
  /// a text line after the series' first data line; a text line just before the series whose
  /// first columns hold its ID and whose year is the block before the series' own (a damaged
  /// first line); a line holding a missing-ring code (an index below 0 in the index layout); a
  /// self-describing series' message; a
  /// series dropped at the end of its file (its first line). Each line counts once.
  std::int32_t suspect_lines = 0;
  /// For a delivered series: the sum of its values in double precision when every value keeps
  /// every partial sum exact (sums_exactly), so that it is the sum in any order; nothing when
  /// some value does not, or when the reader did not sum them.
  std::optional<double> exact_sum;
};

/// At most this many values of sums_exactly are summed exactly in any order.
inline constexpr std::size_t kExactTerms = std::size_t{1} << 14;

/// Whether `x` keeps a double sum of at most kExactTerms such values exact whatever their
/// order: 0, or a magnitude from 2^-7 up to below 512. All are whole multiples of 2^-30 (the
/// spacing of floats at 2^-7), so every partial sum is such a multiple below 2^23, which a
/// double holds exactly. NaN and the infinities are not.
constexpr bool sums_exactly(float x) {
  const float a = x < 0.0f ? -x : x;
  return a == 0.0f || (a >= 0x1p-7f && a < 512.0f);
}

/// The layout of the last self-describing format text met: the series of a file nearly always
/// share one, which is then prepared once. A reader of a file keeps one for that file.
class FormatCache {
 public:
  /// The layout that `format` describes; empty when it describes none.
  const std::optional<Layout>& layout_of(std::string_view format);

 private:
  std::string text_;
  std::optional<Layout> layout_;
  bool known_ = false;
};

/// Reads one series from the line file `file` (the design's unit), by the layout `code`; the
/// self-describing reader's messages go to `console`.
///
/// Usage is: set `counter` to 0, then call again and again while the counter comes back 1 or
/// more; each such call delivers `id`, `first_year` (the year field as written) and `n` values
/// in values[0..n). A counter and `n` of -999 report the end of the file (or a failed read);
/// a series not closed by its end marker when the file ends is not returned. `self_describing`
/// tells whether the series came from the self-describing layout. `values` must hold
/// kMaxValues.
///
/// The measurement layout stores a value below 0 that is no end marker (-999, -7: a ring the
/// file's maker did not measure) as 0, keeping its year; a 0 written in the file stays a ring
/// of width 0. The index layout keeps every value as written. An index series whose first
/// year's slot holds 9990 or more begins with chronology padding: that slot and the slots after
/// it that hold 9990 or more or are blank are passed over up to the first other value, whose
/// year is the first year. A first line of nothing but padding is passed over when the next
/// line is a data line of the same ID (columns 1-6) for the next decade block; that line is
/// then read from its slot 1 on by the same rule (blank slots there are padding too). Where the
/// next line is anything else it is left for the next call, and the series has no values and
/// the year of the last line of padding.
///
/// With `counts`, it is set for every call: for a delivered series, how many missing-ring
/// codes were stored as 0 (otherwise 0); and, also for the call that reports the end, the
/// suspect lines it read.
///
/// A limit of a run ends the call at once and is handed back: a 26th text line in the call, a
/// series longer than kMaxValues, a self-describing count outside 0 to kMaxValues; the series
/// is then not delivered.
///
/// With an `observer` (a check), the readers tell it what they do with every line, and go on
/// past each limit instead of ending the call there: the text lines are counted from 0 again,
/// a long series is read to its end marker storing nothing more, the value lines of a bad
/// count are passed over; only then is the limit handed back. What is read is otherwise the
/// same, call for call.
///
/// With `formats`, the self-describing layouts are prepared through it (see FormatCache);
/// without, each format text is prepared for its own series.
ReadLimit trrw(SeriesId& id, std::int32_t& first_year, std::int32_t& n, std::span<float> values,
               std::int32_t& counter, LineFile& file, Sink& console, LayoutCode code,
               bool& self_describing, ReaderObserver* observer = nullptr,
               SeriesCounts* counts = nullptr, FormatCache* formats = nullptr);

/// Reads one self-describing series from the line file `file` (the design's unit), positioned
/// at its "#" title line: the title (replaced by later lines that do not begin "n  "), the count
/// line (count in columns 3-10, first year in 13-20, a field description in 23-30) and the
/// values as that description lays them out. `n` is -999 when the file ends before a count line.
/// After a value that fails to convert, or an early end, a message goes to `console` and the series
/// is returned with the values read so far; the rest of its value lines are passed over. A count
/// below 0 or above kMaxValues is handed back as ReadLimit::count with `n` set to it. See trrw for
/// `observer`; with `counts`, each message and a file that ends before the count line add a suspect
/// line; see trrw for `formats`.
ReadLimit datar(std::span<char, kLineWidth> title, std::int32_t& n, std::span<float> values,
                std::int32_t& first_year, LineFile& file, Sink& console,
                ReaderObserver* observer = nullptr, SeriesCounts* counts = nullptr,
                FormatCache* formats = nullptr);

}  // namespace corvane

#endif  // CORVANE_READERS_READERS_H
