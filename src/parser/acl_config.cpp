#include "parser/acl_config.h"

#include <algorithm>
#include <cstring>

namespace dorvex {

AclConfig::AclConfig()
    : entries(kInitialTableSize), names(kInitialTableSize) {}

bool AclConfig::reset(std::string_view text, bool annotate) {
  // Only the records a previous check may have touched need rewriting; the
  // rest still hold their reset values.
  if (entries.size() > static_cast<std::size_t>(kInitialTableSize)) {
    entries.resize(kInitialTableSize);
    entries.shrink_to_fit();
  }
  std::size_t touched = static_cast<std::size_t>(entryCount_) + 1;
  if (touched > entries.size()) touched = entries.size();
  std::fill(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(touched), AclEntry{});
  entryCount_ = 0;
  if (names.size() > static_cast<std::size_t>(kInitialTableSize)) {
    names.resize(kInitialTableSize);
    names.shrink_to_fit();
  }
  // After a grown check the name count can exceed the shrunk table.
  std::size_t usedNames = std::min(static_cast<std::size_t>(nameCount_), names.size());
  std::fill(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(usedNames), AclName{});
  nameCount_ = 0;
  if (!input.loadText(text)) return false;
  scratch.discardPieces(!annotate);
  return annotation.allocate(annotate ? kAnnotationSize : 1);
}

int AclConfig::addName(std::string_view text, int unsupported) {
  if (text.size() > static_cast<std::size_t>(kNameLength)) return -1;
  if (static_cast<std::size_t>(nameCount_) == names.size()) {
    names.resize(names.size() * 2);
  }
  AclName& record = names[nameCount_];
  std::memcpy(record.name, text.data(), text.size());
  record.name[text.size()] = '\0';
  record.unsupported = unsupported;
  // A name, like any text, ends at its first NUL byte.
  record.length = static_cast<int>(text.substr(0, text.find('\0')).size());
  return nameCount_++;
}

bool AclConfig::nameAt(int index, char* text, int& unsupported) const {
  if (index < 0 || index >= nameCount_) return false;
  std::memcpy(text, names[index].name, kNameLength + 1);
  unsupported = names[index].unsupported;
  return true;
}

void AclConfig::copyAnnotation(char* buffer, std::size_t capacity) const {
  annotation.copyOut(buffer, capacity);
}

void AclConfig::growEntriesFor(int index) {
  if (static_cast<std::size_t>(index) >= entries.size()) {
    entries.resize(entries.size() * 2);
  }
}

void AclConfig::commit() {
  ++entryCount_;
  growEntriesFor(entryCount_);
}

void AclConfig::commitInError() {
  current().flags |= kErrorBit;
  commit();
}

void AclConfig::commitUnsupported() {
  current().flags |= kUnsupportedBit;
  commit();
}

void AclConfig::carryListContext() {
  const AclEntry& committed = entries[entryCount_ - 1];
  AclEntry& next = current();
  next.acl_no = committed.acl_no;
  next.type = committed.type;
}

bool AclConfig::rejectWord(const WordRow& words, int wordIndex) {
  commitInError();
  scratch.text("Err(").number(wordIndex).text("):\"").text(words.view(wordIndex)).text("\"\r\n");
  return false;
}

}  // namespace dorvex
