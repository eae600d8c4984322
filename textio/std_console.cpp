// The console of the process: answers read as they arrive, output in blocks or line by line.
#include "textio/std_console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

#include "textio/files.h"
#include "textio/write_all.h"

namespace corvane {

namespace {

constexpr std::size_t kConsoleBuffer = 1u << 16;

// The console's answer lines, read from a file descriptor with read() (see StdConsole).
class ConsoleInput {
 public:
  explicit ConsoleInput(int fd) : fd_(fd), buffer_(new char[kConsoleBuffer]) {}
  std::optional<std::string_view> next_line();

 private:
  bool fill();
  int fd_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0, end_ = 0;
  std::string line_;
  bool eof_ = false, after_cr_ = false;
};

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

}  // namespace

struct StdConsole::State {
  State() : in(STDIN_FILENO), line_by_line(::isatty(STDOUT_FILENO) == 1) {
    out.reserve(kConsoleBuffer);
  }
  ConsoleInput in;
  std::string out;
  bool line_by_line;
  int out_fd = STDOUT_FILENO;  // standard output, or standard error once diverted
  bool failed = false;
};

StdConsole::StdConsole() : state_(std::make_unique<State>()) {}

StdConsole::~StdConsole() { flush(); }

void StdConsole::write(std::string_view text) {
  State& s = *state_;
  s.out.append(text);
  // At a terminal each line shows as it is complete; into a pipe or a file, in large blocks.
  if (s.out.size() >= kConsoleBuffer ||
      (s.line_by_line && text.find('\n') != std::string_view::npos)) {
    flush();
  }
}

void StdConsole::write_error(std::string_view text) {
  flush();
  (void)write_all(STDERR_FILENO, text);
}

std::optional<std::string_view> StdConsole::read_line() {
  flush();
  return state_->in.next_line();
}

void StdConsole::flush() {
  State& s = *state_;
  if (!s.out.empty() && !s.failed && write_all(s.out_fd, s.out) != 0) s.failed = true;
  s.out.clear();
}

bool StdConsole::write_failed() const { return state_->failed; }

void StdConsole::divert_to_error() {
  flush();
  state_->out_fd = STDERR_FILENO;
  state_->line_by_line = ::isatty(STDERR_FILENO) == 1;
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

}  // namespace corvane
