// Numbers in their plain decimal forms, built right to left in a local buffer and appended at
// once: integers and the common fixed-point values from a table of digit pairs, the rest through
// std::to_chars.
#include "textio/number_writers.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

// "00" to "99": two digits at a time.
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of v to end at `end`; returns where they begin.
char* digits_before(char* end, std::uint64_t v) {
  while (v >= 100) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * v, 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// Writes exactly `count` digits of v (v < 10^count) to end at `end`; returns where they begin.
char* padded_digits_before(char* end, std::uint64_t v, int count) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + v);
  return end;
}

// 10^0 to 10^19.
constexpr auto kPowers = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (auto& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

// The number of decimal digits of v: with b bits, v has floor(b log10 2) digits or one more
// (1233 / 2^12 is log10 2 closely enough for b <= 64), and 10^that tells which.
int digit_count(std::uint64_t v) {
  const std::uint64_t w = v | 1;  // as many digits as v, and at least one
  const auto guess = static_cast<std::size_t>((std::bit_width(w) * 1233) >> 12);
  return static_cast<int>(guess) + (w >= kPowers[guess] ? 1 : 0);
}

constexpr int kFastDecimals = 6;
constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
constexpr std::uint64_t kUnit[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Writes `value` to `decimals` decimals as to_chars(fixed) writes it, when |value| < 10^9 and
// decimals <= 6; else nothing (nullptr). The product s = |value| * 10^d, one rounding from the
// exact product x, lies within ulp(s) / 2 of it, and below 2^52 both s and every half-integer h
// are multiples of ulp(s): unless s is itself a half-integer, |s - h| >= ulp(s) > |s - x|, so
// x and s lie on one side of every h and round to the same integer. The exact fraction of s
// (s - trunc(s) is exact) tells whether s is a half-integer; such values, where the exact
// product may be a tie or lie on either side of one, are left to to_chars.
char* fast_fixed(char* at, double value, int decimals) {
  if (decimals < 0 || decimals > kFastDecimals) return nullptr;
  const double magnitude = std::fabs(value);
  if (!(magnitude < 1e9)) return nullptr;  // also NaN
  const double scaled = magnitude * kScale[decimals];
  const auto whole = static_cast<std::int64_t>(scaled);  // signed: one instruction either way
  const double rest = scaled - static_cast<double>(whole);
  if (rest == 0.5) return nullptr;
  const auto units = static_cast<std::uint64_t>(whole + (rest > 0.5 ? 1 : 0));
  const std::uint64_t unit = kUnit[decimals];
  if (std::signbit(value)) *at++ = '-';
  const std::uint64_t integral = units / unit;
  char* end = at + digit_count(integral);
  digits_before(end, integral);
  if (decimals > 0) {
    *end = '.';
    end += 1 + decimals;
    padded_digits_before(end, units % unit, decimals);
  }
  return end;
}

// Writes the shortest text that reads back as this float, as to_chars writes it, for
// 2^-7 <= |value| < 2^24; else nothing (nullptr). With |value| = m 2^e (m of 24 bits), the
// values that read back as it are those within half its spacing 2^e of it (a quarter below the
// lowest m of a binade), the bounds themselves when m is even: in units of 2^(e - 2) the
// integers lo = 4m - 2 (or - 1), 4m and hi = 4m + 2. Times 10^k, for k decimals that give
// value * 10^k at least 10^8 (k <= 11), and so a candidate among the integers, the bounds stay
// below 2^63; shifted down by 2 - e (2 to 32) they bound the candidates n / 10^k. The text
// takes the multiples of the largest power of ten p that has one among them, the one nearest
// the value (ties to an even multiple), and is written in fixed or scientific notation,
// whichever is shorter (fixed when they tie).
char* fast_shortest(char* at, float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const int binary_exponent = static_cast<int>((bits >> 23) & 0xFF) - 127;
  if (binary_exponent < -7 || binary_exponent > 23) return nullptr;
  const std::uint64_t m = (bits & 0x7FFFFF) | 0x800000;
  const int shift = 25 - binary_exponent;
  const std::uint64_t mid = 4 * m, hi = mid + 2, lo = mid - (m == 0x800000 ? 1 : 2);
  const bool inclusive = (m & 1) == 0;
  // floor(E log10 2) is floor(log10 |value|) or one less.
  const int guess = (binary_exponent * 78913) >> 18;
  const int k = 8 - guess;
  const std::uint64_t scale = kPowers[static_cast<std::size_t>(k)];
  const std::uint64_t unit = std::uint64_t{1} << shift, mask = unit - 1;
  const std::uint64_t lo_scaled = lo * scale, hi_scaled = hi * scale, v_scaled = mid * scale;
  std::uint64_t n_lo = (lo_scaled + mask) >> shift;
  if (!inclusive && (lo_scaled & mask) == 0) ++n_lo;
  std::uint64_t n_hi = hi_scaled >> shift;
  if (!inclusive && (hi_scaled & mask) == 0) --n_hi;
  std::uint64_t p = 1;
  int j = 0;
  while (n_hi / (10 * p) * (10 * p) >= n_lo) {
    p *= 10;
    ++j;
  }
  std::uint64_t c = (v_scaled >> shift) / p;  // the multiple at or below the value
  const std::uint64_t rest = v_scaled - c * p * unit, whole = p * unit;
  const bool up = 2 * rest > whole || (2 * rest == whole && (c & 1) != 0);
  if ((up && (c + 1) * p <= n_hi) || c * p < n_lo) ++c;
  // |value| = c * 10^(j - k) = d1.d2...dP * 10^x
  const int digits = digit_count(c);
  const int x = digits - 1 + j - k;
  const int scientific = digits + (digits > 1 ? 1 : 0) + 4;
  const int fixed = x >= 0 ? (digits <= x + 1 ? x + 1 : digits + 1) : digits + 1 - x;
  if (std::signbit(value)) *at++ = '-';
  char text[24] = {};
  char* const text_end = text + digits;
  digits_before(text_end, c);
  if (fixed <= scientific) {
    if (x < 0) {
      std::memcpy(at, "0.000", 5);
      at += 1 - x;
      std::memcpy(at, text, 16);
      return at + digits;
    }
    if (digits <= x + 1) {
      std::memcpy(at, text, 16);
      std::memset(at + digits, '0', static_cast<std::size_t>(x + 1 - digits));
      return at + x + 1;
    }
    std::memcpy(at, text, 16);
    std::memmove(at + x + 2, at + x + 1, 16);
    at[x + 1] = '.';
    return at + digits + 1;
  }
  *at++ = text[0];
  if (digits > 1) {
    *at++ = '.';
    std::memcpy(at, text + 1, 16);
    at += digits - 1;
  }
  std::memcpy(at, x < 0 ? "e-" : "e+", 2);
  std::memcpy(at + 2, kPairs + 2 * (x < 0 ? -x : x), 2);
  return at + 4;
}

}  // namespace

char* write_integer(char* at, std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  const std::uint64_t magnitude = value < 0 ? 0 - bits : bits;
  if (value < 0) *at++ = '-';
  char* const end = at + digit_count(magnitude);
  digits_before(end, magnitude);
  return end;
}

void append_integer(std::string& out, std::int64_t value) {
  char buf[24];
  out.append(buf, write_integer(buf, value));
}

char* write_shortest(char* at, float value) {
  if (char* const end = fast_shortest(at, value)) return end;
  if (std::isnan(value)) {
    std::memcpy(at, "nan", 3);
    return at + 3;
  }
  return std::to_chars(at, at + 32, value).ptr;
}

void append_shortest(std::string& out, float value) {
  char buf[32];
  out.append(buf, write_shortest(buf, value));
}

void append_shortest(std::string& out, double value) {
  char buf[64];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

char* write_fixed(char* at, double value, int decimals) {
  if (char* const end = fast_fixed(at, value, decimals)) return end;
  return std::to_chars(at, at + kFixedRoom + decimals, value, std::chars_format::fixed, decimals)
      .ptr;
}

void append_fixed(std::string& out, double value, int decimals) {
  // Room for the largest double in fixed notation with the decimals a caller asks for.
  char buf[400];
  char* const end =
      decimals <= static_cast<int>(sizeof buf) - kFixedRoom
          ? write_fixed(buf, value, decimals)
          : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
  out.append(buf, end);
}

}  // namespace corvane
