// The text console: the seam through which the program reaches its standard streams.
#ifndef CORVANE_TEXTIO_CONSOLE_H
#define CORVANE_TEXTIO_CONSOLE_H

#include <optional>
#include <string_view>

namespace corvane {

/// The text console: standard output for the dialogue and listing, standard error for error
/// reports, standard input for answers. The process's own is made by the program's entry
/// (textio/std_console.h); tests and fuzz targets use one held in memory.
class Console {
 public:
  virtual ~Console() = default;
  /// Writes text to standard output (perhaps held until a flush).
  virtual void write(std::string_view text) = 0;
  /// Writes text to standard error, after whatever standard output holds.
  virtual void write_error(std::string_view text) = 0;
  /// The next answer line without its line end; nothing at the end of input.
  virtual std::optional<std::string_view> read_line() = 0;
  /// Writes out what standard output holds.
  virtual void flush() = 0;
  /// True once a write to standard output has failed.
  virtual bool write_failed() const = 0;
  /// From now on console output goes to standard error, which leaves standard output to the
  /// data of write_data alone.
  virtual void divert_to_error() = 0;
  /// Writes data to standard output and flushes it; false when that failed (errno tells why).
  virtual bool write_data(std::string_view text) = 0;
};

}  // namespace corvane

#endif  // CORVANE_TEXTIO_CONSOLE_H
