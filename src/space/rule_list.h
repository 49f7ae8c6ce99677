// The input of the order-aware engine: one list's rules as sets of packets
// (packet_space.h), in order, with an index that names the rules that can
// overlap a rule, so that no question walks the whole list. The analyses
// over it: list_cover.h (whether a source list covers a setting rule),
// list_within.h (the dead lines of one list), list_diff.h (what a revision
// changes).
#ifndef DORVEX_SPACE_RULE_LIST_H_
#define DORVEX_SPACE_RULE_LIST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // The boxes of every rule keyed by the address bits of one side that
  // follow the leading bits all boxes share (the 96 of IPv4): by 16 of
  // them, or by fewer, down to 4, when a box cares about fewer (a wildcard
  // with holes), or not at all ("wide").
  // The key lengths, longest first: a wildcard with a hole is keyed by
  // nearly every bit it cares about before the hole.
  static constexpr int kLevels = 9;
  static constexpr int kLevelBits[kLevels] = {16, 14, 12, 10, 8, 7, 6, 5, 4};
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
    std::vector<KeyEntry> byLevel[kLevels];  // keys of kLevelBits[level] bits
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

}  // namespace dorvex

#endif  // DORVEX_SPACE_RULE_LIST_H_
