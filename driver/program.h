// The whole program: command line, dialogue, listing, summary and closing lines.
#ifndef CORVANE_DRIVER_PROGRAM_H
#define CORVANE_DRIVER_PROGRAM_H

#include <span>
#include <string_view>

#include "driver/run_numbers.h"
#include "textio/textio.h"

namespace corvane {

/// Runs a whole session of the dialogue on the services; returns its end.
End run_session(Services& io);

/// The exit status of a run's end: 0 for a normal end, 1 for a stop, 2 for a refusal or a
/// failure.
int exit_status(End end);

/// The program with its arguments (without the program's name) on a console; returns the exit
/// status: 0 for a normal end, 1 for a stop with a message or a refusal, 2 for an error report
/// or a console that could not be written.
int program_main(std::span<const std::string_view> args, Console& console,
                 FileSystem& files = system_files());

}  // namespace corvane

#endif  // CORVANE_DRIVER_PROGRAM_H
