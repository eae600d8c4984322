// Numbers written in their plain decimal forms (no field width): the CSV's and the plot's.
#ifndef CORVANE_TEXTIO_NUMBER_WRITERS_H
#define CORVANE_TEXTIO_NUMBER_WRITERS_H

#include <cstdint>
#include <string>

namespace corvane {

/// Appends the decimal digits of `value`, with a "-" before them when it is below 0.
void append_integer(std::string& out, std::int64_t value);

/// Writes what append_integer appends at `at`, which has room for 20 characters; returns the
/// end of the text.
char* write_integer(char* at, std::int64_t value);

/// Writes what append_shortest appends for a float at `at`, which has room for 32 characters;
/// returns the end of the text.
char* write_shortest(char* at, float value);

/// Appends the shortest text that reads back as exactly this float (std::to_chars): "1.5",
/// "1e+20", "inf", "-inf"; a NaN as "nan" whatever its sign bit ("-nan" is no number to many
/// readers).
void append_shortest(std::string& out, float value);

/// Appends the shortest text that reads back as exactly this double (std::to_chars).
void append_shortest(std::string& out, double value);

/// Appends `value` rounded to `decimals` decimals (0 or more) as std::to_chars writes it in
/// fixed notation: a "-" for any negative value, "-0.0" included.
void append_fixed(std::string& out, double value, int decimals);

/// Room that write_fixed needs besides the decimals: the digits of the largest double, a sign
/// and a point.
inline constexpr int kFixedRoom = 312;

/// Writes what append_fixed appends at `at`, which has room for kFixedRoom + `decimals`
/// characters; returns the end of the text.
char* write_fixed(char* at, double value, int decimals);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_NUMBER_WRITERS_H
