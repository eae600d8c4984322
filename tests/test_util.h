// Helpers shared by the tests: temporary directories, files, and runs of the real program.
#ifndef CORVANE_TESTS_TEST_UTIL_H
#define CORVANE_TESTS_TEST_UTIL_H

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "memory_console.h"

namespace corvane::testing {

/// A fresh directory under the system's temporary directory, removed again at the end.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("corvane-test-" + std::to_string(rd()) + std::to_string(rd()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path& p, std::string_view content) {
  std::ofstream out(p, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// A file of the system's file system opened for reading, as a run opens its data file.
inline ReadFile open_data(const std::filesystem::path& p) {
  int error = 0;
  ReadFile file = ReadFile::open(system_files(), 13, p.string(), error);
  EXPECT_TRUE(file.is_open()) << p << ": " << error;
  return file;
}

// A sink that keeps what is put to it (the readers' console messages).
struct TextSink : Sink {
  std::string text;
  void put(std::string_view t) override { text += t; }
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A file of the project's test data (tests/data/...).
inline std::filesystem::path test_data(std::string_view relative) {
  return std::filesystem::path(CORVANE_TEST_DATA) / relative;
}

/// What a run of the real executable left.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the real executable in `dir` with `input` piped to it; `args` are appended as they
/// stand (already quoted for the shell).
inline RunResult run_corvane(const std::filesystem::path& dir, std::string_view input,
                             std::string_view args = {}) {
  const auto in = dir / ".stdin", out = dir / ".stdout", err = dir / ".stderr";
  write_file(in, input);
  std::ostringstream cmd;
  cmd << "cd '" << dir.string() << "' && '" << CORVANE_EXE << "' " << args << " < '" << in.string()
      << "' > '" << out.string() << "' 2> '" << err.string() << "'";
  const int raw = std::system(cmd.str().c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(out);
  r.err = read_file(err);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

/// Text padded with blanks (or cut) to `width` characters.
inline std::string pad(std::string_view s, std::size_t width) {
  std::string r(s.substr(0, width));
  r.resize(width, ' ');
  return r;
}

/// One series in the measurement layout: decade lines of the 8-character ID, the year in
/// columns 9-12 and up to ten 6-column values, closed by `marker`. A first year below -999 is
/// written with its minus sign in column 8 (the ID's last character).
inline std::string mr_series(std::string_view id, int first_year, const std::vector<int>& values,
                             int marker = 999) {
  std::string out;
  std::vector<int> all(values);
  all.push_back(marker);
  int year = first_year;
  std::size_t i = 0;
  while (i < all.size()) {
    char head[16];
    std::string ident = pad(id, 8);
    int field = year;
    if (year < -999) {
      ident[7] = '-';
      field = -year;
    }
    std::snprintf(head, sizeof head, "%4d", field);
    out += ident + head;
    const int r = ((year % 10) + 10) % 10;
    for (int k = r; k < 10 && i < all.size(); ++k, ++i, ++year) {
      char v[16];
      std::snprintf(v, sizeof v, "%6d", all[i]);
      out += v;
    }
    out += "\n";
  }
  return out;
}

/// A prefix and a number ("S12"), built by appending, which keeps g++ 12's -Wrestrict quiet.
inline std::string numbered(std::string_view prefix, long i) {
  std::string s(prefix);
  s += std::to_string(i);
  return s;
}

/// `count` values all equal to `value`.
inline std::vector<int> constant(std::size_t count, int value) {
  return std::vector<int>(count, value);
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_TEST_UTIL_H
