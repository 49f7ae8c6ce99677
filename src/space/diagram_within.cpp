#include "space/diagram_cover.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace dorvex {

namespace {

Finding undecided(const CoverRule& rule, std::string reason) {
  return Finding{rule.line, FindingKind::undecided, {}, 0, std::move(reason)};
}

// An unreachable line: earlier exactly known lines that hold its packets,
// the one adding most first; and the earlier line of the other action
// sharing most packets with it among those that surely decide some.
Finding unreachable(const RuleList& list, RuleList::Sets& sets, int position,
                    const std::vector<int>& earlier) {
  DecisionDiagram& dd = sets.space.sets();
  const CoverRule& rule = list.rules()[position];
  const Node packets = sets.upper[position];
  Finding finding{rule.line, FindingKind::unreachable, {}, 0, {}};
  // Greedy, lazily: what a line adds only shrinks as the rest does, so a
  // line is counted again only when its last count could still be the
  // largest. Ties go to the earlier line, as in a plain greedy pass.
  struct Candidate {
    long double adds;
    std::size_t order;
    Node part;
    bool operator<(const Candidate& other) const {
      return adds != other.adds ? adds < other.adds : order > other.order;
    }
  };
  std::vector<Candidate> heap;
  for (std::size_t k = 0; k < earlier.size(); ++k) {
    const Node part = dd.conjoin(packets, sets.lower[earlier[k]]);
    if (part != DecisionDiagram::kNone) heap.push_back({dd.count(part), k, part});
  }
  std::make_heap(heap.begin(), heap.end());
  Node rest = packets;
  while (rest != DecisionDiagram::kNone && !heap.empty()) {
    std::pop_heap(heap.begin(), heap.end());
    Candidate top = heap.back();
    heap.pop_back();
    top.adds = dd.count(dd.conjoin(rest, top.part));
    if (!heap.empty() && top < heap.front()) {
      heap.push_back(top);
      std::push_heap(heap.begin(), heap.end());
      continue;
    }
    finding.lines.push_back(list.rules()[earlier[top.order]].line);
    rest = dd.diff(rest, top.part);
  }
  // Of the earlier lines of the other action that surely decide some of its
  // packets (no line before them may match those), the one sharing most:
  // asked of the largest first, each inside its own shared packets.
  std::vector<std::pair<long double, std::size_t>> byShare;
  for (std::size_t k = 0; k < earlier.size(); ++k) {
    if (list.rules()[earlier[k]].action == rule.action) continue;
    const Node shared = dd.conjoin(packets, sets.upper[earlier[k]]);
    if (shared != DecisionDiagram::kNone) byShare.emplace_back(-dd.count(shared), k);
  }
  std::sort(byShare.begin(), byShare.end());
  for (const auto& [share, k] : byShare) {
    const Node sure = dd.conjoin(packets, sets.lower[earlier[k]]);
    const std::vector<int> before(earlier.begin(),
                                  earlier.begin() + static_cast<std::ptrdiff_t>(k));
    if (sure == DecisionDiagram::kNone ||
        dd.within(sure, unionWithin(dd, before, sets.upper, sure)))
      continue;
    finding.conflicting_line = list.rules()[earlier[k]].line;
    break;
  }
  return finding;
}

std::optional<Finding> judgeLine(const RuleList& list, RuleList::Sets& sets, int position,
                                 const std::vector<int>& positions) {
  DecisionDiagram& dd = sets.space.sets();
  const CoverRule& rule = list.rules()[position];
  const auto split = std::lower_bound(positions.begin(), positions.end(), position);
  const std::vector<int> earlier(positions.begin(), split);
  std::vector<int> later(split, positions.end());
  if (!later.empty() && later.front() == position) later.erase(later.begin());

  const Node packets = sets.upper[position];
  // The packets that may reach the line (no earlier line surely matches
  // them) and those that surely do (no earlier line may): the rules before
  // a stride's start as one union, the rest one by one.
  const std::size_t k = sets.prefixUpTo(position);
  const std::vector<int> since(std::lower_bound(earlier.begin(), earlier.end(),
                                                static_cast<int>(k) * RuleList::Sets::kStride),
                               earlier.end());
  const Node mayReach =
      dd.diff(dd.diff(packets, sets.lowerBefore[k]), unionWithin(dd, since, sets.lower, packets));
  const bool earlierExact =
      std::all_of(earlier.begin(), earlier.end(), [&](int p) { return list.rules()[p].exact; });
  const Node sureReach = earlierExact ? mayReach
                                      : dd.diff(dd.diff(packets, sets.upperBefore[k]),
                                                unionWithin(dd, since, sets.upper, packets));
  if (mayReach == DecisionDiagram::kNone) return unreachable(list, sets, position, earlier);
  if (!rule.exact) return undecided(rule, lineReason(rule));
  if (sureReach == DecisionDiagram::kNone) {
    return undecided(rule, unknownAmong(list, sets, earlier, mayReach));
  }
  // What the rest of the list would do to them without the line.
  const Outcome rest =
      outcomeOf(dd, RuleSets{list.rules(), sets.upper, sets.lower}, later, mayReach);
  const bool permit = rule.action == Action::permit;
  const bool same =
      permit ? dd.within(mayReach, rest.permitLo) : !dd.meets(mayReach, rest.permitHi);
  if (same) {
    return Finding{
        rule.line, FindingKind::redundant, decidingLines(list, sets, later, mayReach), 0, {}};
  }
  const bool other =
      permit ? !dd.within(sureReach, rest.permitHi) : dd.meets(sureReach, rest.permitLo);
  if (other) return std::nullopt;
  std::vector<int> around = earlier;
  around.insert(around.end(), later.begin(), later.end());
  return undecided(rule, unknownAmong(list, sets, around, mayReach));
}

}  // namespace

std::optional<Finding> diagramJudge(const RuleList& list, int position, const CoverLimits& limits) {
  const CoverRule& rule = list.rules()[static_cast<std::size_t>(position)];
  RuleList::Sets* sets = nullptr;
  try {
    sets = &list.sets(limits);
    sets->scratch();
    std::vector<int> positions;
    list.candidates(indexBoxesOf(rule), positions);
    return judgeLine(list, *sets, position, positions);
  } catch (const SpaceExhausted& e) {
    // The line's own work passed the guard: its nodes go, the next line
    // starts afresh.
    if (sets != nullptr) sets->space.sets().truncate(sets->mark);
    return undecided(rule, guardReason(e));
  }
}

}  // namespace dorvex
