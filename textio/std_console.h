// The console of the process, for the program's entry alone.
#ifndef CORVANE_TEXTIO_STD_CONSOLE_H
#define CORVANE_TEXTIO_STD_CONSOLE_H

#include <memory>
#include <optional>
#include <string_view>

#include "textio/console.h"

namespace corvane {

/// The console of the process: standard input for answers, standard output for the dialogue
/// and listing, standard error for error reports. Output is flushed before every read; at a
/// terminal also at the end of every line, and at the end of the console's life.
///
/// Answers are read from standard input with read(): an answer is taken as soon as its line
/// end has arrived, from a terminal, a pipe or a FIFO. An answer ends at its first carriage
/// return or line feed; when it ends at a carriage return, the carriage returns and the one
/// line feed that directly follow are dropped when they arrive. An answer is kept up to
/// LineFile::kMaxLineLength bytes; the rest is read past. The end of input, or a failed read,
/// is the end for good.
class StdConsole final : public Console {
 public:
  StdConsole();
  ~StdConsole() override;
  StdConsole(const StdConsole&) = delete;
  StdConsole& operator=(const StdConsole&) = delete;

  void write(std::string_view text) override;
  void write_error(std::string_view text) override;
  std::optional<std::string_view> read_line() override;
  void flush() override;
  bool write_failed() const override;
  void divert_to_error() override;
  bool write_data(std::string_view text) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace corvane

#endif  // CORVANE_TEXTIO_STD_CONSOLE_H
