// The order-aware cover of access lists, exact over the header space of
// packet_space.h: a list is read in order, the first rule that matches a
// packet decides it, and a packet no rule matches is denied (the implicit
// deny, named as line 0).
//
// verdict() and verdictInList(): whether a source list gives a setting
// rule's action to every packet the setting rule matches (or that reaches
// it in its own list); if not, one packet that shows it.
//
// A rule whose traffic is not exactly known (an option word not understood,
// a time-range) carries the part that is known: its boxes then hold every
// packet it may match, and it matches an unknown subset of them. Such a rule
// never yields a guess: where the answer depends on the unknown subset, the
// result is "undecided" with the reason. A rule the engine has read is never
// undecided for any other reason but the memory guard, far above any real
// list, which is then named with its figures.
//
// How: box walks (packet_space.h) answer first, being fastest on the lists
// seen in the field; where they would fragment, and for rules with groups,
// the decision diagrams of diagram_cover.h answer exactly.
#ifndef DORVEX_SPACE_LIST_COVER_H_
#define DORVEX_SPACE_LIST_COVER_H_

#include <optional>
#include <string>
#include <vector>

#include "space/packet_space.h"
#include "space/rule_list.h"

namespace dorvex {

// unreachable: verdictInList() of a rule no packet reaches in its own list.
enum class VerdictKind { covered, notCovered, undecided, unreachable };

struct Verdict {
  VerdictKind kind = VerdictKind::undecided;
  // covered: the source lines that decide its packets, in order; 0 last
  // when the implicit deny decides some. Under undecided, the lines that
  // surely or possibly decide some, as far as the walk went.
  std::vector<int> deciding_lines;
  // notCovered: a packet the setting rule matches and the line that decides
  // it the other way (0: the implicit deny), with that line's action.
  Packet witness;
  int witness_line = 0;
  Action witness_action = Action::deny;
  // undecided: why, e.g. "line 12: time-range WORK", or the memory guard.
  std::string reason;
};

// Whether `source` gives `setting`'s action to every packet `setting`
// matches. A setting rule not exactly known is covered iff its whole known
// part is; a packet of the known part decided the other way leaves it
// undecided. With `undecidedLines` false an undecided verdict names no
// deciding lines.
Verdict verdict(const RuleList& source, const CoverRule& setting, const CoverLimits& limits = {},
                bool undecidedLines = true);

// The same for the rule at `position` of `settings`, judged on the packets
// that reach it there (no earlier rule of its own list takes them): those
// are the packets it decides, so a list and any re-spelling of it cover
// each other rule by rule. A rule covered on all its packets is covered,
// with the lines deciding all of them; else a rule no packet reaches is
// unreachable, and a witness is always a packet that reaches it. A witness
// that an earlier rule not exactly known may take makes the verdict
// undecided, naming that rule. REQUIRES: &source != &settings.
Verdict verdictInList(const RuleList& source, const RuleList& settings, int position,
                      const CoverLimits& limits = {});

// verdictInList() for every rule of one setting list, sharing what the two
// lists have in common: each rule's first copy in the other list is found
// once (the same packets and action, exactly known). A packet that reaches
// a setting rule misses every source rule whose packets an earlier setting
// rule has, whatever its action; the source rules before the copy left
// over (deleted or moved in a revision, or not exactly known), when few,
// are asked one by one inside the packets they share with the rule, and
// the copy decides the rest. A list against a revision of itself is so
// answered at the cost of its changes; any other rule as verdictInList()
// asks it. REQUIRES: both lists outlive it, &source != &settings.
class InListCover {
 public:
  InListCover(const RuleList& source, const RuleList& settings, const CoverLimits& limits = {});
  Verdict at(int position) const;

 private:
  // The source position of the copy that decides every reaching packet of
  // the setting rule at `position` but those the source rules at `changed`
  // take first, or -1 when that is not known without asking.
  int sameDecider(int position, const std::vector<int>& earlier, std::vector<int>& changed) const;
  std::optional<bool> reachesPast(int position, const std::vector<int>& earlier,
                                  const std::vector<int>& changed) const;
  std::optional<Verdict> byCopy(int position, int copy, const std::vector<int>& changed,
                                const std::vector<int>& earlier) const;
  // Changed rules asked one by one at most; past them the rule is asked
  // as any other.
  static constexpr std::size_t kMaxChanged = 32;

  const RuleList& source_;
  const RuleList& settings_;
  CoverLimits limits_;
  // Per source rule, the first setting rule with its packets (whatever its
  // action); per setting rule, the first source rule with its packets and
  // action; -1 for none.
  std::vector<int> takerInSettings_, copyInSource_;
};

}  // namespace dorvex

#endif  // DORVEX_SPACE_LIST_COVER_H_
