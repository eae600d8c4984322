// The program's fixed-column lines as the tests expect them, built apart from the program's
// own layouts.
#ifndef CORVANE_TESTS_REPORT_TEXT_H
#define CORVANE_TESTS_REPORT_TEXT_H

#include <cstdio>
#include <string>
#include <string_view>

#include "test_util.h"

namespace corvane::testing {

inline const std::string kRrwHeading = "         ID        IYR     LYR     N      m_rrw\n";
inline const std::string kIndxHeading = "         ID        IYR     LYR     N      m_indx\n";
inline const std::string kNormalEnd = "             Normal termination of program\n";

/// The report's first two lines.
inline std::string report_head(std::string_view input) {
  return "\n Input file for this run : " + pad(input, 40) + "\n";
}

/// A file heading: the name from column 7, " ___ " again from column 42.
inline std::string heading(std::string_view name) {
  std::string line(" ");
  line += (" ___ " + pad(name, 40)).substr(0, 40);
  line += " ___ \n";
  return line;
}

/// The report of a single-file measurement run up to its table heading.
inline std::string listing_head(std::string_view name) {
  return report_head(name) + heading(name) + kRrwHeading;
}

inline std::string series_line(int k, std::string_view id, int first, int last, int n,
                               std::string_view mean) {
  char buf[128];
  std::snprintf(buf, sizeof buf, " %6d %s%8d%8d%8d%8s\n", k, pad(id, 8).c_str(), first, last, n,
                std::string(mean).c_str());
  return buf;
}

/// The five closing lines of the console.
inline std::string closing(int files, int records) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "             %4d files \n             %10d records \n", files,
                records);
  return "\n" + kNormalEnd + std::string(buf) + "\n";
}

/// The nine-line summary box.
inline std::string box(long from, long to, long n, long start, long end, long years, long series,
                       long rings) {
  char rings_text[32];
  if (rings > 9999999) {
    std::snprintf(rings_text, sizeof rings_text, "*******");
  } else {
    std::snprintf(rings_text, sizeof rings_text, "%7ld", rings);
  }
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "\n   ******************************************\n"
                "   **  Time span of chronology: %5ld to%5ld\n"
                "   **  Number of series in chronology: %6ld\n"
                "   **  Optimum common interval: %5ld to%5ld\n"
                "   **  Number of years included: %12ld\n"
                "   **  Number of Series included:     %7ld\n"
                "   **  Number of rings:               %s\n"
                "   ******************************************\n",
                from, to, n, start, end, years, series, rings_text);
  return buf;
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_REPORT_TEXT_H
