// corvane: the executable, a thin shell around the program's entry.
#include <csignal>
#include <string_view>
#include <vector>

#include "driver/program.h"
#include "textio/std_console.h"

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A closed standard output must not kill the run: the report is still written to its end.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  // An interrupted run leaves no half-written report behind.
  corvane::install_signal_cleanup();
  std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  corvane::StdConsole console;
  return corvane::program_main(args, console);
}
