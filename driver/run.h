// The run after its intake, the same for the dialogue and the command line: listing, summary,
// the outputs beside the report, closing lines.
#ifndef CORVANE_DRIVER_RUN_H
#define CORVANE_DRIVER_RUN_H

#include <optional>
#include <string>

#include "driver/dialogue.h"
#include "textio/textio.h"

namespace corvane {

/// File handles of the outputs beside the report.
inline constexpr int kCsvHandle = 16;
inline constexpr int kSvgHandle = 17;

/// What a run writes beside its report, and how its status is judged. The dialogue's run takes
/// the defaults: no outputs, status 0 at its normal end.
struct RunOutputs {
  /// The CSV: open on kCsvHandle (Keep::when_closed), or "-" for standard output.
  std::optional<std::string> csv;
  /// The segment plot: open on kSvgHandle (Keep::when_closed), or "-" for standard output.
  std::optional<std::string> svg;
  /// The console whose standard output takes an output named "-".
  Console* data = nullptr;
  /// The input's name whole, for the plot's title.
  std::string input;
  /// A listed file that does not exist, or a name passed over, makes the status 1.
  bool strict = false;
  /// Names were passed over at the intake (more than a run reads).
  bool passed_over = false;
  /// After the closing lines, a line on the standard error of `data` for each file whose
  /// reader met lines that a check would warn about, naming the check that tells them.
  bool suspect_hint = false;
};

/// Lists every file of the intake, appends the summary to the report and closes it, writes the
/// CSV and the plot from the catalogue and the optimum and closes them, writes the closing lines
/// and ends the run (RunEnd): status 0, or 1 under `strict` when a file was missing or names
/// were passed over. The report is open on kReportHandle, and in single-file mode the data file
/// on kInputHandle.
[[noreturn]] void finish_run(Services& io, const Intake& intake, const RunOutputs& outputs);

}  // namespace corvane

#endif  // CORVANE_DRIVER_RUN_H
