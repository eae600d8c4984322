// Written files: temporary files beside their names, renamed into place when committed.
#include <cerrno>

#include "textio/files.h"

namespace corvane {

// An open written file: where its text goes and the name it takes.
struct WrittenFile::State {
  FileSystem* files = nullptr;
  int unit = 0;
  std::unique_ptr<OutputFile> out;
  std::string name;     // the name the file takes when committed
  std::string temp;     // the temporary file written, or empty when written in place
  int write_error = 0;  // the first failed write's error number
};

namespace {

// Opens the file's output as WrittenFile::open tells; 0 or the error number.
int open_output(FileSystem& files, const std::string& name, std::unique_ptr<OutputFile>& out,
                std::string& temp) {
  int error = 0;
  // An open descriptor (standard output through /dev/stdout, say) is written through itself:
  // a temporary file renamed over its name would replace the link instead.
  out = files.open_descriptor(name, error);
  if (out) return 0;
  if (error != 0) return error;
  const NameType here = files.type(name, false);
  const NameType target = here == NameType::link ? files.type(name, true) : here;
  if (target == NameType::directory) return EISDIR;
  const bool in_place = target == NameType::device || target == NameType::other;
  if (!in_place) {
    out = files.create_beside(name, temp, error);
    if (out) return 0;
    temp.clear();
    // A writable file in a directory where no new file can be made is written in place; a
    // link is never followed for it.
    if (here != NameType::regular) return error != 0 ? error : EACCES;
  }
  int in_place_error = 0;
  out = files.open_output(name, in_place_error);
  if (out) return 0;
  return error != 0 ? error : (in_place_error != 0 ? in_place_error : EACCES);
}

// Ends a file's output: kept (written out, synced, the temporary file renamed over `name`) or
// not (the temporary file removed). 0, or the error number of the failure; on a failure the
// temporary file is removed too.
int finish(FileSystem& files, std::unique_ptr<OutputFile>& out, const std::string& name,
           std::string& temp, bool keep) {
  if (!out) return 0;
  int e = 0;
  // The text is on the disk before it takes the name, so that a crash cannot leave an empty
  // report where the old one stood.
  if (keep && !temp.empty()) e = out->sync();
  const int c = out->close();
  if (e == 0 && keep) e = c;
  out.reset();
  if (temp.empty()) return e;
  if (keep && e == 0) e = files.rename(temp, name);
  if (!keep || e != 0) (void)files.remove(temp);
  temp.clear();
  return e;
}

}  // namespace

WrittenFile::WrittenFile() = default;
WrittenFile::WrittenFile(WrittenFile&&) noexcept = default;

WrittenFile& WrittenFile::operator=(WrittenFile&& other) noexcept {
  if (this != &other) {
    discard();
    state_ = std::move(other.state_);
  }
  return *this;
}

WrittenFile::~WrittenFile() { discard(); }

WrittenFile WrittenFile::open(FileSystem& files, int unit, const std::string& name, int& error) {
  WrittenFile f;
  auto state = std::make_unique<State>();
  state->files = &files;
  state->unit = unit;
  state->name = name;
  // The state is held before the output is opened, so that a temporary file made on the way
  // is removed also when an exception (memory running out) passes by.
  f.state_ = std::move(state);
  error = open_output(files, name, f.state_->out, f.state_->temp);
  if (error != 0) {
    f.state_.reset();
    return f;
  }
  return f;
}

bool WrittenFile::is_open() const { return state_ != nullptr; }

int WrittenFile::unit() const { return state_ ? state_->unit : 0; }

const std::string& WrittenFile::name() const {
  static const std::string none;
  return state_ ? state_->name : none;
}

void WrittenFile::put(std::string_view text) {
  if (!state_ || state_->write_error != 0) return;
  state_->write_error = state_->out->write(text);
}

int WrittenFile::write_error() const { return state_ ? state_->write_error : 0; }

int WrittenFile::commit() {
  if (!state_) return 0;
  if (const int e = state_->write_error; e != 0) {
    discard();
    return e;
  }
  int e = 0;
  try {
    e = finish(*state_->files, state_->out, state_->name, state_->temp, true);
  } catch (...) {  // memory ran out on the way: the file is not half committed
    discard();
    throw;
  }
  state_.reset();
  return e;
}

void WrittenFile::discard() {
  if (!state_) return;
  try {
    (void)finish(*state_->files, state_->out, state_->name, state_->temp, false);
    // A temporary file that an interrupted finish left is removed all the same.
    if (!state_->temp.empty()) {
      state_->out.reset();
      (void)state_->files->remove(state_->temp);
    }
  } catch (...) {  // the run is ending already (memory ran out); nothing more can be done here
  }
  state_.reset();
}

}  // namespace corvane
