// Parsing of the command line with getopt_long, and the texts it shows.
#include "driver/command_line.h"

#include <getopt.h>

#include <cctype>

#include "textio/textio.h"

namespace corvane {

namespace {

constexpr std::string_view kUsageLines =
    "Usage: corvane [OPTIONS] FILE...\n"
    "       corvane [OPTIONS] --list LIST\n";

constexpr std::string_view kHelp =
    "Usage: corvane [OPTIONS] FILE...\n"
    "       corvane [OPTIONS] --list LIST\n"
    "       corvane --check [--rrw | --crn] (FILE... | --list LIST)\n"
    "       corvane            (no arguments: the dialogue)\n"
    "\n"
    "Lists every series of decade-format tree-ring files (raw ring-width measurements\n"
    "or index chronologies): ID, first year, last year, number of values and mean, on\n"
    "the console and in a report file, which ends with the time span and the optimum\n"
    "common interval of all series. Several FILEs are read as a list of files.\n"
    "With no arguments, corvane asks its three questions on the console instead.\n"
    "\n"
    "Options:\n"
    "      --list LIST    read the data files that LIST names, one name per line\n"
    "      --rrw          the files hold measurements (raw ring widths)\n"
    "      --crn          the files hold chronologies (index series)\n"
    "  -o, --report PATH  the report's name (default: see below)\n"
    "      --csv PATH     also write the series as CSV (-: standard output)\n"
    "      --svg PATH     also write a segment plot as SVG (-: standard output)\n"
    "  -q, --quiet        no listing on the console; warnings and closing lines stay\n"
    "      --check        check the files instead: name every suspect line (below)\n"
    "      --max-findings N  with --check: at most N findings of one code a file\n"
    "                     (default 100; 0: every one)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "Without --rrw or --crn, the files are taken for chronologies when every name\n"
    "ends in .crn (in any case), for measurements when none does; names of both\n"
    "kinds are a usage error.\n"
    "The report's default name is the input's name (LIST, FILE or the first FILE) up\n"
    "to its first blank, then _rec. With --csv - or --svg -, or an output that leads\n"
    "to standard output (/dev/stdout), the console's lines go to standard error.\n"
    "\n"
    "A check (--check) reads each file as a run does, in its own layout (.crn in any\n"
    "case: chronologies) unless --rrw or --crn says, and writes no file. On standard\n"
    "output it names each finding as FILE:LINE: SEVERITY: MESSAGE [CODE], then\n"
    "\"N files, M series: E errors, W warnings, K notes\", which counts every finding.\n"
    "Of one code at most 100 findings a file are written (--max-findings), then\n"
    "FILE:LINE: note: K more findings of this code [more], after the findings of\n"
    "the line of the first one left out. Names are escaped (\\\\, \\t, \\xHH for\n"
    "other control bytes), so that a finding is one line. The codes:\n"
    "  errors    open, text-limit, too-long, sd-bad-count, catalogue-full\n"
    "  warnings  text-in-series, damaged-first-line, decade-step, id-change,\n"
    "            unterminated, duplicate-id, negative-value, empty-series,\n"
    "            after-marker, ignored-slot, blank-value, embedded-blank, zero-line,\n"
    "            sd-bad-value, sd-early-end, sd-bad-format\n"
    "  notes     beyond-80, year-in-id, mixed-precision\n"
    "The manual page tells what each one means.\n"
    "\n"
    "Exit status:\n"
    "  0  normal termination, every named file read; a check without an error or a\n"
    "     warning\n"
    "  1  a named file missing or passed over; or the run stopped with a message\n"
    "     (a limit reached, an output that would overwrite an input); a check with\n"
    "     an error or a warning\n"
    "  2  a usage error; or an error report on standard error (a file that cannot be\n"
    "     opened, read or written, a letter where a number was asked); a check whose\n"
    "     standard output cannot be written\n"
    "\n"
    "Examples (in the examples/ folder):\n"
    "  corvane oaks.rwl\n"
    "  corvane --list measurements.lst --csv series.csv --svg spans.svg\n"
    "  corvane -q --csv - pines.crn > pines.csv\n"
    "  corvane --check oaks.rwl pines.crn\n"
    "  printf 'F\\noaks.rwl\\n1\\n' | corvane\n";

// Values of the options that have no short form, beyond every character.
enum LongOnly : int { kList = 256, kRrw, kCrn, kCsv, kSvg, kCheck, kMaxFindings };

constexpr std::string_view kShortOptions = ":o:qhV";

const option kLongOptions[] = {{"list", required_argument, nullptr, kList},
                               {"rrw", no_argument, nullptr, kRrw},
                               {"crn", no_argument, nullptr, kCrn},
                               {"report", required_argument, nullptr, 'o'},
                               {"csv", required_argument, nullptr, kCsv},
                               {"svg", required_argument, nullptr, kSvg},
                               {"quiet", no_argument, nullptr, 'q'},
                               {"help", no_argument, nullptr, 'h'},
                               {"version", no_argument, nullptr, 'V'},
                               {"check", no_argument, nullptr, kCheck},
                               {"max-findings", required_argument, nullptr, kMaxFindings},
                               {nullptr, 0, nullptr, 0}};

std::string_view long_name(int val) {
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && o.val == val) return o.name;
  }
  return {};
}

// The message for an unknown or ambiguous long option, as getopt_long matched it.
std::string long_option_error(std::string_view arg) {
  std::string_view name = arg.substr(2);
  name = name.substr(0, name.find('='));
  std::string candidates;
  int matches = 0;
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && std::string_view(o.name).starts_with(name) && !name.empty()) {
      ++matches;
      candidates += " '--";
      candidates += o.name;
      candidates += "'";
    }
  }
  if (matches > 1) {
    return "option '--" + std::string(name) + "' is ambiguous; possibilities:" + candidates;
  }
  return "unrecognized option '--" + escaped(name) + "'";
}

// A non-negative decimal number of at most 18 digits (leading zeros aside), or nothing.
std::optional<std::int64_t> count_argument(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t first = std::min(text.find_first_not_of('0'), text.size());
  if (text.size() - first > 18) return std::nullopt;
  std::int64_t n = 0;
  for (const char c : text.substr(first)) n = n * 10 + (c - '0');
  return n;
}

}  // namespace

std::string_view help_text() { return kHelp; }

std::string version_text() { return "corvane " CORVANE_VERSION "\n"; }

std::string usage_error_text(std::string_view error) {
  std::string text = "corvane: ";
  text += error;
  text += "\n";
  text += kUsageLines;
  text += "Try 'corvane --help' for more information.\n";
  return text;
}

CommandLine parse_command_line(std::span<const std::string_view> args) {
  CommandLine cl;
  // getopt_long permutes its vector and keeps pointers into it: give it copies.
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.emplace_back("corvane");
  for (const std::string_view a : args) storage.emplace_back(a);
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  bool rrw = false, crn = false, help = false, version = false;
  std::string first_error;
  std::string empty_path;
  std::optional<std::string> max_findings;
  const auto take_path = [&](std::optional<std::string>& into, std::string_view option_name) {
    into = optarg;
    if (into->empty() && empty_path.empty()) empty_path = option_name;
  };

  optind = 0;  // a full restart of getopt's scan, for every call
  opterr = 0;  // its messages are made here, for the console's error stream
  for (;;) {
    const int c = getopt_long(argc, argv.data(), kShortOptions.data(), kLongOptions, nullptr);
    if (c == -1) break;
    // getopt_long has consumed the failing element when it was a long option.
    const std::string_view element =
        optind >= 1 && optind <= argc ? std::string_view(argv[static_cast<std::size_t>(optind - 1)])
                                      : std::string_view();
    const bool was_long = element.starts_with("--");
    switch (c) {
      case kList:
        take_path(cl.list, "--list");
        break;
      case kRrw:
        rrw = true;
        break;
      case kCrn:
        crn = true;
        break;
      case 'o':
        take_path(cl.report, "-o/--report");
        break;
      case kCsv:
        take_path(cl.csv, "--csv");
        break;
      case kSvg:
        take_path(cl.svg, "--svg");
        break;
      case 'q':
        cl.quiet = true;
        break;
      case kCheck:
        cl.check = true;
        break;
      case kMaxFindings:
        max_findings = optarg;
        break;
      case 'h':
        help = true;
        break;
      case 'V':
        version = true;
        break;
      case ':':
        if (first_error.empty()) {
          first_error =
              was_long ? "option '--" + std::string(long_name(optopt)) + "' requires an argument"
                       : "option requires an argument -- '" +
                             std::string(1, static_cast<char>(optopt)) + "'";
        }
        break;
      default:  // '?'
        if (!first_error.empty()) break;
        if (optopt == 0) {
          first_error = long_option_error(element);
        } else if (optopt >= 256 ||
                   kShortOptions.find(static_cast<char>(optopt)) != std::string_view::npos) {
          first_error =
              "option '--" + std::string(long_name(optopt)) + "' doesn't allow an argument";
        } else {
          first_error = "invalid option -- '" + std::string(1, static_cast<char>(optopt)) + "'";
        }
        break;
    }
  }
  for (int i = optind; i < argc; ++i) cl.files.emplace_back(argv[static_cast<std::size_t>(i)]);
  cl.layout_choice = rrw ? 1 : crn ? 2 : 0;

  const auto usage_error = [&](std::string message) {
    cl.action = CommandLine::Action::usage_error;
    cl.error = std::move(message);
    return cl;
  };
  if (!first_error.empty()) return usage_error(first_error);
  if (help) {
    cl.action = CommandLine::Action::help;
    return cl;
  }
  if (version) {
    cl.action = CommandLine::Action::version;
    return cl;
  }
  if (cl.check) {
    // A check writes no file and lists nothing.
    const char* with = cl.csv      ? "--csv"
                       : cl.svg    ? "--svg"
                       : cl.report ? "-o/--report"
                       : cl.quiet  ? "-q/--quiet"
                                   : nullptr;
    if (with != nullptr) {
      return usage_error(std::string("--check does not go with ") + with +
                         ": a check writes no report, CSV or plot, and lists no series");
    }
  }
  if (max_findings) {
    if (!cl.check) return usage_error("--max-findings goes only with --check");
    cl.max_findings = count_argument(*max_findings);
    if (!cl.max_findings) {
      return usage_error("--max-findings takes a number of 0 or more (0: every finding), not '" +
                         escaped(*max_findings) + "'");
    }
  }
  if (rrw && crn) return usage_error("--rrw and --crn exclude each other");
  if (cl.list && !cl.files.empty()) {
    return usage_error("give FILEs or --list LIST, not both (the first FILE is '" +
                       escaped(cl.files.front()) + "')");
  }
  if (!cl.list && cl.files.empty()) return usage_error("no FILE and no --list LIST given");
  if (cl.csv == "-" && cl.svg == "-") {
    return usage_error("--csv - and --svg - cannot both write to standard output");
  }
  if (cl.report == "-") return usage_error("the report cannot go to standard output (-o -)");
  if (!empty_path.empty()) return usage_error("an empty name given to " + empty_path);
  return cl;
}

}  // namespace corvane
