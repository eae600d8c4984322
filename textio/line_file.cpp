// Sequential line reading through a fixed buffer, in bounded memory whatever the line lengths.
#include <cerrno>
#include <cstring>

#include "textio/files.h"

namespace corvane {

namespace {
constexpr std::size_t kBufferSize = 1u << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

// The position of the first `c` in [from, end) of `buffer`, or `end` when there is none.
std::size_t position_of(const char* buffer, std::size_t from, std::size_t end, char c) {
  const auto* p = static_cast<const char*>(std::memchr(buffer + from, c, end - from));
  return p != nullptr ? static_cast<std::size_t>(p - buffer) : end;
}
}  // namespace

// What a line file holds between its lines.
struct LineFile::State {
  explicit State(std::unique_ptr<InputFile> f)
      : file(std::move(f)), buffer(new char[kBufferSize]) {}
  // Inlined into LineFile's, its one caller: a line costs no second call.
  [[gnu::always_inline]] inline std::optional<std::string_view> next_line();
  void step_back();
  bool refill();
  bool finish_line_end();
  std::size_t line_end_from(std::size_t from);
  std::string_view deliver(std::string_view line);

  std::unique_ptr<InputFile> file;
  std::unique_ptr<char[]> buffer;
  std::size_t begin_ = 0, end_ = 0;
  std::string long_line_;
  std::string_view last_;
  std::int64_t line_number_ = 0;
  bool have_last_ = false, replay_ = false, eof_ = false, failed_ = false;
  bool started_ = false, after_cr_ = false;
  int errno_ = 0;
  std::size_t lf_at_ = kUnknown;  // next line feed, or end_; kUnknown when not looked for
  std::size_t cr_at_ = kUnknown;  // next carriage return, or end_
};

LineFile::LineFile(std::unique_ptr<InputFile> file)
    : state_(std::make_unique<State>(std::move(file))) {}

LineFile::~LineFile() = default;

std::optional<std::string_view> LineFile::next_line() { return state_->next_line(); }
void LineFile::step_back() { state_->step_back(); }
std::int64_t LineFile::line_number() const { return state_->line_number_; }
bool LineFile::failed() const { return state_->failed_; }
int LineFile::error_number() const { return state_->errno_; }

std::string_view LineFile::buffered_ahead() const {
  const State& s = *state_;
  if (s.replay_ || s.after_cr_ || !s.started_) return {};
  return {s.buffer.get() + s.begin_, s.end_ - s.begin_};
}

void LineFile::pass_lines(std::size_t bytes, std::int64_t lines, std::string_view last) {
  State& s = *state_;
  s.begin_ += bytes;
  s.line_number_ += lines;
  s.last_ = last;
  s.have_last_ = true;
}

void LineFile::State::step_back() {
  if (have_last_ && !replay_) {
    replay_ = true;
    --line_number_;
  }
}

// The first line end at or after `from`: a line feed or a carriage return, whichever comes
// first; end_ when the buffer holds none. The next of each is kept until it is passed, so
// that a file of one kind of line end is never searched twice for the other.
std::size_t LineFile::State::line_end_from(std::size_t from) {
  if (lf_at_ == kUnknown || lf_at_ < from) lf_at_ = position_of(buffer.get(), from, end_, '\n');
  if (cr_at_ == kUnknown || cr_at_ < from) cr_at_ = position_of(buffer.get(), from, end_, '\r');
  return std::min(lf_at_, cr_at_);
}

bool LineFile::State::refill() {
  lf_at_ = cr_at_ = kUnknown;
  if (eof_ || file == nullptr) return false;
  if (begin_ > 0) {
    std::memmove(buffer.get(), buffer.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == kBufferSize) return false;
  const std::ptrdiff_t got = file->read(buffer.get() + end_, kBufferSize - end_);
  if (got <= 0) {
    eof_ = true;
    if (got < 0) {
      failed_ = true;
      errno_ = file->error() != 0 ? file->error() : EIO;
    }
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

// Drops what is left of a line end that began with a carriage return: further carriage
// returns and one line feed after them. False when the file ended on the way.
bool LineFile::State::finish_line_end() {
  for (;;) {
    while (begin_ < end_ && buffer[begin_] == '\r') ++begin_;
    if (begin_ < end_) {
      if (buffer[begin_] == '\n') ++begin_;
      return true;
    }
    if (!refill()) return false;
  }
}

std::optional<std::string_view> LineFile::State::next_line() {
  if (replay_) {
    replay_ = false;
    ++line_number_;
    return last_;
  }
  have_last_ = false;
  if (!started_) {
    // A byte-order mark at the very start of the file is no part of its first line.
    started_ = true;
    while (end_ - begin_ < kByteOrderMark.size() && refill()) {
    }
    if (std::string_view(buffer.get() + begin_, end_ - begin_).starts_with(kByteOrderMark)) {
      begin_ += kByteOrderMark.size();
    }
  }
  if (after_cr_) {
    after_cr_ = false;
    if (!finish_line_end()) return std::nullopt;
  }
  // Fast path: the whole line lies in the buffer.
  for (;;) {
    const std::size_t stop = line_end_from(begin_);
    if (stop < end_) {
      const std::string_view line(buffer.get() + begin_, stop - begin_);
      begin_ = stop + 1;
      after_cr_ = buffer[stop] == '\r';
      return deliver(line);
    }
    if (end_ - begin_ == kBufferSize) break;  // a line longer than the buffer
    if (!refill()) {
      if (begin_ == end_) return std::nullopt;
      // A last line without a line end. The refill may have moved it to the buffer's start.
      const std::string_view line(buffer.get() + begin_, end_ - begin_);
      begin_ = end_;
      return deliver(line);
    }
  }
  // Slow path: keep the first kMaxLineLength bytes of a long line, read past the rest.
  long_line_.clear();
  for (;;) {
    const std::size_t stop = line_end_from(begin_);
    const std::size_t take = stop - begin_;
    const std::size_t room = kMaxLineLength - long_line_.size();
    long_line_.append(buffer.get() + begin_, std::min(take, room));
    begin_ = stop;
    if (stop < end_) {
      ++begin_;
      after_cr_ = buffer[stop] == '\r';
      break;
    }
    begin_ = end_ = 0;
    if (!refill()) break;
  }
  return deliver(long_line_);
}

// The line is handed back from where it was built, not reloaded from last_ just after it was
// stored there.
std::string_view LineFile::State::deliver(std::string_view line) {
  last_ = line;
  have_last_ = true;
  ++line_number_;
  return line;
}

// --- read files ------------------------------------------------------------------------------

ReadFile::ReadFile() = default;
ReadFile::ReadFile(ReadFile&&) noexcept = default;
ReadFile& ReadFile::operator=(ReadFile&&) noexcept = default;
ReadFile::~ReadFile() = default;

ReadFile ReadFile::open(FileSystem& files, int unit, const std::string& name, int& error) {
  error = 0;
  ReadFile f;
  std::unique_ptr<InputFile> in = files.open_input(name, error);
  if (!in) {
    if (error == 0) error = ENOENT;
    return f;
  }
  f.unit_ = unit;
  f.name_ = name;
  f.lines_ = std::make_unique<LineFile>(std::move(in));
  return f;
}

void ReadFile::close() { lines_.reset(); }

}  // namespace corvane
