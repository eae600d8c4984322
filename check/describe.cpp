// The sentences of a check's findings, made from their facts.
#include "check/describe.h"

#include <cstring>
#include <string_view>

#include "textio/textio.h"

namespace corvane {

namespace {

// A text of the file as a finding quotes it.
std::string quoted(std::string_view text) { return escaped(text, Escaping::quoted); }

// "1 value" / "3 values".
std::string counted(std::int64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string columns(const decade::Field& f) {
  return "columns " + std::to_string(f.start + 1) + "-" + std::to_string(f.start + f.width);
}

std::string_view kind_name(decade::FieldKind kind) {
  switch (kind) {
    case decade::FieldKind::year:
      return "year";
    case decade::FieldKind::value:
      return "value";
    case decade::FieldKind::count:
      return "count";
  }
  return "value";
}

// "the value field "  11x" in columns 19-24".
std::string field_named(const FieldFact& f) {
  return "the " + std::string(kind_name(f.kind)) + " field " + quoted(f.text) + " in " +
         columns(f.at);
}

// What makes a decade line a text line.
std::string failed_field(const FieldTally& t) {
  return t.count == 0 ? "a field does not convert" : field_named(t.first) + " does not convert";
}

// "1 value (" x ", in columns a-b)" or "3 values (the first, ...)", around `middle`.
std::string values_with(const FieldTally& t, std::string_view middle) {
  return counted(t.count, "value", "values") + std::string(middle) + " (" +
         (t.count == 1 ? "" : "the first, ") + quoted(t.first.text) + ", in " +
         columns(t.first.at) + ")";
}

std::string unit(std::int32_t marker) {
  return marker == kHundredthsEnd ? "999 (hundredths of a millimetre)"
                                  : "-9999 (thousandths of a millimetre)";
}

std::string open_message(const Fact& f) {
  switch (f.situation) {
    case Situation::cannot_open:
      return std::string("the file cannot be opened (") + std::strerror(f.error) +
             "): nothing of it is read";
    case Situation::list_unreadable:
      return "the list could not be read after line " + std::to_string(f.count) + " (" +
             std::strerror(f.error) + "): the files it names after that are not checked";
    case Situation::list_line_empty:
      return "line " + std::to_string(f.line) +
             " of the list names no file: a run counts it as a missing file";
    default:
      return "the file could not be read after line " + std::to_string(f.count) + " (" +
             std::strerror(f.error) + "): the check of it ends there";
  }
}

std::string negative_message(const Fact& f) {
  const bool one = f.tally.count == 1;
  const std::string what = values_with(f.tally, " of series " + quoted(f.series) + " on this line");
  if (f.layout == LayoutCode::mr) {
    return what + (one ? " is below 0, the code of a missing ring: the reader reads it as a ring "
                         "of width 0, which counts in the mean"
                       : " are below 0, codes of missing rings: the reader reads them as rings "
                         "of width 0, which count in the mean");
  }
  return what +
         (one ? " is below 0: the reader stores it as written, which counts"
              : " are below 0: the reader stores them as written, which count") +
         " in the mean";
}

std::string empty_message(const Fact& f) {
  const std::string series = quoted(f.series);
  if (f.situation == Situation::self_describing) {
    return "the count line of self-describing series " + series +
           " gives 0 values: the series is listed with no values";
  }
  const FieldFact& marker = f.tally.first;
  if (f.layout == LayoutCode::mr) {
    return "series " + series + " ends at its first value, the end marker " + quoted(marker.text) +
           " in " + columns(marker.at) + ": the series is listed with no values";
  }
  return "series " + series + " ends at its first year, " + std::to_string(f.year) + ", where " +
         columns(marker.at) + " hold the end marker " + quoted(marker.text) +
         ": the series is listed with no values";
}

std::string ignored_message(const Fact& f) {
  const std::string where =
      f.layout == LayoutCode::mr
          ? " after the " + std::to_string(f.count) + " slots that the first line of series " +
                quoted(f.series) + " holds for " + std::to_string(f.year) + "-" +
                std::to_string(f.year + f.count - 1)
          : " before the first year " + std::to_string(f.year) + " of series " + quoted(f.series);
  return values_with(f.tally, where) + (f.tally.count == 1
                                            ? " is not taken: the reader drops it"
                                            : " are not taken: the reader drops them");
}

std::string damaged_message(const Fact& f) {
  const std::int32_t year = f.other_year;
  const std::int32_t block_end = decade_block(year) + 9;
  const std::string lost = year == block_end ? "the ring of " + std::to_string(year) + " is"
                                             : "the rings of " + std::to_string(year) + "-" +
                                                   std::to_string(block_end) + " are";
  return failed_field(f.tally) +
         ", so the reader passes over the line as text; it is most likely the first data line "
         "of series " +
         quoted(f.series) + ", damaged: " + lost + " lost and the series begins in " +
         std::to_string(f.year) + " instead of " + std::to_string(year);
}

std::string decade_step_message(const Fact& f) {
  const std::int64_t shift = static_cast<std::int64_t>(f.year) - f.other_year;
  return "series " + quoted(f.series) + " expects the year " + std::to_string(f.other_year) +
         " here but the line says " + std::to_string(f.year) +
         ": the reader ignores the years of later lines, so from here on the values stand " +
         counted(shift < 0 ? -shift : shift, "year", "years") + (shift > 0 ? " early" : " late") +
         " (a decade line missing, doubled or out of order)";
}

std::string zero_line_message(const Fact& f) {
  const std::string head =
      "the line holds no printable character but is not blank (tabs or control characters "
      "where blanks belong): the reader ";
  if (f.situation == Situation::begins_series) {
    return head +
           "begins a series with it, of a blank ID and ten rings of width 0, and takes the lines "
           "after it as more of that series";
  }
  return head + "takes it as ten rings of width 0 in series " + quoted(f.series) +
         ", whose later values stand ten years late";
}

std::string embedded_message(const Fact& f) {
  return field_named(f.tally.first) + " has blanks between its digits and reads as " +
         std::to_string(f.value) +
         (f.tally.count == 1
              ? ""
              : " (and " + counted(f.tally.count - 1, "more such field", "more such fields") +
                    ")") +
         ": the columns of this line are probably shifted";
}

}  // namespace

std::string describe(const Fact& f) {
  const auto series = [&f] { return quoted(f.series); };
  switch (f.code) {
    case Code::open:
      return open_message(f);
    case Code::text_limit:
      return "this is the 26th text line that one call of the reader passes over: a run stops "
             "here with \"sbr trrw:  over 25 text lines\", and the check counts them from 0 again";
    case Code::too_long:
      return "series " + series() + " reaches its value " + std::to_string(kMaxValues + 1) +
             " (year " + std::to_string(static_cast<std::int64_t>(f.year) + kMaxValues) +
             ") on this line: a run stops here, as a series holds at most " +
             std::to_string(kMaxValues) + " values, and the check passes over the series";
    case Code::sd_bad_count:
      return "the count line of self-describing series " + series() + " gives " +
             std::to_string(f.total) + " values: a run stops here, as a series holds " +
             std::to_string(kMinSelfDescribingCount) + " to " +
             std::to_string(kMaxSelfDescribingCount) +
             " values, and the check passes over the series";
    case Code::catalogue_full:
      return "series " + series() + " is series " + std::to_string(f.count) +
             " of the files checked together: a run stops here, as its catalogue holds at most " +
             std::to_string(kMaxSeries) + " series";
    case Code::text_in_series:
      return failed_field(f.tally) + ", so the reader passes over the line as text: series " +
             series() + " goes on with its next data line, without this line's values";
    case Code::damaged_first_line:
      return damaged_message(f);
    case Code::decade_step:
      return decade_step_message(f);
    case Code::id_change:
      return "the ID " + quoted(f.id) + " differs from " + quoted(f.other_id) +
             " on the data line before: the reader goes on with series " + series() +
             ", reading two series as one (an end marker missing)";
    case Code::unterminated:
      if (f.situation == Situation::self_describing) {
        return "the file ends before the count line of self-describing series " + series() +
               ", whose title line this is: the reader drops the series";
      }
      return "the file ends inside series " + series() +
             ", begun on this line, before its end marker: the reader drops the series";
    case Code::duplicate_id:
      return "series " + series() + " has the ID of the series begun on line " +
             std::to_string(f.count) + ": both are listed under one ID";
    case Code::negative_value:
      return negative_message(f);
    case Code::empty_series:
      return empty_message(f);
    case Code::after_marker:
      return values_with(f.tally, " after the end marker of series " + series() + " on this line") +
             (f.tally.count == 1 ? " is" : " are") + " dropped by the reader";
    case Code::ignored_slot:
      return ignored_message(f);
    case Code::blank_value:
      return counted(f.tally.count, "value field", "value fields") + " of series " + series() +
             " on this line " + (f.tally.count == 1 ? "is blank (" : "are blank (the first in ") +
             columns(f.tally.first.at) + "): the reader takes " +
             (f.tally.count == 1 ? "it" : "each") + " as 0";
    case Code::embedded_blank:
      return embedded_message(f);
    case Code::zero_line:
      return zero_line_message(f);
    case Code::sd_bad_value:
      return "value " + std::to_string(f.count + 1) + " of the " + std::to_string(f.total) +
             " of self-describing series " + series() + ", in the field from column " +
             std::to_string(f.column) + ", does not convert: the reader ends the series with " +
             counted(f.count, "value", "values") + " and passes over its other value lines";
    case Code::sd_early_end:
      return "the file ends after " + std::to_string(f.count) + " of the " +
             std::to_string(f.total) + " values of self-describing series " + series() +
             ": the reader lists the series with those " + std::to_string(f.count);
    case Code::sd_bad_format:
      return "the format text " + quoted(f.id) + " of self-describing series " + series() +
             " is no field description: the reader lists the series with no values and reads "
             "the lines after the count line as decade lines";
    case Code::beyond_80:
      return "the line goes on after column 80 with " + quoted(f.id) + (f.more ? "..." : "") +
             ": the reader ignores those characters";
    case Code::year_in_id:
      return "column 8 of the ID " + quoted(f.id) +
             " is a digit: the ID may have taken the year's first digit, so that series " +
             series() + " begins in year " + std::to_string(f.year);
    case Code::mixed_precision:
      return "series " + series() + " is closed by " + unit(f.value) +
             " where the file's first series, " + quoted(f.other_id) + ", is closed by " +
             unit(f.other_value) + ": the file mixes two units";
  }
  return {};
}

}  // namespace corvane
