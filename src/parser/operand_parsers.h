// The operand parsers of a rule statement: the permission, the address
// operands, the protocol, the port operands and the trailing option words.
// The statement parser (statement_parser.h) calls them in the order of the
// statement; each reads the words at wordIndex into the current entry of the
// target's configuration and writes what it understood to the annotation.
//
// One contract for all of them: true means the operand was accepted, stored
// and written, and wordIndex stands past it. False means the line is already
// finished: the current entry is committed in error and
// "Err(%d):\"%s\"\r\n" is written for the offending word, or, by the
// full-syntax parsers only, it is committed unread and
// "Unsupported:\"%s\"\r\n" is written with the reason; the caller writes
// nothing more for the line.
//
// rejectWord() and the permission parser are defined in operand_parsers.cpp,
// every other operand parser in a source of its own beside it
// (address_operand.cpp, protocol_operand.cpp, port_operand.cpp,
// trailing_options.cpp).
#ifndef DORVEX_PARSER_OPERAND_PARSERS_H_
#define DORVEX_PARSER_OPERAND_PARSERS_H_

#include <optional>
#include <string_view>
#include <vector>

#include "parser/acl_config.h"
#include "parser/rule_match.h"
#include "parser/check_modes.h"
#include "parser/word_row.h"
#include "text/text_writer.h"

namespace dorvex {

// What an operand parser writes to: the current entry of `config` (and, for
// the option words, its name table and typed options) and the annotation,
// through `out`; `syntax` is the dialect the line is read in, which decides
// only what the parsers below say it does.
// The parts of the rule being read that its classic fields cannot hold
// (full syntax only): each, when set, replaces what the classic fields say
// in the rule's RuleMatch (rule_match.h), which finishMatch() builds.
struct PendingMatch {
  std::optional<AddressSet> source, destin;
  std::optional<PortSet> sourcePorts, destinPorts;
  std::optional<std::vector<ServiceTerm>> services;
  // How the address operands are written: wildcards (the list statements),
  // subnet masks (the firewall form) or IPv6 prefixes (IPv6 lists).
  enum class Form { wildcard, subnetMask, ipv6 } form = Form::wildcard;
  bool needed() const {
    return source || destin || sourcePorts || destinPorts || services || form == Form::ipv6;
  }
};

struct ParseTarget {
  AclConfig& config;
  TextWriter out;
  Syntax syntax = Syntax::classic;
  PendingMatch pending;
  // The object groups of the configuration (object_groups.h); nullptr in
  // the classic syntax.
  class ObjectGroups* groups = nullptr;
};

// When the rule just read has parts its classic fields cannot hold, makes
// its RuleMatch from the classic fields and target.pending, attaches it to
// the current entry and sets the classic fields to its hull (matchHull()).
// Clears target.pending either way.
void finishMatch(ParseTarget& target);

// Commits the current entry in error and writes "Err(%d):\"%s\"\r\n" for the
// word at `wordIndex`. Returns false, for the parsers to pass on.
bool rejectWord(ParseTarget& target, const WordRow& words, int wordIndex);

// Commits the current entry unread (AclConfig::commitUnread()) and writes
// "Unsupported:\"%s\"\r\n" with `reason`. Returns false, for the parsers to
// pass on.
bool leaveUnread(ParseTarget& target, std::string_view reason);

// "permit" or "deny" into `permission` (kPermit, kDeny).
bool parsePermission(ParseTarget& target, const WordRow& words, int& wordIndex);

// "any", "host" a.b.c.d, or a.b.c.d w.x.y.z into `address` and `wildcard`,
// two address fields of the current entry. What was read before a failing
// word stays stored ("host" sets the wildcard first; an address stays when
// its wildcard fails). The full syntax also reads a prefix a.b.c.d/n (n
// from 0 to 32), stored and written as the address and the wildcard of an
// n-bit prefix, and leaves the line unread at an "object-group" operand.
bool parseAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                  unsigned char (&address)[4], unsigned char (&wildcard)[4]);
// As parseAddress(), for the one address of a standard rule: in the full
// syntax an address that no wildcard follows is a host, written
// "host a.b.c.d".
bool parseStandardAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                          unsigned char (&address)[4], unsigned char (&wildcard)[4]);

// A protocol number or keyword (keyword_tables.h) into `protocol_no`. In the
// full syntax a number above 255 is rejected.
bool parseProtocol(ParseTarget& target, const WordRow& words, int& wordIndex);

// An optional port operand ("eq", "gt", "lt", "neq" and one port, "range"
// and two) into three port fields of the current entry, the lower bound of
// a range first. True, consuming and writing nothing, when no operator
// stands at wordIndex or the current entry's protocol is neither kTcp nor
// kUdp. The operator code is stored before its port is read. In the full
// syntax a port above kMaxPort, and a range whose bounds are reversed, are
// rejected at the offending word; the classic syntax swaps reversed bounds.
bool parsePort(ParseTarget& target, const WordRow& words, int& wordIndex, int& portType,
               int& portLow, int& portHigh);

// True and the port of `word` in the port-name table of `protocolNo` (kTcp,
// kUdp); false, `number` unchanged, for any other word or protocol.
bool lookupPort(int protocolNo, std::string_view word, int& number);

// In the full syntax, after "eq" or "neq" further ports may follow, and
// the operand is their set (target.pending); names come from the larger
// tables of keyword_tables.h. "portgroup NAME" and, after the source
// address, "object-group NAME" of a port group stand for a port operand.

// Takes every word from wordIndex on as an option word of the rule: each is
// added to the name table (option_idx names the first) and the list closed
// by an empty name; a word that is not an ICMP message name of a kIcmp rule
// sets kUnsupportedBit. In the full syntax "log" and "log-input", and the
// one argument word that may follow either (any word but an option keyword,
// keyword_tables.h), and every word the option grammar of rule_options.h
// reads before its first unknown word, are understood: recorded with
// unsupported 0 and written "%s " (an ICMP message "%s(%d/%d) " with its
// code), without the unsupported bit. Either way the words are read once
// more into the current entry's typed options (rule_options.h). Nothing is
// added when no word is left. Never fails: returns true with wordIndex at
// the first empty word.
bool parseOptions(ParseTarget& target, const WordRow& words, int& wordIndex);

// "log" or "log-input" at wordIndex and its argument word, as
// parseOptions() reads them in the full syntax, written but not recorded:
// the trailing option of a standard rule. True iff it stood there;
// otherwise nothing is consumed or written.
bool parseLogOption(ParseTarget& target, const WordRow& words, int& wordIndex);

}  // namespace dorvex

#endif  // DORVEX_PARSER_OPERAND_PARSERS_H_
