// The tournament of start years: bests, certificates and their alarms.
#include "analysis/start_tournament.h"

#include <algorithm>
#include <bit>

namespace corvane {

StartTournament::StartTournament(std::span<const std::int32_t> starts,
                                 std::span<const std::size_t> first_position)
    : starts_(starts),
      position_(first_position),
      leaves_(std::bit_ceil(std::max<std::size_t>(starts.size(), 1))) {}

void StartTournament::refresh(std::int64_t x, std::span<const std::size_t> joined) {
  if (node_.empty()) {  // built when first asked
    node_.resize(2 * leaves_);
    for (std::size_t v = 1; v < node_.size(); ++v) node_[v].dirty = true;
    for (std::size_t s = 0; s < leaves_; ++s) {
      node_[leaves_ + s].best = s < starts_.size() ? static_cast<std::int32_t>(s) : kNone;
    }
  }
  for (; taken_ < joined.size(); ++taken_) {
    for (std::size_t v = leaves_ + joined[taken_]; v > 0; v >>= 1) {
      ++node_[v].total;
      node_[v].dirty = true;
    }
  }
  x_ = x;
  if (pending(1, 0)) update(1, 0);
}

void StartTournament::update(std::size_t v, std::int64_t before) {
  Node& n = node_[v];
  n.dirty = false;
  if (v >= leaves_) {
    n.local = n.total;
    return;
  }
  const Node& left = node_[2 * v];
  const Node& right = node_[2 * v + 1];
  if (pending(2 * v, before)) update(2 * v, before);
  if (pending(2 * v + 1, before + left.total)) update(2 * v + 1, before + left.total);
  // The children's alarms, as counts of series joined before this span.
  n.alarm_before = std::min(left.alarm_before, right.alarm_before - left.total);
  n.alarm_x = std::max(left.alarm_x, right.alarm_x);
  if (right.best == kNone || left.best == kNone) {
    const bool take_left = right.best == kNone;
    n.best = take_left ? left.best : right.best;
    n.local = take_left ? left.local : left.total + right.local;
    return;
  }
  const std::int64_t a = before + left.local, b = before + left.total + right.local;
  const std::int64_t l = starts_[static_cast<std::size_t>(left.best)];
  const std::int64_t r = starts_[static_cast<std::size_t>(right.best)];
  const std::int64_t diff = a * (x_ - l) - b * (x_ - r);
  const bool left_first = position_[static_cast<std::size_t>(left.best)] <
                          position_[static_cast<std::size_t>(right.best)];
  if (diff > 0 || (diff == 0 && left_first)) {
    n.best = left.best;
    n.local = left.local;
    return;
  }
  n.best = right.best;
  n.local = left.total + right.local;
  const std::int64_t need = (left_first ? 0 : 1) - diff;  // at least 1
  const std::int64_t half = (need + 1) / 2, rest = need - half + 1;
  const std::int64_t gap = r - l, between = b - a;  // gap >= 1, between >= 0
  n.alarm_before = std::min(n.alarm_before, before + (half + gap - 1) / gap);
  if (between > 0) n.alarm_x = std::max(n.alarm_x, x_ - (rest + between - 1) / between);
}

}  // namespace corvane
