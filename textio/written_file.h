// Files written by the program, made whole before they take their name: the text goes to a
// temporary file beside the name, which is renamed over the name when the file is finished, so
// that a run that fails or is killed leaves the previous file as it was. Devices, FIFOs and
// open descriptors are written in place. Internal to textio/.
#ifndef CORVANE_TEXTIO_WRITTEN_FILE_H
#define CORVANE_TEXTIO_WRITTEN_FILE_H

#include <memory>
#include <string>

#include "textio/textio.h"

namespace corvane::detail {

/// A file open for writing. A temporary file not yet renamed is removed when this ends, also
/// when an exception (memory running out) passes by.
struct WrittenFile {
  WrittenFile() = default;
  WrittenFile(const WrittenFile&) = delete;
  WrittenFile& operator=(const WrittenFile&) = delete;
  ~WrittenFile();
  FileSystem* files = nullptr;
  std::unique_ptr<OutputFile> out;
  std::string name;  ///< the name the file takes when finished
  std::string temp;  ///< the temporary file written, or empty when written in place
};

/// Opens `name` for writing. A name that designates an open descriptor is written through it
/// (FileSystem::open_descriptor). Otherwise looked at without following a link first: a directory
/// (itself or through a link) is refused with EISDIR; a device or FIFO (itself or through a link)
/// is opened in place; anything else (absent, a regular file, a link to one, a dangling link) gets
/// a new temporary file beside it. When that cannot be made but `name` is a regular file, it is
/// written in place. Returns 0, or the error number.
int open_written(FileSystem& files, const std::string& name, WrittenFile& file);

/// Finishes a written file. When `keep`, its text is written out and synced and the temporary
/// file renamed over the name; otherwise, or on any failure, the temporary file is removed and
/// the name keeps what it held before. Returns 0, or the error number of the failure.
int finish_written(FileSystem& files, WrittenFile& file, bool keep);

}  // namespace corvane::detail

#endif  // CORVANE_TEXTIO_WRITTEN_FILE_H
