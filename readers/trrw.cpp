// The decade-format reader: one series per call, in the measurement or the index layout.
#include <algorithm>
#include <cstring>
#include <string>

#include "readers/observer.h"
#include "readers/readers.h"

namespace corvane {

namespace {

constexpr std::size_t kLineWidth = 80;

// ID (8), year (4), ten values of 6 columns.
const Layout& measurement_layout() {
  static const Layout layout{text(8), integer(4), repeat(10, integer(6))};
  return layout;
}

// ID (6), year (4), ten pairs of a 4-column value and a 3-column sample count.
const Layout& index_layout() {
  static const Layout layout{text(6), integer(4), group(10, {integer(4), integer(3)})};
  return layout;
}

bool all_blank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' '; });
}

// Year modulo 10 in 0..9, also for negative years.
std::int32_t decade_offset(std::int32_t year) { return ((year % 10) + 10) % 10; }

void tell_data_line(ReaderObserver& observer, std::string_view line, std::int32_t year,
                    const std::int32_t* fields, std::int32_t stride, TakenSlots slots) {
  std::array<std::int32_t, 10> values;
  for (std::size_t k = 0; k < values.size(); ++k)
    values[k] = fields[static_cast<std::size_t>(stride) * k];
  observer.data_line(line, year, values, slots, false);
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
  const bool measurement = code == LayoutCode::mr;
  const Layout& layout = measurement ? measurement_layout() : index_layout();
  const auto capacity = static_cast<std::int32_t>(std::min<std::size_t>(values.size(), kMaxValues));

  n = 0;
  self_describing = false;
  std::int32_t text_lines = 0;
  std::int32_t data_lines = 0;
  bool passing_over = false;  // a check past the value limit: the series is read, not stored
  counter = std::max(counter, 0) + 1;

  char id_field[8];
  std::int32_t year = 0;
  std::int32_t fields[20];
  const Var vars[] = {Var::text(id_field, measurement ? 8 : 6), Var::of(year),
                      Var::of(std::span<std::int32_t>(fields, measurement ? 10 : 20))};

  for (;;) {
    const auto got = io.read_text(handle);
    if (!got) {
      n = kEndOfFile;
      counter = kEndOfFile;
      return ReadLimit::none;
    }
    const std::string_view line = got->substr(0, kLineWidth);
    if (all_blank(line)) continue;  // blank lines separate series; they carry nothing

    if (n == 0 && line.size() == kLineWidth && line[kLineWidth - 1] == '#') {
      std::array<char, kLineWidth> title;
      std::memcpy(title.data(), line.data(), kLineWidth);
      if (observer != nullptr) observer->title_line(*got);
      io.step_back(handle);
      const ReadLimit limit = datar(title, n, values, first_year, io, handle, observer);
      std::memcpy(id.data(), title.data(), id.size());
      self_describing = true;
      if (n == kEndOfFile) counter = kEndOfFile;
      return limit;
    }

    if (read_layout_from_text(line, layout, vars).outcome != ReadOutcome::done) {
      if (observer != nullptr) observer->text_line(*got, data_lines > 0);
      if (++text_lines > kMaxTextLines) {
        if (observer == nullptr) return ReadLimit::text_lines;
        observer->limit(ReadLimit::text_lines);  // a check counts afresh and goes on
        text_lines = 0;
      }
      continue;
    }

    ++data_lines;
    std::int32_t from = 0, to = 10;  // the slots that this line contributes
    if (data_lines == 1) {
      std::memcpy(id.data(), id_field, measurement ? 8 : 6);
      if (!measurement) id[6] = id[7] = ' ';
      first_year = year;
      // A year below -999 carries its sign in the ID's last column; the slots follow the
      // signed year.
      const std::int32_t signed_year = measurement && id[7] == '-' ? -year : year;
      const std::int32_t offset = decade_offset(signed_year);
      if (measurement) {
        to = 10 - offset;
      } else {
        from = offset;
      }
    }

    // The values before the first end marker are stored; the marker ends the series.
    const std::int32_t stride = measurement ? 1 : 2;  // the index layout has counts between
    std::int32_t end = from;
    if (measurement) {
      while (end < to && fields[end] != 999 && fields[end] != -9999) ++end;
    } else {
      while (end < to && fields[stride * end] < 9990) ++end;
    }
    if (observer != nullptr) tell_data_line(*observer, *got, year, fields, stride, {from, to, end});
    if (n + (end - from) > capacity || passing_over) {
      if (observer == nullptr) return ReadLimit::values;
      // A check goes on to the series' end, storing nothing more.
      if (!passing_over) observer->limit(ReadLimit::values);
      passing_over = true;
    } else {
      float* out = values.data() + n;
      const float scale = measurement ? 0.01f : 0.001f;
      for (std::int32_t k = from; k < end; ++k)
        *out++ = static_cast<float>(fields[stride * k]) * scale;
      n += end - from;
    }
    if (end == to) continue;
    if (passing_over) return ReadLimit::values;
    if (measurement && fields[end] == -9999) {
      for (std::int32_t i = 0; i < n; ++i) values[static_cast<std::size_t>(i)] *= 0.1f;
    }
    return ReadLimit::none;
  }
}

}  // namespace corvane
