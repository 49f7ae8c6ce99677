// Which rules of two lists keep their order from one list to the other: a
// shortest edit script (Myers) over a sameness the caller gives. Both the
// change review and the list cover lean on it: a packet that matches only
// aligned rules meets the same rules in the same order in both lists.
#ifndef DORVEX_SPACE_RULE_ALIGNMENT_H_
#define DORVEX_SPACE_RULE_ALIGNMENT_H_

#include <functional>
#include <vector>

namespace dorvex {

struct Alignment {
  // For each rule of the first list, its partner's position in the second
  // (-1: unaligned); and the other way round.
  std::vector<int> ofFirst, ofSecond;
};

// A script longer than this is not looked for: past the lists' common start
// and end, the rest then stays unaligned (answers built on the alignment
// stay exact, only slower).
constexpr int kMaxAlignEdits = 2048;

// `same(i, j)`: rule i of the first list (of n) may stand for rule j of the
// second (of m).
Alignment alignRules(int n, int m, const std::function<bool(int, int)>& same);

}  // namespace dorvex

#endif  // DORVEX_SPACE_RULE_ALIGNMENT_H_
