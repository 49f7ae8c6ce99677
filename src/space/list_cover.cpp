#include "space/list_cover.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>

#include "space/box_walks.h"
#include "space/diagram_cover.h"

namespace dorvex {

namespace {

// The share of the budget one region question or reach question may take:
// thousands of them may be asked for one list.
CoverLimits shareOf(const CoverLimits& limits) {
  return CoverLimits{limits.maxPieces, limits.maxWork / 64, limits.maxNodes};
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
  const CoverLimits share = shareOf(limits);
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

// Whether two rules match the same packets by the same boxes, whatever
// their actions: a rule and its copy in a revision, however it was spelled
// (a host, a wildcard and a prefix give the same box).
bool samePackets(const CoverRule& a, const CoverRule& b) {
  return a.exact && b.exact && a.products.empty() && b.products.empty() && a.boxes == b.boxes;
}

// A cheap fingerprint of what samePackets() compares, so that whole rules
// are compared only when their fingerprints agree.
std::uint64_t fingerprint(const CoverRule& rule) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  const auto mix = [&](std::uint64_t v) { h = (h ^ v) * 0x100000001B3ull + (h >> 29); };
  for (const Box& box : rule.boxes) {
    for (std::uint32_t v : box.lo) mix(v);
    for (std::uint32_t v : box.hi) mix(v);
    for (std::uint64_t v : box.value) mix(v);
    for (std::uint64_t v : box.care) mix(v);
  }
  return h;
}

}  // namespace

Verdict verdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits,
                bool undecidedLines) {
  // Groups are never multiplied out into boxes: the diagrams take them.
  if (source.grouped() || !setting.products.empty()) {
    return diagramVerdict(source, setting, limits, nullptr, undecidedLines);
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
  if (walk.overBudget) return diagramVerdict(source, setting, limits, nullptr, undecidedLines);
  return verdictOf(walk, setting);
}

Verdict verdictInList(const RuleList& source, const RuleList& settings, int position,
                      const CoverLimits& limits) {
  return InListCover(source, settings, limits).at(position);
}

InListCover::InListCover(const RuleList& source, const RuleList& settings,
                         const CoverLimits& limits)
    : source_(source), settings_(settings), limits_(limits) {
  // For each rule of `from`, the first rule of `in` with the same packets,
  // and with the same action too when `sameAction`.
  const auto firstCopies = [](const RuleList& from, const RuleList& in, bool sameAction) {
    std::unordered_map<std::uint64_t, std::vector<int>> byPrint;
    for (int i = 0; i < static_cast<int>(in.rules().size()); ++i) {
      byPrint[fingerprint(in.rules()[static_cast<std::size_t>(i)])].push_back(i);
    }
    std::vector<int> copies(from.rules().size(), -1);
    for (std::size_t j = 0; j < copies.size(); ++j) {
      const CoverRule& rule = from.rules()[j];
      const auto found = byPrint.find(fingerprint(rule));
      if (found == byPrint.end()) continue;
      for (int i : found->second) {
        const CoverRule& other = in.rules()[static_cast<std::size_t>(i)];
        if (!samePackets(rule, other) || (sameAction && rule.action != other.action)) continue;
        copies[j] = i;
        break;
      }
    }
    return copies;
  };
  takerInSettings_ = firstCopies(source, settings, false);
  copyInSource_ = firstCopies(settings, source, true);
}

// A packet that reaches the setting rule misses every earlier rule of its
// own list that is exactly known. In the source, a rule before the rule's
// copy that it may meet and whose packets one of those earlier rules has
// (whatever its action: a rule flipped in the revision) misses it too. The
// rest of them, the changed rules (deleted in the revision, moved after the
// rule, or not exactly known), may take the packets first; the copy decides
// the others, with the same action.
int InListCover::sameDecider(int position, const std::vector<int>& earlier,
                             std::vector<int>& changed) const {
  changed.clear();
  const int copy = copyInSource_[static_cast<std::size_t>(position)];
  if (copy < 0) return -1;
  // Groups are never cut into boxes.
  for (int p : earlier) {
    if (!settings_.rules()[static_cast<std::size_t>(p)].products.empty()) return -1;
  }
  std::vector<int> meeting;
  source_.candidates(settings_.rules()[static_cast<std::size_t>(position)].boxes, meeting);
  for (int q : meeting) {
    if (q >= copy) break;
    const int taker = takerInSettings_[static_cast<std::size_t>(q)];
    if (taker >= 0 && taker < position) continue;
    const CoverRule& other = source_.rules()[static_cast<std::size_t>(q)];
    if (!other.products.empty() || changed.size() == kMaxChanged) return -1;
    changed.push_back(q);
  }
  return copy;
}

// Whether some packet of the setting rule at `position` misses every rule
// at `earlier` of its list and every source rule at `changed`: probes,
// then the boxes cut by them within a share of the budget, then the
// diagrams. nullopt past the memory guard. REQUIRES: the rules at
// `earlier` and `changed` are exactly known.
std::optional<bool> InListCover::reachesPast(int position, const std::vector<int>& earlier,
                                             const std::vector<int>& changed) const {
  const CoverRule& rule = settings_.rules()[static_cast<std::size_t>(position)];
  // (outsideBoth() would charge its probes to the share first, and
  // thousands of earlier rules then leave the boxes no work at all.)
  for (const Box& box : rule.boxes) {
    for (std::uint64_t seed = 0; seed <= kProbes; ++seed) {
      const Packet p = seed == 0 ? pickPacket(box) : samplePacket(box, seed - 1);
      if (!anyMatches(settings_, earlier, p) && !anyMatches(source_, changed, p)) return true;
    }
  }
  BoxSet reach = rule.boxes;
  std::size_t work = 0;
  const CoverLimits share = shareOf(limits_);
  Rest rest = subtractAll(reach, settings_, earlier, share, work, true);
  if (rest == Rest::nonempty) rest = subtractAll(reach, source_, changed, share, work, true);
  if (rest != Rest::budget) return rest == Rest::nonempty;
  std::vector<const CoverRule*> also;
  for (int q : changed) also.push_back(&source_.rules()[static_cast<std::size_t>(q)]);
  return diagramReaches(settings_, position, earlier, limits_, also);
}

// The verdict of the setting rule at `position` whose reaching packets the
// changed source rules decide where they take them first, else `copy`:
// each changed rule is asked only inside the packets it shares with the
// rule, and the copy only whether some reaching packet may get past them.
// A changed rule may decide packets there that may reach the rule (no rule
// exactly known takes them first): with the rule's action it is a deciding
// line; with the other, a packet that surely gets there (no rule at all may
// take it first) and that it surely takes is a witness, else the answer
// hangs on a rule not exactly known. nullopt when a share of the budget
// does not settle it.
std::optional<Verdict> InListCover::byCopy(int position, int copy, const std::vector<int>& changed,
                                           const std::vector<int>& earlier) const {
  const CoverRule& rule = settings_.rules()[static_cast<std::size_t>(position)];
  const CoverLimits share = shareOf(limits_);
  std::size_t work = 0;
  Verdict result;
  std::string doubt;  // why the answer hangs on a rule not exactly known
  BoxSet region;
  std::vector<int> before;  // the changed rules before the one asked
  const auto firstUnknown = [&](const RuleList& list, const std::vector<int>& positions) {
    for (int p : positions) {
      const CoverRule& other = list.rules()[static_cast<std::size_t>(p)];
      if (!other.exact) return lineReason(other);
    }
    return std::string();
  };
  for (int q : changed) {
    const CoverRule& other = source_.rules()[static_cast<std::size_t>(q)];
    region.clear();
    for (const Box& box : other.boxes) intersectInto(rule.boxes, box, region);
    if (region.empty()) {
      before.push_back(q);
      continue;
    }
    // The other source rules before it that meet the region have their
    // packets in earlier rules of the setting list, which take them first.
    const std::vector<int> ownEarlier = meetingBefore(settings_, region, position);
    const std::vector<int> ownKnown = cutBy(settings_, ownEarlier, Cut::exactOnly);
    const std::vector<int> beforeKnown = cutBy(source_, before, Cut::exactOnly);
    Packet witness;
    Rest rest =
        outsideBoth(region, source_, beforeKnown, settings_, ownKnown, share, work, witness);
    if (rest == Rest::budget) {
      std::vector<const CoverRule*> also;
      for (int b : beforeKnown) also.push_back(&source_.rules()[static_cast<std::size_t>(b)]);
      const std::optional<bool> reached =
          diagramReaches(settings_, position, ownKnown, limits_, also, &other, &witness);
      if (!reached) return std::nullopt;
      rest = *reached ? Rest::nonempty : Rest::empty;
    }
    if (rest == Rest::nonempty && other.action == rule.action) {
      result.deciding_lines.push_back(other.line);
    } else if (rest == Rest::nonempty) {
      const bool sure = ownKnown.size() == ownEarlier.size() && beforeKnown.size() == before.size();
      if (!sure && other.exact) {
        rest = outsideBoth(region, source_, before, settings_, ownEarlier, share, work, witness);
      }
      if (other.exact && (sure || rest == Rest::nonempty)) {
        result.kind = VerdictKind::notCovered;
        result.witness = witness;
        result.witness_line = other.line;
        result.witness_action = other.action;
        result.deciding_lines.clear();
        return result;
      }
      // A later rule may still show a sure witness; else this is why.
      if (doubt.empty()) {
        doubt = !other.exact ? lineReason(other) : firstUnknown(settings_, ownEarlier);
        if (doubt.empty()) doubt = firstUnknown(source_, before);
      }
    }
    before.push_back(q);
  }
  const std::optional<bool> past = reachesPast(position, cutBy(settings_, earlier, Cut::exactOnly),
                                               cutBy(source_, changed, Cut::exactOnly));
  if (!past) return std::nullopt;
  if (*past) result.deciding_lines.push_back(source_.rules()[static_cast<std::size_t>(copy)].line);
  if (!doubt.empty()) {
    result.reason = doubt;
    return result;
  }
  result.kind = result.deciding_lines.empty() ? VerdictKind::unreachable : VerdictKind::covered;
  return result;
}

Verdict InListCover::at(int position) const {
  const RuleList& source = source_;
  const RuleList& settings = settings_;
  const CoverLimits& limits = limits_;
  constexpr std::size_t kReachPieces = 32;
  const CoverRule& rule = settings.rules()[static_cast<std::size_t>(position)];
  std::vector<int> earlier;
  settings.candidates(indexBoxesOf(rule), earlier);
  earlier.erase(std::lower_bound(earlier.begin(), earlier.end(), position), earlier.end());
  const std::vector<int> earlierExact = cutBy(settings, earlier, Cut::exactOnly);
  // Most rules are answered on all their packets: covered there is covered
  // on those that reach it, and a packet decided the other way that
  // reaches it (no earlier rule of its list matches it) settles the rest.
  // (An undecided answer here is asked again below: its lines are not needed.)
  Verdict result = verdict(source, rule, limits, false);
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
  std::vector<int> changed;
  if (const int copy = sameDecider(position, earlier, changed); copy >= 0) {
    if (std::optional<Verdict> found = byCopy(position, copy, changed, earlier)) return *found;
  }
  if (!source.grouped() && !settings.grouped()) {
    // The packets that reach the rule, as boxes, within a short share of
    // the budget: a broad rule late in its list fragments, and the
    // diagrams take it then.
    BoxSet reach = disjointUnion(rule.boxes);
    std::size_t work = 0;
    const CoverLimits share = shareOf(limits);
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

}  // namespace dorvex
