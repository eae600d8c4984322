// The prepared form of a layout: its items flattened once into steps, and, for layouts of one
// line whose columns are known in advance, the column of each field. Internal to textio/.
#ifndef CORVANE_TEXTIO_LAYOUT_PLAN_H
#define CORVANE_TEXTIO_LAYOUT_PLAN_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textio/layout.h"

namespace corvane::detail {

struct LayoutPlan {
  /// One flattened step. Repetitions are expanded; columns of natural-width text fields are
  /// only known when applied.
  struct Step {
    Item::Kind kind;
    std::int32_t width;
    std::int32_t decimals;
    std::uint32_t text_index;  // literal: index into texts
  };
  /// A field at a column known in advance: layouts of one line whose columns do not depend on
  /// the variables (no line breaks, no natural-width text) are read through these directly.
  struct PlacedField {
    Item::Kind kind;
    std::int32_t column;  // 0-based
    std::int32_t width;
    std::int32_t decimals;
    std::uint8_t word;  // 4 or 8: the field can be read as a word ending at its last column
  };

  std::vector<Step> steps;
  /// The fields of one pass, when the layout is of that kind; empty otherwise.
  std::vector<PlacedField> placed;
  std::vector<std::string> texts;
  /// The step from which the layout is taken up again when the values outlast it.
  std::size_t resume = 0;
  std::int32_t field_count = 0;
  bool holds = false;

  std::string_view literal_text(const Step& s) const { return texts[s.text_index]; }
};

}  // namespace corvane::detail

#endif  // CORVANE_TEXTIO_LAYOUT_PLAN_H
