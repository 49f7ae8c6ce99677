// AclConfig: one configuration under check (the source config or the setting
// config). It holds the configuration text while it is read, the access-list
// rules parsed from it (the AclEntry table), the names of its named lists
// together with the option words of its rules (the AclName table), and the
// annotation: every line of the text repeated as understood, with "OK" or an
// error message behind it.
//
// The entry at index entryCount() is the *current entry*: the parsers write
// the statement being read into it, and committing it makes it a rule or a
// rejected line. Between lines it carries the open list (acl_no and type).
//
// Both tables start with kInitialTableSize records and grow when a
// configuration needs more, so no configuration is refused for its size.
#ifndef DORVEX_PARSER_ACL_CONFIG_H_
#define DORVEX_PARSER_ACL_CONFIG_H_

#include <cstddef>
#include <string_view>
#include <vector>

#include "parser/acl_entry.h"
#include "text/line_format.h"
#include "text/text_cursor.h"

namespace dorvex {

// Longest name a name record holds.
constexpr int kNameLength = 25;

// One name record: a list name, an option word, or the empty name that ends
// a rule's option words.
struct AclName {
  char name[kNameLength + 1] = {};
  int unsupported = 0;  // 1 for an option word that was not recognised
  int length = 0;       // bytes of `name`, kept for nameView()
};

// Most words of one statement line.
constexpr int kMaxWords = 15;

// The words of one statement line as splitLine() leaves them. Every position
// from the line's last word on, up to and past kMaxWords, reads as empty.
class WordRow {
 public:
  const char* at(int index) const {
    return index >= 0 && index <= kMaxWords ? slots + kWordSize * index : "";
  }
  // The word at `index` as a view, with the length that splitFrom()
  // measured, so that no word is measured again.
  // REQUIRES: the row was last filled by splitFrom().
  std::string_view view(int index) const {
    return index >= 0 && index <= kMaxWords
               ? std::string_view(slots + kWordSize * index, static_cast<std::size_t>(sizes[index]))
               : std::string_view();
  }
  bool isEmpty(int index) const { return at(index)[0] == '\0'; }
  char* data() { return slots; }
  // Splits the current line of `input` into the row (TextCursor::splitLine
  // with kMaxWords), keeping the word lengths for view().
  bool splitFrom(TextCursor& input, const char* separators) {
    return input.splitLine(slots, sizes, kMaxWords, separators);
  }

 private:
  char slots[kWordSize * (kMaxWords + 1)] = {};
  int sizes[kMaxWords + 1] = {};
};

class AclConfig {
 public:
  static constexpr int kInitialTableSize = 30000;
  static constexpr std::size_t kAnnotationSize = 2000000;

  AclConfig();
  AclConfig(const AclConfig&) = delete;
  AclConfig& operator=(const AclConfig&) = delete;
  virtual ~AclConfig() = default;

  // Prepares a check of `text` (up to its first NUL): every entry and name
  // back to its reset value, both counts 0, the input cursor holding a copy
  // of the text at line 1, a fresh empty annotation. Without `annotate`,
  // checkConfig() leaves the annotation empty; the entries and names are the
  // same either way. False when a buffer cannot be obtained.
  bool reset(std::string_view text, bool annotate = true);

  // Parses the whole input text line by line, filling the entry table, the
  // name table and the annotation. REQUIRES: reset() has run. Returns true.
  bool checkConfig();

  // Appends a name record and returns its index; -1, nothing stored, when
  // `text` is longer than kNameLength bytes. Never searches the table.
  int addName(std::string_view text, int unsupported);
  // Copies the record at `index` out; `text` must hold kNameLength + 1 bytes.
  // False, outputs untouched, when `index` is not a record in use.
  bool nameAt(int index, char* text, int& unsupported) const;
  // The name at `index`, or the empty text outside the records in use.
  std::string_view nameView(int index) const {
    if (index < 0 || index >= nameCount_) return {};
    return std::string_view(names[index].name, static_cast<std::size_t>(names[index].length));
  }
  int nameCount() const { return nameCount_; }

  // The entry at `index`, the current entry (index entryCount()) included;
  // nullptr outside 0 to entryCount().
  const AclEntry* entryAt(int index) const {
    return index < 0 || index > entryCount_ ? nullptr : &entries[index];
  }
  int entryCount() const { return entryCount_; }
  // ORs `bits` into the flags of the entry at `index`; false outside 0 to
  // entryCount().
  bool markEntry(int index, unsigned bits) {
    if (index < 0 || index > entryCount_) return false;
    entries[index].flags |= bits;
    return true;
  }

  // Copies the annotation and its NUL into `buffer` iff it fits `capacity`;
  // otherwise `buffer` is left as it was.
  void copyAnnotation(char* buffer, std::size_t capacity) const;
  std::string_view annotationText() const { return annotation.view(); }

  // The configuration text under check; the summary listing reads it again.
  TextCursor& inputText() { return input; }

  // Record-level steps on the current entry.
  AclEntry& current() { return entries[entryCount_]; }
  void setRuleKind(int kind) { current().type = kind; }
  void commitInError();
  void commitUnsupported();
  void commit();
  // After a commit: the new current entry takes acl_no and type of the entry
  // just committed, so the open list stays open.
  void carryListContext();

  // Operand parsers. Each works on the current entry and advances wordIndex
  // past what it accepted. A false result means the line is already
  // finished: the entry is committed in error and "Err(%d):\"%s\"\r\n"
  // appended, so the caller appends nothing more for the line. What they
  // append goes to the line's annotation in `scratch`, which checkConfig()
  // appends to the annotation text once the line is parsed.

  // "permit" or "deny" into `permission`.
  bool parsePermission(const WordRow& words, int& wordIndex);
  // "any", "host" a.b.c.d, or a.b.c.d w.x.y.z into `address` and `wildcard`,
  // two address fields of the current entry.
  bool parseAddress(const WordRow& words, int& wordIndex, unsigned char (&address)[4],
                    unsigned char (&wildcard)[4]);
  // A protocol number or keyword into `protocol_no`.
  bool parseProtocol(const WordRow& words, int& wordIndex);
  // An optional port operand ("eq", "gt", "lt", "neq" one port, "range" two)
  // into three port fields of the current entry. True, consuming nothing,
  // when no operator stands at wordIndex or the protocol is neither TCP nor
  // UDP.
  bool parsePort(const WordRow& words, int& wordIndex, int& portType, int& portLow,
                 int& portHigh);
  // True and the port of `word` in the port-name table of the current
  // entry's protocol (6 TCP, 17 UDP); false otherwise, `number` unchanged.
  bool lookupPort(std::string_view word, int& number);
  // Takes every remaining word as an option word of the rule. Returns true.
  bool parseOptions(const WordRow& words, int& wordIndex);

 private:
  // Commits the current entry in error and appends "Err(%d):\"%s\"\r\n" for
  // the word at `wordIndex`. Returns false, for the parsers to pass on.
  bool rejectWord(const WordRow& words, int wordIndex);
  void note(std::string_view text) { scratch.text(text); }

  void parseLine(const WordRow& words);
  void parseNumberedRule(const WordRow& words);
  void parseListOpening(const WordRow& words);
  void parseListRule(const WordRow& words);
  void parseStandardRule(const WordRow& words, int& wordIndex);
  void parseExtendedRule(const WordRow& words, int& wordIndex);
  // Operands of an extended rule after the permission, up to the
  // destination port; false when one was rejected.
  bool parseExtendedOperands(const WordRow& words, int& wordIndex);
  bool parseListNumberOrName(const WordRow& words, int& wordIndex);
  // True iff no word stands at wordIndex; otherwise the line is rejected
  // with its first extra word.
  bool endCheck(const WordRow& words, int wordIndex);

  TextCursor annotation;
  // The annotation of the line being parsed is put together here, piece by
  // piece, and appended to `annotation` once the line is done.
  LineFormatter scratch;
  // The committed entries and, last, the current one; room for
  // kInitialTableSize records is set aside, and both tables grow past it.
  std::vector<AclEntry> entries;
  int entryCount_ = 0;
  std::vector<AclName> names;  // exactly the nameCount_ records in use
  int nameCount_ = 0;
  TextCursor input;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_ACL_CONFIG_H_
