// Trailing option words of an extended rule: ICMP message names on ICMP
// rules, any other word as an unrecognised option.
#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"

namespace dorvex {

bool parseOptions(ParseTarget& target, const WordRow& words, int& wordIndex) {
  if (words.isEmpty(wordIndex)) return true;
  AclConfig& config = target.config;
  config.current().option_idx = config.nameCount();
  const bool icmp = config.current().protocol_no == kIcmp;
  for (; !words.isEmpty(wordIndex); ++wordIndex) {
    std::string_view word = words.view(wordIndex);
    int type;
    if (icmp && lookupName(kIcmpMessageTable, word, type)) {
      config.addName(word, 0);
      target.out.text(word).text("(").number(type).text(") ");
      continue;
    }
    config.addName(word, 1);
    config.current().flags |= kUnsupportedBit;
    target.out.text(word).text("(?) ");
  }
  config.addName("", 0);
  return true;
}

}  // namespace dorvex
