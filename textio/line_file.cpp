// Sequential line reading through a fixed buffer, in bounded memory whatever the line lengths.
#include <cerrno>
#include <cstring>

#include "textio/textio.h"

namespace corvane {

namespace {
constexpr std::size_t kBufferSize = 1u << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The first line end in [p, p + n): a line feed or a carriage return, whichever comes first;
// nullptr when there is none.
const char* find_line_end(const char* p, std::size_t n) {
  const auto* nl = static_cast<const char*>(std::memchr(p, '\n', n));
  const std::size_t before = nl != nullptr ? static_cast<std::size_t>(nl - p) : n;
  const auto* cr = static_cast<const char*>(std::memchr(p, '\r', before));
  return cr != nullptr ? cr : nl;
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

bool LineFile::refill() {
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
    const char* start = buffer_.get() + begin_;
    const char* stop = find_line_end(start, end_ - begin_);
    if (stop != nullptr) {
      last_ = std::string_view(start, static_cast<std::size_t>(stop - start));
      begin_ = static_cast<std::size_t>(stop - buffer_.get()) + 1;
      after_cr_ = *stop == '\r';
      return deliver();
    }
    if (end_ - begin_ == kBufferSize) break;  // a line longer than the buffer
    if (!refill()) {
      if (begin_ == end_) return std::nullopt;
      // A last line without a line end. The refill may have moved it to the buffer's start.
      last_ = std::string_view(buffer_.get() + begin_, end_ - begin_);
      begin_ = end_;
      return deliver();
    }
  }
  // Slow path: keep the first kMaxLineLength bytes of a long line, read past the rest.
  long_line_.clear();
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    const char* stop = find_line_end(start, avail);
    const std::size_t take = stop != nullptr ? static_cast<std::size_t>(stop - start) : avail;
    const std::size_t room = kMaxLineLength - long_line_.size();
    long_line_.append(start, std::min(take, room));
    begin_ += take;
    if (stop != nullptr) {
      ++begin_;
      after_cr_ = *stop == '\r';
      break;
    }
    begin_ = end_ = 0;
    if (!refill()) break;
  }
  last_ = long_line_;
  return deliver();
}

std::string_view LineFile::deliver() {
  have_last_ = true;
  ++line_number_;
  return last_;
}

}  // namespace corvane
