// The protocol operand of an extended rule: a number or a keyword.
#include "parser/acl_config.h"
#include "parser/keyword_tables.h"

namespace dorvex {

bool AclConfig::parseProtocol(const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    current().protocol_no = number;
    scratch.number(number).text(" ");
    ++wordIndex;
    return true;
  }
  if (lookupProtocol(word, number)) {
    current().protocol_no = number;
    scratch.text(word).text("(").number(number).text(") ");
    ++wordIndex;
    return true;
  }
  return rejectWord(words, wordIndex);
}

}  // namespace dorvex
