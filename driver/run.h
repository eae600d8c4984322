// The run after its intake, the same for the dialogue and the command line: listing, summary,
// the outputs beside the report, closing lines.
#ifndef CORVANE_DRIVER_RUN_H
#define CORVANE_DRIVER_RUN_H

#include <new>
#include <optional>
#include <string>

#include "driver/dialogue.h"
#include "textio/textio.h"

namespace corvane {

/// What a run writes beside its report, and how its end is judged. The dialogue's run takes
/// the defaults: no outputs, a normal end when it reaches its closing lines.
struct RunOutputs {
  /// The CSV: open as files.csv, or "-" for standard output.
  std::optional<std::string> csv;
  /// The segment plot: open as files.svg, or "-" for standard output.
  std::optional<std::string> svg;
  /// The console whose standard output takes an output named "-".
  Console* data = nullptr;
  /// The input's name whole, for the plot's title.
  std::string input;
  /// A listed file that does not exist, or a name passed over, makes the end a stop.
  bool strict = false;
  /// Names were passed over at the intake (more than a run reads).
  bool passed_over = false;
  /// After the closing lines, a line on the standard error of `data` for each file whose
  /// reader met lines that a check would warn about, naming the check that tells them.
  bool suspect_hint = false;
};

/// Lists every file of the intake, appends the summary to the report and closes it, writes the
/// CSV and the plot from the catalogue and the optimum and closes them, writes the closing lines
/// and returns the end: normal, or stopped under `strict` when a file was missing or names were
/// passed over; or the end that the run met on the way. files.report is open, and in
/// single-file mode files.input too. The report is left open when the run ends before the
/// summary (see with_report).
End finish_run(Services& io, const Intake& intake, const RunOutputs& outputs, RunFiles& files);

/// Runs `steps` (returning an End) with the report open and kept at any end: the end they
/// return closes it (Services::close_at_end), and memory that runs out on the way leaves it as
/// far as it was written, as a failure does.
template <typename Steps>
End with_report(Services& io, WrittenFile& report, Steps steps) {
  End end = End::failed();
  try {
    end = steps();
  } catch (const std::bad_alloc&) {
    try {
      (void)io.close_at_end(report, End::failed());
    } catch (...) {  // the run ends with its report of the memory that ran out all the same
    }
    throw;
  }
  return io.close_at_end(report, end);
}

}  // namespace corvane

#endif  // CORVANE_DRIVER_RUN_H
