#include "parser/statement_parser.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace dorvex {

namespace {

// Words are split at blanks and carriage returns; a tab is part of a word.
constexpr char kSeparators[] = " \r";

// acl_no of an entry committed as "name not stored" keeps no list open.
constexpr int kNoList = kNotSet;
// acl_no of a list whose name could not be stored.
constexpr int kUnstoredNameList = kNamedListBase - 1;

enum class ListKind { none, standard, extended, unusable };

bool isStandardNumber(int n) { return (n >= 1 && n <= 99) || (n >= 1300 && n <= 1999); }
bool isExtendedNumber(int n) { return (n >= 100 && n <= 199) || (n >= 2000 && n <= 2699); }

bool isListNumberOf(int ruleKind, int n) {
  return ruleKind == kStandardRule ? isStandardNumber(n) : isExtendedNumber(n);
}

// The list that `entry`, the current entry, carries open.
ListKind kindOf(const AclEntry& entry) {
  if (entry.acl_no == kNoList) return ListKind::none;
  if (isStandardNumber(entry.acl_no)) return ListKind::standard;
  if (isExtendedNumber(entry.acl_no)) return ListKind::extended;
  if (entry.acl_no >= kNamedListBase) {
    if (entry.type == kStandardRule) return ListKind::standard;
    if (entry.type == kExtendedRule) return ListKind::extended;
  }
  return ListKind::unusable;
}

// A digit string, however long: too large to convert, it is still a
// number (out of every range), never a list name.
bool isDigitString(const char* word) {
  return word[0] != '\0' && std::strspn(word, "0123456789") == std::strlen(word);
}

}  // namespace

StatementParser::StatementParser(AclConfig& config, TextCursor* annotation)
    : target{config, TextWriter(annotation)} {}

bool StatementParser::parseAll() {
  TextCursor& input = config.inputText();
  char c;
  while (input.peekChar(c) && c != '\0') {
    std::size_t column, line;
    input.getPosition(column, line);
    // An entry keeps its line number in an int; a text of more lines is
    // too large for the check, however much memory there is.
    if (line > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      throw std::length_error("text too large");
    }
    config.current().column = static_cast<int>(line);
    out.padded(line, 3).text(": ");
    const StatementKind kind =
        words.splitFrom(input, kSeparators) ? classify(words) : StatementKind::tooManyWords;
    switch (kind) {
      case StatementKind::numberedRule: parseNumberedRule(); break;
      case StatementKind::listOpening: parseListOpening(); break;
      case StatementKind::listRule: parseListRule(); break;
      case StatementKind::notAcl: rejectNotAcl(); break;
      case StatementKind::tooManyWords: rejectTooManyWords(); break;
    }
  }
  out.finish();
  return true;
}

StatementParser::StatementKind StatementParser::classify(const WordRow& words) {
  std::string_view first = words.view(0);
  if (first == "ip") return StatementKind::listOpening;
  if (first == "permit" || first == "deny") return StatementKind::listRule;
  if (first == "access-list") return StatementKind::numberedRule;
  return StatementKind::notAcl;
}

void StatementParser::rejectNotAcl() {
  config.commitInError();
  out.text("Err:\"not acl\"\r\n");
}

void StatementParser::rejectTooManyWords() {
  // Nothing of an overlong line is parsed; an open list stays open.
  out.text("Err:\"many parameters!\"\r\n");
  config.commitInError();
  config.carryListContext();
}

bool StatementParser::endCheck(int wordIndex) {
  if (words.isEmpty(wordIndex)) return true;
  config.commitInError();
  out.text("Err:\"many parameter!(").number(wordIndex).text(")=").text(words.view(wordIndex));
  out.text("\"\r\n");
  return false;
}

void StatementParser::parseNumberedRule() {
  int wordIndex = 1;
  out.text("access-list ");
  int number;
  if (!TextCursor::parseDecimal(words.view(wordIndex), number)) {
    rejectWord(target, words, wordIndex);
    return;
  }
  wordIndex = 2;
  config.current().acl_no = number;
  out.number(number).text(" ");
  if (isStandardNumber(number)) {
    config.setRuleKind(kStandardRule);
    if (!parsePermission(target, words, wordIndex)) return;
    parseStandardRule(wordIndex);
  } else if (isExtendedNumber(number)) {
    config.setRuleKind(kExtendedRule);
    if (!parsePermission(target, words, wordIndex)) return;
    parseExtendedRule(wordIndex);
  } else {
    rejectWord(target, words, wordIndex);
  }
}

void StatementParser::parseStandardRule(int& wordIndex) {
  AclEntry& entry = config.current();
  if (!parseAddress(target, words, wordIndex, entry.source, entry.mask_s)) return;
  if (!endCheck(wordIndex)) return;
  out.text("OK\r\n");
  config.commit();
}

bool StatementParser::parseExtendedOperands(int& wordIndex) {
  if (!parseProtocol(target, words, wordIndex)) return false;
  AclEntry& entry = config.current();
  return parseAddress(target, words, wordIndex, entry.source, entry.mask_s) &&
         parsePort(target, words, wordIndex, entry.sp_typ, entry.sp_low, entry.sp_hig) &&
         parseAddress(target, words, wordIndex, entry.destin, entry.mask_d) &&
         parsePort(target, words, wordIndex, entry.dp_typ, entry.dp_low, entry.dp_hig);
}

void StatementParser::parseExtendedRule(int& wordIndex) {
  if (!parseExtendedOperands(wordIndex)) return;
  parseOptions(target, words, wordIndex);
  out.text("OK\r\n");
  config.commit();
}

void StatementParser::parseListOpening() {
  int wordIndex = 1;
  out.text("ip ");
  config.current().acl_no = kNoList;
  if (words.view(wordIndex) != "access-list") {
    rejectWord(target, words, wordIndex);
    return;
  }
  wordIndex = 2;
  out.text("access-list ");
  std::string_view kind = words.view(wordIndex);
  if (kind == "standard" || kind == "extended") {
    wordIndex = 3;
    config.setRuleKind(kind == "standard" ? kStandardRule : kExtendedRule);
    out.text(kind).text(" ");
    parseListNumberOrName(wordIndex);
  } else if (kind == "logging" || kind == "log-update") {
    config.commitUnsupported();
    out.text("Err:\"non-support(").number(wordIndex).text(")=").text(kind).text("\"\r\n");
  } else {
    rejectWord(target, words, wordIndex);
  }
}

bool StatementParser::parseListNumberOrName(int& wordIndex) {
  const char* word = words.at(wordIndex);
  int number;
  const bool isNumber = TextCursor::parseDecimal(word, number);
  if (isNumber || isDigitString(word)) {
    if (!isNumber || !isListNumberOf(config.current().type, number)) {
      config.commitInError();
      out.text("Err:\"value is range outside\"\r\n");
      return false;
    }
    ++wordIndex;
    config.current().acl_no = number;
    out.number(number).text(" ");
  } else {
    const int index = config.addName(word, 0);
    const int aclNo = index < 0 ? kUnstoredNameList : kNamedListBase + index;
    out.text(word).text("(").number(aclNo).text(") ");
    ++wordIndex;
    if (index < 0) {
      // A list that cannot be named cannot take rules: say so here rather
      // than on every rule that follows.
      config.commitInError();
      out.text("Err:\"name not stored\"\r\n");
      return false;
    }
    config.current().acl_no = aclNo;
  }
  if (!endCheck(wordIndex)) return false;
  out.text("OK\r\n");
  return true;
}

void StatementParser::parseListRule() {
  switch (kindOf(config.current())) {
    case ListKind::none:
      config.commitInError();
      out.text("Err:\"non-set ip access-list\"\r\n");
      return;
    case ListKind::unusable:
      rejectWord(target, words, 0);
      config.carryListContext();
      return;
    case ListKind::standard: parseStandardListRule(); return;
    case ListKind::extended: parseExtendedListRule(); return;
  }
}

// The first word is "permit" or "deny" (classify() saw to it), so the
// permission cannot fail.
void StatementParser::parseStandardListRule() {
  int wordIndex = 0;
  parsePermission(target, words, wordIndex);
  config.setRuleKind(kStandardRule);
  AclEntry& entry = config.current();
  if (!parseAddress(target, words, wordIndex, entry.source, entry.mask_s)) {
    config.carryListContext();
    return;
  }
  // Extra words close the list: the entry that carried it is committed.
  if (!endCheck(wordIndex)) return;
  config.commit();
  config.carryListContext();
  out.text("OK\r\n");
}

void StatementParser::parseExtendedListRule() {
  int wordIndex = 0;
  parsePermission(target, words, wordIndex);
  config.setRuleKind(kExtendedRule);
  if (!parseExtendedOperands(wordIndex)) {
    config.carryListContext();
    return;
  }
  parseOptions(target, words, wordIndex);
  config.commit();
  config.carryListContext();
  out.text("OK\r\n");
}

}  // namespace dorvex
