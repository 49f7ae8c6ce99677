// The cover tests of the duplication check: whether everything one rule's
// operand admits lies within another rule's operand.
#ifndef DORVEX_DUPCHECK_RULE_COVER_H_
#define DORVEX_DUPCHECK_RULE_COVER_H_

#include <cstdint>

#include "parser/check_modes.h"

namespace dorvex {

struct AclEntry;

// True iff, for each of the four bytes, `coverAddress` and `address` are
// equal once the bits of the `coverWildcard` byte are cleared from both.
bool addressCovers(const unsigned char coverAddress[4], const unsigned char coverWildcard[4],
                   const unsigned char address[4]);

// True iff every port (of 0 to kMaxPort) that the covered operand (op, low,
// high) admits is admitted by the covering operand. The operators are the
// codes kNoPort and kPortEq ... kPortRange of parser/acl_entry.h; any other
// code gives false, except that a covering "range 0 65535" covers every
// covered code from kPortEq up.
bool portsCover(int coverOp, int coverLow, int coverHigh, int op, int low, int high);

// The one port p for which portsCover(kPortEq, p, _, op, low, high) holds:
// sets `port` and returns true; false, `port` unchanged, when no "eq"
// operand covers the operand (op, low, high).
bool eqCoveringPort(int op, int low, int high, int& port);

// What a source rule's "eq" port operand must be to cover the setting
// operand (op, low, high) in `cover`: no "eq" operand can (none), only
// "eq port" (onePort, `port` set), or every one (anyPort: the operand
// admits no port at all, which the exact cover counts as covered by any).
// The index keys its "eq" operands by this and nothing else, and it is
// solved from the same port sets as the cover tests below, so the index
// never leaves out a source rule that the pair test would take.
enum class EqCover : std::uint8_t { none, onePort, anyPort };
EqCover eqOperandCovers(Cover cover, int op, int low, int high, int& port);

// The four address bytes as one number, first octet highest.
inline std::uint32_t packAddress(const unsigned char octets[4]) {
  return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
         (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
}

// True iff the setting rule `setting` lies within the source rule `source`,
// list names aside: the same permission, the source address covered, and for
// an extended setting rule the protocol, destination and both port operands.
bool ruleCovers(const AclEntry& source, const AclEntry& setting);

// The exact cover test (Cover::exact), trailing options aside (those are
// option_cover.h's): true iff every packet that `setting` matches, by its
// addresses, protocol and ports, `source` matches too, under the same
// permission. Addresses: every bit that the covering wildcard cares about
// is cared about by the covered one and equal in both addresses. Protocol:
// an unset one or "ip" covers every protocol, any other only itself.
// Ports: the admitted sets of 0 to kMaxPort, by inclusion; a TCP or UDP
// rule without a port operand admits every port.
// REQUIRES: both are rules the parser read (isReadRule()).
bool exactRuleCovers(const AclEntry& source, const AclEntry& setting);

// True iff the wildcard block `address`/`wildcard` lies within the block
// `coverAddress`/`coverWildcard` (wildcards of any shape).
bool blockCovers(const unsigned char coverAddress[4], const unsigned char coverWildcard[4],
                 const unsigned char address[4], const unsigned char wildcard[4]);

// True iff every port of 0 to kMaxPort that the operand (op, low, high)
// admits is admitted by the covering operand; an operand that admits no
// port is covered by every one. An operator code outside kNoPort to
// kPortRange on either side gives false.
bool portSetCovers(int coverOp, int coverLow, int coverHigh, int op, int low, int high);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_RULE_COVER_H_
