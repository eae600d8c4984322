// Findings of a check: what was found at which line of a file, how grave it is, and how it is
// written.
#ifndef CORVANE_CHECK_FINDINGS_H
#define CORVANE_CHECK_FINDINGS_H

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class Console;

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

/// Appends "FILE:LINE: SEVERITY: MESSAGE [CODE]" and a line feed; `file` as it is written
/// (escaped).
void append_finding(std::string& out, std::string_view file, const Finding& finding);

/// The findings of one file written in order (by line, then by code) as soon as they are final,
/// in bounded memory: at most `cap` findings of one code are written (0: no cap), and after the
/// findings of the line of a code's first finding beyond the cap comes one line
/// "FILE:LINE: note: N more findings of this code [more]", N being that code's findings beyond
/// the cap. The `more` line is no finding: the tallies count every finding, written or not.
///
/// Usage is: add() the findings as they are found, release() whenever no finding can come any
/// more below a line, finish() at the end of the file. The findings of one code must come in
/// the order of their lines (those of several codes may come in any order). Held in memory are
/// the findings not yet released, and from the line of a code's first finding beyond the cap
/// on, every finding until finish(): at most `cap` of each code.
class FindingStream {
 public:
  /// Writes to `out`'s standard output; `file` is escaped here.
  FindingStream(Console& out, std::string_view file, std::int64_t cap);
  FindingStream(const FindingStream&) = delete;
  FindingStream& operator=(const FindingStream&) = delete;

  void add(std::int64_t line, Code code, std::string message);
  /// Whether the next finding of `code` is to be written (false once the code has reached its
  /// cap: then add() only counts it, and its message may be left empty).
  bool keeps(Code code) const { return cap_ <= 0 || count_[static_cast<std::size_t>(code)] < cap_; }
  /// The findings below `line` are final: written, unless a code passed its cap before them.
  void release(std::int64_t line);
  /// Writes what is held, in order, with the `more` lines (a finding below lines already
  /// written, which only a failed read at the end can add, follows them).
  void finish();

  /// Every finding added, by severity (errors, warnings, notes).
  std::int64_t count(Severity severity) const { return tally_[static_cast<std::size_t>(severity)]; }

 private:
  void write(const Finding& finding);
  void flush();

  Console& out_;
  std::string file_;
  std::int64_t cap_;
  std::vector<Finding> open_;  // not yet final
  std::vector<Finding> kept_;  // final, but at or after hold_from_: written by finish()
  std::int64_t count_[kCodeCount] = {};
  std::int64_t over_at_[kCodeCount] = {};  // the line of the code's first finding past the cap
  std::int64_t hold_from_ = std::numeric_limits<std::int64_t>::max();  // the smallest of them
  std::int64_t tally_[3] = {};
  std::string text_;  // written lines not yet put to the console
};

}  // namespace corvane

#endif  // CORVANE_CHECK_FINDINGS_H
