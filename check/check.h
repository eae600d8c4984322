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

/// What to check: the files named, or a list file that names them one a line; every file in
/// one layout, or each by its name.
struct CheckOptions {
  std::vector<std::string> files;
  std::optional<std::string> list;
  std::optional<LayoutCode> layout;
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
/// (in the order of the files, then of the lines, then of the codes) and then the closing line
/// "N files, M series: E errors, W warnings, K notes" to the console's standard output, and
/// nothing else. Writes no file. A file that cannot be opened or read is a finding; no limit
/// of a run stops a check.
CheckTotals run_check(const CheckOptions& options, Console& console,
                      FileSystem& files = system_files());

}  // namespace corvane

#endif  // CORVANE_CHECK_CHECK_H
