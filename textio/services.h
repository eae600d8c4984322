// Console and file services: prompts and answers, lines read from and written to files, and
// the ends of a run (a stop with a message, an error report), each handed back as a value.
#ifndef CORVANE_TEXTIO_SERVICES_H
#define CORVANE_TEXTIO_SERVICES_H

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/console.h"
#include "textio/files.h"
#include "textio/layout.h"
#include "textio/result.h"

namespace corvane {

/// The console, as where a write of the services goes.
struct ConsoleTarget {};
inline constexpr ConsoleTarget kConsole{};

/// Where a write of the services goes: the console, or a file open for writing.
class Target {
 public:
  Target(ConsoleTarget) {}                     // NOLINT(runtime/explicit)
  Target(WrittenFile& file) : file_(&file) {}  // NOLINT(runtime/explicit)
  /// The file written, or nothing for the console.
  WrittenFile* file() const { return file_; }

 private:
  WrittenFile* file_ = nullptr;
};

/// Console and file services.
///
/// Usage is: open_existing or open_for_writing a file (the caller owns it), then read_line /
/// read_text / step_back or write_line / write_free_form / put on it, then close_file. Names
/// are 40-character fields: trailing blanks are not part of the name; a name of blanks only,
/// or holding a NUL byte, names no file. Error reports name a file by its unit and name.
///
/// A stop (stop_run) or a failure (an error report) is handed back as an End, which the caller
/// returns; from then on the services' writes do nothing, so that nothing is written after
/// the end but what closes the run (close_file, close_at_end).
class Services {
 public:
  explicit Services(Console& console, FileSystem& files = system_files());
  /// Ends a held console line and flushes the console.
  ~Services();
  Services(const Services&) = delete;
  Services& operator=(const Services&) = delete;

  /// Writes a layout ending with a hold to the console; the answer follows on the same line.
  void prompt(const Layout& layout, std::span<const Value> values = {});
  /// Reads the next console line by the layout: done, a conversion failure or the end of input.
  ReadResult read_answer(const Layout& layout, std::span<const Var> vars);
  /// Reads the next console line as it stands; its end ends the run with an error report.
  Result<std::string_view> read_answer_text();
  /// The error report of a read from the console whose outcome (a conversion failure or the
  /// end of input) its caller does not handle, as the end of the run.
  End unhandled(const ReadResult& read);

  /// True when the name (a name field) names anything.
  bool file_exists(std::string_view name) const;
  /// Opens an existing file for reading from its first line, known by `unit` in error reports;
  /// failure ends the run (error report).
  Result<ReadFile> open_existing(int unit, std::string_view name);
  /// Creates or replaces a file for writing, known by `unit` in error reports; failure ends the
  /// run (error report). The file takes its name whole when it is closed; until then, and for
  /// good when it is destroyed before that, the name keeps what it held. A name that is a
  /// symbolic link is replaced, never followed, unless it leads to a directory (an error), a
  /// device, FIFO or socket (written in place) or an open descriptor (written through it: see
  /// FileSystem::open_descriptor).
  Result<WrittenFile> open_for_writing(int unit, std::string_view name);

  /// Reads the next line of a file by the layout: done, a conversion failure or the end of the
  /// file; a read that the system reports as failed ends the run (error report).
  Result<ReadResult> read_line(ReadFile& file, const Layout& layout, std::span<const Var> vars);
  /// The error report of a read of `file` whose outcome (a conversion failure or the end of the
  /// file) its caller does not handle, as the end of the run; the file is closed.
  End unhandled(const ReadResult& read, ReadFile& file);
  /// The next line of a file as it stands (without its line end), or nothing at its end or on
  /// a failed read. The view stays valid until the next read of the file.
  std::optional<std::string_view> read_text(ReadFile& file);
  /// Ends the run with an error report when the last read of the file failed (the file is then
  /// closed).
  Status check_read(ReadFile& file);
  /// Makes the next read of the file give the line read last once more.
  void step_back(ReadFile& file);

  /// Writes values through a layout to the console or a file. A failed write to a file ends
  /// the run at once (error report); after the end of the run, writes do nothing.
  void write_line(Target to, const Layout& layout, std::span<const Value> values = {});
  /// Writes text as it stands to the console or a file, as write_line does.
  void put(Target to, std::string_view text);
  /// Writes a free-form line (render_free_form) to the console or a file.
  void write_free_form(Target to, std::optional<std::string_view> text = std::nullopt);

  /// Closes a file that was read.
  void close_file(ReadFile& file);
  /// Closes a written file: it is written out, synced and takes its name. A write that failed
  /// before, or a failure now, ends the run (error report) and leaves the name as it was.
  Status close_file(WrittenFile& file);
  /// Closes a written file as the run ends with `end`: after a failure it is kept as far as it
  /// was written (a failure of that goes unreported); otherwise as by close_file, whose failure
  /// turns the end into a failure.
  End close_at_end(WrittenFile& file, End end);

  /// The file system the services work on.
  FileSystem& files() const { return files_; }

  /// Shows the text as a free-form line and waits for one console line (its end counts too).
  void wait_for_return(std::string_view text);
  /// Ends the run: the message (unless a single blank) and a line end on the console. Returns
  /// `end`, for the caller to return.
  End stop_run(std::string_view message, End end);
  /// Who tells of a failure: the operating system (its error text), or the program itself.
  enum class Cause : std::uint8_t { system, program };
  /// Ends the run with an error report on standard error (a held console line ended first).
  /// Returns the failure, for the caller to return; after a failure, nothing more is reported.
  End fail(Cause cause, std::string_view condition, std::string_view operation);
  /// Ends a held console line, if any, with a line feed.
  void end_held_line();
  /// The end that the run met (a stop or a failure), or nothing while it goes on.
  std::optional<End> ended() const { return ended_; }
  /// ended() as a status: it went through while the run goes on.
  Status status() const { return ended_ ? Status(*ended_) : Status(); }

 private:
  // Opens `name` (trimmed) as a File (ReadFile or WrittenFile); the failure of `operation`.
  template <typename File>
  Result<File> open_file(int unit, std::string_view name, std::string_view operation);
  void put_console(std::string_view text);

  Console& console_;
  FileSystem& files_;
  std::string scratch_;
  bool held_ = false;
  std::optional<End> ended_;
};

/// A sink that writes to the console or a file through the services (so that a failed write
/// ends the run at once).
class ServicesSink : public Sink {
 public:
  ServicesSink(Services& services, Target to) : services_(services), to_(to) {}
  /// Writes the text through Services::put.
  void put(std::string_view text) override;

 private:
  Services& services_;
  Target to_;
};

}  // namespace corvane

#endif  // CORVANE_TEXTIO_SERVICES_H
