#include "parser/operand_parsers.h"

namespace dorvex {

bool rejectWord(ParseTarget& target, const WordRow& words, int wordIndex) {
  target.config.commitInError();
  target.out.text("Err(").number(wordIndex).text("):\"").text(words.view(wordIndex)).text("\"\r\n");
  return false;
}

bool leaveUnread(ParseTarget& target, std::string_view reason) {
  target.config.commitUnread();
  target.out.text("Unsupported:\"").text(reason).text("\"\r\n");
  return false;
}

bool parsePermission(ParseTarget& target, const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  if (word == "permit") {
    target.config.current().permission = kPermit;
    target.out.text("permit ");
  } else if (word == "deny") {
    target.config.current().permission = kDeny;
    target.out.text("deny ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  ++wordIndex;
  return true;
}

}  // namespace dorvex
