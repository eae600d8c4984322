// The run after its intake: listing, summary, outputs, closing lines and the run's status.
#include "driver/run.h"

#include <cerrno>
#include <cstring>

#include "analysis/commint.h"
#include "driver/listing.h"
#include "outputs/csv.h"
#include "outputs/svg.h"

namespace corvane {

namespace {

const Layout& closing_lines() {
  static const Layout layout{indent(),     literal("Normal termination of program"),
                             line_break(), indent(),
                             integer(4),   literal(" files "),
                             line_break(), indent(),
                             integer(10),  literal(" records ")};
  return layout;
}

// Standard output, when it carries an output alone.
class DataSink : public Sink {
 public:
  DataSink(Services& io, Console& console) : io_(io), console_(console) {}
  void put(std::string_view text) override {
    if (!console_.write_data(text)) {
      const int e = errno != 0 ? errno : EIO;
      io_.fail(Services::Cause::system, std::strerror(e), "write, standard output");
    }
  }

 private:
  Services& io_;
  Console& console_;
};

// Writes one output through its handle, or to standard output for "-", and closes it.
template <typename Write>
void write_output(Services& io, const RunOutputs& outputs, const std::optional<std::string>& name,
                  int handle, Write write) {
  if (!name) return;
  if (*name == "-" && outputs.data != nullptr) {
    DataSink sink(io, *outputs.data);
    write(sink);
    return;
  }
  HandleSink sink(io, handle);
  write(sink);
  io.close_file(handle);
}

// One line per file whose reader met suspect lines, at most kHintFiles, then how many more.
void write_suspect_hint(Console& console, const Intake& intake,
                        std::span<const std::int64_t> suspect_lines) {
  constexpr std::int32_t kHintFiles = 10;
  std::int32_t written = 0, more = 0;
  for (std::size_t k = 0; k < suspect_lines.size(); ++k) {
    if (suspect_lines[k] == 0) continue;
    if (written == kHintFiles) {
      ++more;
      continue;
    }
    ++written;
    const std::string name =
        escaped(intake.paths.empty() ? trim_name(intake.file_names[k]) : intake.paths[k]);
    console.write_error("corvane: " + name + ": " + std::to_string(suspect_lines[k]) +
                        (suspect_lines[k] == 1 ? " suspect line" : " suspect lines") +
                        "; corvane --check " + name + " names them\n");
  }
  if (more > 0) {
    console.write_error("corvane: and " + std::to_string(more) + " more " +
                        (more == 1 ? "file" : "files") + " with suspect lines\n");
  }
}

}  // namespace

void finish_run(Services& io, const Intake& intake, const RunOutputs& outputs) {
  Catalogue catalogue;
  // The statistics are worked out only for the CSV, while the values of each series are at hand.
  SeriesDescriber describer;
  const std::int32_t missing =
      run_listing(io, intake, catalogue, outputs.csv ? &describer : nullptr);
  const auto n = static_cast<std::size_t>(catalogue.count);
  Optimum optimum;
  if (catalogue.count <= kMaxSeries) {
    HandleSink report(io, kReportHandle);
    HandleSink console(io, kConsole);
    optimum =
        Commint(kMaxSeries, std::span(catalogue.IYR).first(n), std::span(catalogue.ID).first(n),
                std::span(catalogue.N).first(n), catalogue.count, report, console);
  }
  io.close_file(kReportHandle);

  if (outputs.csv || outputs.svg) {
    const std::vector<std::string>& names = intake.paths.empty() ? intake.file_names : intake.paths;
    const SeriesTable table{std::span(catalogue.ID).first(n),
                            std::span(catalogue.IYR).first(n),
                            std::span(catalogue.LYR).first(n),
                            std::span(catalogue.N).first(n),
                            std::span(catalogue.mean).first(n),
                            std::span(catalogue.file).first(n),
                            names,
                            std::span(catalogue.year_sign).first(n),
                            catalogue.stats};
    write_output(io, outputs, outputs.csv, kCsvHandle,
                 [&](Sink& sink) { write_csv(sink, table, optimum); });
    write_output(io, outputs, outputs.svg, kSvgHandle,
                 [&](Sink& sink) { write_svg(sink, table, optimum, outputs.input); });
  }

  io.write_free_form(kConsole);
  const Value figures[] = {intake.file_count, catalogue.count};
  io.write_line(kConsole, closing_lines(), figures);
  io.write_free_form(kConsole);
  if (outputs.suspect_hint && outputs.data != nullptr) {
    write_suspect_hint(*outputs.data, intake, catalogue.suspect_lines);
  }
  const bool incomplete = missing > 0 || outputs.passed_over;
  io.stop_run(" ", outputs.strict && incomplete ? kExitStopped : kExitNormal);
}

}  // namespace corvane
