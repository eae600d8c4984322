// The dialogue of a run: banner, the three questions, intake of the file names, report file.
#ifndef CORVANE_DRIVER_DIALOGUE_H
#define CORVANE_DRIVER_DIALOGUE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run_numbers.h"
#include "readers/readers.h"
#include "textio/textio.h"

namespace corvane {

/// Files shown in the banner; a list file supplies at most kMaxListNames.
inline constexpr std::int32_t kMaxFiles = 400;
inline constexpr std::int32_t kMaxListNames = 399;
/// Blanks before every line of the dialogue and of the closing lines on the console.
inline constexpr std::int32_t kConsoleIndent = 13;
/// The console's indent as a layout item.
inline Item indent() { return blanks(kConsoleIndent); }
/// Width of every file name field.
inline constexpr std::size_t kNameWidth = 40;

/// What the intake leaves for the rest of the run.
struct Intake {
  bool from_list = false;
  std::string input_name;               ///< 40 characters, blank padded
  std::vector<std::string> file_names;  ///< 40 characters each, at most kMaxListNames
  std::int32_t file_count = 0;
  std::int32_t layout_choice = 0;  ///< 1 measurements, 2 chronologies
  LayoutCode code = LayoutCode::mr;
  std::string report_name;  ///< 40 characters, blank padded (the command line's: whole)
  /// The data files' names whole, for opening (a command-line run); when empty, file_names
  /// are opened.
  std::vector<std::string> paths;
  bool quiet = false;  ///< no listing on the console, only its warnings
};

/// The files a run holds open, owned by the run: the data file being read (kInputUnit), the
/// report (kReportUnit), the CSV (kCsvUnit) and the plot (kSvgUnit). A written file that the
/// run does not close is discarded when it ends.
struct RunFiles {
  ReadFile input;
  WrittenFile report;
  WrittenFile csv;
  WrittenFile svg;
};

/// The logical answer: leading blanks and one "." skipped, then true for "T" or "t".
bool parse_logical(std::string_view answer);

/// The report's name: the input name up to its first blank (at most 36 characters) and "_rec",
/// padded to 40 characters.
std::string make_report_name(std::string_view input_name);

/// True when two names name the same file: the same text, the same path once links are
/// followed (also to a file that does not exist yet), or the same file on disk.
bool same_file(FileSystem& files, std::string_view a, std::string_view b);

/// Writes the missing-file warning for a 40-character name to the console or a file: a line
/// " Warning", an empty line, " This file <name> DOES NOT exist", an empty line.
void write_missing_file_warning(Services& io, Target to, std::string_view name);

/// Writes the "Input file for this run" line of a 40-character input name: to the report
/// (a file) indented by one blank, to the console by 13.
void write_input_line(Services& io, Target to, std::string_view input_name);

/// Runs the dialogue up to the layout answer. When it goes through, files.report is open with
/// its first line, and in single-file mode files.input too. Otherwise the run has ended, on a
/// missing single file, a report name that would overwrite an input, or a failure; the report
/// is then left open for its owner to discard (a run that ends before the layout answer
/// leaves the previous report as it was).
Status run_intake(Services& io, Intake& intake, RunFiles& files);

}  // namespace corvane

#endif  // CORVANE_DRIVER_DIALOGUE_H
