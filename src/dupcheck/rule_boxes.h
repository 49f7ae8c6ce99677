// The one conversion from the parser's rule model to the header space of the
// covers (packet_space.h, list_cover.h): which packets a parsed rule
// matches, as boxes, and whether that is exactly known.
//
// A rule's packets are a product of three parts (RuleSpace): its source
// addresses, its destination addresses (each a union of 128-bit blocks),
// and its service (protocol, ports, ICMP message and the option
// restrictions, as boxes whose addresses are free).
// - A standard rule matches every packet from its source block.
// - An extended rule: its protocol ("ip", number 0, every protocol), both
//   address blocks under their wildcards, and for TCP and UDP both port
//   operands as the sets of 0 to 65535 they admit. A rule with a RuleMatch
//   (parser/rule_match.h: object groups, several ports, IPv6) has its sets
//   and service terms in place of those fields.
// - Options: "established" is TCP with ACK or RST set; "fragments" the
//   fragment bit; an ICMP message its type (and code); the TCP flag words
//   each a flag that must be set; "match-all" its flags set and clear,
//   "match-any" one box per flag word; "ttl" its range; "dscp",
//   "precedence" and "tos" their bits of the ToS byte; the log options
//   nothing.
// - A rule with a "time-range" or a word not understood matches an unknown
//   part of its boxes: it is not exact, and the reason names the word.
// - An entry that is no rule read (in error, or left unread) stands for an
//   unknown part of every packet: it is not exact either.
#ifndef DORVEX_DUPCHECK_RULE_BOXES_H_
#define DORVEX_DUPCHECK_RULE_BOXES_H_

#include <string>
#include <vector>

#include "space/rule_list.h"
#include "parser/acl_config.h"

namespace dorvex {

struct RuleSpace {
  AddressSet source;
  AddressSet destin;
  std::vector<Box> service;  // addresses free
  bool exact = true;
  std::string reason;
};

// The space of the read rule at `entryIndex` of `config`.
// REQUIRES: isReadRule() of that entry.
RuleSpace ruleSpaceOf(const AclConfig& config, int entryIndex);

// The cover rule of the entry at `entryIndex` of `config`, named by its line:
// the product of its space.
// REQUIRES: entryIndex is an entry of config (0 to entryCount() - 1).
CoverRule coverRuleOf(const AclConfig& config, int entryIndex);

// True iff every packet of `setting` lies in `source` (exactness aside): a
// product lies in a product iff each part lies in its part, or it is empty.
// The address parts are compared as sorted intervals when every block is a
// prefix or range of prefixes, in time n log n for groups of any size; the
// service by box subtraction.
bool spaceCovers(const RuleSpace& source, const RuleSpace& setting);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_RULE_BOXES_H_
