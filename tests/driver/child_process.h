// The real executable as a child process driven step by step: its standard streams on a
// pseudo-terminal, on pipes or on named files; every wait bounded, so that a program that hangs
// fails the test instead of stalling it; the child killed and reaped when a test leaves early.
#ifndef CORVANE_TESTS_DRIVER_CHILD_PROCESS_H
#define CORVANE_TESTS_DRIVER_CHILD_PROCESS_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvane::testing {

/// How long a test waits for one prompt, or for the end of a short run, before it fails.
inline constexpr int kStepMs = 5000;

/// How the child is started. Streams without a path are pipes to the test (or the terminal).
struct ChildSetup {
  std::filesystem::path dir;      ///< working directory of the run
  std::vector<std::string> args;  ///< arguments after the program's name
  bool terminal = false;          ///< standard input, output and error on a pseudo-terminal
  std::string stdin_path;         ///< opened for reading (a FIFO blocks until its writer opens)
  std::string stdout_path;        ///< opened for writing
  std::string stderr_path;        ///< opened for writing
  bool append = false;            ///< stdout_path and stderr_path opened for appending
  bool ignore_interrupt = false;  ///< SIGINT ignored, as for a job in the background
  rlim_t file_size_limit = RLIM_INFINITY;
  mode_t umask_bits = 022;
};

/// "exit N" or "killed by signal N", for assertion messages.
inline std::string describe_status(std::optional<int> raw) {
  if (!raw) return "still running";
  if (WIFEXITED(*raw)) return "exit " + std::to_string(WEXITSTATUS(*raw));
  if (WIFSIGNALED(*raw)) return "killed by signal " + std::to_string(WTERMSIG(*raw));
  return "status " + std::to_string(*raw);
}

inline std::string exit_text(int code) { return "exit " + std::to_string(code); }
inline std::string signal_text(int sig) { return "killed by signal " + std::to_string(sig); }

/// The names in a directory (not recursive).
inline std::set<std::string> directory_names(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

class Child {
 public:
  explicit Child(const ChildSetup& setup) {
    const std::string exe = CORVANE_EXE;
    std::vector<std::string> argv_text{exe};
    argv_text.insert(argv_text.end(), setup.args.begin(), setup.args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string dir = setup.dir.string();

    int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
    int master = -1, slave = -1;
    if (setup.terminal) {
      winsize ws{};
      ws.ws_row = 24;
      ws.ws_col = 80;
      if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
        ADD_FAILURE() << "openpty: " << std::strerror(errno);
        return;
      }
      ::fcntl(master, F_SETFD, FD_CLOEXEC);
      ::fcntl(slave, F_SETFD, FD_CLOEXEC);
      termios t{};
      ::tcgetattr(slave, &t);
      eof_char_ = static_cast<char>(t.c_cc[VEOF]);
      intr_char_ = static_cast<char>(t.c_cc[VINTR]);
    } else {
      if ((setup.stdin_path.empty() && ::pipe2(in_pipe, O_CLOEXEC) != 0) ||
          (setup.stdout_path.empty() && ::pipe2(out_pipe, O_CLOEXEC) != 0) ||
          (setup.stderr_path.empty() && ::pipe2(err_pipe, O_CLOEXEC) != 0)) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
      }
    }

    pid_ = ::fork();
    if (pid_ < 0) {
      ADD_FAILURE() << "fork: " << std::strerror(errno);
      return;
    }
    if (pid_ == 0) {
      // The child: only async-signal-safe calls until exec.
      struct sigaction dfl {};
      dfl.sa_handler = SIG_DFL;
      for (const int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGXFSZ}) {
        ::sigaction(sig, &dfl, nullptr);
      }
      if (setup.ignore_interrupt) ::signal(SIGINT, SIG_IGN);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      if (setup.terminal) {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) ::dup2(slave, fd);
      } else {
        const auto attach = [](const std::string& path, int flags, int pipe_end, int fd) {
          if (path.empty()) {
            ::dup2(pipe_end, fd);
            return;
          }
          const int opened = ::open(path.c_str(), flags, 0666);
          if (opened < 0) ::_exit(126);
          ::dup2(opened, fd);
          ::close(opened);
        };
        attach(setup.stdin_path, O_RDONLY, in_pipe[0], 0);
        const int write_flags = O_WRONLY | O_CREAT | (setup.append ? O_APPEND : O_TRUNC);
        attach(setup.stdout_path, write_flags, out_pipe[1], 1);
        attach(setup.stderr_path, write_flags, err_pipe[1], 2);
      }
      if (::chdir(dir.c_str()) != 0) ::_exit(126);
      ::umask(setup.umask_bits);
      if (setup.file_size_limit != RLIM_INFINITY) {
        const rlimit limit{setup.file_size_limit, setup.file_size_limit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }

    if (setup.terminal) {
      ::close(slave);
      in_ = master;
      out_fd_ = ::dup(master);
    } else {
      for (int* p : {in_pipe, out_pipe, err_pipe}) {
        const bool write_end_ours = p == in_pipe;
        if (p[0] < 0) continue;
        ::close(write_end_ours ? p[0] : p[1]);
      }
      in_ = in_pipe[1];
      out_fd_ = out_pipe[0];
      err_fd_ = err_pipe[0];
    }
    out_open_ = out_fd_ >= 0;
    err_open_ = err_fd_ >= 0;
  }

  ~Child() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int raw = 0;
      while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
      }
    }
    for (const int fd : {in_, out_fd_, err_fd_}) {
      if (fd >= 0) ::close(fd);
    }
    for (const auto& x : extra_) ::close(x.fd);
  }

  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  /// Everything read from standard output (on a terminal: all output, echo included) so far.
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  /// The read end of the standard-output pipe.
  int stdout_fd() const { return out_fd_; }
  /// The terminal's end-of-file and interrupt characters (Ctrl-D and Ctrl-C unless set
  /// otherwise).
  char eof_char() const { return eof_char_; }
  char intr_char() const { return intr_char_; }

  /// Makes `fd` the end that send() writes to (for a FIFO opened by the test).
  void set_input(int fd) {
    if (in_ >= 0 && in_ != out_fd_) ::close(in_);
    in_ = fd;
  }

  /// A further descriptor whose data is read, alongside the child's outputs, while waiting.
  std::size_t watch(int fd) {
    extra_.push_back({fd, {}, true});
    return extra_.size() - 1;
  }
  const std::string& watched(std::size_t i) const { return extra_[i].data; }

  /// Waits until `text` appears in the output after the previous match; the next wait looks
  /// behind it. False when the time runs out or the output ends first.
  bool wait_for(std::string_view text, int timeout_ms = kStepMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      const std::size_t at = out_.find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      const auto left = remaining(deadline);
      if (left <= 0) return false;
      if (!pump(left) && !any_open()) return out_.find(text, cursor_) != std::string::npos;
    }
  }

  /// Reads whatever arrives within `ms` milliseconds; true when `text` did not appear behind
  /// the last match meanwhile.
  bool stays_without(std::string_view text, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (remaining(deadline) > 0 && any_open()) pump(remaining(deadline));
    return out_.find(text, cursor_) == std::string::npos;
  }

  /// Writes bytes to the child's standard input; false when they could not all be written.
  bool send(std::string_view bytes) {
    if (in_ < 0) return false;
    // A child that has already ended must fail the test, not kill it with SIGPIPE.
    sigset_t pipe_set, old;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_set, &old);
    bool ok = true;
    while (!bytes.empty()) {
      const ssize_t n = ::write(in_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (!ok && errno == EPIPE) {
      const timespec zero{};
      ::sigtimedwait(&pipe_set, nullptr, &zero);
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
  }

  /// Closes the child's standard input (a pipe or FIFO: the end of its input).
  void close_input() {
    if (in_ >= 0 && in_ != out_fd_) {
      ::close(in_);
      in_ = -1;
    }
  }

  /// Closes the test's side of the terminal or pipes: a terminal hangs up.
  void hang_up() {
    for (int* fd : {&in_, &out_fd_, &err_fd_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
    out_open_ = err_open_ = false;
  }

  void signal(int sig) {
    if (pid_ > 0 && !status_) ::kill(pid_, sig);
  }

  /// Waits for the child's end, reading its outputs meanwhile when `drain` is set; the raw wait
  /// status, or nothing when the time runs out (the child then still runs).
  std::optional<int> wait_exit(int timeout_ms = kStepMs, bool drain = true) {
    if (status_) return status_;
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int raw = 0;
      const pid_t r = ::waitpid(pid_, &raw, WNOHANG);
      if (r == pid_) {
        status_ = raw;
        break;
      }
      const auto left = remaining(deadline);
      if (left <= 0) return std::nullopt;
      const int slice = static_cast<int>(std::min<long>(left, 20));
      if (drain && any_open()) {
        pump(slice);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
      }
    }
    // The outputs end with the child; take what is left in them.
    if (drain) {
      const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
      while (any_open() && remaining(until) > 0) pump(remaining(until));
    }
    return status_;
  }

  /// True while the child has not been reaped and is not runnable (asleep in a call).
  bool is_asleep() const {
    if (pid_ <= 0 || status_) return false;
    const std::string stat_path = "/proc/" + std::to_string(pid_) + "/stat";
    const int fd = ::open(stat_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[512];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return false;
    const std::string_view s(buf, static_cast<std::size_t>(n));
    const std::size_t paren = s.rfind(')');
    return paren != std::string_view::npos && paren + 2 < s.size() && s[paren + 2] == 'S';
  }

 private:
  using Clock = std::chrono::steady_clock;

  struct Extra {
    int fd;
    std::string data;
    bool open;
  };

  static long remaining(Clock::time_point deadline) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
  }

  bool any_open() const {
    if (out_open_ || err_open_) return true;
    for (const auto& x : extra_) {
      if (x.open) return true;
    }
    return false;
  }

  // Reads from every open output for at most `ms` milliseconds; true when anything arrived.
  bool pump(long ms) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::string*, bool*>> targets;
    if (out_open_ && out_fd_ >= 0) {
      fds.push_back({out_fd_, POLLIN, 0});
      targets.emplace_back(&out_, &out_open_);
    }
    if (err_open_ && err_fd_ >= 0) {
      fds.push_back({err_fd_, POLLIN, 0});
      targets.emplace_back(&err_, &err_open_);
    }
    for (auto& x : extra_) {
      if (!x.open) continue;
      fds.push_back({x.fd, POLLIN, 0});
      targets.emplace_back(&x.data, &x.open);
    }
    if (fds.empty()) return false;
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::max(ms, 0L)));
    if (ready <= 0) return false;
    bool got = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      char buf[65536];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        targets[i].first->append(buf, static_cast<std::size_t>(n));
        got = true;
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        // The end of a pipe, or EIO from a terminal whose other side has closed.
        *targets[i].second = false;
      }
    }
    return got;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool out_open_ = false;
  bool err_open_ = false;
  char eof_char_ = '\x04';
  char intr_char_ = '\x03';
  std::string out_, err_;
  std::size_t cursor_ = 0;
  std::vector<Extra> extra_;
  std::optional<int> status_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_DRIVER_CHILD_PROCESS_H
