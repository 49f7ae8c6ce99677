#include "parser/statement_parser.h"

#include <limits>
#include <stdexcept>
#include <string_view>

namespace dorvex {

namespace {

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
bool isDigitString(std::string_view word) {
  return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// The word after "access-list NAME" in the firewall form.
bool isFirewallListKind(std::string_view word) {
  return word == "extended" || word == "standard" || word == "webtype" || word == "ethertype" ||
         word == "line";
}

}  // namespace

StatementParser::StatementParser(AclConfig& config, TextCursor* annotation, Syntax syntax)
    : target{config, TextWriter(annotation), syntax, PendingMatch{}, nullptr} {}

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
    LineRecord record;
    record.annotationStart = out.offset();
    const int entries = config.entryCount();
    const bool complete = words.splitFrom(input, target.syntax);
    record.textStart = static_cast<std::size_t>(words.line().data() - input.view().data());
    record.textLength = words.line().size();
    target.pending = PendingMatch{};
    int first;
    switch (classify(complete, first)) {
      case StatementKind::numberedRule: parseNumberedRule(); break;
      case StatementKind::listOpening: parseListOpening(); break;
      case StatementKind::listRule: parseListRule(first); break;
      case StatementKind::notAcl: rejectNotAcl(); break;
      case StatementKind::tooManyWords: rejectTooManyWords(); break;
      case StatementKind::remark: noteRemark(first); break;
      case StatementKind::blank: note("blank"); break;
      case StatementKind::comment: note("comment"); break;
      case StatementKind::ipv6List: leaveIpv6ListUnread(); break;
      case StatementKind::listEntry: leaveListEntryUnread(); break;
    }
    // The entries are counted once the parse is done (countEntries()), but
    // for the one thing only the words can tell: whether a line that was not
    // read looks like an access-list statement.
    if (config.entryCount() != entries) {
      countNotRead(*config.entryAt(entries), counts);
      record.entry = entries;
    }
    // Every line's annotation ends in CR LF.
    const std::size_t annotationEnd = out.offset();
    if (annotationEnd >= record.annotationStart + 2) {
      record.annotationLength = annotationEnd - 2 - record.annotationStart;
    }
    config.addLine(record);
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
  const int first = isDigitString(words.view(0)) ? 1 : 0;
  std::string_view word = words.view(first);
  if (word == "access-list" || word == "permit" || word == "deny") return true;
  return (word == "ip" || word == "ipv6") && words.view(first + 1) == "access-list";
}

StatementParser::StatementKind StatementParser::classify(bool complete, int& first) const {
  first = 0;
  if (!complete) return StatementKind::tooManyWords;
  std::string_view word = words.view(0);
  if (!full()) {
    if (word == "ip") return StatementKind::listOpening;
    if (word == "permit" || word == "deny") return StatementKind::listRule;
    if (word == "access-list") return StatementKind::numberedRule;
    return StatementKind::notAcl;
  }
  if (word.empty()) return StatementKind::blank;
  if (word[0] == '!') return StatementKind::comment;
  if (isDigitString(word)) {
    first = 1;
    word = words.view(1);
  }
  if (word == "remark") return StatementKind::remark;
  if (word == "permit" || word == "deny") return StatementKind::listRule;
  if (first == 1) return StatementKind::listEntry;
  if (word == "access-list") {
    return words.view(2) == "remark" ? StatementKind::remark : StatementKind::numberedRule;
  }
  if (words.view(1) != "access-list") return StatementKind::notAcl;
  if (word == "ipv6") return StatementKind::ipv6List;
  if (word == "ip") return StatementKind::listOpening;
  return StatementKind::notAcl;
}

void StatementParser::rejectNotAcl() {
  if (full()) {
    // The open list ends here.
    config.current().acl_no = kNoList;
    config.current().type = kNotSet;
    note("not acl");
    return;
  }
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
    rejectNotAcl();
    return;
  }
  writeSequenceNumber(1);
  leaveUnread(target, "list entry");
  config.carryListContext();
}

void StatementParser::parseNumberedRule() {
  out.text("access-list ");
  int number;
  if (!TextCursor::parseDecimal(words.view(1), number)) {
    if (full() && !isDigitString(words.view(1)) && isFirewallListKind(words.view(2))) {
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
    if (parsePermission(target, words, wordIndex)) parseStandardRule(wordIndex);
  } else if (isExtendedNumber(number)) {
    config.setRuleKind(kExtendedRule);
    if (parsePermission(target, words, wordIndex)) parseExtendedRule(wordIndex);
  } else {
    rejectWord(target, words, wordIndex);
  }
}

bool StatementParser::parseStandardRule(int& wordIndex) {
  AclEntry& entry = config.current();
  if (!parseStandardAddress(target, words, wordIndex, entry.source, entry.mask_s)) return true;
  if (full()) parseLogOption(target, words, wordIndex);
  if (!endCheck(wordIndex)) return false;
  out.text("OK\r\n");
  finishMatch(target);
  config.commit();
  return true;
}

bool StatementParser::parseExtendedOperands(int& wordIndex) {
  if (full() && words.view(wordIndex) == "object-group") {
    return leaveUnread(target, "object-group");
  }
  if (!parseProtocol(target, words, wordIndex)) return false;
  AclEntry& entry = config.current();
  if (!parseAddress(target, words, wordIndex, entry.source, entry.mask_s) ||
      !parsePort(target, words, wordIndex, entry.sp_typ, entry.sp_low, entry.sp_hig) ||
      !parseAddress(target, words, wordIndex, entry.destin, entry.mask_d) ||
      !parsePort(target, words, wordIndex, entry.dp_typ, entry.dp_low, entry.dp_hig)) {
    return false;
  }
  // A port group after the destination would otherwise pass for options.
  if (full() && words.view(wordIndex) == "object-group") {
    return leaveUnread(target, "object-group");
  }
  return true;
}

void StatementParser::parseExtendedRule(int& wordIndex) {
  if (!parseExtendedOperands(wordIndex)) return;
  parseOptions(target, words, wordIndex);
  out.text("OK\r\n");
  finishMatch(target);
  config.commit();
}

void StatementParser::parseListOpening() {
  out.text("ip ");
  config.current().acl_no = kNoList;
  if (words.view(1) != "access-list") {
    rejectWord(target, words, 1);
    return;
  }
  out.text("access-list ");
  int wordIndex = 2;
  std::string_view kind = words.view(wordIndex);
  if (kind == "standard" || kind == "extended") {
    config.setRuleKind(kind == "standard" ? kStandardRule : kExtendedRule);
    out.text(kind).text(" ");
    ++wordIndex;
    parseListNumberOrName(wordIndex);
  } else if (kind == "logging" || kind == "log-update") {
    if (full()) {
      leaveUnread(target, kind);
      return;
    }
    config.commitUnsupported();
    out.text("Err:\"non-support(").number(wordIndex).text(")=").text(kind).text("\"\r\n");
  } else if (full() && !kind.empty() && !isDigitString(kind) && words.isEmpty(3)) {
    // A list opened by its name alone is an extended list.
    config.setRuleKind(kExtendedRule);
    out.text("extended ");
    parseListNumberOrName(wordIndex);
  } else {
    rejectWord(target, words, wordIndex);
  }
}

bool StatementParser::parseListNumberOrName(int& wordIndex) {
  const std::string_view word = words.view(wordIndex);
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

void StatementParser::parseListRule(int first) {
  writeSequenceNumber(first);
  const AclEntry& entry = config.current();
  if (entry.acl_no == kIpv6List) {
    out.text(words.view(first)).text(" ");
    leaveUnread(target, "IPv6 list");
    config.carryListContext();
    return;
  }
  int wordIndex = first;
  bool keepOpen = true;
  switch (kindOf(entry)) {
    case ListKind::none:
      config.commitInError();
      out.text("Err:\"non-set ip access-list\"\r\n");
      return;
    case ListKind::unusable: rejectWord(target, words, first); break;
    case ListKind::standard:
      parsePermission(target, words, wordIndex);
      config.setRuleKind(kStandardRule);
      // Extra words close a classic list: the entry that carried it is
      // committed; the full syntax keeps a list open whatever its rules.
      keepOpen = parseStandardRule(wordIndex) || full();
      break;
    case ListKind::extended:
      parsePermission(target, words, wordIndex);
      config.setRuleKind(kExtendedRule);
      parseExtendedRule(wordIndex);
      break;
  }
  if (keepOpen) config.carryListContext();
}

}  // namespace dorvex
