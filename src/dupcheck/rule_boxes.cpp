#include "dupcheck/rule_boxes.h"

#include <string>

#include "dupcheck/rule_cover.h"

namespace dorvex {

namespace {

// The port ranges an operand admits, at most two.
struct PortRanges {
  std::uint32_t low[2];
  std::uint32_t high[2];
  int count = 0;
  void add(long long from, long long to) {
    from = from < 0 ? 0 : from;
    to = to > kMaxPort ? kMaxPort : to;
    if (from > to) return;
    low[count] = static_cast<std::uint32_t>(from);
    high[count] = static_cast<std::uint32_t>(to);
    ++count;
  }
};

PortRanges portRangesOf(int op, long long low, long long high) {
  PortRanges ranges;
  switch (op) {
    case kPortEq: ranges.add(low, low); break;
    case kPortGt: ranges.add(low + 1, kMaxPort); break;
    case kPortLt: ranges.add(0, low - 1); break;
    case kPortNeq:
      ranges.add(0, low - 1);
      ranges.add(low + 1, kMaxPort);
      break;
    case kPortRange: ranges.add(low, high); break;
    default: ranges.add(0, kMaxPort); break;
  }
  return ranges;
}

// The ToS bits of the value options.
void narrowTos(Box& box, const RuleOptions& options) {
  if (options.dscp != kNotSet) box.setTos(static_cast<unsigned>(options.dscp) << 2, 0xFC);
  if (options.precedence != kNotSet) {
    box.setTos(static_cast<unsigned>(options.precedence) << 5, 0xE0);
  }
  if (options.tos != kNotSet) box.setTos(static_cast<unsigned>(options.tos) << 1, 0x1E);
}

// The box of the rule's operands and options but the ports and
// "established", which split it.
Box baseBox(const AclEntry& entry, const RuleOptions& options) {
  Box box;
  box.setIpv4(true, packAddress(entry.source), packAddress(entry.mask_s));
  if (entry.type == kStandardRule) return box;
  if (entry.protocol_no != kAnyProtocol) {
    const auto protocol = static_cast<std::uint32_t>(entry.protocol_no);
    box.setRange(kProtocol, protocol, protocol);
  }
  box.setIpv4(false, packAddress(entry.destin), packAddress(entry.mask_d));
  if (options.fragments) box.setFragment(true);
  if (options.icmpType != kNotSet) {
    const auto type = static_cast<std::uint32_t>(options.icmpType);
    box.setRange(kIcmpType, type, type);
    if (options.icmpCode != kNotSet) {
      const auto code = static_cast<std::uint32_t>(options.icmpCode);
      box.setRange(kIcmpCode, code, code);
    }
  }
  // The flag words of the option grammar, in its bit order: ack fin psh rst
  // syn urg.
  static constexpr unsigned kFlagOfWord[] = {kAck, kFin, kPsh, kRst, kSyn, kUrg};
  unsigned mustSet = 0;
  for (unsigned k = 0; k < 6; ++k) {
    if (options.tcpFlags & (1u << k)) mustSet |= kFlagOfWord[k];
  }
  if (mustSet != 0) box.setTcpFlags(mustSet, 0);
  narrowTos(box, options);
  return box;
}

}  // namespace

CoverRule coverRuleOf(const AclConfig& config, int entryIndex) {
  const AclEntry& entry = *config.entryAt(entryIndex);
  CoverRule rule;
  rule.line = entry.column;
  rule.action = entry.permission == kDeny ? Action::deny : Action::permit;
  if (!isReadRule(entry)) {
    rule.boxes.emplace_back();
    rule.exact = false;
    rule.reason = "line " + std::to_string(entry.column) + " not read";
    return rule;
  }
  const RuleOptions& options = *config.optionsAt(entryIndex);
  const Box base = baseBox(entry, options);
  const bool ported =
      entry.type == kExtendedRule && (entry.protocol_no == kTcp || entry.protocol_no == kUdp);
  const PortRanges source =
      ported ? portRangesOf(entry.sp_typ, entry.sp_low, entry.sp_hig) : portRangesOf(kNoPort, 0, 0);
  const PortRanges destination =
      ported ? portRangesOf(entry.dp_typ, entry.dp_low, entry.dp_hig) : portRangesOf(kNoPort, 0, 0);
  for (int s = 0; s < source.count; ++s) {
    for (int d = 0; d < destination.count; ++d) {
      Box box = base;
      if (ported) {
        box.setRange(kSrcPort, source.low[s], source.high[s]);
        box.setRange(kDstPort, destination.low[d], destination.high[d]);
      }
      if (!options.established) {
        rule.boxes.push_back(box);
        continue;
      }
      // TCP with ACK set, or with ACK clear and RST set.
      box.setRange(kProtocol, kTcp, kTcp);
      Box withAck = box, withRst = box;
      withAck.setTcpFlags(kAck, 0);
      withRst.setTcpFlags(kRst, kAck);
      rule.boxes.push_back(withAck);
      rule.boxes.push_back(withRst);
    }
  }
  if (!options.timeRange.empty()) {
    rule.exact = false;
    rule.reason = "time-range " + std::string(options.timeRange);
  } else if (!options.unknown.empty()) {
    rule.exact = false;
    rule.reason = "option not understood: " + std::string(options.unknown);
  }
  return rule;
}

}  // namespace dorvex
