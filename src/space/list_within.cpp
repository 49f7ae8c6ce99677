#include "space/list_within.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "space/box_walks.h"
#include "space/diagram_cover.h"

namespace dorvex {

namespace {

// Sets `chosen` to lines of rules of `pool` whose union covers `target`,
// picked greedily by the volume each adds. Returns false iff the budget ran
// out first. REQUIRES: the pool's union covers `target`.
bool greedyCover(BoxSet target, const RuleList& list, std::vector<int> pool,
                 const CoverLimits& limits, std::size_t& work, std::vector<int>& chosen) {
  Box piece;
  while (!target.empty() && !pool.empty()) {
    if (target.size() > limits.maxPieces || work > limits.maxWork) return false;
    std::size_t best = 0;
    long double bestVolume = -1;
    for (std::size_t i = 0; i < pool.size(); ++i) {
      long double covered = 0;
      for (const Box& box : list.rules()[pool[i]].boxes) {
        for (const Box& t : target) {
          if (intersect(t, box, piece)) covered += volume(piece);
        }
      }
      work += target.size();
      if (covered > bestVolume) bestVolume = covered, best = i;
    }
    const CoverRule& rule = list.rules()[pool[best]];
    chosen.push_back(rule.line);
    removeRule(target, rule, work);
    pool.erase(pool.begin() + best);
  }
  return true;
}

// What probe packets of a line showed.
struct ProbeResult {
  bool needed = false;        // one reaches the line and the rest decide it the other way
  bool reached = false;       // one reaches the line
  std::vector<int> deciders;  // positions deciding a reaching one without the line; -1 none
};

// Probes the line at `position` with a few packets of each of its boxes.
// Most lines are settled so without splitting any box.
ProbeResult probeLine(const RuleList& list, int position, const std::vector<int>& candidates) {
  const CoverRule& rule = list.rules()[position];
  ProbeResult result;
  if (!rule.exact) return result;
  for (const Box& box : rule.boxes) {
    for (std::uint64_t seed = 0; seed < kProbes; ++seed) {
      Packet p = samplePacket(box, seed);
      if (firstMatch(list, candidates, p, -1) != position) continue;
      result.reached = true;
      int without = firstMatch(list, candidates, p, position);
      if (without == -2) continue;
      Action other = without < 0 ? Action::deny : list.rules()[without].action;
      if (other != rule.action) {
        result.needed = true;
        return result;
      }
      result.deciders.push_back(without);
    }
  }
  return result;
}

// Sets `part` to the packets of the line at `position` that reach the rule
// at `decider` in the list without the line: both their boxes, minus the
// rules before `decider` but the line that `cut` takes (only when
// `keepRest`; else `part` may be left larger once known nonempty).
// `candidates` are the rules that meet the line (RuleList::candidates()):
// every rule that meets `part` is one, so they are sifted, not looked up.
Rest decidedBy(const RuleList& list, int position, const std::vector<int>& candidates, int decider,
               Cut cut, BoxSet& part, const CoverLimits& limits, std::size_t& work,
               bool keepRest = false) {
  part.clear();
  for (const Box& box : list.rules()[decider].boxes) {
    intersectInto(list.rules()[position].boxes, box, part);
  }
  if (part.empty()) return Rest::empty;
  std::vector<int> before;
  for (int p : candidates) {
    if (p >= decider) break;
    if (p == position) continue;
    work += part.size();
    const auto meets = [&](const Box& box) {
      return std::any_of(part.begin(), part.end(),
                         [&](const Box& b) { return intersects(box, b); });
    };
    const auto& boxes = list.rules()[p].boxes;
    if (std::any_of(boxes.begin(), boxes.end(), meets)) before.push_back(p);
  }
  return subtractAll(part, list, cutBy(list, std::move(before), cut), limits, work, keepRest);
}

Finding undecided(const CoverRule& rule, std::string reason) {
  return Finding{rule.line, FindingKind::undecided, {}, 0, std::move(reason)};
}

// The reason of the first rule at `positions` not exactly known whose boxes
// meet the line at `position`: one that may catch its packets.
std::string firstUnknown(const RuleList& list, int position, const std::vector<int>& positions) {
  for (int p : positions) {
    const CoverRule& other = list.rules()[p];
    if (other.exact || p == position) continue;
    for (const Box& a : other.boxes) {
      for (const Box& b : list.rules()[position].boxes) {
        if (intersects(a, b)) return lineReason(other);
      }
    }
  }
  return "unknown";
}

// An unreachable line: `earlier` are the exactly known earlier rules that
// meet it, `candidates` every earlier rule that does.
Finding unreachable(const RuleList& list, int position, const std::vector<int>& earlier,
                    const std::vector<int>& candidates, const CoverLimits& limits,
                    std::size_t& work) {
  const CoverRule& rule = list.rules()[position];
  Finding finding{rule.line, FindingKind::unreachable, {}, 0, {}};
  if (!greedyCover(rule.boxes, list, earlier, limits, work, finding.lines)) {
    return undecided(rule, "budget");
  }
  // The other action's lines by the packets they share with the line, the
  // most first; the first that surely decides some of them is the one named.
  std::vector<std::pair<long double, int>> byOverlap;
  BoxSet part;
  for (int p : earlier) {
    if (list.rules()[p].action == rule.action) continue;
    part.clear();
    for (const Box& box : list.rules()[p].boxes) intersectInto(rule.boxes, box, part);
    byOverlap.emplace_back(-volume(part), p);
  }
  std::sort(byOverlap.begin(), byOverlap.end());
  bool unsure = false;
  for (const auto& entry : byOverlap) {
    Rest outcome =
        decidedBy(list, position, candidates, entry.second, Cut::all, part, limits, work);
    unsure = unsure || outcome == Rest::budget;
    if (outcome != Rest::nonempty) continue;
    finding.conflicting_line = list.rules()[entry.second].line;
    return finding;
  }
  if (unsure) return undecided(rule, "budget");
  return finding;
}

// Whether the line at `position` is reached: nullopt when some packet
// surely reaches it, else its finding (unreachable, or undecided when only
// rules not exactly known may stop its packets).
std::optional<Finding> judgeReach(const RuleList& list, int position,
                                  const std::vector<int>& earlier, const CoverLimits& limits,
                                  std::size_t& work) {
  const CoverRule& rule = list.rules()[position];
  std::vector<int> earlierExact = cutBy(list, earlier, Cut::exactOnly);
  BoxSet rest = rule.boxes;
  Rest outcome = subtractAll(rest, list, earlierExact, limits, work);
  if (outcome == Rest::budget) return undecided(rule, "budget");
  if (outcome == Rest::empty)
    return unreachable(list, position, earlierExact, earlier, limits, work);
  if (earlierExact.size() == earlier.size()) return std::nullopt;
  rest = rule.boxes;
  outcome = subtractAll(rest, list, earlier, limits, work);
  if (outcome == Rest::budget) return undecided(rule, "budget");
  if (outcome == Rest::empty) return undecided(rule, firstUnknown(list, position, earlier));
  return std::nullopt;
}

// The finding of the line at `position`, or nullopt when it is needed (or,
// not exactly known, never reported otherwise). Each later rule is asked on
// its own which packets of the line it would decide without the line, over
// only the rules that meet those, so a broad line is never cut by all its
// neighbours at once; probes settle most lines before that. The outcome is
// the walk's: packets that may get past rules not exactly known and then
// be decided the other way leave the line undecided.
std::optional<Finding> judgeLine(const RuleList& list, int position,
                                 const std::vector<int>& candidates, const CoverLimits& limits,
                                 std::size_t& work) {
  const CoverRule& rule = list.rules()[position];
  ProbeResult probe = probeLine(list, position, candidates);
  if (probe.needed) return std::nullopt;
  auto split = std::lower_bound(candidates.begin(), candidates.end(), position);
  std::vector<int> earlier(candidates.begin(), split);
  std::vector<int> others(earlier);
  // A line that matches no packet meets no box, not even its own.
  const bool itself = split != candidates.end() && *split == position;
  others.insert(others.end(), split + (itself ? 1 : 0), candidates.end());
  if (!probe.reached) {
    std::optional<Finding> reach = judgeReach(list, position, earlier, limits, work);
    if (reach) return reach;
  }
  if (!rule.exact) return undecided(rule, lineReason(rule));
  auto proven = [&](int p) {
    return std::find(probe.deciders.begin(), probe.deciders.end(), p) != probe.deciders.end();
  };
  std::string doubt;
  std::vector<int> deciding;
  BoxSet part;
  for (auto it = split + 1; it != candidates.end(); ++it) {
    const CoverRule& other = list.rules()[*it];
    Rest may = proven(*it)
                   ? Rest::nonempty
                   : decidedBy(list, position, candidates, *it, Cut::exactOnly, part, limits, work);
    if (may == Rest::budget) return undecided(rule, "budget");
    if (may == Rest::empty) continue;
    if (other.action == rule.action) {
      deciding.push_back(other.line);
      continue;
    }
    Rest sure = !other.exact ? Rest::empty
                : proven(*it)
                    ? Rest::nonempty
                    : decidedBy(list, position, candidates, *it, Cut::all, part, limits, work);
    if (sure == Rest::budget) return undecided(rule, "budget");
    if (sure == Rest::nonempty) return std::nullopt;
    if (doubt.empty())
      doubt = other.exact ? firstUnknown(list, position, others) : lineReason(other);
  }
  // What no other rule matches falls to the implicit deny.
  BoxSet rest = rule.boxes;
  Rest may = proven(-1)
                 ? Rest::nonempty
                 : subtractAll(rest, list, cutBy(list, others, Cut::exactOnly), limits, work);
  if (may == Rest::budget) return undecided(rule, "budget");
  if (may == Rest::nonempty && rule.action == Action::deny) deciding.push_back(0);
  if (may == Rest::nonempty && rule.action == Action::permit) {
    rest = rule.boxes;
    Rest sure = proven(-1) ? Rest::nonempty : subtractAll(rest, list, others, limits, work);
    if (sure == Rest::budget) return undecided(rule, "budget");
    if (sure == Rest::nonempty) return std::nullopt;
    if (doubt.empty()) doubt = firstUnknown(list, position, others);
  }
  if (!doubt.empty()) return undecided(rule, doubt);
  return Finding{rule.line, FindingKind::redundant, deciding, 0, {}};
}

}  // namespace

std::vector<Finding> within(const RuleList& list, const CoverLimits& limits) {
  std::vector<Finding> findings;
  std::vector<int> positions;
  // The box walks of one list together may do ten walks' worth of work and
  // a share per line; past that (lines that each walk far, as in a list of
  // nested ranges) the diagrams take the remaining lines.
  std::size_t work = 0;
  const std::size_t listWork = 10 * limits.maxWork + 20'000 * list.rules().size();
  for (int position = 0; position < int(list.rules().size()); ++position) {
    std::optional<Finding> finding;
    if (list.grouped() || work > listWork) {
      finding = diagramJudge(list, position, limits);
    } else {
      list.candidates(list.rules()[position].boxes, positions);
      std::size_t lineWork = 0;
      finding = judgeLine(list, position, positions, limits, lineWork);
      work += lineWork;
      // Past the budget of the boxes, the diagrams answer exactly.
      if (finding && finding->reason == "budget") finding = diagramJudge(list, position, limits);
    }
    if (finding) findings.push_back(std::move(*finding));
  }
  return findings;
}

}  // namespace dorvex
