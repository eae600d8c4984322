// Writing a whole text to a file descriptor.
#ifndef CORVANE_TEXTIO_WRITE_ALL_H
#define CORVANE_TEXTIO_WRITE_ALL_H

#include <string_view>

namespace corvane {

/// Writes all of `text` to the descriptor `fd`, part after part, again after an interrupted
/// write. Returns 0, or the system's error number of the write that failed (what was written
/// before it stays written).
int write_all(int fd, std::string_view text);

}  // namespace corvane

#endif  // CORVANE_TEXTIO_WRITE_ALL_H
