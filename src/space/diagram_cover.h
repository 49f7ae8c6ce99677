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

#include "space/list_cover.h"

namespace dorvex {

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
// of `within->space`.
struct Reach {
  const DecisionDiagram* space = nullptr;
  Node reach = DecisionDiagram::kNone;
  Node unknown = DecisionDiagram::kNone;
  std::string why;
};
Verdict diagramVerdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits,
                       const Reach* within = nullptr);
// verdictInList() by the diagrams; `earlier` are the positions of the
// rules before it in `settings` that meet it.
Verdict diagramVerdictInList(const RuleList& source, const RuleList& settings, int position,
                             const std::vector<int>& earlier, const CoverLimits& limits);
// The finding of the line at `position` of within() by the diagrams.
std::optional<Finding> diagramJudge(const RuleList& list, int position, const CoverLimits& limits);

}  // namespace dorvex

#endif  // DORVEX_SPACE_DIAGRAM_COVER_H_
