// Address blocks: an address under a wildcard in one family, and sets of
// them, as rules and object groups write them (hosts, prefixes, wildcards,
// ranges).
#ifndef DORVEX_NET_ADDRESS_BLOCK_H_
#define DORVEX_NET_ADDRESS_BLOCK_H_

#include <cstdint>
#include <vector>

#include "net/uint128.h"

namespace dorvex {

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

}  // namespace dorvex

#endif  // DORVEX_NET_ADDRESS_BLOCK_H_
