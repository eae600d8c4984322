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
  int e2 = 0;
  (void)std::frexp(a, &e2);  // 2^(e2 - 1) <= a < 2^e2
  // floor((e2 - 1) log10 2) is x or x - 1 below.
  x = static_cast<std::int32_t>(std::floor((e2 - 1) * 0.30102999566398120));
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
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-9) return false;
    q = static_cast<std::int32_t>(whole) + (fraction > 0.5 ? 1 : 0);
    if (q == 1000000) {
      q = 100000;
      ++x;
    }
    return true;
  }
  return false;
}

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
  // the point with them when nothing follows it.
  char digits[6];
  for (int k = 5; k >= 0; --k) {
    digits[k] = static_cast<char>('0' + q % 10);
    q /= 10;
  }
  int last = 5;
  while (last > 0 && digits[last] == '0') --last;  // the last significant digit
  if (value < 0) out.push_back('-');
  if (x >= -4 && x < 6) {
    if (x < 0) {
      out.append("0.");
      out.append(static_cast<std::size_t>(-x - 1), '0');
      out.append(digits, static_cast<std::size_t>(last + 1));
    } else {
      out.append(digits, static_cast<std::size_t>(x + 1));
      if (last > x) {
        out.push_back('.');
        out.append(digits + x + 1, static_cast<std::size_t>(last - x));
      }
    }
    return;
  }
  out.push_back(digits[0]);
  if (last > 0) {
    out.push_back('.');
    out.append(digits + 1, static_cast<std::size_t>(last));
  }
  out.push_back('e');
  out.push_back(x < 0 ? '-' : '+');
  const std::int32_t e = x < 0 ? -x : x;
  if (e >= 10)
    out.push_back(static_cast<char>('0' + e / 10));
  else
    out.push_back('0');
  out.push_back(static_cast<char>('0' + e % 10));
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
