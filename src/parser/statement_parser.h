// StatementParser: the config check of one configuration. It reads the input
// text of an AclConfig line by line, recognises in each line one access-list
// statement (a numbered rule, a list opening, or a rule of the list opened
// last), records it in the entry table through the operand parsers
// (operand_parsers.h), and writes the annotation: every line repeated as
// understood, after its "%03d: " line number, followed by "OK\r\n" or an
// error message.
//
// The open list is carried from line to line in the current entry of the
// configuration (acl_no and type), not in the parser: a parser holds only
// the word row of the line being read and the annotation writer.
//
// In the full syntax (Syntax::full) a line is read as in the classic one,
// and these forms of running configurations are read as well:
// - a sequence number before "permit", "deny" and "remark" (" 10 permit ...");
// - remarks (" remark ...", " 10 remark ...", "access-list 101 remark ..."):
//   annotated Note:"remark", nothing committed, the open list stays open;
// - blank lines and lines starting with "!": Note:"blank" and
//   Note:"comment", nothing committed, the open list stays open;
// - prefixes a.b.c.d/n wherever an address with a wildcard stands;
//   "ip access-list NAME" without a kind opens an extended list;
// - in a standard rule, an address without a wildcard (a host) and a
//   trailing "log" or "log-input"; in an extended rule "log" and
//   "log-input" are understood option words, not unsupported ones (either
//   may take one argument word);
// - a line that is no access-list statement ("hostname", "interface ...")
//   gets Note:"not acl", commits nothing and closes the open list; the
//   error bit is kept for access-list statements that cannot be read;
// - forms that are recognised but not read are committed unread
//   (AclConfig::commitUnread(), never compared) with Unsupported:"REASON":
//   a rule whose object group or object is missing, cyclic or not read
//   (the reason names it), "firewall form" (its webtype and ethertype
//   lists), "reflexive evaluate" ("evaluate NAME", which keeps the list
//   open), "list entry" (a sequence number before any other word inside a
//   list), and "logging" or "log-update" for those list settings. A rule of
//   the open list left unread keeps it open;
// - object groups and objects (object_groups.h), defined anywhere in the
//   text: their lines are Note:"object-group" and Note:"group member", and
//   rules use them for addresses, services and ports ("object-group NAME",
//   "object NAME", "portgroup NAME");
// - IPv6 lists: "ipv6 access-list NAME" and its rules (kIpv6Rule), with
//   IPv6 prefixes, "host", "any", ports and ICMPv6 messages, and
//   "sequence N" before a rule;
// - device listings: "Standard IP access list N|NAME", "Extended IP access
//   list N|NAME", "IPv6 access list NAME" open the lists they show; their
//   rules' counts ("(12 matches)", "(hitcnt=3) 0x..."), a trailing
//   "sequence N" and ", wildcard bits W" are read as the plain rule;
// - the firewall form: "access-list NAME [line N] extended|standard
//   permit|deny ..." with subnet masks, "any" (both families), "any4",
//   "any6", "host", objects and object groups; each line names its list;
// - words of any length and lines of any number of words (word_row.h), list
//   names of any length (acl_config.h);
// - a protocol number above 255, a port above 65535 and a range whose bounds
//   are reversed are errors, where the classic syntax reads them;
// - sequence numbers order a list as a device does: each rule of a list
//   keeps the number written before it (" 10 permit", "sequence 10 permit",
//   a listing's trailing "sequence 10"), or takes the highest of its list so
//   far plus 10; a number its list has already is an error, the rule in no
//   list. A list re-opened later takes its rules in number order. An
//   unread list entry (" 10 dynamic ...") keeps its number, never refused.
//   The firewall form's "line N" is a position, not a number: its rules
//   are numbered in the order written.
// - where lists are used (list_uses.h): read from the lines that are no
//   access-list statement and kept in the config, which also keeps the
//   lines that opened lists; the annotation is the same.
// An erroneous rule of an open list keeps the list open in the full
// syntax, whatever its error. Each Note and Unsupported ends in "\r\n".
#ifndef DORVEX_PARSER_STATEMENT_PARSER_H_
#define DORVEX_PARSER_STATEMENT_PARSER_H_

#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "parser/acl_config.h"
#include "parser/check_modes.h"
#include "parser/list_uses.h"
#include "parser/object_groups.h"
#include "parser/operand_parsers.h"
#include "parser/word_row.h"
#include "text/text_cursor.h"
#include "text/text_writer.h"

namespace dorvex {

class StatementParser {
 public:
  // A parser that fills `config` and writes the annotation to `annotation`,
  // appending; nullptr discards the annotation (the tables are filled the
  // same either way). Both must outlive the parser, and nothing else may
  // use `annotation` until the parser is gone. It reads `syntax`.
  StatementParser(AclConfig& config, TextCursor* annotation, Syntax syntax = Syntax::classic);
  StatementParser(const StatementParser&) = delete;
  StatementParser& operator=(const StatementParser&) = delete;

  // Parses config.inputText() from its position to its end, one statement
  // per line; every line commits at most one entry, whose column is the
  // line's number. Leaves the counts of what was read in the config
  // (AclConfig::readCounts()). REQUIRES: config.reset() has run. Returns
  // true; throws std::length_error for a text of more lines than an int
  // numbers.
  bool parseAll();

 private:
  // The kinds of statement line. The classic syntax knows the first four
  // and tooManyWords; the full syntax all but tooManyWords, since its lines
  // have no word limit.
  enum class StatementKind {
    numberedRule,
    listOpening,
    listRule,
    notAcl,
    tooManyWords,
    remark,
    blank,
    comment,
    ipv6List,
    listEntry,
    listingOpening,
    listingHeader,
    evaluate,
    firewallRule,
    groupDefinition,
    groupMember,
  };
  // The kind of the line in `words`; `complete` is false for a classic line
  // of too many words. `first` is set to the word after a sequence number
  // at word 0 (full syntax), else 0.
  StatementKind classify(bool complete, int& first) const;

  // Each parses the line in `words` as its kind and writes its annotation up
  // to and including the "\r\n" that ends it; those with `first` start at
  // that word, 1 after a sequence number, else 0.
  void parseNumberedRule();
  void parseListOpening();
  void parseListRule(int first);
  void rejectNotAcl();
  void rejectTooManyWords();
  void noteRemark(int first);
  void parseIpv6Opening();
  void leaveListEntryUnread();
  void parseListingOpening();
  void leaveEvaluateUnread();
  void parseFirewallRule();
  // Closes the open list and notes the line.
  void noteOutsideList(std::string_view what);

  // Opens the IPv6 list named at wordIndex and ends the line.
  void openIpv6List(int wordIndex);
  // The list number of the firewall form's list `name`: one per name.
  int firewallListNumber(std::string_view name);
  // In the full syntax, reads a device listing's line as the plain rule:
  // drops its counts and a trailing "sequence N", joins ", wildcard bits".
  void normaliseListing();
  // The sequence numbers of one list (full syntax), as its rules took them.
  struct ListSequences {
    std::unordered_set<long long> used;
    long long highest = 0;
  };
  // The list of `entry`, as the order-aware checks key it (family, number or
  // name), or nullptr for an entry of no list.
  ListSequences* sequencesOf(const AclEntry& entry);
  // Gives the current entry the sequence number the line writes at word
  // first - 1 (or a listing's trailing one), if any. False when the number
  // is out of range or its list has it already: the line is then rejected
  // and the open list stays open.
  bool takeSequenceNumber(int first);
  // After the line committed the entry at `index`: numbers it when it has
  // no number and belongs to a list; unless it is in error, its list keeps
  // the number as used.
  void numberEntry(int index);

  // A service group or object in the protocol position (full syntax):
  // false when the line was finished.
  bool parseServiceOperand(int& wordIndex);

  // The rule after its list number or sequence number and permission:
  // commits it or rejects it. False iff extra words after a standard rule
  // rejected it, which in the classic syntax closes an open list.
  bool parseStandardRule(int& wordIndex);
  void parseExtendedRule(int& wordIndex);
  // Operands of an extended rule after the permission, up to the
  // destination port; false when one was rejected.
  bool parseExtendedOperands(int& wordIndex);
  // The list number or name of a list opening; false when the line was
  // rejected.
  bool parseListNumberOrName(int& wordIndex);
  // True iff no word stands at wordIndex; otherwise the line is rejected
  // with its first extra word.
  bool endCheck(int wordIndex);
  // Writes the sequence number at word 0 when `first` is past one.
  void writeSequenceNumber(int first);
  // Writes "Note:\"%s\"\r\n"; the line commits nothing.
  void note(std::string_view what);

  // Counts `entry`, which the line just parsed committed, when it is an
  // access-list statement in error or unsupported that kNotReadBit does not
  // tell apart.
  void countNotRead(const AclEntry& entry, ReadCounts& counts) const;
  // Counts the rules read, the unsupported entries and those left unread,
  // from the whole entry table.
  void countEntries(ReadCounts& counts) const;
  // Whether the line in `words` looks like an access-list statement
  // (ReadCounts).
  bool looksLikeAclStatement() const;

  bool full() const { return target.syntax == Syntax::full; }

  // The writer lives in the target, so that the operand parsers reach it
  // at a fixed offset: every piece of the annotation is written through it.
  ParseTarget target;
  AclConfig& config = target.config;
  TextWriter& out = target.out;
  WordRow words;
  ObjectGroups groups;
  UseReader uses;
  // Whether the line before opened or continued a definition of a group.
  bool inDefinition = false;
  std::unordered_map<std::string_view, int> firewallLists;
  // A device listing's trailing "sequence N" of the line being read.
  std::string_view listedSequence;
  // By family, number (-1 for a name) and name; a named list's entries
  // carry a fresh acl_no at each opening, all to one list here.
  std::map<std::tuple<bool, int, std::string>, ListSequences> sequenceLists;
  // The list sequencesOf() found last, by acl_no and family: rules of one
  // list mostly come together.
  struct {
    int aclNo = kNotSet;
    bool ipv6 = false;
    ListSequences* list = nullptr;
  } lastSequences;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_STATEMENT_PARSER_H_
