// The protocol operand of an extended rule: a number or a keyword.
#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"

namespace dorvex {

bool parseProtocol(ParseTarget& target, const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    target.out.number(number).text(" ");
  } else if (lookupProtocol(word, number)) {
    target.out.text(word).text("(").number(number).text(") ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  target.config.current().protocol_no = number;
  ++wordIndex;
  return true;
}

}  // namespace dorvex
