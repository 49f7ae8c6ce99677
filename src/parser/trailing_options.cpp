// Trailing option words of an extended rule: ICMP message names on ICMP
// rules, any other word as an unrecognised option.
#include "parser/acl_config.h"
#include "parser/keyword_tables.h"

namespace dorvex {

bool AclConfig::parseOptions(const WordRow& words, int& wordIndex) {
  if (words.isEmpty(wordIndex)) return true;
  current().option_idx = nameCount_;
  bool icmp = current().protocol_no == kProtocolIcmp;
  for (; !words.isEmpty(wordIndex); ++wordIndex) {
    std::string_view word = words.view(wordIndex);
    int type;
    if (icmp && lookupName(kIcmpMessageTable, word, type)) {
      addName(word, 0);
      scratch.text(word).text("(").number(type).text(") ");
      continue;
    }
    addName(word, 1);
    current().flags |= kUnsupportedBit;
    scratch.text(word).text("(?) ");
  }
  addName("", 0);
  return true;
}

}  // namespace dorvex
