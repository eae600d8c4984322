// trrw with the index layout over an arbitrary file.
#include "fuzz/fuzz_trrw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return corvane::fuzz::read_all(data, size, corvane::LayoutCode::ir);
}
