#include "space/removal_set.h"

#include <algorithm>

#include "space/diagram_cover.h"
#include "space/list_diff.h"

namespace dorvex {

namespace {

constexpr std::size_t kMaxNeighbours = 256;
// Lists up to this long have the set verified by the change review; past
// it that would cost many times the analysis, and the steps above are
// exact on their own.
constexpr std::size_t kMaxVerified = 2000;

}  // namespace

std::vector<bool> removableTogether(const RuleList& list,
                                    const std::vector<RemovalCandidate>& order,
                                    const CoverLimits& limits, bool verify) {
  const std::vector<CoverRule>& rules = list.rules();
  std::vector<bool> chosen(order.size(), false);
  HeaderSpace space(limits.maxNodes);
  DecisionDiagram& dd = space.sets();
  // A rule's sets are made when a question first reads it: most lines are
  // settled without the diagrams, and a long list's sets would cost more
  // than its analysis.
  std::vector<Node> upper(rules.size(), DecisionDiagram::kNone);
  std::vector<Node> lower(rules.size(), DecisionDiagram::kNone);
  std::vector<bool> made(rules.size(), false);
  const RuleSets sets{rules, upper, lower};
  std::vector<bool> removed(rules.size(), false);
  // Lines of the list, not rules: a line whose action was not read stands
  // as two rules of one line.
  long long standing = 0;
  for (std::size_t p = 0; p < rules.size(); ++p)
    standing += rules[p].line > 0 && (p == 0 || rules[p - 1].line != rules[p].line);
  // Rules gone that took packets in the whole list: only they widen what
  // reaches a later rule.
  std::vector<bool> goneDeciding(rules.size(), false);
  std::size_t mark = dd.nodeCount();
  std::vector<int> meeting, earlier, later;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const int c = order[k].position;
    const CoverRule& rule = rules[static_cast<std::size_t>(c)];
    if (!rule.exact || rule.line <= 0 || standing <= 1) continue;
    list.candidates(indexBoxesOf(rule), meeting);
    const auto gone = [&](int p) { return p >= 0 && removed[static_cast<std::size_t>(p)]; };
    bool holds = std::none_of(order[k].leansOn.begin(), order[k].leansOn.end(), gone);
    for (int p : meeting) {
      if (p < c && goneDeciding[static_cast<std::size_t>(p)] && !order[k].unreachable)
        holds = false;
    }
    if (holds) {
      removed[static_cast<std::size_t>(c)] = true;
      goneDeciding[static_cast<std::size_t>(c)] = !order[k].unreachable;
      chosen[k] = true;
      --standing;
      continue;
    }
    // The diagrams are asked only over a bounded neighbourhood: a rule that
    // meets more is not offered, which keeps the set sound and the time of
    // a 10k-rule list within that of its analysis.
    if (meeting.size() > kMaxNeighbours) continue;
    dd.truncate(mark);
    // Made before the question's own nodes and kept below the mark.
    meeting.push_back(c);
    for (int p : meeting) {
      const auto at = static_cast<std::size_t>(p);
      if (made[at]) continue;
      upper[at] = ruleSetOf(space, rules[at]);
      lower[at] = rules[at].exact ? upper[at] : DecisionDiagram::kNone;
      made[at] = true;
    }
    mark = dd.nodeCount();
    earlier.clear();
    later.clear();
    for (int p : meeting) {
      if (p == c || removed[static_cast<std::size_t>(p)]) continue;
      (p < c ? earlier : later).push_back(p);
    }
    // The packets that reach it in the list without the rules chosen: may
    // a packet get there and be decided otherwise by the rules after it?
    const Node own = upper[static_cast<std::size_t>(c)];
    const Node reach = dd.diff(own, unionWithin(dd, earlier, lower, own));
    if (reach != DecisionDiagram::kNone) {
      const Outcome after = outcomeOf(dd, sets, later, reach);
      const bool alike = rule.action == Action::permit
                             ? dd.diff(reach, after.permitLo) == DecisionDiagram::kNone
                             : !dd.meets(reach, after.permitHi);
      if (!alike) continue;
    }
    removed[static_cast<std::size_t>(c)] = true;
    goneDeciding[static_cast<std::size_t>(c)] = !order[k].unreachable;
    chosen[k] = true;
    --standing;
  }
  dd.truncate(mark);
  if (!verify || rules.size() > kMaxVerified) return chosen;
  // The whole set, asked once more by the change review.
  std::vector<CoverRule> kept;
  for (std::size_t p = 0; p < rules.size(); ++p) {
    if (!removed[p]) kept.push_back(rules[p]);
  }
  const ListChanges check = compareLists(list, RuleList(std::move(kept)), limits);
  if (!check.differences.empty() || !check.undecided.empty() || !check.guard.empty())
    std::fill(chosen.begin(), chosen.end(), false);
  return chosen;
}

}  // namespace dorvex
