// The order-aware cover of access lists, exact over the header space of
// packet_space.h: a list is read in order, the first rule that matches a
// packet decides it, and a packet no rule matches is denied (the implicit
// deny, named as line 0).
//
// Two analyses:
// - verdict(): whether a source list gives a setting rule's action to every
//   packet the setting rule matches; if not, one packet that shows it;
// - within(): the lines of one list that no packet reaches (unreachable) or
//   whose removal changes no decision (redundant).
//
// A rule whose traffic is not exactly known (an option word not understood,
// a time-range) carries the part that is known: its boxes then hold every
// packet it may match, and it matches an unknown subset of them. Such a rule
// never yields a guess: where the answer depends on the unknown subset, the
// result is "undecided" with the reason. So is a rule whose walk exceeds the
// work budget (reason "budget").
//
// How: verdict() walks the setting rule's packets down the source list over
// only the rules that can overlap them, which an index finds
// (RuleList::candidates()), as sets of disjoint boxes split only by those
// rules. within() does not walk: a few probe packets settle most lines, and
// for the rest each later rule is asked on its own which of the line's
// packets it would decide without the line (their common boxes minus the
// rules that meet those), so a broad line behind thousands of narrow ones is
// never cut by all of them at once. A verdict whose walk runs out of budget
// among exactly known rules is retried that way. The answers are the same
// either way.
#ifndef DORVEX_DUPCHECK_LIST_COVER_H_
#define DORVEX_DUPCHECK_LIST_COVER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dupcheck/packet_space.h"

namespace dorvex {

enum class Action { permit, deny };

// One rule of a list: the engine's input, built by the caller from its own
// rule model.
struct CoverRule {
  int line = 0;  // its line in its configuration, from 1
  Action action = Action::permit;
  // The packets it matches: their union (boxes may overlap; a rule with
  // object groups or match-any flags is several).
  std::vector<Box> boxes;
  // False when the rule matches an unknown subset of `boxes`; `reason` then
  // says why, e.g. "time-range WORK" or "option not understood: foo".
  bool exact = true;
  std::string reason;
};

// How far the work on one rule (one verdict, one line of within()) may go
// before it is undecided (reason "budget"); the defaults leave fewer than
// ten lines of a 10k-rule ClassBench list undecided.
struct CoverLimits {
  std::size_t maxPieces = 4096;     // boxes held at once in one set
  std::size_t maxWork = 4'000'000;  // box tests, about 0.1 s
};

// The rules of one list in order, with their index. Owns its rules.
class RuleList {
 public:
  explicit RuleList(std::vector<CoverRule> rules);

  const std::vector<CoverRule>& rules() const { return rules_; }

  // Sets `out` to the positions (into rules()) of every rule with a box that
  // intersects some box of `boxes`, ascending, each once, and nothing else.
  void candidates(const std::vector<Box>& boxes, std::vector<int>& out) const;

 private:
  // The boxes of every rule keyed by 16 address bits of one side (after the
  // leading bits all boxes share, the 96 of IPv4), by 8 when a box cares
  // about fewer, or not at all ("wide").
  struct KeyEntry {
    std::uint32_t key;
    int entry;
    bool operator<(const KeyEntry& other) const {
      return key != other.key ? key < other.key : entry < other.entry;
    }
  };
  struct SideIndex {
    int side = 0;  // kSrcHigh or kDstHigh
    int skip = 0;  // leading bits every box cares about alike
    std::uint64_t skipValue[2] = {0, 0};
    std::vector<KeyEntry> by16, by8;
    std::vector<int> wide;
  };
  struct Entry {
    Box box;
    int rule;
  };

  void buildSide(SideIndex& index, int side);
  // Calls `visit` with every entry `box` may meet through `index`, or
  // returns only their count when `visit` is null.
  template <typename Visit>
  std::size_t probe(const SideIndex& index, const Box& box, const Visit* visit) const;

  std::vector<CoverRule> rules_;  // boxes made disjoint per rule
  std::vector<Entry> entries_;    // every box of every rule, in rule order
  SideIndex sides_[2];
  bool indexed_ = false;  // small lists are scanned whole
};

enum class VerdictKind { covered, notCovered, undecided };

struct Verdict {
  VerdictKind kind = VerdictKind::undecided;
  // covered: the source lines that decide its packets, in order; 0 last
  // when the implicit deny decides some. Under undecided, the lines that
  // surely or possibly decide some, as far as the walk went.
  std::vector<int> deciding_lines;
  // notCovered: a packet the setting rule matches and the line that decides
  // it the other way (0: the implicit deny), with that line's action.
  Packet witness;
  int witness_line = 0;
  Action witness_action = Action::deny;
  // undecided: why, e.g. "line 12: time-range WORK" or "budget".
  std::string reason;
};

// Whether `source` gives `setting`'s action to every packet `setting`
// matches. A setting rule not exactly known is covered iff its whole known
// part is; a packet of the known part decided the other way leaves it
// undecided.
Verdict verdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits = {});

enum class FindingKind { unreachable, redundant, undecided };

struct Finding {
  int line = 0;
  FindingKind kind = FindingKind::undecided;
  // unreachable: earlier lines whose union holds all its packets, a small
  // set found greedily, largest overlap first. redundant: the later lines
  // (0 for the implicit deny) that decide its reaching packets, in order.
  std::vector<int> lines;
  // unreachable: of the earlier lines of the other action that decide some
  // of its packets, the one sharing the most packets with it; 0 when none.
  int conflicting_line = 0;
  std::string reason;  // undecided: why
};

// The flagged lines of `list`, in order:
// - unreachable: every packet the line may match is decided by earlier
//   lines (exact even for a line not exactly known);
// - redundant: some packets reach the line, and later lines (or the implicit
//   deny) decide every reaching packet with its action;
// - undecided: it would be one of those or not depending on traffic not
//   exactly known (an earlier or later rule's, or its own: a line not
//   exactly known that is reachable is always undecided), or the budget.
std::vector<Finding> within(const RuleList& list, const CoverLimits& limits = {});

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_LIST_COVER_H_
