// The box walks the verdicts and the dead-line analysis share: a set of
// boxes cut by rules of a list, within a budget, and a probe packet's first
// matching rule. Internal to the engine.
#ifndef DORVEX_SPACE_BOX_WALKS_H_
#define DORVEX_SPACE_BOX_WALKS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "space/packet_space.h"
#include "space/rule_list.h"

namespace dorvex {

// Removes `rule`'s boxes from `set`; whether any met it.
bool removeRule(BoxSet& set, const CoverRule& rule, std::size_t& work);

// Probes per box of a line before any walk; the corners and a few more.
constexpr std::uint64_t kProbes = 8;

// The position (among `positions`, ascending) of the first rule other than
// `skip` that matches `p`, -1 for the implicit deny, or -2 when a rule not
// exactly known may match it first.
int firstMatch(const RuleList& list, const std::vector<int>& positions, const Packet& p, int skip);

enum class Rest { empty, nonempty, budget };

// Removes from `target` every rule at `positions`, the largest first, so
// that a rule holding all of it ends the work at once; `target` keeps the
// rest. The order does not change the rest, only the pieces on the way.
// When `keepRest` is false a probe packet of `target` outside every rule
// settles it as nonempty before anything is cut (`target` is then left
// whole); `outside`, when given, receives that packet.
Rest subtractAll(BoxSet& target, const RuleList& list, const std::vector<int>& positions,
                 const CoverLimits& limits, std::size_t& work, bool keepRest = false,
                 Packet* outside = nullptr);

// Which rules a difference takes away: every one, its known boxes whole
// (what is left then surely gets past them), or only those exactly known
// (what is left may get past).
enum class Cut { all, exactOnly };

std::vector<int> cutBy(const RuleList& list, std::vector<int> positions, Cut cut);

}  // namespace dorvex

#endif  // DORVEX_SPACE_BOX_WALKS_H_
