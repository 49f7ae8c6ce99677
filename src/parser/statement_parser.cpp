// The statement parser: one access-list statement per line, in three shapes
// (numbered rule, list opening, list rule), with the open list carried from
// line to line in the current entry.
#include <cstring>

#include "parser/acl_config.h"

namespace dorvex {

namespace {

// Words are split at blanks and carriage returns; a tab is part of a word.
constexpr char kSeparators[] = " \r";

// acl_no of an entry committed as "name not stored" keeps no list open.
constexpr int kNoList = -1;
// acl_no of a list whose name could not be stored.
constexpr int kUnstoredNameList = kNamedListBase - 1;

enum class ListKind { none, standard, extended, unusable };

bool isStandardNumber(int n) { return (n >= 1 && n <= 99) || (n >= 1300 && n <= 1999); }
bool isExtendedNumber(int n) { return (n >= 100 && n <= 199) || (n >= 2000 && n <= 2699); }

ListKind kindOf(const AclEntry& entry) {
  if (entry.acl_no == kNoList) return ListKind::none;
  if (isStandardNumber(entry.acl_no)) return ListKind::standard;
  if (isExtendedNumber(entry.acl_no)) return ListKind::extended;
  if (entry.acl_no >= kNamedListBase) {
    if (entry.type == 0) return ListKind::standard;
    if (entry.type == 1) return ListKind::extended;
  }
  return ListKind::unusable;
}

}  // namespace

bool AclConfig::checkConfig() {
  WordRow words;
  char c;
  while (input.peekChar(c) && c != '\0') {
    std::size_t column, line;
    input.getPosition(column, line);
    current().column = line;
    scratch.padded(line, 3).text(": ");
    if (words.splitFrom(input, kSeparators)) {
      parseLine(words);
    } else {
      // Nothing of an overlong line is parsed; an open list stays open.
      note("Err:\"many parameters!\"\r\n");
      commitInError();
      carryListContext();
    }
    // The line's annotation, put together in the scratch line piece by
    // piece, goes to the annotation text in one append.
    scratch.appendTo(annotation);
  }
  return true;
}

void AclConfig::parseLine(const WordRow& words) {
  std::string_view first = words.view(0);
  if (first == "ip") {
    parseListOpening(words);
  } else if (first == "permit" || first == "deny") {
    parseListRule(words);
  } else if (first == "access-list") {
    parseNumberedRule(words);
  } else {
    commitInError();
    note("Err:\"not acl\"\r\n");
  }
}

bool AclConfig::parsePermission(const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  if (word == "permit") {
    current().permission = 0;
    note("permit ");
  } else if (word == "deny") {
    current().permission = 1;
    note("deny ");
  } else {
    return rejectWord(words, wordIndex);
  }
  ++wordIndex;
  return true;
}

bool AclConfig::endCheck(const WordRow& words, int wordIndex) {
  if (words.isEmpty(wordIndex)) return true;
  commitInError();
  scratch.text("Err:\"many parameter!(").number(wordIndex).text(")=").text(words.view(wordIndex));
  scratch.text("\"\r\n");
  return false;
}

void AclConfig::parseNumberedRule(const WordRow& words) {
  int wordIndex = 1;
  note("access-list ");
  int number;
  if (!TextCursor::parseDecimal(words.view(wordIndex), number)) {
    rejectWord(words, wordIndex);
    return;
  }
  wordIndex = 2;
  current().acl_no = number;
  scratch.number(number).text(" ");
  if (isStandardNumber(number)) {
    setRuleKind(0);
    if (!parsePermission(words, wordIndex)) return;
    parseStandardRule(words, wordIndex);
  } else if (isExtendedNumber(number)) {
    setRuleKind(1);
    if (!parsePermission(words, wordIndex)) return;
    parseExtendedRule(words, wordIndex);
  } else {
    rejectWord(words, wordIndex);
  }
}

void AclConfig::parseStandardRule(const WordRow& words, int& wordIndex) {
  AclEntry& entry = current();
  if (!parseAddress(words, wordIndex, entry.source, entry.mask_s)) return;
  if (!endCheck(words, wordIndex)) return;
  note("OK\r\n");
  commit();
}

bool AclConfig::parseExtendedOperands(const WordRow& words, int& wordIndex) {
  if (!parseProtocol(words, wordIndex)) return false;
  AclEntry& entry = current();
  return parseAddress(words, wordIndex, entry.source, entry.mask_s) &&
         parsePort(words, wordIndex, entry.sp_typ, entry.sp_low, entry.sp_hig) &&
         parseAddress(words, wordIndex, entry.destin, entry.mask_d) &&
         parsePort(words, wordIndex, entry.dp_typ, entry.dp_low, entry.dp_hig);
}

void AclConfig::parseExtendedRule(const WordRow& words, int& wordIndex) {
  if (!parseExtendedOperands(words, wordIndex)) return;
  parseOptions(words, wordIndex);
  note("OK\r\n");
  commit();
}

void AclConfig::parseListOpening(const WordRow& words) {
  int wordIndex = 1;
  note("ip ");
  current().acl_no = kNoList;
  if (words.view(wordIndex) != "access-list") {
    rejectWord(words, wordIndex);
    return;
  }
  wordIndex = 2;
  note("access-list ");
  std::string_view kind = words.view(wordIndex);
  if (kind == "standard" || kind == "extended") {
    wordIndex = 3;
    setRuleKind(kind == "standard" ? 0 : 1);
    scratch.text(kind).text(" ");
    parseListNumberOrName(words, wordIndex);
  } else if (kind == "logging" || kind == "log-update") {
    commitUnsupported();
    scratch.text("Err:\"non-support(").number(wordIndex).text(")=").text(kind).text("\"\r\n");
  } else {
    rejectWord(words, wordIndex);
  }
}

bool AclConfig::parseListNumberOrName(const WordRow& words, int& wordIndex) {
  const char* word = words.at(wordIndex);
  int number;
  bool isNumber = TextCursor::parseDecimal(word, number);
  // A digit string too large to convert is still a number, out of every
  // range, and never a list name.
  bool tooLarge = !isNumber && word[0] != '\0' && std::strspn(word, "0123456789") == std::strlen(word);
  if (isNumber || tooLarge) {
    bool inRange = isNumber && (current().type == 0 ? isStandardNumber(number) : isExtendedNumber(number));
    if (!inRange) {
      commitInError();
      note("Err:\"value is range outside\"\r\n");
      return false;
    }
    ++wordIndex;
    current().acl_no = number;
    scratch.number(number).text(" ");
  } else {
    int index = addName(word, 0);
    int aclNo = index < 0 ? kUnstoredNameList : kNamedListBase + index;
    scratch.text(word).text("(").number(aclNo).text(") ");
    ++wordIndex;
    if (index < 0) {
      // A list that cannot be named cannot take rules: say so here rather
      // than on every rule that follows.
      commitInError();
      note("Err:\"name not stored\"\r\n");
      return false;
    }
    current().acl_no = aclNo;
  }
  if (!endCheck(words, wordIndex)) return false;
  note("OK\r\n");
  return true;
}

void AclConfig::parseListRule(const WordRow& words) {
  int wordIndex = 0;
  switch (kindOf(current())) {
    case ListKind::none:
      commitInError();
      note("Err:\"non-set ip access-list\"\r\n");
      return;
    case ListKind::unusable:
      rejectWord(words, wordIndex);
      carryListContext();
      return;
    case ListKind::standard: {
      parsePermission(words, wordIndex);
      setRuleKind(0);
      AclEntry& entry = current();
      if (!parseAddress(words, wordIndex, entry.source, entry.mask_s)) {
        carryListContext();
        return;
      }
      // Extra words close the list: the entry that carried it is committed.
      if (!endCheck(words, wordIndex)) return;
      commit();
      carryListContext();
      note("OK\r\n");
      return;
    }
    case ListKind::extended:
      parsePermission(words, wordIndex);
      setRuleKind(1);
      if (!parseExtendedOperands(words, wordIndex)) {
        carryListContext();
        return;
      }
      parseOptions(words, wordIndex);
      commit();
      carryListContext();
      note("OK\r\n");
      return;
  }
}

}  // namespace dorvex
