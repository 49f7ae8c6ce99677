#include "dupcheck/flow_trace.h"

#include <algorithm>

namespace dorvex {

namespace {

bool inSome(const std::vector<Box>& boxes, const Packet& packet) {
  return std::any_of(boxes.begin(), boxes.end(),
                     [&](const Box& box) { return matches(box, packet); });
}

}  // namespace

bool mayMatch(const CoverRule& rule, const Packet& packet) {
  if (inSome(rule.boxes, packet)) return true;
  return std::any_of(rule.products.begin(), rule.products.end(), [&](const BoxProduct& product) {
    return inSome(product.source, packet) && inSome(product.destin, packet) &&
           inSome(product.service, packet);
  });
}

ListTrace traceRules(const std::vector<CoverRule>& rules, const Packet& packet) {
  ListTrace trace;
  std::vector<const CoverRule*> maybe;
  const CoverRule* sure = nullptr;
  for (const CoverRule& rule : rules) {
    if (!mayMatch(rule, packet)) continue;
    if (!rule.exact) {
      // A line whose action was not read comes as a deny and a permit
      // (coverRulesOf()): one of them always differs, and names the line.
      maybe.push_back(&rule);
      continue;
    }
    sure = &rule;
    break;
  }
  trace.action = sure ? sure->action : Action::deny;
  for (const CoverRule* rule : maybe) {
    if (rule->action == trace.action) continue;
    trace.kind = TraceKind::undecided;
    trace.line = rule->line;
    trace.reason = lineReason(*rule);
    return trace;
  }
  trace.kind = TraceKind::decided;
  for (const CoverRule* rule : maybe) trace.lines.push_back(rule->line);
  trace.lines.push_back(sure ? sure->line : 0);
  return trace;
}

std::map<ListKey, ListTrace> traceConfig(const AclConfig& config, const Flow& flow) {
  std::map<ListKey, ListTrace> traces;
  for (const auto& [key, entries] : listsOf(config)) {
    if (key.ipv6 != flow.ipv6) continue;
    traces.emplace(key, traceRules(coverRulesOf(config, key, entries), flow.packet));
  }
  return traces;
}

TraceComparison compareTraces(const std::vector<ListTrace>& traces) {
  bool anyList = false, anyMissing = false, anyUndecided = false, permit = false, deny = false;
  for (const ListTrace& trace : traces) {
    anyList |= trace.kind != TraceKind::noList;
    anyMissing |= trace.kind == TraceKind::noList;
    anyUndecided |= trace.kind == TraceKind::undecided;
    if (trace.kind == TraceKind::decided) (trace.action == Action::permit ? permit : deny) = true;
  }
  if ((permit && deny) || (anyList && anyMissing)) return TraceComparison::differs;
  return anyUndecided ? TraceComparison::undecided : TraceComparison::same;
}

}  // namespace dorvex
