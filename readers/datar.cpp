// The self-describing series reader: title, count line with a field description, values.
#include <algorithm>
#include <cstring>
#include <string>

#include "readers/observer.h"
#include "readers/readers.h"

namespace corvane {

namespace {

// Count in columns 3-10, first year in 13-20, field description in 23-30.
const Layout& count_layout() {
  static const Layout layout{blanks(2), integer(8), blanks(2), integer(8), blanks(2), text(8)};
  return layout;
}

void message(Sink& console, std::string_view text) {
  console.put(text);
  console.put("\n");
}

}  // namespace

const std::optional<Layout>& FormatCache::layout_of(std::string_view format) {
  if (!known_ || format != text_) {
    layout_ = parse_description(format);
    text_.assign(format);
    known_ = true;
  }
  return layout_;
}

ReadLimit datar(std::span<char, kLineWidth> title, std::int32_t& n, std::span<float> values,
                std::int32_t& first_year, LineFile& file, Sink& console, ReaderObserver* observer,
                SeriesCounts* counts, FormatCache* formats) {
  const auto suspect = [counts] {
    if (counts != nullptr) ++counts->suspect_lines;
  };
  std::int32_t count = 0;
  std::int32_t year = 0;
  char format[8];
  const Var vars[] = {Var::of(count), Var::of(year), Var::text(format, 8)};

  for (;;) {
    const auto got = file.next_line();
    if (!got) {
      n = kEndOfFile;
      if (!file.failed()) suspect();  // the series of the title is dropped
      return ReadLimit::none;
    }
    char line[kLineWidth];
    const std::string_view padded = padded_columns(*got, line);

    if (padded.substr(0, 3) != "n  ") std::memcpy(title.data(), line, kLineWidth);
    // The format text's parentheses first: most lines that are no count line fail there, at
    // the cost of two searches of eight columns instead of two integer fields.
    const std::string_view fmt = padded.substr(22, 8);
    if (fmt.find('(') == std::string_view::npos || fmt.find(')') == std::string_view::npos) {
      continue;
    }
    if (read_layout_from_text(padded, count_layout(), vars).outcome != ReadOutcome::done) continue;
    break;
  }

  first_year = year;
  if (observer != nullptr) observer->count_line(title, count, std::string_view(format, 8));
  FormatCache own;  // without a cache of the caller's, this series' format alone
  const std::optional<Layout>& description =
      (formats != nullptr ? *formats : own).layout_of(std::string_view(format, 8));
  if (!description) {
    message(console, ">> sbr datar:  bad format text");
    suspect();
    if (observer != nullptr) observer->condition(SelfDescribingCondition::bad_format, 0, 0);
    n = 0;
    return ReadLimit::none;
  }
  n = count;
  const auto capacity =
      static_cast<std::int32_t>(std::min<std::size_t>(values.size(), kMaxSelfDescribingCount));
  if (count < kMinSelfDescribingCount || count > capacity) {
    if (observer == nullptr) return ReadLimit::count;
    // A check passes over the values that the count names, up to a line that holds none.
    observer->limit(ReadLimit::count);
    const auto scratch = Var::of(values.first(static_cast<std::size_t>(capacity)));
    for (std::int64_t left = count; left > 0 && capacity > 0;) {
      Var part = scratch;
      part.count = static_cast<std::int32_t>(std::min<std::int64_t>(left, capacity));
      const ReadResult r = read_layout(file, *description, std::span(&part, 1));
      if (r.outcome == ReadOutcome::conversion_failure) file.step_back();  // no value line
      if (r.outcome != ReadOutcome::done) break;
      left -= part.count;
    }
    return ReadLimit::count;
  }
  if (count == 0) return ReadLimit::none;

  const Var target = Var::of(values.first(static_cast<std::size_t>(count)));
  const ReadResult r = read_layout(file, *description, std::span<const Var>(&target, 1));
  if (r.outcome == ReadOutcome::conversion_failure) {
    message(console, ">> sbr datar:  error reading data");
    suspect();
    if (observer != nullptr) {
      observer->condition(SelfDescribingCondition::bad_value, r.values, r.failed_column);
    }
    n = r.values;
    // Pass over the rest of the series' value lines, so that the next call begins after it.
    for (std::int32_t skip = description->lines_for(count) - r.lines; skip > 0; --skip) {
      if (!file.next_line()) break;
    }
  } else if (r.outcome == ReadOutcome::end_of_file) {
    // After a failed read the caller ends the run with the system's reason instead.
    if (!file.failed()) {
      message(console, ">> sbr datar:  unexpected end reading data");
      suspect();
      if (observer != nullptr) {
        observer->condition(SelfDescribingCondition::early_end, r.values, 0);
      }
    }
    n = r.values;
  }
  return ReadLimit::none;
}

}  // namespace corvane
