// Seeded generators of decade-format files for the benchmarks: the same seed gives the same
// bytes on every machine.
#ifndef CORVANE_BENCH_GENERATE_H
#define CORVANE_BENCH_GENERATE_H

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

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

/// A measurement file: header lines, then series of ten 6-column values a line, closed by 999.
inline std::string measurement_file(std::uint32_t seed, const SeriesShape& shape) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> first(shape.first_year_lo, shape.first_year_hi);
  std::uniform_int_distribution<int> value(shape.value_lo, shape.value_hi);
  std::string out;
  out.reserve(static_cast<std::size_t>(shape.series) * (shape.values / 10 + 2) * 73);
  append_header(out, shape.header_lines);
  char buf[32];
  for (int s = 0; s < shape.series; ++s) {
    int year = first(rng);
    char id[16];
    std::snprintf(id, sizeof id, "G%06d", s % 1000000);
    for (int i = 0; i <= shape.values;) {
      std::snprintf(buf, sizeof buf, "%-8s%4d", id, year);
      out += buf;
      for (int slot = ((year % 10) + 10) % 10; slot < 10 && i <= shape.values;
           ++slot, ++i, ++year) {
        std::snprintf(buf, sizeof buf, "%6d", i == shape.values ? 999 : value(rng));
        out += buf;
      }
      out += '\n';
    }
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
