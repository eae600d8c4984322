// Findings of one data file, from what the readers tell while they read it as a run does.
#include "check/file_check.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "check/describe.h"
#include "readers/decade_line.h"
#include "readers/series_reader.h"

namespace corvane {

namespace {

using decade::Field;
using decade::FieldKind;

// The text of a field among the first 80 columns of a line.
std::string_view field_text(std::string_view columns, const Field& f) {
  return columns.substr(f.start, f.width);
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

// The ID as a fact names it: without its trailing blanks.
std::string id_name(const SeriesId& id) { return std::string(trim_name({id.data(), id.size()})); }

// Counts fields of one kind on a line, keeping the first.
void tally(FieldTally& t, std::string_view columns, const Field& f, FieldKind kind) {
  if (t.count++ == 0) t.first = FieldFact{f, kind, std::string(field_text(columns, f))};
}

// The field that makes a decade line a text line: the first that does not convert (none
// counted when every one converts).
FieldTally failed_field(LayoutCode code, std::string_view line) {
  char buffer[kLineWidth];
  const std::string_view c = padded_columns(line, buffer);
  FieldTally failed;
  const std::span<const Field> fields = decade::number_fields(code);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::int32_t v = 0;
    if (parse_integer_field(field_text(c, fields[i]), v)) continue;
    tally(failed, c, fields[i], decade::field_kind(code, i));
    break;
  }
  return failed;
}

}  // namespace

FileCheck::FileCheck(LineFile& file, LayoutCode code, FindingStream& findings)
    : file_(file), code_(code), measurement_(code == LayoutCode::mr), findings_(findings) {}

std::int64_t FileCheck::read(std::int64_t series_before) {
  // The readers' own console messages become findings: what they write goes nowhere.
  struct : Sink {
    void put(std::string_view) override {}
  } silent;
  SeriesReader reader(file_, code_, silent, this);
  std::int64_t delivered_here = 0;
  for (;;) {
    begin_call();
    const SeriesStep step = reader.next();
    // Where a run stops at a limit the series is not delivered; the check goes on.
    if (step.kind == SeriesStep::Kind::limit) continue;
    if (step.kind == SeriesStep::Kind::series) {
      delivered(series_before + ++delivered_here);
      continue;
    }
    if (file_.failed()) {
      Fact f = fact(0, Code::open);
      f.situation = Situation::unreadable;
      f.count = file_.line_number();
      f.error = file_.error_number();
      record(std::move(f));
    } else if (first_line_ != 0) {
      Fact f = fact(first_line_, Code::unterminated);
      if (self_describing_ && count_line_ == 0) f.situation = Situation::self_describing;
      record(std::move(f));
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

Fact FileCheck::fact(std::int64_t line, Code code) const {
  Fact f;
  f.code = code;
  f.line = line;
  f.layout = code_;
  f.series = id_name(id_);
  return f;
}

void FileCheck::record(Fact fact) {
  // A finding past its code's cap is only counted: it is not worded.
  findings_.add(fact.line, fact.code, findings_.keeps(fact.code) ? describe(fact) : std::string());
}

void FileCheck::delivered(std::int64_t number) {
  if (number == kMaxSeries + 1) {
    Fact f = fact(first_line_, Code::catalogue_full);
    f.count = number;
    record(std::move(f));
  }
  std::uint64_t key = 0;
  static_assert(sizeof key == std::tuple_size_v<SeriesId>);
  std::memcpy(&key, id_.data(), sizeof key);
  const auto [it, fresh] = first_lines_.try_emplace(key, first_line_);
  if (!fresh) {
    Fact f = fact(first_line_, Code::duplicate_id);
    f.count = it->second;
    record(std::move(f));
  }
  if (self_describing_ && count_ == 0 && !bad_format_) {
    Fact f = fact(count_line_, Code::empty_series);
    f.situation = Situation::self_describing;
    record(std::move(f));
  }
}

void FileCheck::text_line(std::string_view line, bool in_series) {
  if (!in_series) {
    // Headers, titles and text between series are no findings, unless the line turns out to
    // be the damaged first line of the series that follows.
    text_before_.assign(line.substr(0, kLineWidth));
    text_before_line_ = file_.line_number();
    return;
  }
  Fact f = fact(file_.line_number(), Code::text_in_series);
  f.tally = failed_field(code_, line);
  record(std::move(f));
}

// A line of a series' body has nothing to tell when its ID is the line before's (a "-" in
// column 8 of a measurement line is left to data_line), its year that line's block + 10, no
// value 0 (no blank value field, no zero line) and no value below 0 or end marker (which
// plain lines have not), no column past 80 (which plain full lines have not), and it is not
// the series' first line (whose column 8 is looked at).
std::optional<decade::PlainCheck> FileCheck::plain_run() {
  if (!have_previous_ || data_lines_ == 0) return std::nullopt;
  decade::PlainCheck check;
  const std::size_t width = decade::id_width(code_);
  check.id = decade::load_little<std::uint64_t>(previous_id_.data());
  check.id_mask = width >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * width)) - 1;
  check.id &= check.id_mask;
  check.year = previous_block_ + 10;
  return check;
}

void FileCheck::plain_lines(std::int32_t lines) {
  data_lines_ += lines;
  previous_block_ += 10 * lines;
}

void FileCheck::limit(ReadLimit limit) {
  switch (limit) {
    case ReadLimit::none:
      break;
    case ReadLimit::text_lines:
      record(fact(file_.line_number(), Code::text_limit));
      break;
    case ReadLimit::values: {
      too_long_ = true;
      Fact f = fact(file_.line_number(), Code::too_long);
      f.year = first_year_;
      record(std::move(f));
      break;
    }
    case ReadLimit::count: {
      Fact f = fact(count_line_, Code::sd_bad_count);
      f.total = count_;
      record(std::move(f));
      break;
    }
  }
}

void FileCheck::damaged_first_line(std::string_view first_line, std::int32_t signed_first) {
  const std::optional<std::int32_t> year =
      decade::damaged_first_year(code_, text_before_, first_line, signed_first);
  if (!year) return;
  Fact f = fact(text_before_line_, Code::damaged_first_line);
  f.tally = failed_field(code_, text_before_);
  f.year = signed_first;
  f.other_year = *year;
  record(std::move(f));
}

void FileCheck::title_line(std::string_view line) {
  text_before_line_ = 0;
  first_line_ = file_.line_number();
  self_describing_ = true;
  id_.fill(' ');
  std::memcpy(id_.data(), line.data(), std::min(line.size(), id_.size()));
}

void FileCheck::count_line(std::span<const char, kLineWidth> title, std::int32_t count,
                           std::string_view format) {
  count_line_ = file_.line_number();
  count_ = count;
  format_ = format;
  std::memcpy(id_.data(), title.data(), id_.size());
}

void FileCheck::condition(SelfDescribingCondition what, std::int32_t values_read,
                          std::int32_t column) {
  Code code = Code::sd_bad_value;
  std::int64_t at = file_.line_number();  // a bad value: its line; the others: the count line
  switch (what) {
    case SelfDescribingCondition::bad_value:
      break;
    case SelfDescribingCondition::early_end:
      code = Code::sd_early_end;
      at = count_line_;
      break;
    case SelfDescribingCondition::bad_format:
      bad_format_ = true;
      code = Code::sd_bad_format;
      at = count_line_;
      break;
  }
  Fact f = fact(at, code);
  f.count = values_read;
  f.total = count_;
  f.column = column;
  f.id = format_;
  record(std::move(f));
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
    std::memcpy(id.data(), line.data(), std::min(line.size(), decade::id_width(code_)));
  }
  const char column8 = id[7];
  // A line of no printable character that is not blank: tabs or control characters.
  const bool zero =
      year == 0 &&
      std::all_of(values.begin(), values.end(), [](std::int32_t v) { return v == 0; }) &&
      std::none_of(id.begin(), id.end(), [](char ch) {
        return static_cast<unsigned char>(ch) > 0x20 && static_cast<unsigned char>(ch) < 0x7F;
      });
  if (sign_in_id(code_, column8)) id[7] = ' ';
  const std::int32_t line_year = signed_year(code_, column8, year);
  if (first) {
    first_line_ = at;
    id_ = id;
    first_year_ = line_year;
    if (text_before_line_ != 0) damaged_first_line(line, line_year);
  }

  if (zero) {
    Fact f = fact(at, Code::zero_line);
    if (first) f.situation = Situation::begins_series;
    record(std::move(f));
  } else {
    // A zero line's ID and year are no one's: it takes no part in these comparisons.
    if (have_previous_) {
      const std::int32_t expected = previous_block_ + 10;
      if (line_year != expected) {
        Fact f = fact(at, Code::decade_step);
        f.year = line_year;
        f.other_year = expected;
        record(std::move(f));
      }
      if (id != previous_id_) {
        Fact f = fact(at, Code::id_change);
        f.id = id_name(id);
        f.other_id = id_name(previous_id_);
        record(std::move(f));
      }
    }
    // Where the years follow, the year is its own block: no division.
    previous_block_ =
        have_previous_ && line_year == previous_block_ + 10 ? line_year : decade_block(line_year);
    have_previous_ = true;
    previous_id_ = id;
  }

  // The values and fields are looked at closely only where a cheap look finds a reason: the
  // series' first line, its last, a value of 0 or below, a blank inside a numeric field (none
  // where the reader found every field plain). Only then are the columns copied.
  char buffer[kLineWidth];
  bool inner_blank = false;
  if (!plain) {
    padded_columns(line, buffer);
    inner_blank = measurement_ ? decade::blank_inside_field(buffer, decade::kMeasurement)
                               : decade::blank_inside_field(buffer, decade::kIndex);
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
    if (plain) padded_columns(line, buffer);
    check_fields(std::string_view(buffer, kLineWidth), at, year, values, slots, first, zero,
                 inner_blank);
  }

  if (line.size() > kLineWidth) {
    const std::string_view rest = line.substr(kLineWidth);
    const std::size_t from = rest.find_first_not_of(' ');
    if (from != std::string_view::npos) {
      Fact f = fact(at, Code::beyond_80);
      f.id = rest.substr(from, 24);
      f.more = rest.size() - from > 24;
      record(std::move(f));
    }
  }
  if (first && measurement_ && column8 >= '0' && column8 <= '9') {
    Fact f = fact(at, Code::year_in_id);
    f.id = line.substr(0, 8);
    f.year = line_year;
    record(std::move(f));
  }
  if (measurement_ && slots.end < slots.to) {
    const std::int32_t marker = values[static_cast<std::size_t>(slots.end)];
    if (first_marker_ == 0) {
      first_marker_ = marker;
      first_marker_series_ = id_name(id_);
    } else if (marker != first_marker_ && !mixed_told_) {
      mixed_told_ = true;
      Fact f = fact(at, Code::mixed_precision);
      f.value = marker;
      f.other_id = first_marker_series_;
      f.other_value = first_marker_;
      record(std::move(f));
    }
  }
}

void FileCheck::check_fields(std::string_view columns80, std::int64_t at, std::int32_t year,
                             std::span<const std::int32_t, 10> values, TakenSlots slots, bool first,
                             bool zero, bool inner_blank) {
  const std::string_view c = columns80;
  const auto value = [&](std::int32_t k) { return values[static_cast<std::size_t>(k)]; };
  const auto field = [&](std::int32_t k) {
    return decade::value_field(code_, static_cast<std::size_t>(k));
  };
  const auto is_blank = [&](std::int32_t k) { return blank(field_text(c, field(k))); };
  const auto add_value = [&](FieldTally& t, std::int32_t k) {
    tally(t, c, field(k), FieldKind::value);
  };

  // The values taken: negative ones, blank ones.
  FieldTally negative, blanks;
  for (std::int32_t k = slots.from; k < slots.end; ++k) {
    if (value(k) < 0) {
      add_value(negative, k);
    } else if (value(k) == 0 && !zero && is_blank(k)) {  // a zero line is told once
      add_value(blanks, k);
    }
  }
  if (negative.count > 0) {
    Fact f = fact(at, Code::negative_value);
    f.tally = std::move(negative);
    record(std::move(f));
  }
  if (first && slots.end == slots.from && slots.end < slots.to) {
    Fact f = fact(at, Code::empty_series);
    add_value(f.tally, slots.end);
    f.year = year;
    record(std::move(f));
  }

  // Values after the end marker, and values in slots that the reader does not take.
  if (slots.end < slots.to) {
    FieldTally after;
    for (std::int32_t k = slots.end + 1; k < 10; ++k) {
      if (!is_end_marker(code_, value(k)) && !is_blank(k)) add_value(after, k);
    }
    if (after.count > 0) {
      Fact f = fact(at, Code::after_marker);
      f.tally = std::move(after);
      record(std::move(f));
    }
  }
  if (first) {
    // Measurement layout: the slots after the first line's; those after a marker are
    // after-marker values. Index layout: the slots before the first year, where an end marker
    // is the usual padding.
    FieldTally ignored;
    const std::int32_t lo = measurement_ ? (slots.end < slots.to ? 10 : slots.to) : 0;
    const std::int32_t hi = measurement_ ? 10 : slots.from;
    for (std::int32_t k = lo; k < hi; ++k) {
      if ((measurement_ || !is_end_marker<LayoutCode::ir>(value(k))) && !is_blank(k)) {
        add_value(ignored, k);
      }
    }
    if (ignored.count > 0) {
      Fact f = fact(at, Code::ignored_slot);
      f.tally = std::move(ignored);
      f.year = measurement_ ? first_year_ : year;
      f.count = slots.to;
      record(std::move(f));
    }
  }
  if (blanks.count > 0) {
    Fact f = fact(at, Code::blank_value);
    f.tally = std::move(blanks);
    record(std::move(f));
  }

  // Numeric fields whose digits are separated by blanks (only where a blank follows a
  // non-blank inside a field).
  if (!inner_blank) return;
  FieldTally embedded;
  const std::span<const Field> fields = decade::number_fields(code_);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (embedded_blank(field_text(c, fields[i]))) {
      tally(embedded, c, fields[i], decade::field_kind(code_, i));
    }
  }
  if (embedded.count > 0) {
    Fact f = fact(at, Code::embedded_blank);
    (void)parse_integer_field(embedded.first.text, f.value);
    f.tally = std::move(embedded);
    record(std::move(f));
  }
}

}  // namespace corvane
