// The operating system's file system, and the removal of temporary files when a signal ends
// the process.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>

#include "textio/textio.h"
#include "textio/write_all.h"

namespace corvane {

namespace {

// --- temporary files that a signal removes ---------------------------------------------------

// The temporary files that exist at the moment, as paths prepared for the signal handler,
// which may only make async-signal-safe calls. A slot is in use while its flag is set.
constexpr int kSlots = 8;
constexpr std::size_t kPathRoom = 4096;
std::array<std::array<char, kPathRoom>, kSlots> g_paths{};
volatile std::sig_atomic_t g_in_use[kSlots] = {};

constexpr std::array<int, 3> kCleanupSignals = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temporaries_and_die(int sig) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i] != 0) ::unlink(g_paths[static_cast<std::size_t>(i)].data());
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // delivered, with its default action, when the handler returns
}

// Holds the cleanup signals back while the table of temporary files and the files themselves
// change together, so that the handler never misses a file that exists.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kCleanupSignals) sigaddset(&set, s);
    ::sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

int free_slot() {
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i] == 0) return i;
  }
  return -1;
}

// The slot of a temporary file's path, or -1.
int slot_of(const std::string& path) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i] != 0 && path == g_paths[static_cast<std::size_t>(i)].data()) return i;
  }
  return -1;
}

// --- files -----------------------------------------------------------------------------------

class SystemInput : public InputFile {
 public:
  explicit SystemInput(int fd) : fd_(fd) {}
  ~SystemInput() override { ::close(fd_); }
  SystemInput(const SystemInput&) = delete;
  SystemInput& operator=(const SystemInput&) = delete;
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
  }
  int error() const override { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

// Writes through a buffer of its own, in large blocks.
class SystemOutput : public OutputFile {
 public:
  explicit SystemOutput(int fd) : fd_(fd) { held_.reserve(kBlock); }
  ~SystemOutput() override {
    if (fd_ >= 0) ::close(fd_);
  }
  SystemOutput(const SystemOutput&) = delete;
  SystemOutput& operator=(const SystemOutput&) = delete;
  int write(std::string_view text) override {
    if (held_.size() + text.size() > kBlock) {
      if (const int e = write_out(); e != 0) return e;
      if (text.size() >= kBlock) return write_all(fd_, text);
    }
    held_.append(text);
    return 0;
  }
  int sync() override {
    if (const int e = write_out(); e != 0) return e;
    return ::fsync(fd_) == 0 ? 0 : errno;
  }
  int close() override {
    const int e = write_out();
    const int c = ::close(fd_);
    fd_ = -1;
    if (e != 0) return e;
    return c == 0 ? 0 : errno;
  }

 private:
  static constexpr std::size_t kBlock = 1u << 16;
  int write_out() {
    const int e = write_all(fd_, held_);
    held_.clear();
    return e;
  }
  int fd_;
  std::string held_;
};

mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

NameType type_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return NameType::regular;
  if (S_ISDIR(st.st_mode)) return NameType::directory;
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISBLK(st.st_mode)) return NameType::device;
  if (S_ISLNK(st.st_mode)) return NameType::link;
  return NameType::other;
}

// --- names that designate open descriptors ----------------------------------------------------

constexpr long kProcMagic = 0x9fa0;  // the f_type of the proc file system
constexpr int kMaxLinks = 40;

bool same_object(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A directory of descriptor links: a directory named "fd" of the proc file system.
bool is_descriptor_directory(const std::string& dir) {
  if (dir.size() < 3 || dir.compare(dir.size() - 3, 3, "/fd") != 0) return false;
  struct statfs fs {};
  return ::statfs(dir.c_str(), &fs) == 0 && static_cast<long>(fs.f_type) == kProcMagic;
}

// What a name leads to when it ends at a link in a descriptor directory.
struct DescriptorName {
  bool found = false;
  bool own = false;  // in this process's own descriptor directory
  int fd = -1;       // the descriptor's number; -1 when the entry does not exist
  std::string path;  // the link's resolved path
};

std::vector<std::string> components(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.emplace_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

DescriptorName descriptor_at(const std::string& dir, const std::string& entry, bool exists) {
  DescriptorName d;
  d.found = true;
  d.path = dir + "/" + entry;
  d.own = same_object(dir, "/proc/self/fd") || same_object(dir, "/proc/thread-self/fd");
  if (exists && !entry.empty() && entry.size() <= 9 &&
      entry.find_first_not_of("0123456789") == std::string::npos) {
    d.fd = std::stoi(entry);
  }
  return d;
}

// Follows the name one component at a time, as the system resolves it, links included (at most
// kMaxLinks), and stops at a link inside a descriptor directory, which is not followed: the
// descriptor it names is what the name designates. Found is false for any other name.
DescriptorName find_descriptor(const std::string& name) {
  if (name.empty()) return {};
  std::string dir;  // resolved so far: absolute, no slash at its end ("" for the root)
  if (name[0] != '/') {
    std::error_code ec;
    dir = std::filesystem::current_path(ec).string();
    if (ec) return {};
    if (dir == "/") dir.clear();
  }
  std::deque<std::string> rest;
  for (std::string& c : components(name)) rest.push_back(std::move(c));
  int links = 0;
  while (!rest.empty()) {
    const std::string c = std::move(rest.front());
    rest.pop_front();
    if (c == ".") continue;
    if (c == "..") {
      dir.erase(std::min(dir.rfind('/'), dir.size()));
      continue;
    }
    const std::string path = dir + "/" + c;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (rest.empty() && is_descriptor_directory(dir)) return descriptor_at(dir, c, false);
      return {};
    }
    if (!S_ISLNK(st.st_mode)) {
      dir = path;
      continue;
    }
    if (rest.empty() && is_descriptor_directory(dir)) return descriptor_at(dir, c, true);
    if (++links > kMaxLinks) return {};
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    if (!target.empty() && target[0] == '/') dir.clear();
    const std::vector<std::string> parts = components(target);
    rest.insert(rest.begin(), parts.begin(), parts.end());
  }
  return {};
}

class SystemFileSystem : public FileSystem {
 public:
  bool exists(const std::string& name) override {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
  }

  NameType type(const std::string& name, bool follow) override {
    struct stat st {};
    const int r = follow ? ::stat(name.c_str(), &st) : ::lstat(name.c_str(), &st);
    return r == 0 ? type_of(st) : NameType::absent;
  }

  std::unique_ptr<InputFile> open_input(const std::string& name, int& error) override {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      error = EISDIR;
      return nullptr;
    }
    return std::make_unique<SystemInput>(fd);
  }

  std::unique_ptr<OutputFile> open_output(const std::string& name, int& error) override {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    return std::make_unique<SystemOutput>(fd);
  }

  std::unique_ptr<OutputFile> create_beside(const std::string& name, std::string& temporary,
                                            int& error) override {
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string path = name.substr(0, base) + "." + name.substr(base) + ".XXXXXX";
    if (path.size() >= kPathRoom) {
      error = ENAMETOOLONG;
      return nullptr;
    }
    SignalsHeld held;
    const int slot = free_slot();
    if (slot < 0) {
      error = EMFILE;
      return nullptr;
    }
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    std::memcpy(g_paths[static_cast<std::size_t>(slot)].data(), path.c_str(), path.size() + 1);
    g_in_use[slot] = 1;
    (void)::fchmod(fd, new_file_mode());
    temporary = path;
    return std::make_unique<SystemOutput>(fd);
  }

  int rename(const std::string& from, const std::string& to) override {
    SignalsHeld held;
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    if (const int slot = slot_of(from); slot >= 0) g_in_use[slot] = 0;
    return 0;
  }

  int remove(const std::string& name) override {
    SignalsHeld held;
    const int r = ::unlink(name.c_str()) == 0 ? 0 : errno;
    if (const int slot = slot_of(name); slot >= 0) g_in_use[slot] = 0;
    return r;
  }

  std::string resolve(const std::string& name) override {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(name), ec);
    if (ec) return {};
    for (int links = 0; links < 40; ++links) {
      p = fs::weakly_canonical(p, ec);
      if (ec) return {};
      std::error_code lec;
      if (!fs::is_symlink(fs::symlink_status(p, lec))) break;
      const fs::path target = fs::read_symlink(p, lec);
      if (lec) break;
      p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
  }

  bool same_file(const std::string& a, const std::string& b) override { return same_object(a, b); }

  std::unique_ptr<OutputFile> open_descriptor(const std::string& name, int& error) override {
    error = 0;
    const DescriptorName d = find_descriptor(name);
    if (!d.found) return nullptr;
    if (!d.own) {
      // Another process's descriptor: what it leads to, opened in place.
      const int fd = ::open(d.path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      if (fd < 0) {
        error = errno;
        return nullptr;
      }
      return std::make_unique<SystemOutput>(fd);
    }
    const int flags = d.fd < 0 ? -1 : ::fcntl(d.fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
      error = EBADF;
      return nullptr;
    }
    // A duplicate shares the offset and the flags (O_APPEND of ">>" included) and is closed
    // alone when the output is finished.
    const int fd = ::fcntl(d.fd, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    return std::make_unique<SystemOutput>(fd);
  }

  bool is_standard_output(const std::string& name) override {
    struct stat sn {
    }, so{};
    return ::stat(name.c_str(), &sn) == 0 && ::fstat(STDOUT_FILENO, &so) == 0 &&
           sn.st_dev == so.st_dev && sn.st_ino == so.st_ino;
  }
};

}  // namespace

FileSystem& system_files() {
  static SystemFileSystem files;
  return files;
}

void install_signal_cleanup() {
  struct sigaction action {};
  action.sa_handler = remove_temporaries_and_die;
  sigemptyset(&action.sa_mask);
  for (const int s : kCleanupSignals) sigaddset(&action.sa_mask, s);
  for (const int s : kCleanupSignals) {
    struct sigaction old {};
    // A signal ignored when the program started (a run in the background) stays ignored.
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
  // A file-size limit makes a write fail, which the run reports, instead of killing it.
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace corvane
