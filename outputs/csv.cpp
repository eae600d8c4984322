// The catalogue as CSV: quoting as RFC 4180 has it, line feeds as line ends.
#include "outputs/csv.h"

#include <charconv>
#include <cmath>

#include "textio/number_writers.h"

namespace corvane {

namespace {
constexpr std::size_t kChunk = 1u << 16;
}

void append_csv_field(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (const char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void append_shortest_float(std::string& out, float value) { append_shortest(out, value); }

namespace {

// The statistics' columns of one row, each after a comma.
void append_statistics(std::string& out, const SeriesStats& s) {
  for (std::size_t k = 0; k < kStatistics; ++k) {
    out.push_back(',');
    if (s.has(static_cast<Statistic>(k))) append_statistic(out, s.value[k]);
  }
  out.push_back(',');
  append_integer(out, s.missing);
}

}  // namespace

void append_statistic(std::string& out, double value) {
  if (std::isnan(value)) {
    out.append("nan");
  } else if (std::isinf(value)) {
    out.append(value > 0 ? "inf" : "-inf");
  } else if (value == 0) {
    out.push_back('0');
  } else {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    out.append(buf, r.ptr);
  }
}

void write_csv(Sink& out, const SeriesTable& table, const Optimum& optimum) {
  std::string text;
  text.reserve(kChunk + 4096);
  text.append(kCsvHeader);
  text.push_back('\n');
  std::int64_t number = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    number = i > 0 && table.file[i] == table.file[i - 1] ? number + 1 : 1;
    append_csv_field(text, table.file_names[static_cast<std::size_t>(table.file[i])]);
    text.push_back(',');
    append_integer(text, number);
    text.push_back(',');
    append_csv_field(text, table_id(table, i));
    text.push_back(',');
    append_integer(text, table.first_year[i]);
    text.push_back(',');
    append_integer(text, table.last_year[i]);
    text.push_back(',');
    append_integer(text, table.values[i]);
    text.push_back(',');
    if (table.values[i] > 0) append_shortest(text, table.mean[i]);
    text.push_back(',');
    if (const auto in = in_optimum(table, i, optimum)) text.append(*in ? "true" : "false");
    if (table.stats.empty()) {
      text.append(",,,,,,,,");
    } else {
      append_statistics(text, table.stats[i]);
    }
    text.push_back('\n');
    if (text.size() >= kChunk) {
      out.put(text);
      text.clear();
    }
  }
  out.put(text);
}

}  // namespace corvane
