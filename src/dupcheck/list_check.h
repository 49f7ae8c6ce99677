// ListCheck: the duplication check in the list cover (Cover::list), the
// order-aware one. Each list of the setting config is held against the
// source config's list of the same name (or number), read in order: the
// first rule that matches a packet decides it, and a packet no rule matches
// is denied. A setting rule is covered when that list gives its action to
// every packet it matches (list_cover.h decides, over the packets of
// rule_boxes.h).
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
//   no source list: " ACL=<list> setting-row=<line> no-source-list\r\n"
//
// A covered setting rule is marked D, and so is each source rule that
// decides some of its packets. Source entries of a list that were not read
// stand in their place for an unknown part of every packet, so that a verdict
// that depends on them is undecided, never guessed.
#ifndef DORVEX_DUPCHECK_LIST_CHECK_H_
#define DORVEX_DUPCHECK_LIST_CHECK_H_

#include <string>
#include <vector>

#include "dupcheck/list_cover.h"
#include "dupcheck/pair_test.h"
#include "parser/acl_config.h"
#include "text/text_cursor.h"

namespace dorvex {

enum class ListVerdictKind { covered, notCovered, undecided, noSourceList };

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

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_LIST_CHECK_H_
