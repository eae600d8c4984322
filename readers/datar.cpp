// The self-describing series reader: title, count line with a field description, values.
#include <algorithm>
#include <cstring>
#include <string>

#include "readers/readers.h"

namespace corvane {

namespace {

constexpr std::size_t kLineWidth = 80;

// Count in columns 3-10, first year in 13-20, field description in 23-30.
const Layout& count_layout() {
  static const Layout layout{blanks(2), integer(8), blanks(2), integer(8), blanks(2), text(8)};
  return layout;
}

void message(Services& io, std::string_view text) {
  io.put(kConsole, text);
  io.put(kConsole, "\n");
}

}  // namespace

ReadLimit datar(std::span<char, 80> title, std::int32_t& n, std::span<float> values,
                std::int32_t& first_year, Services& io, int handle) {
  std::int32_t count = 0;
  std::int32_t year = 0;
  char format[8];
  const Var vars[] = {Var::of(count), Var::of(year), Var::text(format, 8)};

  for (;;) {
    const auto got = io.read_text(handle);
    if (!got) {
      n = kEndOfFile;
      return ReadLimit::none;
    }
    char line[kLineWidth];
    const std::string_view text = got->substr(0, kLineWidth);
    std::memcpy(line, text.data(), text.size());
    std::memset(line + text.size(), ' ', kLineWidth - text.size());
    const std::string_view padded(line, kLineWidth);

    if (padded.substr(0, 3) != "n  ") std::memcpy(title.data(), line, kLineWidth);
    if (read_layout_from_text(padded, count_layout(), vars).outcome != ReadOutcome::done) continue;
    const std::string_view fmt(format, 8);
    if (fmt.find('(') == std::string_view::npos || fmt.find(')') == std::string_view::npos) {
      continue;
    }
    break;
  }

  first_year = year;
  const std::optional<Layout> description = parse_description(std::string_view(format, 8));
  if (!description) {
    message(io, ">> sbr datar:  bad format text");
    n = 0;
    return ReadLimit::none;
  }
  n = count;
  if (count < 0 || count > kMaxValues || static_cast<std::size_t>(count) > values.size()) {
    return ReadLimit::count;
  }
  if (count == 0) return ReadLimit::none;

  const Var target = Var::of(values.first(static_cast<std::size_t>(count)));
  const ReadResult r =
      read_layout(io.source(handle), *description, std::span<const Var>(&target, 1));
  if (r.outcome == ReadOutcome::conversion_failure) {
    message(io, ">> sbr datar:  error reading data");
    n = r.values;
    // Pass over the rest of the series' value lines, so that the next call begins after it.
    for (std::int32_t skip = description->lines_for(count) - r.lines; skip > 0; --skip) {
      if (!io.read_text(handle)) break;
    }
  } else if (r.outcome == ReadOutcome::end_of_file) {
    // After a failed read the caller ends the run with the system's reason instead.
    if (!io.source(handle).failed()) message(io, ">> sbr datar:  unexpected end reading data");
    n = r.values;
  }
  return ReadLimit::none;
}

}  // namespace corvane
