// Fixed-column layouts: the items a layout is built from, the values written and the variables
// read through it, and the engine that applies it to lines.
//
// Conventions that hold throughout the text layer:
//  - Columns are numbered from 1. One byte is one column; only the space character is a blank.
//  - A Layout is prepared once (built from items, or parsed from a field description) and can
//    then be applied to any number of lines. Reading through it does not allocate; writing
//    appends to a string of the caller's (or of the services'), which keeps its room.
//  - Reads report an outcome (done, conversion failure, end of file); they never throw.
#ifndef CORVANE_TEXTIO_LAYOUT_H
#define CORVANE_TEXTIO_LAYOUT_H

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// ---------------------------------------------------------------------------------------------
// Layout items
// ---------------------------------------------------------------------------------------------

/// One item of a layout, as the builders below make it. Repetitions hold their children.
struct Item {
  enum class Kind : std::uint8_t {
    blanks,      ///< n blanks out; n columns skipped in
    literal,     ///< the text exactly (output only)
    integer,     ///< integer field of width w
    real,        ///< real field of width w with d decimals (fixed-point on output)
    text,        ///< text field of natural width (the value's or variable's own length)
    text_width,  ///< text field of width w
    column,      ///< column position n
    line_break,  ///< end the line, begin the next
    hold,        ///< last item only: the last line is not ended (output only)
    repeat,      ///< children repeated `count` times; `bracketed` tells a group from one item
  };
  Kind kind = Kind::blanks;
  std::int32_t width = 0;     ///< n for blanks and column, w for fields
  std::int32_t decimals = 0;  ///< d for real fields
  std::int32_t count = 1;     ///< repeat count
  bool bracketed = false;     ///< repeat of a bracketed group (the layout resumes from it)
  std::string text;           ///< literal text
  std::vector<Item> children;
};

/// Builders for layout items. `repeat(k, item)` repeats one item (not a bracketed group);
/// `group(k, {...})` is a bracketed group, from which a layout resumes when values outlast it.
Item blanks(std::int32_t n);
Item literal(std::string_view text);
Item integer(std::int32_t width);
Item fixed(std::int32_t width, std::int32_t decimals);
Item text();
Item text(std::int32_t width);
Item column(std::int32_t n);
Item line_break();
Item hold();
Item repeat(std::int32_t count, Item item);
Item group(std::int32_t count, std::initializer_list<Item> items);
Item group(std::int32_t count, std::vector<Item> items);

// ---------------------------------------------------------------------------------------------
// Values written and variables read
// ---------------------------------------------------------------------------------------------

/// A value for output: an integer, a real or a text. Texts are viewed, not copied.
struct Value {
  enum class Kind : std::uint8_t { integer, real, text };
  Kind kind;
  std::int32_t i = 0;
  double r = 0.0;
  std::string_view s;
  constexpr Value(std::int32_t v) : kind(Kind::integer), i(v) {}   // NOLINT(runtime/explicit)
  constexpr Value(double v) : kind(Kind::real), r(v) {}            // NOLINT(runtime/explicit)
  constexpr Value(float v) : kind(Kind::real), r(v) {}             // NOLINT(runtime/explicit)
  constexpr Value(std::string_view v) : kind(Kind::text), s(v) {}  // NOLINT(runtime/explicit)
  constexpr Value(const char* v) : kind(Kind::text), s(v) {}       // NOLINT(runtime/explicit)
};

/// A variable for input. A text variable has a fixed length and is always full (blank padded).
/// An array variable takes as many fields in a row as it has elements.
/// Integer fields store into integer variables; real fields, and integer fields of a parsed
/// description, store into real variables. A field that does not suit its variable's kind is
/// a conversion failure.
struct Var {
  enum class Kind : std::uint8_t { integer, real, text };
  Kind kind;
  void* p;
  std::int32_t count;  ///< elements (integer, real) or characters (text)
  static Var of(std::int32_t& v) { return {Kind::integer, &v, 1}; }
  static Var of(float& v) { return {Kind::real, &v, 1}; }
  static Var of(std::span<std::int32_t> v) {
    return {Kind::integer, v.data(), static_cast<std::int32_t>(v.size())};
  }
  static Var of(std::span<float> v) {
    return {Kind::real, v.data(), static_cast<std::int32_t>(v.size())};
  }
  /// A text variable of `length` characters at `p`.
  static Var text(char* p, std::int32_t length) { return {Kind::text, p, length}; }
  static Var text(std::string& s) {
    return {Kind::text, s.data(), static_cast<std::int32_t>(s.size())};
  }
};

/// Outcome of a read.
enum class ReadOutcome : std::uint8_t { done, conversion_failure, end_of_file };

/// What a read did: its outcome, how many lines it took, how many values it stored
/// (an array of k elements counts k), and on a conversion failure the 1-based column where
/// the failing field begins.
struct ReadResult {
  ReadOutcome outcome = ReadOutcome::done;
  std::int32_t lines = 0;
  std::int32_t values = 0;
  std::int32_t failed_column = 0;
};

/// The text that a conversion failure reports.
inline constexpr std::string_view kIllegalCharacter = "Illegal character in numeric input";

// ---------------------------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------------------------

namespace detail {
struct LayoutPlan;
}

/// A prepared layout: the items flattened once, with the step from which the layout is taken
/// up again when the values outlast it (the last bracketed group that stands directly in the
/// layout, or its beginning). Immutable after construction; copies share what was prepared.
class Layout {
 public:
  Layout();
  Layout(std::initializer_list<Item> items);
  explicit Layout(const std::vector<Item>& items);

  /// True when the layout holds at least one field that takes a value.
  bool has_fields() const;
  /// True when the layout ends with a hold.
  bool holds() const;
  /// The number of lines that reading `values` values by this layout spans (0 for none).
  std::int32_t lines_for(std::int64_t values) const;

  /// What the engine applies (textio/layout_plan.h, internal to textio/).
  const detail::LayoutPlan& plan() const { return *plan_; }

 private:
  std::shared_ptr<const detail::LayoutPlan> plan_;
};

/// Parses a field description of the parenthesised notation that self-describing series carry,
/// such as "(10F8.3)": one list of items separated by commas, each an optional repeat count and
/// one of Fw.d, Ew.d, Dw.d, Gw.d (real fields), Iw (integer field, stored as a real), nX
/// (skip n columns); upper or lower case; blanks ignored; only blanks outside the parentheses;
/// counts and widths at least 1; at least one value item. Returns nothing when the text is no
/// such description.
std::optional<Layout> parse_description(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Applying layouts
// ---------------------------------------------------------------------------------------------

/// Where rendered text goes.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void put(std::string_view text) = 0;
};

/// Where lines to be read come from. The view returned stays valid until the next call.
class LineSource {
 public:
  virtual ~LineSource() = default;
  /// The next line without its line end, or nothing at the end (or on a failed read).
  virtual std::optional<std::string_view> next_line() = 0;
};

/// Renders values through a layout into `out` (appended): every line ends with a line feed but
/// the last one of a layout that ends with a hold. When the values run out, output stops at
/// the next field that would need one; when they outlast the layout, it is taken up again on a
/// new line from its resume step.
void render_layout(std::string& out, const Layout& layout, std::span<const Value> values);

/// render_layout, then the text put to `sink` at once.
void write_layout(Sink& sink, const Layout& layout, std::span<const Value> values = {});

/// A free-form output line: one blank, then the text in full, then a line end. Without a text,
/// an empty line. render_free_form appends it to `out`; write_free_form puts it to `sink`.
void render_free_form(std::string& out, std::optional<std::string_view> text = std::nullopt);
void write_free_form(Sink& sink, std::optional<std::string_view> text = std::nullopt);

/// Reads the variables from lines of `source`; a line shorter than the layout reads as if
/// padded with blanks, what the layout does not reach is ignored. When the variables outlast
/// the layout the next line is read, the layout taken up again from its resume step. Variables
/// filled before a failure or the end keep their new values.
ReadResult read_layout(LineSource& source, const Layout& layout, std::span<const Var> vars);

/// read_layout with `text` as the only line: needing a second line is end of file.
ReadResult read_layout_from_text(std::string_view text, const Layout& layout,
                                 std::span<const Var> vars);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_LAYOUT_H
