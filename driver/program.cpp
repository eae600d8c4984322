// The program's entry: command line, the run from banner to closing lines, exit statuses.
#include "driver/program.h"

#include <algorithm>
#include <exception>
#include <new>

#include "analysis/commint.h"
#include "check/check.h"
#include "driver/listing.h"

namespace corvane {

namespace {

constexpr std::string_view kUsage =
    "Usage: corvane [--help | --version]\n"
    "\n"
    "Corvane reports the contents of decade-format tree-ring files: raw ring-width\n"
    "measurement files and index chronology files. It asks three questions on the\n"
    "console (whether the data file names come from a list file, the name of that file or of\n"
    "the single data file, and whether the files hold measurements [1] or chronologies [2]),\n"
    "then lists every series (ID, first year, last year, number of values, mean) on the\n"
    "console and in a report file named after the input with \"_rec\" behind it, and appends\n"
    "a common-interval summary to the report.\n"
    "\n"
    "The answers can be piped in, one per line:  printf 'F\\noaks.rrw\\n1\\n' | corvane\n"
    "\n"
    "Exit status: 0 normal termination; 1 the run stopped with a message (missing data file,\n"
    "a limit reached, a report name that would overwrite an input); 2 an input/output error\n"
    "report, the end of the console input before an answer, or console output that failed.\n";

const Layout& closing_lines() {
  static const Layout layout{blanks(13),   literal("Normal termination of program"),
                             line_break(), blanks(13),
                             integer(4),   literal(" files "),
                             line_break(), blanks(13),
                             integer(10),  literal(" records ")};
  return layout;
}

int usage_error(Console& console, std::string_view what) {
  console.write_error("corvane: ");
  console.write_error(what);
  console.write_error("\nTry 'corvane --help' for more information.\n");
  return kExitFailure;
}

// corvane --check [--rrw | --crn] (FILE... | --list LIST)
int check_main(std::span<const std::string_view> args, Console& console, FileSystem& files) {
  CheckOptions options;
  bool rrw = false, crn = false, options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (!options_end && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        options_end = true;
      } else if (a == "--check") {
      } else if (a == "--rrw") {
        rrw = true;
      } else if (a == "--crn") {
        crn = true;
      } else if (a == "--list") {
        if (i + 1 == args.size()) return usage_error(console, "option '--list' needs a LIST");
        options.list = std::string(args[++i]);
      } else if (a == "--csv" || a == "--svg" || a == "-o" || a == "--report" || a == "-q" ||
                 a == "--quiet") {
        return usage_error(console, "--check does not go with " + std::string(a));
      } else {
        return usage_error(console, "unrecognized option '" + std::string(a) + "'");
      }
      continue;
    }
    options.files.emplace_back(a);
  }
  if (rrw && crn) return usage_error(console, "--rrw and --crn exclude each other");
  if (options.list && !options.files.empty()) {
    return usage_error(console, "--list and FILEs exclude each other");
  }
  if (!options.list && options.files.empty()) {
    return usage_error(console, "--check needs FILEs or --list LIST");
  }
  if (rrw) options.layout = LayoutCode::mr;
  if (crn) options.layout = LayoutCode::ir;
  int status = kExitNormal;
  try {
    const CheckTotals totals = run_check(options, console, files);
    if (totals.errors + totals.warnings > 0) status = kExitStopped;
  } catch (const std::bad_alloc&) {
    console.write_error(" *** Run-time error\n     Out of memory\n");
    status = kExitFailure;
  }
  console.flush();
  return console.write_failed() ? kExitFailure : status;
}

}  // namespace

void run_session(Services& io) {
  Intake intake;
  run_intake(io, intake);
  Catalogue catalogue;
  run_listing(io, intake, catalogue);
  if (catalogue.count <= kMaxSeries) {
    HandleSink report(io, kReportHandle);
    HandleSink console(io, kConsole);
    const auto n = static_cast<std::size_t>(catalogue.count);
    Commint(kMaxSeries, std::span(catalogue.IYR).first(n), std::span(catalogue.ID).first(n),
            std::span(catalogue.N).first(n), catalogue.count, report, console);
  }
  io.close_file(kReportHandle);
  io.write_free_form(kConsole);
  const Value figures[] = {intake.file_count, catalogue.count};
  io.write_line(kConsole, closing_lines(), figures);
  io.write_free_form(kConsole);
  io.stop_run(" ", kExitNormal);
}

int program_main(std::span<const std::string_view> args, Console& console, FileSystem& files) {
  const auto options_end = std::find(args.begin(), args.end(), "--");
  if (std::find(args.begin(), options_end, "--check") != options_end) {
    return check_main(args, console, files);
  }
  if (!args.empty()) {
    if (args.size() == 1 && args[0] == "--help") {
      console.write(kUsage);
      console.flush();
      return console.write_failed() ? kExitFailure : kExitNormal;
    }
    if (args.size() == 1 && args[0] == "--version") {
      console.write("corvane " CORVANE_VERSION "\n");
      console.flush();
      return console.write_failed() ? kExitFailure : kExitNormal;
    }
    console.write_error(kUsage);
    return kExitFailure;
  }
  int status = kExitNormal;
  try {
    Services io(console, files);
    try {
      run_session(io);
    } catch (const RunEnd& end) {
      status = end.status;
    }
  } catch (const std::bad_alloc&) {
    console.write_error(" *** Run-time error\n     Out of memory\n");
    status = kExitFailure;
  }
  console.flush();
  if (console.write_failed()) {
    console.write_error(" *** Run-time error\n     The console output could not be written\n");
    status = kExitFailure;
  }
  return status;
}

}  // namespace corvane
