// Numbers in their plain decimal forms, through std::to_chars into a local buffer.
#include "textio/number_writers.h"

#include <charconv>
#include <cmath>

namespace corvane {

void append_integer(std::string& out, std::int64_t value) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

void append_shortest(std::string& out, float value) {
  if (std::isnan(value)) {
    out.append("nan");
    return;
  }
  char buf[32];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

void append_shortest(std::string& out, double value) {
  char buf[64];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

void append_fixed(std::string& out, double value, int decimals) {
  // Room for the largest double in fixed notation with the decimals a caller asks for.
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  out.append(buf, r.ptr);
}

}  // namespace corvane
