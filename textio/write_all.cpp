// Writing a whole text to a file descriptor.
#include "textio/write_all.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace corvane {

int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace corvane
