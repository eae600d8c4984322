// corvane_generate: writes the seeded benchmark inputs.
//   corvane_generate run DIR      399 measurement files (15000 series in all) and DIR/run.lst
//   corvane_generate mr FILE      one measurement file of 4000 series
//   corvane_generate ir FILE      the same series in the index layout
//   corvane_generate large FILE   one measurement file of 15000 series, about 44 MB
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/generate.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvane_generate run DIR | mr FILE | ir FILE | large FILE\n");
    return 2;
  }
  const std::string what = argv[1], where = argv[2];
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
