// File names: cutting, taking whole, reading a list of them.
#include "textio/names.h"

#include "textio/textio.h"

namespace corvane {

std::string_view trim_name(std::string_view name) {
  const std::size_t end = name.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
}

std::string_view whole_name(std::string_view name) {
  const std::size_t end = name.find_last_not_of(" \r");
  return end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
}

std::string_view trim_blanks(std::string_view text) {
  const std::size_t from = text.find_first_not_of(' ');
  if (from == std::string_view::npos) return text.substr(0, 0);
  return text.substr(from, text.find_last_not_of(' ') + 1 - from);
}

bool names_chronology(std::string_view name) {
  name = whole_name(name);
  if (name.size() < 4) return false;
  const std::string_view end = name.substr(name.size() - 4);
  constexpr std::string_view crn = ".crn";
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = end[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != crn[i]) return false;
  }
  return true;
}

ListEnd read_names(LineFile& list, std::size_t most, std::vector<std::string>& names) {
  for (std::size_t read = 0;; ++read) {
    const auto line = list.next_line();
    if (!line) return list.failed() ? ListEnd::failed : ListEnd::end;
    if (read == most) return ListEnd::more;
    names.emplace_back(whole_name(*line));
  }
}

}  // namespace corvane
