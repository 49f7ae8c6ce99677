#include "parser/statement_parser.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvex {

namespace {

// acl_no of an entry committed as "name not stored" keeps no list open.
constexpr int kNoList = kNotSet;
// acl_no of a list whose name could not be stored.
constexpr int kUnstoredNameList = kNamedListBase - 1;

enum class ListKind { none, standard, extended, ipv6, unusable };

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
    if (entry.type == kIpv6Rule) return ListKind::ipv6;
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

// A device listing's count: "(12 matches)", "(1 match)", "(hitcnt=3)".
bool isCountWord(std::string_view word, std::string_view next) {
  return word.size() > 1 && word[0] == '(' &&
         (word.substr(0, 8) == "(hitcnt=" || next == "matches)" || next == "match)");
}

// The sequence number `word` (a digit string) writes, or kNotSet for none
// or one too large to hold.
long long sequenceValue(std::string_view word) {
  long long number = kNotSet;
  if (std::from_chars(word.data(), word.data() + word.size(), number).ec != std::errc{}) {
    return kNotSet;
  }
  return number;
}

}  // namespace

StatementParser::StatementParser(AclConfig& config, TextCursor* annotation, Syntax syntax)
    : target{config, TextWriter(annotation), syntax, PendingMatch{}, nullptr} {
  if (full()) target.groups = &groups;
}

void StatementParser::normaliseListing() {
  for (int k = 0; k < words.size(); ++k) {
    if (isCountWord(words.view(k), words.view(k + 1))) {
      words.truncate(k);
      break;
    }
  }
  const int size = words.size();
  listedSequence = {};
  if (size > 2 && words.view(size - 2) == "sequence" && isDigitString(words.view(size - 1))) {
    listedSequence = words.view(size - 1);
    words.truncate(size - 2);
  }
  for (int k = 0; k + 3 < words.size(); ++k) {
    const std::string_view word = words.view(k);
    if (word.size() > 1 && word.back() == ',' && words.view(k + 1) == "wildcard" &&
        words.view(k + 2) == "bits") {
      words.set(k, word.substr(0, word.size() - 1));
      words.erase(k + 1, 2);
    }
  }
}

bool StatementParser::parseAll() {
  TextCursor& input = config.inputText();
  ReadCounts counts;
  // A rule may use a group defined further down.
  if (full()) groups.readDefinitions(input.view());
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
    if (full()) normaliseListing();
    int first;
    const StatementKind kind = classify(complete, first);
    // A blank indented line inside a definition does not end it, as the
    // reader of the definitions takes it.
    const bool indentedBlank =
        kind == StatementKind::blank && !words.line().empty() && words.line()[0] == ' ';
    inDefinition = kind == StatementKind::groupDefinition || kind == StatementKind::groupMember ||
                   (inDefinition && indentedBlank);
    switch (kind) {
      case StatementKind::numberedRule: parseNumberedRule(); break;
      case StatementKind::listOpening: parseListOpening(); break;
      case StatementKind::listRule: parseListRule(first); break;
      case StatementKind::notAcl: rejectNotAcl(); break;
      case StatementKind::tooManyWords: rejectTooManyWords(); break;
      case StatementKind::remark: noteRemark(first); break;
      case StatementKind::blank: note("blank"); break;
      case StatementKind::comment: note("comment"); break;
      case StatementKind::ipv6List: parseIpv6Opening(); break;
      case StatementKind::listEntry: leaveListEntryUnread(); break;
      case StatementKind::listingOpening: parseListingOpening(); break;
      case StatementKind::listingHeader: noteOutsideList("listing"); break;
      case StatementKind::evaluate: leaveEvaluateUnread(); break;
      case StatementKind::firewallRule: parseFirewallRule(); break;
      case StatementKind::groupDefinition: noteOutsideList("object-group"); break;
      case StatementKind::groupMember: note("group member"); break;
    }
    if (full()) {
      const int number = static_cast<int>(line);
      if (kind == StatementKind::notAcl) {
        uses.read(words, number, config.usesToFill());
      } else {
        uses.pass(words);
      }
      const bool opening = kind == StatementKind::listOpening || kind == StatementKind::ipv6List ||
                           kind == StatementKind::listingOpening;
      if (opening && config.entryCount() == entries && config.current().acl_no != kNoList) {
        config.addOpening({number, config.current().acl_no, config.current().type});
      }
      // A numbered list's remark before its rules is its first line too.
      int listNumber = 0;
      if (kind == StatementKind::remark && words.view(0) == "access-list" &&
          TextCursor::parseDecimal(words.view(1), listNumber) &&
          (isStandardNumber(listNumber) || isExtendedNumber(listNumber))) {
        config.addOpening(
            {number, listNumber, isStandardNumber(listNumber) ? kStandardRule : kExtendedRule});
      }
    }
    // The entries are counted once the parse is done (countEntries()), but
    // for the one thing only the words can tell: whether a line that was not
    // read looks like an access-list statement.
    if (config.entryCount() != entries) {
      countNotRead(*config.entryAt(entries), counts);
      record.entry = entries;
      if (full()) numberEntry(entries);
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
  if (inDefinition && !word.empty() && words.line()[0] == ' ') return StatementKind::groupMember;
  if (word.empty()) return StatementKind::blank;
  if (word[0] == '!') return StatementKind::comment;
  if (ObjectGroups::opensDefinition(words)) return StatementKind::groupDefinition;
  if (((word == "Standard" || word == "Extended") && words.view(1) == "IP" &&
       words.view(2) == "access" && words.view(3) == "list") ||
      (word == "IPv6" && words.view(1) == "access" && words.view(2) == "list")) {
    return StatementKind::listingOpening;
  }
  if (word == "sequence" && isDigitString(words.view(1))) {
    first = 2;
    word = words.view(2);
  } else if (isDigitString(word)) {
    first = 1;
    word = words.view(1);
  }
  if (word == "remark") return StatementKind::remark;
  if (word == "permit" || word == "deny") return StatementKind::listRule;
  if (first > 0) return StatementKind::listEntry;
  if (word == "evaluate") return StatementKind::evaluate;
  if (word == "access-list") {
    const std::string_view name = words.view(1), next = words.view(2);
    if (next == "remark") return StatementKind::remark;
    if (isDigitString(name)) return StatementKind::numberedRule;
    if (isFirewallListKind(next)) return StatementKind::firewallRule;
    if (name.ends_with(';') || name == "cached") return StatementKind::listingHeader;
    return StatementKind::numberedRule;
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
  if (first == 2) out.text("sequence ");
  // A number too large to convert is written as it stands.
  const std::string_view word = words.view(first - 1);
  int number;
  if (TextCursor::parseDecimal(word, number)) {
    out.number(number).text(" ");
  } else {
    out.text(word).text(" ");
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

void StatementParser::parseIpv6Opening() {
  out.text("ipv6 access-list ");
  config.current().acl_no = kNoList;
  openIpv6List(2);
}

void StatementParser::openIpv6List(int wordIndex) {
  const std::string_view name = words.view(wordIndex);
  if (name.empty()) {
    rejectWord(target, words, wordIndex);
    return;
  }
  const int aclNo = kNamedListBase + config.addName(name, 0);
  config.setRuleKind(kIpv6Rule);
  out.text(name).text("(").number(aclNo).text(") ");
  if (!endCheck(wordIndex + 1)) return;
  config.current().acl_no = aclNo;
  out.text("OK\r\n");
}

void StatementParser::parseListingOpening() {
  const bool ipv6 = words.view(0) == "IPv6";
  const int nameIndex = ipv6 ? 3 : 4;
  config.current().acl_no = kNoList;
  for (int k = 0; k < nameIndex; ++k) out.text(words.view(k)).text(" ");
  if (ipv6) {
    openIpv6List(nameIndex);
    return;
  }
  config.setRuleKind(words.view(0) == "Standard" ? kStandardRule : kExtendedRule);
  int wordIndex = nameIndex;
  parseListNumberOrName(wordIndex);
}

void StatementParser::noteOutsideList(std::string_view what) {
  config.current().acl_no = kNoList;
  config.current().type = kNotSet;
  note(what);
}

void StatementParser::leaveEvaluateUnread() {
  if (config.current().acl_no == kNoList) {
    rejectNotAcl();
    return;
  }
  out.text("evaluate ").text(words.view(1)).text(" ");
  leaveUnread(target, "reflexive evaluate");
  config.carryListContext();
}

int StatementParser::firewallListNumber(std::string_view name) {
  auto [at, fresh] = firewallLists.try_emplace(name, 0);
  if (fresh) at->second = kNamedListBase + config.addName(name, 0);
  return at->second;
}

void StatementParser::parseFirewallRule() {
  const std::string_view name = words.view(1);
  out.text("access-list ").text(name).text(" ");
  int wordIndex = 2;
  if (words.view(2) == "line" && isDigitString(words.view(3))) {
    out.text("line ").text(words.view(3)).text(" ");
    wordIndex = 4;
  }
  const std::string_view kind = words.view(wordIndex);
  out.text(kind).text(" ");
  ++wordIndex;
  if (kind != "extended" && kind != "standard") {
    leaveUnread(target, "firewall form");
    return;
  }
  if (words.view(wordIndex) == "remark") {
    note("remark");
    return;
  }
  // Each line names its list: none is kept open.
  config.current().acl_no = firewallListNumber(name);
  config.setRuleKind(kind == "standard" ? kStandardRule : kExtendedRule);
  target.pending.form = PendingMatch::Form::subnetMask;
  if (!parsePermission(target, words, wordIndex)) return;
  if (kind == "standard") {
    parseStandardRule(wordIndex);
  } else {
    parseExtendedRule(wordIndex);
  }
  config.current().acl_no = kNoList;
  config.current().type = kNotSet;
}

void StatementParser::leaveListEntryUnread() {
  if (config.current().acl_no == kNoList) {
    rejectNotAcl();
    return;
  }
  writeSequenceNumber(1);
  // Not read, so never refused as a duplicate: its number only keeps its
  // place (and keeps the number from later rules).
  config.current().sequence = sequenceValue(words.view(0));
  leaveUnread(target, "list entry");
  config.carryListContext();
}

StatementParser::ListSequences* StatementParser::sequencesOf(const AclEntry& entry) {
  const bool ipv6 = entry.type == kIpv6Rule;
  // An acl_no stands for one list for the whole parse.
  if (lastSequences.list && lastSequences.aclNo == entry.acl_no && lastSequences.ipv6 == ipv6) {
    return lastSequences.list;
  }
  std::tuple<bool, int, std::string> key;
  if (entry.acl_no >= kNamedListBase) {
    key = {ipv6, -1, std::string(config.nameView(entry.acl_no - kNamedListBase))};
  } else if (isStandardNumber(entry.acl_no) || isExtendedNumber(entry.acl_no)) {
    key = {ipv6, entry.acl_no, {}};
  } else {
    return nullptr;
  }
  lastSequences = {entry.acl_no, ipv6, &sequenceLists[std::move(key)]};
  return lastSequences.list;
}

bool StatementParser::takeSequenceNumber(int first) {
  const std::string_view word = first > 0 ? words.view(first - 1) : listedSequence;
  ListSequences* list = sequencesOf(config.current());
  if (word.empty() || list == nullptr) return true;
  const long long number = sequenceValue(word);
  if (number == kNotSet) {
    config.commitInError();
    out.text("Err:\"value is range outside\"\r\n");
    config.carryListContext();
    return false;
  }
  if (list->used.contains(number)) {
    // A device keeps the first entry of a number and refuses the next: the
    // entry joins no list, and the list stays open.
    AclEntry& entry = config.current();
    const int aclNo = entry.acl_no, type = entry.type;
    entry.acl_no = kNoList;
    config.commitInError();
    out.text("Err:\"duplicate sequence number ").number(number).text("\"\r\n");
    config.current().acl_no = aclNo;
    config.current().type = type;
    return false;
  }
  config.current().sequence = number;
  return true;
}

void StatementParser::numberEntry(int index) {
  const AclEntry& entry = *config.entryAt(index);
  ListSequences* list = sequencesOf(entry);
  if (list == nullptr) return;
  long long number = entry.sequence;
  if (number == kNotSet) {
    constexpr long long kStep = 10;
    number = list->highest > std::numeric_limits<long long>::max() - kStep
                 ? std::numeric_limits<long long>::max()
                 : list->highest + kStep;
    config.setSequence(index, number);
  }
  // A line in error never entered the list on a device: its number stays free.
  if (entry.flags & kErrorBit) return;
  list->used.insert(number);
  list->highest = std::max(list->highest, number);
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

bool StatementParser::parseServiceOperand(int& wordIndex) {
  const SetRef ref{words.view(wordIndex + 1), words.view(wordIndex) == "object"};
  std::vector<ServiceTerm> terms;
  std::string reason;
  if (ref.name.empty() || !groups.services(ref, terms, reason)) {
    return leaveUnread(target, ref.name.empty() ? "object-group" : reason);
  }
  out.text(words.view(wordIndex)).text(" ").text(ref.name).text(" ");
  wordIndex += 2;
  target.pending.services = std::move(terms);
  return true;
}

bool StatementParser::parseExtendedOperands(int& wordIndex) {
  const std::string_view first = words.view(wordIndex);
  if (full() && (first == "object-group" || first == "object")) {
    if (!parseServiceOperand(wordIndex)) return false;
  } else if (!parseProtocol(target, words, wordIndex)) {
    return false;
  }
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
  if (full() && !takeSequenceNumber(first)) return;
  const AclEntry& entry = config.current();
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
    case ListKind::ipv6:
      target.pending.form = PendingMatch::Form::ipv6;
      if (parsePermission(target, words, wordIndex)) parseExtendedRule(wordIndex);
      break;
  }
  if (keepOpen) config.carryListContext();
}

}  // namespace dorvex
