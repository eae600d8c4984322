// Helpers for the fuzz targets: inputs as text, and runs over files held in memory.
#ifndef CORVANE_FUZZ_FUZZ_UTIL_H
#define CORVANE_FUZZ_FUZZ_UTIL_H

#include <cstdint>
#include <string_view>

#include "memory_console.h"
#include "memory_files.h"

namespace corvane::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace corvane::fuzz

#endif  // CORVANE_FUZZ_FUZZ_UTIL_H
