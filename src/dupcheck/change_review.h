// The change review: what a revision of a configuration changes, list by
// list, both ways (list_diff.h), written as details lines and records.
//
// Lists are matched by family and name (or number), each read in the order
// a device evaluates it (access_lists.h). For every list of either
// configuration:
//
//   " ACL=<list> old-row=<line> new-row=<line> newly permitted
//   witness=<packet>\r\n" (or "newly denied"; implicit-deny for the end of a
//   list) for each pair of deciding lines whose decisions differ;
//   " ACL=<list> list added lines=<n>\r\n", " ACL=<list> list removed
//   lines=<n>\r\n" for a list in one configuration only, never its pairs;
//   " ACL=<list> undecided reason=<file>:<line> <why>\r\n" for a line not
//   exactly known that some change depends on (or the memory guard).
#ifndef DORVEX_DUPCHECK_CHANGE_REVIEW_H_
#define DORVEX_DUPCHECK_CHANGE_REVIEW_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/acl_config.h"
#include "space/list_diff.h"
#include "text/text_cursor.h"

namespace dorvex {

struct ChangeRecord {
  enum class Kind { difference, listAdded, listRemoved, undecided };
  Kind kind = Kind::difference;
  // The list: "standard", "extended" or "ipv6"; a name, or a number (-1).
  const char* listKind = "extended";
  std::string name;
  int number = -1;
  bool ipv6 = false;
  Difference difference;  // difference
  int lines = 0;          // listAdded, listRemoved: the list's line count
  std::string reason;     // undecided
};

// Compares every list of `older` with its namesake in `newer`, appending the
// details lines to `details` and the records to `records` when given; the
// configurations' file names name lines in the reasons. Returns the number
// of lines written: 0 when no decision changed.
// REQUIRES: both configurations are parsed (AclConfig::checkConfig()).
long long reviewChanges(const AclConfig& older, const AclConfig& newer, TextCursor& details,
                        std::vector<ChangeRecord>* records);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_CHANGE_REVIEW_H_
