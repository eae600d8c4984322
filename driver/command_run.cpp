// The command line's intake: names taken whole, outputs checked and opened before any reading.
#include "driver/command_run.h"

#include <cstring>
#include <utility>

#include "driver/run.h"

namespace corvane {

namespace {

void say_passed_over(Console& console, const std::string& text) {
  console.write_error("corvane: " + text + "\n");
}

// The names of a list file, each line one name, at most kMaxListNames.
Result<std::vector<std::string>> read_list_names(Services& io, Console& console,
                                                 const std::string& list, bool& passed_over) {
  Result<ReadFile> in = io.open_existing(kInputUnit, list);
  if (!in) return in.end();
  std::vector<std::string> names;
  switch (read_names(in->lines(), static_cast<std::size_t>(kMaxListNames), names)) {
    case ListEnd::end:
      break;
    case ListEnd::failed:
      return io.fail(Services::Cause::system, std::strerror(in->lines().error_number()),
                     "read, handle " + std::to_string(kInputUnit) + ", file \"" + list + "\"");
    case ListEnd::more:
      passed_over = true;
      say_passed_over(console, "the list '" + escaped(list) + "' holds more than " +
                                   std::to_string(kMaxListNames) +
                                   " names; a run reads at most that many files, and the names "
                                   "from line " +
                                   std::to_string(kMaxListNames + 1) + " on are passed over.");
      break;
  }
  io.close_file(*in);
  return names;
}

struct Output {
  std::string_view what;
  std::string name;
};

// No output may be an input, nor another output.
Status refuse_collisions(Services& io, const std::vector<Output>& outputs,
                         const std::optional<std::string>& list,
                         const std::vector<std::string>& names) {
  const auto stop = [&](const std::string& message) {
    return io.stop_run(message + "; the run stops and nothing is written. Choose another name.",
                       End::stopped());
  };
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Output& o = outputs[i];
    const std::string head = "The " + std::string(o.what) + " \"" + o.name + "\"";
    if (list && same_file(io.files(), o.name, *list))
      return stop(head + " would overwrite the list file \"" + *list + "\"");
    for (const std::string& name : names) {
      if (same_file(io.files(), o.name, name))
        return stop(head + " would overwrite the data file \"" + name + "\"");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (same_file(io.files(), o.name, outputs[j].name)) {
        return stop(head + " and the " + std::string(outputs[j].what) + " \"" + outputs[j].name +
                    "\" are the same file");
      }
    }
  }
  return {};
}

// The outputs of a command line that write to standard output, each as its option and name.
std::vector<std::pair<std::string_view, std::string>> standard_outputs(const CommandLine& cl,
                                                                       FileSystem& files) {
  std::vector<std::pair<std::string_view, std::string>> found;
  const auto look = [&](std::string_view option, const std::optional<std::string>& path,
                        bool dash_allowed) {
    if (!path) return;
    const std::string name(whole_name(*path));
    if ((dash_allowed && name == "-") || (name != "-" && files.is_standard_output(name))) {
      found.emplace_back(option, name);
    }
  };
  look("-o", cl.report, false);
  look("--csv", cl.csv, true);
  look("--svg", cl.svg, true);
  return found;
}

}  // namespace

std::optional<std::string> standard_output_conflict(const CommandLine& cl, FileSystem& files) {
  const auto found = standard_outputs(cl, files);
  if (found.size() < 2) return std::nullopt;
  return std::string(found[0].first) + " " + escaped(found[0].second) + " and " +
         std::string(found[1].first) + " " + escaped(found[1].second) +
         " cannot both write to standard output";
}

std::int32_t layout_by_names(const std::vector<std::string>& names) {
  bool any = false;
  for (const std::string& name : names) {
    if (whole_name(name).empty()) continue;  // a blank line names no file
    if (!names_chronology(name)) return 1;
    any = true;
  }
  return any ? 2 : 1;
}

std::string mixed_layout_error(const std::vector<std::string>& names) {
  const std::string* chronology = nullptr;
  const std::string* other = nullptr;
  for (const std::string& name : names) {
    if (whole_name(name).empty()) continue;
    (names_chronology(name) ? chronology : other) = &name;
    if (chronology != nullptr && other != nullptr) break;
  }
  if (chronology == nullptr || other == nullptr) return {};
  return "the files are of two kinds: '" + std::string(whole_name(*chronology)) +
         "' is named as a chronology (.crn) and '" + std::string(whole_name(*other)) +
         "' is not; give --rrw or --crn to say how all of them are read";
}

std::string default_report_name(std::string_view input) {
  return std::string(input.substr(0, std::min(input.find(' '), input.size()))) + "_rec";
}

End run_from_command_line(Services& io, Console& console, const CommandLine& cl) {
  // The console's lines make way for an output that goes to standard output.
  if (!standard_outputs(cl, io.files()).empty()) console.divert_to_error();
  Intake intake;
  intake.quiet = cl.quiet;
  RunOutputs outputs;
  outputs.data = &console;
  outputs.strict = true;
  outputs.suspect_hint = true;

  std::vector<std::string> names;
  std::string input;
  std::optional<std::string> list;
  if (cl.list) {
    list = std::string(whole_name(*cl.list));
    input = *list;
    Result<std::vector<std::string>> listed =
        read_list_names(io, console, *list, outputs.passed_over);
    if (!listed) return listed.end();
    names = std::move(*listed);
    intake.from_list = true;
  } else {
    const std::size_t taken = std::min(cl.files.size(), static_cast<std::size_t>(kMaxListNames));
    for (std::size_t i = 0; i < taken; ++i) {
      names.emplace_back(whole_name(cl.files[i]));
      if (i > 0) input += ' ';
      input += names.back();
    }
    if (cl.files.size() > taken) {
      outputs.passed_over = true;
      say_passed_over(console, std::to_string(cl.files.size()) +
                                   " FILEs given, and a run reads at most " +
                                   std::to_string(kMaxListNames) + " files; the last " +
                                   std::to_string(cl.files.size() - taken) + ", from '" +
                                   escaped(cl.files[taken]) + "' on, are passed over.");
    }
    intake.from_list = names.size() > 1;
  }
  intake.input_name = fit(input, kNameWidth);
  intake.file_count = static_cast<std::int32_t>(names.size());
  for (const std::string& name : names) intake.file_names.push_back(fit(name, kNameWidth));
  intake.paths = names;
  if (cl.layout_choice == 0) {
    // One run reads all its files in one layout: names of both kinds leave it to the user.
    if (const std::string mixed = mixed_layout_error(names); !mixed.empty()) {
      console.write_error(usage_error_text(mixed));
      return io.stop_run(" ", End::refused());
    }
  }
  intake.layout_choice = cl.layout_choice != 0 ? cl.layout_choice : layout_by_names(names);
  intake.code = intake.layout_choice == 1 ? LayoutCode::mr : LayoutCode::ir;
  const std::string report(cl.report ? whole_name(*cl.report) : default_report_name(input));
  intake.report_name = report;
  outputs.input = input;

  if (!intake.from_list && !io.file_exists(names.front())) {
    write_missing_file_warning(io, kConsole, intake.file_names.front());
    io.write_free_form(kConsole, "Program Terminating");
    return io.stop_run(" ", End::stopped());
  }

  std::vector<Output> written{{"report file", report}};
  if (cl.csv && *cl.csv != "-") {
    outputs.csv = std::string(whole_name(*cl.csv));
    written.push_back({"CSV file", *outputs.csv});
  } else {
    outputs.csv = cl.csv;
  }
  if (cl.svg && *cl.svg != "-") {
    outputs.svg = std::string(whole_name(*cl.svg));
    written.push_back({"SVG file", *outputs.svg});
  } else {
    outputs.svg = cl.svg;
  }
  if (const Status refused = refuse_collisions(io, written, list, names); !refused) {
    return refused.end();
  }

  // The data file first, as the dialogue opens it before the report; then the outputs, so that
  // a bad path among them leaves the report as it was.
  RunFiles files;
  if (!intake.from_list) {
    Result<ReadFile> data = io.open_existing(kInputUnit, names.front());
    if (!data) return data.end();
    files.input = std::move(*data);
  }
  const auto open_output = [&](const std::optional<std::string>& name, int unit,
                               WrittenFile& file) -> Status {
    if (!name || *name == "-") return {};
    Result<WrittenFile> opened = io.open_for_writing(unit, *name);
    if (!opened) return opened.end();
    file = std::move(*opened);
    return {};
  };
  if (const Status csv = open_output(outputs.csv, kCsvUnit, files.csv); !csv) return csv.end();
  if (const Status svg = open_output(outputs.svg, kSvgUnit, files.svg); !svg) return svg.end();
  Result<WrittenFile> opened = io.open_for_writing(kReportUnit, report);
  if (!opened) return opened.end();
  files.report = std::move(*opened);
  // From here on the report is kept at any end of the run.
  return with_report(io, files.report, [&] {
    write_input_line(io, files.report, intake.input_name);
    if (const Status first = io.status(); !first) return first.end();
    return finish_run(io, intake, outputs, files);
  });
}

}  // namespace corvane
