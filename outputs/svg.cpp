// The segment plot: geometry that follows the number of series, written as SVG 1.1 text.
#include "outputs/svg.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "textio/number_writers.h"

namespace corvane {

namespace {

// Picture geometry, in pixels.
constexpr double kWidth = 960;
constexpr double kLeft = 100;  // room for IDs or series numbers
constexpr double kRight = 28;
constexpr double kHead = 84;       // one title line, legend and band label above the plot
constexpr double kTitleLine = 18;  // each further title line
constexpr double kDepthGap = 14;   // between the segments and the depth panel
constexpr double kDepthHeight = 110;
constexpr double kBottom = 58;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kMaxPitch = 12;         // row spacing while the plot has room
constexpr double kMaxPlotHeight = 1200;  // the plot's height once the rows must close up
constexpr double kMinLabelPitch = 8;     // rows at least this far apart carry their IDs
constexpr double kEmptyPlotHeight = 60;
constexpr std::size_t kTitledSegments = 500;  // segments with a hover text up to this many
constexpr std::size_t kTitleChars = 110;      // characters of a title line, about 930 pixels
constexpr double kMinFileLabelRoom = 11;      // a file's rows at least this tall carry its name
constexpr std::size_t kChunk = 1u << 16;

constexpr std::string_view kInColour = "#1f4e8c";
constexpr std::string_view kOtherColour = "#b4b9bf";
constexpr std::string_view kBandColour = "#f4c542";
constexpr std::string_view kDepthColour = "#6b8fb8";

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Half a unit of the last decimal, 0.5 * 10^-d, for the decimals coordinates are written with.
constexpr double kHalfUnit[] = {0.5, 0.05, 0.005, 0.0005};

// A coordinate with a fixed number of decimals ("-0.0" written as "0.0").
double coordinate(double v, int decimals) {
  const double half = decimals >= 0 && decimals < static_cast<int>(std::size(kHalfUnit))
                          ? kHalfUnit[decimals]
                          : 0.5 * std::pow(10.0, -decimals);
  return std::fabs(v) < half ? 0.0 : v;
}

void append_coordinate(std::string& out, double v, int decimals) {
  append_fixed(out, coordinate(v, decimals), decimals);
}

// Room for a coordinate with up to 2 decimals.
constexpr std::size_t kCoordinateRoom = kFixedRoom + 2;

// Writes a coordinate with up to 2 decimals at `at`, which has room for kCoordinateRoom
// characters; returns its end.
char* write_coordinate(char* at, double v, int decimals) {
  return write_fixed(at, coordinate(v, decimals), decimals);
}

char* write_text(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
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

// Where the character at s[i] ends: a whole UTF-8 sequence, or one byte of a malformed one.
std::size_t next_character(std::string_view s, std::size_t i) {
  const std::size_t len = utf8_length(s, i);
  return i + (len == 0 ? 1 : len);
}

// One line of the title: the part of the name it holds (shown bold) and of the figures.
struct TitleLine {
  std::string name, figures;
};

// The title "NAME: FIGURES" broken into lines of at most kTitleChars characters, at blanks where
// a line has one, else between characters (never inside a UTF-8 sequence). Nothing is left out.
std::vector<TitleLine> wrap_title(std::string_view name, std::string_view figures) {
  const std::string whole = std::string(name) + ": " + std::string(figures);
  const std::size_t name_end = name.size() + 1;  // the colon goes with the name
  std::vector<TitleLine> lines;
  std::size_t at = 0;
  while (at < whole.size()) {
    std::size_t end = at, chars = 0, last_blank = std::string::npos;
    while (end < whole.size() && chars < kTitleChars) {
      if (whole[end] == ' ') last_blank = end;
      end = next_character(whole, end);
      ++chars;
    }
    std::size_t next = end;
    if (end < whole.size() && whole[end] != ' ' && last_blank != std::string::npos &&
        last_blank > at) {
      end = last_blank;
      next = last_blank + 1;
    } else if (end < whole.size() && whole[end] == ' ') {
      next = end + 1;
    }
    TitleLine line;
    const std::size_t split = std::clamp(name_end, at, end);
    line.name = whole.substr(at, split - at);
    line.figures = whole.substr(split, end - split);
    lines.push_back(std::move(line));
    at = next;
  }
  return lines;
}

struct Geometry {
  std::size_t n = 0;
  double top = kHead;    // where the rows begin, below the title lines
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
  double row(std::size_t i) const { return top + (static_cast<double>(i) + 0.5) * pitch; }
  double depth_top() const { return top + height + kDepthGap; }
  double bottom() const { return n == 0 ? top + height : depth_top() + kDepthHeight; }
};

Geometry make_geometry(const SeriesTable& t, std::int64_t earliest, std::int64_t latest,
                       std::size_t title_lines) {
  Geometry g;
  g.n = t.size();
  g.top = kHead + kTitleLine * static_cast<double>(title_lines - 1);
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
    append_integer(s, v);
    return *this;
  }
  SvgText& at(double v, int decimals = 1) {
    append_coordinate(s, v, decimals);
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
  append_integer(s, a);
  s += " to ";
  append_integer(s, b);
  return s;
}

std::string figures_line(std::size_t n, std::int64_t earliest, std::int64_t latest,
                         const Optimum& optimum) {
  if (n == 0) return "no series";
  std::string s = "span " + span_text(earliest, latest) + ", ";
  append_integer(s, static_cast<std::int64_t>(n));
  s += " series; ";
  if (!optimum) return s + "no optimum: a year does not fit the summary's records";
  if (optimum->rings <= 0) return s + "no optimum common interval";
  s += "optimum " + span_text(optimum->start, optimum->end) + ": ";
  append_integer(s, optimum->years);
  s += optimum->years == 1 ? " year, " : " years, ";
  append_integer(s, optimum->series);
  s += " series included, ";
  append_integer(s, optimum->rings);
  s += " rings";
  return s;
}

void write_head(SvgText& o, const Geometry& g, std::string_view input_name,
                const std::string& figures, const std::vector<TitleLine>& title) {
  const double total_height = g.bottom() + kBottom;
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
  o << "<g id=\"title\" font-size=\"14\">\n";
  for (std::size_t k = 0; k < title.size(); ++k) {
    o << "<text x=\"16\" y=\"";
    o.at(26 + kTitleLine * static_cast<double>(k)) << "\">";
    if (!title[k].name.empty()) {
      o << "<tspan font-weight=\"bold\">";
      o.escaped(title[k].name) << "</tspan>";
    }
    o.escaped(title[k].figures) << "</text>\n";
  }
  o << "</g>\n";
}

// With no optimum every series is drawn alike, and the legend names them all as one.
void write_legend(SvgText& o, const Geometry& g, std::size_t included, std::size_t others,
                  bool band) {
  double x = 16;
  const auto item = [&](std::string_view colour, std::string_view extra, const std::string& label) {
    o << "<rect x=\"";
    o.at(x) << "\" y=\"";
    o.at(g.top - 42) << "\" width=\"18\" height=\"10\" fill=\"" << colour << "\"" << extra
                     << "/>\n<text x=\"";
    o.at(x + 24) << "\" y=\"";
    o.at(g.top - 33) << "\" font-size=\"11\" fill=\"#333333\">";
    o.escaped(label) << "</text>\n";
    x += 24 + 6.4 * static_cast<double>(label.size()) + 24;
  };
  const auto counted = [](std::string label, std::size_t count) {
    label += " (";
    append_integer(label, static_cast<std::int64_t>(count));
    return label + ")";
  };
  o << "<g id=\"legend\">\n";
  if (band) {
    item(kInColour, "", counted("runs through the optimum", included));
    item(kOtherColour, "", counted("other series", others));
    item(kBandColour, " fill-opacity=\"0.45\"", "optimum common interval");
  } else {
    item(kOtherColour, "", counted("series", included + others));
  }
  o << "</g>\n";
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
  o.at(g.top - 4) << "\" width=\"";
  o.at(x1 - x0) << "\" height=\"";
  o.at(g.bottom() - g.top + 8) << "\" fill=\"" << kBandColour << "\" fill-opacity=\"0.3\"/>\n";
  const double mid = std::clamp((x0 + x1) / 2, kLeft + 40, kWidth - kRight - 40);
  o << "<text id=\"optimum-label\" x=\"";
  o.at(mid) << "\" y=\"";
  o.at(g.top - 9) << "\" font-size=\"11\" text-anchor=\"middle\" fill=\"#7a5b00\">";
  o.escaped(span_text(best.start, best.end)) << "</text>\n";
}

// Over the segments and the depth: a light veil and dashed edges, so that the band still shows
// where rows close up into a dense block.
void write_band_edges(SvgText& o, const Geometry& g, const Interval& best) {
  const auto [x0, x1] = band_edges(g, best);
  o << "<rect id=\"optimum-veil\" x=\"";
  o.at(x0) << "\" y=\"";
  o.at(g.top) << "\" width=\"";
  o.at(x1 - x0) << "\" height=\"";
  o.at(g.bottom() - g.top) << "\" fill=\"" << kBandColour << "\" fill-opacity=\"0.18\"/>\n";
  o << "<g stroke=\"#b08600\" stroke-width=\"1\" stroke-dasharray=\"4 3\">\n";
  for (const double x : {x0, x1}) {
    o << "<path d=\"M";
    o.at(x) << " ";
    o.at(g.top - 4) << "V";
    o.at(g.bottom() + 4) << "\"/>\n";
  }
  o << "</g>\n";
}

void write_year_axis(SvgText& o, const Geometry& g) {
  const double bottom = g.bottom();
  // Grid lines behind the segments are drawn first; ticks and labels below the plot.
  o << "<g stroke=\"#e3e3e3\" stroke-width=\"1\">\n";
  for (std::int64_t year = g.first_tick; year <= g.axis_to; year += g.step) {
    o << "<path d=\"M";
    o.at(g.x(year)) << " ";
    o.at(g.top) << "V";
    o.at(bottom) << "\"/>\n";
  }
  o << "</g>\n";
}

void write_year_labels(SvgText& o, const Geometry& g) {
  const double bottom = g.bottom();
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
    o.at(g.top - 9) << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">ID</text>\n";
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
  o.at(g.top - 9) << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">series</text>\n";
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
    // The path is built in a local buffer and appended at once.
    char path[3 * kCoordinateRoom + 16];
    char* p = write_text(path, "<path d=\"M");
    p = write_coordinate(p, x0, 1);
    *p++ = ' ';
    p = write_coordinate(p, g.row(i), g.y_decimals);
    *p++ = 'h';
    p = write_coordinate(p, x1 - x0, 1);
    *p++ = '"';
    o << std::string_view(path, static_cast<std::size_t>(p - path));
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

// The number of series with a value in each year, as steps: (year, count) from that year on;
// the last step, of count 0, ends the last covered year. A series of no values counts nowhere.
std::vector<std::pair<std::int64_t, std::int64_t>> depth_steps(const SeriesTable& t) {
  std::vector<std::pair<std::int64_t, std::int64_t>> steps;
  std::int64_t from = 0, to = 0;  // the years of the changes, [from, to]
  std::size_t counted = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t.values[i] <= 0) continue;
    const std::int64_t first = t.first_year[i], end = std::int64_t{t.last_year[i]} + 1;
    from = counted == 0 ? first : std::min(from, first);
    to = counted == 0 ? end : std::max(to, end);
    ++counted;
  }
  if (counted == 0) return steps;
  // A step starts where the count changes: at the first year of each series it rises by one,
  // after its last year it falls by one. Over a span of years not far beyond the number of
  // series the changes are summed per year; over a wider one they are sorted.
  const auto span = static_cast<std::uint64_t>(to - from) + 1;
  if (span <= 4 * counted + 4096) {
    std::vector<std::int32_t> change(static_cast<std::size_t>(span), 0);
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (t.values[i] <= 0) continue;
      ++change[static_cast<std::size_t>(t.first_year[i] - from)];
      --change[static_cast<std::size_t>(std::int64_t{t.last_year[i]} + 1 - from)];
    }
    std::int64_t depth = 0;
    for (std::size_t k = 0; k < change.size(); ++k) {
      depth += change[k];
      if (steps.empty() || steps.back().second != depth) {
        steps.emplace_back(from + static_cast<std::int64_t>(k), depth);
      }
    }
    return steps;
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> change;  // (year, +1 or -1)
  change.reserve(2 * counted);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t.values[i] <= 0) continue;
    change.emplace_back(t.first_year[i], 1);
    change.emplace_back(static_cast<std::int64_t>(t.last_year[i]) + 1, -1);
  }
  std::sort(change.begin(), change.end());
  std::int64_t depth = 0;
  for (std::size_t i = 0; i < change.size();) {
    const std::int64_t year = change[i].first;
    for (; i < change.size() && change[i].first == year; ++i) depth += change[i].second;
    if (steps.empty() || steps.back().second != depth) steps.emplace_back(year, depth);
  }
  return steps;
}

// The sample-depth panel: a filled step area drawn in years and counts, placed by a transform,
// over its own count axis; its path reads back as (year, count) pairs.
void write_depth(SvgText& o, const Geometry& g, const SeriesTable& t) {
  const auto steps = depth_steps(t);
  std::int64_t most = 0;
  for (const auto& step : steps) most = std::max(most, step.second);
  const std::int64_t tick = round_step(std::max<std::int64_t>(most, 1), 4);
  const std::int64_t top_count = std::max<std::int64_t>(tick, (most + tick - 1) / tick * tick);
  const double y0 = g.depth_top() + kDepthHeight;
  const double per_count = kDepthHeight / static_cast<double>(top_count);
  const auto y = [&](std::int64_t count) { return y0 - static_cast<double>(count) * per_count; };
  // Count axis: a line, ticks and labels at round counts, and its name.
  o << "<g id=\"depth-axis\" stroke=\"#555555\" stroke-width=\"1\">\n<path d=\"M";
  o.at(kLeft) << " ";
  o.at(g.depth_top()) << "V";
  o.at(y0) << "\"/>\n";
  for (std::int64_t c = 0; c <= top_count; c += tick) {
    o << "<path d=\"M";
    o.at(kLeft - 5) << " ";
    o.at(y(c)) << "h5\"/>\n";
  }
  o << "</g>\n<g font-size=\"11\" text-anchor=\"end\" fill=\"#333333\">\n";
  for (std::int64_t c = 0; c <= top_count; c += tick) {
    o << "<text x=\"";
    o.at(kLeft - 8) << "\" y=\"";
    o.at(y(c) + 4) << "\">" << c << "</text>\n";
  }
  o << "</g>\n<text x=\"";
  o.at(kLeft - 58) << "\" y=\"";
  o.at(g.depth_top() + kDepthHeight / 2) << "\" font-size=\"12\" text-anchor=\"middle\" "
                                            "fill=\"#333333\" transform=\"rotate(-90 ";
  o.at(kLeft - 58) << " ";
  o.at(g.depth_top() + kDepthHeight / 2) << ")\">series</text>\n";
  // x = a year + b, y = c count + d: the path itself is in years and counts.
  const double a = kPlotWidth / static_cast<double>(g.axis_to - g.axis_from);
  const double b = kLeft - static_cast<double>(g.axis_from) * a;
  std::string text;
  const auto number = [&](double v) {
    text.clear();
    append_shortest(text, v);
    o << std::string_view(text);
  };
  o << "<path id=\"sample-depth\" fill=\"" << kDepthColour
    << "\" stroke=\"none\" transform=\"matrix(";
  number(a);
  o << " 0 0 ";
  number(-per_count);
  o << " ";
  number(b);
  o << " ";
  number(y0);
  o << ")\" d=\"M" << (steps.empty() ? g.axis_from : steps.front().first) << " 0";
  for (const auto& [year, count] : steps) o << "H" << year << "V" << count;
  o << "Z\"/>\n";
}

// Where several files are read, a thin rule above the first row of each file after the first,
// every other file's rows on a light ground, and the file's name at its first row where its
// rows leave room for it.
void write_file_grounds(SvgText& o, const Geometry& g, const SeriesTable& t) {
  if (t.size() == 0 || t.file.front() == t.file.back()) return;
  o << "<g id=\"file-grounds\" fill=\"#eef1f5\">\n";
  std::size_t block = 0;
  for (std::size_t i = 0; i < g.n;) {
    std::size_t j = i + 1;
    while (j < g.n && t.file[j] == t.file[i]) ++j;
    if (block++ % 2 == 1) {
      o << "<rect x=\"";
      o.at(kLeft) << "\" y=\"";
      o.at(g.top + static_cast<double>(i) * g.pitch, g.y_decimals) << "\" width=\"";
      o.at(kPlotWidth) << "\" height=\"";
      o.at(static_cast<double>(j - i) * g.pitch, g.y_decimals) << "\"/>\n";
    }
    i = j;
  }
  o << "</g>\n";
}

void write_file_labels(SvgText& o, const Geometry& g, const SeriesTable& t) {
  if (t.size() == 0 || t.file.front() == t.file.back()) return;
  o << "<g id=\"file-rules\" stroke=\"#8a94a3\" stroke-width=\"0.6\">\n";
  for (std::size_t i = 1; i < g.n; ++i) {
    if (t.file[i] == t.file[i - 1]) continue;
    o << "<path d=\"M";
    o.at(kLeft - 4) << " ";
    o.at(g.top + static_cast<double>(i) * g.pitch, g.y_decimals) << "H";
    o.at(kWidth - kRight) << "\"/>\n";
  }
  o << "</g>\n<g id=\"file-names\" font-size=\"10\" font-style=\"italic\" text-anchor=\"end\">\n";
  for (std::size_t i = 0; i < g.n;) {
    std::size_t j = i + 1;
    while (j < g.n && t.file[j] == t.file[i]) ++j;
    if (static_cast<double>(j - i) * g.pitch >= kMinFileLabelRoom) {
      const double y = g.top + static_cast<double>(i) * g.pitch + 9;
      // A white outline under the letters keeps the name readable over the segments.
      for (const bool halo : {true, false}) {
        o << "<text x=\"";
        o.at(kWidth - kRight - 3) << "\" y=\"";
        o.at(y) << "\""
                << (halo ? " stroke=\"#ffffff\" stroke-width=\"3\" fill=\"#ffffff\""
                         : " fill=\"#3d4756\"")
                << ">";
        o.escaped(t.file_names[static_cast<std::size_t>(t.file[i])]) << "</text>\n";
      }
    }
    i = j;
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
  const std::string figures = figures_line(n, earliest, latest, optimum);
  const std::vector<TitleLine> title = wrap_title(input_name, figures);
  const Geometry g = make_geometry(table, earliest, latest, title.size());
  SvgText o(out);
  write_head(o, g, input_name, figures, title);
  if (n == 0) {
    o << "<text x=\"";
    o.at(kWidth / 2) << "\" y=\"";
    o.at(g.top + kEmptyPlotHeight / 2) << "\" font-size=\"13\" text-anchor=\"middle\" "
                                          "fill=\"#555555\">No series were read.</text>\n</svg>\n";
    o.flush();
    return;
  }
  write_legend(o, g, included, n - included, has_interval(optimum));
  write_file_grounds(o, g, table);
  if (has_interval(optimum)) write_band(o, g, *optimum);
  write_year_axis(o, g);
  // Where rows overlap, the series that run through the optimum are drawn last, on top.
  write_segments(o, g, table, optimum, false);
  write_segments(o, g, table, optimum, true);
  write_depth(o, g, table);
  write_file_labels(o, g, table);
  if (has_interval(optimum)) write_band_edges(o, g, *optimum);
  write_year_labels(o, g);
  write_row_labels(o, g, table);
  o << "</svg>\n";
  o.flush();
}

}  // namespace corvane
