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

#include "net/address_block.h"
#include "net/port_range.h"
#include "parser/acl_entry.h"

namespace dorvex {

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
