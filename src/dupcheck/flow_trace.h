// The trace of one flow (flow.h) through the access lists of configurations:
// which line of each list decides the flow and how, read as a device reads
// a list (first match, the implicit deny at the end), and whether the
// configurations decide it alike.
//
// A line whose traffic is not exactly known (a time-range, a word not
// understood, a line not read) may or may not match the flow. The trace
// never guesses: when such a line may match and the flow's decision hangs on
// it (it would decide the flow the other way than the lines after it), the
// list leaves the flow undecided, naming that line. When every way of
// reading it gives one action, the flow is decided, and the trace names each
// line that may be the one.
#ifndef DORVEX_DUPCHECK_FLOW_TRACE_H_
#define DORVEX_DUPCHECK_FLOW_TRACE_H_

#include <map>
#include <string>
#include <vector>

#include "dupcheck/access_lists.h"
#include "dupcheck/flow.h"
#include "parser/acl_config.h"
#include "space/rule_list.h"

namespace dorvex {

enum class TraceKind { decided, undecided, noList };

struct ListTrace {
  TraceKind kind = TraceKind::noList;
  Action action = Action::deny;  // decided: the flow's fate
  // decided: the lines that may decide it, in order, all with `action`: the
  // lines not exactly known that may match it, then the line that surely
  // does (0: the implicit deny).
  std::vector<int> lines;
  // undecided: the first line not exactly known that may match the flow
  // with the other action than the lines after it would give, and why,
  // naming it ("line 7: time-range WORK", "line 7 not read").
  int line = 0;
  std::string reason;
};

// Whether `rule` matches `packet` or, not exactly known, may match it.
bool mayMatch(const CoverRule& rule, const Packet& packet);

// The trace of `packet` through the rules of one list, in order.
ListTrace traceRules(const std::vector<CoverRule>& rules, const Packet& packet);

// The trace of `flow` through every list of `config` of the flow's family.
// The keys view `config`'s names.
// REQUIRES: config is parsed (AclConfig::checkConfig()).
std::map<ListKey, ListTrace> traceConfig(const AclConfig& config, const Flow& flow);

// Whether the traces of one list in several configurations decide the flow
// alike: differs when two decide it two ways or one has no such list;
// undecided when that hangs on a trace left undecided.
enum class TraceComparison { same, differs, undecided };
TraceComparison compareTraces(const std::vector<ListTrace>& traces);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_FLOW_TRACE_H_
