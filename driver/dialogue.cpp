// Banner, questions and intake of the file names; creation of the report file.
#include "driver/dialogue.h"

namespace corvane {

namespace {

// One line of each layout per source line.
// clang-format off
const Layout& banner() {
  static const Layout layout{
      line_break(),
      indent(), literal("Program Corvane reports the contents of"), line_break(),
      indent(), literal("of decade format Ring-Width data files and/or "), line_break(),
      indent(), literal("VELMOR Chronology files."), line_break(),
      line_break(),
      indent(), literal("Current dimentions are:"), line_break(),
      indent(), literal("  Max: records in a single file = "), integer(8), line_break(),
      indent(), literal("  Max: record length            = "), integer(8), line_break(),
      indent(), literal("  Max: files                    = "), integer(8), line_break()};
  return layout;
}

const Layout& list_question() {
  static const Layout layout{
      line_break(),
      indent(), literal("Read in file names from a .lst file?"), line_break(),
      indent(), literal("  [ This is a simple text file containing one "), line_break(),
      indent(), literal("         column of data file names.           ]"), line_break()};
  return layout;
}
// clang-format on

const Layout& logical_prompt() {
  static const Layout layout{indent(), literal("Answer [T]rue or [F]alse :  "), hold()};
  return layout;
}

const Layout& list_name_prompt() {
  static const Layout layout{line_break(), indent(), literal("List- file name ==> "), hold()};
  return layout;
}

const Layout& file_name_prompt() {
  static const Layout layout{line_break(), indent(), literal("Enter file name :  "), hold()};
  return layout;
}

const Layout& name_field() {
  static const Layout layout{text()};
  return layout;
}

const Layout& opening_files() {
  static const Layout layout{line_break(), indent(), literal("Openning files:")};
  return layout;
}

const Layout& list_echo() {
  static const Layout layout{indent(), integer(4), blanks(1), text()};
  return layout;
}

const Layout& missing_file() {
  static const Layout layout{line_break(), literal(" This file "), text(),
                             literal(" DOES NOT exist"), line_break()};
  return layout;
}

// The input line of the report (one blank before it) or of the console (the indent).
const Layout& input_file_line(Target to) {
  static const Layout report{line_break(), blanks(1), literal("Input file for this run : "),
                             text()};
  static const Layout console{line_break(), indent(), literal("Input file for this run : "),
                              text()};
  return to.file() == nullptr ? console : report;
}

const Layout& layout_question() {
  static const Layout layout{line_break(), indent(), literal("Measurements or Chronologies?")};
  return layout;
}

const Layout& layout_prompt() {
  static const Layout layout{indent(), literal("[1] rrw  [2] crn  : "), hold()};
  return layout;
}

const Layout& digit_field() {
  static const Layout layout{integer(1)};
  return layout;
}

// Reads one name answer into a 40-character field.
Result<std::string> read_name_answer(Services& io) {
  std::string name(kNameWidth, ' ');
  const Var var = Var::text(name);
  const ReadResult r = io.read_answer(name_field(), std::span<const Var>(&var, 1));
  if (r.outcome != ReadOutcome::done) return io.unhandled(r);
  return name;
}

Status read_list(Services& io, Intake& intake) {
  io.prompt(list_name_prompt());
  Result<std::string> list_name = read_name_answer(io);
  if (!list_name) return list_name.end();
  intake.input_name = std::move(*list_name);
  Result<ReadFile> list = io.open_existing(kInputUnit, intake.input_name);
  if (!list) return list.end();
  io.write_line(kConsole, opening_files());
  // Each line is a name field: its first kNameWidth columns, blank padded.
  constexpr auto most = static_cast<std::size_t>(kMaxListNames);
  std::vector<std::string> names;
  names.reserve(most);
  const ListEnd end = read_names(list->lines(), most, names);
  intake.file_names.reserve(names.size());
  for (const std::string& whole : names) {
    std::string name = fit(whole, kNameWidth);
    const Value echo[] = {intake.file_count + 1, std::string_view(name)};
    io.write_line(kConsole, list_echo(), echo);
    intake.file_names.push_back(std::move(name));
    ++intake.file_count;
  }
  // Only the names a run takes are read: a failure on the line after the last of them is none.
  if (end == ListEnd::failed && names.size() < most) {
    if (const Status read = io.check_read(*list); !read) return read.end();
  }
  io.close_file(*list);
  return {};
}

Status take_single_file(Services& io, Intake& intake, RunFiles& files) {
  io.prompt(file_name_prompt());
  Result<std::string> name = read_name_answer(io);
  if (!name) return name.end();
  intake.input_name = std::move(*name);
  if (!io.file_exists(intake.input_name)) {
    write_missing_file_warning(io, kConsole, intake.input_name);
    io.write_free_form(kConsole, "Program Terminating");
    io.wait_for_return("Hit RETURN to Quit");
    return io.stop_run(" ", End::stopped());
  }
  intake.file_names.assign(1, intake.input_name);
  intake.file_count = 1;
  io.write_free_form(kConsole);
  Result<ReadFile> input = io.open_existing(kInputUnit, intake.input_name);
  if (!input) return input.end();
  files.input = std::move(*input);
  return {};
}

Status refuse_collisions(Services& io, const Intake& intake) {
  const auto refuse = [&](std::string_view what, std::string_view name) {
    return io.stop_run("The report file \"" + std::string(trim_name(intake.report_name)) +
                           "\" would overwrite the " + std::string(what) + " \"" +
                           std::string(trim_name(name)) +
                           "\"; the run stops and no report is written. Rename the input file.",
                       End::stopped());
  };
  if (same_file(io.files(), intake.report_name, intake.input_name)) {
    return refuse(intake.from_list ? "list file" : "data file", intake.input_name);
  }
  if (!intake.from_list) return {};
  for (const std::string& name : intake.file_names) {
    if (same_file(io.files(), intake.report_name, name)) return refuse("data file", name);
  }
  return {};
}

Status open_report(Services& io, Intake& intake, RunFiles& files) {
  intake.report_name = make_report_name(intake.input_name);
  if (const Status refused = refuse_collisions(io, intake); !refused) return refused;
  // Until the layout is answered the report holds no series: a run that ends before that (the
  // end of the input, a letter for a digit) leaves it unclosed, and the previous report as it
  // was.
  Result<WrittenFile> report = io.open_for_writing(kReportUnit, intake.report_name);
  if (!report) return report.end();
  files.report = std::move(*report);
  const Value name[] = {std::string_view(intake.input_name)};
  io.write_line(files.report, input_file_line(files.report), name);
  io.write_line(kConsole, input_file_line(kConsole), name);
  return io.status();
}

Status ask_layout(Services& io, Intake& intake) {
  for (;;) {
    io.write_line(kConsole, layout_question());
    io.prompt(layout_prompt());
    std::int32_t choice = 0;
    const Var var = Var::of(choice);
    const ReadResult r = io.read_answer(digit_field(), std::span<const Var>(&var, 1));
    if (r.outcome != ReadOutcome::done) return io.unhandled(r);
    if (choice == 1 || choice == 2) {
      intake.layout_choice = choice;
      intake.code = choice == 1 ? LayoutCode::mr : LayoutCode::ir;
      return {};
    }
  }
}

}  // namespace

void write_missing_file_warning(Services& io, Target to, std::string_view name) {
  io.write_free_form(to, "Warning");
  const Value values[] = {name};
  io.write_line(to, missing_file(), values);
}

bool parse_logical(std::string_view answer) {
  std::size_t i = answer.find_first_not_of(' ');
  if (i == std::string_view::npos) return false;
  if (answer[i] == '.') ++i;
  return i < answer.size() && (answer[i] == 'T' || answer[i] == 't');
}

std::string make_report_name(std::string_view input_name) {
  std::string_view lead = input_name.substr(0, std::min(input_name.find(' '), input_name.size()));
  lead = lead.substr(0, 36);
  return fit(std::string(lead) + "_rec", kNameWidth);
}

bool same_file(FileSystem& files, std::string_view a, std::string_view b) {
  const std::string ta(trim_name(a)), tb(trim_name(b));
  if (ta.empty() || tb.empty()) return false;
  if (ta == tb) return true;
  const std::string ra = files.resolve(ta), rb = files.resolve(tb);
  if (!ra.empty() && ra == rb) return true;
  return files.same_file(ta, tb);
}

void write_input_line(Services& io, Target to, std::string_view input_name) {
  const Value name[] = {input_name};
  io.write_line(to, input_file_line(to), name);
}

Status run_intake(Services& io, Intake& intake, RunFiles& files) {
  const Value limits[] = {kMaxSeries, kMaxValues, kMaxFiles};
  io.write_line(kConsole, banner(), limits);
  io.write_line(kConsole, list_question());
  io.prompt(logical_prompt());
  const Result<std::string_view> answer = io.read_answer_text();
  if (!answer) return answer.end();
  intake.from_list = parse_logical(*answer);
  const Status names =
      intake.from_list ? read_list(io, intake) : take_single_file(io, intake, files);
  if (!names) return names;
  if (const Status report = open_report(io, intake, files); !report) return report;
  return ask_layout(io, intake);
}

}  // namespace corvane
