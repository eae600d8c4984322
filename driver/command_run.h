// A run asked for on the command line: the intake without the dialogue, then the same run.
#ifndef CORVANE_DRIVER_COMMAND_RUN_H
#define CORVANE_DRIVER_COMMAND_RUN_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/command_line.h"
#include "textio/textio.h"

namespace corvane {

/// The layout answer that the names ask for: 2 (chronologies) when there is at least one name
/// that names a file and every such name ends in ".crn" in any case, 1 (measurements) otherwise.
std::int32_t layout_by_names(const std::vector<std::string>& names);

/// The usage error of names of both kinds, some ending in ".crn" and some not (blank names
/// name no file): it names the first of each kind. Empty when all are of one kind.
std::string mixed_layout_error(const std::vector<std::string>& names);

/// The report's default name: the input's name up to its first blank, then "_rec".
std::string default_report_name(std::string_view input);

/// The usage error of a command line whose outputs (-o, --csv, --svg) write to standard output
/// more than once: "-" for --csv and --svg, or a name that leads to standard output or is the
/// very file it is. Nothing when at most one of them does.
std::optional<std::string> standard_output_conflict(const CommandLine& cl, FileSystem& files);

/// Runs the command line's run (cl.action is run): console lines to standard error when an
/// output goes to standard output; the data files' names from the FILEs (one: a single-file run,
/// several: a list run over them, at most 399) or from the list (at most 399 lines, each a
/// name); names passed over are said on standard error. A missing single FILE gives the
/// warning lines and ends the run (a stop). Every output (report, CSV, SVG) is refused when it
/// would overwrite an input or another output; then all of them are opened, before any data
/// file is read, and the run goes on as the dialogue's after its last question (finish_run),
/// a stop when a named file was missing or passed over. Returns the run's end.
End run_from_command_line(Services& io, Console& console, const CommandLine& cl);

}  // namespace corvane

#endif  // CORVANE_DRIVER_COMMAND_RUN_H
