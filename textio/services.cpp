// Console and file services: prompts and answers, sequential files by handle, and the ends of
// a run (stop with a message, error report on an unhandled failure).
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "textio/textio.h"

namespace corvane {

// --- consoles ------------------------------------------------------------------------------

namespace {
constexpr std::size_t kConsoleBuffer = 1u << 16;
}

StdConsole::StdConsole() : in_(stdin, false) { out_.reserve(kConsoleBuffer); }

StdConsole::~StdConsole() { flush(); }

void StdConsole::write(std::string_view text) {
  out_.append(text);
  if (out_.size() >= kConsoleBuffer) flush();
}

void StdConsole::write_error(std::string_view text) {
  flush();
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::optional<std::string_view> StdConsole::read_line() {
  flush();
  return in_.next_line();
}

void StdConsole::flush() {
  if (!out_.empty() && !failed_) {
    if (std::fwrite(out_.data(), 1, out_.size(), out_stream_) != out_.size()) failed_ = true;
  }
  out_.clear();
  if (!failed_ && std::fflush(out_stream_) != 0) failed_ = true;
}

void StdConsole::divert_to_error() {
  flush();
  out_stream_ = stderr;
}

bool StdConsole::write_data(std::string_view text) {
  flush();
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    if (errno == 0) errno = EIO;
    return false;
  }
  return true;
}

std::optional<std::string_view> MemoryConsole::read_line() {
  if (pos_ >= input_.size()) return std::nullopt;
  std::size_t nl = input_.find('\n', pos_);
  if (nl == std::string::npos) nl = input_.size();
  line_ = input_.substr(pos_, nl - pos_);
  pos_ = nl + 1;
  while (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return std::string_view(line_);
}

// --- services ------------------------------------------------------------------------------

struct Services::OpenFile {
  int handle = 0;
  std::string name;
  std::FILE* out = nullptr;      // written files
  std::unique_ptr<LineFile> in;  // read files
  bool discard = false;          // removed when the run ends before close_file
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

Services::Services(Console& console) : console_(console) {}

Services::~Services() { close_all(); }

Services::OpenFile* Services::find(int handle) const {
  for (const auto& f : files_) {
    if (f->handle == handle) return f.get();
  }
  return nullptr;
}

bool Services::is_open(int handle) const { return handle == kConsole || find(handle) != nullptr; }

Services::OpenFile& Services::need(int handle, std::string_view operation) {
  OpenFile* f = find(handle);
  if (f == nullptr) {
    fail(false, "File handle is not open",
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
  if (!line) fail(false, "Attempt to read past end of file", "read from the console");
  return *line;
}

ReadResult Services::read_answer(const Layout& layout, std::span<const Var> vars,
                                 Handling handling) {
  console_.flush();
  ConsoleSource source(console_);
  const ReadResult r = read_layout(source, layout, vars);
  const auto h = static_cast<unsigned>(handling);
  if (r.outcome == ReadOutcome::end_of_file && (h & 1u) == 0) {
    fail(false, "Attempt to read past end of file", "read from the console");
  }
  if (r.outcome == ReadOutcome::conversion_failure && (h & 2u) == 0) {
    fail(false, kIllegalCharacter, "read from the console");
  }
  return r;
}

bool Services::file_exists(std::string_view name) const {
  const std::string_view n = trim_name(name);
  if (names_no_file(n)) return false;
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(n), ec);
}

void Services::open_existing(int handle, std::string_view name) {
  if (find(handle) != nullptr) close_file(handle);
  const std::string n(trim_name(name));
  const std::string what = describe("open for reading", handle, n);
  if (names_no_file(n)) fail(true, std::strerror(ENOENT), what);
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::path(n), ec)) {
    fail(true, std::strerror(EISDIR), what);
  }
  errno = 0;
  std::FILE* fp = std::fopen(n.c_str(), "rb");
  if (fp == nullptr) fail(true, std::strerror(errno != 0 ? errno : ENOENT), what);
  auto f = std::make_unique<OpenFile>();
  f->handle = handle;
  f->name = n;
  f->in = std::make_unique<LineFile>(fp, true);
  files_.push_back(std::move(f));
}

void Services::open_for_writing(int handle, std::string_view name, Keep keep) {
  if (find(handle) != nullptr) close_file(handle);
  const std::string n(trim_name(name));
  const std::string what = describe("open for writing", handle, n);
  if (names_no_file(n)) fail(true, std::strerror(ENOENT), what);
  errno = 0;
  std::FILE* fp = std::fopen(n.c_str(), "wb");
  if (fp == nullptr) fail(true, std::strerror(errno != 0 ? errno : EACCES), what);
  auto f = std::make_unique<OpenFile>();
  f->handle = handle;
  f->name = n;
  f->out = fp;
  // Only a plain file that this name itself (no link) stands for may be removed again.
  struct stat opened = {};
  struct stat named = {};
  f->discard = keep == Keep::when_closed && fstat(fileno(fp), &opened) == 0 &&
               lstat(n.c_str(), &named) == 0 && S_ISREG(opened.st_mode) && S_ISREG(named.st_mode) &&
               opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
  files_.push_back(std::move(f));
}

LineFile& Services::source(int handle) {
  OpenFile& f = need(handle, "read");
  if (!f.in) fail(false, "File is not open for reading", describe("read", handle, f.name));
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
    if (in.failed()) fail(true, std::strerror(in.error_number()), what);
    if ((h & 1u) == 0) fail(false, "Attempt to read past end of file", what);
  }
  if (r.outcome == ReadOutcome::conversion_failure && (h & 2u) == 0) {
    fail(false, kIllegalCharacter, describe("read", handle, find(handle)->name));
  }
  return r;
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
  if (f.out == nullptr)
    fail(false, "File is not open for writing", describe("write", handle, f.name));
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), f.out) != text.size()) {
    const int e = errno != 0 ? errno : EIO;
    fail(true, std::strerror(e), describe("write", handle, f.name));
  }
}

void Services::write_line(int handle, const Layout& layout, std::span<const Value> values) {
  scratch_.clear();
  render_layout(scratch_, layout, values);
  put(handle, scratch_);
}

void Services::write_free_form(int handle, std::optional<std::string_view> text) {
  scratch_.clear();
  if (text) {
    scratch_.push_back(' ');
    scratch_.append(*text);
  }
  scratch_.push_back('\n');
  put(handle, scratch_);
}

namespace {

// Flushes and closes a written file: 0 when all of it reached the file, else the error number.
int finish_written(std::FILE*& out) {
  errno = 0;
  const bool bad = std::fflush(out) != 0 || std::ferror(out) != 0;
  const int e = errno != 0 ? errno : EIO;
  const bool close_bad = std::fclose(out) != 0;
  out = nullptr;
  return bad || close_bad ? e : 0;
}

}  // namespace

void Services::close_file(int handle) {
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    if ((*it)->handle != handle) continue;
    std::unique_ptr<OpenFile> f = std::move(*it);
    files_.erase(it);
    if (f->out != nullptr) {
      if (const int e = finish_written(f->out); e != 0) {
        fail(true, std::strerror(e), describe("close", handle, f->name));
      }
    }
    return;
  }
}

std::optional<Services::CloseProblem> Services::close_all() {
  end_held_line();
  std::optional<CloseProblem> problem;
  while (!files_.empty()) {
    std::unique_ptr<OpenFile> f = std::move(files_.back());
    files_.pop_back();
    if (f->out == nullptr) continue;
    const int e = finish_written(f->out);
    if (f->discard) {
      std::remove(f->name.c_str());
      continue;
    }
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

std::string error_report(bool system_error, std::string_view condition,
                         std::string_view operation) {
  std::string report = system_error
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
    console_.write_error(error_report(true, problem->condition, problem->operation));
    throw RunEnd{kExitFailure};
  }
  throw RunEnd{status};
}

void Services::fail(bool system_error, std::string_view condition, std::string_view operation) {
  (void)close_all();
  console_.write_error(error_report(system_error, condition, operation));
  throw RunEnd{kExitFailure};
}

void HandleSink::put(std::string_view text) { services_.put(handle_, text); }

}  // namespace corvane
