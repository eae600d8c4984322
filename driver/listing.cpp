// Listing of every series of every file, and the catalogue that the summary works on.
#include "driver/listing.h"

#include <algorithm>
#include <cmath>

#include "readers/series_reader.h"

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

// One series line: a blank, the number in the file (6 columns), a blank, the ID (8), the first
// year, last year and count (8 each), the mean (8 columns, 3 decimals; 8 blanks when the
// series holds no values). Built once into `line`, for the report and the console alike.
void build_series_line(std::string& line, std::int32_t number, const SeriesId& id,
                       std::int32_t first_year, std::int32_t last_year, std::int32_t n,
                       const float* mean) {
  line.resize(1 + 6 + 1 + id.size() + 3 * 8);
  char* p = line.data();
  *p++ = ' ';
  p = put_integer(p, number, 6);
  *p++ = ' ';
  p = std::copy(id.begin(), id.end(), p);
  p = put_integer(p, first_year, 8);
  p = put_integer(p, last_year, 8);
  put_integer(p, n, 8);
  if (mean != nullptr) {
    format_fixed(line, static_cast<double>(*mean), 8, 3);
  } else {
    line.append(8, ' ');
  }
  line.push_back('\n');
}

const Layout& file_total() {
  static const Layout layout{blanks(2), literal(" Series Read from file= "), integer(6)};
  return layout;
}

const Layout& running_total() {
  static const Layout layout{blanks(2), literal(" Total Series Read= "), integer(6)};
  return layout;
}

void both(Services& io, const Intake& intake, WrittenFile& report, const Layout& layout,
          std::span<const Value> values = {}) {
  io.write_line(report, layout, values);
  if (!intake.quiet) io.write_line(kConsole, layout, values);
}

}  // namespace

Catalogue::Catalogue() {
  // Room for every series a run may hold, taken at once; entries are appended as series come.
  const auto room = static_cast<std::size_t>(kMaxSeries);
  ID.reserve(room);
  IYR.reserve(room);
  LYR.reserve(room);
  N.reserve(room);
  mean.reserve(room);
  file.reserve(room);
  year_sign.reserve(room);
}

float series_mean(std::span<const float> values, std::optional<double> exact_sum) {
  double sum = 0.0;
  if (exact_sum) {
    sum = *exact_sum;
  } else if (values.size() <= kExactTerms &&
             std::all_of(values.begin(), values.end(), [](float x) { return sums_exactly(x); })) {
    // Exact in any order: eight sums side by side, so no chain of additions waits on the one
    // before.
    constexpr std::size_t kLanes = 8;
    double lane[kLanes] = {};
    std::size_t i = 0;
    for (; i + kLanes <= values.size(); i += kLanes) {
      for (std::size_t k = 0; k < kLanes; ++k) lane[k] += values[i + k];
    }
    for (; i < values.size(); ++i) lane[0] += values[i];
    sum = ((lane[0] + lane[1]) + (lane[2] + lane[3])) + ((lane[4] + lane[5]) + (lane[6] + lane[7]));
  } else {
    for (const float x : values) sum += x;
  }
  return static_cast<float>(sum) / static_cast<float>(values.size());
}

Result<std::int32_t> run_listing(Services& io, const Intake& intake, RunFiles& files,
                                 Catalogue& catalogue, SeriesDescriber* describer) {
  if (describer != nullptr) catalogue.stats.reserve(static_cast<std::size_t>(kMaxSeries));
  std::string line;
  line.reserve(64);
  std::int32_t missing = 0;
  catalogue.suspect_lines.assign(static_cast<std::size_t>(intake.file_count), 0);
  ServicesSink console(io, kConsole);  // the self-describing reader's messages
  for (std::int32_t k = 0; k < intake.file_count; ++k) {
    const std::string& name = intake.file_names[static_cast<std::size_t>(k)];
    const std::string& path =
        intake.paths.empty() ? name : intake.paths[static_cast<std::size_t>(k)];
    std::int32_t file_series = 1;
    const Value heading[] = {std::string_view(name)};
    both(io, intake, files.report, file_heading(), heading);
    if (intake.from_list) {
      if (!io.file_exists(path)) {
        write_missing_file_warning(io, kConsole, name);
        write_missing_file_warning(io, files.report, name);
        if (const Status written = io.status(); !written) return written.end();
        ++missing;
        continue;
      }
      Result<ReadFile> input = io.open_existing(kInputUnit, path);
      if (!input) return input.end();
      files.input = std::move(*input);
    }
    both(io, intake, files.report, table_heading(intake.layout_choice));
    if (const Status written = io.status(); !written) return written.end();

    SeriesReader reader(files.input.lines(), intake.code, console);
    for (;;) {
      const SeriesStep step = reader.next();
      if (step.kind == SeriesStep::Kind::limit) {
        return io.stop_run(step.limit_message(), End::stopped());
      }
      // A read that failed is no end of the file: the run ends with the system's reason.
      if (const Status read = io.check_read(files.input); !read) return read.end();
      catalogue.suspect_lines[static_cast<std::size_t>(k)] += step.counts.suspect_lines;
      if (step.kind == SeriesStep::Kind::end) break;
      const Series& series = step.series;
      if (catalogue.count >= kMaxSeries) {
        return io.stop_run("The catalogue is full: a run holds at most " +
                               std::to_string(kMaxSeries) + " series, and file \"" +
                               std::string(trim_name(name)) +
                               "\" holds more; the run stops without its summary.",
                           End::stopped());
      }
      const SeriesId& id = series.id;
      const std::int32_t first_year = series.first_year, last_year = series.last_year();
      const auto n = static_cast<std::int32_t>(series.values.size());
      if (describer != nullptr) {
        catalogue.stats.push_back(describer->describe(series.values));
        catalogue.stats.back().missing = step.counts.missing_rings;
      }
      catalogue.ID.push_back(id);
      catalogue.IYR.push_back(first_year);
      catalogue.N.push_back(n);
      catalogue.LYR.push_back(last_year);
      catalogue.file.push_back(k);
      catalogue.year_sign.push_back(series.year_sign ? 1 : 0);
      if (n > 0) {
        const float mean = series_mean(series.values, step.counts.exact_sum);
        catalogue.mean.push_back(mean);
        build_series_line(line, file_series, id, first_year, last_year, n, &mean);
      } else {
        catalogue.mean.push_back(0.0f);
        build_series_line(line, file_series, id, first_year, last_year, n, nullptr);
      }
      io.put(files.report, line);
      if (!intake.quiet) io.put(kConsole, line);
      if (const Status written = io.status(); !written) return written.end();
      ++catalogue.count;
      ++file_series;
    }
    io.close_file(files.input);
    if (!intake.quiet) {
      const Value file_count[] = {file_series - 1};
      io.write_line(kConsole, file_total(), file_count);
      const Value total[] = {catalogue.count};
      io.write_line(kConsole, running_total(), total);
    }
  }
  return missing;
}

}  // namespace corvane
