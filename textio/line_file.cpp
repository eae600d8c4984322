// Sequential line reading through a fixed buffer, in bounded memory whatever the line lengths.
#include <cerrno>
#include <cstring>

#include "textio/textio.h"

namespace corvane {

namespace {
constexpr std::size_t kBufferSize = 1u << 16;

std::string_view drop_carriage_returns(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}
}  // namespace

LineFile::LineFile(std::FILE* file, bool owns)
    : file_(file), owns_(owns), buffer_(new char[kBufferSize]) {}

LineFile::~LineFile() {
  if (owns_ && file_ != nullptr) std::fclose(file_);
}

void LineFile::step_back() { replay_ = have_last_; }

bool LineFile::refill() {
  if (eof_ || file_ == nullptr) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == kBufferSize) return false;
  const std::size_t got = std::fread(buffer_.get() + end_, 1, kBufferSize - end_, file_);
  end_ += got;
  if (got == 0) {
    eof_ = true;
    if (std::ferror(file_)) {
      failed_ = true;
      errno_ = errno != 0 ? errno : EIO;
    }
    return false;
  }
  return true;
}

std::optional<std::string_view> LineFile::next_line() {
  if (replay_) {
    replay_ = false;
    return last_;
  }
  have_last_ = false;
  // Fast path: the whole line lies in the buffer.
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    if (nl != nullptr) {
      last_ = drop_carriage_returns(std::string_view(start, static_cast<std::size_t>(nl - start)));
      begin_ = static_cast<std::size_t>(nl - buffer_.get()) + 1;
      have_last_ = true;
      return last_;
    }
    if (end_ - begin_ == kBufferSize) break;  // a line longer than the buffer
    if (!refill()) {
      if (begin_ == end_) return std::nullopt;
      // A last line without a line end. The refill may have moved it to the buffer's start.
      last_ = drop_carriage_returns(std::string_view(buffer_.get() + begin_, end_ - begin_));
      begin_ = end_;
      have_last_ = true;
      return last_;
    }
  }
  // Slow path: keep the first kMaxLineLength bytes of a long line, read past the rest.
  long_line_.clear();
  bool ended = false;
  bool cut = false;
  while (!ended) {
    const char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
    const std::size_t take = nl != nullptr ? static_cast<std::size_t>(nl - start) : avail;
    const std::size_t room = kMaxLineLength - long_line_.size();
    long_line_.append(start, std::min(take, room));
    cut |= take > room;
    begin_ += take;
    if (nl != nullptr) {
      ++begin_;
      ended = true;
    } else {
      begin_ = end_ = 0;
      if (!refill()) ended = true;
    }
  }
  // Carriage returns end a line only when they stand just before its end; a line cut at the
  // limit keeps what it has.
  last_ = cut ? std::string_view(long_line_) : drop_carriage_returns(long_line_);
  have_last_ = true;
  return last_;
}

}  // namespace corvane
