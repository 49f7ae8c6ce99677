#include "space/list_diff.h"

#include <algorithm>
#include <utility>

#include "space/diagram_cover.h"

namespace dorvex {

namespace {

// A shortest edit script longer than this is not looked for: the lists are
// then compared whole past their common start and end, exactly all the
// same, only slower.
constexpr int kMaxEdits = 2048;

// One list's rules as sets, and which of them the alignment left over.
struct Side {
  const RuleList* list = nullptr;
  std::vector<Node> upper, lower;
  std::vector<bool> unaligned;
  std::vector<int> positions;  // the rules that meet the changed zone
};

bool sameRule(const Side& a, int i, const Side& b, int j) {
  const CoverRule& x = a.list->rules()[static_cast<std::size_t>(i)];
  const CoverRule& y = b.list->rules()[static_cast<std::size_t>(j)];
  return a.upper[static_cast<std::size_t>(i)] == b.upper[static_cast<std::size_t>(j)] &&
         x.action == y.action && x.exact == y.exact && (x.exact || x.reason == y.reason);
}

// Marks in both sides the rules a shortest edit script (Myers) does not keep
// in order. Equal sets have equal nodes, so rules are compared by what they
// match, not by how they are written.
void align(Side& a, Side& b) {
  const int n = static_cast<int>(a.upper.size()), m = static_cast<int>(b.upper.size());
  a.unaligned.assign(static_cast<std::size_t>(n), true);
  b.unaligned.assign(static_cast<std::size_t>(m), true);
  int head = 0;
  while (head < n && head < m && sameRule(a, head, b, head)) {
    a.unaligned[static_cast<std::size_t>(head)] = b.unaligned[static_cast<std::size_t>(head)] =
        false;
    ++head;
  }
  int tailA = n, tailB = m;
  while (tailA > head && tailB > head && sameRule(a, tailA - 1, b, tailB - 1)) {
    --tailA, --tailB;
    a.unaligned[static_cast<std::size_t>(tailA)] = b.unaligned[static_cast<std::size_t>(tailB)] =
        false;
  }
  const int na = tailA - head, nb = tailB - head;
  auto same = [&](int x, int y) { return sameRule(a, head + x, b, head + y); };
  // trace[d][k + d]: the furthest x on diagonal k after d edits.
  std::vector<std::vector<int>> trace;
  int edits = -1;
  for (int d = 0; d <= std::min(kMaxEdits, na + nb) && edits < 0; ++d) {
    std::vector<int> row(static_cast<std::size_t>(2 * d + 1));
    auto prev = [&](int k) {
      return trace[static_cast<std::size_t>(d - 1)][static_cast<std::size_t>(k + d - 1)];
    };
    for (int k = -d; k <= d; k += 2) {
      int x = d == 0                                               ? 0
              : (k == -d || (k != d && prev(k - 1) < prev(k + 1))) ? prev(k + 1)
                                                                   : prev(k - 1) + 1;
      int y = x - k;
      while (x < na && y < nb && same(x, y)) ++x, ++y;
      row[static_cast<std::size_t>(k + d)] = x;
      if (x >= na && y >= nb) edits = d;
    }
    trace.push_back(std::move(row));
  }
  if (edits < 0) return;  // past the limit: the middle stays unaligned
  int x = na, y = nb;
  for (int d = edits; d > 0; --d) {
    const std::vector<int>& before = trace[static_cast<std::size_t>(d - 1)];
    auto at = [&](int k) { return before[static_cast<std::size_t>(k + d - 1)]; };
    const int k = x - y;
    const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
    const int prevK = down ? k + 1 : k - 1;
    const int prevX = at(prevK), prevY = prevX - prevK;
    const int startX = down ? prevX : prevX + 1;
    while (x > startX) {
      --x, --y;
      a.unaligned[static_cast<std::size_t>(head + x)] =
          b.unaligned[static_cast<std::size_t>(head + y)] = false;
    }
    x = prevX, y = prevY;
  }
  while (x > 0) {
    --x, --y;
    a.unaligned[static_cast<std::size_t>(head + x)] =
        b.unaligned[static_cast<std::size_t>(head + y)] = false;
  }
}

// Where in `side` each packet of `changed` is decided: (position, the
// packets that rule surely decides), -1 for the implicit deny. Packets an
// earlier rule not exactly known may take have no sure deciding line and
// are in no part.
std::vector<std::pair<int, Node>> decidersOf(DecisionDiagram& dd, const Side& side, Node changed) {
  // Each rule cut to the changed packets once; most rules of the zone miss
  // them entirely.
  std::vector<int> touching;
  std::vector<Node> cut(side.upper.size(), DecisionDiagram::kNone);
  for (int p : side.positions) {
    cut[static_cast<std::size_t>(p)] = dd.conjoin(changed, side.upper[static_cast<std::size_t>(p)]);
    if (cut[static_cast<std::size_t>(p)] != DecisionDiagram::kNone) touching.push_back(p);
  }
  std::vector<std::pair<int, Node>> parts;
  for (std::size_t k = 0; k < touching.size(); ++k) {
    const int p = touching[k];
    const Node sure = dd.conjoin(changed, side.lower[static_cast<std::size_t>(p)]);
    if (sure == DecisionDiagram::kNone) continue;
    const std::vector<int> earlier(touching.begin(),
                                   touching.begin() + static_cast<std::ptrdiff_t>(k));
    const Node reach = dd.diff(sure, unionWithin(dd, earlier, cut, sure));
    if (reach != DecisionDiagram::kNone) parts.emplace_back(p, reach);
  }
  const Node rest = dd.diff(changed, unionWithin(dd, touching, cut, changed));
  if (rest != DecisionDiagram::kNone) parts.emplace_back(-1, rest);
  return parts;
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
    // The zone: every packet an unaligned rule matches. Outside it both
    // lists meet the same rules in the same order.
    std::vector<std::vector<Box>> zoneBoxes;
    Node zone = DecisionDiagram::kNone;
    for (const Side& side : sides) {
      std::vector<int> loose;
      for (std::size_t i = 0; i < side.unaligned.size(); ++i) {
        if (!side.unaligned[i]) continue;
        loose.push_back(static_cast<int>(i));
        zoneBoxes.push_back(indexBoxesOf(side.list->rules()[i]));
      }
      zone = dd.join(zone, unionWithin(dd, loose, side.upper, DecisionDiagram::kAll));
    }
    if (zone == DecisionDiagram::kNone) return out;
    std::vector<int> found;
    for (Side& side : sides) {
      for (const std::vector<Box>& boxes : zoneBoxes) {
        side.list->candidates(boxes, found);
        side.positions.insert(side.positions.end(), found.begin(), found.end());
      }
      std::sort(side.positions.begin(), side.positions.end());
      side.positions.erase(std::unique(side.positions.begin(), side.positions.end()),
                           side.positions.end());
    }
    Outcome outcome[2];
    for (int s = 0; s < 2; ++s) {
      const Side& side = sides[s];
      outcome[s] =
          outcomeOf(dd, RuleSets{side.list->rules(), side.upper, side.lower}, side.positions, zone);
    }
    // Surely changed: surely permitted on one side and surely denied on the
    // other. Possibly changed: permitted on one side under some reading.
    const Node changed = dd.join(dd.diff(outcome[0].permitLo, outcome[1].permitHi),
                                 dd.diff(outcome[1].permitLo, outcome[0].permitHi));
    const Node maybe = dd.join(dd.diff(outcome[0].permitHi, outcome[1].permitLo),
                               dd.diff(outcome[1].permitHi, outcome[0].permitLo));
    Node explained = DecisionDiagram::kNone;
    if (changed != DecisionDiagram::kNone) {
      const auto before = decidersOf(dd, sides[0], changed);
      const auto after = decidersOf(dd, sides[1], changed);
      auto actionOf = [](const Side& side, int p) {
        return p < 0 ? Action::deny : side.list->rules()[static_cast<std::size_t>(p)].action;
      };
      auto lineOf = [](const Side& side, int p) {
        return p < 0 ? 0 : side.list->rules()[static_cast<std::size_t>(p)].line;
      };
      auto shown = [](const Side& side, int p) {
        return p < 0 ? DecisionDiagram::kNone : side.upper[static_cast<std::size_t>(p)];
      };
      for (const auto& [p, oldPart] : before) {
        for (const auto& [q, newPart] : after) {
          const Node both = dd.conjoin(oldPart, newPart);
          if (both == DecisionDiagram::kNone) continue;
          Difference d;
          d.old_line = lineOf(sides[0], p);
          d.new_line = lineOf(sides[1], q);
          d.old_action = actionOf(sides[0], p);
          d.new_action = actionOf(sides[1], q);
          d.witness = space.pick(both, dd.join(shown(sides[0], p), shown(sides[1], q)));
          out.differences.push_back(d);
          explained = dd.join(explained, both);
        }
      }
    }
    auto order = [](int line) { return line == 0 ? 1 << 30 : line; };
    std::sort(out.differences.begin(), out.differences.end(),
              [&](const Difference& x, const Difference& y) {
                return std::make_pair(order(x.old_line), order(x.new_line)) <
                       std::make_pair(order(y.old_line), order(y.new_line));
              });
    // What may have changed and is in no pair hangs on rules not exactly
    // known: each one whose packets meet it is named.
    const Node open = dd.join(dd.diff(changed, explained), dd.diff(maybe, changed));
    if (open != DecisionDiagram::kNone) {
      for (int s = 0; s < 2; ++s) {
        for (int p : sides[s].positions) {
          const CoverRule& rule = sides[s].list->rules()[static_cast<std::size_t>(p)];
          if (!rule.exact && dd.meets(open, sides[s].upper[static_cast<std::size_t>(p)])) {
            out.undecided.push_back(ListChanges::Doubt{s == 1, &rule});
          }
        }
      }
    }
  } catch (const SpaceExhausted& e) {
    out = ListChanges{};
    out.guard = "memory guard: " + std::to_string(e.nodes) + " decision nodes";
  }
  return out;
}

}  // namespace dorvex
