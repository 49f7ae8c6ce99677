// The constant name tables of the statement language: protocol keywords,
// TCP and UDP port names, and ICMP message names. Each is an ordered list of
// (lower-case name, number) rows closed by a row with the empty name and the
// number -1; a lookup walks it from the front and takes the first row whose
// name equals the word exactly (case counts).
#ifndef DORVEX_PARSER_KEYWORD_TABLES_H_
#define DORVEX_PARSER_KEYWORD_TABLES_H_

#include <cstddef>
#include <string_view>

#include "parser/check_modes.h"

namespace dorvex {

struct NameNumber {
  std::string_view name;  // with its length, so a lookup compares no C string
  int number;
};

extern const NameNumber kProtocolTable[];
extern const NameNumber kTcpPortTable[];
extern const NameNumber kUdpPortTable[];
extern const NameNumber kIcmpMessageTable[];

// The full syntax's tables: port names beyond the classic ones, and every
// ICMP and ICMPv6 message name with its type and code, numbered by
// icmpMessage() (the classic ICMP table stays as it is, and the classic
// annotation with it).
extern const NameNumber kTcpPortMoreTable[];
extern const NameNumber kUdpPortMoreTable[];
extern const NameNumber kIcmpFullTable[];
extern const NameNumber kIcmpv6Table[];

// An ICMP message as one table number: its type, and its code or kNotSet
// (-1) for every code; never -1 itself, which closes a table.
constexpr int icmpMessage(int type, int code) { return type * 512 + code + 1; }
constexpr int icmpTypeOf(int message) { return message / 512; }
constexpr int icmpCodeOf(int message) { return message - icmpTypeOf(message) * 512 - 1; }

// The keywords that begin a trailing option of an extended rule, each with
// the kind of option it begins (below). The classic syntax understands none
// of them; the full syntax understands the log options; the exact cover
// test reads them all.
extern const NameNumber kOptionKeywordTable[];
constexpr int kLogOption = 0;      // "log", "log-input": one argument word may follow
constexpr int kLoneOption = 1;     // "established", "fragments": a restriction alone
constexpr int kValueOption = 2;    // "time-range", "tos", "precedence", "dscp": a value follows
constexpr int kTcpFlagOption = 3;  // "ack", "fin", "psh", "rst", "syn", "urg"
constexpr int kOtherOption = 4;    // an option of its own syntax, not evaluated
// Understood in the full syntax only:
constexpr int kTtlOption = 5;    // "ttl" and a port-like operator on 0-255
constexpr int kMatchOption = 6;  // "match-any", "match-all" and +flag / -flag words

// The named values of the "precedence", "tos" and "dscp" options.
extern const NameNumber kPrecedenceTable[];
extern const NameNumber kTosTable[];
extern const NameNumber kDscpTable[];

// Whether two words are equal. The words of the statement language are a
// few bytes long: compared here, without a call to compare memory.
inline bool sameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

// True and the number of the first row of `table` named `word`; false, and
// `number` unchanged, when no row before the closing row matches.
bool lookupName(const NameNumber* table, std::string_view word, int& number);

// The protocol keyword table lookup: "tcp" gives 6, "ip" gives 0.
bool lookupProtocol(std::string_view word, int& number);

// The code of the port operator `word` ("eq" kPortEq ... "range"
// kPortRange), or kNoPort.
int portOperatorCode(std::string_view word);

// The full syntax's further protocol names ("icmp6", "sctp", "ah", ...;
// "ipv6" is protocol 41 outside IPv6 lists): true and the number.
bool lookupFullProtocol(std::string_view word, bool ipv6List, int& number);

// The port-name table of a protocol: TCP for kTcp, UDP for kUdp, nullptr
// otherwise.
const NameNumber* portTableFor(int protocolNo);

// True and the port of the name `word` of protocol `protocolNo` (kTcp,
// kUdp): the classic table, and in the full syntax the further names.
bool lookupPortName(int protocolNo, std::string_view word, Syntax syntax, int& number);

}  // namespace dorvex

#endif  // DORVEX_PARSER_KEYWORD_TABLES_H_
