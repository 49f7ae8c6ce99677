#include "space/box_walks.h"

#include <algorithm>
#include <utility>

namespace dorvex {

bool removeRule(BoxSet& set, const CoverRule& rule, std::size_t& work) {
  bool met = false;
  for (const Box& box : rule.boxes) met |= removeFrom(set, box, work);
  return met;
}

int firstMatch(const RuleList& list, const std::vector<int>& positions, const Packet& p, int skip) {
  for (int position : positions) {
    if (position == skip) continue;
    const CoverRule& rule = list.rules()[position];
    bool inBoxes = false;
    for (const Box& box : rule.boxes) inBoxes = inBoxes || matches(box, p);
    if (inBoxes) return rule.exact ? position : -2;
  }
  return -1;
}

Rest subtractAll(BoxSet& target, const RuleList& list, const std::vector<int>& positions,
                 const CoverLimits& limits, std::size_t& work, bool keepRest, Packet* outside) {
  for (std::size_t b = 0; !keepRest && b < target.size() && b < 4; ++b) {
    for (std::uint64_t seed = 0; seed <= kProbes; ++seed) {
      // The recognisable packet first, for a witness a person reads.
      Packet p = seed == 0 ? pickPacket(target[b]) : samplePacket(target[b], seed - 1);
      if (firstMatch(list, positions, p, -1) != -1) continue;
      if (outside) *outside = p;
      return Rest::nonempty;
    }
  }
  work += positions.size() * kProbes;
  std::vector<std::pair<long double, int>> bySize;
  for (int p : positions) bySize.emplace_back(-volume(list.rules()[p].boxes), p);
  std::sort(bySize.begin(), bySize.end());
  for (const auto& entry : bySize) {
    if (target.empty()) return Rest::empty;
    removeRule(target, list.rules()[entry.second], work);
    if (target.size() > limits.maxPieces || work > limits.maxWork) return Rest::budget;
  }
  return target.empty() ? Rest::empty : Rest::nonempty;
}

std::vector<int> cutBy(const RuleList& list, std::vector<int> positions, Cut cut) {
  if (cut == Cut::exactOnly)
    std::erase_if(positions, [&](int p) { return !list.rules()[p].exact; });
  return positions;
}

}  // namespace dorvex
