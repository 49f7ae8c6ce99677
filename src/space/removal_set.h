// Which of a list's unreachable and redundant lines can be removed all
// together. Each such line alone changes no packet's decision when it
// goes, but two may lean on each other: in a list of `eq 1`, `gt 5`,
// `lt 10`, `neq 15` (all permits), each is redundant beside the others,
// and removing all of them denies what only they permitted.
#ifndef DORVEX_SPACE_REMOVAL_SET_H_
#define DORVEX_SPACE_REMOVAL_SET_H_

#include <vector>

#include "space/rule_list.h"

namespace dorvex {

// A line within() found unreachable or redundant: its position, and the
// positions of the lines its finding leans on (the blocking lines of an
// unreachable one, the deciding lines of a redundant one; a list's implicit
// rules, which never go, need not be named).
struct RemovalCandidate {
  int position = 0;
  bool unreachable = false;
  std::vector<int> leansOn;
};

// A set of the candidates whose rules can all leave `list` at once with no
// packet decided otherwise, as true at their indexes of `order`. Built
// greedily in `order` (a caller puts the unreachable lines first: they
// decide nothing, so their removal never matters): a rule joins when, in
// the list without those already chosen, no packet reaches it or every
// packet that does is decided alike by the rules after it. Its finding
// still holds there, and no diagram is asked, when none of the lines it
// leans on has gone and, for a redundant one, no earlier line that may
// have decided some of its packets has; else the diagrams answer, over a
// rule's neighbourhood of at most 256 rules that meet it (a rule meeting
// more is not offered). Never a rule not exactly known, nor the list's
// last line standing. Unless `verify` is false, the set of a list of up to
// 2,000 rules is verified at the end by compareLists() (the list against
// the list without it); should that find a difference, no rule is chosen.
// Throws SpaceExhausted past limits.maxNodes.
std::vector<bool> removableTogether(const RuleList& list,
                                    const std::vector<RemovalCandidate>& order,
                                    const CoverLimits& limits = {}, bool verify = true);

}  // namespace dorvex

#endif  // DORVEX_SPACE_REMOVAL_SET_H_
