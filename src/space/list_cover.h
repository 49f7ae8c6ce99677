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
// result is "undecided" with the reason. A rule the engine has read is never
// undecided for any other reason but the memory guard, far above any real
// list, which is then named with its figures.
//
// How: every set is a decision diagram (header_space.h). A list is turned
// once into its rules' sets, the sets its lines surely and possibly decide,
// and what the rest of the list would do from each line on; each question
// is then a few exact set operations, whatever the masks, "neq" ports or
// groups. An index (RuleList::candidates()) names the rules that can
// overlap a rule, so that deciding lines are found without a walk of the
// whole list.
#ifndef DORVEX_SPACE_LIST_COVER_H_
#define DORVEX_SPACE_LIST_COVER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "space/header_space.h"
#include "space/packet_space.h"

namespace dorvex {

enum class Action { permit, deny };

// Packets as a product of three unions of boxes: source addresses,
// destination addresses (both with every other field free) and services
// (addresses free). A rule with groups is one: it costs the sum of their
// sizes, not the product.
struct BoxProduct {
  std::vector<Box> source, destin, service;
};

// One rule of a list: the engine's input, built by the caller from its own
// rule model.
struct CoverRule {
  // Its line in its configuration, from 1; a rule the list implies after
  // its lines has a negative line (0 names the list's end, the implicit deny).
  int line = 0;
  Action action = Action::permit;
  // The packets it matches: the union of `boxes` and of `products` (boxes
  // may overlap; a rule with match-any flags is several).
  std::vector<Box> boxes;
  std::vector<BoxProduct> products;
  // False when the rule matches an unknown subset of `boxes`; `reason` then
  // says why, e.g. "time-range WORK" or "option not understood: foo".
  bool exact = true;
  std::string reason;
  // The name its configuration goes by in reasons ("setting.cfg"), if any.
  std::string_view where;
};

// Why `rule` leaves an answer open, naming its line: "setting.cfg:12 not
// read", or "line 12: not read" for a rule of no named configuration.
inline std::string lineReason(const CoverRule& rule) {
  if (rule.where.empty()) return "line " + std::to_string(rule.line) + ": " + rule.reason;
  return std::string(rule.where) + ":" + std::to_string(rule.line) + " " + rule.reason;
}

// How far the box walks go before the diagrams take the question over
// (maxPieces, maxWork: a walk past them is answered exactly all the same),
// and the memory guard of the diagrams: the nodes one list may hold (16
// bytes each, with their tables), far above what real lists take.
struct CoverLimits {
  std::size_t maxPieces = 4096;     // boxes held at once in one set of a walk
  std::size_t maxWork = 4'000'000;  // box tests of one walk, about 0.1 s
  std::size_t maxNodes = std::size_t{1} << 23;
};

// The rules of one list in order, with their index and, once asked, their
// sets. Owns its rules. Not for use by two threads at once.
class RuleList {
 public:
  explicit RuleList(std::vector<CoverRule> rules);

  const std::vector<CoverRule>& rules() const { return rules_; }
  // Whether some rule has a product (groups).
  bool grouped() const { return grouped_; }

  // The list as sets, made on first use with `limits`; used by verdict()
  // and within(). Throws SpaceExhausted past the budget.
  struct Sets;
  Sets& sets(const CoverLimits& limits) const;

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

  std::vector<CoverRule> rules_;
  std::vector<Entry> entries_;  // every box of every rule (a product's hull), in rule order
  SideIndex sides_[2];
  bool indexed_ = false;  // small lists are scanned whole
  bool grouped_ = false;
  struct DropSets {
    void operator()(Sets* sets) const;
  };
  mutable std::unique_ptr<Sets, DropSets> sets_;
};

// The smallest box that holds every box of `boxes` (none: an empty box).
Box hullOf(const std::vector<Box>& boxes);
// The boxes of a rule as the index sees them: its boxes, and a hull per
// product.
std::vector<Box> indexBoxesOf(const CoverRule& rule);

// unreachable: verdictInList() of a rule no packet reaches in its own list.
enum class VerdictKind { covered, notCovered, undecided, unreachable };

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
  // undecided: why, e.g. "line 12: time-range WORK", or the memory guard.
  std::string reason;
};

// Whether `source` gives `setting`'s action to every packet `setting`
// matches. A setting rule not exactly known is covered iff its whole known
// part is; a packet of the known part decided the other way leaves it
// undecided.
Verdict verdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits = {});

// The same for the rule at `position` of `settings`, judged on the packets
// that reach it there (no earlier rule of its own list takes them): those
// are the packets it decides, so a list and any re-spelling of it cover
// each other rule by rule. A rule covered on all its packets is covered,
// with the lines deciding all of them; else a rule no packet reaches is
// unreachable, and a witness is always a packet that reaches it. A witness
// that an earlier rule not exactly known may take makes the verdict
// undecided, naming that rule. REQUIRES: &source != &settings.
Verdict verdictInList(const RuleList& source, const RuleList& settings, int position,
                      const CoverLimits& limits = {});

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
//   exactly known that is reachable is always undecided), or the memory guard.
std::vector<Finding> within(const RuleList& list, const CoverLimits& limits = {});

}  // namespace dorvex

#endif  // DORVEX_SPACE_LIST_COVER_H_
