// Decade data lines off the hot path: fields that are no plain right-aligned numbers, lines
// too short for their layout, and the engine's layouts that the column tables stand for.
#include "readers/decade_line.h"

namespace corvane {

namespace decade {

namespace {

bool general(const char* line, const Field& f, std::int32_t& out) {
  return parse_integer_field(std::string_view(line + f.start, f.width), out);
}

}  // namespace

bool read_general(const char* line, LayoutCode code, DecadeLine& out) {
  if (code == LayoutCode::mr) {
    const auto& f = kMeasurement.fields;
    if (!general(line, f[0], out.year)) return false;
    for (std::size_t k = 0; k < 10; ++k) {
      if (!general(line, f[1 + k], out.values[k])) return false;
    }
    return true;
  }
  const auto& f = kIndex.fields;
  if (!general(line, f[0], out.year)) return false;
  for (std::size_t k = 0; k < 10; ++k) {
    std::int32_t count = 0;
    if (!general(line, f[1 + 2 * k], out.values[k]) || !general(line, f[2 + 2 * k], count)) {
      return false;
    }
  }
  return true;
}

bool read_short(std::string_view line, LayoutCode code, DecadeLine& out) {
  // Only a line too short for its table is copied, to give it its blanks.
  char padded[kLineWidth];
  return read_decade_line(padded_columns(line, padded), code, out);
}

std::optional<std::int32_t> damaged_first_year(LayoutCode code, std::string_view text,
                                               std::string_view first_line,
                                               std::int32_t signed_first) {
  char text_buffer[kLineWidth];
  char data_buffer[kLineWidth];
  const std::string_view t = padded_columns(text, text_buffer);
  const std::string_view d = padded_columns(first_line, data_buffer);
  const std::size_t width = id_width(code);
  if (t.substr(0, width) != d.substr(0, width)) return std::nullopt;
  const Field f = year_field(code);
  std::int32_t year = 0;
  if (!parse_integer_field(t.substr(f.start, f.width), year)) return std::nullopt;
  year = signed_year(code, t[7], year);
  if (decade_block(year) != decade_block(signed_first) - 10) return std::nullopt;
  return year;
}

}  // namespace decade

bool read_decade_line(std::string_view line, LayoutCode code, DecadeLine& out) {
  return code == LayoutCode::mr ? read_decade_line<LayoutCode::mr>(line, out)
                                : read_decade_line<LayoutCode::ir>(line, out);
}

const Layout& decade_layout(LayoutCode code) {
  static const Layout measurement{text(8), integer(4), repeat(10, integer(6))};
  static const Layout index{text(6), integer(4), group(10, {integer(4), integer(3)})};
  return code == LayoutCode::mr ? measurement : index;
}

}  // namespace corvane
