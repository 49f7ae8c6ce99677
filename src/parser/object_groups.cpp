#include "parser/object_groups.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "parser/keyword_tables.h"
#include "text/text_cursor.h"

namespace dorvex {

namespace {

using U128 = Uint128;

constexpr U128 kIpv4Wildcard = 0xFFFFFFFFu;

bool readIpv4(std::string_view word, U128& address) {
  int a, b, c, d;
  if (!TextCursor::parseDottedQuad(word, a, b, c, d)) return false;
  address = (static_cast<U128>(a) << 24) | (static_cast<U128>(b) << 16) |
            (static_cast<U128>(c) << 8) | static_cast<U128>(d);
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The groups of 16 bits of an IPv6 address text, on one side of "::";
// an IPv4 address may end the last side.
bool readHextets(std::string_view text, std::vector<unsigned>& out, bool last) {
  if (text.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    const std::string_view part = text.substr(start, colon - start);
    if (colon == std::string_view::npos && last && part.find('.') != std::string_view::npos) {
      U128 v4;
      if (!readIpv4(part, v4)) return false;
      out.push_back(static_cast<unsigned>(v4 >> 16) & 0xFFFF);
      out.push_back(static_cast<unsigned>(v4) & 0xFFFF);
      return true;
    }
    if (part.empty() || part.size() > 4) return false;
    unsigned value = 0;
    for (char c : part) {
      if (hexValue(c) < 0) return false;
      value = value * 16 + static_cast<unsigned>(hexValue(c));
    }
    out.push_back(value);
    if (colon == std::string_view::npos) return true;
    start = colon + 1;
  }
}

bool readIpv6(std::string_view word, U128& address) {
  if (word.find(':') == std::string_view::npos) return false;
  const std::size_t gap = word.find("::");
  std::vector<unsigned> head, tail;
  if (gap == std::string_view::npos) {
    if (!readHextets(word, head, true) || head.size() != 8) return false;
  } else {
    if (word.find("::", gap + 1) != std::string_view::npos) return false;
    if (!readHextets(word.substr(0, gap), head, false) ||
        !readHextets(word.substr(gap + 2), tail, true) || head.size() + tail.size() > 7) {
      return false;
    }
    head.resize(8 - tail.size(), 0);
    head.insert(head.end(), tail.begin(), tail.end());
  }
  address = 0;
  for (unsigned value : head) address = (address << 16) | value;
  return true;
}

// "A/n", IPv4 or IPv6.
bool readPrefix(std::string_view word, AddressSet& out) {
  const std::size_t slash = word.find('/');
  if (slash == std::string_view::npos) return false;
  int bits;
  U128 address;
  bool ipv6;
  if (!TextCursor::parseDecimal(word.substr(slash + 1), bits) ||
      !readAddress(word.substr(0, slash), address, ipv6) || bits > (ipv6 ? 128 : 32)) {
    return false;
  }
  const int width = ipv6 ? 128 : 32;
  const U128 all = ipv6 ? ~U128{0} : kIpv4Wildcard;
  out.push_back(
      blockOf(address, bits >= width ? U128{0} : all >> bits, ipv6 ? Family::ipv6 : Family::ipv4));
  return true;
}

bool readPortNumber(std::string_view word, int protocol, int& port) {
  if (TextCursor::parseDecimal(word, port)) return port <= kMaxPort;
  return lookupPortName(protocol, word, Syntax::full, port) ||
         // A service group of both protocols names ports of either.
         (protocol == kAnyProtocol && (lookupPortName(kTcp, word, Syntax::full, port) ||
                                       lookupPortName(kUdp, word, Syntax::full, port)));
}

// A protocol word of a service: its number; "tcp-udp" is kAnyProtocol
// with `both` set.
bool readServiceProtocol(std::string_view word, int& protocol, bool& both) {
  both = word == "tcp-udp";
  if (both) {
    protocol = kAnyProtocol;
    return true;
  }
  if (TextCursor::parseDecimal(word, protocol)) return protocol <= 255;
  // The protocol vocabulary of the rules', the IPv4 list's reading.
  return lookupProtocol(word, protocol) || lookupFullProtocol(word, false, protocol);
}

// The terms of one protocol (two for tcp-udp) with the given ports.
void addTerms(std::vector<ServiceTerm>& out, int protocol, bool both, const PortSet& source,
              const PortSet& destin, int icmpType, int icmpCode) {
  for (int p : both ? std::vector<int>{kTcp, kUdp} : std::vector<int>{protocol}) {
    ServiceTerm term;
    term.protocol = p;
    if (p == kTcp || p == kUdp) {
      term.sourcePorts = source;
      term.destinPorts = destin;
    }
    term.icmpType = icmpType;
    term.icmpCode = icmpCode;
    out.push_back(term);
  }
}

// "PROTO [source OP P..] [destination] [OP P..] [MESSAGE]" from words[at]:
// the member of a service group or object; false when a word is left.
bool readService(const WordRow& words, int at, std::vector<ServiceTerm>& out) {
  int protocol;
  bool both;
  if (!readServiceProtocol(words.view(at), protocol, both)) return false;
  ++at;
  PortSet source{{0, kMaxPort}}, destin{{0, kMaxPort}};
  const int portProtocol = both ? kAnyProtocol : protocol;
  if (words.view(at) == "source") {
    const int taken = readPortWords(words, at + 1, portProtocol, source);
    if (taken == 0) return false;
    at += 1 + taken;
  }
  if (words.view(at) == "destination") ++at;
  at += readPortWords(words, at, portProtocol, destin);
  int icmpType = kNotSet, icmpCode = kNotSet, message;
  if ((protocol == kIcmp || protocol == kIcmpv6) && !words.isEmpty(at)) {
    if (lookupName(protocol == kIcmp ? kIcmpFullTable : kIcmpv6Table, words.view(at), message)) {
      icmpType = icmpTypeOf(message);
      icmpCode = icmpCodeOf(message);
      ++at;
    } else if (TextCursor::parseDecimal(words.view(at), icmpType) && icmpType <= 255) {
      ++at;
    }
  }
  if (!words.isEmpty(at)) return false;
  addTerms(out, protocol, both, source, destin, icmpType, icmpCode);
  return true;
}

}  // namespace

bool readAddress(std::string_view word, U128& address, bool& ipv6) {
  ipv6 = word.find(':') != std::string_view::npos;
  return ipv6 ? readIpv6(word, address) : readIpv4(word, address);
}

int readAddressWords(const WordRow& words, int at, MaskKind masks, AnyMeans any, AddressSet& out,
                     SetRef& ref) {
  const std::string_view word = words.view(at);
  if (word == "any") {
    out.push_back(any == AnyMeans::both   ? AddressBlock{}
                  : any == AnyMeans::ipv6 ? anyIpv6()
                                          : anyIpv4());
    return 1;
  }
  if (word == "any4" || word == "any6") {
    out.push_back(word == "any4" ? anyIpv4() : anyIpv6());
    return 1;
  }
  if (word == "object" || word == "object-group" || word == "net-group" || word == "addrgroup") {
    if (words.isEmpty(at + 1)) return 0;
    ref = SetRef{words.view(at + 1), word == "object"};
    return 2;
  }
  U128 address, other;
  bool ipv6, otherIpv6;
  if (word == "host") {
    if (!readAddress(words.view(at + 1), address, ipv6)) return 0;
    out.push_back(blockOf(address, 0, ipv6 ? Family::ipv6 : Family::ipv4));
    return 2;
  }
  if (word == "range") {
    if (!readAddress(words.view(at + 1), address, ipv6) ||
        !readAddress(words.view(at + 2), other, otherIpv6) || ipv6 != otherIpv6 ||
        other < address) {
      return 0;
    }
    appendRange(out, address, other, ipv6 ? Family::ipv6 : Family::ipv4);
    return 3;
  }
  if (readPrefix(word, out)) return 1;
  if (!readAddress(word, address, ipv6) || ipv6) return 0;
  if (!readIpv4(words.view(at + 1), other)) return 0;
  const U128 wildcard = masks == MaskKind::subnet ? ~other & kIpv4Wildcard : other;
  out.push_back(blockOf(address, wildcard, Family::ipv4));
  return 2;
}

int readPortWords(const WordRow& words, int at, int protocol, PortSet& out) {
  const int op = portOperatorCode(words.view(at));
  int low, high = kNotSet;
  if (op == kNoPort || !readPortNumber(words.view(at + 1), protocol, low)) return 0;
  int taken = 2;
  if (op == kPortRange) {
    if (!readPortNumber(words.view(at + 2), protocol, high) || high < low) return 0;
    taken = 3;
  }
  PortSet ports = portSetOf(op, low, high);
  if (op == kPortEq || op == kPortNeq) {
    int more;
    for (; readPortNumber(words.view(at + taken), protocol, more); ++taken) {
      if (op == kPortEq) {
        ports.push_back(PortRange{more, more});
        continue;
      }
      // "neq" of several ports: every port but each of them.
      PortSet rest;
      for (const PortRange& range : ports) {
        if (more < range.low || more > range.high) {
          rest.push_back(range);
          continue;
        }
        if (more > range.low) rest.push_back(PortRange{range.low, more - 1});
        if (more < range.high) rest.push_back(PortRange{more + 1, range.high});
      }
      ports.swap(rest);
    }
  }
  out = std::move(ports);
  return taken;
}

bool ObjectGroups::opensDefinition(const WordRow& words) {
  return words.view(0) == "object-group" || words.view(0) == "object";
}

std::string ObjectGroups::keyOf(SetRef ref) {
  return std::string(ref.object ? "o " : "g ") + std::string(ref.name);
}

void ObjectGroups::readDefinitions(std::string_view text) {
  Group* open = nullptr;
  bool object = false;
  WordRow words;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::string_view line = text.substr(0, lf);
    text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    // Only definitions and their members are split: the pass costs little
    // more than a search for line ends in a configuration of rules.
    const bool member = open != nullptr && !line.empty() && line[0] == ' ';
    if (!member && line.substr(0, 6) != "object") {
      open = nullptr;
      continue;
    }
    words.split(line, Syntax::full);
    if (words.size() == 0) continue;
    const bool indented = line[0] == ' ';
    if (open != nullptr && indented) {
      if (open->bad.empty()) readMember(*open, words, object);
      continue;
    }
    open = nullptr;
    if (!opensDefinition(words) || words.isEmpty(2)) continue;
    object = words.view(0) == "object";
    std::string_view kind = words.view(1);
    int nameAt = 2;
    // "object-group ip address NAME", "object-group ip port NAME" and
    // "object-group network ipv4 NAME": the kind in two words.
    if (!object && !words.isEmpty(3)) {
      const std::string_view second = words.view(2);
      if (kind == "ip" && (second == "address" || second == "port")) {
        kind = second == "address" ? "network" : "port";
        nameAt = 3;
      } else if (kind == "network" && (second == "ipv4" || second == "ipv6")) {
        nameAt = 3;
      }
    }
    Group group;
    if (kind == "network") {
      group.kind = Kind::network;
    } else if (kind == "service") {
      group.kind = Kind::service;
      bool both;
      if (!words.isEmpty(3) && readServiceProtocol(words.view(3), group.protocol, both)) {
        if (both) group.protocol = kAnyProtocol;
      }
    } else if (kind == "port") {
      group.kind = Kind::port;
    } else if (kind == "protocol") {
      group.kind = Kind::protocol;
    }
    // A name defined twice is one group of both definitions' members.
    auto [at, fresh] =
        groups.try_emplace(keyOf(SetRef{words.view(nameAt), object}), std::move(group));
    if (!fresh && at->second.kind != group.kind) at->second.bad = "defined twice";
    open = &at->second;
  }
}

void ObjectGroups::readMember(Group& group, const WordRow& words, bool object) {
  std::string_view first = words.view(0);
  if (first == "description" || first == "nat") return;
  if (first == "group-object") {
    group.nested.push_back(SetRef{words.view(1), false});
    if (words.isEmpty(1) || !words.isEmpty(2)) group.bad = "group-object";
    return;
  }
  int at = 0;
  switch (group.kind) {
    case Kind::network: {
      if (first == "network-object" || (object && first == "subnet")) at = 1;
      SetRef ref;
      const int taken =
          readAddressWords(words, at, MaskKind::subnet, AnyMeans::both, group.blocks, ref);
      if (taken == 0 || !words.isEmpty(at + taken)) {
        group.bad = wordForReason(first);
      } else if (!ref.name.empty()) {
        group.nested.push_back(ref);
      }
      return;
    }
    case Kind::service: {
      if (first == "service-object" || (object && first == "service")) at = 1;
      if (first == "port-object") {
        PortSet ports;
        const int taken = readPortWords(words, 1, group.protocol, ports);
        if (taken == 0 || !words.isEmpty(1 + taken) || group.protocol == kNotSet) {
          group.bad = "port-object";
          return;
        }
        const bool both = group.protocol == kAnyProtocol;
        addTerms(group.terms, group.protocol, both, PortSet{{0, kMaxPort}}, ports, kNotSet,
                 kNotSet);
        return;
      }
      if (words.view(at) == "object") {
        group.nested.push_back(SetRef{words.view(at + 1), true});
        return;
      }
      if (!readService(words, at, group.terms)) group.bad = wordForReason(first);
      return;
    }
    case Kind::port: {
      PortSet ports;
      const int taken = readPortWords(words, 0, kAnyProtocol, ports);
      if (taken == 0 || !words.isEmpty(taken)) {
        group.bad = wordForReason(first);
        return;
      }
      group.portSet.insert(group.portSet.end(), ports.begin(), ports.end());
      return;
    }
    case Kind::protocol: {
      int protocol;
      bool both;
      at = first == "protocol-object" ? 1 : 0;
      if (!readServiceProtocol(words.view(at), protocol, both) || !words.isEmpty(at + 1)) {
        group.bad = wordForReason(first);
        return;
      }
      addTerms(group.terms, protocol, both, PortSet{{0, kMaxPort}}, PortSet{{0, kMaxPort}}, kNotSet,
               kNotSet);
      return;
    }
    case Kind::other: group.bad = "kind of group"; return;
  }
}

// A word of a member line not read, for a reason: cut to a readable length,
// so that a huge word used by many rules is not repeated in every annotation.
std::string ObjectGroups::wordForReason(std::string_view word) {
  constexpr std::size_t kShown = 40;
  if (word.size() <= kShown) return std::string(word);
  return std::string(word.substr(0, kShown)) + "... (" + std::to_string(word.size()) + " bytes)";
}

namespace {

bool blockLess(const AddressBlock& a, const AddressBlock& b) {
  return std::tie(a.family, a.high, a.low, a.wildHigh, a.wildLow) <
         std::tie(b.family, b.high, b.low, b.wildHigh, b.wildLow);
}

bool rangesLess(const PortSet& a, const PortSet& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](const PortRange& x, const PortRange& y) {
                                        return x.low != y.low ? x.low < y.low : x.high < y.high;
                                      });
}

bool termLess(const ServiceTerm& a, const ServiceTerm& b) {
  if (a.protocol != b.protocol) return a.protocol < b.protocol;
  if (a.icmpType != b.icmpType) return a.icmpType < b.icmpType;
  if (a.icmpCode != b.icmpCode) return a.icmpCode < b.icmpCode;
  if (a.sourcePorts != b.sourcePorts) return rangesLess(a.sourcePorts, b.sourcePorts);
  return rangesLess(a.destinPorts, b.destinPorts);
}

// Members that repeat, through nesting or written twice, counted once.
void dropRepeats(AddressSet& blocks, std::vector<ServiceTerm>& terms, PortSet& ports) {
  std::sort(blocks.begin(), blocks.end(), blockLess);
  blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
  std::sort(terms.begin(), terms.end(), termLess);
  terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
  std::sort(ports.begin(), ports.end(), [](const PortRange& x, const PortRange& y) {
    return x.low != y.low ? x.low < y.low : x.high < y.high;
  });
  PortSet merged;
  for (const PortRange& range : ports) {
    if (!merged.empty() && range.low <= merged.back().high + 1) {
      merged.back().high = std::max(merged.back().high, range.high);
    } else {
      merged.push_back(range);
    }
  }
  ports.swap(merged);
}

}  // namespace

ObjectGroups::Group* ObjectGroups::find(SetRef ref, Kind kind, std::string& reason) {
  const std::string what =
      std::string(ref.object ? "object " : "object-group ") + std::string(ref.name);
  auto found = groups.find(keyOf(ref));
  if (found == groups.end()) {
    reason = what + " missing";
    return nullptr;
  }
  Group& group = found->second;
  // A protocol group stands where a service group may.
  const bool fits = group.kind == kind || (kind == Kind::service && group.kind == Kind::protocol);
  if (!fits) {
    reason = what + " of another kind";
    return nullptr;
  }
  if (!group.bad.empty()) {
    reason = what + " not read: " + group.bad;
    return nullptr;
  }
  return &group;
}

ObjectGroups::Group* ObjectGroups::resolve(SetRef ref, Kind kind, std::string& reason) {
  Group* root = find(ref, kind, reason);
  if (root == nullptr || root->state == kResolved) return root;
  if (root->state == kFailed) {
    reason = root->failure;
    return nullptr;
  }
  // Depth first over the nested groups with a stack of our own, so that
  // nesting of any depth costs no call depth; each group of the walk is
  // taken once however often it is named, so its members count once.
  ++walk;
  struct Frame {
    Group* group;
    std::size_t next;
  };
  std::vector<Frame> stack{{root, 0}};
  root->seen = walk;
  root->onStack = true;
  AddressSet blocks;
  std::vector<ServiceTerm> terms;
  PortSet ports;
  std::string cause;
  while (!stack.empty() && cause.empty()) {
    Frame& frame = stack.back();
    Group& group = *frame.group;
    if (frame.next == group.nested.size()) {
      blocks.insert(blocks.end(), group.blocks.begin(), group.blocks.end());
      terms.insert(terms.end(), group.terms.begin(), group.terms.end());
      ports.insert(ports.end(), group.portSet.begin(), group.portSet.end());
      group.onStack = false;
      stack.pop_back();
      continue;
    }
    const SetRef inner = group.nested[frame.next++];
    Group* member = find(inner, group.kind == Kind::protocol ? Kind::service : group.kind, cause);
    if (member == nullptr) break;
    if (member->onStack) {
      cause = std::string(inner.object ? "object " : "object-group ") + std::string(inner.name) +
              " cyclic";
      break;
    }
    if (member->seen == walk) continue;
    member->seen = walk;
    member->onStack = true;
    stack.push_back(Frame{member, 0});
  }
  for (const Frame& frame : stack) frame.group->onStack = false;
  const std::string what =
      std::string(ref.object ? "object " : "object-group ") + std::string(ref.name);
  if (!cause.empty()) {
    root->state = kFailed;
    root->failure = what + ": " + cause;
    reason = root->failure;
    return nullptr;
  }
  dropRepeats(blocks, terms, ports);
  root->blocks.swap(blocks);
  root->terms.swap(terms);
  root->portSet.swap(ports);
  root->nested.clear();
  root->state = kResolved;
  return root;
}

bool ObjectGroups::isPortGroup(SetRef ref) const {
  auto found = groups.find(keyOf(ref));
  return found != groups.end() &&
         (found->second.kind == Kind::port || found->second.kind == Kind::service);
}

bool ObjectGroups::addresses(SetRef ref, AddressSet& out, std::string& reason) {
  const Group* group = resolve(ref, Kind::network, reason);
  if (group != nullptr) out = group->blocks;
  return group != nullptr;
}

bool ObjectGroups::services(SetRef ref, std::vector<ServiceTerm>& out, std::string& reason) {
  const Group* group = resolve(ref, Kind::service, reason);
  if (group != nullptr) out = group->terms;
  return group != nullptr;
}

bool ObjectGroups::ports(SetRef ref, PortSet& out, std::string& reason) {
  // A port group, or a service group of ports of one protocol (the
  // firewall form's "object-group service NAME tcp").
  std::string ignored;
  if (const Group* group = resolve(ref, Kind::port, ignored)) {
    out = group->portSet;
    return true;
  }
  const Group* group = resolve(ref, Kind::service, reason);
  if (group == nullptr) return false;
  out.clear();
  for (const ServiceTerm& term : group->terms) {
    out.insert(out.end(), term.destinPorts.begin(), term.destinPorts.end());
  }
  return true;
}

}  // namespace dorvex
