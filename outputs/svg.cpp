// The segment plot: geometry that follows the number of series, written as SVG 1.1 text.
#include "outputs/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace corvane {

namespace {

// Picture geometry, in pixels.
constexpr double kWidth = 960;
constexpr double kLeft = 100;  // room for IDs or series numbers
constexpr double kRight = 28;
constexpr double kTop = 84;  // title, legend and band label above the plot
constexpr double kBottom = 58;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kMaxPitch = 12;         // row spacing while the plot has room
constexpr double kMaxPlotHeight = 1200;  // the plot's height once the rows must close up
constexpr double kMinLabelPitch = 8;     // rows at least this far apart carry their IDs
constexpr double kEmptyPlotHeight = 60;
constexpr std::size_t kTitledSegments = 500;  // segments with a hover text up to this many
constexpr std::size_t kMaxNameShown = 60;     // bytes of the input name in the title line
constexpr std::size_t kChunk = 1u << 16;

constexpr std::string_view kInColour = "#1f4e8c";
constexpr std::string_view kOtherColour = "#b4b9bf";
constexpr std::string_view kBandColour = "#f4c542";

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

void append_int(std::string& out, std::int64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A coordinate with a fixed number of decimals ("-0.0" written as "0.0").
void append_fixed(std::string& out, double v, int decimals) {
  if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0.0;
  char buf[48];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr);
}

// The name cut to about kMaxNameShown bytes at a character boundary, "..." marking the cut.
std::string shown_name(std::string_view name) {
  if (name.size() <= kMaxNameShown) return std::string(name);
  std::size_t n = kMaxNameShown - 3;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0u) == 0x80u) --n;
  return std::string(name.substr(0, n)) + "...";
}

// Length of the well-formed UTF-8 sequence of an XML character at s[i], or 0.
std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) {
    return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
  };
  const unsigned c = at(0);
  const auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) {
    return at(k) >= lo && at(k) <= hi;
  };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    if (!cont(1, lo, hi) || !cont(2)) return 0;
    // U+FFFE and U+FFFF are no XML characters.
    if (c == 0xEF && at(1) == 0xBF && at(2) >= 0xBE) return 0;
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

struct Geometry {
  std::size_t n = 0;
  double pitch = 0;      // row spacing
  double thickness = 0;  // segment stroke width
  double height = 0;     // plot height
  int y_decimals = 1;
  std::int64_t axis_from = 0, axis_to = 1;  // the year axis, [from, to)
  std::int64_t step = 1, first_tick = 0;    // ticks at first_tick + k * step

  double x(std::int64_t year) const {
    return kLeft + static_cast<double>(year - axis_from) * kPlotWidth /
                       static_cast<double>(axis_to - axis_from);
  }
  double row(std::size_t i) const { return kTop + (static_cast<double>(i) + 0.5) * pitch; }
};

Geometry make_geometry(const SeriesTable& t, std::int64_t earliest, std::int64_t latest) {
  Geometry g;
  g.n = t.size();
  if (g.n == 0) {
    g.height = kEmptyPlotHeight;
    return g;
  }
  g.pitch = std::min(kMaxPitch, kMaxPlotHeight / static_cast<double>(g.n));
  // Sparse rows keep a gap between segments. Rows closer than a pixel overlap, so that every
  // pixel row shows the years that any of its series covers: strokes thinner than a pixel
  // would fade to nothing.
  g.thickness = std::max(g.pitch * 0.7, 1.0);
  g.height = g.pitch * static_cast<double>(g.n);
  g.y_decimals = g.pitch < 2 ? 2 : 1;
  // The axis runs over the span and a small margin; ticks stand at the round years in it.
  const std::int64_t from = earliest, to = std::max(latest + 1, earliest + 1);
  const std::int64_t margin = std::max<std::int64_t>(1, (to - from) / 50);
  g.axis_from = from - margin;
  g.axis_to = to + margin;
  g.step = round_step(to - from, 8);
  g.first_tick = -floor_div(-g.axis_from, g.step) * g.step;
  return g;
}

class SvgText {
 public:
  explicit SvgText(Sink& sink) : sink_(sink) { s.reserve(kChunk + 4096); }
  void flush_if_full() {
    if (s.size() >= kChunk) flush();
  }
  void flush() {
    sink_.put(s);
    s.clear();
  }
  SvgText& operator<<(std::string_view text) {
    s.append(text);
    return *this;
  }
  SvgText& operator<<(std::int64_t v) {
    append_int(s, v);
    return *this;
  }
  SvgText& at(double v, int decimals = 1) {
    append_fixed(s, v, decimals);
    return *this;
  }
  SvgText& escaped(std::string_view text) {
    append_xml_text(s, text);
    return *this;
  }
  std::string s;

 private:
  Sink& sink_;
};

// "A to B" as the summary box writes a span.
std::string span_text(std::int64_t a, std::int64_t b) {
  std::string s;
  append_int(s, a);
  s += " to ";
  append_int(s, b);
  return s;
}

std::string figures_line(std::size_t n, std::int64_t earliest, std::int64_t latest,
                         const Optimum& optimum) {
  if (n == 0) return "no series";
  std::string s = "span " + span_text(earliest, latest) + ", ";
  append_int(s, static_cast<std::int64_t>(n));
  s += " series; ";
  if (!optimum) return s + "no optimum: a year does not fit the summary's records";
  if (optimum->rings <= 0) return s + "no optimum common interval";
  s += "optimum " + span_text(optimum->start, optimum->end) + ": ";
  append_int(s, optimum->years);
  s += optimum->years == 1 ? " year, " : " years, ";
  append_int(s, optimum->series);
  s += " series included, ";
  append_int(s, optimum->rings);
  s += " rings";
  return s;
}

void write_head(SvgText& o, const Geometry& g, std::string_view input_name,
                const std::string& figures) {
  const double total_height = kTop + g.height + kBottom;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
       "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
       "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
       "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
  o.at(kWidth, 0) << "\" height=\"";
  o.at(std::ceil(total_height), 0) << "\" viewBox=\"0 0 ";
  o.at(kWidth, 0) << " ";
  o.at(std::ceil(total_height), 0)
      << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n<title>Segment plot: ";
  o.escaped(input_name) << "</title>\n<desc>";
  o.escaped(figures) << "</desc>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  o << "<text x=\"16\" y=\"26\" font-size=\"14\"><tspan font-weight=\"bold\">";
  o.escaped(shown_name(input_name)) << "</tspan>: ";
  o.escaped(figures) << "</text>\n";
}

void write_legend(SvgText& o, std::size_t included, std::size_t others, bool band) {
  double x = 16;
  const auto item = [&](std::string_view colour, std::string_view extra, const std::string& label) {
    o << "<rect x=\"";
    o.at(x) << "\" y=\"42\" width=\"18\" height=\"10\" fill=\"" << colour << "\"" << extra
            << "/>\n<text x=\"";
    o.at(x + 24) << "\" y=\"51\" font-size=\"11\" fill=\"#333333\">";
    o.escaped(label) << "</text>\n";
    x += 24 + 6.4 * static_cast<double>(label.size()) + 24;
  };
  std::string in = "runs through the optimum (";
  append_int(in, static_cast<std::int64_t>(included));
  std::string other = "other series (";
  append_int(other, static_cast<std::int64_t>(others));
  item(kInColour, "", in + ")");
  item(kOtherColour, "", other + ")");
  if (band) item(kBandColour, " fill-opacity=\"0.45\"", "optimum common interval");
}

// The band's left and right edges, at least a pixel and a half apart.
std::pair<double, double> band_edges(const Geometry& g, const Interval& best) {
  double x0 = g.x(best.start), x1 = g.x(static_cast<std::int64_t>(best.end) + 1);
  if (x1 - x0 < 1.5) {
    const double mid = (x0 + x1) / 2;
    x0 = mid - 0.75;
    x1 = mid + 0.75;
  }
  return {x0, x1};
}

void write_band(SvgText& o, const Geometry& g, const Interval& best) {
  const auto [x0, x1] = band_edges(g, best);
  o << "<rect id=\"optimum-band\" x=\"";
  o.at(x0) << "\" y=\"";
  o.at(kTop - 4) << "\" width=\"";
  o.at(x1 - x0) << "\" height=\"";
  o.at(g.height + 8) << "\" fill=\"" << kBandColour << "\" fill-opacity=\"0.3\"/>\n";
  const double mid = std::clamp((x0 + x1) / 2, kLeft + 40, kWidth - kRight - 40);
  o << "<text id=\"optimum-label\" x=\"";
  o.at(mid) << "\" y=\"";
  o.at(kTop - 9) << "\" font-size=\"11\" text-anchor=\"middle\" fill=\"#7a5b00\">";
  o.escaped(span_text(best.start, best.end)) << "</text>\n";
}

// Dashed edges over the segments, so that the band still shows where rows close up.
void write_band_edges(SvgText& o, const Geometry& g, const Interval& best) {
  const auto [x0, x1] = band_edges(g, best);
  o << "<g stroke=\"#b08600\" stroke-width=\"1\" stroke-dasharray=\"4 3\">\n";
  for (const double x : {x0, x1}) {
    o << "<path d=\"M";
    o.at(x) << " ";
    o.at(kTop - 4) << "V";
    o.at(kTop + g.height + 4) << "\"/>\n";
  }
  o << "</g>\n";
}

void write_year_axis(SvgText& o, const Geometry& g) {
  const double bottom = kTop + g.height;
  // Grid lines behind the segments are drawn first; ticks and labels below the plot.
  o << "<g stroke=\"#e3e3e3\" stroke-width=\"1\">\n";
  for (std::int64_t year = g.first_tick; year <= g.axis_to; year += g.step) {
    o << "<path d=\"M";
    o.at(g.x(year)) << " ";
    o.at(kTop) << "V";
    o.at(bottom) << "\"/>\n";
  }
  o << "</g>\n";
}

void write_year_labels(SvgText& o, const Geometry& g) {
  const double bottom = kTop + g.height;
  o << "<g id=\"year-axis\" stroke=\"#555555\" stroke-width=\"1\">\n<path d=\"M";
  o.at(kLeft) << " ";
  o.at(bottom) << "H";
  o.at(kWidth - kRight) << "\"/>\n";
  for (std::int64_t year = g.first_tick; year <= g.axis_to; year += g.step) {
    o << "<path d=\"M";
    o.at(g.x(year)) << " ";
    o.at(bottom) << "v5\"/>\n";
  }
  o << "</g>\n<g font-size=\"11\" text-anchor=\"middle\" fill=\"#333333\">\n";
  for (std::int64_t year = g.first_tick; year <= g.axis_to; year += g.step) {
    o << "<text x=\"";
    o.at(g.x(year)) << "\" y=\"";
    o.at(bottom + 19) << "\">" << year << "</text>\n";
  }
  o << "<text x=\"";
  o.at(kLeft + kPlotWidth / 2) << "\" y=\"";
  o.at(bottom + 40) << "\" font-size=\"12\">year</text>\n</g>\n";
}

void write_row_labels(SvgText& o, const Geometry& g, const SeriesTable& t) {
  if (g.pitch >= kMinLabelPitch) {
    const double size = std::min(11.0, g.pitch * 0.85);
    o << "<text x=\"";
    o.at(kLeft - 8) << "\" y=\"";
    o.at(kTop - 9) << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">ID</text>\n";
    o << "<g font-family=\"DejaVu Sans Mono, Courier New, monospace\" font-size=\"";
    o.at(size) << "\" text-anchor=\"end\" fill=\"#333333\">\n";
    for (std::size_t i = 0; i < g.n; ++i) {
      o << "<text x=\"";
      o.at(kLeft - 8) << "\" y=\"";
      o.at(g.row(i) + size * 0.35) << "\">";
      o.escaped(table_id(t, i)) << "</text>\n";
    }
    o << "</g>\n";
    return;
  }
  // Series numbers at round steps, with the first series marked too.
  const std::int64_t step = round_step(static_cast<std::int64_t>(g.n), 10);
  o << "<text x=\"";
  o.at(kLeft - 8) << "\" y=\"";
  o.at(kTop - 9) << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">series</text>\n";
  o << "<g font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">\n";
  for (std::int64_t k = 1; k <= static_cast<std::int64_t>(g.n);
       k = k == 1 && step > 1 ? step : k + step) {
    const double y = g.row(static_cast<std::size_t>(k - 1));
    o << "<text x=\"";
    o.at(kLeft - 12) << "\" y=\"";
    o.at(y + 4) << "\">" << k << "</text>\n<path d=\"M";
    o.at(kLeft - 7) << " ";
    o.at(y, g.y_decimals) << "h5\" stroke=\"#555555\"/>\n";
  }
  o << "</g>\n";
}

void write_segments(SvgText& o, const Geometry& g, const SeriesTable& t, const Optimum& optimum,
                    bool included) {
  o << "<g id=\"" << (included ? "in-optimum" : "other-series") << "\" stroke=\""
    << (included ? kInColour : kOtherColour) << "\" stroke-width=\"";
  o.at(g.thickness, 2) << "\" fill=\"none\">\n";
  std::int64_t number = 0;
  for (std::size_t i = 0; i < g.n; ++i) {
    number = i > 0 && t.file[i] == t.file[i - 1] ? number + 1 : 1;
    if (in_optimum(t, i, optimum).value_or(false) != included) continue;
    const double x0 = g.x(t.first_year[i]);
    const double x1 = std::max(x0, g.x(static_cast<std::int64_t>(t.last_year[i]) + 1));
    o << "<path d=\"M";
    o.at(x0) << " ";
    o.at(g.row(i), g.y_decimals) << "h";
    o.at(x1 - x0) << "\"";
    if (g.n <= kTitledSegments) {
      o << "><title>";
      o.escaped(t.file_names[static_cast<std::size_t>(t.file[i])]) << " #" << number << " ";
      o.escaped(table_id(t, i)) << ": " << span_text(t.first_year[i], t.last_year[i]) << ", "
                                << static_cast<std::int64_t>(t.values[i])
                                << " values</title></path>\n";
    } else {
      o << "/>\n";
    }
    o.flush_if_full();
  }
  o << "</g>\n";
}

}  // namespace

void append_xml_text(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&apos;";
          break;
        default:
          out.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
      }
      ++i;
      continue;
    }
    const std::size_t len = utf8_length(text, i);
    if (len == 0) {
      out.push_back('?');
      ++i;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
}

std::int64_t round_step(std::int64_t range, std::int64_t target) {
  if (range <= 0 || target <= 0) return 1;
  const double raw = static_cast<double>(range) / static_cast<double>(target);
  std::int64_t magnitude = 1;
  while (static_cast<double>(magnitude) * 10 <= raw) magnitude *= 10;
  for (const std::int64_t m : {1, 2, 5, 10}) {
    if (static_cast<double>(m * magnitude) >= raw) return m * magnitude;
  }
  return 10 * magnitude;
}

void write_svg(Sink& out, const SeriesTable& table, const Optimum& optimum,
               std::string_view input_name) {
  const std::size_t n = table.size();
  // The span as the summary box states it.
  std::int64_t earliest = 0, latest = 0;
  std::size_t included = 0;
  for (std::size_t i = 0; i < n; ++i) {
    earliest = i == 0 ? table.first_year[i] : std::min<std::int64_t>(earliest, table.first_year[i]);
    latest = i == 0 ? table.last_year[i] : std::max<std::int64_t>(latest, table.last_year[i]);
    if (in_optimum(table, i, optimum).value_or(false)) ++included;
  }
  const Geometry g = make_geometry(table, earliest, latest);
  SvgText o(out);
  write_head(o, g, input_name, figures_line(n, earliest, latest, optimum));
  if (n == 0) {
    o << "<text x=\"";
    o.at(kWidth / 2) << "\" y=\"";
    o.at(kTop + kEmptyPlotHeight / 2) << "\" font-size=\"13\" text-anchor=\"middle\" "
                                         "fill=\"#555555\">No series were read.</text>\n</svg>\n";
    o.flush();
    return;
  }
  write_legend(o, included, n - included, has_interval(optimum));
  if (has_interval(optimum)) write_band(o, g, *optimum);
  write_year_axis(o, g);
  // Where rows overlap, the series that run through the optimum are drawn last, on top.
  write_segments(o, g, table, optimum, false);
  write_segments(o, g, table, optimum, true);
  if (has_interval(optimum)) write_band_edges(o, g, *optimum);
  write_year_labels(o, g);
  write_row_labels(o, g, table);
  o << "</svg>\n";
  o.flush();
}

}  // namespace corvane
