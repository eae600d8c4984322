// The check of one data file: the readers read it as a run reads it and tell this observer what
// they do; it turns that into findings, line by line.
#ifndef CORVANE_CHECK_FILE_CHECK_H
#define CORVANE_CHECK_FILE_CHECK_H

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/facts.h"
#include "check/findings.h"
#include "readers/observer.h"
#include "readers/readers.h"
#include "textio/textio.h"

namespace corvane {

/// Checks one file. Usage is: open the file, construct on its lines, read(); the findings go to
/// `findings` as they are found, released as they become final, and finished at the end.
class FileCheck final : public ReaderObserver {
 public:
  FileCheck(LineFile& file, LayoutCode code, FindingStream& findings);

  /// Reads the file to its end with trrw, as a run reads it. `series_before` is the number of
  /// series that the files checked before this one delivered (the catalogue's room is for all
  /// of them). Returns the number of series this file delivered.
  std::int64_t read(std::int64_t series_before);

  void text_line(std::string_view line, bool in_series) override;
  void data_line(std::string_view line, std::int32_t year, std::span<const std::int32_t, 10> values,
                 TakenSlots slots, bool plain) override;
  std::optional<decade::PlainCheck> plain_run() override;
  void plain_lines(std::int32_t lines) override;
  void limit(ReadLimit limit) override;
  void title_line(std::string_view line) override;
  void count_line(std::span<const char, kLineWidth> title, std::int32_t count,
                  std::string_view format) override;
  void condition(SelfDescribingCondition what, std::int32_t values_read,
                 std::int32_t column) override;

 private:
  void begin_call();
  void delivered(std::int64_t number);
  /// A fact of `code` at `line` about the current series, the rest left to fill.
  Fact fact(std::int64_t line, Code code) const;
  void record(Fact fact);
  void check_fields(std::string_view columns80, std::int64_t at, std::int32_t year,
                    std::span<const std::int32_t, 10> values, TakenSlots slots, bool first,
                    bool zero, bool inner_blank);
  void damaged_first_line(std::string_view first_line, std::int32_t signed_first);

  LineFile& file_;
  LayoutCode code_;
  bool measurement_;
  FindingStream& findings_;

  // The series of the current call.
  std::int64_t first_line_ = 0;  // its first data line or title line; 0 before it
  SeriesId id_{};                // its ID as compared (a sign in column 8 read as a blank)
  bool self_describing_ = false;
  std::int32_t first_year_ = 0;  // signed
  std::int32_t data_lines_ = 0;
  bool have_previous_ = false;
  std::int32_t previous_block_ = 0;  // the decade block of the previous data line's year
  SeriesId previous_id_{};
  std::int64_t count_line_ = 0;
  std::int32_t count_ = 0;
  std::string format_;
  bool bad_format_ = false;
  bool too_long_ = false;
  // The text line passed over last before the series' first data line (only blank lines after
  // it), and its line number; 0 when there is none.
  std::string text_before_;
  std::int64_t text_before_line_ = 0;

  // The file.
  std::unordered_map<std::uint64_t, std::int64_t> first_lines_;  // ID (its 8 bytes) -> first line
  std::int32_t first_marker_ = 0;                                // of the file's first series
  std::string first_marker_series_;
  bool mixed_told_ = false;
};

}  // namespace corvane

#endif  // CORVANE_CHECK_FILE_CHECK_H
