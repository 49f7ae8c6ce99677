// The one conversion from the parser's rule model to the header space of the
// order-aware cover (packet_space.h, list_cover.h): which packets a parsed
// rule matches, as boxes, and whether that is exactly known.
//
// - A standard rule matches every packet from its source block.
// - An extended rule: its protocol ("ip", number 0, every protocol), both
//   address blocks under their wildcards, and for TCP and UDP both port
//   operands as the sets of 0 to 65535 they admit.
// - Options: "established" is TCP with ACK or RST set; "fragments" the
//   fragment bit; an ICMP message its type (and code); the TCP flag words
//   each a flag that must be set; "dscp", "precedence" and "tos" their bits
//   of the ToS byte; the log options nothing.
// - A rule with a "time-range" or a word not understood matches an unknown
//   part of its boxes: it is not exact, and the reason names the word.
// - An entry that is no rule read (in error, or left unread) stands for an
//   unknown part of every packet: it is not exact either.
#ifndef DORVEX_DUPCHECK_RULE_BOXES_H_
#define DORVEX_DUPCHECK_RULE_BOXES_H_

#include "dupcheck/list_cover.h"
#include "parser/acl_config.h"

namespace dorvex {

// The cover rule of the entry at `entryIndex` of `config`, named by its line.
// REQUIRES: entryIndex is an entry of config (0 to entryCount() - 1).
CoverRule coverRuleOf(const AclConfig& config, int entryIndex);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_RULE_BOXES_H_
