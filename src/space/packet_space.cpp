#include "space/packet_space.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace dorvex {

namespace {

constexpr std::uint32_t kFieldMax[kRangeFields] = {255, 65535, 65535, 255, 255, 255};
constexpr std::uint64_t kWordBits[kMaskWords] = {~0ull, ~0ull, ~0ull, ~0ull, kMiscBits};

// The order subtract() splits in: the protocol and the addresses first, as
// they separate most rules, so pieces stay few.
constexpr RangeField kSplitRanges[] = {kSrcPort, kDstPort, kIcmpType, kIcmpCode, kTtl};

void narrowWord(Box& box, int word, std::uint64_t value, std::uint64_t care) {
  if ((box.value[word] ^ value) & box.care[word] & care) {
    box.lo[kProtocol] = 1;  // the two disagree: mark the box empty
    box.hi[kProtocol] = 0;
    return;
  }
  box.care[word] |= care;
  box.value[word] |= value & care;
}

void splitRange(Box& cur, const Box& b, int f, BoxSet& out) {
  if (b.lo[f] > cur.lo[f]) {
    Box piece = cur;
    piece.hi[f] = b.lo[f] - 1;
    out.push_back(piece);
    cur.lo[f] = b.lo[f];
  }
  if (b.hi[f] < cur.hi[f]) {
    Box piece = cur;
    piece.lo[f] = b.hi[f] + 1;
    out.push_back(piece);
    cur.hi[f] = b.hi[f];
  }
}

void splitWord(Box& cur, const Box& b, int w, BoxSet& out) {
  std::uint64_t extra = b.care[w] & ~cur.care[w];
  while (extra) {
    // Highest bit first: a prefix minus a longer prefix gives prefixes.
    std::uint64_t bit = std::uint64_t{1} << (63 - std::countl_zero(extra));
    extra &= ~bit;
    Box piece = cur;
    piece.care[w] |= bit;
    piece.value[w] |= ~b.value[w] & bit;
    out.push_back(piece);
    cur.care[w] |= bit;
    cur.value[w] |= b.value[w] & bit;
  }
}

bool isFull(const Box& box, int f) { return box.lo[f] == 0 && box.hi[f] == kFieldMax[f]; }

std::uint32_t pickSourcePort(const Box& box) {
  std::uint32_t lo = box.lo[kSrcPort], hi = box.hi[kSrcPort];
  if (hi >= 1024) return lo > 1024 ? lo : 1024;
  return lo == 0 && hi > 0 ? 1 : lo;
}

bool isIpv6(const Box& box) { return ((box.value[kMiscWord] >> kFamilyShift) & 1) != 0; }

bool holdsExample(const Box& box, int high) {
  const ExampleAddress a = exampleAddress(isIpv6(box), high == kDstHigh);
  return ((a.high ^ box.value[high]) & box.care[high]) == 0 &&
         ((a.low ^ box.value[high + 1]) & box.care[high + 1]) == 0;
}

std::uint64_t pickAddressWord(const Box& box, int high, std::uint64_t& low) {
  if (holdsExample(box, high)) {
    const ExampleAddress a = exampleAddress(isIpv6(box), high == kDstHigh);
    low = a.low;
    return a.high;
  }
  low = box.value[high + 1];
  std::uint64_t result = box.value[high];
  std::uint64_t freeLow = ~box.care[high + 1], freeHigh = ~box.care[high];
  if (freeLow) {
    low |= freeLow & (~freeLow + 1);
  } else if (freeHigh) {
    result |= freeHigh & (~freeHigh + 1);
  }
  return result;
}

// The fields `box` constrains, as Packet::shown.
unsigned shownFields(const Box& box) {
  unsigned shown = 0;
  for (int f = 0; f < kRangeFields; ++f) {
    if (!isFull(box, f)) shown |= 1u << f;
  }
  const std::uint64_t kParts[] = {63ull << kFlagShift, 255ull << kTosShift, 1ull << kFragmentShift};
  for (int k = 0; k < 3; ++k) {
    if (box.care[kMiscWord] & kParts[k]) shown |= 1u << (kRangeFields + 2 + k);
  }
  return shown;
}

// The ICMP of the box's family: protocol and echo request type.
std::uint32_t icmpOf(const Box& box) { return isIpv6(box) ? 58 : 1; }
std::uint32_t echoOf(const Box& box) { return isIpv6(box) ? 128 : 8; }

// Lower is better: ICMP echo, TCP, UDP, other ICMP, anything else (the
// ICMP of the box's family).
int protocolRank(const Box& box) {
  auto has = [&](int f, std::uint32_t v) { return box.lo[f] <= v && v <= box.hi[f]; };
  if (has(kProtocol, icmpOf(box)) && has(kIcmpType, echoOf(box)) && has(kIcmpCode, 0)) return 0;
  if (has(kProtocol, 6)) return 1;
  if (has(kProtocol, 17)) return 2;
  if (has(kProtocol, icmpOf(box))) return 3;
  return 4;
}

}  // namespace

std::string addressText(std::uint64_t high, std::uint64_t low, bool ipv6) {
  char text[64];
  if (!ipv6 && high == 0 && (low >> 32) == 0) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(low >> 24) & 255,
                  unsigned(low >> 16) & 255, unsigned(low >> 8) & 255, unsigned(low) & 255);
    return text;
  }
  unsigned groups[8];
  for (int k = 0; k < 8; ++k) {
    const std::uint64_t word = k < 4 ? high : low;
    groups[k] = unsigned(word >> (48 - 16 * (k % 4))) & 0xFFFF;
  }
  // The longest run of two or more zero groups is written "::".
  int runStart = -1, runLength = 1;
  for (int k = 0; k < 8;) {
    int end = k;
    while (end < 8 && groups[end] == 0) ++end;
    if (end - k > runLength) runStart = k, runLength = end - k;
    k = end == k ? k + 1 : end;
  }
  std::string result;
  for (int k = 0; k < 8; ++k) {
    if (k == runStart) {
      result += "::";
      k += runLength - 1;
      continue;
    }
    if (!result.empty() && result.back() != ':') result += ':';
    std::snprintf(text, sizeof text, "%x", groups[k]);
    result += text;
  }
  return result;
}

std::string flagsText(unsigned flags) {
  static const char* const kNames[] = {"fin", "syn", "rst", "psh", "ack", "urg"};
  std::string text;
  for (int i = 5; i >= 0; --i) {
    if (flags & (1u << i)) text += (text.empty() ? "" : ",") + std::string(kNames[i]);
  }
  return text.empty() ? "none" : text;
}

Box::Box() {
  for (int f = 0; f < kRangeFields; ++f) lo[f] = 0, hi[f] = kFieldMax[f];
  for (int w = 0; w < kMaskWords; ++w) value[w] = care[w] = 0;
}

void Box::setRange(RangeField field, std::uint32_t low, std::uint32_t high) {
  if (low > lo[field]) lo[field] = low;
  if (high < hi[field]) hi[field] = high;
}

void Box::setIpv4(bool source, std::uint32_t address, std::uint32_t wildcard) {
  int high = source ? kSrcHigh : kDstHigh;
  setFamily(false);
  narrowWord(*this, high, 0, ~0ull);
  narrowWord(*this, high + 1, address & ~wildcard, ~std::uint64_t{wildcard});
}

void Box::setIpv6(bool source, std::uint64_t high, std::uint64_t low, int prefixLength) {
  int word = source ? kSrcHigh : kDstHigh;
  setFamily(true);
  auto mask = [](int bits) { return bits <= 0 ? 0ull : bits >= 64 ? ~0ull : ~0ull << (64 - bits); };
  narrowWord(*this, word, high & mask(prefixLength), mask(prefixLength));
  narrowWord(*this, word + 1, low & mask(prefixLength - 64), mask(prefixLength - 64));
}

void Box::setTcpFlags(unsigned mustSet, unsigned mustClear) {
  narrowWord(*this, kMiscWord, std::uint64_t{mustSet} << kFlagShift,
             std::uint64_t{(mustSet | mustClear) & 63u} << kFlagShift);
}

void Box::setTos(unsigned bits, unsigned mask) {
  narrowWord(*this, kMiscWord, std::uint64_t{bits & mask & 255u} << kTosShift,
             std::uint64_t{mask & 255u} << kTosShift);
}

void Box::setFragment(bool fragment) {
  narrowWord(*this, kMiscWord, std::uint64_t{fragment} << kFragmentShift,
             std::uint64_t{1} << kFragmentShift);
}

void Box::setFamily(bool ipv6) {
  narrowWord(*this, kMiscWord, std::uint64_t{ipv6} << kFamilyShift,
             std::uint64_t{1} << kFamilyShift);
}

bool Box::isEmpty() const {
  for (int f = 0; f < kRangeFields; ++f) {
    if (lo[f] > hi[f]) return true;
  }
  return false;
}

BoxSet anyFlag(const BoxSet& boxes, unsigned anyOf) {
  BoxSet out;
  for (const Box& box : boxes) {
    // The first flag set, in turn: each box has the flags before it clear.
    unsigned clear = 0;
    for (unsigned flag = 1; flag <= kUrg; flag <<= 1) {
      if (!(anyOf & flag)) continue;
      Box piece = box;
      piece.setTcpFlags(flag, clear);
      if (!piece.isEmpty()) out.push_back(piece);
      clear |= flag;
    }
  }
  return out;
}

BoxSet exceptValue(const BoxSet& boxes, RangeField field, std::uint32_t value) {
  BoxSet out;
  for (const Box& box : boxes) {
    if (value > box.lo[field]) {
      out.push_back(box);
      out.back().setRange(field, box.lo[field], value - 1);
    }
    if (value < box.hi[field]) {
      out.push_back(box);
      out.back().setRange(field, value + 1, box.hi[field]);
    }
  }
  return out;
}

bool intersect(const Box& a, const Box& b, Box& out) {
  for (int f = 0; f < kRangeFields; ++f) {
    out.lo[f] = a.lo[f] > b.lo[f] ? a.lo[f] : b.lo[f];
    out.hi[f] = a.hi[f] < b.hi[f] ? a.hi[f] : b.hi[f];
    if (out.lo[f] > out.hi[f]) return false;
  }
  for (int w = 0; w < kMaskWords; ++w) {
    if ((a.value[w] ^ b.value[w]) & a.care[w] & b.care[w]) return false;
    out.care[w] = a.care[w] | b.care[w];
    out.value[w] = a.value[w] | b.value[w];
  }
  return true;
}

bool intersects(const Box& a, const Box& b) {
  for (int f = 0; f < kRangeFields; ++f) {
    if (a.lo[f] > b.hi[f] || b.lo[f] > a.hi[f]) return false;
  }
  for (int w = 0; w < kMaskWords; ++w) {
    if ((a.value[w] ^ b.value[w]) & a.care[w] & b.care[w]) return false;
  }
  return true;
}

bool contains(const Box& outer, const Box& inner) {
  if (inner.isEmpty()) return true;
  for (int f = 0; f < kRangeFields; ++f) {
    if (inner.lo[f] < outer.lo[f] || inner.hi[f] > outer.hi[f]) return false;
  }
  for (int w = 0; w < kMaskWords; ++w) {
    if (outer.care[w] & ~inner.care[w]) return false;
    if ((outer.value[w] ^ inner.value[w]) & outer.care[w]) return false;
  }
  return true;
}

void subtract(const Box& a, const Box& b, BoxSet& out) {
  if (!intersects(a, b)) {
    out.push_back(a);
    return;
  }
  Box cur = a;
  splitRange(cur, b, kProtocol, out);
  for (int w = kSrcHigh; w <= kDstLow; ++w) splitWord(cur, b, w, out);
  for (RangeField f : kSplitRanges) splitRange(cur, b, f, out);
  splitWord(cur, b, kMiscWord, out);
}

long double volume(const Box& box) {
  long double size = 1;
  for (int f = 0; f < kRangeFields; ++f) size *= (long double)(box.hi[f] - box.lo[f] + 1);
  int freeBits = 0;
  for (int w = 0; w < kMaskWords; ++w) freeBits += std::popcount(kWordBits[w] & ~box.care[w]);
  return std::ldexp(size, freeBits);
}

long double volume(const BoxSet& set) {
  long double size = 0;
  for (const Box& box : set) size += volume(box);
  return size;
}

bool matches(const Box& box, const Packet& packet) {
  for (int f = 0; f < kRangeFields; ++f) {
    if (packet.field[f] < box.lo[f] || packet.field[f] > box.hi[f]) return false;
  }
  for (int w = 0; w < kMaskWords; ++w) {
    if ((packet.word[w] ^ box.value[w]) & box.care[w]) return false;
  }
  return true;
}

bool removeFrom(BoxSet& set, const Box& cut, std::size_t& work) {
  work += set.size();
  std::size_t first = 0;
  while (first < set.size() && !intersects(set[first], cut)) ++first;
  if (first == set.size()) return false;
  BoxSet kept(set.begin(), set.begin() + first);
  for (std::size_t i = first; i < set.size(); ++i) subtract(set[i], cut, kept);
  set.swap(kept);
  return true;
}

void intersectInto(const BoxSet& set, const Box& cut, BoxSet& out) {
  Box piece;
  for (const Box& box : set) {
    if (intersect(box, cut, piece)) out.push_back(piece);
  }
}

BoxSet disjointUnion(const std::vector<Box>& boxes) {
  BoxSet set;
  std::size_t work = 0;
  for (const Box& box : boxes) {
    if (box.isEmpty()) continue;
    BoxSet fresh{box};
    for (const Box& earlier : set) removeFrom(fresh, earlier, work);
    set.insert(set.end(), fresh.begin(), fresh.end());
  }
  return set;
}

Packet pickPacket(const Box& box) {
  Packet p;
  auto pick = [&](int f, std::uint32_t wanted) {
    return box.lo[f] <= wanted && wanted <= box.hi[f] ? wanted : box.lo[f];
  };
  const std::uint32_t kRankProtocol[] = {icmpOf(box), 6, 17, icmpOf(box)};
  int rank = protocolRank(box);
  p.field[kProtocol] = rank < 4 ? kRankProtocol[rank] : box.lo[kProtocol];
  p.field[kSrcPort] = pickSourcePort(box);
  p.field[kDstPort] = box.lo[kDstPort] == 0 && box.hi[kDstPort] > 0 ? 1 : box.lo[kDstPort];
  p.field[kIcmpType] = pick(kIcmpType, echoOf(box));
  p.field[kIcmpCode] = box.lo[kIcmpCode];
  p.field[kTtl] = pick(kTtl, 64);
  p.word[kSrcHigh] = pickAddressWord(box, kSrcHigh, p.word[kSrcLow]);
  p.word[kDstHigh] = pickAddressWord(box, kDstHigh, p.word[kDstLow]);
  std::uint64_t misc = box.value[kMiscWord];
  unsigned flagCare = unsigned(box.care[kMiscWord] >> kFlagShift) & 63u;
  if (((misc >> kFlagShift) & 63u) == 0 && !(flagCare & kSyn)) misc |= kSyn << kFlagShift;
  p.word[kMiscWord] = misc;
  p.shown = shownFields(box);
  return p;
}

Packet pickPacket(const BoxSet& set) {
  // The best protocol first, then a box that holds the example addresses.
  auto rank = [](const Box& box) {
    return protocolRank(box) * 4 + (holdsExample(box, kSrcHigh) ? 0 : 2) +
           (holdsExample(box, kDstHigh) ? 0 : 1);
  };
  std::size_t best = 0;
  for (std::size_t i = 1; i < set.size(); ++i) {
    if (rank(set[i]) < rank(set[best])) best = i;
  }
  return pickPacket(set[best]);
}

Packet samplePacket(const Box& box, std::uint64_t seed) {
  Packet p;
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  auto next = [&state] {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  for (int f = 0; f < kRangeFields; ++f) {
    std::uint32_t span = box.hi[f] - box.lo[f];
    p.field[f] = seed == 0   ? box.lo[f]
                 : seed == 1 ? box.hi[f]
                             : box.lo[f] + std::uint32_t(next() % (std::uint64_t{span} + 1));
  }
  for (int w = 0; w < kMaskWords; ++w) {
    std::uint64_t free = kWordBits[w] & ~box.care[w];
    p.word[w] = box.value[w] | (seed == 0 ? 0 : seed == 1 ? free : next() & free);
  }
  p.shown = shownFields(box);
  return p;
}

std::string describe(const Packet& packet, bool ipv6) {
  ipv6 = ipv6 || ((packet.word[kMiscWord] >> kFamilyShift) & 1) != 0;
  std::uint32_t protocol = packet.field[kProtocol];
  bool ported = protocol == 6 || protocol == 17;
  // ICMP of IPv4, and of IPv6 (58) in an IPv6 list.
  const bool icmp = protocol == 1 || (ipv6 && protocol == 58);
  std::string text = protocol == 1    ? "icmp"
                     : icmp           ? "icmpv6"
                     : protocol == 6  ? "tcp"
                     : protocol == 17 ? "udp"
                                      : "protocol " + std::to_string(protocol);
  text += " " + addressText(packet.word[kSrcHigh], packet.word[kSrcLow], ipv6);
  if (ported) text += " port " + std::to_string(packet.field[kSrcPort]);
  text += " > " + addressText(packet.word[kDstHigh], packet.word[kDstLow], ipv6);
  if (ported) text += " port " + std::to_string(packet.field[kDstPort]);
  if (icmp) {
    text += " type " + std::to_string(packet.field[kIcmpType]) + " code " +
            std::to_string(packet.field[kIcmpCode]);
  }
  std::uint64_t misc = packet.word[kMiscWord];
  if (protocol == 6 && (packet.shown & (1u << (kRangeFields + 2)))) {
    text += " flags " + flagsText(unsigned(misc >> kFlagShift) & 63u);
  }
  if (packet.shown & (1u << (kRangeFields + 3))) {
    text += " tos " + std::to_string(unsigned(misc >> kTosShift) & 255u);
  }
  if (packet.shown & (1u << (kRangeFields + 4))) {
    text += (misc >> kFragmentShift) & 1 ? " fragment" : " not-fragment";
  }
  if (packet.shown & (1u << kTtl)) text += " ttl " + std::to_string(packet.field[kTtl]);
  return text;
}

}  // namespace dorvex
