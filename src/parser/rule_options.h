// RuleOptions: the trailing options of a rule as typed fields, parsed once by
// the statement parser in either dialect and read by the covers. The
// dialect decides only how the words are annotated and marked; every rule
// gets its typed options the same way:
// - "log" and "log-input" (and the one argument word that may follow
//   either) never restrict a rule;
// - "established", "fragments", an ICMP message of an ICMP rule (a name of
//   the ICMP message table, or a type number and an optional code number),
//   "time-range NAME", "tos V", "precedence V", "dscp V" (V a number or a
//   name of keyword_tables.h) and the TCP flag words are restrictions;
// - the first other word ends the reading: it is kept whole, of any length,
//   as `unknown`, so that a rule is never read wider than it is written.
#ifndef DORVEX_PARSER_RULE_OPTIONS_H_
#define DORVEX_PARSER_RULE_OPTIONS_H_

#include <string_view>

#include "parser/acl_entry.h"

namespace dorvex {

class WordRow;

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
  // The first word that is not understood, whole; empty when every word
  // is. Views into the configuration text, valid while it is loaded.
  std::string_view unknown;
};

// Reads the option words of `words` from `wordIndex` to the end of the row
// into `options`, for a rule whose protocol is `protocolNo`.
void readRuleOptions(const WordRow& words, int wordIndex, int protocolNo, RuleOptions& options);

}  // namespace dorvex

#endif  // DORVEX_PARSER_RULE_OPTIONS_H_
