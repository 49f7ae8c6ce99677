#include "parser/rule_match.h"

#include <algorithm>

namespace dorvex {

namespace {

constexpr std::uint64_t kLow32 = 0xFFFFFFFFull;

bool isIpv4(const AddressBlock& block) { return block.family == Family::ipv4; }

// The port range around a set, or no operand for every port.
void portHull(const std::vector<PortSet>& sides, int& op, int& low, int& high) {
  int first = kMaxPort + 1, last = -1;
  for (const PortSet& set : sides) {
    for (const PortRange& range : set) {
      first = std::min(first, range.low);
      last = std::max(last, range.high);
    }
  }
  op = kNoPort;
  low = high = kNotSet;
  if (last < 0 || (first == 0 && last == kMaxPort)) return;
  if (first == last) {
    op = kPortEq;
    low = first;
    return;
  }
  op = kPortRange;
  low = first;
  high = last;
}

void setQuad(unsigned char (&field)[4], std::uint32_t value) {
  for (int k = 0; k < 4; ++k) field[k] = static_cast<unsigned char>(value >> (24 - 8 * k));
}

// The IPv4 block around every block of `set`: the bits all share.
void addressHull(const AddressSet& set, unsigned char (&address)[4], unsigned char (&wildcard)[4]) {
  std::uint32_t care = 0xFFFFFFFFu, value = 0;
  bool first = true;
  for (const AddressBlock& block : set) {
    if (!isIpv4(block)) {
      care = 0;
      break;
    }
    const auto blockCare = static_cast<std::uint32_t>(~block.wildLow & kLow32);
    const auto blockValue = static_cast<std::uint32_t>(block.low);
    if (first) {
      care = blockCare;
      value = blockValue;
      first = false;
    } else {
      care &= blockCare & ~(value ^ blockValue);
    }
  }
  if (set.empty()) care = 0;
  setQuad(address, value & care);
  setQuad(wildcard, ~care);
}

}  // namespace

int portRangesOf(int op, long long low, long long high, PortRange (&ranges)[2]) {
  int count = 0;
  auto add = [&](long long from, long long to) {
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(kMaxPort));
    if (from <= to) ranges[count++] = PortRange{static_cast<int>(from), static_cast<int>(to)};
  };
  switch (op) {
    case kNoPort: add(0, kMaxPort); break;
    case kPortEq: add(low, low); break;
    case kPortGt: add(low + 1, kMaxPort); break;
    case kPortLt: add(0, low - 1); break;
    case kPortNeq:
      add(0, low - 1);
      add(low + 1, kMaxPort);
      break;
    case kPortRange: add(low, high); break;
    default: return -1;
  }
  return count;
}

PortSet portSetOf(int op, int low, int high) {
  PortRange ranges[2];
  const int count = portRangesOf(op, low, high, ranges);
  if (count < 0) return PortSet{PortRange{0, kMaxPort}};
  return PortSet(ranges, ranges + count);
}

void matchHull(const RuleMatch& match, AclEntry& entry) {
  addressHull(match.source, entry.source, entry.mask_s);
  addressHull(match.destin, entry.destin, entry.mask_d);
  if (entry.type == kStandardRule) return;
  int protocol = match.services.empty() ? kAnyProtocol : match.services.front().protocol;
  for (const ServiceTerm& term : match.services) {
    if (term.protocol != protocol) protocol = kAnyProtocol;
  }
  entry.protocol_no = protocol;
  entry.sp_typ = entry.dp_typ = kNoPort;
  entry.sp_low = entry.sp_hig = entry.dp_low = entry.dp_hig = kNotSet;
  if (match.ipv6 || (protocol != kTcp && protocol != kUdp)) return;
  std::vector<PortSet> sources, destins;
  for (const ServiceTerm& term : match.services) {
    sources.push_back(term.sourcePorts);
    destins.push_back(term.destinPorts);
  }
  portHull(sources, entry.sp_typ, entry.sp_low, entry.sp_hig);
  portHull(destins, entry.dp_typ, entry.dp_low, entry.dp_hig);
}

}  // namespace dorvex
