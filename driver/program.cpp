// The program's entry: command line, the run from banner to closing lines, exit statuses.
#include "driver/program.h"

#include <exception>
#include <new>

#include "check/check.h"
#include "driver/command_run.h"
#include "driver/run.h"

namespace corvane {

namespace {

int out_of_memory(Console& console) {
  console.write_error(" *** Run-time error\n     Out of memory\n");
  return kExitFailure;
}

// Every way of running ends here: what is left on the console goes out, and a console that
// could not be written turns any status into a failure.
int final_status(Console& console, int status) {
  console.flush();
  if (console.write_failed()) {
    console.write_error(" *** Run-time error\n     The console output could not be written\n");
    return kExitFailure;
  }
  return status;
}

// corvane --check: the files checked, findings and the closing line on standard output; the
// status 1 when there is an error or a warning.
int check_from_command_line(const CommandLine& cl, Console& console, FileSystem& files) {
  CheckOptions options;
  for (const std::string& f : cl.files) options.files.emplace_back(whole_name(f));
  if (cl.list) options.list = std::string(whole_name(*cl.list));
  if (cl.max_findings) options.max_findings = *cl.max_findings;
  if (cl.layout_choice != 0)
    options.layout = cl.layout_choice == 1 ? LayoutCode::mr : LayoutCode::ir;
  int status = kExitNormal;
  try {
    const CheckTotals totals = run_check(options, console, files);
    if (totals.errors + totals.warnings > 0) status = kExitStopped;
  } catch (const std::bad_alloc&) {
    status = out_of_memory(console);
  }
  return final_status(console, status);
}

}  // namespace

End run_session(Services& io) {
  Intake intake;
  RunFiles files;
  // A run that ends before the layout answer leaves the report unclosed: discarded.
  if (const Status taken = run_intake(io, intake, files); !taken) return taken.end();
  return with_report(io, files.report, [&] { return finish_run(io, intake, {}, files); });
}

int exit_status(End end) {
  switch (end.kind()) {
    case End::Kind::normal:
      return kExitNormal;
    case End::Kind::stopped:
      return kExitStopped;
    case End::Kind::refused:
    case End::Kind::failed:
      break;
  }
  return kExitFailure;
}

int program_main(std::span<const std::string_view> args, Console& console, FileSystem& files) {
  CommandLine cl;
  if (!args.empty()) {
    cl = parse_command_line(args);
    switch (cl.action) {
      case CommandLine::Action::help:
      case CommandLine::Action::version:
        console.write(cl.action == CommandLine::Action::help ? std::string(help_text())
                                                             : version_text());
        console.flush();
        return console.write_failed() ? kExitFailure : kExitNormal;
      case CommandLine::Action::usage_error:
        console.write_error(usage_error_text(cl.error));
        return kExitFailure;
      case CommandLine::Action::run:
        if (cl.check) return check_from_command_line(cl, console, files);
        if (const auto conflict = standard_output_conflict(cl, files)) {
          console.write_error(usage_error_text(*conflict));
          return kExitFailure;
        }
        break;
    }
  }
  int status = kExitNormal;
  try {
    Services io(console, files);
    status = exit_status(args.empty() ? run_session(io) : run_from_command_line(io, console, cl));
  } catch (const std::bad_alloc&) {
    status = out_of_memory(console);
  }
  return final_status(console, status);
}

}  // namespace corvane
