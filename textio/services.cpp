// Console and file services: prompts and answers, sequential files by handle, and the ends of
// a run (stop with a message, error report on an unhandled failure).
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "textio/textio.h"
#include "textio/write_all.h"
#include "textio/written_file.h"

namespace corvane {

// --- consoles ------------------------------------------------------------------------------

namespace {
constexpr std::size_t kConsoleBuffer = 1u << 16;
}  // namespace

ConsoleInput::ConsoleInput(int fd) : fd_(fd), buffer_(new char[kConsoleBuffer]) {}

bool ConsoleInput::fill() {
  if (eof_) return false;
  for (;;) {
    // read() hands back what has arrived, a line at a time from a terminal: nothing here
    // waits for more than the line being answered.
    const ssize_t n = ::read(fd_, buffer_.get(), kConsoleBuffer);
    if (n > 0) {
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    eof_ = true;
    return false;
  }
}

std::optional<std::string_view> ConsoleInput::next_line() {
  line_.clear();
  bool any = false;
  for (;;) {
    if (begin_ == end_ && !fill()) {
      if (any) return std::string_view(line_);
      return std::nullopt;
    }
    if (after_cr_) {
      // The rest of a line end that began with a carriage return, as it arrives.
      while (begin_ < end_ && buffer_[begin_] == '\r') ++begin_;
      if (begin_ == end_) continue;
      if (buffer_[begin_] == '\n') ++begin_;
      after_cr_ = false;
      continue;
    }
    const char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    std::size_t take = 0;
    while (take < avail && start[take] != '\n' && start[take] != '\r') ++take;
    const std::size_t room = LineFile::kMaxLineLength - line_.size();
    line_.append(start, std::min(take, room));
    any = true;
    begin_ += take;
    if (take < avail) {
      after_cr_ = start[take] == '\r';
      ++begin_;
      return std::string_view(line_);
    }
  }
}

StdConsole::StdConsole()
    : in_(STDIN_FILENO), line_by_line_(::isatty(STDOUT_FILENO) == 1), out_fd_(STDOUT_FILENO) {
  out_.reserve(kConsoleBuffer);
}

StdConsole::~StdConsole() { flush(); }

void StdConsole::write(std::string_view text) {
  out_.append(text);
  // At a terminal each line shows as it is complete; into a pipe or a file, in large blocks.
  if (out_.size() >= kConsoleBuffer ||
      (line_by_line_ && text.find('\n') != std::string_view::npos)) {
    flush();
  }
}

void StdConsole::write_error(std::string_view text) {
  flush();
  (void)write_all(STDERR_FILENO, text);
}

std::optional<std::string_view> StdConsole::read_line() {
  flush();
  return in_.next_line();
}

void StdConsole::flush() {
  if (!out_.empty() && !failed_ && write_all(out_fd_, out_) != 0) failed_ = true;
  out_.clear();
}

void StdConsole::divert_to_error() {
  flush();
  out_fd_ = STDERR_FILENO;
  line_by_line_ = ::isatty(STDERR_FILENO) == 1;
}

bool StdConsole::write_data(std::string_view text) {
  flush();
  errno = 0;
  if (write_all(STDOUT_FILENO, text) != 0) {
    if (errno == 0) errno = EIO;
    return false;
  }
  return true;
}

// --- services ------------------------------------------------------------------------------

struct Services::OpenFile {
  int handle = 0;
  std::string name;
  detail::WrittenFile written;   // written files
  Keep keep = Keep::at_any_end;  // written files: kept when the run ends before close_file
  bool broken = false;           // a write failed: the file is not kept
  std::unique_ptr<LineFile> in;  // read files
  bool writing() const { return written.out != nullptr; }
};

namespace {

bool names_no_file(std::string_view name) {
  return name.empty() || name.find('\0') != std::string_view::npos;
}

std::string describe(std::string_view operation, int handle, std::string_view name) {
  std::string s(operation);
  s += ", handle ";
  s += std::to_string(handle);
  s += ", file \"";
  s += name;
  s += "\"";
  return s;
}

class ConsoleSource : public LineSource {
 public:
  explicit ConsoleSource(Console& c) : c_(c) {}
  std::optional<std::string_view> next_line() override { return c_.read_line(); }

 private:
  Console& c_;
};

}  // namespace

Services::Services(Console& console, FileSystem& files) : console_(console), files_(files) {}

Services::~Services() {
  try {
    (void)close_all();
  } catch (...) {  // a destructor must not throw; the run is ending with its own report
  }
}

Services::OpenFile* Services::find(int handle) const {
  for (const auto& f : open_) {
    if (f->handle == handle) return f.get();
  }
  return nullptr;
}

bool Services::is_open(int handle) const { return handle == kConsole || find(handle) != nullptr; }

Services::OpenFile& Services::need(int handle, std::string_view operation) {
  OpenFile* f = find(handle);
  if (f == nullptr) {
    fail(Cause::program, "File handle is not open",
         std::string(operation) + ", handle " + std::to_string(handle));
  }
  return *f;
}

void Services::put_console(std::string_view text) {
  if (text.empty()) return;
  console_.write(text);
  held_ = text.back() != '\n';
}

void Services::end_held_line() {
  if (held_) put_console("\n");
}

void Services::prompt(const Layout& layout, std::span<const Value> values) {
  write_line(kConsole, layout, values);
}

std::string_view Services::read_answer_text() {
  console_.flush();
  const auto line = console_.read_line();
  if (!line) fail(Cause::program, "Attempt to read past end of file", "read from the console");
  return *line;
}

ReadResult Services::read_answer(const Layout& layout, std::span<const Var> vars,
                                 Handling handling) {
  console_.flush();
  ConsoleSource source(console_);
  const ReadResult r = read_layout(source, layout, vars);
  const auto h = static_cast<unsigned>(handling);
  if (r.outcome == ReadOutcome::end_of_file && (h & 1u) == 0) {
    fail(Cause::program, "Attempt to read past end of file", "read from the console");
  }
  if (r.outcome == ReadOutcome::conversion_failure && (h & 2u) == 0) {
    fail(Cause::program, kIllegalCharacter, "read from the console");
  }
  return r;
}

bool Services::file_exists(std::string_view name) const {
  const std::string_view n = trim_name(name);
  if (names_no_file(n)) return false;
  return files_.exists(std::string(n));
}

void Services::open_existing(int handle, std::string_view name) {
  if (const int e = try_open_existing(handle, name); e != 0) {
    fail(Cause::system, std::strerror(e), describe("open for reading", handle, trim_name(name)));
  }
}

int Services::try_open_existing(int handle, std::string_view name) {
  if (find(handle) != nullptr) close_file(handle);
  const std::string n(trim_name(name));
  if (names_no_file(n)) return ENOENT;
  int error = 0;
  std::unique_ptr<InputFile> file = files_.open_input(n, error);
  if (!file) return error != 0 ? error : ENOENT;
  auto f = std::make_unique<OpenFile>();
  f->handle = handle;
  f->name = n;
  f->in = std::make_unique<LineFile>(std::move(file));
  open_.push_back(std::move(f));
  return 0;
}

void Services::open_for_writing(int handle, std::string_view name, Keep keep) {
  if (find(handle) != nullptr) close_file(handle);
  const std::string n(trim_name(name));
  const std::string what = describe("open for writing", handle, n);
  if (names_no_file(n)) fail(Cause::system, std::strerror(ENOENT), what);
  auto f = std::make_unique<OpenFile>();
  if (const int e = detail::open_written(files_, n, f->written); e != 0) {
    fail(Cause::system, std::strerror(e), what);
  }
  f->handle = handle;
  f->name = n;
  f->keep = keep;
  open_.push_back(std::move(f));
}

void Services::set_keep(int handle, Keep keep) {
  if (OpenFile* f = find(handle); f != nullptr && f->writing()) f->keep = keep;
}

LineFile& Services::source(int handle) {
  OpenFile& f = need(handle, "read");
  if (!f.in) fail(Cause::program, "File is not open for reading", describe("read", handle, f.name));
  return *f.in;
}

ReadResult Services::read_line(int handle, const Layout& layout, std::span<const Var> vars,
                               Handling handling) {
  LineFile& in = source(handle);
  const ReadResult r = read_layout(in, layout, vars);
  const auto h = static_cast<unsigned>(handling);
  if (r.outcome == ReadOutcome::end_of_file) {
    // Handling the end of a file does not handle a read that failed.
    const std::string what = describe("read", handle, find(handle)->name);
    if (in.failed()) fail(Cause::system, std::strerror(in.error_number()), what);
    if ((h & 1u) == 0) fail(Cause::program, "Attempt to read past end of file", what);
  }
  if (r.outcome == ReadOutcome::conversion_failure && (h & 2u) == 0) {
    fail(Cause::program, kIllegalCharacter, describe("read", handle, find(handle)->name));
  }
  return r;
}

void Services::check_read(int handle) {
  const LineFile& in = source(handle);
  if (in.failed()) {
    fail(Cause::system, std::strerror(in.error_number()),
         describe("read", handle, find(handle)->name));
  }
}

std::optional<std::string_view> Services::read_text(int handle) {
  return source(handle).next_line();
}

void Services::step_back(int handle) { source(handle).step_back(); }

void Services::put(int handle, std::string_view text) {
  if (handle == kConsole) {
    put_console(text);
    return;
  }
  OpenFile& f = need(handle, "write");
  if (!f.writing())
    fail(Cause::program, "File is not open for writing", describe("write", handle, f.name));
  if (const int e = f.written.out->write(text); e != 0) {
    f.broken = true;
    fail(Cause::system, std::strerror(e), describe("write", handle, f.name));
  }
}

void Services::write_line(int handle, const Layout& layout, std::span<const Value> values) {
  scratch_.clear();
  render_layout(scratch_, layout, values);
  put(handle, scratch_);
}

void Services::write_free_form(int handle, std::optional<std::string_view> text) {
  scratch_.clear();
  render_free_form(scratch_, text);
  put(handle, scratch_);
}

void Services::close_file(int handle) {
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if ((*it)->handle != handle) continue;
    std::unique_ptr<OpenFile> f = std::move(*it);
    open_.erase(it);
    if (f->writing()) {
      if (const int e = detail::finish_written(files_, f->written, !f->broken); e != 0) {
        fail(Cause::system, std::strerror(e), describe("close", handle, f->name));
      }
    }
    return;
  }
}

std::optional<Services::CloseProblem> Services::close_all() {
  end_held_line();
  std::optional<CloseProblem> problem;
  while (!open_.empty()) {
    std::unique_ptr<OpenFile> f = std::move(open_.back());
    open_.pop_back();
    if (!f->writing()) continue;
    // A file whose write failed, or that only a completed run keeps, is dropped: the name keeps
    // what it held before.
    const bool keep = !f->broken && f->keep == Keep::at_any_end;
    const int e = detail::finish_written(files_, f->written, keep);
    if (e != 0 && !problem)
      problem = CloseProblem{std::strerror(e), describe("close", f->handle, f->name)};
  }
  console_.flush();
  return problem;
}

void Services::wait_for_return(std::string_view text) {
  write_free_form(kConsole, text);
  console_.flush();
  (void)console_.read_line();  // the end of input counts as Return
}

namespace {

std::string error_report(Services::Cause cause, std::string_view condition,
                         std::string_view operation) {
  std::string report = cause == Services::Cause::system
                           ? " *** Run-time error: the operating system reports a failure\n"
                           : " *** Run-time error\n";
  report += "     ";
  report += condition;
  report += "\n     Operation: ";
  report += operation;
  report += "\n";
  return report;
}

}  // namespace

void Services::stop_run(std::string_view message, int status) {
  end_held_line();
  if (!(message.size() == 1 && message[0] == ' ') && !message.empty()) {
    put_console(message);
    put_console("\n");
  }
  // A report that cannot be completed turns any end into a failure.
  if (const auto problem = close_all()) {
    console_.write_error(error_report(Cause::system, problem->condition, problem->operation));
    throw RunEnd{RunEnd::Why::failed};
  }
  throw RunEnd{RunEnd::Why::stopped, status};
}

void Services::fail(Cause cause, std::string_view condition, std::string_view operation) {
  (void)close_all();
  console_.write_error(error_report(cause, condition, operation));
  throw RunEnd{RunEnd::Why::failed};
}

void HandleSink::put(std::string_view text) { services_.put(handle_, text); }

}  // namespace corvane
