// The catalogue as CSV: quoting as RFC 4180 has it, line feeds as line ends.
#include "outputs/csv.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "textio/number_writers.h"

namespace corvane {

namespace {
constexpr std::size_t kChunk = 1u << 16;
}

void append_csv_field(std::string& out, std::string_view field) {
  const auto plain = [](char c) { return c != ',' && c != '"' && c != '\r' && c != '\n'; };
  if (std::all_of(field.begin(), field.end(), plain)) {
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

// The six significant digits of a finite value of magnitude `a` > 0 and its decimal exponent x
// (a rounds to q * 10^(x - 5), 10^5 <= q < 10^6), for exponents -15 to 20, where one product
// or quotient by an exact power of ten gives a * 10^(5 - x) within 2^-53 of it, so below 10^6
// within 1.2e-10. False where that leaves the rounding in doubt (within 1e-9 of a half) or the
// exponent is out of that range: the general conversion decides those.
bool six_digits(double a, std::int32_t& q, std::int32_t& x) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  // 2^e <= a < 2^(e + 1) for a normal a; floor(e log10 2), worked out as e * 78913 / 2^18
  // (exact for every normal exponent), is x or x - 1. A subnormal a is out of range anyway.
  const auto e = static_cast<std::int32_t>(std::bit_cast<std::uint64_t>(a) >> 52) - 1023;
  x = (e * 78913) >> 18;
  for (int tries = 0; tries < 3; ++tries) {
    if (x < -15 || x > 20) return false;
    const std::int32_t shift = 5 - x;
    const double scaled = shift >= 0 ? a * kPow10[shift] : a / kPow10[-shift];
    if (scaled < 1e5) {
      --x;
      continue;
    }
    if (scaled >= 1e6) {
      ++x;
      continue;
    }
    const auto whole = static_cast<std::int32_t>(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-9) return false;
    q = whole + (fraction > 0.5 ? 1 : 0);
    if (q == 1000000) {
      q = 100000;
      ++x;
    }
    return true;
  }
  return false;
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

namespace {

// Writes what append_statistic appends at `at`, which has room for 24 characters: up to 13 of
// text, and pieces copied eight bytes at a time may run up to 8 past it. Returns its end.
char* write_statistic(char* at, double value) {
  if (std::isnan(value)) {
    std::memcpy(at, "nan", 3);
    return at + 3;
  }
  if (std::isinf(value)) {
    const std::string_view text = value > 0 ? "inf" : "-inf";
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
  }
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  std::int32_t q = 0, x = 0;
  if (!six_digits(std::fabs(value), q, x)) {
    return std::to_chars(at, at + 24, value, std::chars_format::general, 6).ptr;
  }
  // %g: fixed-point where -4 <= x < 6, else d.ddddde+XX; trailing zeros of the fraction go, and
  // the point with them when nothing follows it. Pieces are copied eight bytes at a time, and
  // only their first bytes kept.
  char digits[16] = {};
  const auto u = static_cast<std::uint32_t>(q);
  const std::uint32_t high = u / 10000, low = u - high * 10000, middle = low / 100;
  std::memcpy(digits, kPairs + 2 * high, 2);
  std::memcpy(digits + 2, kPairs + 2 * middle, 2);
  std::memcpy(digits + 4, kPairs + 2 * (low - middle * 100), 2);
  int last = 5;
  while (last > 0 && digits[last] == '0') --last;  // the last significant digit
  char* p = at;
  *p = '-';
  p += value < 0 ? 1 : 0;
  if (x >= -4 && x < 6) {
    if (x < 0) {
      std::memcpy(p, "0.000000", 8);
      p += 1 - x;
      std::memcpy(p, digits, 8);
      p += last + 1;
    } else {
      std::memcpy(p, digits, 8);
      p += x + 1;
      if (last > x) {
        *p = '.';
        std::memcpy(p + 1, digits + x + 1, 8);
        p += 1 + last - x;
      }
    }
  } else {
    *p++ = digits[0];
    if (last > 0) {
      *p = '.';
      std::memcpy(p + 1, digits + 1, 8);
      p += 1 + last;
    }
    *p++ = 'e';
    *p++ = x < 0 ? '-' : '+';
    std::memcpy(p, kPairs + 2 * (x < 0 ? -x : x), 2);
    p += 2;
  }
  return p;
}

// Writes a field that fits in `at` quoted (room for 2 + 2 * its size) as append_csv_field
// appends it; returns its end.
char* write_csv_field(char* at, std::string_view field) {
  const auto plain = [](char c) { return c != ',' && c != '"' && c != '\r' && c != '\n'; };
  if (std::all_of(field.begin(), field.end(), plain)) {
    std::memcpy(at, field.data(), field.size());
    return at + field.size();
  }
  *at++ = '"';
  for (const char c : field) {
    if (c == '"') *at++ = '"';
    *at++ = c;
  }
  *at++ = '"';
  return at;
}

}  // namespace

void append_statistic(std::string& out, double value) {
  char text[40];
  out.append(text, write_statistic(text, value));
}

void write_csv(Sink& out, const SeriesTable& table, const Optimum& optimum) {
  std::string text;
  text.reserve(kChunk + 4096);
  text.append(kCsvHeader);
  text.push_back('\n');
  std::int64_t number = 0;
  // A row after the file's name is built in a local buffer and appended at once: the ID has at
  // most 8 characters (18 quoted), each number at most 32, each statistic 24 with its slack.
  char row[64 + 4 * 32 + kStatistics * (1 + 24) + 32];
  for (std::size_t i = 0; i < table.size(); ++i) {
    number = i > 0 && table.file[i] == table.file[i - 1] ? number + 1 : 1;
    append_csv_field(text, table.file_names[static_cast<std::size_t>(table.file[i])]);
    char* p = row;
    *p++ = ',';
    p = write_integer(p, number);
    *p++ = ',';
    p = write_csv_field(p, table_id(table, i));
    *p++ = ',';
    p = write_integer(p, table.first_year[i]);
    *p++ = ',';
    p = write_integer(p, table.last_year[i]);
    *p++ = ',';
    p = write_integer(p, table.values[i]);
    *p++ = ',';
    if (table.values[i] > 0) p = write_shortest(p, table.mean[i]);
    *p++ = ',';
    if (const auto in = in_optimum(table, i, optimum)) {
      std::memcpy(p, *in ? "true" : "false", 5);
      p += *in ? 4 : 5;
    }
    if (table.stats.empty()) {
      std::memcpy(p, ",,,,,,,,", 8);
      p += 8;
    } else {
      const SeriesStats& s = table.stats[i];
      for (std::size_t k = 0; k < kStatistics; ++k) {
        *p++ = ',';
        if (s.has(static_cast<Statistic>(k))) p = write_statistic(p, s.value[k]);
      }
      *p++ = ',';
      p = write_integer(p, s.missing);
    }
    *p++ = '\n';
    text.append(row, p);
    if (text.size() >= kChunk) {
      out.put(text);
      text.clear();
    }
  }
  out.put(text);
}

}  // namespace corvane
