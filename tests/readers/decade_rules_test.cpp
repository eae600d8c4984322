// The decade rules that the reader and the check share: blanks inside a field against a plain
// look at each field, the sign in column 8 and the decade blocks.
#include <gtest/gtest.h>

#include <string>

#include "readers/decade_line.h"

namespace corvane {
namespace {

// A field holds a blank after a non-blank of its own: looked at field by field.
bool blank_inside_reference(std::string_view columns, LayoutCode code) {
  for (const decade::Field& f : decade::number_fields(code)) {
    for (std::size_t i = f.start + 1; i < f.start + f.width; ++i) {
      if (columns[i] == ' ' && columns[i - 1] != ' ') return true;
    }
  }
  return false;
}

TEST(ReadersDecadeRules, BlankInsideAFieldAsAPlainLookSees) {
  const std::string lines[] = {
      "OAK01A  1850   145   132   120   100    98    87    76    65    54    43",
      "OAK01A  1850  145    132   120   100    98    87    76    65    54    43",
      "OAK01A  18 0   145   132   120   100    98    87    76    65    54    43",
      "OAK01A  1850   145   132   120   100    98    87    76    65    54   4 3",
      "OAK01A  1850   145   132   120   100    98    87    76    65    54     4",
      "OAK01A 1850   145   132   120   100    98    87    76    65    54    43 ",
      "PIN   1900 998 12 1001 12 9990  0 9990  0   12  3 1 2  4 1012 10  999  9  876  8",
      "PIN   1900 998 12 1001 12 9990  0 9990  0   12  3 1002  4 1012 10  999  9  876 8 ",
      "PIN   1900",
      "",
  };
  for (const LayoutCode code : {LayoutCode::mr, LayoutCode::ir}) {
    for (const std::string& line : lines) {
      SCOPED_TRACE(line);
      char buffer[kLineWidth];
      const std::string_view c = padded_columns(line, buffer);
      const bool found = code == LayoutCode::mr
                             ? decade::blank_inside_field(buffer, decade::kMeasurement)
                             : decade::blank_inside_field(buffer, decade::kIndex);
      EXPECT_EQ(found, blank_inside_reference(c, code));
    }
  }
}

TEST(ReadersDecadeRules, SignInColumn8AndDecadeBlocks) {
  EXPECT_EQ(signed_year(LayoutCode::mr, '-', 1210), -1210);
  EXPECT_EQ(signed_year(LayoutCode::mr, 'A', 1210), 1210);
  EXPECT_EQ(signed_year(LayoutCode::ir, '-', 1210), 1210);  // the index layout has no sign there
  EXPECT_EQ(decade_block(-1210), -1210);
  EXPECT_EQ(decade_block(-1203), -1210);
  EXPECT_EQ(decade_block(1999), 1990);
  EXPECT_TRUE(is_end_marker(LayoutCode::mr, -9999));
  EXPECT_FALSE(is_end_marker(LayoutCode::mr, 9990));
  EXPECT_TRUE(is_end_marker(LayoutCode::ir, 9991));
}

}  // namespace
}  // namespace corvane
