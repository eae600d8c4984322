// File names in the text layer: a name field cut to its name, a name taken whole, the lines of
// a list file as names, and the name that marks a chronology.
#ifndef CORVANE_TEXTIO_NAMES_H
#define CORVANE_TEXTIO_NAMES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class LineFile;

/// A name field cut to its name: trailing blanks dropped.
std::string_view trim_name(std::string_view name);

/// A name from the command line or a list line, used whole but for the blanks and carriage
/// returns at its end.
std::string_view whole_name(std::string_view name);

/// A text without its leading and trailing blanks.
std::string_view trim_blanks(std::string_view text);

/// True when a data file's name (taken whole) ends in ".crn", in any case.
bool names_chronology(std::string_view name);

/// How the reading of a list's names ended.
enum class ListEnd : std::uint8_t {
  end,     ///< the list's last line was read
  more,    ///< `most` names were read and another line follows
  failed,  ///< a read failed (the file's failed() and error_number() say why)
};

/// Reads the names of `list`, one a line, each whole_name of its line (so line i of the list
/// is names[i - 1] of those read here), appending them to `names` until the file ends or
/// `most` names are read.
ListEnd read_names(LineFile& list, std::size_t most, std::vector<std::string>& names);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_NAMES_H
