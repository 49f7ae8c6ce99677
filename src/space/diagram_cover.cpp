#include "space/diagram_cover.h"

#include <algorithm>
#include <utility>

namespace dorvex {

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

std::string guardReason(const SpaceExhausted& e) {
  return "memory guard: " + std::to_string(e.nodes) + " decision nodes";
}

namespace {

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
std::string unknownAmong(const RuleList& list, RuleList::Sets& sets,
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

std::size_t RuleList::Sets::prefixUpTo(int position) {
  const auto wanted = static_cast<std::size_t>(position / kStride);
  DecisionDiagram& dd = space.sets();
  while (!prefixesStopped && lowerBefore.size() <= wanted) {
    // Made apart from any question, under a guard of its own share.
    dd.truncate(mark);
    const std::size_t start = dd.nodeCount(), guard = dd.maxNodes();
    dd.setMaxNodes(std::min(guard, start + budget / 8 - std::min(budget / 8, prefixNodes)));
    try {
      const std::size_t k = lowerBefore.size() - 1;
      Node lowerUnion = lowerBefore[k], upperUnion = upperBefore[k];
      for (std::size_t p = k * kStride; p < (k + 1) * kStride; ++p) {
        lowerUnion = dd.join(lowerUnion, lower[p]);
        upperUnion = dd.join(upperUnion, upper[p]);
      }
      // A union that grows by more than a few nodes a rule is no cheaper
      // than the rules one by one: the prefixes stop there.
      if (dd.nodeCount() - start > kGrowth * kStride) throw SpaceExhausted(dd.nodeCount());
      lowerBefore.push_back(lowerUnion);
      upperBefore.push_back(upperUnion);
      prefixNodes += dd.nodeCount() - start;
      mark = dd.nodeCount();
    } catch (const SpaceExhausted&) {
      dd.truncate(mark);
      prefixesStopped = true;
    }
    dd.setMaxNodes(guard);
  }
  return std::min(wanted, lowerBefore.size() - 1);
}

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
                       const Reach* within, bool undecidedLines) {
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
    if (undecidedLines) result.deciding_lines = decidingLines(source, sets, positions, packets);
    const Node surelyOther =
        permit ? dd.diff(packets, outcome.permitHi) : dd.conjoin(packets, outcome.permitLo);
    result.reason = !setting.exact && surelyOther != DecisionDiagram::kNone
                        ? lineReason(setting)
                        : unknownAmong(source, sets, positions, packets);
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

std::optional<bool> diagramReaches(const RuleList& list, int position,
                                   const std::vector<int>& earlier, const CoverLimits& limits,
                                   const std::vector<const CoverRule*>& also,
                                   const CoverRule* inside, Packet* witness) {
  try {
    RuleList::Sets& own = list.sets(limits);
    own.scratch();
    DecisionDiagram& dd = own.space.sets();
    Node packets = own.upper[static_cast<std::size_t>(position)];
    if (inside) packets = dd.conjoin(packets, ruleSetOf(own.space, *inside));
    std::vector<Node> takers;
    for (int p : earlier) takers.push_back(own.lower[static_cast<std::size_t>(p)]);
    for (const CoverRule* rule : also) takers.push_back(ruleSetOf(own.space, *rule));
    std::vector<std::pair<long double, int>> parts;  // (-packets shared, index of takers)
    for (std::size_t k = 0; k < takers.size(); ++k) {
      const Node part = dd.conjoin(packets, takers[k]);
      if (part != DecisionDiagram::kNone) parts.emplace_back(-dd.count(part), static_cast<int>(k));
    }
    // The largest parts first, one by one: a line hidden by a few broad
    // ones is shown so at once. The rest as one union, as a running
    // difference over thousands of parts grows large on the way.
    std::sort(parts.begin(), parts.end());
    constexpr std::size_t kOneByOne = 64;
    Node rest = packets;
    std::vector<int> others;
    for (std::size_t k = 0; k < parts.size(); ++k) {
      if (k >= kOneByOne) {
        others.push_back(parts[k].second);
        continue;
      }
      rest = dd.diff(rest, takers[static_cast<std::size_t>(parts[k].second)]);
      if (rest == DecisionDiagram::kNone) return false;
    }
    rest = dd.diff(rest, unionWithin(dd, others, takers, rest));
    if (rest == DecisionDiagram::kNone) return false;
    if (witness) *witness = own.space.pick(rest, packets);
    return true;
  } catch (const SpaceExhausted&) {
    return std::nullopt;
  }
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
    result.reason = guardReason(e);
    return result;
  }
  return diagramVerdict(source, rule, limits, &within);
}

}  // namespace dorvex
