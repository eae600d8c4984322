// What a check records about a line of a file: the facts of a finding, without its wording.
// check/describe.h turns a fact into the sentence that a finding writes.
#ifndef CORVANE_CHECK_FACTS_H
#define CORVANE_CHECK_FACTS_H

#include <cstdint>
#include <string>

#include "check/findings.h"
#include "readers/decade_line.h"
#include "readers/readers.h"

namespace corvane {

/// Where one code is found in more than one situation, which one it is.
enum class Situation : std::uint8_t {
  usual,
  cannot_open,      ///< open: the file cannot be opened
  unreadable,       ///< open: the file's read failed part-way
  list_unreadable,  ///< open: the list's read failed part-way
  list_line_empty,  ///< open: a line of the list names no file
  self_describing,  ///< unterminated: before the count line; empty-series: a count of 0
  begins_series,    ///< zero-line: the line begins a series
};

/// A number field of a decade line: its columns, what it holds and its text as written.
struct FieldFact {
  decade::Field at{0, 0};
  decade::FieldKind kind = decade::FieldKind::value;
  std::string text;
};

/// Fields of one kind on a line: how many, and the first of them.
struct FieldTally {
  std::int32_t count = 0;
  FieldFact first;
};

/// The facts of one finding. Which members a code fills:
///
/// - open: `error` (the system's error number) and, unless the file cannot be opened, `count`
///   (the lines read before the failure); a list line that names no file: the line alone.
/// - text-limit: nothing more. too-long: `series`, `year` (the series' first year).
/// - sd-bad-count, sd-early-end, sd-bad-value: `series`, `total` (the count line's count);
///   sd-early-end and sd-bad-value also `count` (the values read), sd-bad-value `column` (where
///   the field that failed begins).
/// - catalogue-full: `series`, `count` (its number among the series of the files checked).
/// - text-in-series: `series`, `tally` (the field that failed, if one did).
/// - damaged-first-line: `series`, `tally` (the text line's field that failed), `year` (the
///   series' first year) and `other_year` (the year the text line says).
/// - decade-step: `series`, `year` (what the line says), `other_year` (what the series expects).
/// - id-change: `series`, `id` (the line's), `other_id` (the data line's before).
/// - unterminated, duplicate-id (`count`: the first line of the earlier series), zero-line,
///   empty-series of a count 0: `series`.
/// - negative-value, after-marker, blank-value, embedded-blank: `series`, `tally`; embedded-blank
///   also `value` (what the first such field reads as).
/// - empty-series at a marker: `series`, `tally` (the marker's field), `year` (the line's).
/// - ignored-slot: `series`, `tally`, `year` (the series' first year), `count` (the slots the
///   first line holds, measurement layout).
/// - sd-bad-format: `series`, `id` (the format text).
/// - beyond-80: `id` (the first columns after 80 that are not blank), `more` (more follow).
/// - year-in-id: `series`, `id` (the ID's 8 columns), `year`.
/// - mixed-precision: `series`, `value` (its end marker), `other_id` (the file's first
///   series), `other_value` (that series' end marker).
///
/// IDs and texts stand as written in the file, an ID without its trailing blanks.
struct Fact {
  Code code = Code::open;
  std::int64_t line = 0;  ///< 1-based; 0 for the file as a whole
  Situation situation = Situation::usual;
  LayoutCode layout = LayoutCode::mr;
  std::string series;    ///< the ID of the series that the line belongs to
  std::string id;        ///< another ID or a text of the line
  std::string other_id;  ///< a second other ID
  FieldTally tally;
  std::int64_t count = 0;
  std::int64_t total = 0;
  std::int32_t year = 0;
  std::int32_t other_year = 0;
  std::int32_t value = 0;
  std::int32_t other_value = 0;
  std::int32_t column = 0;
  int error = 0;
  bool more = false;
};

}  // namespace corvane

#endif  // CORVANE_CHECK_FACTS_H
