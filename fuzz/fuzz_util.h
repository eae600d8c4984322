// Helpers for the fuzz targets: a private working directory, and files written from the input.
#ifndef CORVANE_FUZZ_FUZZ_UTIL_H
#define CORVANE_FUZZ_FUZZ_UTIL_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvane::fuzz {

/// Moves the process into a fresh directory of its own (once), so that every name the program
/// opens or creates stays inside it.
inline void enter_work_dir() {
  static const bool done = [] {
    char tmpl[] = "/tmp/corvane-fuzz-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (dir == nullptr || chdir(dir) != 0) std::abort();
    static const std::string path = dir;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    });
    return true;
  }();
  (void)done;
}

inline void write_file(const char* name, std::string_view bytes) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace corvane::fuzz

#endif  // CORVANE_FUZZ_FUZZ_UTIL_H
