// A check of data files: every file read by the readers of a run, every suspect line named by
// file and line on standard output, and a closing line of totals.
#ifndef CORVANE_CHECK_CHECK_H
#define CORVANE_CHECK_CHECK_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/readers.h"
#include "textio/textio.h"

namespace corvane {

/// The findings of one code that a check writes for one file unless told otherwise.
inline constexpr std::int64_t kDefaultMaxFindings = 100;

/// What to check: the files named, or a list file that names them one a line; every file in
/// one layout, or each by its name.
struct CheckOptions {
  std::vector<std::string> files;
  std::optional<std::string> list;
  std::optional<LayoutCode> layout;
  /// The findings of one code written for one file, at most (0: every one).
  std::int64_t max_findings = kDefaultMaxFindings;
};

/// What a check found.
struct CheckTotals {
  std::int64_t files = 0;   ///< every file named, read or not
  std::int64_t series = 0;  ///< the series delivered, those of no values included
  std::int64_t errors = 0;
  std::int64_t warnings = 0;
  std::int64_t notes = 0;
};

/// The layout of a file by its name: chronologies (index layout) for a name ending in ".crn"
/// in any case, measurements otherwise.
LayoutCode layout_for(std::string_view name);

/// Checks every file in turn, writing "FILE:LINE: SEVERITY: MESSAGE [CODE]" for each finding
/// (in the order of the files, then of the lines, then of the codes; FILE escaped) and then the
/// closing line "N files, M series: E errors, W warnings, K notes" to the console's standard
/// output, and nothing else. At most `max_findings` of one code are written for one file, then
/// a `more` line (FindingStream); the totals count every finding. Writes no file. A file that
/// cannot be opened or read is a finding; no limit of a run stops a check. Memory: the findings
/// held (at most `max_findings` times the number of codes) and an entry for each distinct
/// series ID of the file being checked.
CheckTotals run_check(const CheckOptions& options, Console& console,
                      FileSystem& files = system_files());

}  // namespace corvane

#endif  // CORVANE_CHECK_CHECK_H
