// AclEntry: one access-list rule, or one line rejected as one, as the
// statement parser records it; and the codes its fields hold. Every part of
// the check reads these codes by the names given here.
#ifndef DORVEX_PARSER_ACL_ENTRY_H_
#define DORVEX_PARSER_ACL_ENTRY_H_

namespace dorvex {

// -1 in an integer field: not set.
constexpr int kNotSet = -1;

// AclEntry::type.
constexpr int kStandardRule = 0;
constexpr int kExtendedRule = 1;
// A rule of an IPv6 list (full syntax only): read as an extended rule, its
// match held in a RuleMatch (rule_match.h); lists of this kind never meet
// IPv4 lists of the same name.
constexpr int kIpv6Rule = 2;

// AclEntry::permission.
constexpr int kPermit = 0;
constexpr int kDeny = 1;

// AclEntry::protocol_no values the check looks at.
constexpr int kAnyProtocol = 0;  // "ip"
constexpr int kIcmp = 1;         // its option words may be ICMP message names
constexpr int kTcp = 6;
constexpr int kUdp = 17;
constexpr int kIcmpv6 = 58;  // "icmp" in an IPv6 list

// AclEntry::sp_typ and dp_typ: the port operator of an operand.
constexpr int kNoPort = -1;
constexpr int kPortEq = 0;
constexpr int kPortGt = 1;
constexpr int kPortLt = 2;
constexpr int kPortNeq = 3;
constexpr int kPortRange = 4;

// Highest port number.
constexpr int kMaxPort = 65535;

// Bits of AclEntry::flags, with the letter the summary listing shows.
constexpr unsigned kErrorBit = 2;        // "E": the line is in error
constexpr unsigned kUnsupportedBit = 4;  // "U": keyword or option not evaluated
constexpr unsigned kDuplicateBit = 8;    // "D": member of a duplicate pair
constexpr unsigned kOptionBit = 16;      // "O": shares an option word with a partner
// Not shown as a mark: the line is an access-list statement of a form that
// is recognised but not read (only in the full syntax); it carries
// kUnsupportedBit too, and the duplication check never compares it.
constexpr unsigned kNotReadBit = 32;

// acl_no of a named list: kNamedListBase + the name's index in the name table.
constexpr int kNamedListBase = 10000;

// The list numbers of standard and of extended lists.
constexpr bool isStandardNumber(int n) { return (n >= 1 && n <= 99) || (n >= 1300 && n <= 1999); }
constexpr bool isExtendedNumber(int n) {
  return (n >= 100 && n <= 199) || (n >= 2000 && n <= 2699);
}

// One access-list rule or one rejected line. -1 in an integer field and
// 255.255.255.255 in an address field mean "not set".
struct AclEntry {
  int acl_no = -1;       // list number, kNamedListBase + k for a named list
  int type = -1;         // kStandardRule, kExtendedRule or kIpv6Rule
  int permission = -1;   // kPermit or kDeny
  int protocol_no = -1;  // IP protocol number of an extended rule, kAnyProtocol = any
  unsigned char source[4] = {255, 255, 255, 255};
  unsigned char destin[4] = {255, 255, 255, 255};
  unsigned char mask_s[4] = {255, 255, 255, 255};  // source wildcard mask
  unsigned char mask_d[4] = {255, 255, 255, 255};  // destination wildcard mask
  int sp_low = -1;  // source port operand: low bound, high bound, operator
  int sp_hig = -1;
  int sp_typ = -1;  // kNoPort or kPortEq ... kPortRange
  int dp_low = -1;  // destination port operand, the same
  int dp_hig = -1;
  int dp_typ = -1;
  int option_idx = -1;  // name-table index of the first option word
  unsigned flags = 0;
  int column = -1;  // 1-based number of the line the entry came from
  // Full syntax only: the entry's sequence number in its list, written or
  // given as a device gives it; its lists are evaluated in this order.
  long long sequence = -1;
};

// True iff `entry` is a rule the parser read: committed into a list, neither
// in error nor left unread.
inline bool isReadRule(const AclEntry& entry) {
  return entry.acl_no != kNotSet && (entry.flags & (kErrorBit | kNotReadBit)) == 0;
}

}  // namespace dorvex

#endif  // DORVEX_PARSER_ACL_ENTRY_H_
