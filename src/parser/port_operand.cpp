// Port operands of TCP and UDP rules: an operator and one port, or two for
// "range"; a port is a number or a name of the protocol's port-name table.
#include <algorithm>
#include <string_view>
#include <utility>

#include "parser/keyword_tables.h"
#include "parser/object_groups.h"
#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

// Reads the port number or name at wordIndex into `field` and writes it.
bool readPort(ParseTarget& target, const WordRow& words, int& wordIndex, int& field) {
  std::string_view word = words.view(wordIndex);
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    if (number > kMaxPort && target.syntax == Syntax::full) {
      return rejectWord(target, words, wordIndex);
    }
    target.out.number(number).text(" ");
  } else if (lookupPortName(target.config.current().protocol_no, word, target.syntax, number)) {
    target.out.text(word).text("(").number(number).text(") ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  field = number;
  ++wordIndex;
  return true;
}

// Whether `word` is a port of `protocol` in the full syntax: a number up to
// kMaxPort or a name.
bool isPortWord(std::string_view word, int protocol) {
  int number;
  if (TextCursor::parseDecimal(word, number)) return number <= kMaxPort;
  return lookupPortName(protocol, word, Syntax::full, number);
}

// The further ports after "eq" or "neq" (full syntax): read into the set
// of the side whose fields are `portLow`, with the first port.
bool readMorePorts(ParseTarget& target, const WordRow& words, int& wordIndex, int code,
                   int& portLow) {
  AclEntry& entry = target.config.current();
  if (!isPortWord(words.view(wordIndex), entry.protocol_no)) return true;
  PortSet ports = portSetOf(kPortEq, portLow, portLow);
  while (isPortWord(words.view(wordIndex), entry.protocol_no)) {
    int port;
    if (!readPort(target, words, wordIndex, port)) return false;
    ports.push_back(PortRange{port, port});
  }
  if (code == kPortNeq) {
    // Every port but the ones named.
    std::sort(ports.begin(), ports.end(),
              [](const PortRange& a, const PortRange& b) { return a.low < b.low; });
    PortSet others;
    int next = 0;
    for (const PortRange& named : ports) {
      if (named.low > next) others.push_back(PortRange{next, named.low - 1});
      next = std::max(next, named.high + 1);
    }
    if (next <= kMaxPort) others.push_back(PortRange{next, kMaxPort});
    ports.swap(others);
  }
  (&portLow == &entry.sp_low ? target.pending.sourcePorts : target.pending.destinPorts) = ports;
  return true;
}

}  // namespace

bool lookupPort(int protocolNo, std::string_view word, int& number) {
  const NameNumber* table = portTableFor(protocolNo);
  return table != nullptr && lookupName(table, word, number);
}

// "portgroup NAME", or "object-group NAME" of a port or service group, as
// the port operand of the side of `portLow` (full syntax).
bool parsePortGroup(ParseTarget& target, const WordRow& words, int& wordIndex, int& portLow) {
  const SetRef ref{words.view(wordIndex + 1), false};
  PortSet ports;
  std::string reason;
  if (!target.groups->ports(ref, ports, reason)) return leaveUnread(target, reason);
  target.out.text(words.view(wordIndex)).text(" ").text(ref.name).text(" ");
  wordIndex += 2;
  (&portLow == &target.config.current().sp_low ? target.pending.sourcePorts
                                               : target.pending.destinPorts) = std::move(ports);
  return true;
}

bool parsePort(ParseTarget& target, const WordRow& words, int& wordIndex, int& portType,
               int& portLow, int& portHigh) {
  const int protocol = target.config.current().protocol_no;
  if (protocol != kTcp && protocol != kUdp) return true;
  std::string_view word = words.view(wordIndex);
  if (target.groups != nullptr && !words.isEmpty(wordIndex + 1) &&
      (word == "portgroup" ||
       (word == "object-group" && target.groups->isPortGroup(SetRef{words.view(wordIndex + 1)})))) {
    return parsePortGroup(target, words, wordIndex, portLow);
  }
  const int code = portOperatorCode(word);
  if (code == kNoPort) return true;
  portType = code;
  target.out.text(word).text(" ");
  ++wordIndex;
  if (!readPort(target, words, wordIndex, portLow)) return false;
  if (target.syntax == Syntax::full && (code == kPortEq || code == kPortNeq)) {
    return readMorePorts(target, words, wordIndex, code, portLow);
  }
  if (code == kPortRange) {
    if (!readPort(target, words, wordIndex, portHigh)) return false;
    if (portLow > portHigh) {
      // A reversed range admits no port as written: the full syntax says
      // so rather than read it as another range.
      if (target.syntax == Syntax::full) return rejectWord(target, words, wordIndex - 1);
      std::swap(portLow, portHigh);
    }
  }
  return true;
}

}  // namespace dorvex
