// A console held in memory, for tests, benchmarks and fuzz targets: answers are scripted,
// output is collected, and writes to standard output can be made to fail.
#ifndef CORVANE_TESTS_MEMORY_CONSOLE_H
#define CORVANE_TESTS_MEMORY_CONSOLE_H

#include <optional>
#include <string>
#include <string_view>

#include "textio/textio.h"

namespace corvane {

class MemoryConsole : public Console {
 public:
  explicit MemoryConsole(std::string input = {}) : input_(std::move(input)) {}
  void write(std::string_view text) override {
    if (diverted) {
      err += text;
    } else if (!fail_output) {
      out += text;
    }
  }
  void write_error(std::string_view text) override { err += text; }
  /// The console's line-end rule: an answer ends at its first carriage return or line feed; a
  /// run of carriage returns and one line feed after it are one line end.
  std::optional<std::string_view> read_line() override {
    if (pos_ >= input_.size()) return std::nullopt;
    std::size_t stop = input_.find_first_of("\r\n", pos_);
    if (stop == std::string::npos) stop = input_.size();
    line_ = input_.substr(pos_, stop - pos_);
    pos_ = stop;
    if (pos_ < input_.size() && input_[pos_] == '\r') {
      while (pos_ < input_.size() && input_[pos_] == '\r') ++pos_;
      if (pos_ < input_.size() && input_[pos_] == '\n') ++pos_;
    } else if (pos_ < input_.size()) {
      ++pos_;
    }
    return std::string_view(line_);
  }
  void flush() override {}
  bool write_failed() const override { return fail_output; }
  void divert_to_error() override { diverted = true; }
  bool write_data(std::string_view text) override {
    if (fail_output) return false;
    out += text;
    return true;
  }

  std::string out;
  std::string err;
  /// Standard output refuses every write (a closed pipe, a full disk).
  bool fail_output = false;
  /// Console output goes to `err`, leaving `out` to data.
  bool diverted = false;

 private:
  std::string input_;
  std::size_t pos_ = 0;
  std::string line_;
};

}  // namespace corvane

#endif  // CORVANE_TESTS_MEMORY_CONSOLE_H
