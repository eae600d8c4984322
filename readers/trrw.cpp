// The decade-format reader: one series per call, in the measurement or the index layout.
#include <algorithm>
#include <cstring>
#include <string>

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
               bool& self_describing) {
  const bool measurement = code == LayoutCode::mr;
  const Layout& layout = measurement ? measurement_layout() : index_layout();
  const auto capacity = static_cast<std::int32_t>(std::min<std::size_t>(values.size(), kMaxValues));

  n = 0;
  self_describing = false;
  std::int32_t text_lines = 0;
  std::int32_t data_lines = 0;
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
      io.step_back(handle);
      const ReadLimit limit = datar(title, n, values, first_year, io, handle);
      std::memcpy(id.data(), title.data(), id.size());
      self_describing = true;
      if (n == kEndOfFile) counter = kEndOfFile;
      return limit;
    }

    if (read_layout_from_text(line, layout, vars).outcome != ReadOutcome::done) {
      if (++text_lines > kMaxTextLines) return ReadLimit::text_lines;
      continue;
    }

    ++data_lines;
    std::int32_t slots = 10;
    if (data_lines == 1) {
      std::memcpy(id.data(), id_field, measurement ? 8 : 6);
      if (!measurement) id[6] = id[7] = ' ';
      first_year = year;
      // A year below -999 carries its sign in the ID's last column; the slots follow the
      // signed year.
      const std::int32_t signed_year = measurement && id[7] == '-' ? -year : year;
      slots = 10 - decade_offset(signed_year);
    }

    if (measurement) {
      for (std::int32_t k = 0; k < slots; ++k) {
        const std::int32_t v = fields[k];
        if (v == -9999) {
          for (std::int32_t i = 0; i < n; ++i) values[static_cast<std::size_t>(i)] *= 0.1f;
          return ReadLimit::none;
        }
        if (v == 999) return ReadLimit::none;
        if (n >= capacity) return ReadLimit::values;
        values[static_cast<std::size_t>(n++)] = static_cast<float>(v) * 0.01f;
      }
    } else {
      for (std::int32_t k = 10 - slots; k < 10; ++k) {
        const std::int32_t v = fields[2 * k];
        if (v >= 9990) return ReadLimit::none;
        if (n >= capacity) return ReadLimit::values;
        values[static_cast<std::size_t>(n++)] = static_cast<float>(v) * 0.001f;
      }
    }
  }
}

}  // namespace corvane
