// Internal to the text layer: the word-at-a-time integer field rule behind the readers' hot
// path. Not part of the text interface.
#ifndef CORVANE_TEXTIO_FIELD_RULES_H
#define CORVANE_TEXTIO_FIELD_RULES_H

#include <cstdint>
#include <cstring>
#include <string_view>

namespace corvane::detail {

// A word of W bytes, each byte b.
template <class W>
constexpr W bytes_of(std::uint8_t b) {
  return static_cast<W>(~W{0} / 0xFF * b);
}

// High bit of each byte set where that byte is not zero.
template <class W>
constexpr W nonzero_bytes(W v) {
  return (((v & bytes_of<W>(0x7F)) + bytes_of<W>(0x7F)) | v) & bytes_of<W>(0x80);
}

// A field of at most eight columns as a word: its last character in the highest byte, blanks
// in front of it.
inline std::uint64_t load_field(std::string_view field) {
  std::uint64_t w = bytes_of<std::uint64_t>(' ');
  for (const char c : field) {
    w = (w >> 8) | (static_cast<std::uint64_t>(static_cast<unsigned char>(c)) << 56);
  }
  return w;
}

// The same, read straight from a line when the sizeof(W) bytes ending with the field (of at
// most sizeof(W) columns) lie inside it.
template <class W>
W load_field(const char* line, std::size_t end, std::size_t width) {
  W w;
  std::memcpy(&w, line + end - sizeof(W), sizeof(W));
  if (width < sizeof(W)) {
    const W keep = static_cast<W>(~W{0} << (8 * (sizeof(W) - width)));
    w = (w & keep) | (bytes_of<W>(' ') & static_cast<W>(~keep));
  }
  return w;
}

// Leading blanks and then digits only (the way decade files right-align their numbers): the
// word's digit values, blanks taken as zeros, without a branch per character. False for any
// other shape; the general rule then decides.
template <class W>
bool right_aligned_digits(W w, W& digits) {
  const W not_digit =
      nonzero_bytes<W>((w & bytes_of<W>(0xF0)) ^ bytes_of<W>(0x30)) |
      static_cast<W>((((w & bytes_of<W>(0x0F)) + bytes_of<W>(0x06)) & bytes_of<W>(0x10)) << 3);
  const W blank = static_cast<W>(~nonzero_bytes<W>(w ^ bytes_of<W>(' ')) & bytes_of<W>(0x80));
  if ((not_digit & static_cast<W>(~blank)) != 0) return false;
  const W blank_bytes = static_cast<W>((blank >> 7) * 0xFF);
  if ((blank_bytes & static_cast<W>(blank_bytes + 1)) != 0) return false;  // a blank after a digit
  digits = static_cast<W>(((w & static_cast<W>(~blank_bytes)) | (bytes_of<W>('0') & blank_bytes)) -
                          bytes_of<W>('0'));
  return true;
}

// Eight columns at a time.
inline bool parse_right_aligned(std::uint64_t w, std::uint32_t& out) {
  std::uint64_t v = 0;
  if (!right_aligned_digits(w, v)) return false;
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
       (((v >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
      32;
  out = static_cast<std::uint32_t>(v);
  return true;
}

// Four columns at a time, for the narrow fields of the index layout.
inline bool parse_right_aligned(std::uint32_t w, std::uint32_t& out) {
  std::uint32_t v = 0;
  if (!right_aligned_digits(w, v)) return false;
  v = (v * 10) + (v >> 8);
  out = (((v & 0x00FF00FFu) * (1u + (100u << 16))) >> 16) & 0xFFFFu;
  return true;
}

}  // namespace corvane::detail

#endif  // CORVANE_TEXTIO_FIELD_RULES_H
