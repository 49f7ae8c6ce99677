// Port operands of TCP and UDP rules: an operator and one port, or two for
// "range"; a port is a number or a name of the protocol's port-name table.
#include <string_view>
#include <utility>

#include "parser/acl_config.h"
#include "parser/keyword_tables.h"

namespace dorvex {

namespace {

// Operators in the order they are compared; the index is the operator code.
constexpr std::string_view kPortOperators[] = {"eq", "gt", "lt", "neq", "range"};
constexpr int kRangeOperator = 4;

}  // namespace

bool AclConfig::lookupPort(std::string_view word, int& number) {
  const NameNumber* table = portTableFor(current().protocol_no);
  return table != nullptr && lookupName(table, word, number);
}

bool AclConfig::parsePort(const WordRow& words, int& wordIndex, int& portType, int& portLow,
                          int& portHigh) {
  int protocol = current().protocol_no;
  if (protocol != kProtocolTcp && protocol != kProtocolUdp) return true;
  std::string_view word = words.view(wordIndex);
  int code = -1;
  for (int k = 0; k <= kRangeOperator; ++k) {
    if (sameWord(word, kPortOperators[k])) {
      code = k;
      break;
    }
  }
  if (code < 0) return true;
  portType = code;
  scratch.text(word).text(" ");
  ++wordIndex;

  auto readPort = [&](int& field) {
    std::string_view portWord = words.view(wordIndex);
    int number;
    if (TextCursor::parseDecimal(portWord, number)) {
      field = number;
      scratch.number(number).text(" ");
    } else if (lookupPort(portWord, number)) {
      field = number;
      scratch.text(portWord).text("(").number(number).text(") ");
    } else {
      return rejectWord(words, wordIndex);
    }
    ++wordIndex;
    return true;
  };

  if (!readPort(portLow)) return false;
  if (code == kRangeOperator) {
    if (!readPort(portHigh)) return false;
    if (portLow > portHigh) std::swap(portLow, portHigh);
  }
  return true;
}

}  // namespace dorvex
