// What the driver alone decides: the handles of the files a run reads and writes, and the
// exit statuses of the program.
#ifndef CORVANE_DRIVER_HANDLES_H
#define CORVANE_DRIVER_HANDLES_H

namespace corvane {

/// The data file or list file being read, and the report.
inline constexpr int kInputHandle = 13;
inline constexpr int kReportHandle = 15;

/// Exit statuses: a normal end; a stop with a message (or, from the command line, a named file
/// missing or passed over); an error report, a usage error or a console that failed.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitFailure = 2;

}  // namespace corvane

#endif  // CORVANE_DRIVER_HANDLES_H
