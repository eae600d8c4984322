// Seeded generators of decade-format files for the benchmarks: the same seed gives the same
// bytes on every machine.
#ifndef CORVANE_BENCH_GENERATE_H
#define CORVANE_BENCH_GENERATE_H

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace corvane::bench {

struct SeriesShape {
  int series = 4000;
  int values = 300;
  int first_year_lo = 1500;
  int first_year_hi = 1700;
  int value_lo = 50;
  int value_hi = 400;
  int header_lines = 3;
};

inline void append_header(std::string& out, int lines) {
  for (int i = 1; i <= lines; ++i) {
    char buf[96];
    std::snprintf(buf, sizeof buf,
                  "GEN   %2d Generated site for benchmarks, line %d of the header\n", i, i);
    out += buf;
  }
}

/// One measurement series from `year` on: `values` values drawn from `value`, then 999, ten
/// 6-column fields a line after a first line that ends with its decade. The 7-column ID leaves
/// column 8 to the year, which takes it for its "-" below -999.
template <class Draw>
void append_measurement_series(std::string& out, int s, int year, int values, Draw&& value) {
  char id[16];
  std::snprintf(id, sizeof id, "G%06d", s % 1000000);
  char buf[32];
  for (int i = 0; i <= values;) {
    std::snprintf(buf, sizeof buf, "%-7s%5d", id, year);
    out += buf;
    for (int slot = ((year % 10) + 10) % 10; slot < 10 && i <= values; ++slot, ++i, ++year) {
      std::snprintf(buf, sizeof buf, "%6d", i == values ? 999 : value());
      out += buf;
    }
    out += '\n';
  }
}

/// A measurement file: header lines, then series of ten 6-column values a line, closed by 999.
inline std::string measurement_file(std::uint32_t seed, const SeriesShape& shape) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> first(shape.first_year_lo, shape.first_year_hi);
  std::uniform_int_distribution<int> value(shape.value_lo, shape.value_hi);
  std::string out;
  out.reserve(static_cast<std::size_t>(shape.series) * (shape.values / 10 + 2) * 73);
  append_header(out, shape.header_lines);
  for (int s = 0; s < shape.series; ++s) {
    append_measurement_series(out, s, first(rng), shape.values, [&] { return value(rng); });
  }
  return out;
}

/// The single large measurement file of the speed figures: 15000 series of 300 to 500 values
/// each, every one ending between 1980 and 2020, after a 3-line header (about 44 MB).
inline std::string large_measurement_file(std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> count(300, 500);
  std::uniform_int_distribution<int> last(1980, 2020);
  std::uniform_int_distribution<int> value(50, 400);
  std::string out;
  out.reserve(std::size_t{46} << 20);
  append_header(out, 3);
  for (int s = 0; s < 15000; ++s) {
    const int values = count(rng);
    const int first_year = last(rng) - values + 1;
    append_measurement_series(out, s, first_year, values, [&] { return value(rng); });
  }
  return out;
}

/// First year and value count of a series.
struct Span {
  int first = 0;
  int values = 0;
};

/// The spans of the spread-years catalogues: `factor` x 15000 series of 300 to 500 values, first
/// years uniform over `years` years from -4999 on.
inline std::vector<Span> spread_spans(std::uint32_t seed, int factor, int years) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> count(300, 500);
  std::uniform_int_distribution<int> first(-4999, -4999 + years - 1);
  std::vector<Span> spans(static_cast<std::size_t>(factor) * 15000);
  for (Span& s : spans) {
    s.values = count(rng);
    s.first = first(rng);
  }
  return spans;
}

/// The years a spread-years measurement file of `factor` x 15000 series spans: `factor` x
/// 10,000, as far as the years' four columns and the ID's eighth allow (last years up to 9999).
constexpr int spread_file_years(int factor) {
  return factor * 10000 < 14500 ? factor * 10000 : 14500;
}

/// A spread-years measurement file, the same shape as the large one (about 44 MB a factor).
inline std::string spread_measurement_file(std::uint32_t seed, int factor) {
  const std::vector<Span> spans = spread_spans(seed, factor, spread_file_years(factor));
  std::mt19937 rng(seed + 1);
  std::uniform_int_distribution<int> value(50, 400);
  std::string out;
  out.reserve(static_cast<std::size_t>(factor) * (std::size_t{46} << 20));
  append_header(out, 3);
  int s = 0;
  for (const Span& span : spans) {
    append_measurement_series(out, s++, span.first, span.values, [&] { return value(rng); });
  }
  return out;
}

/// An index file of the same shape: ten 4-column values with 3-column sample counts a line,
/// aligned on the decade (the first line carries the series' first year, its slots before that
/// year are padded with 9990), closed by 9990.
inline std::string index_file(std::uint32_t seed, const SeriesShape& shape) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> first(shape.first_year_lo, shape.first_year_hi);
  std::uniform_int_distribution<int> value(500, 1500);
  std::uniform_int_distribution<int> count(1, 60);
  std::string out;
  out.reserve(static_cast<std::size_t>(shape.series) * (shape.values / 10 + 2) * 81);
  append_header(out, shape.header_lines);
  char buf[32];
  for (int s = 0; s < shape.series; ++s) {
    const int start = first(rng);
    char id[16];
    std::snprintf(id, sizeof id, "I%05d", s % 100000);
    int year = start - ((start % 10) + 10) % 10;
    for (int i = 0; i <= shape.values;) {
      std::snprintf(buf, sizeof buf, "%-6s%4d", id, i == 0 ? start : year);
      out += buf;
      for (int slot = 0; slot < 10; ++slot, ++year) {
        if (year < start || i > shape.values) {
          out += "9990  0";
          continue;
        }
        std::snprintf(buf, sizeof buf, "%4d%3d", i == shape.values ? 9990 : value(rng), count(rng));
        out += buf;
        ++i;
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace corvane::bench

#endif  // CORVANE_BENCH_GENERATE_H
