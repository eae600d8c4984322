// The end of a run as a value, and results that carry either a value or that end.
#ifndef CORVANE_TEXTIO_RESULT_H
#define CORVANE_TEXTIO_RESULT_H

#include <cstdint>
#include <optional>
#include <utility>

namespace corvane {

/// How a run ended. What it wrote on the way (a message, an error report) is written already;
/// only the program's entry turns an end into an exit status.
class End {
 public:
  enum class Kind : std::uint8_t {
    normal,   ///< the run went to its end
    stopped,  ///< a stop with a message, or a run that missed files it was given
    refused,  ///< the run was refused before it began (a usage error)
    failed,   ///< an error report was written
  };
  static constexpr End normal() { return End(Kind::normal); }
  static constexpr End stopped() { return End(Kind::stopped); }
  static constexpr End refused() { return End(Kind::refused); }
  static constexpr End failed() { return End(Kind::failed); }

  constexpr Kind kind() const { return kind_; }
  /// True for an end with an error report.
  constexpr bool is_failure() const { return kind_ == Kind::failed; }
  constexpr bool operator==(const End&) const = default;

 private:
  constexpr explicit End(Kind kind) : kind_(kind) {}
  Kind kind_;
};

/// A value, or the end of the run that was met instead of it. True when it holds the value.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT(runtime/explicit)
  Result(End end) : end_(end) {}                 // NOLINT(runtime/explicit)

  explicit operator bool() const { return value_.has_value(); }
  /// The value; only when there is one.
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  /// The end met; only when there is no value.
  End end() const { return end_; }

 private:
  std::optional<T> value_;
  End end_ = End::failed();
};

/// Nothing, or the end of the run that was met: true when the operation went through.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(End end) : end_(end) {}  // NOLINT(runtime/explicit)

  explicit operator bool() const { return !end_.has_value(); }
  /// The end met; only when the operation did not go through.
  End end() const { return *end_; }

 private:
  std::optional<End> end_;
};

/// The outcome of an operation that gives no value.
using Status = Result<void>;

}  // namespace corvane

#endif  // CORVANE_TEXTIO_RESULT_H
