#include "space/diagram_cover.h"

#include <algorithm>
#include <utility>

namespace dorvex {

// The list as sets: each rule's packets (upper: all it may match; lower:
// those it surely matches, empty for a rule not exactly known). Every
// question is then asked inside one rule's packets, over the rules the
// index names: the sets stay as small as that rule's share of the list.
struct RuleList::Sets {
  explicit Sets(std::size_t maxNodes) : space(maxNodes) {}

  // Drops the nodes made since the rules' sets once they pass a share of
  // the budget: no answer keeps a node of its own.
  // Starts a question afresh: the nodes of earlier questions go, and this
  // one may make at most `share` nodes of its own.
  void scratch(std::size_t share) {
    DecisionDiagram& dd = space.sets();
    dd.truncate(mark);
    dd.setMaxNodes(std::min(budget, mark + share));
  }

  HeaderSpace space;
  std::vector<Node> upper, lower;
  std::size_t mark = 0;
  std::size_t budget = 0;  // the whole guard
};

namespace {

Node ruleSet(HeaderSpace& space, const CoverRule& rule) {
  DecisionDiagram& dd = space.sets();
  Node set = space.ofBoxes(rule.boxes);
  for (const BoxProduct& product : rule.products) {
    const Node part =
        dd.conjoin(space.ofBoxes(product.source),
                   dd.conjoin(space.ofBoxes(product.destin), space.ofBoxes(product.service)));
    set = dd.join(set, part);
  }
  return set;
}

std::string guardReason(const SpaceExhausted& e) {
  return "memory guard: " + std::to_string(e.nodes) + " decision nodes";
}

// What the rules at `positions` (ascending) do to the packets of `region`:
// those they surely and possibly permit (a packet no rule matches is
// denied), and those a rule not exactly known may match first.
struct Outcome {
  Node permitLo = DecisionDiagram::kNone, permitHi = DecisionDiagram::kNone;
  Node unknown = DecisionDiagram::kNone;
};

Outcome outcomeOf(const RuleList& list, RuleList::Sets& sets, const std::vector<int>& positions,
                  Node region) {
  DecisionDiagram& dd = sets.space.sets();
  Outcome out;
  // The packets no deny line possibly (surely) matched so far, and those
  // no line surely matched so far.
  Node notMaybeDenied = region, notSurelyDenied = region, open = region;
  for (int p : positions) {
    if (open == DecisionDiagram::kNone) break;
    const CoverRule& rule = list.rules()[p];
    const Node upper = sets.upper[p], lower = sets.lower[p];
    if (!dd.meets(open, upper)) continue;
    if (!rule.exact) out.unknown = dd.join(out.unknown, dd.conjoin(open, upper));
    if (rule.action == Action::permit) {
      out.permitLo = dd.join(out.permitLo, dd.conjoin(lower, notMaybeDenied));
      out.permitHi = dd.join(out.permitHi, dd.conjoin(upper, notSurelyDenied));
    } else {
      notMaybeDenied = dd.diff(notMaybeDenied, upper);
      notSurelyDenied = dd.diff(notSurelyDenied, lower);
    }
    open = dd.diff(open, lower);
  }
  return out;
}

// The first rule not exactly known among `positions` (ascending) whose
// packets meet `set`: why an answer about `set` depends on unknown traffic.
std::string firstUnknown(const RuleList& list, RuleList::Sets& sets,
                         const std::vector<int>& positions, Node set) {
  for (int p : positions) {
    const CoverRule& rule = list.rules()[p];
    if (!rule.exact && sets.space.sets().meets(set, sets.upper[p])) return lineReason(rule);
  }
  return "unknown";
}

// The lines among `positions` (ascending) that decide some packet of
// `set`, in order, 0 last when the implicit deny does.
std::vector<int> decidingLines(const RuleList& list, RuleList::Sets& sets,
                               const std::vector<int>& positions, Node set) {
  DecisionDiagram& dd = sets.space.sets();
  std::vector<int> lines;
  for (int p : positions) {
    if (set == DecisionDiagram::kNone) break;
    if (!dd.meets(set, sets.upper[p])) continue;
    lines.push_back(list.rules()[p].line);
    set = dd.diff(set, sets.lower[p]);
  }
  if (set != DecisionDiagram::kNone) lines.push_back(0);
  return lines;
}

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
  std::vector<int> pool;
  for (int p : earlier) {
    if (dd.meets(packets, sets.lower[p])) pool.push_back(p);
  }
  Node rest = packets;
  while (rest != DecisionDiagram::kNone && !pool.empty()) {
    std::size_t best = 0;
    long double bestCount = -1;
    for (std::size_t k = 0; k < pool.size(); ++k) {
      const long double n = dd.count(dd.conjoin(rest, sets.lower[pool[k]]));
      if (n > bestCount) bestCount = n, best = k;
    }
    finding.lines.push_back(list.rules()[pool[best]].line);
    rest = dd.diff(rest, sets.lower[pool[best]]);
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(best));
  }
  // Which packets of the line each earlier line surely decides: those no
  // line before it may match.
  std::vector<std::pair<long double, int>> byOverlap;
  std::vector<Node> decided(earlier.size(), DecisionDiagram::kNone);
  Node untouched = packets;
  for (std::size_t k = 0; k < earlier.size(); ++k) {
    const int p = earlier[k];
    decided[k] = dd.conjoin(untouched, sets.lower[p]);
    untouched = dd.diff(untouched, sets.upper[p]);
    if (list.rules()[p].action == rule.action) continue;
    byOverlap.emplace_back(-dd.count(dd.conjoin(packets, sets.upper[p])), static_cast<int>(k));
  }
  std::sort(byOverlap.begin(), byOverlap.end());
  for (const auto& [overlap, k] : byOverlap) {
    if (decided[static_cast<std::size_t>(k)] == DecisionDiagram::kNone) continue;
    finding.conflicting_line = list.rules()[earlier[static_cast<std::size_t>(k)]].line;
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
  // them) and those that surely do (no earlier line may).
  Node mayReach = packets, sureReach = packets;
  for (int p : earlier) {
    mayReach = dd.diff(mayReach, sets.lower[p]);
    sureReach = dd.diff(sureReach, sets.upper[p]);
    if (mayReach == DecisionDiagram::kNone) break;
  }
  if (mayReach == DecisionDiagram::kNone) return unreachable(list, sets, position, earlier);
  if (!rule.exact) return undecided(rule, lineReason(rule));
  if (sureReach == DecisionDiagram::kNone) {
    return undecided(rule, firstUnknown(list, sets, earlier, mayReach));
  }
  // What the rest of the list would do to them without the line.
  const Outcome rest = outcomeOf(list, sets, later, mayReach);
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
  return undecided(rule, firstUnknown(list, sets, around, mayReach));
}

}  // namespace

void RuleList::DropSets::operator()(Sets* sets) const { delete sets; }

RuleList::Sets& RuleList::sets(const CoverLimits& limits) const {
  if (sets_ && sets_->budget == limits.maxNodes) return *sets_;
  sets_.reset();
  std::unique_ptr<Sets, DropSets> sets(new Sets(limits.maxNodes));
  DecisionDiagram& dd = sets->space.sets();
  const std::size_t n = rules_.size();
  sets->upper.resize(n);
  sets->lower.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    sets->upper[i] = ruleSet(sets->space, rules_[i]);
    sets->lower[i] = rules_[i].exact ? sets->upper[i] : DecisionDiagram::kNone;
  }
  sets->mark = dd.nodeCount();
  sets->budget = limits.maxNodes;
  sets_ = std::move(sets);
  return *sets_;
}

Verdict diagramVerdict(const RuleList& source, const CoverRule& setting,
                       const CoverLimits& limits) {
  Verdict result;
  try {
    RuleList::Sets& sets = source.sets(limits);
    sets.scratch(limits.maxNodes / 4);
    DecisionDiagram& dd = sets.space.sets();
    const Node packets = ruleSet(sets.space, setting);
    const Node sure = setting.exact ? packets : DecisionDiagram::kNone;
    std::vector<int> positions;
    source.candidates(indexBoxesOf(setting), positions);
    const Outcome outcome = outcomeOf(source, sets, positions, packets);
    const bool permit = setting.action == Action::permit;
    const bool covered =
        permit ? dd.within(packets, outcome.permitLo) : !dd.meets(packets, outcome.permitHi);
    if (covered) {
      result.kind = VerdictKind::covered;
      result.deciding_lines = decidingLines(source, sets, positions, packets);
      return result;
    }
    // A witness no rule not exactly known may match, so that its deciding
    // line is the same whatever those rules match.
    const Node wrong =
        dd.diff(permit ? dd.diff(sure, outcome.permitHi) : dd.conjoin(sure, outcome.permitLo),
                outcome.unknown);
    if (wrong != DecisionDiagram::kNone) {
      result.kind = VerdictKind::notCovered;
      result.witness = sets.space.pick(wrong, packets);
      result.witness_line = 0;
      result.witness_action = Action::deny;
      for (int p : positions) {
        if (!sets.space.holds(sets.lower[p], result.witness)) continue;
        result.witness_line = source.rules()[p].line;
        result.witness_action = source.rules()[p].action;
        break;
      }
      return result;
    }
    result.deciding_lines = decidingLines(source, sets, positions, packets);
    const Node surelyOther =
        permit ? dd.diff(packets, outcome.permitHi) : dd.conjoin(packets, outcome.permitLo);
    result.reason = !setting.exact && surelyOther != DecisionDiagram::kNone
                        ? lineReason(setting)
                        : firstUnknown(source, sets, positions, packets);
    if (result.reason == "unknown" && !setting.exact) result.reason = lineReason(setting);
  } catch (const SpaceExhausted& e) {
    result = Verdict{};
    result.reason = guardReason(e);
  }
  return result;
}

std::optional<Finding> diagramJudge(const RuleList& list, int position, const CoverLimits& limits) {
  const CoverRule& rule = list.rules()[static_cast<std::size_t>(position)];
  RuleList::Sets* sets = nullptr;
  try {
    sets = &list.sets(limits);
    sets->scratch(limits.maxNodes / 4);
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
