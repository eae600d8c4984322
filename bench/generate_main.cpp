// corvane_generate: writes the seeded benchmark inputs.
//   corvane_generate run DIR      399 measurement files (15000 series in all) and DIR/run.lst
//   corvane_generate mr FILE      one measurement file of 4000 series
//   corvane_generate ir FILE      the same series in the index layout
//   corvane_generate large FILE   one measurement file of 15000 series, about 44 MB
//   corvane_generate spread FILE [FACTOR]
//                                 FACTOR (1, 2, 4 or 8; 1 if left out) x 15000 series of the
//                                 large file's shape, first years spread over FACTOR x 10,000
//                                 years as far as the layout's years allow
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/generate.h"

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  const bool spread = what == "spread" && (argc == 3 || argc == 4);
  if (argc != 3 && !spread) {
    std::fprintf(stderr,
                 "usage: corvane_generate run DIR | mr FILE | ir FILE | large FILE"
                 " | spread FILE [FACTOR]\n");
    return 2;
  }
  const std::string where = argv[2];
  corvane::bench::SeriesShape shape;
  if (what == "mr" || what == "ir") {
    std::ofstream(where, std::ios::binary)
        << (what == "mr" ? corvane::bench::measurement_file(1, shape)
                         : corvane::bench::index_file(1, shape));
    return 0;
  }
  if (what == "large") {
    std::ofstream(where, std::ios::binary) << corvane::bench::large_measurement_file(1);
    return 0;
  }
  if (spread) {
    const std::string factor = argc == 4 ? argv[3] : "1";
    if (factor != "1" && factor != "2" && factor != "4" && factor != "8") return 2;
    std::ofstream(where, std::ios::binary)
        << corvane::bench::spread_measurement_file(1, std::stoi(factor));
    return 0;
  }
  if (what != "run") return 2;
  // 399 files of 37 or 38 series: 234 x 38 + 165 x 37 = 15000.
  std::ofstream list(where + "/run.lst", std::ios::binary);
  for (int f = 0; f < 399; ++f) {
    shape.series = f < 234 ? 38 : 37;
    char name[32];
    std::snprintf(name, sizeof name, "g%03d.rwl", f + 1);
    std::ofstream(where + "/" + name, std::ios::binary)
        << corvane::bench::measurement_file(1000u + static_cast<unsigned>(f), shape);
    list << name << '\n';
  }
  return 0;
}
