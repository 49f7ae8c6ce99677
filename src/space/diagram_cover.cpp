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

  // Starts a question: no answer keeps a node of its own, so the nodes of
  // earlier questions may go. They stay while they hold an eighth of the
  // guard at most: neighbouring rules, asked one after the other, share
  // much of their work through them and the operation cache, and a
  // question still has the rest of the guard.
  void scratch() {
    if (space.sets().nodeCount() > mark + budget / 8) space.sets().truncate(mark);
  }

  HeaderSpace space;
  std::vector<Node> upper, lower;
  std::size_t mark = 0;
  std::size_t budget = 0;  // the whole guard
};

Node ruleSetOf(HeaderSpace& space, const CoverRule& rule) {
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

namespace {

std::string guardReason(const SpaceExhausted& e) {
  return "memory guard: " + std::to_string(e.nodes) + " decision nodes";
}

// A run of rules in order, cut to a region: what it surely and possibly
// permits, the packets its deny lines possibly and surely match, those its
// lines surely match, and those a rule not exactly known may match first.
struct Run {
  Node permitLo, permitHi, denyHi, denyLo, matched, unknown;
};

// Run `a` then run `b`.
Run follow(DecisionDiagram& dd, const Run& a, const Run& b) {
  return Run{dd.join(a.permitLo, dd.diff(b.permitLo, a.denyHi)),
             dd.join(a.permitHi, dd.diff(b.permitHi, a.denyLo)),
             dd.join(a.denyHi, b.denyHi),
             dd.join(a.denyLo, b.denyLo),
             dd.join(a.matched, b.matched),
             dd.join(a.unknown, dd.diff(b.unknown, a.matched))};
}

}  // namespace

Outcome outcomeOf(DecisionDiagram& dd, const RuleSets& sets, const std::vector<int>& positions,
                  Node region, const Action* stopOnOther) {
  const Node none = DecisionDiagram::kNone;
  // Chunks of the rules, twice as many each time, each merged pairwise
  // (a running answer over a long list grows far larger on the way than
  // the whole), until the rules so far surely match all of `region`.
  Run whole{none, none, none, none, none, none};
  std::vector<Run> runs;
  std::size_t next = 0;
  for (std::size_t chunk = 8; next < positions.size() && whole.matched != region; chunk *= 2) {
    runs.clear();
    for (; next < positions.size() && runs.size() < chunk; ++next) {
      const int p = positions[next];
      const Node upper = dd.conjoin(sets.upper[p], region);
      if (upper == none) continue;
      const Node lower = dd.conjoin(sets.lower[p], region);
      const CoverRule& rule = sets.rules[p];
      const bool permit = rule.action == Action::permit;
      runs.push_back(Run{permit ? lower : none, permit ? upper : none, permit ? none : upper,
                         permit ? none : lower, lower, rule.exact ? none : upper});
    }
    while (runs.size() > 1) {
      std::size_t kept = 0;
      for (std::size_t k = 0; k < runs.size(); k += 2) {
        runs[kept++] = k + 1 < runs.size() ? follow(dd, runs[k], runs[k + 1]) : runs[k];
      }
      runs.resize(kept);
    }
    if (!runs.empty()) whole = follow(dd, whole, runs.front());
    if (!stopOnOther || next == positions.size()) continue;
    // Packets the rules so far surely decide against that action: no
    // later rule changes them, and the question is answered.
    const Node other =
        *stopOnOther == Action::permit ? dd.diff(whole.matched, whole.permitHi) : whole.permitLo;
    if (other != none) {
      return Outcome{whole.permitLo, whole.permitHi, whole.unknown, whole.matched, true};
    }
  }
  return Outcome{whole.permitLo, whole.permitHi, whole.unknown, whole.matched, false};
}

// The union of `of[p]` for p in `positions`, each cut to `region`, merged
// pairwise: a running union over a long list grows far larger on the way
// than the whole.
Node unionWithin(DecisionDiagram& dd, const std::vector<int>& positions,
                 const std::vector<Node>& of, Node region) {
  std::vector<Node> parts;
  for (int p : positions) {
    const Node part = dd.conjoin(of[p], region);
    if (part != DecisionDiagram::kNone) parts.push_back(part);
  }
  while (parts.size() > 1) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < parts.size(); k += 2) {
      parts[kept++] = k + 1 < parts.size() ? dd.join(parts[k], parts[k + 1]) : parts[k];
    }
    parts.resize(kept);
  }
  return parts.empty() ? DecisionDiagram::kNone : parts.front();
}

namespace {

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
  // them) and those that surely do (no earlier line may).
  const Node mayReach = dd.diff(packets, unionWithin(dd, earlier, sets.lower, packets));
  const bool earlierExact =
      std::all_of(earlier.begin(), earlier.end(), [&](int p) { return list.rules()[p].exact; });
  const Node sureReach =
      earlierExact ? mayReach : dd.diff(packets, unionWithin(dd, earlier, sets.upper, packets));
  if (mayReach == DecisionDiagram::kNone) return unreachable(list, sets, position, earlier);
  if (!rule.exact) return undecided(rule, lineReason(rule));
  if (sureReach == DecisionDiagram::kNone) {
    return undecided(rule, firstUnknown(list, sets, earlier, mayReach));
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
    sets->upper[i] = ruleSetOf(sets->space, rules_[i]);
    sets->lower[i] = rules_[i].exact ? sets->upper[i] : DecisionDiagram::kNone;
  }
  sets->mark = dd.nodeCount();
  sets->budget = limits.maxNodes;
  sets_ = std::move(sets);
  return *sets_;
}

Verdict diagramVerdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits,
                       const Reach* within) {
  Verdict result;
  try {
    RuleList::Sets& sets = source.sets(limits);
    sets.scratch();
    DecisionDiagram& dd = sets.space.sets();
    Node packets = ruleSetOf(sets.space, setting);
    Node mayTake = DecisionDiagram::kNone;
    if (within) {
      packets = dd.conjoin(packets, dd.copyFrom(*within->space, within->reach));
      mayTake = dd.copyFrom(*within->space, within->unknown);
    }
    if (packets == DecisionDiagram::kNone) {
      result.kind = VerdictKind::unreachable;
      return result;
    }
    const Node sure = setting.exact ? dd.diff(packets, mayTake) : DecisionDiagram::kNone;
    std::vector<int> positions;
    source.candidates(indexBoxesOf(setting), positions);
    const RuleSets rules{source.rules(), sets.upper, sets.lower};
    const bool permit = setting.action == Action::permit;
    // Read until a packet is surely decided the other way: most verdicts
    // that are "not covered" need no more of the list.
    Outcome outcome = outcomeOf(dd, rules, positions, packets, &setting.action);
    // A witness no rule not exactly known may match, so that its deciding
    // line is the same whatever those rules match.
    auto wrongOf = [&](const Outcome& o) {
      const Node against = permit ? dd.diff(sure, o.permitHi) : dd.conjoin(sure, o.permitLo);
      return dd.diff(o.partial && permit ? dd.conjoin(against, o.matched) : against, o.unknown);
    };
    if (outcome.partial && wrongOf(outcome) == DecisionDiagram::kNone) {
      outcome = outcomeOf(dd, rules, positions, packets);
    }
    const bool covered = !outcome.partial && (permit ? dd.within(packets, outcome.permitLo)
                                                     : !dd.meets(packets, outcome.permitHi));
    if (covered) {
      result.kind = VerdictKind::covered;
      result.deciding_lines = decidingLines(source, sets, positions, packets);
      return result;
    }
    const Node wrong = wrongOf(outcome);
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
    // A packet decided the other way that an earlier rule of its own list
    // may take: that rule is why.
    if (setting.exact && dd.meets(surelyOther, mayTake)) result.reason = within->why;
  } catch (const SpaceExhausted& e) {
    result = Verdict{};
    result.reason = guardReason(e);
  }
  return result;
}

Verdict diagramVerdictInList(const RuleList& source, const RuleList& settings, int position,
                             const std::vector<int>& earlier, const CoverLimits& limits) {
  const CoverRule& rule = settings.rules()[static_cast<std::size_t>(position)];
  std::vector<int> earlierExact;
  for (int p : earlier) {
    if (settings.rules()[static_cast<std::size_t>(p)].exact) earlierExact.push_back(p);
  }
  Verdict result;
  // The reach in the setting list's own sets, where its rules already are.
  Reach within;
  try {
    RuleList::Sets& own = settings.sets(limits);
    own.scratch();
    DecisionDiagram& dd = own.space.sets();
    const Node packets = own.upper[static_cast<std::size_t>(position)];
    within.space = &dd;
    within.reach = dd.diff(packets, unionWithin(dd, earlierExact, own.lower, packets));
    for (int p : earlier) {
      const CoverRule& other = settings.rules()[static_cast<std::size_t>(p)];
      if (other.exact || !dd.meets(within.reach, own.upper[static_cast<std::size_t>(p)])) continue;
      if (within.why.empty()) within.why = lineReason(other);
      within.unknown = dd.join(within.unknown, own.upper[static_cast<std::size_t>(p)]);
    }
  } catch (const SpaceExhausted& e) {
    result = Verdict{};
    result.reason = "memory guard: " + std::to_string(e.nodes) + " decision nodes";
    return result;
  }
  return diagramVerdict(source, rule, limits, &within);
}

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
