// The series catalogue as comma-separated values, one row per series.
#ifndef CORVANE_OUTPUTS_CSV_H
#define CORVANE_OUTPUTS_CSV_H

#include <string>
#include <string_view>

#include "outputs/series_table.h"
#include "textio/textio.h"

namespace corvane {

/// The header row's columns, in order.
inline constexpr std::string_view kCsvHeader =
    "file,series,id,first_year,last_year,n,mean,in_optimum,median,stdev,skew,kurtosis,sens1,gini,"
    "ar1,missing";

/// Appends one field: as it stands, or in double quotes with inner quotes doubled when it holds
/// a comma, a double quote, a carriage return or a line feed.
void append_csv_field(std::string& out, std::string_view field);

/// Appends the shortest text that reads back as exactly this float (std::to_chars), such as
/// "1.456", "12345", "1e+10", "inf" or "-inf"; a NaN of either sign is "nan".
void append_shortest_float(std::string& out, float value);

/// Appends a statistic as printf's "%.6g" writes it in the C locale, such as "0.0735", "-2.75",
/// "1.23457e+06"; -0 as "0", and "inf", "-inf" or "nan" where it is not finite.
void append_statistic(std::string& out, double value);

/// Writes the header row and one row per series in catalogue order, each ended by a line feed:
/// the data file's name as opened, the series' number within its file (from 1), its ID without
/// trailing blanks, first year, last year, N, the mean (empty when N is 0), and whether it runs
/// through the optimum interval ("true" or "false"; empty in every row when there is none), then
/// the series' statistics (empty where a statistic has no value, or when the table has none)
/// and its count of missing-ring codes.
/// Output goes to `out` in pieces of some tens of kilobytes.
void write_csv(Sink& out, const SeriesTable& table, const Optimum& optimum);

}  // namespace corvane

#endif  // CORVANE_OUTPUTS_CSV_H
