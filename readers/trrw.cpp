// The decade-format reader: one series per call, in the measurement or the index layout.
#include <algorithm>
#include <cstring>
#include <string>

#include "readers/decade_line.h"
#include "readers/observer.h"
#include "readers/readers.h"

namespace corvane {

namespace {

using decade::kLineWidth;  // a line is read as its first 80 columns

bool all_blank(std::string_view line) {
  for (const char c : line) {
    if (c != ' ') return false;
  }
  return true;
}

// Year modulo 10 in 0..9, also for negative years.
std::int32_t decade_offset(std::int32_t year) { return ((year % 10) + 10) % 10; }

// The end markers: 999 and -9999 in the measurement layout, 9990 and more in the index layout.
template <LayoutCode Code>
bool is_marker(std::int32_t v) {
  if constexpr (Code == LayoutCode::mr) {
    return v == kHundredthsEnd || v == kThousandthsEnd;
  } else {
    return v >= kIndexEnd;
  }
}

// Whether any of the ten fields is an end marker: groups of four, four and two, looked at
// without a branch.
template <LayoutCode Code>
bool any_marker(const std::array<std::int32_t, 10>& v) {
  using decade::Pair;
  using decade::Quad;
  const auto a = decade::load<Quad>(v.data());
  const auto b = decade::load<Quad>(v.data() + 4);
  const auto c = decade::load<Pair>(v.data() + 8);
  Quad found;
  Pair found_c;
  if constexpr (Code == LayoutCode::mr) {
    found = (a == kHundredthsEnd) | (a == kThousandthsEnd) | (b == kHundredthsEnd) |
            (b == kThousandthsEnd);
    found_c = (c == kHundredthsEnd) | (c == kThousandthsEnd);
  } else {
    found = (a >= kIndexEnd) | (b >= kIndexEnd);
    found_c = c >= kIndexEnd;
  }
  std::uint64_t words[3];
  std::memcpy(words, &found, sizeof found);
  std::memcpy(words + 2, &found_c, sizeof found_c);
  return (words[0] | words[1] | words[2]) != 0;
}

// Whether every number field of the line is a plain right-aligned number, for an observer,
// which then need not look closer at the fields (a line shorter than the layout: not looked).
template <LayoutCode Code>
bool plain_line(std::string_view line) {
  constexpr const auto& table = decade::column_table<Code>();
  return line.size() >= table.extent && decade::plain_fields(line.data(), table);
}

// With kObserved the observer is told every decision and the limits are read past; without,
// the reader is the run's, with no trace of an observer in it.
template <LayoutCode Code, bool kObserved>
ReadLimit read_series(SeriesId& id, std::int32_t& first_year, std::int32_t& n,
                      std::span<float> values, std::int32_t& counter, Services& io, int handle,
                      bool& self_describing, ReaderObserver* observer) {
  constexpr bool measurement = Code == LayoutCode::mr;
  constexpr float unit = measurement ? 0.01f : 0.001f;
  const auto capacity = static_cast<std::int32_t>(std::min<std::size_t>(values.size(), kMaxValues));

  self_describing = false;
  std::int32_t text_lines = 0;
  std::int32_t data_lines = 0;
  std::int32_t stored = 0;    // values stored so far; handed back through n at the end
  bool passing_over = false;  // a check past the value limit: the series is read, not stored
  counter = std::max(counter, 0) + 1;

  LineFile& file = io.source(handle);
  DecadeLine fields;
  for (;;) {
    const auto got = file.next_line();
    if (!got) {
      n = kEndOfFile;
      counter = kEndOfFile;
      return ReadLimit::none;
    }
    const std::string_view line = got->substr(0, kLineWidth);
    if (all_blank(line)) continue;  // blank lines separate series; they carry nothing

    if (stored == 0 && line.size() == kLineWidth && line[kLineWidth - 1] == '#') {
      std::array<char, kLineWidth> title;
      std::memcpy(title.data(), line.data(), kLineWidth);
      if constexpr (kObserved) observer->title_line(*got);
      io.step_back(handle);
      const ReadLimit limit =
          datar(title, n, values, first_year, io, handle, kObserved ? observer : nullptr);
      std::memcpy(id.data(), title.data(), id.size());
      self_describing = true;
      if (n == kEndOfFile) counter = kEndOfFile;
      return limit;
    }

    // An observer is told every line's year, so every line's head is read for it.
    if (!read_decade_line<Code>(line, fields, kObserved || data_lines == 0)) {
      if constexpr (kObserved) observer->text_line(*got, data_lines > 0);
      if (++text_lines > kMaxTextLines) {
        if constexpr (!kObserved) return ReadLimit::text_lines;
        observer->limit(ReadLimit::text_lines);  // a check counts afresh and goes on
        text_lines = 0;
      }
      continue;
    }

    const std::array<std::int32_t, 10>& v = fields.values;
    const bool marker = any_marker<Code>(v);
    if (++data_lines > 1 && !marker) {
      // A full line of values: the common case.
      if constexpr (kObserved)
        observer->data_line(*got, fields.year, v, {0, 10, 10}, plain_line<Code>(*got));
      if (stored + 10 > capacity || (kObserved && passing_over)) {
        if constexpr (!kObserved) return ReadLimit::values;
        // A check reads on to the series' end, storing nothing more.
        if (!passing_over) observer->limit(ReadLimit::values);
        passing_over = true;
        continue;
      }
      float* out = values.data() + stored;
      for (std::size_t k = 0; k < 10; ++k) out[k] = static_cast<float>(v[k]) * unit;
      stored += 10;
      continue;
    }

    std::int32_t from = 0, to = 10;  // the slots that this line contributes
    if (data_lines == 1) {
      id = fields.id;
      first_year = fields.year;
      // A year below -999 carries its sign in the ID's last column; the slots follow the
      // signed year.
      const std::int32_t signed_year = measurement && id[7] == '-' ? -first_year : first_year;
      const std::int32_t offset = decade_offset(signed_year);
      if constexpr (measurement) {
        to = 10 - offset;
      } else {
        from = offset;
      }
    }
    // The values before the first end marker among the slots are stored; the marker ends the
    // series.
    std::int32_t end = from;
    while (end < to && !is_marker<Code>(v[static_cast<std::size_t>(end)])) ++end;
    if constexpr (kObserved)
      observer->data_line(*got, fields.year, v, {from, to, end}, plain_line<Code>(*got));
    if (stored + end - from > capacity || (kObserved && passing_over)) {
      if constexpr (!kObserved) return ReadLimit::values;
      if (!passing_over) observer->limit(ReadLimit::values);
      passing_over = true;
    } else {
      for (std::int32_t k = from; k < end; ++k) {
        values[static_cast<std::size_t>(stored++)] =
            static_cast<float>(v[static_cast<std::size_t>(k)]) * unit;
      }
    }
    if (end == to) continue;
    n = stored;
    if (kObserved && passing_over) return ReadLimit::values;
    if (measurement && v[static_cast<std::size_t>(end)] == kThousandthsEnd) {
      for (std::int32_t i = 0; i < stored; ++i) values[static_cast<std::size_t>(i)] *= 0.1f;
    }
    return ReadLimit::none;
  }
}

}  // namespace

std::string limit_message(ReadLimit limit, const SeriesId& id, std::int32_t n) {
  const std::string series = "series \"" + std::string(id.data(), id.size()) + "\"";
  const std::string most = "; the limit is " + std::to_string(kMaxValues) + " values per series";
  switch (limit) {
    case ReadLimit::none:
      break;
    case ReadLimit::text_lines:
      return "sbr trrw:  over 25 text lines";
    case ReadLimit::values:
      return "sbr trrw:  " + series + " has more than " + std::to_string(kMaxValues) + " values" +
             most;
    case ReadLimit::count:
      return "sbr datar:  " + series + " gives a count of " + std::to_string(n) + " values" + most;
  }
  return {};
}

ReadLimit trrw(SeriesId& id, std::int32_t& first_year, std::int32_t& n, std::span<float> values,
               std::int32_t& counter, Services& io, int handle, LayoutCode code,
               bool& self_describing, ReaderObserver* observer) {
  if (code == LayoutCode::mr) {
    return observer != nullptr
               ? read_series<LayoutCode::mr, true>(id, first_year, n, values, counter, io, handle,
                                                   self_describing, observer)
               : read_series<LayoutCode::mr, false>(id, first_year, n, values, counter, io, handle,
                                                    self_describing, nullptr);
  }
  return observer != nullptr
             ? read_series<LayoutCode::ir, true>(id, first_year, n, values, counter, io, handle,
                                                 self_describing, observer)
             : read_series<LayoutCode::ir, false>(id, first_year, n, values, counter, io, handle,
                                                  self_describing, nullptr);
}

}  // namespace corvane
