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

void append_statistic(std::string& out, double value) {
  if (std::isnan(value)) {
    out.append("nan");
    return;
  }
  if (std::isinf(value)) {
    out.append(value > 0 ? "inf" : "-inf");
    return;
  }
  if (value == 0) {
    out.push_back('0');
    return;
  }
  std::int32_t q = 0, x = 0;
  if (!six_digits(std::fabs(value), q, x)) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    out.append(buf, r.ptr);
    return;
  }
  // %g: fixed-point where -4 <= x < 6, else d.ddddde+XX; trailing zeros of the fraction go, and
  // the point with them when nothing follows it. Pieces are copied eight bytes at a time into
  // room enough for that, and only their first bytes kept.
  char digits[16] = {};
  std::memcpy(digits, kPairs + 2 * (q / 10000), 2);
  std::memcpy(digits + 2, kPairs + 2 * (q / 100 % 100), 2);
  std::memcpy(digits + 4, kPairs + 2 * (q % 100), 2);
  int last = 5;
  while (last > 0 && digits[last] == '0') --last;  // the last significant digit
  char text[40];
  char* p = text;
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
  out.append(text, static_cast<std::size_t>(p - text));
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
