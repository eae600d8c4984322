// Fixed-column text records, and the console and file services built on them.
//
// This header is the one door to text for the rest of the program: every line that is read
// or written goes through a Layout, applied by the functions and services declared here.
//
// Conventions that hold throughout:
//  - Columns are numbered from 1. One byte is one column; only the space character is a blank.
//  - A Layout is prepared once (built from items, or parsed from a field description) and can
//    then be applied to any number of lines. Reading through it does not allocate; writing
//    appends to a string of the caller's (or of the services'), which keeps its room.
//  - Reads report an outcome (done, conversion failure, end of file); they never throw.
//  - Only the services' own end-of-run paths (stop_run, unhandled failures) throw RunEnd,
//    which the program's entry point alone catches and turns into an exit status.
#ifndef CORVANE_TEXTIO_TEXTIO_H
#define CORVANE_TEXTIO_TEXTIO_H

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/names.h"

namespace corvane {

// ---------------------------------------------------------------------------------------------
// Layout items
// ---------------------------------------------------------------------------------------------

/// One item of a layout, as the builders below make it. Repetitions hold their children.
struct Item {
  enum class Kind : std::uint8_t {
    blanks,      ///< n blanks out; n columns skipped in
    literal,     ///< the text exactly (output only)
    integer,     ///< integer field of width w
    real,        ///< real field of width w with d decimals (fixed-point on output)
    text,        ///< text field of natural width (the value's or variable's own length)
    text_width,  ///< text field of width w
    column,      ///< column position n
    line_break,  ///< end the line, begin the next
    hold,        ///< last item only: the last line is not ended (output only)
    repeat,      ///< children repeated `count` times; `bracketed` tells a group from one item
  };
  Kind kind = Kind::blanks;
  std::int32_t width = 0;     ///< n for blanks and column, w for fields
  std::int32_t decimals = 0;  ///< d for real fields
  std::int32_t count = 1;     ///< repeat count
  bool bracketed = false;     ///< repeat of a bracketed group (the layout resumes from it)
  std::string text;           ///< literal text
  std::vector<Item> children;
};

/// Builders for layout items. `repeat(k, item)` repeats one item (not a bracketed group);
/// `group(k, {...})` is a bracketed group, from which a layout resumes when values outlast it.
Item blanks(std::int32_t n);
Item literal(std::string_view text);
Item integer(std::int32_t width);
Item fixed(std::int32_t width, std::int32_t decimals);
Item text();
Item text(std::int32_t width);
Item column(std::int32_t n);
Item line_break();
Item hold();
Item repeat(std::int32_t count, Item item);
Item group(std::int32_t count, std::initializer_list<Item> items);
Item group(std::int32_t count, std::vector<Item> items);

// ---------------------------------------------------------------------------------------------
// Values written and variables read
// ---------------------------------------------------------------------------------------------

/// A value for output: an integer, a real or a text. Texts are viewed, not copied.
struct Value {
  enum class Kind : std::uint8_t { integer, real, text };
  Kind kind;
  std::int32_t i = 0;
  double r = 0.0;
  std::string_view s;
  constexpr Value(std::int32_t v) : kind(Kind::integer), i(v) {}   // NOLINT(runtime/explicit)
  constexpr Value(double v) : kind(Kind::real), r(v) {}            // NOLINT(runtime/explicit)
  constexpr Value(float v) : kind(Kind::real), r(v) {}             // NOLINT(runtime/explicit)
  constexpr Value(std::string_view v) : kind(Kind::text), s(v) {}  // NOLINT(runtime/explicit)
  constexpr Value(const char* v) : kind(Kind::text), s(v) {}       // NOLINT(runtime/explicit)
};

/// A variable for input. A text variable has a fixed length and is always full (blank padded).
/// An array variable takes as many fields in a row as it has elements.
/// Integer fields store into integer variables; real fields, and integer fields of a parsed
/// description, store into real variables. A field that does not suit its variable's kind is
/// a conversion failure.
struct Var {
  enum class Kind : std::uint8_t { integer, real, text };
  Kind kind;
  void* p;
  std::int32_t count;  ///< elements (integer, real) or characters (text)
  static Var of(std::int32_t& v) { return {Kind::integer, &v, 1}; }
  static Var of(float& v) { return {Kind::real, &v, 1}; }
  static Var of(std::span<std::int32_t> v) {
    return {Kind::integer, v.data(), static_cast<std::int32_t>(v.size())};
  }
  static Var of(std::span<float> v) {
    return {Kind::real, v.data(), static_cast<std::int32_t>(v.size())};
  }
  /// A text variable of `length` characters at `p`.
  static Var text(char* p, std::int32_t length) { return {Kind::text, p, length}; }
  static Var text(std::string& s) {
    return {Kind::text, s.data(), static_cast<std::int32_t>(s.size())};
  }
};

/// Outcome of a read.
enum class ReadOutcome : std::uint8_t { done, conversion_failure, end_of_file };

/// What a read did: its outcome, how many lines it took, how many values it stored
/// (an array of k elements counts k), and on a conversion failure the 1-based column where
/// the failing field begins.
struct ReadResult {
  ReadOutcome outcome = ReadOutcome::done;
  std::int32_t lines = 0;
  std::int32_t values = 0;
  std::int32_t failed_column = 0;
};

/// The text that a conversion failure reports.
inline constexpr std::string_view kIllegalCharacter = "Illegal character in numeric input";

// ---------------------------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------------------------

namespace detail {
struct LayoutPlan;
}

/// A prepared layout: the items flattened once, with the step from which the layout is taken
/// up again when the values outlast it (the last bracketed group that stands directly in the
/// layout, or its beginning). Immutable after construction; copies share what was prepared.
class Layout {
 public:
  Layout();
  Layout(std::initializer_list<Item> items);
  explicit Layout(const std::vector<Item>& items);

  /// True when the layout holds at least one field that takes a value.
  bool has_fields() const;
  /// True when the layout ends with a hold.
  bool holds() const;
  /// The number of lines that reading `values` values by this layout spans (0 for none).
  std::int32_t lines_for(std::int64_t values) const;

  /// What the engine applies (textio/layout_plan.h, internal to textio/).
  const detail::LayoutPlan& plan() const { return *plan_; }

 private:
  std::shared_ptr<const detail::LayoutPlan> plan_;
};

/// Parses a field description of the parenthesised notation that self-describing series carry,
/// such as "(10F8.3)": one list of items separated by commas, each an optional repeat count and
/// one of Fw.d, Ew.d, Dw.d, Gw.d (real fields), Iw (integer field, stored as a real), nX
/// (skip n columns); upper or lower case; blanks ignored; only blanks outside the parentheses;
/// counts and widths at least 1; at least one value item. Returns nothing when the text is no
/// such description.
std::optional<Layout> parse_description(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Field rules on single fields (exposed for the readers' fast paths and for tests)
// ---------------------------------------------------------------------------------------------

/// Integer field rule: blanks anywhere are ignored, then an optional sign and decimal digits;
/// all blanks read 0. A lone sign, any other character, or a value outside 32 bits fails.
bool parse_integer_field(std::string_view field, std::int32_t& out);

/// Real field rule with d implied decimals: blanks ignored; an optional sign, digits with at
/// most one point, an optional exponent (E or D, optional sign, digits). At least one digit.
/// Without a point the last d digits are decimals. Converted straight from the decimal text to
/// the nearest float. All blanks read 0. Anything else, or a value beyond float's range, fails.
bool parse_real_field(std::string_view field, std::int32_t decimals, float& out);

/// Appends an integer right-aligned in w columns (w asterisks when it does not fit).
void format_integer(std::string& out, std::int32_t value, std::int32_t width);

/// Appends a value rounded to d decimals (ties to even on the exact binary value) right-aligned
/// in w columns; "0." loses its zero when only that makes it fit; w asterisks when it does not
/// fit or is not finite. A negative value that rounds to zero keeps its sign.
void format_fixed(std::string& out, double value, std::int32_t width, std::int32_t decimals);

// ---------------------------------------------------------------------------------------------
// Applying layouts
// ---------------------------------------------------------------------------------------------

/// Where rendered text goes.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void put(std::string_view text) = 0;
};

/// Where lines to be read come from. The view returned stays valid until the next call.
class LineSource {
 public:
  virtual ~LineSource() = default;
  /// The next line without its line end, or nothing at the end (or on a failed read).
  virtual std::optional<std::string_view> next_line() = 0;
};

/// Renders values through a layout into `out` (appended): every line ends with a line feed but
/// the last one of a layout that ends with a hold. When the values run out, output stops at
/// the next field that would need one; when they outlast the layout, it is taken up again on a
/// new line from its resume step.
void render_layout(std::string& out, const Layout& layout, std::span<const Value> values);

/// render_layout, then the text put to `sink` at once.
void write_layout(Sink& sink, const Layout& layout, std::span<const Value> values = {});

/// A free-form output line: one blank, then the text in full, then a line end. Without a text,
/// an empty line. render_free_form appends it to `out`; write_free_form puts it to `sink`.
void render_free_form(std::string& out, std::optional<std::string_view> text = std::nullopt);
void write_free_form(Sink& sink, std::optional<std::string_view> text = std::nullopt);

/// Reads the variables from lines of `source`; a line shorter than the layout reads as if
/// padded with blanks, what the layout does not reach is ignored. When the variables outlast
/// the layout the next line is read, the layout taken up again from its resume step. Variables
/// filled before a failure or the end keep their new values.
ReadResult read_layout(LineSource& source, const Layout& layout, std::span<const Var> vars);

/// read_layout with `text` as the only line: needing a second line is end of file.
ReadResult read_layout_from_text(std::string_view text, const Layout& layout,
                                 std::span<const Var> vars);

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
  explicit LineFile(std::unique_ptr<InputFile> file);
  ~LineFile() override;
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  std::optional<std::string_view> next_line() override;
  /// Makes the next next_line() return the line returned last once more.
  void step_back();
  /// The number of the line returned last (0 before the first); a step back counts back.
  std::int64_t line_number() const { return line_number_; }
  /// True when the last next_line() ended on a failed read rather than the file's end.
  bool failed() const { return failed_; }
  int error_number() const { return errno_; }

 private:
  bool refill();
  bool finish_line_end();
  std::size_t line_end_from(std::size_t from);
  std::string_view deliver(std::string_view line);
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0, end_ = 0;
  std::string long_line_;
  std::string_view last_;
  std::int64_t line_number_ = 0;
  bool have_last_ = false, replay_ = false, eof_ = false, failed_ = false;
  bool started_ = false, after_cr_ = false;
  int errno_ = 0;
  std::size_t lf_at_ = static_cast<std::size_t>(-1);  // next line feed, or end_; -1 unknown
  std::size_t cr_at_ = static_cast<std::size_t>(-1);  // next carriage return, or end_
};

// ---------------------------------------------------------------------------------------------
// Console and file services
// ---------------------------------------------------------------------------------------------

/// The text console: standard output for the dialogue and listing, standard error for error
/// reports, standard input for answers.
class Console {
 public:
  virtual ~Console() = default;
  virtual void write(std::string_view text) = 0;
  virtual void write_error(std::string_view text) = 0;
  /// The next answer line without its line end; nothing at the end of input.
  virtual std::optional<std::string_view> read_line() = 0;
  virtual void flush() = 0;
  /// True once a write to standard output has failed.
  virtual bool write_failed() const = 0;
  /// From now on console output goes to standard error, which leaves standard output to the
  /// data of write_data alone.
  virtual void divert_to_error() = 0;
  /// Writes data to standard output and flushes it; false when that failed (errno tells why).
  virtual bool write_data(std::string_view text) = 0;
};

/// The console's answer lines, read from a file descriptor with read(): an answer is taken as
/// soon as its line end has arrived, from a terminal, a pipe or a FIFO. An answer ends at its
/// first carriage return or line feed; when it ends at a carriage return, the carriage returns
/// and the one line feed that directly follow are dropped when they arrive. An answer is kept
/// up to LineFile::kMaxLineLength bytes; the rest is read past. The end of input, or a failed
/// read, is the end for good.
class ConsoleInput {
 public:
  explicit ConsoleInput(int fd);
  /// The next answer without its line end; nothing at the end of input.
  std::optional<std::string_view> next_line();

 private:
  bool fill();
  int fd_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0, end_ = 0;
  std::string line_;
  bool eof_ = false, after_cr_ = false;
};

/// The console of the process: standard input for answers, standard output for the dialogue
/// and listing, standard error for error reports. Output is flushed before every read; at a
/// terminal also at the end of every line.
class StdConsole : public Console {
 public:
  StdConsole();
  ~StdConsole() override;
  void write(std::string_view text) override;
  void write_error(std::string_view text) override;
  std::optional<std::string_view> read_line() override;
  void flush() override;
  bool write_failed() const override { return failed_; }
  void divert_to_error() override;
  bool write_data(std::string_view text) override;

 private:
  ConsoleInput in_;
  std::string out_;
  bool line_by_line_;
  int out_fd_;  // standard output, or standard error once diverted
  bool failed_ = false;
};

/// Thrown by the services to end the run; caught only by the program's entry point.
struct RunEnd {
  enum class Why : std::uint8_t {
    stopped,  ///< stop_run: the status is the one its caller gave
    failed,   ///< an error report: the caller's status for failures applies
  };
  Why why;
  int status = 0;
};

/// What becomes of a written file when the run ends before close_file: kept (the report), or
/// dropped (outputs that only a complete run writes). A file whose write failed is dropped.
enum class Keep : std::uint8_t { at_any_end, when_closed };

/// Removes the temporary files of written files when SIGINT, SIGTERM or SIGHUP ends the
/// process (which then ends by that signal), and ignores SIGXFSZ, so that a file-size limit
/// makes a write fail instead of killing the run. For the program's entry to call once.
void install_signal_cleanup();

/// What a read states as its own handling; an outcome not handled ends the run with an error
/// report.
enum class Handling : std::uint8_t { none = 0, end = 1, conversion = 2, both = 3 };

/// The console's handle: always open, for the services' writes.
inline constexpr int kConsole = 0;

/// Console and file services. Usage is: open_existing or open_for_writing a handle, then
/// read_line / read_text / step_back or write_line / write_free_form on it, then close_file.
/// The console (kConsole) is always open. Names are 40-character fields: trailing blanks are not
/// part of the name; a name of blanks only, or holding a NUL byte, names no file.
class Services {
 public:
  explicit Services(Console& console, FileSystem& files = system_files());
  ~Services();
  Services(const Services&) = delete;
  Services& operator=(const Services&) = delete;

  /// Writes a layout ending with a hold to the console; the answer follows on the same line.
  void prompt(const Layout& layout, std::span<const Value> values = {});
  /// Reads the next console line by the layout; outcomes not handled end the run.
  ReadResult read_answer(const Layout& layout, std::span<const Var> vars,
                         Handling handling = Handling::none);
  /// Reads the next console line as it stands; its end ends the run with an error report.
  std::string_view read_answer_text();

  bool file_exists(std::string_view name) const;
  /// Opens an existing file for reading from its first line; failure ends the run (report).
  void open_existing(int handle, std::string_view name);
  /// open_existing that hands a failure back as the system's error number instead (0: open).
  int try_open_existing(int handle, std::string_view name);
  /// What becomes of a written file when the run ends before close_file.
  using Keep = corvane::Keep;
  /// Creates or replaces a file for writing; failure ends the run (report). The file takes its
  /// name whole when it is closed (see below); until then the name keeps what it held. A name
  /// that is a symbolic link is replaced, never followed, unless it leads to a directory (an
  /// error), a device, FIFO or socket (written in place) or an open descriptor (written through
  /// it: see FileSystem::open_descriptor).
  void open_for_writing(int handle, std::string_view name, Keep keep = Keep::at_any_end);
  /// Changes what becomes of a written file open on `handle` when the run ends before
  /// close_file (a file not open for writing is left alone).
  void set_keep(int handle, Keep keep);

  /// Reads the next line of a file by the layout; outcomes not handled end the run, and so
  /// does a read that the system reports as failed, whatever the handling.
  ReadResult read_line(int handle, const Layout& layout, std::span<const Var> vars,
                       Handling handling = Handling::none);
  /// The next line of a file as it stands (without its line end), or nothing at its end or on
  /// a failed read. The view stays valid until the next read on the handle.
  std::optional<std::string_view> read_text(int handle);
  /// Ends the run with an error report when the last read of the handle's file failed.
  void check_read(int handle);
  /// The handle's file as a line source, for reads that span several lines.
  LineFile& source(int handle);

  void write_line(int handle, const Layout& layout, std::span<const Value> values = {});
  /// Writes text as it stands to the console or a file handle.
  void put(int handle, std::string_view text);
  void write_free_form(int handle, std::optional<std::string_view> text = std::nullopt);
  void step_back(int handle);
  void close_file(int handle);
  bool is_open(int handle) const;
  /// The file system the services work on.
  FileSystem& files() const { return files_; }

  /// Shows the text as a free-form line and waits for one console line (its end counts too).
  void wait_for_return(std::string_view text);
  /// Ends the run: the message (unless a single blank) and a line end on the console, every
  /// file closed, then RunEnd with the status.
  [[noreturn]] void stop_run(std::string_view message, int status);
  /// Who tells of a failure: the operating system (its error text), or the program itself.
  enum class Cause : std::uint8_t { system, program };
  /// Ends the run with an error report on standard error.
  [[noreturn]] void fail(Cause cause, std::string_view condition, std::string_view operation);
  /// Ends a held console line, if any, with a line feed.
  void end_held_line();
  /// What kept a written file from being completed.
  struct CloseProblem {
    std::string condition;
    std::string operation;
  };
  /// Closes every open file (ending a held line first); the first written file that could not
  /// be completed is returned.
  std::optional<CloseProblem> close_all();

 private:
  struct OpenFile;
  OpenFile* find(int handle) const;
  OpenFile& need(int handle, std::string_view operation);
  void put_console(std::string_view text);

  Console& console_;
  FileSystem& files_;
  std::vector<std::unique_ptr<OpenFile>> open_;
  std::string scratch_;
  bool held_ = false;
};

/// Sink that writes to the console or a file handle through the services.
class HandleSink : public Sink {
 public:
  HandleSink(Services& services, int handle) : services_(services), handle_(handle) {}
  void put(std::string_view text) override;

 private:
  Services& services_;
  int handle_;
};

/// A name field cut to its name: trailing blanks dropped.
std::string_view trim_name(std::string_view name);

/// A text cut or padded with blanks to exactly `width` characters.
std::string fit(std::string_view text, std::size_t width);

/// The two forms of escaped text. Both write a backslash as "\\", a tab as "\t", and a line feed,
/// every other byte below 0x20 and 0x7F as "\xHH" (two upper-case hex digits), so that the text
/// stays on one line.
enum class Escaping : std::uint8_t {
  name,    ///< a file name: no quotes; bytes of 0x80 and above as they are (UTF-8 stays readable)
  quoted,  ///< a field's text: between double quotes, a quote as "\"", 0x80 and above as "\xHH"
};

/// The text escaped in the given form: the one escape for names and field texts in lines that
/// scripts read one a line (a check's findings, the command line's messages).
std::string escaped(std::string_view text, Escaping form = Escaping::name);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_TEXTIO_H
