// Findings of one data file, from what the readers tell while they read it as a run does.
#include "check/file_check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

constexpr std::size_t kLineWidth = 80;

// A numeric field of a decade line: 0-based column, width, and what it holds.
struct Field {
  std::int32_t column;
  std::int32_t width;
  const char* what;
};

// The year field, then value field `k` (and, index layout, its count) by slot.
Field year_field(bool measurement) { return {measurement ? 8 : 6, 4, "year"}; }
Field value_field(bool measurement, std::int32_t k) {
  return measurement ? Field{12 + 6 * k, 6, "value"} : Field{10 + 7 * k, 4, "value"};
}
Field count_field(std::int32_t k) { return {14 + 7 * k, 3, "count"}; }

// Every numeric field of a line, in column order.
template <class Visit>
void for_each_field(bool measurement, Visit&& visit) {
  if (!visit(year_field(measurement))) return;
  for (std::int32_t k = 0; k < 10; ++k) {
    if (!visit(value_field(measurement, k))) return;
    if (!measurement && !visit(count_field(k))) return;
  }
}

// The first 80 columns of a line as the reader takes them, padded with blanks into `buffer`
// (and a word of blanks after them).
constexpr std::size_t kBufferWidth = kLineWidth + 8;
std::string_view columns_of(std::string_view line, char (&buffer)[kBufferWidth]) {
  const std::size_t n = std::min(line.size(), kLineWidth);
  std::memcpy(buffer, line.data(), n);
  std::memset(buffer + n, ' ', kBufferWidth - n);
  return {buffer, kLineWidth};
}

// Eight columns at a time: the high bit of each byte set where that byte is no blank.
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
std::uint64_t nonblank_bytes(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  const std::uint64_t x = w ^ 0x2020202020202020ULL;
  return (((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | x) & kHighBits;
}

// For each column, as high bits of the bytes of ten words: whether a non-blank character
// followed by a blank is unusual there. It is usual in the ID, in the last column of a numeric
// field and in the columns that no field reaches; elsewhere it is a blank inside a field,
// after a digit or a sign.
using ColumnMask = std::array<std::uint64_t, kLineWidth / 8>;
constexpr ColumnMask unusual_gaps(bool measurement) {
  ColumnMask m{};
  const auto unusual = [&m](std::int32_t from, std::int32_t width) {
    for (std::int32_t i = from; i < from + width - 1; ++i) {
      m[static_cast<std::size_t>(i / 8)] |= std::uint64_t{0x80} << (8 * (i % 8));
    }
  };
  unusual(measurement ? 8 : 6, 4);  // the year
  for (std::int32_t k = 0; k < 10; ++k) {
    if (measurement) {
      unusual(12 + 6 * k, 6);
    } else {
      unusual(10 + 7 * k, 4);
      unusual(14 + 7 * k, 3);
    }
  }
  return m;
}
constexpr ColumnMask kUnusualGaps[2] = {unusual_gaps(true), unusual_gaps(false)};

// True when some numeric field of the line has a blank after a non-blank character: a number
// with blanks in it, or one that is not right-aligned. Right-aligned fields never do. Only the
// words that hold numeric fields are looked at (in the measurement layout, columns 9-72).
template <bool kMeasurement>
bool has_inner_blank(const char (&buffer)[kBufferWidth]) {
  constexpr std::size_t kFirst = kMeasurement ? 1 : 0;
  constexpr std::size_t kEnd = kMeasurement ? 9 : kLineWidth / 8;
  const ColumnMask& unusual = kUnusualGaps[kMeasurement ? 0 : 1];
  std::uint64_t nonblank = nonblank_bytes(buffer + 8 * kFirst);
  std::uint64_t gaps = 0;
  for (std::size_t j = kFirst; j < kEnd; ++j) {
    const std::uint64_t next = nonblank_bytes(buffer + 8 * (j + 1));
    gaps |= nonblank & ~((nonblank >> 8) | (next << 56)) & unusual[j];
    nonblank = next;
  }
  return gaps != 0;
}

std::string_view field_text(std::string_view columns, const Field& f) {
  return columns.substr(static_cast<std::size_t>(f.column), static_cast<std::size_t>(f.width));
}

bool blank(std::string_view field) {
  return std::all_of(field.begin(), field.end(), [](char c) { return c == ' '; });
}

// Digits with blanks between them ("10 30"); a sign before them does not count.
bool embedded_blank(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  while (i < field.size() && field[i] != ' ') ++i;
  if (i == field.size()) return false;  // the usual case: right-aligned
  const std::size_t first = field.find_first_of("0123456789");
  const std::size_t last = field.find_last_of("0123456789");
  if (first == std::string_view::npos) return false;
  return field.substr(first, last - first).find(' ') != std::string_view::npos;
}

std::string columns(const Field& f) {
  return "columns " + std::to_string(f.column + 1) + "-" + std::to_string(f.column + f.width);
}

// "1 value" / "3 values".
std::string counted(std::int64_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::int32_t block_of(std::int32_t year) { return year - (((year % 10) + 10) % 10); }

bool is_marker(bool measurement, std::int32_t v) {
  return measurement ? v == kHundredthsEnd || v == kThousandthsEnd : v >= kIndexEnd;
}

// A field's text as a finding quotes it.
std::string quoted(std::string_view text) { return escaped(text, Escaping::quoted); }

std::string id_text(const SeriesId& id) {
  const std::string_view s(id.data(), id.size());
  return quoted(s.substr(0, s.find_last_not_of(' ') + 1));
}

}  // namespace

FileCheck::FileCheck(Services& io, int handle, LayoutCode code, FindingStream& findings)
    : io_(io),
      handle_(handle),
      file_(io.source(handle)),
      code_(code),
      measurement_(code == LayoutCode::mr),
      findings_(findings) {}

std::int64_t FileCheck::read(std::int64_t series_before) {
  std::vector<float> values(kMaxValues);
  std::int32_t counter = 0;
  std::int64_t delivered_here = 0;
  for (;;) {
    begin_call();
    SeriesId id;
    id.fill(' ');
    std::int32_t first_year = 0, n = 0;
    bool self_describing = false;
    const ReadLimit limit =
        trrw(id, first_year, n, values, counter, io_, handle_, code_, self_describing, this);
    if (limit != ReadLimit::none) continue;  // where a run stops: the series is not delivered
    if (counter >= 1) {
      delivered(series_before + ++delivered_here);
      continue;
    }
    if (file_.failed()) {
      add(0, Code::open,
          "the file could not be read after line " + std::to_string(file_.line_number()) + " (" +
              std::strerror(file_.error_number()) + "): the check of it ends there");
    } else if (first_line_ != 0) {
      if (self_describing_ && count_line_ == 0) {
        add(first_line_, Code::unterminated,
            "the file ends before the count line of self-describing series " + series() +
                ", whose title line this is: the reader drops the series");
      } else {
        add(first_line_, Code::unterminated,
            "the file ends inside series " + series() +
                ", begun on this line, before its end marker: the reader drops the series");
      }
    }
    break;
  }
  findings_.finish();
  return delivered_here;
}

void FileCheck::begin_call() {
  // What the calls before found is final up to the line read last; that line itself may be
  // read again after a step back.
  findings_.release(file_.line_number());
  first_line_ = 0;
  self_describing_ = false;
  data_lines_ = 0;
  have_previous_ = false;
  count_line_ = 0;
  count_ = 0;
  bad_format_ = false;
  too_long_ = false;
  text_before_line_ = 0;
}

void FileCheck::add(std::int64_t line, Code code, std::string message) {
  findings_.add(line, code, std::move(message));
}

std::string FileCheck::series() const { return id_text(id_); }

void FileCheck::delivered(std::int64_t number) {
  if (number == kCatalogueRoom + 1) {
    add(first_line_, Code::catalogue_full,
        "series " + series() + " is series " + std::to_string(number) +
            " of the files checked together: a run stops here, as its catalogue holds at most " +
            std::to_string(kCatalogueRoom) + " series");
  }
  std::uint64_t key = 0;
  static_assert(sizeof key == std::tuple_size_v<SeriesId>);
  std::memcpy(&key, id_.data(), sizeof key);
  const auto [it, fresh] = first_lines_.try_emplace(key, first_line_);
  if (!fresh) {
    add(first_line_, Code::duplicate_id,
        "series " + series() + " has the ID of the series begun on line " +
            std::to_string(it->second) + ": both are listed under one ID");
  }
  if (self_describing_ && count_ == 0 && !bad_format_) {
    add(count_line_, Code::empty_series,
        "the count line of self-describing series " + series() +
            " gives 0 values: the series is listed with no values");
  }
}

namespace {

// What makes a decade line a text line: "the value field "  11x" in columns 19-24 does not
// convert".
std::string failed_field(bool measurement, std::string_view line) {
  char buffer[kBufferWidth];
  const std::string_view c = columns_of(line, buffer);
  std::string what = "a field does not convert";
  for_each_field(measurement, [&](const Field& f) {
    std::int32_t v = 0;
    if (parse_integer_field(field_text(c, f), v)) return true;
    what = "the " + std::string(f.what) + " field " + quoted(field_text(c, f)) + " in " +
           columns(f) + " does not convert";
    return false;
  });
  return what;
}

}  // namespace

void FileCheck::text_line(std::string_view line, bool in_series) {
  if (!in_series) {
    // Headers, titles and text between series are no findings, unless the line turns out to
    // be the damaged first line of the series that follows.
    text_before_.assign(line.substr(0, kLineWidth));
    text_before_line_ = file_.line_number();
    return;
  }
  const std::string what = failed_field(measurement_, line);
  add(file_.line_number(), Code::text_in_series,
      what + ", so the reader passes over the line as text: series " + series() +
          " goes on with its next data line, without this line's values");
}

void FileCheck::limit(ReadLimit limit) {
  switch (limit) {
    case ReadLimit::none:
      break;
    case ReadLimit::text_lines:
      add(file_.line_number(), Code::text_limit,
          "this is the 26th text line that one call of the reader passes over: a run stops here "
          "with \"sbr trrw:  over 25 text lines\", and the check counts them from 0 again");
      break;
    case ReadLimit::values:
      too_long_ = true;
      add(file_.line_number(), Code::too_long,
          "series " + series() + " reaches its value " + std::to_string(kMaxValues + 1) +
              " (year " + std::to_string(static_cast<std::int64_t>(first_year_) + kMaxValues) +
              ") on this line: a run stops here, as a series holds at most " +
              std::to_string(kMaxValues) + " values, and the check passes over the series");
      break;
    case ReadLimit::count:
      add(count_line_, Code::sd_bad_count,
          "the count line of self-describing series " + series() + " gives " +
              std::to_string(count_) + " values: a run stops here, as a series holds 0 to " +
              std::to_string(kMaxValues) + " values, and the check passes over the series");
      break;
  }
}

void FileCheck::damaged_first_line(std::string_view first_line, std::int32_t signed_year) {
  char text_buffer[kBufferWidth];
  char data_buffer[kBufferWidth];
  const std::string_view text = columns_of(text_before_, text_buffer);
  const std::string_view data = columns_of(first_line, data_buffer);
  const std::size_t id_width = measurement_ ? 8 : 6;
  if (text.substr(0, id_width) != data.substr(0, id_width)) return;
  std::int32_t year = 0;
  if (!parse_integer_field(field_text(text, year_field(measurement_)), year)) return;
  if (measurement_ && text[7] == '-') year = -year;  // the same sign as the series' own line
  if (block_of(year) != block_of(signed_year) - 10) return;
  const std::int32_t block_end = block_of(year) + 9;
  const std::string lost = year == block_end ? "the ring of " + std::to_string(year) + " is"
                                             : "the rings of " + std::to_string(year) + "-" +
                                                   std::to_string(block_end) + " are";
  add(text_before_line_, Code::damaged_first_line,
      failed_field(measurement_, text_before_) +
          ", so the reader passes over the line as text; it is most likely the first data line "
          "of series " +
          series() + ", damaged: " + lost + " lost and the series begins in " +
          std::to_string(signed_year) + " instead of " + std::to_string(year));
}

void FileCheck::title_line(std::string_view line) {
  text_before_line_ = 0;
  first_line_ = file_.line_number();
  self_describing_ = true;
  id_.fill(' ');
  std::memcpy(id_.data(), line.data(), std::min(line.size(), id_.size()));
}

void FileCheck::count_line(std::span<const char, 80> title, std::int32_t count,
                           std::string_view format) {
  count_line_ = file_.line_number();
  count_ = count;
  format_ = format;
  std::memcpy(id_.data(), title.data(), id_.size());
}

void FileCheck::condition(SelfDescribingCondition what, std::int32_t values_read,
                          std::int32_t column) {
  switch (what) {
    case SelfDescribingCondition::bad_value:
      add(file_.line_number(), Code::sd_bad_value,
          "value " + std::to_string(values_read + 1) + " of the " + std::to_string(count_) +
              " of self-describing series " + series() + ", in the field from column " +
              std::to_string(column) + ", does not convert: the reader ends the series with " +
              counted(values_read, "value", "values") + " and passes over its other value lines");
      break;
    case SelfDescribingCondition::early_end:
      add(count_line_, Code::sd_early_end,
          "the file ends after " + std::to_string(values_read) + " of the " +
              std::to_string(count_) + " values of self-describing series " + series() +
              ": the reader lists the series with those " + std::to_string(values_read));
      break;
    case SelfDescribingCondition::bad_format:
      bad_format_ = true;
      add(count_line_, Code::sd_bad_format,
          "the format text " + quoted(format_) + " of self-describing series " + series() +
              " is no field description: the reader lists the series with no values and reads "
              "the lines after the count line as decade lines");
      break;
  }
}

void FileCheck::data_line(std::string_view line, std::int32_t year,
                          std::span<const std::int32_t, 10> values, TakenSlots slots, bool plain) {
  const std::int64_t at = file_.line_number();
  const bool first = data_lines_++ == 0;
  // The ID from the line itself (blanks past its end); in the measurement layout a "-" in
  // column 8 is the sign of the year, and a blank where IDs are compared.
  SeriesId id;
  if (measurement_ && line.size() >= id.size()) {
    std::memcpy(id.data(), line.data(), id.size());
  } else {
    id.fill(' ');
    std::memcpy(id.data(), line.data(), std::min<std::size_t>(line.size(), measurement_ ? 8 : 6));
  }
  const char column8 = id[7];
  // A line of no printable character that is not blank: tabs or control characters.
  const bool zero =
      year == 0 &&
      std::all_of(values.begin(), values.end(), [](std::int32_t v) { return v == 0; }) &&
      std::none_of(id.begin(), id.end(), [](char ch) {
        return static_cast<unsigned char>(ch) > 0x20 && static_cast<unsigned char>(ch) < 0x7F;
      });
  const bool minus = measurement_ && column8 == '-';
  if (minus) id[7] = ' ';
  const std::int32_t signed_year = minus ? -year : year;
  if (first) {
    first_line_ = at;
    id_ = id;
    first_year_ = signed_year;
    if (text_before_line_ != 0) damaged_first_line(line, signed_year);
  }

  if (zero) {
    add(at, Code::zero_line,
        first ? "the line holds no printable character but is not blank (tabs or control "
                "characters where blanks belong): the reader begins a series with it, of a blank "
                "ID and ten rings of width 0, and takes the lines after it as more of that series"
              : "the line holds no printable character but is not blank (tabs or control "
                "characters where blanks belong): the reader takes it as ten rings of width 0 in "
                "series " +
                    series() + ", whose later values stand ten years late");
  } else {
    // A zero line's ID and year are no one's: it takes no part in these comparisons.
    if (have_previous_) {
      const std::int32_t expected = previous_block_ + 10;
      if (signed_year != expected) {
        const std::int64_t shift = static_cast<std::int64_t>(signed_year) - expected;
        add(at, Code::decade_step,
            "series " + series() + " expects the year " + std::to_string(expected) +
                " here but the line says " + std::to_string(signed_year) +
                ": the reader ignores the years of later lines, so from here on the values stand " +
                counted(shift < 0 ? -shift : shift, "year", "years") +
                (shift > 0 ? " early" : " late") +
                " (a decade line missing, doubled or out of order)");
      }
      if (id != previous_id_) {
        add(at, Code::id_change,
            "the ID " + id_text(id) + " differs from " + id_text(previous_id_) +
                " on the data line before: the reader goes on with series " + series() +
                ", reading two series as one (an end marker missing)");
      }
    }
    // Where the years follow, the year is its own block: no division.
    previous_block_ =
        have_previous_ && signed_year == previous_block_ + 10 ? signed_year : block_of(signed_year);
    have_previous_ = true;
    previous_id_ = id;
  }

  // The values and fields are looked at closely only where a cheap look finds a reason: the
  // series' first line, its last, a value of 0 or below, a blank inside a numeric field (none
  // where the reader found every field plain). Only then are the columns copied.
  char buffer[kBufferWidth];
  bool inner_blank = false;
  if (!plain) {
    columns_of(line, buffer);
    inner_blank = measurement_ ? has_inner_blank<true>(buffer) : has_inner_blank<false>(buffer);
  }
  bool closer = first || slots.end < slots.to || inner_blank;
  if (!closer) {
    // A value of 0 or below among the ten (the line takes all ten slots here): v - 1 has its
    // top bit set (a field of at most 6 columns is far from the smallest integer).
    std::uint32_t low = 0;
    for (const std::int32_t v : values) low |= static_cast<std::uint32_t>(v) - 1u;
    closer = (low >> 31) != 0;
  }
  if (closer) {
    if (plain) columns_of(line, buffer);
    check_fields(std::string_view(buffer, kLineWidth), at, year, values, slots, first, zero,
                 inner_blank);
  }

  if (line.size() > kLineWidth) {
    const std::string_view rest = line.substr(kLineWidth);
    const std::size_t from = rest.find_first_not_of(' ');
    if (from != std::string_view::npos) {
      add(at, Code::beyond_80,
          "the line goes on after column 80 with " + quoted(rest.substr(from, 24)) +
              (rest.size() - from > 24 ? "..." : "") + ": the reader ignores those characters");
    }
  }
  if (first && measurement_ && column8 >= '0' && column8 <= '9') {
    add(at, Code::year_in_id,
        "column 8 of the ID " + quoted(line.substr(0, 8)) +
            " is a digit: the ID may have taken the year's first digit, so that series " +
            series() + " begins in year " + std::to_string(signed_year));
  }
  if (measurement_ && slots.end < slots.to) {
    const std::int32_t marker = values[static_cast<std::size_t>(slots.end)];
    if (first_marker_ == 0) {
      first_marker_ = marker;
      first_marker_series_ = series();
    } else if (marker != first_marker_ && !mixed_told_) {
      mixed_told_ = true;
      const auto unit = [](std::int32_t m) {
        return m == kHundredthsEnd ? std::string("999 (hundredths of a millimetre)")
                                   : std::string("-9999 (thousandths of a millimetre)");
      };
      add(at, Code::mixed_precision,
          "series " + series() + " is closed by " + unit(marker) +
              " where the file's first series, " + first_marker_series_ + ", is closed by " +
              unit(first_marker_) + ": the file mixes two units");
    }
  }
}

void FileCheck::check_fields(std::string_view columns80, std::int64_t at, std::int32_t year,
                             std::span<const std::int32_t, 10> values, TakenSlots slots, bool first,
                             bool zero, bool inner_blank) {
  const std::string_view c = columns80;
  const auto value = [&](std::int32_t k) { return values[static_cast<std::size_t>(k)]; };
  const auto field = [&](std::int32_t k) { return value_field(measurement_, k); };
  const auto is_blank = [&](std::int32_t k) { return blank(field_text(c, field(k))); };
  // Value fields of one kind on the line: how many, and where the first is.
  struct Tally {
    std::int32_t count = 0;
    Field first{};
    void add(const Field& f) {
      if (count++ == 0) first = f;
    }
    bool one() const { return count == 1; }
  };
  // "1 value (" x ", in columns a-b)" or "3 values (the first, ...)", around `middle`.
  const auto values_with = [&](const Tally& t, std::string_view middle) {
    return counted(t.count, "value", "values") + std::string(middle) + " (" +
           (t.one() ? "" : "the first, ") + quoted(field_text(c, t.first)) + ", in " +
           columns(t.first) + ")";
  };

  // The values taken: negative ones, blank ones.
  Tally negative, blanks;
  for (std::int32_t k = slots.from; k < slots.end; ++k) {
    if (value(k) < 0) {
      negative.add(field(k));
    } else if (value(k) == 0 && !zero && is_blank(k)) {  // a zero line is told once
      blanks.add(field(k));
    }
  }
  if (negative.count > 0) {
    add(at, Code::negative_value,
        values_with(negative, " of series " + series() + " on this line") +
            (measurement_
                 ? (negative.one() ? " is below 0, the code of a missing ring: the reader reads "
                                     "it as a ring of width 0, which counts in the mean"
                                   : " are below 0, codes of missing rings: the reader reads "
                                     "them as rings of width 0, which count in the mean")
                 : (negative.one() ? " is below 0: the reader stores it as written, which counts"
                                   : " are below 0: the reader stores them as written, which "
                                     "count") +
                       std::string(" in the mean")));
  }
  if (first && slots.end == slots.from && slots.end < slots.to) {
    const Field f = field(slots.end);
    add(at, Code::empty_series,
        measurement_ ? "series " + series() + " ends at its first value, the end marker " +
                           quoted(field_text(c, f)) + " in " + columns(f) +
                           ": the series is listed with no values"
                     : "series " + series() + " ends at its first year, " + std::to_string(year) +
                           ", where " + columns(f) + " hold the end marker " +
                           quoted(field_text(c, f)) + ": the series is listed with no values");
  }

  // Values after the end marker, and values in slots that the reader does not take.
  if (slots.end < slots.to) {
    Tally after;
    for (std::int32_t k = slots.end + 1; k < 10; ++k) {
      if (!is_marker(measurement_, value(k)) && !is_blank(k)) after.add(field(k));
    }
    if (after.count > 0) {
      add(at, Code::after_marker,
          values_with(after, " after the end marker of series " + series() + " on this line") +
              (after.one() ? " is" : " are") + " dropped by the reader");
    }
  }
  if (first) {
    // Measurement layout: the slots after the first line's; those after a marker are
    // after-marker values. Index layout: the slots before the first year, where an end marker
    // is the usual padding.
    Tally ignored;
    const std::int32_t lo = measurement_ ? (slots.end < slots.to ? 10 : slots.to) : 0;
    const std::int32_t hi = measurement_ ? 10 : slots.from;
    for (std::int32_t k = lo; k < hi; ++k) {
      if ((measurement_ || !is_marker(false, value(k))) && !is_blank(k)) ignored.add(field(k));
    }
    if (ignored.count > 0) {
      const std::string where =
          measurement_
              ? " after the " + std::to_string(slots.to) + " slots that the first line of series " +
                    series() + " holds for " + std::to_string(first_year_) + "-" +
                    std::to_string(first_year_ + slots.to - 1)
              : " before the first year " + std::to_string(year) + " of series " + series();
      add(at, Code::ignored_slot,
          values_with(ignored, where) + (ignored.one() ? " is not taken: the reader drops it"
                                                       : " are not taken: the reader drops them"));
    }
  }
  if (blanks.count > 0) {
    add(at, Code::blank_value,
        counted(blanks.count, "value field", "value fields") + " of series " + series() +
            " on this line " + (blanks.one() ? "is blank (" : "are blank (the first in ") +
            columns(blanks.first) + "): the reader takes " + (blanks.one() ? "it" : "each") +
            " as 0");
  }

  // Numeric fields whose digits are separated by blanks (only where a blank follows a
  // non-blank inside a field).
  if (!inner_blank) return;
  Tally embedded;
  for_each_field(measurement_, [&](const Field& f) {
    if (embedded_blank(field_text(c, f))) embedded.add(f);
    return true;
  });
  if (embedded.count > 0) {
    const Field& f = embedded.first;
    std::int32_t read = 0;
    (void)parse_integer_field(field_text(c, f), read);
    add(at, Code::embedded_blank,
        "the " + std::string(f.what) + " field " + quoted(field_text(c, f)) + " in " + columns(f) +
            " has blanks between its digits and reads as " + std::to_string(read) +
            (embedded.one()
                 ? ""
                 : " (and " + counted(embedded.count - 1, "more such field", "more such fields") +
                       ")") +
            ": the columns of this line are probably shifted");
  }
}

}  // namespace corvane
