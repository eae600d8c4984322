// Texts in fixed fields and in lines that scripts read: texts fitted to a width, and the one
// escape of names and field texts.
#ifndef CORVANE_TEXTIO_TEXT_H
#define CORVANE_TEXTIO_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

/// A text cut or padded with blanks to exactly `width` characters.
std::string fit(std::string_view text, std::size_t width);

/// The two forms of escaped text. Both write a backslash as "\\", a tab as "\t", and a line feed,
/// every other byte below 0x20 and 0x7F as "\xHH" (two upper-case hex digits), so that the text
/// stays on one line.
enum class Escaping : std::uint8_t {
  name,    ///< a file name: no quotes; bytes of 0x80 and above as they are (UTF-8 stays readable)
  quoted,  ///< a field's text: between double quotes, a quote as "\"", 0x80 and above as "\xHH"
};

/// The text escaped in the given form: the one escape for names and field texts in lines that
/// scripts read one a line (a check's findings, the command line's messages).
std::string escaped(std::string_view text, Escaping form = Escaping::name);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_TEXT_H
