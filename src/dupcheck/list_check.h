// ListCheck: the checks that read access lists in order, as a device does:
// the duplication check in the list cover (Cover::list), and the within
// analysis of one configuration's lists (below).
//
// The list cover: Each list of the setting config is held against the
// source config's list of the same name (or number), read in order: the
// first rule that matches a packet decides it, and a packet no rule matches
// is denied. A setting rule is covered when that list gives its action to
// every packet that reaches it in its own list (the packets it decides
// there; list_cover.h decides, over the packets of rule_boxes.h).
//
// Every setting rule the parser read gets a verdict, in table order, and
// the details text one line or more:
//
//   covered:        " ACL=<list> source-row=<line> setting-row=<line> \r\n"
//                   for each source line that decides some of its packets,
//                   in order, "source-row=implicit-deny" for the end of
//                   the list
//   not covered:    " ACL=<list> source-row=<line> setting-row=<line>
//                   not-covered by=<permit|deny> witness=<packet>\r\n" with
//                   the line (or implicit-deny) that decides the witness
//                   packet the other way
//   undecided:      " ACL=<list> setting-row=<line> undecided reason=<why>\r\n"
//   unreachable:    " ACL=<list> setting-row=<line> unreachable\r\n": no packet
//                   reaches the rule in its own list
//   no source list: " ACL=<list> setting-row=<line> no-source-list\r\n"
//
// A covered setting rule is marked D, and so is each source rule that
// decides some of its packets. Source entries of a list that were not read
// stand in their place for an unknown part of every packet, so that a verdict
// that depends on them is undecided, never guessed.
#ifndef DORVEX_DUPCHECK_LIST_CHECK_H_
#define DORVEX_DUPCHECK_LIST_CHECK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dupcheck/access_lists.h"
#include "space/list_cover.h"
#include "space/list_within.h"
#include "dupcheck/pair_test.h"
#include "parser/acl_config.h"
#include "text/text_cursor.h"

namespace dorvex {

enum class ListVerdictKind { covered, notCovered, undecided, noSourceList, unreachable };

// The verdict of one setting rule.
struct ListVerdict {
  int settingEntry = -1;
  ListVerdictKind kind = ListVerdictKind::noSourceList;
  // The engine's answer; deciding_lines, witness and reason as it gives
  // them (empty for noSourceList).
  Verdict verdict;
};

// Checks every setting rule as above, appending the details lines to
// `details`, each (deciding source rule, covered setting rule) pair to
// `pairs` and each verdict to `verdicts` when given. Returns the number of
// covered setting rules.
// REQUIRES: both configurations are parsed (AclConfig::checkConfig()).
long long checkListCover(AclConfig& source, AclConfig& setting, TextCursor& details,
                         std::vector<DuplicatePair>* pairs, std::vector<ListVerdict>* verdicts);

// What the within analysis found of a whole list, in a configuration that
// says where it uses lists (one use at least): a use of a list it does not
// define (on many devices: no filtering at all), a list it never uses.
enum class ListFault : std::uint8_t { none, undefinedReference, unusedList };

// What the within analysis found of one line of a configuration's list, or
// of a whole list (`fault`).
struct WithinFinding {
  int entry = -1;  // the line's entry; -1 for a list fault
  // unreachable: every packet it matches is decided by earlier lines;
  // redundant: later lines (or the implicit deny) would decide the packets
  // that reach it alike; undecided: which depends on traffic not exactly
  // known (only for lines that were read).
  FindingKind kind = FindingKind::undecided;
  // unreachable: the blocking lines, a small set found greedily, largest
  // overlap first; redundant: the deciding lines in order, 0 for the
  // implicit deny.
  std::vector<int> lines;
  int conflictingLine = 0;  // unreachable: the largest blocker of the other action, or 0
  std::string reason;       // undecided: why
  // unreachable, redundant: in the list's set of lines that can all be
  // removed together with no decision changed (removal_set.h).
  bool safeToRemove = false;
  ListFault fault = ListFault::none;
  // The list, and the line: the finding's, the line of an undefined
  // reference, the first line of an unused list.
  ListKey list;
  int line = 0;
  // The uses of the list, as indices into AclConfig::uses(); of an
  // undefined reference, that use.
  std::vector<int> uses;
};

// The within analysis of every list of `config` on its own, read as the
// list cover reads a source list. Appends one details line per finding to
// `details`, the configuration named by `which` ("source", "setting"):
//
//   " ACL=<list> config=<which> row=<line> unreachable blocking-rows=<l>,<l>
//   [conflicting-row=<l>]\r\n"
//   " ACL=<list> config=<which> row=<line> redundant deciding-rows=<l>,...\r\n"
//   (implicit-deny for the end of the list)
//   " ACL=<list> config=<which> row=<line> undecided reason=<why>\r\n"
//
// When the configuration uses a list anywhere, each of these lines ends in
// " use=<use>, <use>..." (describeUse(), and " (not packet filtering)"
// when no use filters packets) or " use=none"; each list never used gets
//
//   " ACL=<list> config=<which> row=<its first line> unused-list\r\n"
//
// before the lines of its own, and each use of a list not defined, after
// every list,
//
//   " ACL=<list> config=<which> row=<line> undefined-reference use=<use>\r\n".
//
// Appends each finding to `findings` when given. Returns the number of
// lines found unreachable or redundant, and of lists unused or undefined.
// REQUIRES: config is parsed (AclConfig::checkConfig()).
long long analyseWithin(const AclConfig& config, std::string_view which, TextCursor& details,
                        std::vector<WithinFinding>* findings);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_LIST_CHECK_H_
