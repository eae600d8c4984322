// The start years of the common-interval search as a tournament that follows the end year down.
#ifndef CORVANE_ANALYSIS_START_TOURNAMENT_H
#define CORVANE_ANALYSIS_START_TOURNAMENT_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// The start years, ascending, as the leaves of a tournament: each node holds the best start of
// its span for the current end year (the greatest product, then the earliest sorted position),
// with the count of joined series that start at it or before it within the span. The count at
// a start is the node's local count plus the series that joined before the span.
//
// Why a node's best lasts. For two starts l < r under one node, as the end year falls (x
// decreasing by 1) the difference of their products grows by the series that start in (l, r],
// and for each series that joins before the node's span it grows by r - l: neither ever favours
// the later start. So once a node's left child wins, it keeps winning until a series joins
// within the node's own span. While the right child wins, the node keeps a certificate: the
// difference must still rise by `need`; it is alarmed when the series joined before its span
// alone could bring half of that, or the fall of the end year alone the other half, and is then
// computed afresh, so each pair of children's bests is alarmed at most log2(need) + 1 times.
// A refresh visits only the nodes a join passed through or an alarm reached, with their
// ancestors, however many end years passed since the last one.
class StartTournament {
 public:
  static constexpr std::int32_t kNone = -1;

  /// `starts`: the distinct start years, ascending; `first_position`: for each, the earliest
  /// sorted position that has it (distinct, the tie rule). Both must outlive the tournament.
  StartTournament(std::span<const std::int32_t> starts,
                  std::span<const std::size_t> first_position);

  /// Brings the tournament up to date for the end year x - 1; x never rises between calls.
  /// `joined` holds the start indices of the series joined so far (last year at least x - 1),
  /// in the order they joined: it only grows between calls. The first call builds the tree.
  void refresh(std::int64_t x, std::span<const std::size_t> joined);

  /// The best start index at the last refresh (none without start years): the greatest
  /// (x - start) x count, then the earliest first position; and its count.
  std::int32_t best() const { return node_[1].best; }
  std::int64_t best_count() const { return node_[1].local; }

 private:
  static constexpr std::int64_t kNever = INT64_MAX / 4;
  struct Node {
    std::int32_t best = kNone;
    std::int32_t local = 0;  // joined series from the span's first start to the best
    std::int32_t total = 0;  // joined series that start in the span
    bool dirty = false;
    std::int64_t alarm_before = kNever;  // alarmed once this many series joined before the span
    std::int64_t alarm_x = -kNever;      // alarmed once x is this or less
  };

  bool pending(std::size_t v, std::int64_t before) const {
    const Node& n = node_[v];
    return n.dirty || n.alarm_before <= before || n.alarm_x >= x_;
  }
  void update(std::size_t v, std::int64_t before);

  std::span<const std::int32_t> starts_;
  std::span<const std::size_t> position_;
  std::size_t leaves_;
  std::vector<Node> node_;
  std::size_t taken_ = 0;  // series joined so far
  std::int64_t x_ = 0;
};

}  // namespace corvane

#endif  // CORVANE_ANALYSIS_START_TOURNAMENT_H
