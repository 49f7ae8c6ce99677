// RuleMatch: what a rule of the full syntax matches when AclEntry's fixed
// IPv4 fields cannot hold it: address sets (unions of 128-bit blocks under
// wildcards, from object groups, objects, ranges and IPv6 operands) and
// service terms (a protocol with source and destination port sets, and an
// ICMP message, from service groups, port groups and several ports after
// "eq"). The entry keeps its classic fields filled with what covers the
// whole match (matchHull()), so that the index still finds every source
// rule that may cover it; the covers read the match itself.
#ifndef DORVEX_PARSER_RULE_MATCH_H_
#define DORVEX_PARSER_RULE_MATCH_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "parser/acl_entry.h"

namespace dorvex {

// An unsigned 128-bit number, for addresses: the compilers of every build
// (the 32-bit Windows one too) have no 128-bit integer of their own.
class Uint128 {
 public:
  constexpr Uint128() = default;
  // From any unsigned value of 64 bits or fewer, as an integer would be.
  constexpr Uint128(std::uint64_t low) : lo(low) {}  // NOLINT: implicit on purpose
  constexpr Uint128(std::uint64_t high, std::uint64_t low) : hi(high), lo(low) {}
  constexpr std::uint64_t high() const { return hi; }
  constexpr std::uint64_t low() const { return lo; }
  // The low 64 bits, as a cast of an integer would give them.
  explicit constexpr operator std::uint64_t() const { return lo; }
  explicit constexpr operator unsigned() const { return static_cast<unsigned>(lo); }

  friend constexpr Uint128 operator~(Uint128 a) { return {~a.hi, ~a.lo}; }
  friend constexpr Uint128 operator&(Uint128 a, Uint128 b) { return {a.hi & b.hi, a.lo & b.lo}; }
  friend constexpr Uint128 operator|(Uint128 a, Uint128 b) { return {a.hi | b.hi, a.lo | b.lo}; }
  friend constexpr Uint128 operator+(Uint128 a, Uint128 b) {
    const std::uint64_t lo = a.lo + b.lo;
    return {a.hi + b.hi + (lo < a.lo ? 1 : 0), lo};
  }
  friend constexpr Uint128 operator-(Uint128 a, Uint128 b) {
    return {a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo};
  }
  friend constexpr Uint128 operator<<(Uint128 a, int n) {
    if (n <= 0) return a;
    if (n >= 128) return {};
    if (n >= 64) return {a.lo << (n - 64), 0};
    return {(a.hi << n) | (a.lo >> (64 - n)), a.lo << n};
  }
  friend constexpr Uint128 operator>>(Uint128 a, int n) {
    if (n <= 0) return a;
    if (n >= 128) return {};
    if (n >= 64) return {0, a.hi >> (n - 64)};
    return {a.hi >> n, (a.lo >> n) | (a.hi << (64 - n))};
  }
  Uint128& operator&=(Uint128 b) { return *this = *this & b; }
  Uint128& operator|=(Uint128 b) { return *this = *this | b; }
  Uint128& operator<<=(int n) { return *this = *this << n; }
  Uint128& operator>>=(int n) { return *this = *this >> n; }
  Uint128& operator+=(Uint128 b) { return *this = *this + b; }
  friend constexpr bool operator==(Uint128 a, Uint128 b) { return a.hi == b.hi && a.lo == b.lo; }
  friend constexpr bool operator<(Uint128 a, Uint128 b) {
    return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo;
  }
  friend constexpr bool operator>(Uint128 a, Uint128 b) { return b < a; }
  friend constexpr bool operator<=(Uint128 a, Uint128 b) { return !(b < a); }
  friend constexpr bool operator>=(Uint128 a, Uint128 b) { return !(a < b); }

 private:
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
};

// The address family of a block: a packet is IPv4 or IPv6, never both, so
// no IPv6 block (not even ::/0) holds an IPv4 address.
enum class Family : unsigned char { both, ipv4, ipv6 };

// A 128-bit block of one family: the address with the bits of its wildcard
// clear, and the wildcard (a set bit: any). An IPv4 block is the low 32
// bits with the 96 above zero; the default block is every address of both
// families.
struct AddressBlock {
  std::uint64_t high = 0, low = 0;
  std::uint64_t wildHigh = ~std::uint64_t{0}, wildLow = ~std::uint64_t{0};
  Family family = Family::both;
  bool operator==(const AddressBlock&) const = default;
};
using AddressSet = std::vector<AddressBlock>;

// The block of `address` under `wildcard` in `family`, the wildcard's bits
// cleared from the address.
AddressBlock blockOf(Uint128 address, Uint128 wildcard, Family family);
AddressBlock ipv4Block(std::uint32_t address, std::uint32_t wildcard);
// Four address bytes as one number, first octet highest.
inline std::uint32_t packQuad(const unsigned char (&octets)[4]) {
  return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
         (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
}
AddressBlock ipv6Block(std::uint64_t high, std::uint64_t low, int prefixLength);
// Every IPv4 address; every IPv6 address.
AddressBlock anyIpv4();
AddressBlock anyIpv6();
// Appends the addresses first to last (both of one family, first <= last)
// as the fewest prefixes.
void appendRange(AddressSet& set, Uint128 first, Uint128 last, Family family);
// The 128 bits of a block's address and wildcard.
Uint128 addressOf(const AddressBlock& block);
Uint128 wildcardOf(const AddressBlock& block);

// An inclusive port range of 0 to kMaxPort; a set is a union of them.
struct PortRange {
  int low;
  int high;
  bool operator==(const PortRange&) const = default;
};
using PortSet = std::vector<PortRange>;
// The ports an operand (kNoPort, kPortEq ... kPortRange) admits, clamped to
// 0 to kMaxPort: at most two ranges, ascending, with a port between them, into
// `ranges`. Returns how many, or -1 for an operator code the parser never
// writes. Allocates nothing, for the pair tests.
int portRangesOf(int op, long long low, long long high, PortRange (&ranges)[2]);
// The same as a set; an operator code the parser never writes admits every
// port.
PortSet portSetOf(int op, int low, int high);

// One protocol with its ports and ICMP message: a part of a rule's service.
struct ServiceTerm {
  int protocol = kAnyProtocol;  // kAnyProtocol: every protocol
  PortSet sourcePorts{{0, kMaxPort}};
  PortSet destinPorts{{0, kMaxPort}};
  int icmpType = kNotSet;
  int icmpCode = kNotSet;
  bool operator==(const ServiceTerm&) const = default;
};

struct RuleMatch {
  bool ipv6 = false;  // a rule of an IPv6 list
  AddressSet source;
  AddressSet destin;  // a standard rule: every address
  std::vector<ServiceTerm> services;
};

// Sets the classic fields of `entry` (addresses, wildcards, protocol and
// port operands) to what covers every packet of `match` as far as those
// fields can say: the bits all blocks share, the protocol all terms share
// or "ip", one port when a side admits only it, else the range around the
// side's ports, no operand for an IPv6 rule or across protocols.
void matchHull(const RuleMatch& match, AclEntry& entry);

}  // namespace dorvex

#endif  // DORVEX_PARSER_RULE_MATCH_H_
