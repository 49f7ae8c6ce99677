// HeaderSpace: sets of packets (packet_space.h) as decision diagrams, one
// variable per header bit. The variables run, most significant bit first:
// the family bit, the protocol, the destination and the source address
// (128 bits each), the destination and the source port, the ICMP type and
// code, the TCP flags, the ToS byte, the fragment bit and the TTL. A box is
// a chain of its bits and ranges, a rule the union of its boxes (or of its
// products: a rule with groups costs the sum of their sizes), and every set
// operation is exact: no fragmentation, no pieces to count. The high 96
// address bits of an IPv4 packet are left free (every IPv4 box has them
// zero, so no set tells them apart), which keeps an IPv4 rule to its 32.
#ifndef DORVEX_SPACE_HEADER_SPACE_H_
#define DORVEX_SPACE_HEADER_SPACE_H_

#include <cstddef>
#include <vector>

#include "space/decision_diagram.h"
#include "space/packet_space.h"

namespace dorvex {

class HeaderSpace {
 public:
  static constexpr int kVariables = 336;

  explicit HeaderSpace(std::size_t maxNodes = std::size_t{1} << 23);

  DecisionDiagram& sets() { return dd_; }

  // The packets of a box; of the union of boxes.
  Node ofBox(const Box& box);
  Node ofBoxes(const std::vector<Box>& boxes);
  // Every packet whose `field` lies in [low, high].
  Node ofRange(RangeField field, std::uint32_t low, std::uint32_t high);
  // Whether `packet` lies in `set`.
  bool holds(Node set, const Packet& packet) const;

  // The packet of `set` a person recognises best, as pickPacket() of a box
  // says: an ICMP echo (an ICMPv6 echo in IPv6), else TCP, else UDP, else
  // the lowest protocol; the destination port as low as allowed but not 0;
  // a source port from 1024 where it can; the example addresses where the
  // set allows them (exampleAddress()), else addresses with their free bits
  // clear but the lowest; no TCP flag but those required, SYN when none is;
  // TTL 64 when allowed. Packet::shown names the fields `shownBy` depends
  // on. REQUIRES: set != kNone.
  Packet pick(Node set, Node shownBy);

 private:
  // The variable of bit `bit` (0 lowest) of a ranged field or a mask word.
  int rangeVar(RangeField field, int bit) const;
  int wordVar(MaskWord word, int bit) const;
  // Every packet whose `field` is at least (else at most) `bound`.
  Node fieldBound(RangeField field, std::uint32_t bound, bool atLeast);
  // pick(): whether some packet of `set` agrees with the bits fixed so far.
  bool feasible(Node set);
  bool reaches(Node n);
  // Fixes `vars` (most significant first) each to 0 where some packet of
  // `set` still agrees, else 1; with `lowestFreeSet`, the last that could
  // go either way is set and those after it are fixed again.
  void lowestBits(Node set, const std::vector<int>& vars, bool lowestFreeSet);
  std::vector<int> fieldVars(RangeField field) const;
  std::vector<int> wordVars(MaskWord word, int top, int count) const;

  DecisionDiagram dd_;
  int rangeFirst_[kRangeFields];
  int rangeWidth_[kRangeFields];
  // Per mask word and bit: its variable, or -1 when the word's bit is unused.
  int wordVar_[kMaskWords][64];
  // The inverse: what each variable is.
  struct VarBit {
    bool ranged;
    int field;  // RangeField or MaskWord
    int bit;
  };
  std::vector<VarBit> bitOf_;
  // pick()'s partial assignment (-1 free) and the walk's failed nodes.
  std::vector<std::int8_t> fixed_;
  std::vector<std::uint32_t> failed_;
  std::vector<bool> tested_;  // the variables the set being picked from tests
  std::uint32_t walkStamp_ = 0;
};

}  // namespace dorvex

#endif  // DORVEX_SPACE_HEADER_SPACE_H_
