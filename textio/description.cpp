// Parser for the parenthesised field descriptions that self-describing series carry.
#include <cctype>

#include "textio/textio.h"

namespace corvane {

namespace {

constexpr std::int64_t kMaxNumber = 99999;
constexpr std::int64_t kMaxFields = 1 << 16;

struct Cursor {
  std::string_view s;
  std::size_t i = 0;
  bool at_end() const { return i == s.size(); }
  char peek() const { return at_end() ? '\0' : s[i]; }
  // An unsigned number of at most kMaxNumber; nothing when there are no digits.
  std::optional<std::int32_t> number() {
    std::int64_t v = 0;
    std::size_t start = i;
    while (!at_end() && s[i] >= '0' && s[i] <= '9') {
      v = v * 10 + (s[i] - '0');
      if (v > kMaxNumber) return std::nullopt;
      ++i;
    }
    if (i == start) return std::nullopt;
    return static_cast<std::int32_t>(v);
  }
};

}  // namespace

std::optional<Layout> parse_description(std::string_view text) {
  // Blanks are ignored everywhere; what remains must be "(" items ")".
  std::string compact;
  compact.reserve(text.size());
  for (const char c : text) {
    if (c != ' ') compact.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (compact.size() < 2 || compact.front() != '(' || compact.back() != ')') return std::nullopt;
  Cursor cur{std::string_view(compact).substr(1, compact.size() - 2)};
  std::vector<Item> items;
  std::int64_t fields = 0;
  for (;;) {
    std::optional<std::int32_t> count;
    if (std::isdigit(static_cast<unsigned char>(cur.peek()))) {
      count = cur.number();
      if (!count || *count < 1) return std::nullopt;
    }
    const char letter = cur.peek();
    if (cur.at_end()) return std::nullopt;
    ++cur.i;
    const std::int32_t k = count.value_or(1);
    if (letter == 'X') {
      if (!count) return std::nullopt;  // nX needs its n
      items.push_back(blanks(*count));
    } else if (letter == 'I') {
      const auto w = cur.number();
      if (!w || *w < 1) return std::nullopt;
      items.push_back(repeat(k, integer(*w)));
      fields += k;
    } else if (letter == 'F' || letter == 'E' || letter == 'D' || letter == 'G') {
      const auto w = cur.number();
      if (!w || *w < 1 || cur.peek() != '.') return std::nullopt;
      ++cur.i;
      const auto d = cur.number();
      if (!d) return std::nullopt;
      items.push_back(repeat(k, fixed(*w, *d)));
      fields += k;
    } else {
      return std::nullopt;
    }
    if (fields > kMaxFields) return std::nullopt;
    if (cur.at_end()) break;
    if (cur.peek() != ',') return std::nullopt;
    ++cur.i;
  }
  if (fields == 0) return std::nullopt;
  return Layout(items);
}

}  // namespace corvane
