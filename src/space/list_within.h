// within(): the lines of one list that no packet reaches (unreachable) or
// whose removal changes no decision (redundant), read in order as the
// order-aware cover reads a list (list_cover.h). Box walks and probes
// settle most lines; the decision diagrams (diagram_cover.h) the rest.
#ifndef DORVEX_SPACE_LIST_WITHIN_H_
#define DORVEX_SPACE_LIST_WITHIN_H_

#include <string>
#include <vector>

#include "space/rule_list.h"

namespace dorvex {

enum class FindingKind { unreachable, redundant, undecided };

struct Finding {
  int line = 0;
  FindingKind kind = FindingKind::undecided;
  // unreachable: earlier lines whose union holds all its packets, a small
  // set found greedily, largest overlap first. redundant: the later lines
  // (0 for the implicit deny) that decide its reaching packets, in order.
  std::vector<int> lines;
  // unreachable: of the earlier lines of the other action that decide some
  // of its packets, the one sharing the most packets with it; 0 when none.
  int conflicting_line = 0;
  std::string reason;  // undecided: why
};

// The flagged lines of `list`, in order:
// - unreachable: every packet the line may match is decided by earlier
//   lines (exact even for a line not exactly known);
// - redundant: some packets reach the line, and later lines (or the implicit
//   deny) decide every reaching packet with its action;
// - undecided: it would be one of those or not depending on traffic not
//   exactly known (an earlier or later rule's, or its own: a line not
//   exactly known that is reachable is always undecided), or the memory guard.
std::vector<Finding> within(const RuleList& list, const CoverLimits& limits = {});

}  // namespace dorvex

#endif  // DORVEX_SPACE_LIST_WITHIN_H_
