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

// Standard output, when it carries an output alone. A failed write is kept, and nothing more
// is written after it.
class DataSink : public Sink {
 public:
  explicit DataSink(Console& console) : console_(console) {}
  void put(std::string_view text) override {
    if (error_ != 0) return;
    if (!console_.write_data(text)) error_ = errno != 0 ? errno : EIO;
  }
  /// The error number of the failed write, or 0.
  int error() const { return error_; }

 private:
  Console& console_;
  int error_ = 0;
};

// Writes one output to its file, or to standard output for "-", and closes it. A failed write
// to the file is found when it is closed.
template <typename Write>
Status write_output(Services& io, const RunOutputs& outputs, const std::optional<std::string>& name,
                    WrittenFile& file, Write write) {
  if (!name) return {};
  if (*name == "-" && outputs.data != nullptr) {
    DataSink sink(*outputs.data);
    write(sink);
    if (sink.error() != 0) {
      return io.fail(Services::Cause::system, std::strerror(sink.error()),
                     "write, standard output");
    }
    return {};
  }
  write(file);
  return io.close_file(file);
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

End finish_run(Services& io, const Intake& intake, const RunOutputs& outputs, RunFiles& files) {
  Catalogue catalogue;
  // The statistics are worked out only for the CSV, while the values of each series are at hand.
  SeriesDescriber describer;
  const Result<std::int32_t> missing =
      run_listing(io, intake, files, catalogue, outputs.csv ? &describer : nullptr);
  if (!missing) return missing.end();
  const auto n = static_cast<std::size_t>(catalogue.count);
  Optimum optimum;
  if (catalogue.count <= kMaxSeries) {
    ServicesSink report(io, files.report);
    ServicesSink console(io, kConsole);
    optimum =
        Commint(kMaxSeries, std::span(catalogue.IYR).first(n), std::span(catalogue.ID).first(n),
                std::span(catalogue.N).first(n), catalogue.count, report, console);
    if (const Status written = io.status(); !written) return written.end();
  }
  if (const Status closed = io.close_file(files.report); !closed) return closed.end();

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
    const Status csv = write_output(io, outputs, outputs.csv, files.csv,
                                    [&](Sink& sink) { write_csv(sink, table, optimum); });
    if (!csv) return csv.end();
    const Status svg = write_output(io, outputs, outputs.svg, files.svg, [&](Sink& sink) {
      write_svg(sink, table, optimum, outputs.input);
    });
    if (!svg) return svg.end();
  }

  io.write_free_form(kConsole);
  const Value figures[] = {intake.file_count, catalogue.count};
  io.write_line(kConsole, closing_lines(), figures);
  io.write_free_form(kConsole);
  if (outputs.suspect_hint && outputs.data != nullptr) {
    write_suspect_hint(*outputs.data, intake, catalogue.suspect_lines);
  }
  const bool incomplete = *missing > 0 || outputs.passed_over;
  return io.stop_run(" ", outputs.strict && incomplete ? End::stopped() : End::normal());
}

}  // namespace corvane
