// Written files: temporary files beside their names, renamed into place when finished.
#include "textio/written_file.h"

#include <cerrno>

namespace corvane::detail {

WrittenFile::~WrittenFile() {
  if (files == nullptr || temp.empty()) return;
  try {
    out.reset();
    (void)files->remove(temp);
  } catch (...) {  // the run is ending already; nothing more can be done here
  }
}

int open_written(FileSystem& files, const std::string& name, WrittenFile& file) {
  file.files = &files;
  file.name = name;
  int error = 0;
  // An open descriptor (standard output through /dev/stdout, say) is written through itself:
  // a temporary file renamed over its name would replace the link instead.
  file.out = files.open_descriptor(name, error);
  if (file.out) return 0;
  if (error != 0) return error;
  const NameType here = files.type(name, false);
  const NameType target = here == NameType::link ? files.type(name, true) : here;
  if (target == NameType::directory) return EISDIR;
  const bool in_place = target == NameType::device || target == NameType::other;
  if (!in_place) {
    file.out = files.create_beside(name, file.temp, error);
    if (file.out) return 0;
    file.temp.clear();
    // A writable file in a directory where no new file can be made is written in place; a
    // link is never followed for it.
    if (here != NameType::regular) return error != 0 ? error : EACCES;
  }
  int in_place_error = 0;
  file.out = files.open_output(name, in_place_error);
  if (file.out) return 0;
  return error != 0 ? error : (in_place_error != 0 ? in_place_error : EACCES);
}

int finish_written(FileSystem& files, WrittenFile& file, bool keep) {
  if (!file.out) return 0;
  int e = 0;
  // The text is on the disk before it takes the name, so that a crash cannot leave an empty
  // report where the old one stood.
  if (keep && !file.temp.empty()) e = file.out->sync();
  const int c = file.out->close();
  if (e == 0 && keep) e = c;
  file.out.reset();
  if (file.temp.empty()) return e;
  if (keep && e == 0) e = files.rename(file.temp, file.name);
  if (!keep || e != 0) (void)files.remove(file.temp);
  file.temp.clear();
  return e;
}

}  // namespace corvane::detail
