// The rules of single fields: an integer or a real read from its columns, a number written
// into its width. Exposed for the readers' fast paths, the outputs and the tests.
#ifndef CORVANE_TEXTIO_FIELDS_H
#define CORVANE_TEXTIO_FIELDS_H

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

/// Integer field rule: blanks anywhere are ignored, then an optional sign and decimal digits;
/// all blanks read 0. A lone sign, any other character, or a value outside 32 bits fails.
bool parse_integer_field(std::string_view field, std::int32_t& out);

/// Real field rule with d implied decimals: blanks ignored; an optional sign, digits with at
/// most one point, an optional exponent (E or D, optional sign, digits). At least one digit.
/// Without a point the last d digits are decimals. Converted straight from the decimal text to
/// the nearest float. All blanks read 0. Anything else, or a value beyond float's range, fails.
bool parse_real_field(std::string_view field, std::int32_t decimals, float& out);

/// Appends an integer right-aligned in w columns (w asterisks when it does not fit).
void format_integer(std::string& out, std::int32_t value, std::int32_t width);

/// Writes what format_integer appends at `at`, which has room for w columns (1 to 16);
/// returns the end of the field.
char* put_integer(char* at, std::int32_t value, std::int32_t width);

/// Appends a value rounded to d decimals (ties to even on the exact binary value) right-aligned
/// in w columns; "0." loses its zero when only that makes it fit; w asterisks when it does not
/// fit or is not finite. A negative value that rounds to zero keeps its sign.
void format_fixed(std::string& out, double value, std::int32_t width, std::int32_t decimals);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_FIELDS_H
