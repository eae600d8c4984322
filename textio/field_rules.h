// Internal to the text layer: the word-at-a-time integer field rule behind the readers' hot
// path. Not part of the text interface.
#ifndef CORVANE_TEXTIO_FIELD_RULES_H
#define CORVANE_TEXTIO_FIELD_RULES_H

#include <cstdint>
#include <cstring>
#include <string_view>

namespace corvane::detail {

constexpr std::uint64_t bytes_of(std::uint8_t b) { return 0x0101010101010101ULL * b; }

// High bit of each byte set where that byte is not zero.
constexpr std::uint64_t nonzero_bytes(std::uint64_t v) {
  return (((v & bytes_of(0x7F)) + bytes_of(0x7F)) | v) & bytes_of(0x80);
}

// A field of at most eight columns as a word: its last character in the highest byte, blanks
// in front of it.
inline std::uint64_t load_field(std::string_view field) {
  std::uint64_t w = bytes_of(' ');
  for (const char c : field) {
    w = (w >> 8) | (static_cast<std::uint64_t>(static_cast<unsigned char>(c)) << 56);
  }
  return w;
}

// The same, read straight from a line when eight bytes ending with the field lie inside it.
inline std::uint64_t load_field(const char* line, std::size_t end, std::size_t width) {
  std::uint64_t w;
  std::memcpy(&w, line + end - 8, 8);
  if (width < 8) {
    const std::uint64_t keep = ~std::uint64_t{0} << (8 * (8 - width));
    w = (w & keep) | (bytes_of(' ') & ~keep);
  }
  return w;
}

// Leading blanks and then digits only (the way decade files right-align their numbers),
// converted eight bytes at a time without a branch per character. False for any other shape;
// the general rule then decides.
inline bool parse_right_aligned(std::uint64_t w, std::uint32_t& out) {
  const std::uint64_t not_digit = nonzero_bytes((w & bytes_of(0xF0)) ^ bytes_of(0x30)) |
                                  ((((w & bytes_of(0x0F)) + bytes_of(0x06)) & bytes_of(0x10)) << 3);
  const std::uint64_t blank = ~nonzero_bytes(w ^ bytes_of(' ')) & bytes_of(0x80);
  if ((not_digit & ~blank) != 0) return false;
  const std::uint64_t blank_bytes = (blank >> 7) * 0xFF;
  if ((blank_bytes & (blank_bytes + 1)) != 0) return false;  // a blank after a digit
  std::uint64_t v = ((w & ~blank_bytes) | (bytes_of('0') & blank_bytes)) - bytes_of('0');
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
       (((v >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
      32;
  out = static_cast<std::uint32_t>(v);
  return true;
}

// The same rule for a field of at most four columns, four bytes at a time.
inline bool parse_right_aligned4(const char* line, std::size_t end, std::size_t width,
                                 std::uint32_t& out) {
  std::uint32_t w;
  std::memcpy(&w, line + end - 4, 4);
  if (width < 4) {
    const std::uint32_t keep = ~std::uint32_t{0} << (8 * (4 - width));
    w = (w & keep) | (0x20202020u & ~keep);
  }
  const auto nonzero = [](std::uint32_t v) {
    return (((v & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | v) & 0x80808080u;
  };
  const std::uint32_t not_digit = nonzero((w & 0xF0F0F0F0u) ^ 0x30303030u) |
                                  ((((w & 0x0F0F0F0Fu) + 0x06060606u) & 0x10101010u) << 3);
  const std::uint32_t blank = ~nonzero(w ^ 0x20202020u) & 0x80808080u;
  if ((not_digit & ~blank) != 0) return false;
  const std::uint32_t blank_bytes = (blank >> 7) * 0xFFu;
  if ((blank_bytes & (blank_bytes + 1)) != 0) return false;
  std::uint32_t v = ((w & ~blank_bytes) | (0x30303030u & blank_bytes)) - 0x30303030u;
  v = (v * 10) + (v >> 8);
  out = (((v & 0x00FF00FFu) * (1u + (100u << 16))) >> 16) & 0xFFFFu;
  return true;
}

}  // namespace corvane::detail

#endif  // CORVANE_TEXTIO_FIELD_RULES_H
