// Port operands of TCP and UDP rules: an operator and one port, or two for
// "range"; a port is a number or a name of the protocol's port-name table.
#include <string_view>
#include <utility>

#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

// The operators in the order they are compared, each with its code.
struct PortOperator {
  std::string_view word;
  int code;
};
constexpr PortOperator kPortOperators[] = {
    {"eq", kPortEq}, {"gt", kPortGt}, {"lt", kPortLt}, {"neq", kPortNeq}, {"range", kPortRange}};

// The code of the operator `word`, or kNoPort.
int operatorCode(std::string_view word) {
  for (const PortOperator& op : kPortOperators) {
    if (sameWord(word, op.word)) return op.code;
  }
  return kNoPort;
}

// Reads the port number or name at wordIndex into `field` and writes it.
bool readPort(ParseTarget& target, const WordRow& words, int& wordIndex, int& field) {
  std::string_view word = words.view(wordIndex);
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    if (number > kMaxPort && target.syntax == Syntax::full) {
      return rejectWord(target, words, wordIndex);
    }
    target.out.number(number).text(" ");
  } else if (lookupPort(target.config.current().protocol_no, word, number)) {
    target.out.text(word).text("(").number(number).text(") ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  field = number;
  ++wordIndex;
  return true;
}

}  // namespace

bool lookupPort(int protocolNo, std::string_view word, int& number) {
  const NameNumber* table = portTableFor(protocolNo);
  return table != nullptr && lookupName(table, word, number);
}

bool parsePort(ParseTarget& target, const WordRow& words, int& wordIndex, int& portType,
               int& portLow, int& portHigh) {
  const int protocol = target.config.current().protocol_no;
  if (protocol != kTcp && protocol != kUdp) return true;
  std::string_view word = words.view(wordIndex);
  const int code = operatorCode(word);
  if (code == kNoPort) return true;
  portType = code;
  target.out.text(word).text(" ");
  ++wordIndex;
  if (!readPort(target, words, wordIndex, portLow)) return false;
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
