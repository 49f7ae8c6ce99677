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
// - in the full syntax also: an ICMP message of the full table with its
//   type and code (ICMPv6 names in an IPv6 list), "ttl" with an operator,
//   "match-any" and "match-all" with their +flag and -flag words;
// - the first other word ends the reading: it is kept whole, of any length,
//   as `unknown`, so that a rule is never read wider than it is written.
#ifndef DORVEX_PARSER_RULE_OPTIONS_H_
#define DORVEX_PARSER_RULE_OPTIONS_H_

#include <string_view>

#include "parser/acl_entry.h"
#include "parser/check_modes.h"

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
  // "match-all": the flags that must be set and clear; "match-any": one
  // term per bit, a flag set (anySet) or clear (anyClear). Bits as tcpFlags.
  unsigned allSet = 0, allClear = 0;
  unsigned anySet = 0, anyClear = 0;
  bool matchAny = false;
  // "ttl": a port-like operator (kNoPort: none) on 0 to 255.
  int ttlOp = kNoPort, ttlLow = kNotSet, ttlHigh = kNotSet;
  // The first word that is not understood, whole; empty when every word
  // is. Views into the configuration text, valid while it is loaded.
  std::string_view unknown;
};

// Whether `options` has a restriction only the full syntax reads (ttl,
// match-any, match-all), which the exact cover decides by its boxes.
bool hasFullOptions(const RuleOptions& options);

// Reads the option words of `words` from `wordIndex` to the end of the row
// into `options`, for a rule whose protocol is `protocolNo`, in `syntax`;
// `ipv6` reads ICMPv6 message names. Returns the position of the first word
// not read (options.unknown), or of the end of the row.
int readRuleOptions(const WordRow& words, int wordIndex, int protocolNo, RuleOptions& options,
                    Syntax syntax = Syntax::classic, bool ipv6 = false);

}  // namespace dorvex

#endif  // DORVEX_PARSER_RULE_OPTIONS_H_
