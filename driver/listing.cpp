// Listing of every series of every file, and the catalogue that the summary works on.
#include "driver/listing.h"

namespace corvane {

namespace {

const Layout& file_heading() {
  static const Layout layout{blanks(1), literal(" ___ "), text(), column(42), literal(" ___ ")};
  return layout;
}

const Layout& table_heading(std::int32_t layout_choice) {
  static const Layout rrw{blanks(1), literal("        ID        IYR     LYR     N      m_rrw")};
  static const Layout indx{blanks(1), literal("        ID        IYR     LYR     N      m_indx")};
  return layout_choice == 1 ? rrw : indx;
}

const Layout& series_line(bool with_mean) {
  static const Layout mean{blanks(1),  integer(6), blanks(1), text(8), repeat(3, integer(8)),
                           fixed(8, 3)};
  static const Layout no_mean{blanks(1), integer(6), blanks(1), text(8), repeat(3, integer(8)),
                              blanks(8)};
  return with_mean ? mean : no_mean;
}

const Layout& file_total() {
  static const Layout layout{blanks(2), literal(" Series Read from file= "), integer(6)};
  return layout;
}

const Layout& running_total() {
  static const Layout layout{blanks(2), literal(" Total Series Read= "), integer(6)};
  return layout;
}

void both(Services& io, const Intake& intake, const Layout& layout,
          std::span<const Value> values = {}) {
  io.write_line(kReportHandle, layout, values);
  if (!intake.quiet) io.write_line(kConsole, layout, values);
}

}  // namespace

Catalogue::Catalogue()
    : ID(kMaxSeries),
      IYR(kMaxSeries),
      LYR(kMaxSeries),
      N(kMaxSeries),
      mean(kMaxSeries),
      file(kMaxSeries) {}

float series_mean(std::span<const float> values) {
  double sum = 0.0;
  for (const float v : values) sum += v;
  return static_cast<float>(sum) / static_cast<float>(values.size());
}

std::int32_t run_listing(Services& io, const Intake& intake, Catalogue& catalogue) {
  std::vector<float> values(kMaxValues);
  std::int32_t counter = 0;
  std::int32_t missing = 0;
  for (std::int32_t k = 0; k < intake.file_count; ++k) {
    const std::string& name = intake.file_names[static_cast<std::size_t>(k)];
    const std::string& path =
        intake.paths.empty() ? name : intake.paths[static_cast<std::size_t>(k)];
    std::int32_t file_series = 1;
    const Value heading[] = {std::string_view(name)};
    both(io, intake, file_heading(), heading);
    if (intake.from_list) {
      if (!io.file_exists(path)) {
        write_missing_file_warning(io, kConsole, name);
        write_missing_file_warning(io, kReportHandle, name);
        ++missing;
        continue;
      }
      io.open_existing(kInputHandle, path);
    }
    both(io, intake, table_heading(intake.layout_choice));

    for (;;) {
      SeriesId id;
      id.fill(' ');
      std::int32_t first_year = 0, n = 0;
      bool self_describing = false;
      const ReadLimit limit =
          trrw(id, first_year, n, values, counter, io, kInputHandle, intake.code, self_describing);
      if (limit != ReadLimit::none) io.stop_run(limit_message(limit, id, n), kExitStopped);
      // A read that failed is no end of the file: the run ends with the system's reason.
      io.check_read(kInputHandle);
      // A year below -999 carries its minus sign in the ID's last column.
      if (!self_describing && id[7] == '-') first_year = -first_year;
      if (counter <= 0) break;
      if (catalogue.count >= kMaxSeries) {
        io.stop_run("The catalogue is full: a run holds at most " + std::to_string(kMaxSeries) +
                        " series, and file \"" + std::string(trim_name(name)) +
                        "\" holds more; the run stops without its summary.",
                    kExitStopped);
      }
      const auto i = static_cast<std::size_t>(catalogue.count);
      catalogue.ID[i] = id;
      catalogue.IYR[i] = first_year;
      catalogue.N[i] = n;
      catalogue.LYR[i] = first_year + n - 1;
      catalogue.file[i] = k;
      const std::string_view id_text(id.data(), id.size());
      if (n > 0) {
        const float mean =
            series_mean(std::span<const float>(values.data(), static_cast<std::size_t>(n)));
        catalogue.mean[i] = mean;
        const Value line[] = {file_series, id_text, first_year, catalogue.LYR[i], n, mean};
        both(io, intake, series_line(true), line);
      } else {
        catalogue.mean[i] = 0.0f;
        const Value line[] = {file_series, id_text, first_year, catalogue.LYR[i], n};
        both(io, intake, series_line(false), line);
      }
      ++catalogue.count;
      ++file_series;
    }
    io.close_file(kInputHandle);
    if (!intake.quiet) {
      const Value file_count[] = {file_series - 1};
      io.write_line(kConsole, file_total(), file_count);
      const Value total[] = {catalogue.count};
      io.write_line(kConsole, running_total(), total);
    }
    counter = 0;
  }
  return missing;
}

}  // namespace corvane
