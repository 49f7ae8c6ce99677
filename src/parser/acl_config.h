// AclConfig: one configuration under check (the source config or the setting
// config). It holds the configuration text while it is read, the access-list
// rules parsed from it (the AclEntry table), the names of its named lists
// together with the option words of its rules (the AclName table), and the
// annotation: every line of the text repeated as understood, with "OK" or an
// error message behind it.
//
// The statement parser (statement_parser.h) fills the tables and writes the
// annotation; AclConfig holds them and the steps by which any parser fills
// the entry table alike.
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
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/acl_entry.h"
#include "parser/check_modes.h"
#include "parser/list_uses.h"
#include "parser/rule_match.h"
#include "parser/rule_options.h"
#include "text/text_cursor.h"

namespace dorvex {

// Longest name a name record holds in the classic syntax; in the full
// syntax a name has no such limit.
constexpr int kNameLength = 25;

// One name record: a list name, an option word, or the empty name that ends
// a rule's option words. A name longer than kNameLength bytes (full syntax
// only) is kept apart, and `name` holds its first kNameLength bytes.
struct AclName {
  char name[kNameLength + 1] = {};
  int unsupported = 0;  // 1 for an option word that was not recognised
  int length = 0;       // bytes of the whole name, kept for nameView()
  int longIndex = -1;   // its place among the long names, or -1
};

// One line of a configuration as the parse left it, so that every text
// written about the line later (summary, JSON, the panes) reads it from
// here rather than splitting or parsing a text again.
struct LineRecord {
  std::size_t textStart = 0;   // the line's first byte in the input text
  std::size_t textLength = 0;  // its bytes up to its LF (a CR before it included)
  // Its annotation, after the "%03d: " number and before the CR LF that
  // ends it; empty when the parse did not annotate.
  std::size_t annotationStart = 0;
  std::size_t annotationLength = 0;
  int entry = -1;  // the entry the line committed, or -1
};

// What the parse of one configuration read: counted by line, so that a
// front end can say whether rules were lost. A line "looks like an
// access-list statement" when its first word, after a sequence number in
// the full syntax, is "access-list", "permit" or "deny", or its first two
// words are "ip access-list" (or "ipv6 access-list").
// A line that opened a list ("ip access-list extended NAME", "ipv6
// access-list NAME", a listing's header) or a remark of a numbered list
// ("access-list 10 remark ..."), in the full syntax: a list's first line
// when it comes before its rules.
struct ListOpening {
  int line = 0;
  int aclNo = kNotSet;  // as its rules carry it
  int type = kNotSet;   // kStandardRule, kExtendedRule or kIpv6Rule
};

struct ReadCounts {
  int rules = 0;               // rules read: entries neither in error nor left unread
  int notRead = 0;             // access-list lines in error ("E")
  int unsupported = 0;         // entries with the unsupported bit ("U"), read or not
  int unsupportedNotRead = 0;  // of those, the access-list lines not read
  // True iff some line that looks like an access-list statement was not read.
  bool anyNotRead() const { return notRead > 0 || unsupportedNotRead > 0; }
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
  // of the text at line 1, a fresh empty annotation, the read counts 0.
  // Without `annotate`, checkConfig() leaves the annotation empty; the
  // entries and names are the same either way. checkConfig() reads the text
  // in `syntax`. Returns true; throws as TextCursor does when a buffer
  // cannot be had.
  bool reset(std::string_view text, bool annotate = true, Syntax syntax = Syntax::classic);

  // Parses the whole input text line by line, filling the entry table, the
  // name table, the typed options, the read counts and the annotation (a
  // StatementParser over this config, in the syntax the last reset() gave).
  // REQUIRES: reset() has run. Returns true; throws std::length_error for a
  // text of more lines than an entry can number.
  bool checkConfig();

  // The name this configuration's lines go by in reasons ("setting.cfg"
  // in "setting.cfg:12 not read"); empty for none. reset() keeps it.
  void setFileName(std::string_view name) { fileName_ = name; }
  std::string_view fileName() const { return fileName_; }

  // Every line the last checkConfig() read, in order: line n at n - 1.
  const std::vector<LineRecord>& lines() const { return lineRecords; }
  // The text and the annotation of `line`, a record of lines().
  std::string_view lineText(const LineRecord& line) const {
    return input.view().substr(line.textStart, line.textLength);
  }
  // The same without one CR before its LF: the line as a document shows it.
  std::string_view lineShown(const LineRecord& line) const {
    std::string_view text = lineText(line);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
  }
  std::string_view lineAnnotation(const LineRecord& line) const {
    return annotation.view().substr(line.annotationStart, line.annotationLength);
  }
  // Used by the statement parser.
  void addLine(const LineRecord& line) { lineRecords.push_back(line); }
  // Records the lines of the input text from its position to its end, as
  // lines that committed nothing, unannotated; leaves the input at its end,
  // as a parse does. For a text listed without a parse.
  void recordRemainingLines();

  // Where the last checkConfig() found lists used, and the lines that
  // opened lists, in order (full syntax only; list_uses.h).
  const std::vector<ListUse>& uses() const { return listUses; }
  const std::vector<ListOpening>& openings() const { return listOpenings; }
  // Used by the statement parser.
  std::vector<ListUse>& usesToFill() { return listUses; }
  void addOpening(const ListOpening& opening) { listOpenings.push_back(opening); }

  // What the last checkConfig() read, for the front ends to report.
  const ReadCounts& readCounts() const { return counts; }
  // Used by the statement parser.
  void setReadCounts(const ReadCounts& read) { counts = read; }

  // Appends a name record and returns its index; -1, nothing stored, when
  // `text` is longer than kNameLength bytes and the syntax is classic.
  // Never searches the table.
  int addName(std::string_view text, int unsupported);
  // Copies the record at `index` out; `text` must hold kNameLength + 1 bytes.
  // False, outputs untouched, when `index` is not a record in use.
  bool nameAt(int index, char* text, int& unsupported) const;
  // The name at `index`, or the empty text outside the records in use.
  std::string_view nameView(int index) const {
    if (index < 0 || index >= nameCount_) return {};
    const AclName& record = names[index];
    if (record.longIndex >= 0) return longNames[static_cast<std::size_t>(record.longIndex)];
    return std::string_view(record.name, static_cast<std::size_t>(record.length));
  }
  int nameCount() const { return nameCount_; }

  // The entry at `index`, the current entry (index entryCount()) included;
  // nullptr outside 0 to entryCount().
  const AclEntry* entryAt(int index) const {
    return index < 0 || index > entryCount_ ? nullptr : &entries[index];
  }
  int entryCount() const { return entryCount_; }
  // The typed options of the entry at `index` (rule_options.h), as for
  // entryAt(); every entry has them, at their reset values without options.
  const RuleOptions* optionsAt(int index) const {
    if (index < 0 || index > entryCount_) return nullptr;
    const int at = optionsIndex[static_cast<std::size_t>(index)];
    return at < 0 ? &kNoOptions : &optionsTable[static_cast<std::size_t>(at)];
  }
  // The RuleMatch of the entry at `index` (rule_match.h), or nullptr when
  // its classic fields say all it matches, or outside 0 to entryCount().
  const RuleMatch* matchAt(int index) const {
    if (index < 0 || index > entryCount_) return nullptr;
    const int at = matchIndex[static_cast<std::size_t>(index)];
    return at < 0 ? nullptr : &matchTable[static_cast<std::size_t>(at)];
  }
  // Gives the current entry `match`. Used by the statement parser.
  void attachMatch(RuleMatch match) {
    matchIndex.back() = static_cast<int>(matchTable.size());
    matchTable.push_back(std::move(match));
  }
  // ORs `bits` into the flags of the entry at `index`; false outside 0 to
  // entryCount().
  bool markEntry(int index, unsigned bits) {
    if (index < 0 || index > entryCount_) return false;
    entries[index].flags |= bits;
    return true;
  }
  // Sets the sequence number of the committed entry at `index`; false
  // outside 0 to entryCount() - 1. Used by the statement parser.
  bool setSequence(int index, long long sequence) {
    if (index < 0 || index >= entryCount_) return false;
    entries[index].sequence = sequence;
    return true;
  }
  // The syntax the last reset() said to read.
  Syntax syntaxRead() const { return syntax; }

  // Copies the annotation and its NUL into `buffer` iff it fits `capacity`;
  // otherwise `buffer` is left as it was.
  void copyAnnotation(char* buffer, std::size_t capacity) const;
  std::string_view annotationText() const { return annotation.view(); }
  // Where the annotation is written: nullptr when the last reset() was told
  // not to annotate, or failed. The cursor is only appended to.
  TextCursor* annotationOutput() { return annotating ? &annotation : nullptr; }

  // The configuration text under check; the summary listing reads it again.
  TextCursor& inputText() { return input; }

  // Record-level steps on the current entry.
  AclEntry& current() { return entries[entryCount_]; }
  // The current entry's options, made when first asked for: most rules
  // have none, and a record for each would cost every parse.
  RuleOptions& currentOptions() {
    if (optionsIndex.back() < 0) {
      optionsIndex.back() = static_cast<int>(optionsTable.size());
      optionsTable.emplace_back();
    }
    return optionsTable[static_cast<std::size_t>(optionsIndex.back())];
  }
  void setRuleKind(int kind) { current().type = kind; }
  void commitInError();
  void commitUnsupported();
  // Commits with kUnsupportedBit and kNotReadBit: a statement of a form
  // that is recognised but not read, so never compared.
  void commitUnread();
  void commit();
  // After a commit: the new current entry takes acl_no and type of the entry
  // just committed, so the open list stays open.
  void carryListContext();

 private:
  std::string fileName_;
  TextCursor annotation;
  // Whether checkConfig() writes the annotation, and in which syntax it
  // reads, as the last reset() said.
  bool annotating = false;
  Syntax syntax = Syntax::classic;
  ReadCounts counts;
  // The committed entries and, last, the current one; room for
  // kInitialTableSize records is set aside, and both tables grow past it.
  std::vector<AclEntry> entries;
  int entryCount_ = 0;
  std::vector<LineRecord> lineRecords;
  std::vector<ListUse> listUses;
  std::vector<ListOpening> listOpenings;
  // Per entry, the current one last: its place in optionsTable, or -1 for
  // none (kNoOptions).
  std::vector<int> optionsIndex;
  std::vector<RuleOptions> optionsTable;
  static const RuleOptions kNoOptions;
  // Per entry, the current one last: its place in matchTable, or -1.
  std::vector<int> matchIndex;
  std::vector<RuleMatch> matchTable;
  std::vector<AclName> names;  // exactly the nameCount_ records in use
  // The names longer than kNameLength bytes; a deque, so that a view of
  // one stays valid while more are added.
  std::deque<std::string> longNames;
  int nameCount_ = 0;
  TextCursor input;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_ACL_CONFIG_H_
