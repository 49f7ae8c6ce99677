// The protocol operand of an extended rule: a number or a keyword.
#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

// Highest IP protocol number.
constexpr int kMaxProtocol = 255;

}  // namespace

bool parseProtocol(ParseTarget& target, const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  // In an IPv6 list "ipv6" is every protocol and "icmp" is ICMPv6.
  const bool ipv6 = target.pending.form == PendingMatch::Form::ipv6;
  if (ipv6 && (word == "ipv6" || word == "icmp")) {
    const int number = word == "icmp" ? kIcmpv6 : kAnyProtocol;
    target.out.text(word).text("(").number(number).text(") ");
    target.config.current().protocol_no = number;
    ++wordIndex;
    return true;
  }
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    if (number > kMaxProtocol && target.syntax == Syntax::full) {
      return rejectWord(target, words, wordIndex);
    }
    target.out.number(number).text(" ");
  } else if (lookupProtocol(word, number) ||
             (target.syntax == Syntax::full && lookupFullProtocol(word, ipv6, number))) {
    target.out.text(word).text("(").number(number).text(") ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  target.config.current().protocol_no = number;
  ++wordIndex;
  return true;
}

}  // namespace dorvex
