// The header space of the exact cover: every packet a rule can tell apart,
// as a point of a product of fields, and sets of packets as disjoint boxes.
//
// A packet has an address family (a bit: IPv6 or not), a protocol, a source
// and a destination address (128 bits each: an IPv4 address is the low 32
// bits, with the 96 bits above zero; the family bit keeps it out of every
// IPv6 block, ::/0 included), source and
// destination ports, an ICMP type and code, six TCP flag bits, the ToS byte,
// a fragment bit and a TTL. Every packet has every field: a rule that does
// not name a field (ports of an ICMP rule, say) leaves it whole, so the
// fields a protocol lacks never tell two rules apart and the arithmetic
// stays exact for the real packets.
//
// A Box is a product of one set per field: an inclusive range for the
// protocol, ports, ICMP type and code and TTL; a value under a care mask for
// the addresses (so wildcards of any shape fit, "0.0.255.0" too) and for the
// bits of the TCP flags, the ToS byte and the fragment bit. A BoxSet is a
// vector of pairwise disjoint boxes; subtraction keeps it so.
//
// A rule as boxes, e.g. "permit tcp 10.0.0.0 0.0.0.255 any eq 80 established":
//   Box box;
//   box.setRange(kProtocol, 6, 6);
//   box.setIpv4(true, 0x0A000000, 0x000000FF);
//   box.setIpv4(false, 0, 0xFFFFFFFF);  // "any" of an IPv4 list, not Box()'s
//   box.setRange(kDstPort, 80, 80);
//   BoxSet boxes = anyFlag({box}, kAck | kRst);
#ifndef DORVEX_SPACE_PACKET_SPACE_H_
#define DORVEX_SPACE_PACKET_SPACE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace dorvex {

// The ranged fields, as indexes into Box::lo and Box::hi.
enum RangeField { kProtocol, kSrcPort, kDstPort, kIcmpType, kIcmpCode, kTtl, kRangeFields };

// The masked words, as indexes into Box::value and Box::care: an address is
// two words, the high 64 bits first; the last word holds the TCP flags, the
// ToS byte, the fragment bit and the family bit at the shifts below.
enum MaskWord { kSrcHigh, kSrcLow, kDstHigh, kDstLow, kMiscWord, kMaskWords };

// TCP flag bits, each a bit of the flag field (value and care).
enum TcpFlag : unsigned { kFin = 1, kSyn = 2, kRst = 4, kPsh = 8, kAck = 16, kUrg = 32 };
constexpr int kFlagShift = 0;  // 6 bits
constexpr int kTosShift = 8;   // 8 bits
constexpr int kFragmentShift = 16;
constexpr int kFamilyShift = 17;  // set: an IPv6 packet
constexpr std::uint64_t kMiscBits = 0x3FF3Full;

struct Box {
  // The whole space: every field unconstrained.
  Box();

  std::uint32_t lo[kRangeFields];
  std::uint32_t hi[kRangeFields];
  // REQUIRES: value & ~care == 0 in every word (the setters keep it).
  std::uint64_t value[kMaskWords];
  std::uint64_t care[kMaskWords];

  // The same bounds and bits: boxes built alike from the same packets
  // (setters normalise, so a host, a wildcard and a prefix agree).
  bool operator==(const Box&) const = default;

  // Narrowing setters for building rules; each intersects with what the
  // field already holds, so a box may end up empty (isEmpty()).
  void setRange(RangeField field, std::uint32_t low, std::uint32_t high);
  // An IPv4 block: `address` under the wildcard `wildcard` (a set bit = any).
  // IPv4 "any" is wildcard 0xFFFFFFFF: left unset, the field holds IPv6
  // too, and a host cut from it leaves 128 pieces instead of 32.
  void setIpv4(bool source, std::uint32_t address, std::uint32_t wildcard);
  // An IPv6 block: the first `prefixLength` bits of (high, low).
  void setIpv6(bool source, std::uint64_t high, std::uint64_t low, int prefixLength);
  // Bits `mustSet` set and `mustClear` clear; other flags free.
  void setTcpFlags(unsigned mustSet, unsigned mustClear);
  // The ToS byte's bits under `mask` equal `bits`: dscp d is (d << 2, 0xFC),
  // precedence p (p << 5, 0xE0), tos t (t << 1, 0x1E).
  void setTos(unsigned bits, unsigned mask);
  void setFragment(bool fragment);
  void setFamily(bool ipv6);

  bool isEmpty() const;
};

// One packet: every field a value. `shown` holds a bit (1 << RangeField) for
// each ranged field and (1 << (kRangeFields + k)) for the addresses (k = 0
// source, 1 destination), flags (2), ToS (3) and fragment (4) that a rule
// constrains where the packet was picked; describe() prints those and the
// ones the protocol always has.
struct Packet {
  std::uint32_t field[kRangeFields] = {};
  std::uint64_t word[kMaskWords] = {};
  unsigned shown = 0;
};

using BoxSet = std::vector<Box>;

// Narrowings that make one box several (the caller's rule then holds the
// union), each giving disjoint boxes.
// Only packets with at least one of the flags `anyOf` set: "established" is
// anyFlag(boxes, kAck | kRst) of TCP boxes, match-any "+ack +rst" the same.
BoxSet anyFlag(const BoxSet& boxes, unsigned anyOf);
// Only packets whose `field` is not `value` ("neq" of a port or the TTL).
BoxSet exceptValue(const BoxSet& boxes, RangeField field, std::uint32_t value);

// Sets `out` to a ∩ b; returns false iff it is empty (`out` then undefined).
bool intersect(const Box& a, const Box& b, Box& out);
bool intersects(const Box& a, const Box& b);
// True iff every packet of `inner` lies in `outer` (so always for an empty
// `inner`).
bool contains(const Box& outer, const Box& inner);
// Appends a minus b to `out` as disjoint boxes (at most one per range bound
// and one per bit that b cares about and a does not).
void subtract(const Box& a, const Box& b, BoxSet& out);
// The number of packets, as a floating value (it may exceed 2^300).
long double volume(const Box& box);
long double volume(const BoxSet& set);
bool matches(const Box& box, const Packet& packet);

// Removes `cut` from every box of `set`; returns true iff some box met it.
// `work` grows by the boxes tested.
bool removeFrom(BoxSet& set, const Box& cut, std::size_t& work);
// Appends set ∩ cut to `out`.
void intersectInto(const BoxSet& set, const Box& cut, BoxSet& out);
// The boxes of `boxes` made disjoint (same union).
BoxSet disjointUnion(const std::vector<Box>& boxes);

// Addresses a person takes for examples, from the ranges kept for
// documentation: 198.51.100.1 > 203.0.113.1, 2001:db8:1::1 > 2001:db8:2::1.
struct ExampleAddress {
  std::uint64_t high, low;  // the words kSrcHigh, kSrcLow (or kDstHigh, kDstLow)
};
constexpr ExampleAddress exampleAddress(bool ipv6, bool destination) {
  if (ipv6) return {destination ? 0x20010db800020000ull : 0x20010db800010000ull, 1};
  return {0, destination ? 0xCB007101ull : 0xC6336401ull};
}

// The packet of `box` a person recognises best: an ICMP echo (type 8 code
// 0, ICMPv6 type 128 in IPv6) if the box has one, else TCP, else UDP, else
// the lowest protocol; a destination port as low as the box allows but not
// 0; a source port above 1023 where it can; the example address where the
// box allows it (an `any`), else an address with its free bits clear but
// the lowest (so 10.1.2.1 of 10.1.2.0/24, a host as it is); no TCP flag but
// the ones required, and SYN when nothing else is; TTL 64 when allowed.
// REQUIRES: !box.isEmpty().
Packet pickPacket(const Box& box);
// The best such packet over the boxes, the protocol first, then the
// example addresses. REQUIRES: !set.empty().
Packet pickPacket(const BoxSet& set);

// A packet of `box` for probing: seed 0 its lowest corner (every range at its
// low end, free bits clear), 1 its highest, any other a pseudo-random one
// that depends only on the box and the seed. REQUIRES: !box.isEmpty().
Packet samplePacket(const Box& box, std::uint64_t seed);

// An address of the space as text: a.b.c.d for IPv4; for IPv6 (or any
// address when `ipv6`, as in an IPv6 list, where ::1 is no IPv4 address)
// groups of hex digits, the longest run of zero groups as "::".
std::string addressText(std::uint64_t high, std::uint64_t low, bool ipv6 = false);
// TCP flag bits as their names joined by commas, highest first; "none".
std::string flagsText(unsigned flags);

// The packet as text, e.g. "tcp 10.1.2.1 port 1024 > 192.0.2.1 port 80".
// `ipv6`, or the packet's family bit: its addresses are IPv6 ones, as
// addressText() says.
std::string describe(const Packet& packet, bool ipv6 = false);

}  // namespace dorvex

#endif  // DORVEX_SPACE_PACKET_SPACE_H_
