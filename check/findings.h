// Findings of a check: what was found at which line of a file, how grave it is, and how it is
// written.
#ifndef CORVANE_CHECK_FINDINGS_H
#define CORVANE_CHECK_FINDINGS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

/// The kinds of finding, in the order in which findings of one line are written.
enum class Code : std::uint8_t {
  open,
  text_limit,
  too_long,
  sd_bad_count,
  catalogue_full,
  text_in_series,
  damaged_first_line,
  decade_step,
  id_change,
  unterminated,
  duplicate_id,
  negative_value,
  empty_series,
  after_marker,
  ignored_slot,
  blank_value,
  embedded_blank,
  zero_line,
  sd_bad_value,
  sd_early_end,
  sd_bad_format,
  beyond_80,
  year_in_id,
  mixed_precision,
};
inline constexpr int kCodeCount = static_cast<int>(Code::mixed_precision) + 1;

enum class Severity : std::uint8_t { error, warning, note };

/// The code as written in brackets ("text-in-series").
std::string_view code_name(Code code);
Severity severity(Code code);
/// "error", "warning" or "note".
std::string_view severity_name(Severity severity);

/// One finding: the 1-based line of the file it is about (0 for the file as a whole), its code,
/// and its message (one sentence, without a final full stop).
struct Finding {
  std::int64_t line = 0;
  Code code = Code::open;
  std::string message;
};

/// Puts findings in the order they are written: by line, then by code.
void sort_findings(std::vector<Finding>& findings);

/// Appends "FILE:LINE: SEVERITY: MESSAGE [CODE]" and a line feed.
void append_finding(std::string& out, std::string_view file, const Finding& finding);

/// A text between double quotes, with every byte that is not a printable ASCII character, and
/// the quote and backslash, escaped (\t, \xNN), so that a finding stays on one line.
std::string quoted(std::string_view text);

}  // namespace corvane

#endif  // CORVANE_CHECK_FINDINGS_H
