// What a revision of an access list changes: every packet the old list and
// the new list decide differently, as pairs of deciding lines.
//
// For a pair (old line, new line), the end of a list counting as its
// implicit deny (line 0), the pair's region is the packets that line
// decides in the old list and that line decides in the new one. The pairs
// reported are those whose actions differ and whose region is not empty;
// together they hold every packet whose decision changed, and nothing else.
// Each carries one packet of its region.
//
// How: rules of the two lists with the same action and the same packets,
// whatever their spelling, are aligned in order (a shortest edit script);
// a packet that matches no rule left unaligned meets the same rules in the
// same order in both lists, so only the packets of the unaligned rules are
// looked at, over the rules that meet them (the index of list_cover.h).
// Every set is a decision diagram (header_space.h): exact, whatever masks,
// ranges or groups.
//
// A rule not exactly known (list_cover.h) may match an unknown part of its
// packets. A packet whose decision is the same whichever way such rules
// read is decided; one that changes only under some reading is left out of
// the pairs, and the rule it depends on is named in `undecided`.
#ifndef DORVEX_SPACE_LIST_DIFF_H_
#define DORVEX_SPACE_LIST_DIFF_H_

#include <string>
#include <vector>

#include "space/rule_list.h"

namespace dorvex {

struct Difference {
  int old_line = 0;  // 0: the implicit deny
  int new_line = 0;
  Action old_action = Action::deny;
  Action new_action = Action::deny;
  Packet witness;  // a packet of the pair's region
};

struct ListChanges {
  // By old line, then new line (the implicit deny last in each).
  std::vector<Difference> differences;
  // Rules not exactly known that some change may depend on.
  struct Doubt {
    bool newer = false;  // a rule of the new list, else of the old one
    const CoverRule* rule = nullptr;
  };
  std::vector<Doubt> undecided;
  // Not empty when the memory guard stopped the comparison: why, with its
  // figures. Nothing else is then reported.
  std::string guard;
  bool changed() const { return !differences.empty() || !undecided.empty() || !guard.empty(); }
};

ListChanges compareLists(const RuleList& older, const RuleList& newer,
                         const CoverLimits& limits = {});

}  // namespace dorvex

#endif  // DORVEX_SPACE_LIST_DIFF_H_
