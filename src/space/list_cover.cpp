#include "space/list_cover.h"

#include "space/diagram_cover.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>

namespace dorvex {

namespace {

// Lists of at most so many boxes are scanned: building the keys would cost
// more than testing every box.
constexpr std::size_t kScanLimit = 64;

// `count` bits of the 128-bit address (high, low), starting `start` bits
// below the top.
std::uint64_t addressBits(std::uint64_t high, std::uint64_t low, int start, int count) {
  std::uint64_t mask = (std::uint64_t{1} << count) - 1;
  int end = start + count;  // bits from the top through the last one taken
  if (end <= 64) return (high >> (64 - end)) & mask;
  if (start >= 64) return (low >> (128 - end)) & mask;
  return ((high << (end - 64)) | (low >> (128 - end))) & mask;
}

bool caresAll(const Box& box, int side, int start, int count) {
  std::uint64_t mask = (std::uint64_t{1} << count) - 1;
  return addressBits(box.care[side], box.care[side + 1], start, count) == mask;
}

// One rule's packets walked down a list. `sure` holds the packets that
// surely reach the current rule, `maybe` those that reach it only if rules
// not exactly known let them through. The two stay disjoint.
struct Walk {
  BoxSet sure, maybe;
  std::vector<int> deciding;
  const CoverRule* maybeOrigin = nullptr;  // first to feed `maybe`
  std::string doubt;                       // why some packet may be decided the other way
  BoxSet wrong;                            // packets surely decided the other way, by wrongRule
  const CoverRule* wrongRule = nullptr;
  bool wrongByDefault = false;  // by the implicit deny
  std::size_t work = 0;
  bool overBudget = false;

  bool done() const { return overBudget || !wrong.empty() || (sure.empty() && maybe.empty()); }
};

void noteDoubt(Walk& walk, const std::string& why) {
  if (walk.doubt.empty()) walk.doubt = why;
}

std::string maybeReason(const Walk& walk) {
  return walk.maybeOrigin ? lineReason(*walk.maybeOrigin) : std::string("unknown");
}

bool removeRule(BoxSet& set, const CoverRule& rule, std::size_t& work) {
  bool met = false;
  for (const Box& box : rule.boxes) met |= removeFrom(set, box, work);
  return met;
}

BoxSet meetRule(const BoxSet& set, const CoverRule& rule) {
  BoxSet met;
  for (const Box& box : rule.boxes) intersectInto(set, box, met);
  return met;
}

// An exactly known rule: it decides every packet of the walk it matches.
void stepExact(Walk& walk, const CoverRule& rule, Action wanted) {
  if (rule.action != wanted) {
    walk.wrong = meetRule(walk.sure, rule);
    walk.work += walk.sure.size() * rule.boxes.size();
    if (!walk.wrong.empty()) {
      walk.wrongRule = &rule;
      return;
    }
    if (removeRule(walk.maybe, rule, walk.work)) noteDoubt(walk, maybeReason(walk));
    return;
  }
  bool met = removeRule(walk.sure, rule, walk.work);
  met |= removeRule(walk.maybe, rule, walk.work);
  if (met) walk.deciding.push_back(rule.line);
}

// A rule not exactly known: the packets of the walk in its boxes may be
// decided by it or go on, so they move to `maybe`.
void stepInexact(Walk& walk, const CoverRule& rule, Action wanted) {
  BoxSet moved = meetRule(walk.sure, rule);
  bool meetsMaybe = false;
  for (const Box& box : rule.boxes) {
    for (const Box& piece : walk.maybe) meetsMaybe = meetsMaybe || intersects(piece, box);
  }
  walk.work += (walk.sure.size() + walk.maybe.size()) * rule.boxes.size();
  if (moved.empty() && !meetsMaybe) return;
  if (rule.action != wanted) {
    noteDoubt(walk, lineReason(rule));
  } else {
    walk.deciding.push_back(rule.line);
  }
  if (moved.empty()) return;
  removeRule(walk.sure, rule, walk.work);
  if (!walk.maybeOrigin) walk.maybeOrigin = &rule;
  walk.maybe.insert(walk.maybe.end(), moved.begin(), moved.end());
}

void step(Walk& walk, const CoverRule& rule, Action wanted, const CoverLimits& limits) {
  if (rule.exact) {
    stepExact(walk, rule, wanted);
  } else {
    stepInexact(walk, rule, wanted);
  }
  if (walk.sure.size() + walk.maybe.size() > limits.maxPieces || walk.work > limits.maxWork) {
    walk.overBudget = true;
  }
}

// The end of the list: the implicit deny decides what is left.
void finish(Walk& walk, Action wanted) {
  if (walk.overBudget || !walk.wrong.empty()) return;
  if (wanted == Action::deny) {
    if (!walk.sure.empty() || !walk.maybe.empty()) walk.deciding.push_back(0);
  } else if (!walk.sure.empty()) {
    walk.wrong = walk.sure;
    walk.wrongByDefault = true;
  } else if (!walk.maybe.empty()) {
    noteDoubt(walk, maybeReason(walk));
  }
}

// Walks `walk` over the rules of `list` at `positions`, in order.
void walkOver(Walk& walk, const RuleList& list, const std::vector<int>& positions, Action wanted,
              const CoverLimits& limits) {
  for (int position : positions) {
    if (walk.done()) return;
    step(walk, list.rules()[position], wanted, limits);
  }
}

// The walk's outcome as a verdict for a rule of action `wanted`.
Verdict verdictOf(const Walk& walk, const CoverRule& rule) {
  Verdict result;
  result.deciding_lines = walk.deciding;
  if (walk.overBudget) {
    result.reason = "budget";
  } else if (!walk.wrong.empty() && !rule.exact) {
    result.reason = lineReason(rule);
  } else if (!walk.wrong.empty()) {
    result.kind = VerdictKind::notCovered;
    result.witness = pickPacket(walk.wrong);
    result.witness_line = walk.wrongByDefault ? 0 : walk.wrongRule->line;
    result.witness_action = walk.wrongByDefault ? Action::deny : walk.wrongRule->action;
    result.deciding_lines.clear();
  } else if (!walk.doubt.empty()) {
    result.reason = walk.doubt;
  } else {
    result.kind = VerdictKind::covered;
  }
  return result;
}

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

// Probes per box of a line before any walk; the corners and a few more.
constexpr std::uint64_t kProbes = 8;

// The position (among `positions`, ascending) of the first rule other than
// `skip` that matches `p`, -1 for the implicit deny, or -2 when a rule not
// exactly known may match it first.
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

enum class Rest { empty, nonempty, budget };

// Removes from `target` every rule at `positions`, the largest first, so
// that a rule holding all of it ends the work at once; `target` keeps the
// rest. The order does not change the rest, only the pieces on the way.
// When `keepRest` is false a probe packet of `target` outside every rule
// settles it as nonempty before anything is cut (`target` is then left
// whole); `outside`, when given, receives that packet.
Rest subtractAll(BoxSet& target, const RuleList& list, const std::vector<int>& positions,
                 const CoverLimits& limits, std::size_t& work, bool keepRest = false,
                 Packet* outside = nullptr) {
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

// Which rules a difference takes away: every one, its known boxes whole
// (what is left then surely gets past them), or only those exactly known
// (what is left may get past).
enum class Cut { all, exactOnly };

std::vector<int> cutBy(const RuleList& list, std::vector<int> positions, Cut cut) {
  if (cut == Cut::exactOnly)
    std::erase_if(positions, [&](int p) { return !list.rules()[p].exact; });
  return positions;
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

// The packets of `target` that the source rule at `decider` decides (its
// boxes minus every earlier rule), into `part`; a packet of them into
// `witness` when `witness` is given and `part` is nonempty.
Rest decidedInSource(const RuleList& source, const BoxSet& target, int decider, BoxSet& part,
                     const CoverLimits& limits, std::size_t& work, Packet* witness) {
  part.clear();
  if (decider < 0) {
    part = target;
  } else {
    for (const Box& box : source.rules()[decider].boxes) intersectInto(target, box, part);
  }
  if (part.empty()) return Rest::empty;
  std::vector<int> before;
  source.candidates(part, before);
  if (decider >= 0) std::erase_if(before, [&](int p) { return p >= decider; });
  if (!witness) return subtractAll(part, source, before, limits, work);
  BoxSet whole = part;
  Rest outcome = subtractAll(part, source, before, limits, work, true);
  if (outcome == Rest::nonempty) *witness = pickPacket(part);
  // Too many pieces for the whole rest: a probe may still find one packet.
  if (outcome == Rest::budget)
    outcome = subtractAll(whole, source, before, limits, work, false, witness);
  return outcome;
}

// The verdict when the walk ran out of budget and every source rule it
// meets is exactly known: each source rule is asked on its own which of
// the setting rule's packets it decides, as judgeLine() does.
Verdict verdictAmongExact(const RuleList& source, const CoverRule& setting,
                          const std::vector<int>& positions, const CoverLimits& limits) {
  Verdict result;
  BoxSet target = disjointUnion(setting.boxes), part;
  std::size_t work = 0;
  std::vector<int> deciders(positions);
  deciders.push_back(-1);  // the implicit deny
  for (int p : deciders) {
    Action action = p < 0 ? Action::deny : source.rules()[p].action;
    bool wrong = action != setting.action;
    Rest outcome =
        decidedInSource(source, target, p, part, limits, work, wrong ? &result.witness : nullptr);
    if (outcome == Rest::budget) {
      result.reason = "budget";
      return result;
    }
    if (outcome == Rest::empty) continue;
    if (wrong && !setting.exact) {
      result.reason = lineReason(setting);
      return result;
    }
    if (wrong) {
      result.kind = VerdictKind::notCovered;
      result.witness_line = p < 0 ? 0 : source.rules()[p].line;
      result.witness_action = action;
      result.deciding_lines.clear();
      return result;
    }
    result.deciding_lines.push_back(p < 0 ? 0 : source.rules()[p].line);
  }
  result.kind = VerdictKind::covered;
  return result;
}

// Whether some rule at `positions` may match `packet`.
bool anyMatches(const RuleList& list, const std::vector<int>& positions, const Packet& packet) {
  return std::any_of(positions.begin(), positions.end(), [&](int p) {
    const auto& boxes = list.rules()[static_cast<std::size_t>(p)].boxes;
    return std::any_of(boxes.begin(), boxes.end(),
                       [&](const Box& b) { return matches(b, packet); });
  });
}

// The rules of `list` that meet `region` and stand before position `end`
// (-1: the whole list).
std::vector<int> meetingBefore(const RuleList& list, const BoxSet& region, int end) {
  std::vector<int> out;
  list.candidates(region, out);
  if (end >= 0) out.erase(std::lower_bound(out.begin(), out.end(), end), out.end());
  return out;
}

// A packet of `region` that no rule at `ownEarlier` of `settings` and no
// rule at `sourceEarlier` of `source` may match, into `witness`: probes
// first, then the region cut by both.
Rest outsideBoth(BoxSet region, const RuleList& source, const std::vector<int>& sourceEarlier,
                 const RuleList& settings, const std::vector<int>& ownEarlier,
                 const CoverLimits& limits, std::size_t& work, Packet& witness) {
  for (std::size_t b = 0; b < region.size() && b < 4; ++b) {
    for (std::uint64_t seed = 0; seed <= kProbes; ++seed) {
      const Packet p = seed == 0 ? pickPacket(region[b]) : samplePacket(region[b], seed - 1);
      if (anyMatches(source, sourceEarlier, p) || anyMatches(settings, ownEarlier, p)) continue;
      witness = p;
      return Rest::nonempty;
    }
  }
  work += (sourceEarlier.size() + ownEarlier.size()) * kProbes;
  Rest rest = subtractAll(region, source, sourceEarlier, limits, work, true);
  if (rest == Rest::nonempty) rest = subtractAll(region, settings, ownEarlier, limits, work, true);
  if (rest == Rest::nonempty) witness = pickPacket(region);
  return rest;
}

// A packet that reaches the setting rule at `position` in its own list
// (no earlier rule there may match it) and that the source surely decides
// the other way, looked for one deciding source rule at a time: each
// region is the setting rule cut to that source rule, and is cut only by
// the rules of either list that meet it. A broad rule late in its list is
// so answered without its whole reach, which fragments. nullopt when no
// such packet was found within a share of the budget, whether or not there
// is one.
std::optional<Verdict> witnessByRegions(const RuleList& source, const RuleList& settings,
                                        int position, const CoverLimits& limits) {
  const CoverRule& rule = settings.rules()[static_cast<std::size_t>(position)];
  if (!rule.exact || rule.boxes.empty()) return std::nullopt;
  const CoverLimits share{limits.maxPieces, limits.maxWork / 16, limits.maxNodes};
  std::size_t work = 0;
  std::vector<int> deciders;
  source.candidates(rule.boxes, deciders);
  deciders.push_back(-1);  // the implicit deny
  Verdict result;
  result.kind = VerdictKind::notCovered;
  BoxSet region;
  for (int q : deciders) {
    if (work > share.maxWork) return std::nullopt;
    const CoverRule* decider = q < 0 ? nullptr : &source.rules()[static_cast<std::size_t>(q)];
    const Action action = decider ? decider->action : Action::deny;
    if (action == rule.action || (decider && !decider->exact)) continue;
    region.clear();
    if (decider) {
      for (const Box& box : decider->boxes) intersectInto(rule.boxes, box, region);
    } else {
      region = rule.boxes;
    }
    if (region.empty()) continue;
    const Rest rest =
        outsideBoth(region, source, meetingBefore(source, region, q), settings,
                    meetingBefore(settings, region, position), share, work, result.witness);
    if (rest != Rest::nonempty) continue;
    result.witness_line = decider ? decider->line : 0;
    result.witness_action = action;
    return result;
  }
  return std::nullopt;
}

}  // namespace

Box hullOf(const std::vector<Box>& boxes) {
  Box hull;
  bool first = true;
  for (const Box& box : boxes) {
    if (box.isEmpty()) continue;
    if (first) {
      hull = box;
      first = false;
      continue;
    }
    for (int f = 0; f < kRangeFields; ++f) {
      hull.lo[f] = std::min(hull.lo[f], box.lo[f]);
      hull.hi[f] = std::max(hull.hi[f], box.hi[f]);
    }
    for (int w = 0; w < kMaskWords; ++w) {
      hull.care[w] &= box.care[w] & ~(hull.value[w] ^ box.value[w]);
      hull.value[w] &= hull.care[w];
    }
  }
  if (first) hull.setRange(kProtocol, 1, 0);
  return hull;
}

std::vector<Box> indexBoxesOf(const CoverRule& rule) {
  std::vector<Box> boxes = rule.boxes;
  Box part;
  for (const BoxProduct& product : rule.products) {
    // The parts constrain other fields: their hulls meet in one box.
    if (intersect(hullOf(product.source), hullOf(product.destin), part) &&
        intersect(part, hullOf(product.service), part)) {
      boxes.push_back(part);
    }
  }
  return boxes;
}

RuleList::RuleList(std::vector<CoverRule> rules) : rules_(std::move(rules)) {
  for (int r = 0; r < int(rules_.size()); ++r) {
    rules_[r].boxes = disjointUnion(rules_[r].boxes);
    grouped_ = grouped_ || !rules_[r].products.empty();
    for (const Box& box : indexBoxesOf(rules_[r])) {
      if (!box.isEmpty()) entries_.push_back({box, r});
    }
  }
  indexed_ = entries_.size() > kScanLimit;
  if (!indexed_ || entries_.empty()) return;
  buildSide(sides_[0], kSrcHigh);
  buildSide(sides_[1], kDstHigh);
}

void RuleList::buildSide(SideIndex& index, int side) {
  index.side = side;
  // The leading bits every box cares about with the same value.
  std::uint64_t alike[2] = {~0ull, ~0ull};
  const Box& first = entries_.front().box;
  for (const Entry& entry : entries_) {
    for (int w = 0; w < 2; ++w) {
      alike[w] &= entry.box.care[side + w] & ~(entry.box.value[side + w] ^ first.value[side + w]);
    }
  }
  int skip = std::countl_one(alike[0]);
  if (skip == 64) skip += std::countl_one(alike[1]);
  index.skip = std::min(skip, 112);
  index.skipValue[0] = first.value[side] & alike[0];
  index.skipValue[1] = first.value[side + 1] & alike[1];
  for (int e = 0; e < int(entries_.size()); ++e) {
    const Box& box = entries_[e].box;
    auto key = [&](int count) {
      return std::uint32_t(addressBits(box.value[side], box.value[side + 1], index.skip, count));
    };
    if (caresAll(box, side, index.skip, 16)) {
      index.by16.push_back({key(16), e});
    } else if (caresAll(box, side, index.skip, 8)) {
      index.by8.push_back({key(8), e});
    } else {
      index.wide.push_back(e);
    }
  }
  std::sort(index.by16.begin(), index.by16.end());
  std::sort(index.by8.begin(), index.by8.end());
}

template <typename Visit>
std::size_t RuleList::probe(const SideIndex& index, const Box& box, const Visit* visit) const {
  auto keyRange = [](const std::vector<KeyEntry>& keys, std::uint32_t low, std::uint32_t high) {
    auto begin = std::lower_bound(keys.begin(), keys.end(), KeyEntry{low, -1});
    auto end = std::lower_bound(begin, keys.end(), KeyEntry{high + 1, -1});
    return std::make_pair(begin, end);
  };
  int side = index.side;
  bool keyed = true;
  for (int start = 0; keyed && start < index.skip; start += 16) {
    keyed = caresAll(box, side, start, std::min(16, index.skip - start));
  }
  if (!keyed || !caresAll(box, side, index.skip, 8)) {
    // The box spans many keys: every entry may meet it.
    if (visit) {
      for (int e = 0; e < int(entries_.size()); ++e) (*visit)(e);
    }
    return entries_.size();
  }
  std::uint64_t cared[2] = {box.care[side], box.care[side + 1]};
  for (int w = 0; w < 2; ++w) {
    std::uint64_t skipMask = w == 0 ? (index.skip >= 64 ? ~0ull : ~(~0ull >> index.skip))
                                    : (index.skip <= 64 ? 0 : ~(~0ull >> (index.skip - 64)));
    if ((box.value[side + w] ^ index.skipValue[w]) & cared[w] & skipMask) return 0;
  }
  std::uint32_t key8 = addressBits(box.value[side], box.value[side + 1], index.skip, 8);
  auto [low16, high16] =
      caresAll(box, side, index.skip, 16)
          ? keyRange(
                index.by16,
                std::uint32_t(addressBits(box.value[side], box.value[side + 1], index.skip, 16)),
                std::uint32_t(addressBits(box.value[side], box.value[side + 1], index.skip, 16)))
          : keyRange(index.by16, key8 << 8, (key8 << 8) | 255);
  auto [low8, high8] = keyRange(index.by8, key8, key8);
  std::size_t count = (high16 - low16) + (high8 - low8) + index.wide.size();
  if (visit) {
    for (auto it = low16; it != high16; ++it) (*visit)(it->entry);
    for (auto it = low8; it != high8; ++it) (*visit)(it->entry);
    for (int e : index.wide) (*visit)(e);
  }
  return count;
}

void RuleList::candidates(const std::vector<Box>& boxes, std::vector<int>& out) const {
  out.clear();
  auto take = [&](int e) {
    for (const Box& box : boxes) {
      if (intersects(entries_[e].box, box)) {
        out.push_back(entries_[e].rule);
        return;
      }
    }
  };
  if (!indexed_) {
    for (int e = 0; e < int(entries_.size()); ++e) take(e);
  } else {
    for (const Box& box : boxes) {
      // An entry a probe of this box visits is tested against this box
      // alone: the others' probes find what meets them.
      auto meets = [&](int e) {
        if (intersects(entries_[e].box, box)) out.push_back(entries_[e].rule);
      };
      using Meets = decltype(meets);
      std::size_t bySource = probe<Meets>(sides_[0], box, nullptr);
      std::size_t byDestination = probe<Meets>(sides_[1], box, nullptr);
      probe(sides_[bySource <= byDestination ? 0 : 1], box, &meets);
    }
    std::sort(out.begin(), out.end());
  }
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

Verdict verdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits) {
  // Groups are never multiplied out into boxes: the diagrams take them.
  if (source.grouped() || !setting.products.empty()) {
    return diagramVerdict(source, setting, limits);
  }
  Walk walk;
  walk.sure = disjointUnion(setting.boxes);
  std::vector<int> positions;
  source.candidates(walk.sure, positions);
  walkOver(walk, source, positions, setting.action, limits);
  finish(walk, setting.action);
  bool exactNeighbours = std::all_of(positions.begin(), positions.end(),
                                     [&](int p) { return source.rules()[p].exact; });
  if (walk.overBudget && exactNeighbours) {
    Verdict result = verdictAmongExact(source, setting, positions, limits);
    if (result.reason != "budget") return result;
  }
  // Past the budget of the boxes, the diagrams answer exactly.
  if (walk.overBudget) return diagramVerdict(source, setting, limits);
  return verdictOf(walk, setting);
}

Verdict verdictInList(const RuleList& source, const RuleList& settings, int position,
                      const CoverLimits& limits) {
  constexpr std::size_t kReachPieces = 32;
  const CoverRule& rule = settings.rules()[static_cast<std::size_t>(position)];
  std::vector<int> earlier;
  settings.candidates(indexBoxesOf(rule), earlier);
  earlier.erase(std::lower_bound(earlier.begin(), earlier.end(), position), earlier.end());
  const std::vector<int> earlierExact = cutBy(settings, earlier, Cut::exactOnly);
  // Most rules are answered on all their packets: covered there is covered
  // on those that reach it, and a packet decided the other way that
  // reaches it (no earlier rule of its list matches it) settles the rest.
  Verdict result = verdict(source, rule, limits);
  const auto takes = [&](int p, const Packet& packet) {
    const CoverRule& other = settings.rules()[static_cast<std::size_t>(p)];
    return std::any_of(other.boxes.begin(), other.boxes.end(),
                       [&](const Box& b) { return matches(b, packet); }) ||
           !other.products.empty();
  };
  if (result.kind == VerdictKind::covered && !rule.boxes.empty()) return result;
  if (result.kind == VerdictKind::notCovered &&
      std::none_of(earlier.begin(), earlier.end(),
                   [&](int p) { return takes(p, result.witness); })) {
    return result;
  }
  result = Verdict{};
  if (!source.grouped() && !settings.grouped()) {
    // The packets that reach the rule, as boxes, within a short share of
    // the budget: a broad rule late in its list fragments, and the
    // diagrams take it then.
    BoxSet reach = disjointUnion(rule.boxes);
    std::size_t work = 0;
    const CoverLimits share{limits.maxPieces, limits.maxWork / 16, limits.maxNodes};
    const Rest rest = subtractAll(reach, settings, earlierExact, share, work, true);
    if (rest == Rest::empty) {
      result.kind = VerdictKind::unreachable;
      return result;
    }
    if (rest == Rest::nonempty) {
      // A reach cut into many pieces is a set the diagrams hold better;
      // its largest pieces may still show a packet decided the other way.
      const bool whole = reach.size() <= kReachPieces;
      if (!whole) {
        std::partial_sort(reach.begin(), reach.begin() + kReachPieces, reach.end(),
                          [](const Box& a, const Box& b) { return volume(a) > volume(b); });
        reach.resize(kReachPieces);
      }
      CoverRule reaching = rule;
      reaching.boxes = std::move(reach);
      result = verdict(source, reaching, limits);
      // A witness an earlier rule not exactly known may take proves
      // nothing: the diagrams look for one it may not.
      const bool doubtful =
          result.kind == VerdictKind::notCovered &&
          std::any_of(earlier.begin(), earlier.end(), [&](int p) {
            const CoverRule& other = settings.rules()[static_cast<std::size_t>(p)];
            return !other.exact &&
                   std::any_of(other.boxes.begin(), other.boxes.end(),
                               [&](const Box& b) { return matches(b, result.witness); });
          });
      if (!doubtful && (whole || result.kind == VerdictKind::notCovered)) return result;
    }
  }
  if (!source.grouped() && !settings.grouped()) {
    if (std::optional<Verdict> found = witnessByRegions(source, settings, position, limits))
      return *found;
  }
  return diagramVerdictInList(source, settings, position, earlier, limits);
}

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
