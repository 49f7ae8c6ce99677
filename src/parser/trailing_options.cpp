// Trailing option words of an extended rule: ICMP message names on ICMP
// rules, in the full syntax the log options, any other word as an
// unrecognised option.
#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

bool isLogOption(std::string_view word) {
  int kind;
  return lookupName(kOptionKeywordTable, word, kind) && kind == kLogOption;
}

// Whether the word after a log option is its argument.
bool isLogArgument(std::string_view word) {
  int kind;
  return !word.empty() && !lookupName(kOptionKeywordTable, word, kind);
}

// Every remaining word as an option word of the rule; with `readLog`, the
// log options and their arguments are understood, as the full syntax reads
// them.
bool takeOptions(ParseTarget& target, const WordRow& words, int& wordIndex, bool readLog) {
  if (words.isEmpty(wordIndex)) return true;
  AclConfig& config = target.config;
  config.current().option_idx = config.nameCount();
  const bool icmp = config.current().protocol_no == kIcmp;
  bool logArgumentNext = false;
  for (; !words.isEmpty(wordIndex); ++wordIndex) {
    std::string_view word = words.view(wordIndex);
    const bool understood = logArgumentNext && isLogArgument(word);
    logArgumentNext = false;
    int type;
    if (readLog && (understood || isLogOption(word))) {
      logArgumentNext = !understood;
      config.addName(word, 0);
      target.out.text(word).text(" ");
    } else if (icmp && lookupName(kIcmpMessageTable, word, type)) {
      config.addName(word, 0);
      target.out.text(word).text("(").number(type).text(") ");
    } else {
      config.addName(word, 1);
      config.current().flags |= kUnsupportedBit;
      target.out.text(word).text("(?) ");
    }
  }
  config.addName("", 0);
  return true;
}

}  // namespace

bool parseOptions(ParseTarget& target, const WordRow& words, int& wordIndex) {
  return takeOptions(target, words, wordIndex, false);
}

bool parseFullOptions(ParseTarget& target, const WordRow& words, int& wordIndex) {
  return takeOptions(target, words, wordIndex, true);
}

bool parseLogOption(ParseTarget& target, const WordRow& words, int& wordIndex) {
  if (!isLogOption(words.view(wordIndex))) return false;
  target.out.text(words.view(wordIndex)).text(" ");
  ++wordIndex;
  if (isLogArgument(words.view(wordIndex))) {
    target.out.text(words.view(wordIndex)).text(" ");
    ++wordIndex;
  }
  return true;
}

}  // namespace dorvex
