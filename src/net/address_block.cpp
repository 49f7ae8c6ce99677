#include "net/address_block.h"

namespace dorvex {

namespace {

using U128 = Uint128;

constexpr std::uint64_t kLow32 = 0xFFFFFFFFull;

}  // namespace

AddressBlock blockOf(U128 address, U128 wildcard, Family family) {
  AddressBlock block;
  block.family = family;
  address &= ~wildcard;
  block.high = static_cast<std::uint64_t>(address >> 64);
  block.low = static_cast<std::uint64_t>(address);
  block.wildHigh = static_cast<std::uint64_t>(wildcard >> 64);
  block.wildLow = static_cast<std::uint64_t>(wildcard);
  return block;
}

AddressBlock ipv4Block(std::uint32_t address, std::uint32_t wildcard) {
  return blockOf(address, wildcard, Family::ipv4);
}

AddressBlock ipv6Block(std::uint64_t high, std::uint64_t low, int prefixLength) {
  const U128 address = (U128{high} << 64) | low;
  const U128 wildcard = prefixLength >= 128 ? U128{0} : (~U128{0}) >> prefixLength;
  return blockOf(address, prefixLength <= 0 ? ~U128{0} : wildcard, Family::ipv6);
}

AddressBlock anyIpv4() { return blockOf(0, kLow32, Family::ipv4); }

AddressBlock anyIpv6() { return blockOf(0, ~U128{0}, Family::ipv6); }

U128 addressOf(const AddressBlock& block) { return (U128{block.high} << 64) | block.low; }

U128 wildcardOf(const AddressBlock& block) { return (U128{block.wildHigh} << 64) | block.wildLow; }

void appendRange(AddressSet& set, U128 first, U128 last, Family family) {
  // The largest aligned block at `first` that ends by `last`, again and
  // again: at most two per bit.
  while (true) {
    U128 size = first == 0 ? ~U128{0} : (first & (~first + 1)) - 1;
    while (size > last - first) size >>= 1;
    set.push_back(blockOf(first, size, family));
    if (first + size >= last) return;
    first += size + 1;
  }
}

}  // namespace dorvex
