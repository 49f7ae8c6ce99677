// The exact path of the list cover (list_cover.h) over decision diagrams
// (header_space.h): every question asked inside one rule's packets, over
// the rules the index names, with no pieces to count. The box walks of
// list_cover.cpp answer first, being fastest on the lists seen in the
// field; this path answers where they would fragment past their budget and
// for rules with groups (BoxProduct), which it never multiplies out.
#ifndef DORVEX_SPACE_DIAGRAM_COVER_H_
#define DORVEX_SPACE_DIAGRAM_COVER_H_

#include <optional>
#include <string>
#include <vector>

#include "space/header_space.h"
#include "space/list_cover.h"
#include "space/list_within.h"

namespace dorvex {

// The list as sets: each rule's packets (upper: all it may match; lower:
// those it surely matches, empty for a rule not exactly known). Every
// question is then asked inside one rule's packets, over the rules the
// index names: the sets stay as small as that rule's share of the list.
struct RuleList::Sets {
  explicit Sets(std::size_t maxNodes) : space(maxNodes) {}

  // Starts a question: no answer keeps a node of its own, so the nodes of
  // earlier questions may go. They stay while they hold an eighth of the
  // guard at most: neighbouring rules, asked one after the other, share
  // much of their work through them and the operation cache, and a
  // question still has the rest of the guard.
  void scratch() {
    if (space.sets().nodeCount() > mark + budget / 8) space.sets().truncate(mark);
  }

  // The unions of the sets of the rules before k * kStride, made in order
  // as far as asked (prefixUpTo()) and while they stay within a share of
  // the guard: a line whose every earlier rule meets it (nested ranges)
  // then costs a stride of unions, not its position in the list. Index k
  // of `lowerBefore` and `upperBefore`; their nodes stay with the list.
  static constexpr int kStride = 64;
  static constexpr std::size_t kGrowth = 8;  // nodes a rule, at most, or the prefixes stop
  std::vector<Node> lowerBefore{DecisionDiagram::kNone}, upperBefore{DecisionDiagram::kNone};
  bool prefixesStopped = false;
  // The largest k with k * kStride <= position that the share allows.
  std::size_t prefixUpTo(int position);

  HeaderSpace space;
  std::vector<Node> upper, lower;
  std::size_t mark = 0;
  std::size_t budget = 0;  // the whole guard
  std::size_t prefixNodes = 0;
};

// The packets of `rule`: the union of its boxes and of its products.
Node ruleSetOf(HeaderSpace& space, const CoverRule& rule);

// A list's rules with their sets: upper, all a rule may match; lower, those
// it surely matches (empty for a rule not exactly known).
struct RuleSets {
  const std::vector<CoverRule>& rules;
  const std::vector<Node>& upper;
  const std::vector<Node>& lower;
};

// What the rules at `positions` (ascending) do to the packets of `region`:
// those they surely and possibly permit (a packet no rule matches is
// denied), and those a rule not exactly known may match first.
// With `stopOnOther`, the rules are read only until some packet is surely
// decided against that action (`partial`): the sets then hold for the
// packets the rules read surely match (`matched`).
struct Outcome {
  Node permitLo = DecisionDiagram::kNone, permitHi = DecisionDiagram::kNone;
  Node unknown = DecisionDiagram::kNone;
  Node matched = DecisionDiagram::kNone;
  bool partial = false;
};
Outcome outcomeOf(DecisionDiagram& dd, const RuleSets& sets, const std::vector<int>& positions,
                  Node region, const Action* stopOnOther = nullptr);

// The union of `of[p]` for p in `positions`, each cut to `region`.
Node unionWithin(DecisionDiagram& dd, const std::vector<int>& positions,
                 const std::vector<Node>& of, Node region);

// verdict() by the diagrams: undecided only for traffic not exactly known,
// or past the memory guard (the reason then names it with its figures).
// With `within`, only the setting rule's packets in `within->reach` are
// judged, and a witness is never one of `within->unknown` (packets an
// earlier rule not exactly known may take; `why` names it). Both are sets
// of `within->space`. With `undecidedLines` false an undecided verdict
// names no deciding lines, which cost a walk of every rule it meets.
struct Reach {
  const DecisionDiagram* space = nullptr;
  Node reach = DecisionDiagram::kNone;
  Node unknown = DecisionDiagram::kNone;
  std::string why;
};
Verdict diagramVerdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits,
                       const Reach* within = nullptr, bool undecidedLines = true);
// verdictInList() by the diagrams; `earlier` are the positions of the
// rules before it in `settings` that meet it.
Verdict diagramVerdictInList(const RuleList& source, const RuleList& settings, int position,
                             const std::vector<int>& earlier, const CoverLimits& limits);
// Whether some packet reaches the rule at `position` of `list`: no rule
// exactly known at `earlier` (the positions before it that meet it) takes
// it, nor any rule of `also` (rules of another list, exactly known); with
// `inside`, some packet of that rule too. Such a packet into `witness` when
// given. nullopt past the memory guard.
std::optional<bool> diagramReaches(const RuleList& list, int position,
                                   const std::vector<int>& earlier, const CoverLimits& limits,
                                   const std::vector<const CoverRule*>& also = {},
                                   const CoverRule* inside = nullptr, Packet* witness = nullptr);
// Why the memory guard stopped a question, with its figures.
std::string guardReason(const SpaceExhausted& e);
// The first rule not exactly known among `positions` (ascending) whose
// packets meet `set`: why an answer about `set` depends on unknown traffic.
std::string unknownAmong(const RuleList& list, RuleList::Sets& sets,
                         const std::vector<int>& positions, Node set);
// The lines among `positions` (ascending) that decide some packet of
// `set`, in order, 0 last when the implicit deny does.
std::vector<int> decidingLines(const RuleList& list, RuleList::Sets& sets,
                               const std::vector<int>& positions, Node set);

// The finding of the line at `position` of within() by the diagrams
// (diagram_within.cpp).
std::optional<Finding> diagramJudge(const RuleList& list, int position, const CoverLimits& limits);

}  // namespace dorvex

#endif  // DORVEX_SPACE_DIAGRAM_COVER_H_
