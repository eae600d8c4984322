// The tournament of start years against a full scan, at every end year it is asked about.
#include "analysis/start_tournament.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace corvane {
namespace {

// Random catalogues in shapes that exercise each alarm: spread years; shared starts and equal
// products; end years brought by series that all start first (later nodes change only as the
// years fall and series join before them) or all start last (they change only as the years
// fall). Some end years are skipped, so that a refresh catches up over several.
TEST(StartTournament, BestMatchesAFullScanAtEveryRefresh) {
  std::mt19937 rng(20261211);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  for (int round = 0; round < 400; ++round) {
    const int shape = round % 4;
    const int n = uniform(1, 120);
    std::vector<std::pair<std::int32_t, std::int32_t>> series;  // (first, last)
    for (int i = 0; i < n; ++i) {
      std::int32_t first = uniform(-50, 400), length = uniform(1, 300);
      if (shape == 1) first = 10 * uniform(0, 4);
      if (shape == 2 && i % 2) first = uniform(-60, -59), length = uniform(100, 900);
      if (shape == 3 && i % 2) first = uniform(395, 400), length = uniform(1, 500);
      series.emplace_back(first, first + length - 1);
    }
    std::sort(series.begin(), series.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::int32_t> starts;
    for (const auto& s : series) starts.push_back(s.first);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    // Distinct positions in any order: the tie rule does not follow the years.
    std::vector<std::size_t> position(starts.size());
    std::iota(position.begin(), position.end(), 0);
    std::shuffle(position.begin(), position.end(), rng);

    StartTournament tournament(starts, position);
    std::vector<std::size_t> joined;
    std::vector<std::int64_t> joined_at(starts.size(), 0);
    std::size_t next = 0;
    for (std::size_t e = 0; e < series.size(); ++e) {
      const std::int32_t end = series[e].second;
      if (e > 0 && end == series[e - 1].second) continue;
      for (; next < series.size() && series[next].second >= end; ++next) {
        const auto s = static_cast<std::size_t>(
            std::lower_bound(starts.begin(), starts.end(), series[next].first) - starts.begin());
        joined.push_back(s);
        ++joined_at[s];
      }
      if (uniform(0, 3) == 0) continue;
      const std::int64_t x = std::int64_t{end} + 1;
      tournament.refresh(x, joined);
      std::size_t best = 0;
      std::int64_t best_value = 0, best_count = 0, count = 0;
      for (std::size_t s = 0; s < starts.size(); ++s) {
        count += joined_at[s];
        const std::int64_t value = (x - starts[s]) * count;
        if (s == 0 || value > best_value || (value == best_value && position[s] < position[best])) {
          best = s;
          best_value = value;
          best_count = count;
        }
      }
      ASSERT_EQ(tournament.best(), static_cast<std::int32_t>(best))
          << "round " << round << ", end year " << end;
      ASSERT_EQ(tournament.best_count(), best_count) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace corvane
