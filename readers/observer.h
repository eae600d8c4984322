// What the series readers tell an observer about each line they read, so that a check can say
// what a file does to its series. A run passes no observer, and the readers then skip every
// call below behind one test of a pointer.
#ifndef CORVANE_READERS_OBSERVER_H
#define CORVANE_READERS_OBSERVER_H

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "readers/decade_line.h"
#include "readers/readers.h"

namespace corvane {

/// The slots (0 to 9, one per year of a decade block) of a decade data line that the reader
/// took: the values of slots from..end-1 were stored; when end < to, slot `end` holds the end
/// marker that closed the series. Slots outside from..to-1 are not taken (the first line of a
/// series: in the measurement layout the slots after its first year's decade ends, in the
/// index layout those before its first year). A chronology's first line of padding only, which
/// the reader passes over for the next line, takes no slot: from, to and end are all 10. On
/// the first line that holds a value after padding, `from` is the slot of that value.
struct TakenSlots {
  std::int32_t from = 0;
  std::int32_t to = 10;
  std::int32_t end = 10;
};

/// The conditions of a self-describing series that datar reports on the console.
enum class SelfDescribingCondition : std::uint8_t {
  bad_value,   ///< a value field failed to convert
  early_end,   ///< the file ended before the count's values
  bad_format,  ///< the format text is no field description
};

/// Told by trrw and datar what they do, line by line, in reading order. When a call comes, the
/// file's line number (LineFile::line_number) is that of the line it is about, unless said
/// otherwise. With an observer the readers go on past the limits of a run (see trrw).
class ReaderObserver {
 public:
  virtual ~ReaderObserver() = default;
  /// trrw passed over `line` as a text line (a field failed to convert); `in_series` when a
  /// data line came before it in the same call.
  virtual void text_line(std::string_view line, bool in_series) = 0;
  /// trrw took `line` (as read, every column of it) as a data line, with its year field and its
  /// ten value fields (index layout: the values without their counts), and these slots. `plain`
  /// when the reader found every numeric field a plain right-aligned number (digits after
  /// leading blanks, or blanks only); false when it did not look.
  virtual void data_line(std::string_view line, std::int32_t year,
                         std::span<const std::int32_t, 10> values, TakenSlots slots,
                         bool plain) = 0;
  /// Where runs of plain full lines (see decade_line.h) may pass without a data_line call each:
  /// what each line of such a run must hold so that the observer has nothing to say of it, or
  /// nothing when every line is to be told. Asked before each run, in a series' body.
  virtual std::optional<decade::PlainCheck> plain_run() { return std::nullopt; }
  /// trrw took `lines` lines that met plain_run()'s check, all ten values of each, without a
  /// data_line call; the file's line number is that of the last of them.
  virtual void plain_lines(std::int32_t lines) { (void)lines; }
  /// A limit where a run stops; the reader goes on. A text-line limit comes after its
  /// text_line, a value limit after the data_line that holds the 10001st value, a count limit
  /// after count_line.
  virtual void limit(ReadLimit limit) = 0;
  /// trrw found `line`, the "#" line that begins a self-describing series, and hands the series
  /// to datar.
  virtual void title_line(std::string_view line) = 0;
  /// datar took its count line: the title as it stands then (its first 8 characters are the
  /// series' ID), the count, and the format text.
  virtual void count_line(std::span<const char, kLineWidth> title, std::int32_t count,
                          std::string_view format) = 0;
  /// datar met a condition: after `values_read` values, a bad value field beginning at
  /// `column` of the current line; an early end of the file (the line number is then the
  /// last line's); a bad format text (at the count line).
  virtual void condition(SelfDescribingCondition what, std::int32_t values_read,
                         std::int32_t column) = 0;
};

}  // namespace corvane

#endif  // CORVANE_READERS_OBSERVER_H
