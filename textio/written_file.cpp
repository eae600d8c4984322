// Written files: temporary files beside their names, renamed into place when finished, and
// removed by the signal handler when the run is interrupted.
#include "textio/written_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "textio/textio.h"

namespace corvane {

namespace {

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

// Holds the cleanup signals back while the table of temporary files changes, so that the
// handler never sees a file that exists but is not in it.
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

mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// The temporary file's template: ".<base>.XXXXXX" in the name's directory.
std::string temporary_template(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  return dir + "." + base + ".XXXXXX";
}

// Creates the temporary file and enters it in the table; -1 with errno set when it cannot.
int create_temporary(const std::string& name, detail::WrittenFile& file) {
  std::string path = temporary_template(name);
  if (path.size() >= kPathRoom) {
    errno = ENAMETOOLONG;
    return -1;
  }
  SignalsHeld held;
  int slot = -1;
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i] == 0) {
      slot = i;
      break;
    }
  }
  if (slot < 0) {
    errno = EMFILE;
    return -1;
  }
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return -1;
  auto& room = g_paths[static_cast<std::size_t>(slot)];
  std::memcpy(room.data(), path.c_str(), path.size() + 1);
  g_in_use[slot] = 1;
  file.temp = path;
  file.slot = slot;
  (void)::fchmod(fd, new_file_mode());
  return fd;
}

void forget_temporary(detail::WrittenFile& file, bool remove) {
  if (file.slot < 0) return;
  SignalsHeld held;
  if (remove) ::unlink(file.temp.c_str());
  g_in_use[file.slot] = 0;
  file.slot = -1;
}

}  // namespace

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

namespace detail {

int open_written(const std::string& name, WrittenFile& file) {
  file = WrittenFile{};
  file.name = name;
  bool in_place = false;
  bool regular = false;
  struct stat here {};
  if (::lstat(name.c_str(), &here) == 0) {
    struct stat target = here;
    const bool link = S_ISLNK(here.st_mode);
    const bool resolves = !link || ::stat(name.c_str(), &target) == 0;
    if (resolves) {
      if (S_ISDIR(target.st_mode)) return EISDIR;
      in_place = S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode) || S_ISBLK(target.st_mode) ||
                 S_ISSOCK(target.st_mode);
      regular = !link && S_ISREG(here.st_mode);
    }
  } else if (errno != ENOENT) {
    return errno;
  }
  if (!in_place) {
    const int fd = create_temporary(name, file);
    if (fd >= 0) {
      file.out = ::fdopen(fd, "wb");
      if (file.out != nullptr) return 0;
      const int e = errno;
      ::close(fd);
      forget_temporary(file, true);
      return e;
    }
    // A writable file in a directory that is not: written in place, as it can be.
    const int e = errno != 0 ? errno : EACCES;
    if (!regular || ::access(name.c_str(), W_OK) != 0) return e;
  }
  errno = 0;
  file.out = std::fopen(name.c_str(), "wb");
  if (file.out == nullptr) return errno != 0 ? errno : EACCES;
  return 0;
}

int finish_written(WrittenFile& file, bool keep) {
  if (file.out == nullptr) return 0;
  int e = 0;
  if (keep) {
    errno = 0;
    if (std::fflush(file.out) != 0 || std::ferror(file.out) != 0) e = errno != 0 ? errno : EIO;
    // The text is on the disk before it takes the name, so a crash cannot leave an empty file.
    if (e == 0 && !file.temp.empty() && ::fsync(::fileno(file.out)) != 0) e = errno;
  }
  errno = 0;
  if (std::fclose(file.out) != 0 && e == 0 && keep) e = errno != 0 ? errno : EIO;
  file.out = nullptr;
  if (file.temp.empty()) return e;
  if (keep && e == 0 && ::rename(file.temp.c_str(), file.name.c_str()) != 0) e = errno;
  forget_temporary(file, !keep || e != 0);
  return e;
}

}  // namespace detail

}  // namespace corvane
