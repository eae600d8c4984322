// Files: the seam through which the program reaches the file system, the line files it reads,
// and the files it reads and writes as objects owned by whoever opened them.
//
// Usage is: ReadFile::open or WrittenFile::open (or the services' open_existing and
// open_for_writing, which report a failure), read the read file's lines() or put text to the
// written file, then close it: a written file takes its name only when it is committed; one
// destroyed before that is discarded and leaves the previous file of its name as it was. A
// file's unit is the number that error reports name it by; nothing looks a file up by it.
#ifndef CORVANE_TEXTIO_FILES_H
#define CORVANE_TEXTIO_FILES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "textio/layout.h"

namespace corvane {

// ---------------------------------------------------------------------------------------------
// Files: every operation the program makes on the file system goes through a FileSystem
// ---------------------------------------------------------------------------------------------

/// A file open for reading.
class InputFile {
 public:
  virtual ~InputFile() = default;
  /// Reads up to `size` bytes into `buffer`: the number read, 0 at the end of the file, or -1
  /// when the read failed (error() then tells the system's error number).
  virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
  virtual int error() const = 0;
};

/// A file open for writing. Each call returns 0, or the system's error number of its failure.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  /// Writes all of `text` (perhaps held in a buffer until later).
  virtual int write(std::string_view text) = 0;
  /// Writes out whatever is held and makes all of it durable on the disk.
  virtual int sync() = 0;
  /// Writes out whatever is held and closes the file; called once, last.
  virtual int close() = 0;
};

/// What a name is, looked at without following a link.
enum class NameType : std::uint8_t { absent, regular, directory, device, link, other };

/// Usage is: the services call these; the program uses the system's file system
/// (system_files()), tests and fuzz targets one held in memory. Names are used as they stand.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  /// True when the name names anything (links followed).
  virtual bool exists(const std::string& name) = 0;
  /// The type of the name itself, or with `follow` of what its links lead to (absent for a
  /// dangling link).
  virtual NameType type(const std::string& name, bool follow) = 0;
  /// Opens a file for reading; nothing, with `error` set, when it cannot.
  virtual std::unique_ptr<InputFile> open_input(const std::string& name, int& error) = 0;
  /// Creates a file or empties an existing one, for writing in place (links followed).
  virtual std::unique_ptr<OutputFile> open_output(const std::string& name, int& error) = 0;
  /// Creates a new file beside `name` (same directory, a name that begins with a dot), with
  /// the permissions of a new file, and tells its name in `temporary`. The system's file system
  /// removes it itself when SIGINT, SIGTERM or SIGHUP ends the process before it is renamed or
  /// removed.
  virtual std::unique_ptr<OutputFile> create_beside(const std::string& name, std::string& temporary,
                                                    int& error) = 0;
  /// Renames `from` over `to` (a link at `to` is replaced); 0 or the error number.
  virtual int rename(const std::string& from, const std::string& to) = 0;
  /// Removes a file; 0 or the error number.
  virtual int remove(const std::string& name) = 0;
  /// The absolute path that a name leads to, links followed (at most 40, so that a loop ends),
  /// also where the file itself does not exist yet; empty when it cannot be told.
  virtual std::string resolve(const std::string& name) = 0;
  /// True when both names exist and are one file.
  virtual bool same_file(const std::string& a, const std::string& b) = 0;
  /// Opens `name` for writing in place when it designates an open descriptor: when, its links
  /// followed as the system follows them, it ends at a link inside a /proc/*/fd/ directory
  /// (/dev/stdout, /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N, a link to one of them),
  /// told from the path as resolved and the directory itself, never from the name's text. One
  /// of the process's own descriptors is written through a duplicate of it, at its offset and
  /// with its flags (never reopened, never truncated); another process's is opened in place.
  /// Nothing, with `error` 0, when the name designates no descriptor; nothing, with `error`
  /// set, when it designates one that cannot be written (EBADF: not open, or not for writing).
  virtual std::unique_ptr<OutputFile> open_descriptor(const std::string& name, int& error) {
    (void)name;
    error = 0;
    return nullptr;
  }
  /// True when the name leads to the very file (device and inode) of standard output.
  virtual bool is_standard_output(const std::string& name) {
    (void)name;
    return false;
  }
};

/// The operating system's file system.
FileSystem& system_files();

// ---------------------------------------------------------------------------------------------
// Line files
// ---------------------------------------------------------------------------------------------

/// A sequential text file read line by line through a fixed buffer, in bounded memory.
///
/// A line ends at a line feed, or at a run of carriage returns with or without one line feed
/// after it: "CR LF", "CR CR LF", "CR" and "CR CR" each end one line, and nothing of a line end
/// is part of the line. A UTF-8 byte-order mark at the very start of the file is skipped. A
/// line is kept up to kMaxLineLength bytes; the rest of it is read past, never stored. One step
/// back is possible. Lines are numbered from 1 as they end.
class LineFile final : public LineSource {
 public:
  static constexpr std::size_t kMaxLineLength = 1u << 17;
  /// Reads `file` from where it stands.
  explicit LineFile(std::unique_ptr<InputFile> file);
  ~LineFile() override;
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  /// The next line without its line end, or nothing at the end of the file or on a failed
  /// read; the view stays valid until the next call.
  std::optional<std::string_view> next_line() override;
  /// Makes the next next_line() return the line returned last once more.
  void step_back();
  /// The number of the line returned last (0 before the first); a step back counts back.
  std::int64_t line_number() const;
  /// True when the last next_line() ended on a failed read rather than the file's end.
  bool failed() const;
  /// The system's error number of that failed read (0 while none failed).
  int error_number() const;

  /// The buffered bytes from the start of the next line on, when next_line() would take its
  /// next line straight from them; empty when it would not (a line to replay after a step back,
  /// a line end still to finish, the file not yet begun). Good until the next call on the file.
  /// A reader may look over whole lines there itself and pass them with pass_lines().
  std::string_view buffered_ahead() const;
  /// Passes over the first `bytes` of buffered_ahead(): `lines` whole lines, each ended by a
  /// line feed or by a carriage return and a line feed, as next_line() would have returned
  /// them; `last` (inside those bytes) is the last of them, the line returned last.
  void pass_lines(std::size_t bytes, std::int64_t lines, std::string_view last);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------------------------------------
// Files as objects
// ---------------------------------------------------------------------------------------------

/// A file open for reading, owned by whoever opened it; move-only. A default-made one, or one
/// moved from or closed, is not open.
class ReadFile {
 public:
  ReadFile();
  ReadFile(ReadFile&&) noexcept;
  ReadFile& operator=(ReadFile&&) noexcept;
  ~ReadFile();

  /// Opens `name` (used as it stands) for reading from its first line, known in error reports
  /// by `unit`. Not open, with `error` set to the system's error number, when it cannot be.
  static ReadFile open(FileSystem& files, int unit, const std::string& name, int& error);

  /// True while the file is open.
  bool is_open() const { return lines_ != nullptr; }
  /// The file's lines. The file must be open.
  LineFile& lines() { return *lines_; }
  /// The number that error reports name the file by (the design's unit number).
  int unit() const { return unit_; }
  /// The name it was opened by.
  const std::string& name() const { return name_; }
  /// Closes the file (nothing to report for a file that was read).
  void close();

 private:
  int unit_ = 0;
  std::string name_;
  std::unique_ptr<LineFile> lines_;
};

/// A file open for writing, owned by whoever opened it; move-only. Its text goes to a new file
/// beside its name, which takes the name only when the file is committed, so that a file
/// destroyed or discarded before that leaves the previous file of its name as it was. Devices,
/// FIFOs, open descriptors, and a writable file in a directory where no new file can be made,
/// are written in place. A default-made one, or one moved from, committed or discarded, is not
/// open.
class WrittenFile final : public Sink {
 public:
  WrittenFile();
  WrittenFile(WrittenFile&&) noexcept;
  WrittenFile& operator=(WrittenFile&&) noexcept;
  /// Discards the file when it is still open.
  ~WrittenFile() override;

  /// Opens `name` (used as it stands) for writing, known in error reports by `unit`. A name
  /// that designates an open descriptor is written through it (FileSystem::open_descriptor).
  /// Otherwise looked at without following a link first: a directory (itself or through a
  /// link) is refused with EISDIR; a device or FIFO (itself or through a link) is opened in
  /// place; anything else (absent, a regular file, a link to one, a dangling link) gets a new
  /// file beside it, and when that cannot be made but `name` is a regular file, it is written
  /// in place. Not open, with `error` set to the system's error number, when it cannot be.
  static WrittenFile open(FileSystem& files, int unit, const std::string& name, int& error);

  /// True while the file is open.
  bool is_open() const;
  /// The number that error reports name the file by (the design's unit number).
  int unit() const;
  /// The name the file takes when it is committed.
  const std::string& name() const;

  /// Writes all of `text` (perhaps held in a buffer until later). After a write has failed
  /// nothing more is written, and the failure is kept (write_error). Nothing on a file that
  /// is not open.
  void put(std::string_view text) override;
  /// The system's error number of the first write that failed; 0 while none has.
  int write_error() const;

  /// Completes the file: its text written out and synced, then renamed over its name. Returns
  /// 0, or the error number of the failure; then, and for a file whose write failed (its
  /// write_error is returned), the file is discarded instead. Afterwards it is not open.
  int commit();
  /// Closes the file and removes what was written of it: its name keeps what it held before.
  /// Afterwards it is not open.
  void discard();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// Removes the temporary files of written files when SIGINT, SIGTERM or SIGHUP ends the
/// process (which then ends by that signal), and ignores SIGXFSZ, so that a file-size limit
/// makes a write fail instead of killing the run. For the program's entry to call once.
void install_signal_cleanup();

}  // namespace corvane

#endif  // CORVANE_TEXTIO_FILES_H
