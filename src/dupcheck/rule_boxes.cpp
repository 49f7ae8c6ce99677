#include "dupcheck/rule_boxes.h"

#include <algorithm>
#include <string>
#include <utility>

namespace dorvex {

namespace {

using U128 = Uint128;

// The rule's service terms: its RuleMatch's, or the one of its fields.
std::vector<ServiceTerm> termsOf(const AclEntry& entry, const RuleMatch* match) {
  if (match != nullptr) return match->services;
  if (entry.type == kStandardRule) return {ServiceTerm{}};
  ServiceTerm term;
  term.protocol = entry.protocol_no;
  if (entry.protocol_no == kTcp || entry.protocol_no == kUdp) {
    term.sourcePorts = portSetOf(entry.sp_typ, entry.sp_low, entry.sp_hig);
    term.destinPorts = portSetOf(entry.dp_typ, entry.dp_low, entry.dp_hig);
  }
  return {term};
}

// The ToS bits of the value options.
void narrowTos(Box& box, const RuleOptions& options) {
  if (options.dscp != kNotSet) box.setTos(static_cast<unsigned>(options.dscp) << 2, 0xFC);
  if (options.precedence != kNotSet) {
    box.setTos(static_cast<unsigned>(options.precedence) << 5, 0xE0);
  }
  if (options.tos != kNotSet) box.setTos(static_cast<unsigned>(options.tos) << 1, 0x1E);
}

// The flag bits of the option grammar, in its order (ack fin psh rst syn
// urg), as the engine's.
unsigned engineFlags(unsigned optionBits) {
  static constexpr unsigned kFlagOfWord[] = {kAck, kFin, kPsh, kRst, kSyn, kUrg};
  unsigned flags = 0;
  for (unsigned k = 0; k < 6; ++k) {
    if (optionBits & (1u << k)) flags |= kFlagOfWord[k];
  }
  return flags;
}

// An ICMP message: its type, and its code when it has one (kNotSet: none).
void narrowIcmp(Box& box, int type, int code) {
  if (type == kNotSet) return;
  box.setRange(kIcmpType, static_cast<std::uint32_t>(type), static_cast<std::uint32_t>(type));
  if (code == kNotSet) return;
  box.setRange(kIcmpCode, static_cast<std::uint32_t>(code), static_cast<std::uint32_t>(code));
}

// The restrictions that narrow each box alike.
void narrowByOptions(Box& box, const RuleOptions& options) {
  if (options.fragments) box.setFragment(true);
  narrowIcmp(box, options.icmpType, options.icmpCode);
  const unsigned mustSet = engineFlags(options.tcpFlags | options.allSet);
  const unsigned mustClear = engineFlags(options.allClear);
  if ((mustSet | mustClear) != 0) box.setTcpFlags(mustSet, mustClear);
  narrowTos(box, options);
}

// Each box of `boxes` replaced by its pieces under `split`, in order.
template <typename Split>
void splitEach(std::vector<Box>& boxes, Split split) {
  std::vector<Box> pieces;
  for (const Box& box : boxes) split(box, pieces);
  boxes.swap(pieces);
}

// The options that make several boxes of one: "established", "match-any",
// "ttl neq".
void splitByOptions(std::vector<Box>& boxes, const RuleOptions& options) {
  if (options.established) {
    // TCP with ACK set, or with ACK clear and RST set.
    splitEach(boxes, [](const Box& box, std::vector<Box>& out) {
      Box withAck = box, withRst = box;
      withAck.setRange(kProtocol, kTcp, kTcp);
      withRst.setRange(kProtocol, kTcp, kTcp);
      withAck.setTcpFlags(kAck, 0);
      withRst.setTcpFlags(kRst, kAck);
      out.push_back(withAck);
      out.push_back(withRst);
    });
  }
  if (options.anySet | options.anyClear) {
    splitEach(boxes, [&](const Box& box, std::vector<Box>& out) {
      for (unsigned k = 0; k < 6; ++k) {
        const unsigned bit = 1u << k;
        if (options.anySet & bit) out.push_back(box), out.back().setTcpFlags(engineFlags(bit), 0);
        if (options.anyClear & bit) out.push_back(box), out.back().setTcpFlags(0, engineFlags(bit));
      }
    });
  }
  if (options.ttlOp != kNoPort) {
    const PortSet ttl = portSetOf(options.ttlOp, options.ttlLow, options.ttlHigh);
    splitEach(boxes, [&](const Box& box, std::vector<Box>& out) {
      for (const PortRange& range : ttl) {
        out.push_back(box);
        out.back().setRange(kTtl, static_cast<std::uint32_t>(range.low),
                            static_cast<std::uint32_t>(std::min(range.high, 255)));
      }
    });
  }
}

std::vector<Box> serviceOf(const AclEntry& entry, const RuleMatch* match,
                           const RuleOptions& options) {
  std::vector<Box> boxes;
  if (entry.type == kStandardRule) {
    boxes.emplace_back();
    return boxes;
  }
  for (const ServiceTerm& term : termsOf(entry, match)) {
    Box base;
    if (term.protocol != kAnyProtocol) {
      const auto protocol = static_cast<std::uint32_t>(term.protocol);
      base.setRange(kProtocol, protocol, protocol);
    }
    narrowIcmp(base, term.icmpType, term.icmpCode);
    narrowByOptions(base, options);
    const bool ported = term.protocol == kTcp || term.protocol == kUdp;
    if (!ported) {
      boxes.push_back(base);
      continue;
    }
    for (const PortRange& source : term.sourcePorts) {
      for (const PortRange& destin : term.destinPorts) {
        Box box = base;
        box.setRange(kSrcPort, static_cast<std::uint32_t>(source.low),
                     static_cast<std::uint32_t>(source.high));
        box.setRange(kDstPort, static_cast<std::uint32_t>(destin.low),
                     static_cast<std::uint32_t>(destin.high));
        boxes.push_back(box);
      }
    }
  }
  splitByOptions(boxes, options);
  return boxes;
}

// Puts `block` into the address words of `box` from `word` (kSrcHigh or
// kDstHigh), whose addresses are free.
void placeBlock(Box& box, int word, const AddressBlock& block) {
  if (block.family != Family::both) box.setFamily(block.family == Family::ipv6);
  box.value[word] = block.high;
  box.care[word] = ~block.wildHigh;
  box.value[word + 1] = block.low;
  box.care[word + 1] = ~block.wildLow;
}

// The set with each block of both families (an "any") as its IPv4 and its
// IPv6 block: a packet is of one family, and the high 96 bits of an IPv4
// one are zero.
AddressSet byFamily(const AddressSet& set) {
  AddressSet out;
  out.reserve(set.size());
  for (const AddressBlock& block : set) {
    if (block.family != Family::both) {
      out.push_back(block);
      continue;
    }
    out.push_back(anyIpv4());
    out.push_back(anyIpv6());
  }
  return out;
}

// An address of a family as one ordered key: the IPv6 ones after every
// IPv4 one.
struct FamilyAddress {
  bool ipv6;
  U128 address;
  bool operator<(const FamilyAddress& o) const {
    return ipv6 != o.ipv6 ? !ipv6 : address < o.address;
  }
  bool operator<=(const FamilyAddress& o) const { return !(o < *this); }
};

// A block as the interval of its addresses, when its wildcard is a run of
// low bits.
bool intervalOf(const AddressBlock& block, U128& first, U128& last) {
  const U128 wildcard = wildcardOf(block);
  if ((wildcard & (wildcard + 1)) != 0) return false;
  first = addressOf(block);
  last = first | wildcard;
  return true;
}

// Every address of `set` within `cover`, by boxes: for the rare wildcards
// that are not prefixes.
bool blocksCoverByBoxes(const AddressSet& cover, const AddressSet& set) {
  BoxSet rest;
  for (const AddressBlock& block : set) placeBlock(rest.emplace_back(), kSrcHigh, block);
  std::size_t work = 0;
  for (const AddressBlock& block : cover) {
    Box cut;
    placeBlock(cut, kSrcHigh, block);
    removeFrom(rest, cut, work);
    if (rest.empty()) return true;
  }
  return rest.empty();
}

bool addressesCover(const AddressSet& anyCover, const AddressSet& anySet) {
  const AddressSet cover = byFamily(anyCover), set = byFamily(anySet);
  using Interval = std::pair<FamilyAddress, FamilyAddress>;
  std::vector<Interval> covering;
  covering.reserve(cover.size());
  U128 first, last;
  for (const AddressBlock& block : cover) {
    if (!intervalOf(block, first, last)) return blocksCoverByBoxes(cover, set);
    const bool ipv6 = block.family == Family::ipv6;
    covering.emplace_back(FamilyAddress{ipv6, first}, FamilyAddress{ipv6, last});
  }
  std::sort(covering.begin(), covering.end());
  // Merged into disjoint intervals, adjacent ones of a family joined.
  std::vector<Interval> merged;
  for (const Interval& interval : covering) {
    const Interval* back = merged.empty() ? nullptr : &merged.back();
    const bool joins =
        back != nullptr && back->second.ipv6 == interval.first.ipv6 &&
        (back->second.address == ~U128{0} || interval.first.address <= back->second.address + 1);
    if (joins) {
      if (back->second < interval.second) merged.back().second = interval.second;
    } else {
      merged.push_back(interval);
    }
  }
  for (const AddressBlock& block : set) {
    if (!intervalOf(block, first, last)) return blocksCoverByBoxes(cover, set);
    const bool ipv6 = block.family == Family::ipv6;
    const FamilyAddress low{ipv6, first}, high{ipv6, last};
    auto at =
        std::upper_bound(merged.begin(), merged.end(), low,
                         [](const FamilyAddress& a, const Interval& b) { return a < b.first; });
    if (at == merged.begin() || std::prev(at)->second < high) return false;
  }
  return true;
}

bool serviceCovers(const std::vector<Box>& cover, const std::vector<Box>& set) {
  BoxSet rest;
  for (const Box& box : set) {
    if (!box.isEmpty()) rest.push_back(box);
  }
  std::size_t work = 0;
  for (const Box& box : cover) {
    if (rest.empty()) return true;
    removeFrom(rest, box, work);
  }
  return rest.empty();
}

bool isEmptyService(const std::vector<Box>& boxes) {
  return std::all_of(boxes.begin(), boxes.end(), [](const Box& box) { return box.isEmpty(); });
}

}  // namespace

RuleSpace ruleSpaceOf(const AclConfig& config, int entryIndex) {
  const AclEntry& entry = *config.entryAt(entryIndex);
  const RuleOptions& options = *config.optionsAt(entryIndex);
  const RuleMatch* match = config.matchAt(entryIndex);
  RuleSpace space;
  if (match != nullptr) {
    space.source = match->source;
    space.destin = match->destin;
  } else {
    space.source = {ipv4Block(packQuad(entry.source), packQuad(entry.mask_s))};
    // A standard rule's packets go to every IPv4 address: an IPv4 packet
    // has no other kind of destination.
    space.destin = {entry.type == kStandardRule
                        ? anyIpv4()
                        : ipv4Block(packQuad(entry.destin), packQuad(entry.mask_d))};
  }
  space.service = serviceOf(entry, match, options);
  if (!options.timeRange.empty()) {
    space.exact = false;
    space.reason = "time-range " + std::string(options.timeRange);
  } else if (!options.unknown.empty()) {
    space.exact = false;
    space.reason = "option not understood: " + std::string(options.unknown);
  }
  return space;
}

CoverRule coverRuleOf(const AclConfig& config, int entryIndex) {
  const AclEntry& entry = *config.entryAt(entryIndex);
  CoverRule rule;
  rule.line = entry.column;
  rule.action = entry.permission == kDeny ? Action::deny : Action::permit;
  if (!isReadRule(entry)) {
    // Every packet of either family.
    rule.boxes.resize(2);
    for (int side : {kSrcHigh, kDstHigh}) {
      placeBlock(rule.boxes[0], side, anyIpv4());
      placeBlock(rule.boxes[1], side, anyIpv6());
    }
    rule.exact = false;
    rule.reason = "not read";
    return rule;
  }
  RuleSpace space = ruleSpaceOf(config, entryIndex);
  const AddressSet sources = byFamily(space.source), destins = byFamily(space.destin);
  // A few boxes are kept as boxes, which the index sees one by one; beyond
  // that the rule is its three parts, costing their sum, not their product.
  constexpr std::size_t kMaxBoxes = 16;
  if (sources.size() * destins.size() * space.service.size() > kMaxBoxes) {
    BoxProduct& product = rule.products.emplace_back();
    for (const AddressBlock& source : sources)
      placeBlock(product.source.emplace_back(), kSrcHigh, source);
    for (const AddressBlock& destin : destins)
      placeBlock(product.destin.emplace_back(), kDstHigh, destin);
    product.service = std::move(space.service);
  } else {
    for (const AddressBlock& source : sources) {
      for (const AddressBlock& destin : destins) {
        for (const Box& service : space.service) {
          Box box = service;
          placeBlock(box, kSrcHigh, source);
          placeBlock(box, kDstHigh, destin);
          rule.boxes.push_back(box);
        }
      }
    }
  }
  rule.exact = space.exact;
  rule.reason = std::move(space.reason);
  return rule;
}

bool spaceCovers(const RuleSpace& source, const RuleSpace& setting) {
  if (setting.source.empty() || setting.destin.empty() || isEmptyService(setting.service)) {
    return true;
  }
  return addressesCover(source.source, setting.source) &&
         addressesCover(source.destin, setting.destin) &&
         serviceCovers(source.service, setting.service);
}

}  // namespace dorvex
