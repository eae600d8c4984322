// The decade-format reader: one series per call, in the measurement or the index layout.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "readers/decade_line.h"
#include "readers/observer.h"
#include "readers/readers.h"

namespace corvane {

namespace {

bool all_blank(std::string_view line) {
  for (const char c : line) {
    if (c != ' ') return false;
  }
  return true;
}

// Whether every number field of the line is a plain right-aligned number, for an observer,
// which then need not look closer at the fields (a line shorter than the layout: not looked).
template <LayoutCode Code>
bool plain_line(std::string_view line) {
  constexpr const auto& table = decade::column_table<Code>();
  return line.size() >= table.extent && decade::plain_fields(line.data(), table);
}

// A value field of a first line that is chronology padding: 9990 or more, or (once padding has
// begun) blank.
bool padding(const DecadeLine& fields, std::int32_t k) {
  return is_end_marker<LayoutCode::ir>(fields.values[static_cast<std::size_t>(k)]) ||
         (fields.blank_values >> k & 1u) != 0;
}

// The first slot from `k` on that is no padding; 10 when the rest of the line is padding.
std::int32_t past_padding(const DecadeLine& fields, std::int32_t k) {
  while (k < 10 && padding(fields, k)) ++k;
  return k;
}

// With kObserved the observer is told every decision and the limits are read past; without,
// the reader is the run's, with no trace of an observer in it.
template <LayoutCode Code, bool kObserved>
ReadLimit read_series(SeriesId& id, std::int32_t& first_year, std::int32_t& n,
                      std::span<float> values, std::int32_t& counter, LineFile& file, Sink& console,
                      bool& self_describing, ReaderObserver* observer, SeriesCounts* counts,
                      FormatCache* formats) {
  constexpr bool measurement = Code == LayoutCode::mr;
  constexpr float unit = measurement ? 0.01f : 0.001f;
  const auto capacity = static_cast<std::int32_t>(std::min<std::size_t>(values.size(), kMaxValues));

  self_describing = false;
  if (counts != nullptr) *counts = SeriesCounts{};
  // Suspect lines, each counted once: lines are met in order, so the last one counted is the
  // only one that can come again.
  std::int32_t suspect_count = 0;
  std::int64_t last_suspect = 0;
  std::int64_t first_line_at = 0;  // the line number of the series' first data line
  bool first_line_counted = false;
  std::string text_before;  // the last text line before it, and its number
  std::int64_t text_before_at = 0;
  const auto suspect = [&](std::int64_t at) {
    if (at == last_suspect) return;
    last_suspect = at;
    first_line_counted = first_line_counted || at == first_line_at;
    ++suspect_count;
  };
  const auto hand_back_counts = [&] {
    if (counts != nullptr) counts->suspect_lines += suspect_count;
  };
  std::int32_t text_lines = 0;
  std::int32_t data_lines = 0;
  std::int32_t stored = 0;      // values stored so far; handed back through n at the end
  std::int32_t below_zero = 0;  // values below 0 stored (measurements: as 0, missing rings)
  bool passing_over = false;    // a check past the value limit: the series is read, not stored
  counter = std::max(counter, 0) + 1;

  // The values' sum, for their mean: exact in any order while every value keeps it so.
  double sum = 0.0;
  bool exact = true;
  const auto keep = [&](float* out, std::int32_t v) {
    const float x = static_cast<float>(v) * unit;
    *out = x;
    sum += x;
    exact = exact && sums_exactly(x);
  };
  // A measurement value below 0 that is no end marker is a ring that was not measured: it is
  // stored as a ring of width 0 and counted. An index below 0 is stored as written.
  const auto store = [&](float* out, std::int32_t v) {
    below_zero += v < 0 ? 1 : 0;
    if constexpr (measurement) v = std::max(v, 0);
    keep(out, v);
  };
  // Runs of plain full lines in a series' body are taken straight from the line file's buffer;
  // with an observer, only where it says it has nothing to tell of them.
  static const decade::PlainLines plain_run = decade::plain_lines(Code, decade::vector_path());
  constexpr std::size_t width = decade::column_table<Code>().extent;

  DecadeLine fields;
  for (;;) {
    if (const std::int32_t room = (capacity - stored) / 10;
        data_lines > 0 && room > 0 && !passing_over) {
      std::optional<decade::PlainCheck> check;
      if constexpr (kObserved) check = observer->plain_run();
      if (!kObserved || check) {
        const std::string_view ahead = file.buffered_ahead();
        const decade::PlainRun run =
            plain_run(ahead, values.data() + stored, room, check ? &*check : nullptr);
        if (run.lines > 0) {
          file.pass_lines(run.bytes, run.lines, ahead.substr(run.last, width));
          stored += 10 * run.lines;
          data_lines += run.lines;
          sum += run.sum;
          exact = exact && run.exact;
          if constexpr (kObserved) observer->plain_lines(run.lines);
        }
      }
    }
    std::optional<std::string_view> got = file.next_line();
    if (!got) {
      // A series begun and not closed by its end marker is dropped.
      if (data_lines > 0 && !file.failed() && !first_line_counted) suspect(first_line_at);
      hand_back_counts();
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
      file.step_back();
      const ReadLimit limit = datar(title, n, values, first_year, file, console,
                                    kObserved ? observer : nullptr, counts, formats);
      std::memcpy(id.data(), title.data(), id.size());
      self_describing = true;
      if (n == kEndOfFile) counter = kEndOfFile;
      return limit;
    }

    // An observer is told every line's year, so every line's head is read for it.
    if (!read_decade_line<Code>(line, fields, kObserved || data_lines == 0)) {
      if constexpr (kObserved) observer->text_line(*got, data_lines > 0);
      if (data_lines > 0) {
        suspect(file.line_number());
      } else {
        text_before.assign(line);
        text_before_at = file.line_number();
      }
      if (++text_lines > kMaxTextLines) {
        if constexpr (!kObserved) return ReadLimit::text_lines;
        observer->limit(ReadLimit::text_lines);  // a check counts afresh and goes on
        text_lines = 0;
      }
      continue;
    }

    const std::array<std::int32_t, 10>& v = fields.values;
    const bool special = decade::any_marker_or_code<Code>(v);
    if (++data_lines > 1 && !special) {
      // A full line of values, none of them a marker or below 0: the common case.
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
      for (std::size_t k = 0; k < 10; ++k) keep(out + k, v[k]);
      stored += 10;
      continue;
    }

    std::int32_t from = 0, to = 10;  // the slots that this line contributes
    if (data_lines == 1) {
      id = fields.id;
      first_year = fields.year;
      // A year below -999 carries its sign in the ID's last column; the slots follow the
      // signed year.
      const std::int32_t signed_first = signed_year(Code, id[7], first_year);
      first_line_at = file.line_number();
      if (text_before_at != 0 &&
          decade::damaged_first_year(Code, text_before, line, signed_first)) {
        suspect(text_before_at);
      }
      const std::int32_t offset = decade_offset(signed_first);
      if constexpr (measurement) {
        to = 10 - offset;
      } else {
        from = offset;
        // Chronology padding: lines of it are passed over while the next line goes on with
        // the same series in the next block.
        std::int32_t block = decade_block(first_year);
        std::string kept;  // the line of padding, for an observer, while the next one is read
        for (bool padded = is_end_marker<Code>(v[static_cast<std::size_t>(from)]); padded;) {
          const std::int32_t begins = past_padding(fields, from);
          if (begins < 10) {
            first_year = block + begins;
            from = begins;
            break;
          }
          if constexpr (kObserved) kept.assign(*got);
          const std::optional<std::string_view> next = file.next_line();
          bool taken = false;
          DecadeLine ahead;
          if (next) {
            const std::string_view next_line = next->substr(0, kLineWidth);
            taken = !all_blank(next_line) && read_decade_line<Code>(next_line, ahead, true) &&
                    ahead.id == fields.id && ahead.year == block + 10;
            file.step_back();  // the line is read again below, or by the next call
          } else if (file.failed()) {
            if constexpr (kObserved)
              observer->data_line(kept, fields.year, v, {from, 10, from}, plain_line<Code>(kept));
            n = kEndOfFile;
            counter = kEndOfFile;
            return ReadLimit::none;
          }
          if constexpr (kObserved) {
            const TakenSlots slots = taken ? TakenSlots{10, 10, 10} : TakenSlots{from, 10, from};
            observer->data_line(kept, fields.year, v, slots, plain_line<Code>(kept));
          }
          if (!taken) {
            // A series of no values, in the year of its (last) line of padding; the line read
            // ahead belongs to the next call.
            first_year = fields.year;
            n = 0;
            hand_back_counts();
            return ReadLimit::none;
          }
          got = file.next_line();
          fields = ahead;
          ++data_lines;
          block += 10;
          from = 0;
        }
      }
    }
    // The values before the first end marker among the slots are stored; the marker ends the
    // series.
    std::int32_t end = from;
    while (end < to && !is_end_marker<Code>(v[static_cast<std::size_t>(end)])) ++end;
    if constexpr (kObserved)
      observer->data_line(*got, fields.year, v, {from, to, end}, plain_line<Code>(*got));
    if (stored + end - from > capacity || (kObserved && passing_over)) {
      if constexpr (!kObserved) return ReadLimit::values;
      if (!passing_over) observer->limit(ReadLimit::values);
      passing_over = true;
    } else {
      const std::int32_t below_before = below_zero;
      for (std::int32_t k = from; k < end; ++k) {
        store(values.data() + stored++, v[static_cast<std::size_t>(k)]);
      }
      if (below_zero != below_before) suspect(file.line_number());
    }
    if (end == to) continue;
    n = stored;
    if (kObserved && passing_over) return ReadLimit::values;
    const bool thousandths = measurement && v[static_cast<std::size_t>(end)] == kThousandthsEnd;
    if (thousandths) {
      for (std::int32_t i = 0; i < stored; ++i) values[static_cast<std::size_t>(i)] *= 0.1f;
    }
    if (counts != nullptr) {
      counts->missing_rings = measurement ? below_zero : 0;
      // Values in thousandths are scaled after they were summed.
      if (exact && !thousandths) counts->exact_sum = sum;
    }
    hand_back_counts();
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
               std::int32_t& counter, LineFile& file, Sink& console, LayoutCode code,
               bool& self_describing, ReaderObserver* observer, SeriesCounts* counts,
               FormatCache* formats) {
  if (code == LayoutCode::mr) {
    return observer != nullptr
               ? read_series<LayoutCode::mr, true>(id, first_year, n, values, counter, file,
                                                   console, self_describing, observer, counts,
                                                   formats)
               : read_series<LayoutCode::mr, false>(id, first_year, n, values, counter, file,
                                                    console, self_describing, nullptr, counts,
                                                    formats);
  }
  return observer != nullptr
             ? read_series<LayoutCode::ir, true>(id, first_year, n, values, counter, file, console,
                                                 self_describing, observer, counts, formats)
             : read_series<LayoutCode::ir, false>(id, first_year, n, values, counter, file, console,
                                                  self_describing, nullptr, counts, formats);
}

}  // namespace corvane
