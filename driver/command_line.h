// The command line: options and operands as getopt_long takes them, usage errors, help text.
#ifndef CORVANE_DRIVER_COMMAND_LINE_H
#define CORVANE_DRIVER_COMMAND_LINE_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

/// What the arguments ask for.
struct CommandLine {
  enum class Action : std::uint8_t { run, help, version, usage_error };
  Action action = Action::run;
  std::vector<std::string> files;     ///< FILE operands, as given ("-" is a file of that name)
  std::optional<std::string> list;    ///< --list LIST
  std::int32_t layout_choice = 0;     ///< 1 --rrw, 2 --crn, 0 neither: decided by the names
  std::optional<std::string> report;  ///< -o, --report PATH
  std::optional<std::string> csv;     ///< --csv PATH; "-" is standard output
  std::optional<std::string> svg;     ///< --svg PATH; "-" is standard output
  bool quiet = false;                 ///< -q, --quiet
  bool check = false;                 ///< --check: check the files instead of a run
  std::optional<std::int64_t> max_findings;  ///< --max-findings N (with --check only)
  std::string error;  ///< usage_error: what is wrong, one line without its end
};

/// Parses the arguments (the program's name not among them) with getopt_long: options may
/// stand before, between and after the operands, "--" ends them, long options may be
/// abbreviated while the abbreviation is unambiguous and take their argument as "--csv=PATH"
/// or as the next argument. Options given twice: the last counts. The first problem found is
/// the usage error; --help and --version win over the usage errors that concern the run
/// (--rrw with --crn, --list with FILEs, no FILE, both outputs on standard output, "-o -",
/// an empty PATH, --check with an output or -q, --max-findings without --check or with no
/// non-negative decimal number), not over an unknown option.
CommandLine parse_command_line(std::span<const std::string_view> args);

/// The text of --help.
std::string_view help_text();

/// The text of --version, with its line end.
std::string version_text();

/// The whole message of a usage error: "corvane: <error>", the usage lines and the pointer to
/// --help, each with its line end.
std::string usage_error_text(std::string_view error);

}  // namespace corvane

#endif  // CORVANE_DRIVER_COMMAND_LINE_H
