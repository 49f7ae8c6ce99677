#include "space/header_space.h"

#include <algorithm>

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

bool HeaderSpace::feasible(Node set) {
  if (++walkStamp_ == 0) {
    std::fill(failed_.begin(), failed_.end(), 0u);
    walkStamp_ = 1;
  }
  if (failed_.size() < dd_.nodeCount()) failed_.resize(dd_.nodeCount(), 0u);
  return reaches(set);
}

bool HeaderSpace::reaches(Node n) {
  if (n <= DecisionDiagram::kAll) return n == DecisionDiagram::kAll;
  // Success goes straight up, so a node met again is one that failed.
  if (failed_[n] == walkStamp_) return false;
  const std::int8_t want = fixed_[static_cast<std::size_t>(dd_.var(n))];
  if (want != 1 && reaches(dd_.low(n))) return true;
  if (want != 0 && reaches(dd_.high(n))) return true;
  failed_[n] = walkStamp_;
  return false;
}

void HeaderSpace::lowestBits(Node set, const std::vector<int>& vars, bool lowestFreeSet) {
  // Each bit clear where it can be; then, when asked, the last bit that
  // could go either way set instead ("10.1.2.1" of 10.1.2.0/24).
  int lastFree = -1;
  for (std::size_t k = 0; k < vars.size(); ++k) {
    std::int8_t& bit = fixed_[static_cast<std::size_t>(vars[k])];
    // A bit a preference has fixed stays.
    if (bit >= 0) continue;
    // A bit the set does not test goes either way: no walk needed.
    if (!tested_[static_cast<std::size_t>(vars[k])]) {
      bit = 0;
      if (lowestFreeSet) lastFree = static_cast<int>(k);
      continue;
    }
    if (lowestFreeSet) {
      bit = 1;
      const bool one = feasible(set);
      bit = 0;
      if (feasible(set)) {
        if (one) lastFree = static_cast<int>(k);
      } else {
        bit = 1;
      }
    } else {
      bit = 0;
      if (!feasible(set)) bit = 1;
    }
  }
  if (lastFree < 0) return;
  for (std::size_t k = static_cast<std::size_t>(lastFree) + 1; k < vars.size(); ++k) {
    fixed_[static_cast<std::size_t>(vars[k])] = -1;
  }
  fixed_[static_cast<std::size_t>(vars[static_cast<std::size_t>(lastFree)])] = 1;
  for (std::size_t k = static_cast<std::size_t>(lastFree) + 1; k < vars.size(); ++k) {
    std::int8_t& bit = fixed_[static_cast<std::size_t>(vars[k])];
    bit = 0;
    if (tested_[static_cast<std::size_t>(vars[k])] && !feasible(set)) bit = 1;
  }
}

std::vector<int> HeaderSpace::fieldVars(RangeField field) const {
  std::vector<int> vars;
  for (int bit = kRangeWidth[field] - 1; bit >= 0; --bit) vars.push_back(rangeVar(field, bit));
  return vars;
}

std::vector<int> HeaderSpace::wordVars(MaskWord word, int top, int count) const {
  std::vector<int> vars;
  for (int k = 0; k < count; ++k) vars.push_back(wordVar_[word][top - k]);
  return vars;
}

Packet HeaderSpace::pick(Node set, Node shownBy) {
  // The choices are made in a partial assignment that each step extends
  // while some packet of `set` still agrees with it: a walk of the set per
  // choice, no node made.
  fixed_.assign(kVariables, -1);
  dd_.support(set, tested_);

  // Each preference is fixed in the assignment where some packet of the
  // set agrees: a walk, no node made.
  using Bits = std::vector<std::pair<int, int>>;  // variable, value
  auto fixed = [&](const Bits& bits) {
    for (const auto& [var, value] : bits) {
      const std::int8_t now = fixed_[static_cast<std::size_t>(var)];
      if (now >= 0 && now != value) return false;
    }
    std::vector<std::int8_t> before;
    for (const auto& [var, value] : bits) {
      before.push_back(fixed_[static_cast<std::size_t>(var)]);
      fixed_[static_cast<std::size_t>(var)] = static_cast<std::int8_t>(value);
    }
    if (feasible(set)) return true;
    for (std::size_t k = 0; k < bits.size(); ++k)
      fixed_[static_cast<std::size_t>(bits[k].first)] = before[k];
    return false;
  };
  auto exactly = [&](RangeField field, std::uint32_t value, Bits bits = {}) {
    for (int bit = 0; bit < kRangeWidth[field]; ++bit)
      bits.emplace_back(rangeVar(field, bit), (value >> bit) & 1);
    return bits;
  };
  auto word = [&](MaskWord w, std::uint64_t value, int count, Bits bits = {}) {
    for (int bit = 0; bit < count; ++bit)
      bits.emplace_back(wordVar_[w][bit], static_cast<int>((value >> bit) & 1));
    return bits;
  };
  const int familyVar = wordVar_[kMiscWord][kFamilyShift];
  if (!fixed({{familyVar, 0}})) fixed({{familyVar, 1}});
  const bool ipv6 = fixed_[static_cast<std::size_t>(familyVar)] == 1;
  const std::uint32_t icmp = ipv6 ? 58 : 1;
  const Bits echo =
      exactly(kProtocol, icmp, exactly(kIcmpType, ipv6 ? 128 : 8, exactly(kIcmpCode, 0)));
  if (!fixed(echo) && !fixed(exactly(kProtocol, 6)) && !fixed(exactly(kProtocol, 17)) &&
      !fixed(exactly(kProtocol, icmp))) {
    lowestBits(set, fieldVars(kProtocol), false);
  }
  // The least value from `low` on that some packet agrees with: `low`
  // itself, else the longest prefix of `low` followed by a 1 where `low`
  // has a 0, then the lowest bits. False, nothing fixed, when there is none.
  auto leastFrom = [&](RangeField field, std::uint32_t low) {
    const int width = kRangeWidth[field];
    for (int at = -1; at < width; ++at) {
      if (at >= 0 && ((low >> at) & 1)) continue;
      Bits prefix;
      for (int bit = width - 1; bit > at; --bit)
        prefix.emplace_back(rangeVar(field, bit), (low >> bit) & 1);
      if (at >= 0) prefix.emplace_back(rangeVar(field, at), 1);
      if (!fixed(prefix)) continue;
      lowestBits(set, fieldVars(field), false);
      return true;
    }
    return false;
  };
  if (!leastFrom(kDstPort, 1)) lowestBits(set, fieldVars(kDstPort), false);
  if (!leastFrom(kSrcPort, 1024) && !leastFrom(kSrcPort, 1))
    lowestBits(set, fieldVars(kSrcPort), false);
  lowestBits(set, fieldVars(kIcmpType), false);
  lowestBits(set, fieldVars(kIcmpCode), false);
  for (MaskWord high : {kSrcHigh, kDstHigh}) {
    const auto low = static_cast<MaskWord>(high + 1);
    // The example address where the set allows it (an IPv4 address has
    // its high 96 bits clear).
    const ExampleAddress example = exampleAddress(ipv6, high == kDstHigh);
    fixed(word(high, example.high, 64, word(low, example.low, 64)));
    lowestBits(set, wordVars(high, 63, 64), false);
    if (!ipv6) {
      // The high 96 bits of an IPv4 address, free in every set, are zero.
      lowestBits(set, wordVars(low, 63, 32), false);
      lowestBits(set, wordVars(low, 31, 32), true);
      continue;
    }
    // The free bit to set is the lowest of the 128; the high word, fixed
    // first, gets it only when the low word has none.
    lowestBits(set, wordVars(low, 63, 64), true);
  }
  Bits syn;
  for (int flag = 0; flag < 6; ++flag)
    syn.emplace_back(wordVar_[kMiscWord][kFlagShift + flag], (kSyn >> flag) & 1);
  if (!fixed(syn)) lowestBits(set, wordVars(kMiscWord, kFlagShift + 5, 6), false);
  lowestBits(set, wordVars(kMiscWord, kTosShift + 7, 8), false);
  lowestBits(set, wordVars(kMiscWord, kFragmentShift, 1), false);
  fixed(exactly(kTtl, 64));
  lowestBits(set, fieldVars(kTtl), false);
  // Every bit left free: clear where the set allows.
  std::vector<int> rest;
  for (int var = 0; var < kVariables; ++var) {
    if (fixed_[static_cast<std::size_t>(var)] < 0) rest.push_back(var);
  }
  lowestBits(set, rest, false);

  Packet packet;
  for (int var = 0; var < kVariables; ++var) {
    if (fixed_[static_cast<std::size_t>(var)] != 1) continue;
    const VarBit& b = bitOf_[static_cast<std::size_t>(var)];
    if (b.ranged) {
      packet.field[b.field] |= std::uint32_t{1} << b.bit;
    } else {
      packet.word[b.field] |= std::uint64_t{1} << b.bit;
    }
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
