// The whole program: command line, dialogue, listing, summary and closing lines.
#ifndef CORVANE_DRIVER_PROGRAM_H
#define CORVANE_DRIVER_PROGRAM_H

#include <span>
#include <string_view>

#include "driver/handles.h"
#include "textio/textio.h"

namespace corvane {

/// Runs a whole session on the services; always ends by RunEnd (normal end included).
[[noreturn]] void run_session(Services& io);

/// The program with its arguments (without the program's name) on a console; returns the exit
/// status: 0 for a normal end, 1 for a stop with a message or a refusal, 2 for an error report
/// or a console that could not be written.
int program_main(std::span<const std::string_view> args, Console& console,
                 FileSystem& files = system_files());

}  // namespace corvane

#endif  // CORVANE_DRIVER_PROGRAM_H
