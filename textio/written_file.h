// Files written by the program, made whole before they take their name: the text goes to a
// temporary file beside the name, which is renamed over the name when the file is finished, so
// that a run that fails or is killed leaves the previous file as it was. Devices and FIFOs are
// written in place. Internal to textio/.
#ifndef CORVANE_TEXTIO_WRITTEN_FILE_H
#define CORVANE_TEXTIO_WRITTEN_FILE_H

#include <cstdio>
#include <string>

namespace corvane::detail {

/// A file open for writing.
struct WrittenFile {
  std::FILE* out = nullptr;
  std::string name;  ///< the name the file takes when finished
  std::string temp;  ///< the temporary file written, or empty when written in place
  int slot = -1;     ///< the temporary file's entry among those a signal removes
};

/// Opens `name` for writing. Without following a link first: a directory (itself or through a
/// link) is refused with EISDIR; a character device or FIFO (itself or through a link) is
/// opened in place; anything else (absent, a regular file, a link to one, a dangling link) gets
/// a new temporary file ".<name>.XXXXXX" in the name's directory, with the permissions of a new
/// file (0666 less the umask). When that cannot be created but `name` is a regular file that
/// can be opened for writing, it is written in place. Returns 0, or the error number.
int open_written(const std::string& name, WrittenFile& file);

/// Finishes a written file. When `keep`, its text is flushed and synced and the temporary file
/// renamed over the name; otherwise (or on any failure) the temporary file is removed and the
/// name keeps what it held before. Returns 0, or the error number of the failure.
int finish_written(WrittenFile& file, bool keep);

}  // namespace corvane::detail

#endif  // CORVANE_TEXTIO_WRITTEN_FILE_H
