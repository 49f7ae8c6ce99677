#include "space/list_diff.h"

#include <algorithm>
#include <climits>
#include <map>
#include <utility>

#include "space/diagram_cover.h"
#include "space/rule_alignment.h"

namespace dorvex {

namespace {

// One list's rules as sets, and which of them the alignment left over.
struct Side {
  const RuleList* list = nullptr;
  std::vector<Node> upper, lower;
  std::vector<bool> unaligned;
};

bool sameRule(const Side& a, int i, const Side& b, int j) {
  const CoverRule& x = a.list->rules()[static_cast<std::size_t>(i)];
  const CoverRule& y = b.list->rules()[static_cast<std::size_t>(j)];
  return a.upper[static_cast<std::size_t>(i)] == b.upper[static_cast<std::size_t>(j)] &&
         x.action == y.action && x.exact == y.exact && (x.exact || x.reason == y.reason);
}

// Marks in both sides the rules a shortest edit script does not keep in
// order. Equal sets have equal nodes, so rules are compared by what they
// match, not by how they are written.
void align(Side& a, Side& b) {
  const Alignment kept =
      alignRules(static_cast<int>(a.upper.size()), static_cast<int>(b.upper.size()),
                 [&](int i, int j) { return sameRule(a, i, b, j); });
  for (int partner : kept.ofFirst) a.unaligned.push_back(partner < 0);
  for (int partner : kept.ofSecond) b.unaligned.push_back(partner < 0);
}

// Where in `side` each packet of `region` is decided, among the rules at
// `positions` (ascending; every rule that meets it): (position, the packets
// that rule surely decides), -1 for the implicit deny. Packets an earlier
// rule not exactly known may take have no sure deciding line and are in no
// part. The rest shrinks as rules take it, and the walk ends when it is
// empty: the region is one rule's changed packets, which the rules before
// it mostly miss.
std::vector<std::pair<int, Node>> decidersOf(DecisionDiagram& dd, const Side& side,
                                             const std::vector<int>& positions, Node region) {
  std::vector<std::pair<int, Node>> parts;
  Node rest = region;
  Node open = region;  // packets no earlier rule may match
  for (int p : positions) {
    if (rest == DecisionDiagram::kNone) break;
    const Node upper = side.upper[static_cast<std::size_t>(p)];
    const Node sure = dd.conjoin(open, side.lower[static_cast<std::size_t>(p)]);
    if (sure != DecisionDiagram::kNone) parts.emplace_back(p, sure);
    rest = dd.diff(rest, side.lower[static_cast<std::size_t>(p)]);
    open = dd.diff(open, upper);
  }
  if (open != DecisionDiagram::kNone) parts.emplace_back(-1, open);
  return parts;
}

Action actionOf(const Side& side, int p) {
  return p < 0 ? Action::deny : side.list->rules()[static_cast<std::size_t>(p)].action;
}

int lineOf(const Side& side, int p) {
  return p < 0 ? 0 : side.list->rules()[static_cast<std::size_t>(p)].line;
}

}  // namespace

ListChanges compareLists(const RuleList& older, const RuleList& newer, const CoverLimits& limits) {
  ListChanges out;
  try {
    HeaderSpace space(limits.maxNodes);
    DecisionDiagram& dd = space.sets();
    Side sides[2];
    sides[0].list = &older;
    sides[1].list = &newer;
    for (Side& side : sides) {
      for (const CoverRule& rule : side.list->rules()) {
        side.upper.push_back(ruleSetOf(space, rule));
        side.lower.push_back(rule.exact ? side.upper.back() : DecisionDiagram::kNone);
      }
    }
    align(sides[0], sides[1]);
    // Under any reading of the rules not exactly known, a packet decided by
    // aligned rules in both lists is decided by the same rule in both (an
    // aligned rule earlier in one list is earlier in the other, and matches
    // it there too). So every change lies in the packets an unaligned rule
    // may decide in its own list; each such rule is asked on its own,
    // inside its packets, over the rules the index names, and its nodes are
    // dropped when it is done.
    const std::size_t mark = dd.nodeCount();
    // The packets asked about so far, kept apart from the questions' nodes:
    // every pair and doubt of a packet is found by the first question that
    // holds it (a rule flipped in place is asked of both lists alike), so
    // a question asks only of the packets no earlier one held.
    DecisionDiagram asked(HeaderSpace::kVariables, limits.maxNodes);
    Node askedSet = DecisionDiagram::kNone;
    std::map<std::pair<int, int>, Difference> pairs;
    std::vector<std::pair<int, int>> doubts;  // (side, position)
    std::vector<int> mine, theirs;
    for (int s = 0; s < 2; ++s) {
      const Side& own = sides[s];
      const Side& other = sides[1 - s];
      for (std::size_t u = 0; u < own.unaligned.size(); ++u) {
        if (!own.unaligned[u]) continue;
        dd.truncate(mark);
        const std::vector<Box> boxes = indexBoxesOf(own.list->rules()[u]);
        own.list->candidates(boxes, mine);
        other.list->candidates(boxes, theirs);
        const auto split = std::lower_bound(mine.begin(), mine.end(), static_cast<int>(u));
        const std::vector<int> earlier(mine.begin(), split);
        // The packets the rule may decide: no earlier rule surely takes them.
        const Node packets = own.upper[u];
        Node may = dd.diff(packets, unionWithin(dd, earlier, own.lower, packets));
        if (may == DecisionDiagram::kNone) continue;
        const Node fresh = asked.diff(asked.copyFrom(dd, may), askedSet);
        if (fresh == DecisionDiagram::kNone) continue;
        askedSet = asked.join(askedSet, fresh);
        may = dd.copyFrom(asked, fresh);
        // The earlier rules exactly known miss `may` by its making: the own
        // outcome is read from the rule on, and the earlier ones not known.
        std::vector<int> fromHere;
        for (int p : mine) {
          if (p >= static_cast<int>(u) || !own.list->rules()[static_cast<std::size_t>(p)].exact)
            fromHere.push_back(p);
        }
        const Outcome here =
            outcomeOf(dd, RuleSets{own.list->rules(), own.upper, own.lower}, fromHere, may);
        const Outcome there =
            outcomeOf(dd, RuleSets{other.list->rules(), other.upper, other.lower}, theirs, may);
        // Surely changed, and changed under some reading.
        const Node changed =
            dd.join(dd.diff(here.permitLo, there.permitHi), dd.diff(there.permitLo, here.permitHi));
        const Node maybe =
            dd.join(dd.diff(here.permitHi, there.permitLo), dd.diff(there.permitHi, here.permitLo));
        Node explained = DecisionDiagram::kNone;
        if (changed != DecisionDiagram::kNone) {
          const auto before = decidersOf(dd, own, fromHere, changed);
          const auto after = decidersOf(dd, other, theirs, changed);
          // The pairs' union, the parts of each side being disjoint.
          Node ownDecided = DecisionDiagram::kNone, otherDecided = DecisionDiagram::kNone;
          for (const auto& part : before) ownDecided = dd.join(ownDecided, part.second);
          for (const auto& part : after) otherDecided = dd.join(otherDecided, part.second);
          explained = dd.conjoin(ownDecided, otherDecided);
          for (const auto& [p, ownPart] : before) {
            for (const auto& [q, otherPart] : after) {
              const int oldPos = s == 0 ? p : q, newPos = s == 0 ? q : p;
              const std::pair<int, int> key{lineOf(sides[0], oldPos), lineOf(sides[1], newPos)};
              if (pairs.count(key) || !dd.meets(ownPart, otherPart)) continue;
              const Node both = dd.conjoin(ownPart, otherPart);
              Difference d;
              d.old_line = key.first;
              d.new_line = key.second;
              d.old_action = actionOf(sides[0], oldPos);
              d.new_action = actionOf(sides[1], newPos);
              d.witness = space.pick(both, packets);
              pairs.emplace(key, d);
            }
          }
        }
        // What may have changed and is in no pair hangs on rules not
        // exactly known: each one whose packets meet it is named.
        const Node open = dd.diff(dd.join(changed, maybe), explained);
        if (open == DecisionDiagram::kNone) continue;
        for (int side : {s, 1 - s}) {
          for (int p : side == s ? mine : theirs) {
            const CoverRule& rule = sides[side].list->rules()[static_cast<std::size_t>(p)];
            if (!rule.exact && dd.meets(open, sides[side].upper[static_cast<std::size_t>(p)]))
              doubts.emplace_back(side, p);
          }
        }
      }
    }
    for (const auto& entry : pairs) out.differences.push_back(entry.second);
    std::sort(doubts.begin(), doubts.end());
    doubts.erase(std::unique(doubts.begin(), doubts.end()), doubts.end());
    for (const auto& [side, p] : doubts) {
      out.undecided.push_back(
          ListChanges::Doubt{side == 1, &sides[side].list->rules()[static_cast<std::size_t>(p)]});
    }
    // A list's lines, then the rules it implies after them, then its end.
    auto order = [](int line) { return line > 0 ? line : line == 0 ? INT_MAX : (1 << 30) - line; };
    std::sort(out.differences.begin(), out.differences.end(),
              [&](const Difference& x, const Difference& y) {
                return std::make_pair(order(x.old_line), order(x.new_line)) <
                       std::make_pair(order(y.old_line), order(y.new_line));
              });
  } catch (const SpaceExhausted& e) {
    out = ListChanges{};
    out.guard = guardReason(e);
  }
  return out;
}

}  // namespace dorvex
