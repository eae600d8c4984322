// The limits of a run's readers and catalogue, and the width of a line as the readers take it.
#ifndef CORVANE_READERS_LIMITS_H
#define CORVANE_READERS_LIMITS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace corvane {

/// Columns of a line that the readers take; the rest of a longer line is ignored, and a
/// shorter one reads as if padded with blanks.
inline constexpr std::size_t kLineWidth = 80;

/// The first kLineWidth columns of `line`, copied into `buffer` and padded there with blanks.
inline std::string_view padded_columns(std::string_view line, std::span<char, kLineWidth> buffer) {
  const std::size_t n = line.size() < kLineWidth ? line.size() : kLineWidth;
  if (n != 0) std::memcpy(buffer.data(), line.data(), n);
  std::memset(buffer.data() + n, ' ', kLineWidth - n);
  return {buffer.data(), kLineWidth};
}

/// Values a caller holds for one series (the record length of the banner).
inline constexpr std::int32_t kMaxValues = 10000;

/// Text lines that one call of trrw passes over; the next one is a limit of a run.
inline constexpr std::int32_t kMaxTextLines = 25;

/// Series in the catalogue of one run, over all its files together ("records in a single
/// file" of the banner).
inline constexpr std::int32_t kMaxSeries = 15000;

/// The counts that a self-describing count line may give; any other is a limit of a run.
inline constexpr std::int32_t kMinSelfDescribingCount = 0;
inline constexpr std::int32_t kMaxSelfDescribingCount = kMaxValues;

}  // namespace corvane

#endif  // CORVANE_READERS_LIMITS_H
