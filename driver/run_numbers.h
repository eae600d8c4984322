// What the driver alone decides: the unit numbers by which error reports name the files of a
// run, and the exit statuses of the program.
#ifndef CORVANE_DRIVER_RUN_NUMBERS_H
#define CORVANE_DRIVER_RUN_NUMBERS_H

namespace corvane {

/// The units of the data file or list file being read, of the report, and of the CSV and the
/// plot beside it: names of the files in error reports, never keys to look a file up by.
inline constexpr int kInputUnit = 13;
inline constexpr int kReportUnit = 15;
inline constexpr int kCsvUnit = 16;
inline constexpr int kSvgUnit = 17;

/// Exit statuses: a normal end; a stop with a message (or, from the command line, a named file
/// missing or passed over); an error report, a usage error or a console that failed.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitFailure = 2;

}  // namespace corvane

#endif  // CORVANE_DRIVER_RUN_NUMBERS_H
