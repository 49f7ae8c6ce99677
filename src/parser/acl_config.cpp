#include "parser/acl_config.h"

#include <cstring>

#include "parser/statement_parser.h"

namespace dorvex {

namespace {

// Empties `table`, with room for `count` records. The records themselves
// are made as they are needed: each is written once, when it is reached,
// rather than once here and again by the parse.
template <typename Record>
void emptyTable(std::vector<Record>& table, std::size_t count) {
  // A table grown past its starting room by a large check gives it back.
  if (table.capacity() > count) std::vector<Record>().swap(table);
  table.clear();
  table.reserve(count);
}

}  // namespace

const RuleOptions AclConfig::kNoOptions;

AclConfig::AclConfig() {
  emptyTable(entries, kInitialTableSize);
  entries.emplace_back();
  emptyTable(optionsIndex, kInitialTableSize);
  optionsIndex.push_back(-1);
  optionsTable.clear();
  matchIndex.assign(1, -1);
  emptyTable(names, kInitialTableSize);
}

bool AclConfig::reset(std::string_view text, bool annotate, Syntax readSyntax) {
  emptyTable(entries, kInitialTableSize);
  entries.emplace_back();  // the current entry
  emptyTable(optionsIndex, kInitialTableSize);
  optionsIndex.push_back(-1);
  optionsTable.clear();
  matchIndex.assign(1, -1);
  matchTable.clear();
  entryCount_ = 0;
  emptyTable(names, kInitialTableSize);
  longNames.clear();
  emptyTable(lineRecords, kInitialTableSize);
  listUses.clear();
  listOpenings.clear();
  nameCount_ = 0;
  annotating = false;
  syntax = readSyntax;
  counts = ReadCounts{};
  if (!input.loadText(text)) return false;
  if (!annotation.allocate(annotate ? kAnnotationSize : 1)) return false;
  annotating = annotate;
  return true;
}

bool AclConfig::checkConfig() {
  StatementParser parser(*this, annotationOutput(), syntax);
  return parser.parseAll();
}

int AclConfig::addName(std::string_view text, int unsupported) {
  // A name, like any text, ends at its first NUL byte.
  text = text.substr(0, text.find('\0'));
  const bool isLong = text.size() > static_cast<std::size_t>(kNameLength);
  if (isLong && syntax == Syntax::classic) return -1;
  AclName& record = names.emplace_back();
  const std::size_t kept = isLong ? kNameLength : text.size();
  // An empty view may have no bytes at all to point at.
  if (kept > 0) std::memcpy(record.name, text.data(), kept);
  record.name[kept] = '\0';
  record.unsupported = unsupported;
  record.length = static_cast<int>(text.size());
  if (isLong) {
    record.longIndex = static_cast<int>(longNames.size());
    longNames.emplace_back(text);
  }
  return nameCount_++;
}

bool AclConfig::nameAt(int index, char* text, int& unsupported) const {
  if (index < 0 || index >= nameCount_) return false;
  std::memcpy(text, names[index].name, kNameLength + 1);
  unsupported = names[index].unsupported;
  return true;
}

void AclConfig::recordRemainingLines() {
  const char* const text = input.view().data();
  std::string_view line;
  while (input.takeLine(line)) {
    LineRecord record;
    record.textStart = static_cast<std::size_t>(line.data() - text);
    record.textLength = line.size();
    lineRecords.push_back(record);
  }
}

void AclConfig::copyAnnotation(char* buffer, std::size_t capacity) const {
  annotation.copyOut(buffer, capacity);
}

void AclConfig::commit() {
  ++entryCount_;
  entries.emplace_back();  // the next current entry, at its reset values
  optionsIndex.push_back(-1);
  matchIndex.push_back(-1);
}

void AclConfig::commitInError() {
  current().flags |= kErrorBit;
  commit();
}

void AclConfig::commitUnsupported() {
  current().flags |= kUnsupportedBit;
  commit();
}

void AclConfig::commitUnread() {
  current().flags |= kUnsupportedBit | kNotReadBit;
  commit();
}

void AclConfig::carryListContext() {
  const AclEntry& committed = entries[entryCount_ - 1];
  AclEntry& next = current();
  next.acl_no = committed.acl_no;
  next.type = committed.type;
}

}  // namespace dorvex
