// Field rules for single numeric fields: integer and real input, integer and fixed-point output.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "textio/field_rules.h"
#include "textio/textio.h"

namespace corvane {

namespace {

// Any field: blanks anywhere, an optional sign before the digits, at most 32 bits.
bool parse_integer_general(std::string_view field, std::int32_t& out) {
  const char* p = field.data();
  const char* const end = p + field.size();
  while (p != end && *p == ' ') ++p;
  if (p == end) {
    out = 0;
    return true;
  }
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
  }
  std::uint64_t acc = 0;
  bool digits = false;
  for (; p != end; ++p) {
    const auto d = static_cast<unsigned>(static_cast<unsigned char>(*p)) - unsigned{'0'};
    if (d < 10) {
      acc = acc * 10 + d;
      if (acc > 2147483648ULL) return false;
      digits = true;
    } else if (*p != ' ') {
      return false;
    }
  }
  if (!digits) return false;  // a sign alone
  if (negative) {
    out = static_cast<std::int32_t>(-static_cast<std::int64_t>(acc));
    return true;
  }
  if (acc > 2147483647ULL) return false;
  out = static_cast<std::int32_t>(acc);
  return true;
}

}  // namespace

bool parse_integer_field(std::string_view field, std::int32_t& out) {
  std::uint32_t v = 0;
  if (field.size() <= 8 && detail::parse_right_aligned(detail::load_field(field), v)) {
    out = static_cast<std::int32_t>(v);
    return true;
  }
  return parse_integer_general(field, out);
}

namespace {

// Builds "<digits>e<exponent>" for from_chars. Mantissas longer than the local buffer go
// through a heap string: such fields are rare, and correct rounding needs every digit.
bool convert_decimal(bool negative, std::string_view digits, std::int64_t exponent, float& out) {
  // Leading zeros carry no value; an all-zero mantissa is zero whatever the exponent.
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) {
    out = negative ? -0.0f : 0.0f;
    return true;
  }
  digits.remove_prefix(first);
  // Up to seven digits and a power of ten up to 10^10 are both exact floats (10^10 is 2^10
  // times 5^10, which fits in 24 bits), so one multiplication or division, correctly rounded,
  // gives the nearest float of the decimal value: the common short field needs no from_chars.
  if (digits.size() <= 7 && exponent >= -10 && exponent <= 10) {
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                        1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    std::int32_t m = 0;
    for (const char c : digits) m = m * 10 + (c - '0');
    const float mantissa = static_cast<float>(m);
    const float value = exponent < 0 ? mantissa / kPowers[-exponent] : mantissa * kPowers[exponent];
    out = negative ? -value : value;
    return true;
  }
  // Exponents far beyond float's range are decided without from_chars. A value too large for
  // single precision rounds to an infinity, as rounding to nearest gives.
  const float overflow =
      negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  const std::int64_t magnitude = exponent + static_cast<std::int64_t>(digits.size());
  if (magnitude > 40) {
    out = overflow;
    return true;
  }
  if (magnitude < -60) {
    out = negative ? -0.0f : 0.0f;
    return true;
  }
  char local[160];
  std::string heap;
  char* buf = local;
  const std::size_t need = digits.size() + 2 + 24;
  if (need > sizeof local) {
    heap.resize(need);
    buf = heap.data();
  }
  char* p = buf;
  if (negative) *p++ = '-';
  std::memcpy(p, digits.data(), digits.size());
  p += digits.size();
  *p++ = 'e';
  p = std::to_chars(p, buf + need, exponent).ptr;
  float value = 0.0f;
  const auto [end, ec] = std::from_chars(buf, p, value, std::chars_format::scientific);
  if (ec == std::errc::result_out_of_range) {
    out = magnitude > 0 ? overflow : (negative ? -0.0f : 0.0f);
    return true;
  }
  if (ec != std::errc() || end != p) return false;
  out = value;
  return true;
}

}  // namespace

bool parse_real_field(std::string_view field, std::int32_t decimals, float& out) {
  // Gather the significant characters (blanks are ignored) in one pass; digits are copied to
  // a compact buffer only when the field is longer than the local one.
  char local[128];
  std::string heap;
  char* digits = local;
  if (field.size() > sizeof local) {
    heap.resize(field.size());
    digits = heap.data();
  }
  std::size_t ndigits = 0;
  bool negative = false, sign = false, point = false, any = false;
  std::int64_t after_point = 0;
  std::size_t i = 0;
  const std::size_t n = field.size();
  for (; i < n; ++i) {
    const char c = field[i];
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      any = true;
      digits[ndigits++] = c;
      if (point) ++after_point;
    } else if (c == '.' && !point) {
      point = true;
    } else if ((c == '+' || c == '-') && !sign && !any && !point) {
      sign = true;
      negative = c == '-';
    } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      break;
    } else {
      return false;
    }
  }
  std::int64_t exponent = 0;
  if (i < n) {
    if (!any) return false;
    ++i;  // the exponent letter
    bool exp_negative = false, exp_sign = false, exp_digits = false;
    for (; i < n; ++i) {
      const char c = field[i];
      if (c == ' ') continue;
      if (c >= '0' && c <= '9') {
        exp_digits = true;
        if (exponent < 1000000) exponent = exponent * 10 + (c - '0');
      } else if ((c == '+' || c == '-') && !exp_sign && !exp_digits) {
        exp_sign = true;
        exp_negative = c == '-';
      } else {
        return false;
      }
    }
    if (!exp_digits) return false;
    if (exp_negative) exponent = -exponent;
  }
  if (!any) {
    if (sign || point) return false;
    out = 0.0f;
    return true;
  }
  exponent -= point ? after_point : decimals;
  return convert_decimal(negative, std::string_view(digits, ndigits), exponent, out);
}

namespace {

// "00" to "99": two digits at a time.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the decimal digits of `v` so that they end at `end`, two at a time; returns their
// start.
char* digits_before(char* end, std::uint64_t v) {
  char* p = end;
  while (v >= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (v % 100)], 2);
    v /= 100;
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * v], 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return p;
}

}  // namespace

void format_integer(std::string& out, std::int32_t value, std::int32_t width) {
  char buf[16];
  if (width <= 0 || width > static_cast<std::int32_t>(sizeof buf)) {
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    const auto len = static_cast<std::int32_t>(res.ptr - buf);
    if (len > width) {
      out.append(static_cast<std::size_t>(width), '*');
      return;
    }
    out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(buf, static_cast<std::size_t>(len));
    return;
  }
  out.append(buf, static_cast<std::size_t>(put_integer(buf, value, width) - buf));
}

char* put_integer(char* at, std::int32_t value, std::int32_t width) {
  // Built right to left in a blank buffer, two digits at a time, then copied in pieces of fixed
  // size that overlap as the width needs.
  char buf[16];
  std::memset(buf, ' ', sizeof buf);
  char* const end = buf + sizeof buf;
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char* p = digits_before(end, magnitude);
  if (value < 0) *--p = '-';
  const auto w = static_cast<std::size_t>(width);
  if (p < end - width) {
    std::memset(at, '*', w);
  } else if (w >= 8) {
    std::memcpy(at, end - w, 8);
    std::memcpy(at + w - 8, end - 8, 8);
  } else if (w >= 4) {
    std::memcpy(at, end - w, 4);
    std::memcpy(at + w - 4, end - 4, 4);
  } else {
    std::copy(end - w, end, at);
  }
  return at + w;
}

namespace {

// The decimal text of a value rounded to d decimals, as to_chars(fixed, d) writes it (an
// optional "-", digits, a point and d decimals), for the values whose product with 10^d a
// double holds exactly: those below 10^9 that a float holds (24 significant bits, and 5^d has
// at most 14 for d <= 6; the product stays below 2^53). Rounding the exact product to an integer,
// ties to even, is then the correctly rounded decimal. Nothing when the value is of another kind.
// Writes that text so that it ends at `end` (room for 24 characters before it) and returns its
// start.
char* exact_fixed(char* end, double value, std::int32_t decimals) {
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  if (decimals < 1 || decimals > 6 || !(std::fabs(value) < 1e9)) return nullptr;  // also NaN
  if (static_cast<double>(static_cast<float>(value)) != value) return nullptr;
  const double scaled = value * kScale[decimals];
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(scaled);
  auto units = static_cast<std::uint64_t>(magnitude);
  const double rest = magnitude - static_cast<double>(units);
  if (rest > 0.5 || (rest == 0.5 && (units & 1u) != 0)) ++units;

  char* p = end;
  for (std::int32_t k = 0; k < decimals; ++k) {
    *--p = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  *--p = '.';
  p = digits_before(p, units);
  if (negative) *--p = '-';
  return p;
}

}  // namespace

void format_fixed(std::string& out, double value, std::int32_t width, std::int32_t decimals) {
  if (width <= 0) return;
  if (!std::isfinite(value)) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  // A value of the exact kind, in a field of at most 24 columns, is written right-aligned in a
  // blank buffer and appended at once.
  if (width <= 24) {
    char field[32];
    std::memset(field, ' ', sizeof field);
    char* const field_end = field + sizeof field;
    if (char* start = exact_fixed(field_end, value, decimals)) {
      auto len = field_end - start;
      const bool sign = *start == '-';
      // "0.500" may drop its zero when that alone makes it fit.
      if (len > width && start[sign ? 1 : 0] == '0' && start[sign ? 2 : 1] == '.') {
        if (sign) start[1] = '-';
        ++start;
        --len;
      }
      if (len > width) {
        out.append(static_cast<std::size_t>(width), '*');
      } else {
        out.append(field_end - width, static_cast<std::size_t>(width));
      }
      return;
    }
  }
  char buf[400];
  char* end = nullptr;
  if (width > 24) {
    char digits[32];
    if (const char* start = exact_fixed(digits + sizeof digits, value, decimals)) {
      end = std::copy(start, static_cast<const char*>(digits + sizeof digits), buf);
    }
  }
  if (end == nullptr) {
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::fixed,
                                   decimals < 0 ? 0 : decimals);
    if (res.ec != std::errc()) {
      out.append(static_cast<std::size_t>(width), '*');
      return;
    }
    end = res.ptr;
  }
  if (decimals <= 0) *end++ = '.';  // the point stands even without decimals
  std::string_view text(buf, static_cast<std::size_t>(end - buf));
  std::string_view sign;
  if (!text.empty() && text.front() == '-') {
    sign = text.substr(0, 1);
    text.remove_prefix(1);
  }
  auto len = static_cast<std::int32_t>(sign.size() + text.size());
  // "0.500" may drop its zero when that alone makes it fit.
  if (len > width && text.size() >= 2 && text[0] == '0' && text[1] == '.') {
    text.remove_prefix(1);
    --len;
  }
  if (len > width) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  out.append(static_cast<std::size_t>(width - len), ' ');
  out.append(sign);
  out.append(text);
}

}  // namespace corvane
