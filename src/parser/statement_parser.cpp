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

// acl_no that the current entry carries in an IPv6 list (full syntax).
constexpr int kIpv6List = -2;

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

// The word after "access-list NAME" in the firewall form.
bool isFirewallListKind(std::string_view word) {
  return word == "extended" || word == "standard" || word == "webtype" || word == "ethertype" ||
         word == "line";
}

}  // namespace

StatementParser::StatementParser(AclConfig& config, TextCursor* annotation, Syntax syntax)
    : target{config, TextWriter(annotation)}, syntax(syntax) {}

bool StatementParser::parseAll() {
  TextCursor& input = config.inputText();
  ReadCounts counts;
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
    const int entries = config.entryCount();
    const bool complete = words.splitFrom(input, kSeparators);
    if (syntax == Syntax::full) {
      parseFullLine(complete);
    } else {
      switch (complete ? classify(words) : StatementKind::tooManyWords) {
        case StatementKind::numberedRule: parseNumberedRule(); break;
        case StatementKind::listOpening: parseListOpening(); break;
        case StatementKind::listRule: parseListRule(); break;
        case StatementKind::notAcl: rejectNotAcl(); break;
        case StatementKind::tooManyWords: rejectTooManyWords(); break;
      }
    }
    // The entries are counted once the parse is done (countEntries()), but
    // for the one thing only the words can tell: whether a line that was not
    // read looks like an access-list statement.
    if (config.entryCount() != entries) countNotRead(*config.entryAt(entries), counts);
  }
  out.finish();
  countEntries(counts);
  config.setReadCounts(counts);
  return true;
}

void StatementParser::countNotRead(const AclEntry& entry, ReadCounts& counts) const {
  // Lines left unread (kNotReadBit) are access-list statements: counted with
  // the entries.
  if (isReadRule(entry) || (entry.flags & kNotReadBit) || !looksLikeAclStatement()) return;
  if (entry.flags & kErrorBit) {
    ++counts.notRead;
  } else {
    ++counts.unsupportedNotRead;
  }
}

void StatementParser::countEntries(ReadCounts& counts) const {
  for (int k = 0; k < config.entryCount(); ++k) {
    const AclEntry& entry = *config.entryAt(k);
    counts.rules += isReadRule(entry) ? 1 : 0;
    counts.unsupported += (entry.flags & kUnsupportedBit) != 0 ? 1 : 0;
    counts.unsupportedNotRead += (entry.flags & kNotReadBit) != 0 ? 1 : 0;
  }
}

bool StatementParser::looksLikeAclStatement() const {
  const int first = isDigitString(words.at(0)) ? 1 : 0;
  std::string_view word = words.view(first);
  if (word == "access-list" || word == "permit" || word == "deny") return true;
  return (word == "ip" || word == "ipv6") && words.view(first + 1) == "access-list";
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

// ---- The full syntax

StatementParser::FullKind StatementParser::classifyFull(bool complete, int& first) const {
  first = 0;
  if (words.isEmpty(0)) return FullKind::blank;
  if (words.at(0)[0] == '!') return FullKind::comment;
  if (isDigitString(words.at(0))) first = 1;
  std::string_view word = words.view(first);
  if (word == "remark") return FullKind::remark;
  if (word == "permit" || word == "deny") {
    return complete ? FullKind::listRule : FullKind::tooManyWords;
  }
  if (first == 1) return FullKind::listEntry;
  if (word == "access-list") {
    if (words.view(2) == "remark") return FullKind::remark;
    return complete ? FullKind::numberedRule : FullKind::tooManyWords;
  }
  if (words.view(1) != "access-list") return FullKind::notAcl;
  if (word == "ipv6") return FullKind::ipv6List;
  if (word == "ip") return complete ? FullKind::listOpening : FullKind::tooManyWords;
  return FullKind::notAcl;
}

void StatementParser::parseFullLine(bool complete) {
  int first;
  switch (classifyFull(complete, first)) {
    case FullKind::numberedRule: parseFullNumberedRule(); break;
    case FullKind::listOpening: parseFullListOpening(); break;
    case FullKind::listRule: parseFullListRule(first); break;
    case FullKind::remark: noteRemark(first); break;
    case FullKind::blank: note("blank"); break;
    case FullKind::comment: note("comment"); break;
    case FullKind::ipv6List: leaveIpv6ListUnread(); break;
    case FullKind::listEntry: leaveListEntryUnread(); break;
    case FullKind::notAcl: noteNotAcl(); break;
    case FullKind::tooManyWords: rejectTooManyWords(); break;
  }
}

void StatementParser::note(std::string_view what) { out.text("Note:\"").text(what).text("\"\r\n"); }

void StatementParser::writeSequenceNumber(int first) {
  if (first == 0) return;
  // A number too large to convert is written as it stands.
  int number;
  if (TextCursor::parseDecimal(words.view(0), number)) {
    out.number(number).text(" ");
  } else {
    out.text(words.view(0)).text(" ");
  }
}

void StatementParser::noteRemark(int first) {
  if (words.view(0) == "access-list") {
    out.text("access-list ").text(words.view(1)).text(" ");
  } else {
    writeSequenceNumber(first);
  }
  out.text("remark ");
  note("remark");
}

void StatementParser::noteNotAcl() {
  // The open list ends here.
  config.current().acl_no = kNoList;
  config.current().type = kNotSet;
  note("not acl");
}

void StatementParser::leaveIpv6ListUnread() {
  out.text("ipv6 access-list ");
  // Its rules are left unread too: the list is carried as open.
  config.current().acl_no = kIpv6List;
  config.current().type = kNotSet;
  leaveUnread(target, "IPv6 list");
  config.carryListContext();
}

void StatementParser::leaveListEntryUnread() {
  if (config.current().acl_no == kNoList) {
    noteNotAcl();
    return;
  }
  writeSequenceNumber(1);
  leaveUnread(target, "list entry");
  config.carryListContext();
}

void StatementParser::parseFullNumberedRule() {
  out.text("access-list ");
  int number;
  if (!TextCursor::parseDecimal(words.view(1), number)) {
    if (!isDigitString(words.at(1)) && isFirewallListKind(words.view(2))) {
      out.text(words.view(1)).text(" ");
      leaveUnread(target, "firewall form");
    } else {
      rejectWord(target, words, 1);
    }
    return;
  }
  int wordIndex = 2;
  config.current().acl_no = number;
  out.number(number).text(" ");
  if (isStandardNumber(number)) {
    config.setRuleKind(kStandardRule);
    if (parsePermission(target, words, wordIndex)) parseFullStandardRule(wordIndex);
  } else if (isExtendedNumber(number)) {
    config.setRuleKind(kExtendedRule);
    if (parsePermission(target, words, wordIndex)) parseFullExtendedRule(wordIndex);
  } else {
    rejectWord(target, words, wordIndex);
  }
}

void StatementParser::parseFullListOpening() {
  out.text("ip access-list ");
  config.current().acl_no = kNoList;
  int wordIndex = 2;
  std::string_view kind = words.view(wordIndex);
  if (kind == "standard" || kind == "extended") {
    config.setRuleKind(kind == "standard" ? kStandardRule : kExtendedRule);
    out.text(kind).text(" ");
    ++wordIndex;
    parseListNumberOrName(wordIndex);
  } else if (kind == "logging" || kind == "log-update") {
    leaveUnread(target, kind);
  } else if (!kind.empty() && !isDigitString(words.at(wordIndex)) && words.isEmpty(3)) {
    // A list opened by its name alone is an extended list.
    config.setRuleKind(kExtendedRule);
    out.text("extended ");
    parseListNumberOrName(wordIndex);
  } else {
    rejectWord(target, words, wordIndex);
  }
}

void StatementParser::parseFullListRule(int first) {
  writeSequenceNumber(first);
  const AclEntry& entry = config.current();
  if (entry.acl_no == kIpv6List) {
    out.text(words.view(first)).text(" ");
    leaveUnread(target, "IPv6 list");
    config.carryListContext();
    return;
  }
  int wordIndex = first;
  switch (kindOf(entry)) {
    case ListKind::none:
      config.commitInError();
      out.text("Err:\"non-set ip access-list\"\r\n");
      return;
    case ListKind::unusable: rejectWord(target, words, first); break;
    case ListKind::standard:
      parsePermission(target, words, wordIndex);
      config.setRuleKind(kStandardRule);
      parseFullStandardRule(wordIndex);
      break;
    case ListKind::extended:
      parsePermission(target, words, wordIndex);
      config.setRuleKind(kExtendedRule);
      parseFullExtendedRule(wordIndex);
      break;
  }
  // Whatever became of the rule, the list stays open.
  config.carryListContext();
}

void StatementParser::parseFullStandardRule(int& wordIndex) {
  AclEntry& entry = config.current();
  if (!parseFullStandardAddress(target, words, wordIndex, entry.source, entry.mask_s)) return;
  parseLogOption(target, words, wordIndex);
  if (!endCheck(wordIndex)) return;
  out.text("OK\r\n");
  config.commit();
}

bool StatementParser::parseFullExtendedOperands(int& wordIndex) {
  if (words.view(wordIndex) == "object-group") return leaveUnread(target, "object-group");
  if (!parseProtocol(target, words, wordIndex)) return false;
  AclEntry& entry = config.current();
  if (!parseFullAddress(target, words, wordIndex, entry.source, entry.mask_s) ||
      !parsePort(target, words, wordIndex, entry.sp_typ, entry.sp_low, entry.sp_hig) ||
      !parseFullAddress(target, words, wordIndex, entry.destin, entry.mask_d) ||
      !parsePort(target, words, wordIndex, entry.dp_typ, entry.dp_low, entry.dp_hig)) {
    return false;
  }
  // A port group after the destination would otherwise pass for options.
  if (words.view(wordIndex) == "object-group") return leaveUnread(target, "object-group");
  return true;
}

void StatementParser::parseFullExtendedRule(int& wordIndex) {
  if (!parseFullExtendedOperands(wordIndex)) return;
  parseFullOptions(target, words, wordIndex);
  out.text("OK\r\n");
  config.commit();
}

}  // namespace dorvex
