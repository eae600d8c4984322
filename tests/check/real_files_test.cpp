// A check of every real data file under tests/data/: measurements in itrdb/, chronologies in
// crn/. The findings below were worked out apart from this code, by tests/data/check_findings.py
// (python3 tests/data/check_findings.py --cpp prints these lines).
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "check/check_util.h"

namespace corvane {
namespace {

using testing::run_check_in_memory;
using testing::test_data;

struct Expected {
  long line;
  const char* code;
};

struct RealFile {
  const char* file;
  std::int64_t series;
  std::vector<Expected> findings;
};

const std::vector<RealFile> kRealFiles = {
    {"itrdb/TTHH_raw.txt", 74, {{24, "year-in-id"}}},
    {"itrdb/ca533.rwl", 34, {}},
    {"itrdb/ca667.rwl", 311, {{4132, "duplicate-id"}}},
    {"itrdb/cana209.rwl", 22, {{438, "year-in-id"}}},
    {"itrdb/cana326_error.rwl",
     218,
     {{708, "negative-value"},  {709, "negative-value"},   {710, "negative-value"},
      {711, "negative-value"},  {712, "negative-value"},   {733, "id-change"},
      {733, "negative-value"},  {734, "negative-value"},   {735, "negative-value"},
      {736, "negative-value"},  {737, "negative-value"},   {738, "id-change"},
      {1071, "negative-value"}, {1308, "mixed-precision"}, {2554, "negative-value"},
      {2555, "negative-value"}, {2684, "negative-value"},  {3000, "negative-value"},
      {3117, "ignored-slot"},   {3920, "negative-value"},  {3993, "negative-value"},
      {4043, "negative-value"}, {4342, "negative-value"},  {4345, "negative-value"},
      {4385, "negative-value"}, {5267, "negative-value"}}},
    {"itrdb/co021.rwl", 35, {}},
    {"itrdb/min.rwl", 1, {{1, "embedded-blank"}}},
    {"itrdb/nc004.rwl", 30, {}},
    {"itrdb/nm580.rwl", 119, {}},
    {"itrdb/nm580e.rwl", 119, {}},
    {"itrdb/nm580l.rwl", 109, {}},
    {"itrdb/th001.rwl", 77, {{1312, "negative-value"}}},
    {"itrdb/tx042.rwl", 95, {}},
    {"itrdb/viet001.rwl", 82, {{131, "duplicate-id"}}},
    {"itrdb/wa082.rwl", 23, {{13, "negative-value"}}},
    {"itrdb/wwr.rwl", 20, {}},
    {"itrdb/xDateRtest.rwl", 18, {}},
    {"crn/ca533_2chron.crn", 2, {}},
    {"crn/cana157.crn", 1, {}},
    {"crn/co021_std.crn", 1, {}},
};

testing::Checked check_real(const std::string& relative) {
  CheckOptions options;
  options.files = {test_data(relative).string()};
  options.layout = relative.starts_with("crn/") ? LayoutCode::ir : LayoutCode::mr;
  return run_check_in_memory(options);
}

TEST(CheckRealFiles, EveryFileHasTheFindingsWorkedOutApart) {
  std::set<std::string> listed;
  for (const RealFile& f : kRealFiles) {
    SCOPED_TRACE(f.file);
    listed.insert(f.file);
    const auto c = check_real(f.file);
    std::vector<std::pair<long, std::string>> got, want;
    for (const auto& found : c.found) got.emplace_back(found.line, found.code);
    for (const Expected& e : f.findings) want.emplace_back(e.line, e.code);
    EXPECT_EQ(got, want) << c.out;
    EXPECT_EQ(c.totals.series, f.series);
    // Files without damage have no warning (notes may stand).
    if (want.empty()) {
      EXPECT_EQ(c.totals.errors + c.totals.warnings, 0);
    }
  }
  // Every file of the folders is in the table.
  for (const char* folder : {"itrdb", "crn"}) {
    for (const auto& entry : std::filesystem::directory_iterator(test_data(folder))) {
      EXPECT_TRUE(listed.count(std::string(folder) + "/" + entry.path().filename().string()))
          << entry.path();
    }
  }
}

TEST(CheckRealFiles, WhatTheDamageIs) {
  const auto cana326 = check_real("itrdb/cana326_error.rwl");
  long negative = 0;
  for (const auto& f : cana326.found) {
    if (f.code == "negative-value") negative += std::stol(f.message);  // "10 values of ..."
  }
  EXPECT_EQ(negative, 114);
  EXPECT_EQ(cana326.found.at(18).message,
            "1 value after the 5 slots that the first line of series \"FAD23B\" holds for "
            "1205-1209 (\"   420\", in columns 43-48) is not taken: the reader drops it");

  EXPECT_EQ(check_real("itrdb/cana209.rwl").found.at(0).message,
            "column 8 of the ID \"EGR108 1\" is a digit: the ID may have taken the year's first "
            "digit, so that series \"EGR108 1\" begins in year 713");
  EXPECT_EQ(check_real("itrdb/min.rwl").found.at(0).message,
            "the value field \" 10 30\" in columns 13-18 has blanks between its digits and reads "
            "as 1030 (and 1 more such field): the columns of this line are probably shifted");
  EXPECT_EQ(check_real("itrdb/wa082.rwl").found.at(0).message,
            "1 value of series \"712011\" on this line (\"  -999\", in columns 13-18) is below "
            "0, the code of a missing ring: the reader reads it as a ring of width 0, which "
            "counts in the mean");
}

// All of them in one check: the files in the order named, one closing line.
TEST(CheckRealFiles, AllTogether) {
  CheckOptions options;
  std::size_t with_findings = 0;
  for (const RealFile& f : kRealFiles) {
    options.files.push_back(test_data(f.file).string());
    with_findings += f.findings.empty() ? 0 : 1;
  }
  // Chronologies by their names, measurements otherwise (TTHH_raw.txt included).
  const auto c = run_check_in_memory(options);
  EXPECT_EQ(c.closing, "20 files, 1391 series: 0 errors, 30 warnings, 3 notes");
  std::vector<std::string> files;
  for (const auto& f : c.found) {
    if (files.empty() || files.back() != f.file) files.push_back(f.file);
  }
  EXPECT_EQ(files.size(), with_findings);
  EXPECT_EQ(files.front(), test_data("itrdb/TTHH_raw.txt").string());
  EXPECT_EQ(files.back(), test_data("itrdb/wa082.rwl").string());
}

}  // namespace
}  // namespace corvane
