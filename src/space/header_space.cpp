#include "space/header_space.h"

namespace dorvex {

namespace {

constexpr int kRangeWidth[kRangeFields] = {8, 16, 16, 8, 8, 8};
constexpr std::uint32_t kRangeMax[kRangeFields] = {255, 65535, 65535, 255, 255, 255};

// One run of variables, most significant bit first: `count` bits of a
// ranged field or of a mask word from bit `top` down.
struct Segment {
  bool ranged;
  int field;
  int top;
  int count;
};

// The variable order. Fields that tell rules apart most come first, so a
// list's sets share their upper nodes.
constexpr Segment kLayout[] = {
    {false, kMiscWord, kFamilyShift, 1},
    {true, kProtocol, 7, 8},
    {false, kDstHigh, 63, 64},
    {false, kDstLow, 63, 64},
    {false, kSrcHigh, 63, 64},
    {false, kSrcLow, 63, 64},
    {true, kDstPort, 15, 16},
    {true, kSrcPort, 15, 16},
    {true, kIcmpType, 7, 8},
    {true, kIcmpCode, 7, 8},
    {false, kMiscWord, kFlagShift + 5, 6},
    {false, kMiscWord, kTosShift + 7, 8},
    {false, kMiscWord, kFragmentShift, 1},
    {true, kTtl, 7, 8},
};

}  // namespace

HeaderSpace::HeaderSpace(std::size_t maxNodes) : dd_(kVariables, maxNodes) {
  for (auto& word : wordVar_) {
    for (int& var : word) var = -1;
  }
  int var = 0;
  for (const Segment& s : kLayout) {
    if (s.ranged) {
      rangeFirst_[s.field] = var;
      rangeWidth_[s.field] = s.count;
    }
    for (int k = 0; k < s.count; ++k, ++var) {
      const int bit = s.top - k;
      if (!s.ranged) wordVar_[s.field][bit] = var;
      bitOf_.push_back(VarBit{s.ranged, s.field, bit});
    }
  }
}

int HeaderSpace::rangeVar(RangeField field, int bit) const {
  return rangeFirst_[field] + rangeWidth_[field] - 1 - bit;
}

int HeaderSpace::wordVar(MaskWord word, int bit) const { return wordVar_[word][bit]; }

Node HeaderSpace::fieldBound(RangeField field, std::uint32_t bound, bool atLeast) {
  // From the lowest bit up: below each bit, the lower bits are on the
  // bound's side of it. Where the field's bit differs from the bound's, the
  // answer is known there; where they agree, the lower bits decide.
  Node r = DecisionDiagram::kAll;
  const Node above = atLeast ? DecisionDiagram::kAll : DecisionDiagram::kNone;
  const Node below = atLeast ? DecisionDiagram::kNone : DecisionDiagram::kAll;
  for (int bit = 0; bit < kRangeWidth[field]; ++bit) {
    const int var = rangeVar(field, bit);
    r = (bound >> bit) & 1 ? dd_.make(var, below, r) : dd_.make(var, r, above);
  }
  return r;
}

Node HeaderSpace::ofRange(RangeField field, std::uint32_t low, std::uint32_t high) {
  if (low > high) return DecisionDiagram::kNone;
  if (low == 0 && high >= kRangeMax[field]) return DecisionDiagram::kAll;
  if (low == 0) return fieldBound(field, high, false);
  if (high >= kRangeMax[field]) return fieldBound(field, low, true);
  return dd_.conjoin(fieldBound(field, low, true), fieldBound(field, high, false));
}

Node HeaderSpace::ofBox(const Box& box) {
  if (box.isEmpty()) return DecisionDiagram::kNone;
  // An IPv4 packet's high 96 address bits are zero in every IPv4 box: left
  // out, they cost no node, and no box of the other family meets them.
  const std::uint64_t familyBit = std::uint64_t{1} << kFamilyShift;
  const bool ipv4 = (box.care[kMiscWord] & familyBit) && !(box.value[kMiscWord] & familyBit);
  // Built from the last variable up, so that each bit is one node above
  // what is built and a box costs its bits, not their square.
  Node acc = DecisionDiagram::kAll;
  for (int s = static_cast<int>(std::size(kLayout)) - 1; s >= 0; --s) {
    const Segment& seg = kLayout[s];
    if (seg.ranged) {
      const auto field = static_cast<RangeField>(seg.field);
      const Node range = ofRange(field, box.lo[field], box.hi[field]);
      if (range != DecisionDiagram::kAll) acc = dd_.conjoin(range, acc);
      continue;
    }
    for (int k = seg.count - 1; k >= 0; --k) {
      const int bit = seg.top - k;
      const std::uint64_t mask = std::uint64_t{1} << bit;
      if (!(box.care[seg.field] & mask)) continue;
      if (ipv4 && (seg.field == kSrcHigh || seg.field == kDstHigh ||
                   ((seg.field == kSrcLow || seg.field == kDstLow) && bit >= 32))) {
        continue;
      }
      const int var = wordVar_[seg.field][bit];
      acc = box.value[seg.field] & mask ? dd_.make(var, DecisionDiagram::kNone, acc)
                                        : dd_.make(var, acc, DecisionDiagram::kNone);
    }
  }
  return acc;
}

Node HeaderSpace::ofBoxes(const std::vector<Box>& boxes) {
  Node set = DecisionDiagram::kNone;
  for (const Box& box : boxes) set = dd_.join(set, ofBox(box));
  return set;
}

bool HeaderSpace::holds(Node set, const Packet& packet) const {
  return dd_.holds(set, [&](int var) {
    const VarBit& b = bitOf_[static_cast<std::size_t>(var)];
    return b.ranged ? ((packet.field[b.field] >> b.bit) & 1) != 0
                    : ((packet.word[b.field] >> b.bit) & 1) != 0;
  });
}

Node HeaderSpace::lowestOf(Node set, RangeField field) {
  for (int bit = kRangeWidth[field] - 1; bit >= 0; --bit) {
    const int var = rangeVar(field, bit);
    const Node zero = dd_.conjoin(set, dd_.literal(var, false));
    set = zero != DecisionDiagram::kNone ? zero : dd_.conjoin(set, dd_.literal(var, true));
  }
  return set;
}

Node HeaderSpace::lowestBits(Node set, MaskWord word, int top, int count, bool lowestFreeSet) {
  // Each bit clear where it can be; then, when asked, the last bit that
  // could go either way set instead ("10.1.2.1" of 10.1.2.0/24).
  std::vector<Node> before;
  int lastFree = -1;
  for (int k = 0; k < count; ++k) {
    const int var = wordVar_[word][top - k];
    const Node zero = dd_.conjoin(set, dd_.literal(var, false));
    const Node one = dd_.conjoin(set, dd_.literal(var, true));
    before.push_back(set);
    if (zero != DecisionDiagram::kNone && one != DecisionDiagram::kNone) lastFree = k;
    set = zero != DecisionDiagram::kNone ? zero : one;
  }
  if (!lowestFreeSet || lastFree < 0) return set;
  set = dd_.conjoin(before[static_cast<std::size_t>(lastFree)],
                    dd_.literal(wordVar_[word][top - lastFree], true));
  for (int k = lastFree + 1; k < count; ++k) {
    const int var = wordVar_[word][top - k];
    const Node zero = dd_.conjoin(set, dd_.literal(var, false));
    set = zero != DecisionDiagram::kNone ? zero : dd_.conjoin(set, dd_.literal(var, true));
  }
  return set;
}

Packet HeaderSpace::pick(Node set, Node shownBy) {
  auto narrowed = [&](Node to) {
    const Node both = dd_.conjoin(set, to);
    if (both == DecisionDiagram::kNone) return false;
    set = both;
    return true;
  };
  const int familyVar = wordVar_[kMiscWord][kFamilyShift];
  if (!narrowed(dd_.literal(familyVar, false))) narrowed(dd_.literal(familyVar, true));
  const bool ipv6 = dd_.meets(set, dd_.literal(familyVar, true));
  auto exactly = [&](RangeField field, std::uint32_t value) {
    return ofRange(field, value, value);
  };
  auto echo = [&](std::uint32_t protocol, std::uint32_t type) {
    return dd_.conjoin(exactly(kProtocol, protocol),
                       dd_.conjoin(exactly(kIcmpType, type), exactly(kIcmpCode, 0)));
  };
  const std::uint32_t icmp = ipv6 ? 58 : 1;
  if (!narrowed(echo(icmp, ipv6 ? 128 : 8)) && !narrowed(exactly(kProtocol, 6)) &&
      !narrowed(exactly(kProtocol, 17)) && !narrowed(exactly(kProtocol, icmp))) {
    set = lowestOf(set, kProtocol);
  }
  narrowed(ofRange(kDstPort, 1, 65535));
  set = lowestOf(set, kDstPort);
  if (!narrowed(ofRange(kSrcPort, 1024, 65535))) narrowed(ofRange(kSrcPort, 1, 65535));
  set = lowestOf(set, kSrcPort);
  set = lowestOf(lowestOf(set, kIcmpType), kIcmpCode);
  for (MaskWord high : {kSrcHigh, kDstHigh}) {
    const auto low = static_cast<MaskWord>(high + 1);
    set = lowestBits(set, high, 63, 64, false);
    if (!ipv6) {
      // The high 96 bits of an IPv4 address, free in every set, are zero.
      set = lowestBits(set, low, 63, 32, false);
      set = lowestBits(set, low, 31, 32, true);
      continue;
    }
    // The free bit to set is the lowest of the 128; the high word, fixed
    // first, gets it only when the low word has none.
    set = lowestBits(set, low, 63, 64, true);
  }
  Box syn;
  syn.setTcpFlags(kSyn, kFin | kRst | kPsh | kAck | kUrg);
  if (!narrowed(ofBox(syn))) set = lowestBits(set, kMiscWord, kFlagShift + 5, 6, false);
  set = lowestBits(set, kMiscWord, kTosShift + 7, 8, false);
  set = lowestBits(set, kMiscWord, kFragmentShift, 1, false);
  narrowed(exactly(kTtl, 64));
  set = lowestOf(set, kTtl);

  Packet packet;
  for (Node n = set; n > DecisionDiagram::kAll;) {
    const bool one = dd_.low(n) == DecisionDiagram::kNone;
    const VarBit& b = bitOf_[static_cast<std::size_t>(dd_.var(n))];
    if (one) {
      if (b.ranged) {
        packet.field[b.field] |= std::uint32_t{1} << b.bit;
      } else {
        packet.word[b.field] |= std::uint64_t{1} << b.bit;
      }
    }
    n = one ? dd_.high(n) : dd_.low(n);
  }
  std::vector<bool> used;
  dd_.support(shownBy, used);
  for (int var = 0; var < kVariables; ++var) {
    if (!used[static_cast<std::size_t>(var)]) continue;
    const VarBit& b = bitOf_[static_cast<std::size_t>(var)];
    if (b.ranged) {
      packet.shown |= 1u << b.field;
    } else if (b.field == kSrcHigh || b.field == kSrcLow) {
      packet.shown |= 1u << kRangeFields;
    } else if (b.field == kDstHigh || b.field == kDstLow) {
      packet.shown |= 1u << (kRangeFields + 1);
    } else if (b.bit < kTosShift) {
      packet.shown |= 1u << (kRangeFields + 2);
    } else if (b.bit < kFragmentShift) {
      packet.shown |= 1u << (kRangeFields + 3);
    } else if (b.bit == kFragmentShift) {
      packet.shown |= 1u << (kRangeFields + 4);
    }
  }
  return packet;
}

}  // namespace dorvex
