// Sequential line reading through a fixed buffer, in bounded memory whatever the line lengths.
#include <cerrno>
#include <cstring>

#include "textio/textio.h"

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

LineFile::LineFile(std::unique_ptr<InputFile> file)
    : file_(std::move(file)), buffer_(new char[kBufferSize]) {}

LineFile::~LineFile() = default;

void LineFile::step_back() {
  if (have_last_ && !replay_) {
    replay_ = true;
    --line_number_;
  }
}

// The first line end at or after `from`: a line feed or a carriage return, whichever comes
// first; end_ when the buffer holds none. The next of each is kept until it is passed, so
// that a file of one kind of line end is never searched twice for the other.
std::size_t LineFile::line_end_from(std::size_t from) {
  if (lf_at_ == kUnknown || lf_at_ < from) lf_at_ = position_of(buffer_.get(), from, end_, '\n');
  if (cr_at_ == kUnknown || cr_at_ < from) cr_at_ = position_of(buffer_.get(), from, end_, '\r');
  return std::min(lf_at_, cr_at_);
}

bool LineFile::refill() {
  lf_at_ = cr_at_ = kUnknown;
  if (eof_ || file_ == nullptr) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == kBufferSize) return false;
  const std::ptrdiff_t got = file_->read(buffer_.get() + end_, kBufferSize - end_);
  if (got <= 0) {
    eof_ = true;
    if (got < 0) {
      failed_ = true;
      errno_ = file_->error() != 0 ? file_->error() : EIO;
    }
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

// Drops what is left of a line end that began with a carriage return: further carriage
// returns and one line feed after them. False when the file ended on the way.
bool LineFile::finish_line_end() {
  for (;;) {
    while (begin_ < end_ && buffer_[begin_] == '\r') ++begin_;
    if (begin_ < end_) {
      if (buffer_[begin_] == '\n') ++begin_;
      return true;
    }
    if (!refill()) return false;
  }
}

std::optional<std::string_view> LineFile::next_line() {
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
    if (std::string_view(buffer_.get() + begin_, end_ - begin_).starts_with(kByteOrderMark)) {
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
      const std::string_view line(buffer_.get() + begin_, stop - begin_);
      begin_ = stop + 1;
      after_cr_ = buffer_[stop] == '\r';
      return deliver(line);
    }
    if (end_ - begin_ == kBufferSize) break;  // a line longer than the buffer
    if (!refill()) {
      if (begin_ == end_) return std::nullopt;
      // A last line without a line end. The refill may have moved it to the buffer's start.
      const std::string_view line(buffer_.get() + begin_, end_ - begin_);
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
    long_line_.append(buffer_.get() + begin_, std::min(take, room));
    begin_ = stop;
    if (stop < end_) {
      ++begin_;
      after_cr_ = buffer_[stop] == '\r';
      break;
    }
    begin_ = end_ = 0;
    if (!refill()) break;
  }
  return deliver(long_line_);
}

// The line is handed back from where it was built, not reloaded from last_ just after it was
// stored there.
std::string_view LineFile::deliver(std::string_view line) {
  last_ = line;
  have_last_ = true;
  ++line_number_;
  return line;
}

}  // namespace corvane
