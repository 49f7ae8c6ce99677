// The trailing options of a rule as the exact cover test (Cover::exact)
// reads them, and the test itself: whether a source rule's options admit
// every packet that a setting rule's options admit.
//
// The option words are read whatever the syntax the rule was parsed in:
// - "log" and "log-input" (and the one argument word that may follow
//   either, as the full syntax reads it) never decide;
// - "established", "fragments", an ICMP message of an ICMP rule (a name of
//   the ICMP message table, or a type number and an optional code number),
//   "time-range NAME", "tos V", "precedence V", "dscp V" (V a number or a
//   name of keyword_tables.h) and the TCP flag words are restrictions;
// - any other word is not understood.
// A source rule's restriction is met only by the same restriction on the
// setting rule (an ICMP type alone also by that type with a code; the TCP
// flag words as one set, met by the same set); restrictions of the setting
// rule alone make it narrower and leave it covered.
#ifndef DORVEX_DUPCHECK_OPTION_COVER_H_
#define DORVEX_DUPCHECK_OPTION_COVER_H_

#include <string_view>

#include "parser/acl_config.h"

namespace dorvex {

struct RuleOptions {
  bool established = false;
  bool fragments = false;
  int icmpType = kNotSet;  // of an ICMP rule
  int icmpCode = kNotSet;  // kNotSet: every code of the type
  std::string_view timeRange;
  int tos = kNotSet;
  int precedence = kNotSet;
  int dscp = kNotSet;
  unsigned tcpFlags = 0;  // a bit for each flag word
  // The first word that is not understood; empty when every word is.
  std::string_view unknown;
};

// The options of `entry`, from its option words in the name table of
// `config` (its own configuration).
RuleOptions readOptions(const AclConfig& config, const AclEntry& entry);

// True iff every restriction of `source` is met by `setting`; words not
// understood are left to the caller.
bool optionsCover(const RuleOptions& source, const RuleOptions& setting);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_OPTION_COVER_H_
