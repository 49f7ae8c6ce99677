#include "config_generator.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <utility>
#include <vector>

namespace dorvex::bench {

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // A number from 0 to n - 1; n > 0.
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool percent(int p) { return below(100) < p; }
  template <typename T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(static_cast<int>(N))];
  }

 private:
  std::uint64_t state;
};

enum class AddressForm { any, host, wildcard };

struct Address {
  AddressForm form = AddressForm::any;
  std::uint32_t address = 0;
  std::uint32_t wildcard = 0xFFFFFFFFu;
};

constexpr int kNoPort = -1, kEq = 0, kGt = 1, kLt = 2, kNeq = 3, kRange = 4;

struct Port {
  int op = kNoPort;
  int low = 0;
  int high = 0;
  bool byName = false;  // written as its port name where it has one
};

struct Rule {
  bool deny = false;
  const char* protocol = "ip";  // as written: a keyword or a number
  int protocolNo = 0;
  Address source;
  Port sourcePort;
  Address destination;
  Port destinationPort;
  std::vector<std::string> options;
};

struct AccessList {
  bool named = false;
  bool standard = false;
  bool blockForm = false;  // "ip access-list ..." block rather than "access-list N" lines
  int number = 0;
  std::string name;
  std::vector<Rule> rules;
};

struct PortName {
  int port;
  const char* name;
};
constexpr PortName kTcpNames[] = {{80, "www"},    {23, "telnet"}, {25, "smtp"},  {21, "ftp"},
                                  {53, "domain"}, {179, "bgp"},   {110, "pop3"}, {113, "ident"},
                                  {514, "cmd"},   {20, "ftp-data"}};
constexpr PortName kUdpNames[] = {{53, "domain"}, {161, "snmp"},    {123, "ntp"},  {69, "tftp"},
                                  {514, "syslog"}, {162, "snmptrap"}, {500, "isakmp"},
                                  {67, "bootps"}, {68, "bootpc"}, {137, "netbios-ns"}};
constexpr int kTcpPorts[] = {80, 443, 22, 23, 25, 21, 53, 179, 110, 3389, 8080, 8443, 1433, 3306};
constexpr int kUdpPorts[] = {53, 161, 123, 69, 514, 162, 500, 4500, 67, 68, 137, 1812};
constexpr const char* kIcmpNames[] = {"echo", "echo-reply", "unreachable", "time-exceeded",
                                      "redirect", "parameter-problem", "source-quench"};
constexpr const char* kOtherProtocols[] = {"gre", "esp", "ahp", "ospf", "eigrp", "pim", "igmp"};
constexpr int kRulesPerSite = 24;

// How often the generator takes each way, in percent. The shares follow
// the hand-written configurations the tool is made for; changing one
// changes every generated text, and with it the benchmark figures.

// Rules.
constexpr int kDenyPercent = 15;            // a rule denies (unless onePermission)
constexpr int kStandardHostPercent = 55;    // a standard rule names one host, else a subnet
constexpr int kClosingRulePercent = 60;     // a list ends in a "deny" rule
constexpr int kClosingLogPercent = 50;      // an extended closing rule logs
constexpr int kBlockFormPercent = 20;       // a numbered list is written as a block
// The kinds of extended rule, in shares of 100 (see makeExtendedRule()).
constexpr int kExtendedKindShares[] = {28, 10, 12, 8, 8, 6, 6, 8, 8, 6};
constexpr int kEitherWayPercent = 50;       // each of two equal choices
constexpr int kIcmpFromAnyPercent = 40;     // an ICMP rule admits any source
constexpr int kSecondIcmpNamePercent = 10;  // an ICMP rule names a second message
// Port operands: eq, range, gt, lt, neq, in shares of 100.
constexpr int kPortOperatorShares[] = {60, 15, 10, 8, 7};
constexpr int kRangeSpan = 200;             // a range spans fewer ports than this
constexpr int kHighPortsPercent = 20;       // a range is "1024 65535"
constexpr int kAllPortsPercent = 5;         // a range (not the above) is "0 65535"
constexpr int kWellKnownBoundPercent = 70;  // gt 1023 or lt 1024 rather than a service port
// An edge-case address with bits under its wildcard.
constexpr int kBitsUnderWildcardPercent = 10;

// The setting config, rule by rule: dropped, copied or narrowed (a
// duplicate), changed, and now and then followed by a rule of its own.
constexpr int kDroppedPercent = 4;
constexpr int kAddedPercent = 4;
// A narrowed extended "ip" rule without ports becomes "tcp ... eq www".
constexpr int kNarrowToWebPercent = 50;
constexpr int kNarrowSpan = 100;           // a narrowed "gt" spans fewer ports than this
// How a changed rule changes: its permission, source, destination, and
// else its port or option word, in shares of 100.
constexpr int kChangeShares[] = {30, 30, 20, 20};
// An edge-case named list comes back as the other kind.
constexpr int kOtherKindPercent = 20;

// The patterns that are hard for an index.
constexpr int kDistinctSourcePortPercent = 10;  // the port is the source port
constexpr int kDistinctBothPortsPercent = 5;    // and the destination port another
constexpr int kDistinctRanges = 16;             // rules with "range P P+3", not "eq P"
constexpr int kChangedPortPercent = 10;         // a setting rule moves to another port
constexpr int kOnePortRangePercent = 10;        // a setting rule says "range P P"
constexpr int kHostWithinPercent = 76;          // a setting rule is a host within its rule
constexpr int kHostBesidePercent = 10;          // a setting rule is a host beside it

// Lines around the rules.
constexpr int kEdgeLinePercent = 2;         // an edge-case line after a rule or block
constexpr int kCrLfPercent = 50;            // an edge-case text ends its lines with CR LF
constexpr int kNoLastLineEndPercent = 50;   // an edge-case text's last line has no line end

// The index of the share of `shares` (summing to 100, taken one after the
// other) that `roll`, from 0 to 99, falls in.
template <std::size_t N>
int shareOf(int roll, const int (&shares)[N]) {
  std::size_t k = 0;
  int bound = shares[0];
  while (k + 1 < N && roll >= bound) bound += shares[++k];
  return static_cast<int>(k);
}

std::uint32_t siteNetwork(int site) {
  auto s = static_cast<std::uint32_t>(site);
  return ((10u + (s >> 16)) << 24) | ((s & 0xFFFFu) << 8);
}

const char* portNameFor(int protocolNo, int port) {
  if (protocolNo == 6) {
    for (const PortName& p : kTcpNames) {
      if (p.port == port) return p.name;
    }
  } else if (protocolNo == 17) {
    for (const PortName& p : kUdpNames) {
      if (p.port == port) return p.name;
    }
  }
  return nullptr;
}

class Writer {
 public:
  explicit Writer(const char* lineEnd) : lineEnd(lineEnd) {}

  void line(std::string_view text) {
    out.append(text);
    out.append(lineEnd);
    ++lineCount;
  }
  std::string& text() { return out; }
  int lines() const { return lineCount; }
  void reserve(std::size_t bytes) { out.reserve(bytes); }

 private:
  std::string out;
  const char* lineEnd;
  int lineCount = 0;
};

void appendNumber(std::string& out, long long value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void appendQuad(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    appendNumber(out, (value >> shift) & 0xFFu);
    if (shift > 0) out.push_back('.');
  }
}

void appendAddress(std::string& out, const Address& a) {
  switch (a.form) {
    case AddressForm::any: out += "any"; return;
    case AddressForm::host: out += "host "; appendQuad(out, a.address); return;
    case AddressForm::wildcard:
      appendQuad(out, a.address);
      out.push_back(' ');
      appendQuad(out, a.wildcard);
      return;
  }
}

void appendPortValue(std::string& out, int protocolNo, int port, bool byName) {
  const char* name = byName ? portNameFor(protocolNo, port) : nullptr;
  if (name) {
    out += name;
  } else {
    appendNumber(out, port);
  }
}

void appendPort(std::string& out, int protocolNo, const Port& p) {
  static constexpr const char* kOps[] = {"eq", "gt", "lt", "neq", "range"};
  if (p.op == kNoPort) return;
  out.push_back(' ');
  out += kOps[p.op];
  out.push_back(' ');
  appendPortValue(out, protocolNo, p.low, p.byName);
  if (p.op == kRange) {
    out.push_back(' ');
    appendPortValue(out, protocolNo, p.high, p.byName);
  }
}

// The words of a rule after the list number ("permit ..."), standard or
// extended by `standard`.
void appendRuleBody(std::string& out, const Rule& r, bool standard) {
  out += r.deny ? "deny " : "permit ";
  if (standard) {
    appendAddress(out, r.source);
    return;
  }
  out += r.protocol;
  out.push_back(' ');
  appendAddress(out, r.source);
  appendPort(out, r.protocolNo, r.sourcePort);
  out.push_back(' ');
  appendAddress(out, r.destination);
  appendPort(out, r.protocolNo, r.destinationPort);
  for (const std::string& option : r.options) {
    out.push_back(' ');
    out += option;
  }
}

class Generator {
 public:
  explicit Generator(const GeneratorShape& shape)
      : shape(shape), random(shape.seed * 0x2545F4914F6CDD1DULL + 12345) {
    totalSites = std::max(1, shape.rules / kRulesPerSite + 1);
  }

  ConfigPair run();
  ConfigFleet runFleet(int count);

 private:
  std::vector<AccessList> makeSourceLists();
  Rule makeStandardRule(int site);
  Rule makeExtendedRule(int site);
  Rule closingRule(bool standard);
  Address hostIn(int site) {
    return {AddressForm::host, siteNetwork(site) | static_cast<std::uint32_t>(1 + random.below(254)),
            0};
  }
  Address subnetIn(int site);
  Port portFor(int protocolNo);
  int randomSite() { return random.below(totalSites); }

  std::vector<AccessList> deriveSetting(const std::vector<AccessList>& source);
  Rule deriveRule(const Rule& r, bool standard);
  void narrow(Rule& r, bool standard);
  void change(Rule& r, bool standard);

  // The two patterns that are hard for an index, as one list each.
  std::vector<AccessList> distinctPortsList();
  std::vector<AccessList> distinctMasksList();
  template <typename Change>
  std::vector<AccessList> deriveEachRule(const std::vector<AccessList>& source, Change change);
  std::vector<AccessList> deriveDistinctPorts(const std::vector<AccessList>& source);
  std::vector<AccessList> deriveDistinctMasks(const std::vector<AccessList>& source);

  std::string render(const std::vector<AccessList>& lists, const char* lineEnd, bool isSource);
  void noiseLine(Writer& w);
  void edgeLines(Writer& w, bool isSource);

  const GeneratorShape& shape;
  Random random;
  int totalSites;
};

Address Generator::subnetIn(int site) {
  // /24, /26, /28 or /30 inside the site's /24.
  static constexpr int kHostBits[] = {8, 6, 4, 2};
  int bits = random.pick(kHostBits);
  std::uint32_t wildcard = (1u << bits) - 1;
  std::uint32_t offset = static_cast<std::uint32_t>(random.below(256)) & ~wildcard & 0xFFu;
  Address a{AddressForm::wildcard, siteNetwork(site) | offset, wildcard};
  // Now and then an address with bits under its wildcard, as people write.
  if (shape.edgeCases && random.percent(kBitsUnderWildcardPercent)) a.address |= wildcard & 1u;
  return a;
}

Port Generator::portFor(int protocolNo) {
  Port p;
  const bool tcp = protocolNo == 6;
  const int roll = random.below(100);
  const int common = tcp ? random.pick(kTcpPorts) : random.pick(kUdpPorts);
  static constexpr int kOperators[] = {kEq, kRange, kGt, kLt, kNeq};
  p.op = kOperators[shareOf(roll, kPortOperatorShares)];
  p.low = common;
  if (p.op == kRange) {
    p.high = common + random.below(kRangeSpan);
    if (random.percent(kHighPortsPercent)) {
      p.low = 1024;
      p.high = 65535;
    } else if (random.percent(kAllPortsPercent)) {
      p.low = 0;
      p.high = 65535;
    }
  } else if (p.op == kGt) {
    p.low = random.percent(kWellKnownBoundPercent) ? 1023 : common;
  } else if (p.op == kLt) {
    p.low = random.percent(kWellKnownBoundPercent) ? 1024 : common;
  }
  p.byName = random.percent(kEitherWayPercent);
  return p;
}

Rule Generator::makeStandardRule(int site) {
  Rule r;
  r.deny = !shape.onePermission && random.percent(kDenyPercent);
  r.source = random.percent(kStandardHostPercent) ? hostIn(site) : subnetIn(site);
  return r;
}

Rule Generator::makeExtendedRule(int site) {
  Rule r;
  r.deny = !shape.onePermission && random.percent(kDenyPercent);
  const int peer = randomSite();
  // In the order of kExtendedKindShares.
  enum Kind {
    kService,         // a service reachable from anywhere
    kSubnetToServer,  // a subnet to a server
    kUdpService,
    kIcmp,
    kSubnetToSubnet,
    kReplies,         // replies from a server: a source port operand
    kOtherProtocol,
    kHostToHost,
    kSubnetService,   // a service of a subnet from anywhere
    kUdpBothPorts,
  };
  switch (shareOf(random.below(100), kExtendedKindShares)) {
    case kService:
      r.protocol = "tcp";
      r.protocolNo = 6;
      r.destination = hostIn(site);
      r.destinationPort = portFor(6);
      break;
    case kSubnetToServer:
      r.protocol = "tcp";
      r.protocolNo = 6;
      r.source = subnetIn(site);
      r.destination = hostIn(peer);
      r.destinationPort = portFor(6);
      break;
    case kUdpService:
      r.protocol = "udp";
      r.protocolNo = 17;
      r.source = random.percent(kEitherWayPercent) ? hostIn(site) : subnetIn(site);
      r.destination = hostIn(peer);
      r.destinationPort = portFor(17);
      break;
    case kIcmp:
      r.protocol = "icmp";
      r.protocolNo = 1;
      r.source = random.percent(kIcmpFromAnyPercent) ? Address{} : subnetIn(peer);
      r.destination = hostIn(site);
      r.options.push_back(random.pick(kIcmpNames));
      if (random.percent(kSecondIcmpNamePercent)) r.options.push_back(random.pick(kIcmpNames));
      break;
    case kSubnetToSubnet:
      r.source = subnetIn(site);
      r.destination = subnetIn(peer);
      break;
    case kReplies:
      r.protocol = "tcp";
      r.protocolNo = 6;
      r.source = hostIn(site);
      r.sourcePort = portFor(6);
      r.destination = random.percent(kEitherWayPercent) ? Address{} : subnetIn(peer);
      if (random.percent(kEitherWayPercent)) r.options.push_back("established");
      break;
    case kOtherProtocol:
      r.protocol = random.pick(kOtherProtocols);
      r.protocolNo = 47;  // only "not tcp/udp/icmp" matters to the generator
      r.source = hostIn(site);
      r.destination = hostIn(peer);
      break;
    case kHostToHost:
      r.source = hostIn(site);
      r.destination = hostIn(peer);
      if (random.percent(kEitherWayPercent)) r.options.push_back("log");
      break;
    case kSubnetService:
      r.protocol = random.percent(kEitherWayPercent) ? "tcp" : "6";
      r.protocolNo = 6;
      r.destination = subnetIn(site);
      r.destinationPort = portFor(6);
      break;
    default:
      r.protocol = random.percent(kEitherWayPercent) ? "udp" : "17";
      r.protocolNo = 17;
      r.source = subnetIn(peer);
      r.sourcePort = portFor(17);
      r.destination = hostIn(site);
      r.destinationPort = portFor(17);
      break;
  }
  return r;
}

Rule Generator::closingRule(bool standard) {
  Rule r;
  r.deny = true;
  if (!standard && random.percent(kClosingLogPercent)) r.options.push_back("log");
  return r;
}

std::vector<AccessList> Generator::makeSourceLists() {
  int listCount = std::max(1, shape.lists);
  std::vector<AccessList> lists(static_cast<std::size_t>(listCount));
  int nextStandard = 1, nextExtended = 100, namedCounter = 0;
  static constexpr const char* kNameStems[] = {"WEB", "MGMT", "VPN", "DMZ-IN", "DMZ-OUT", "BRANCH",
                                               "voice", "Guest_Wifi", "SNMP-RO", "BACKUP"};
  for (int k = 0; k < listCount; ++k) {
    AccessList& list = lists[static_cast<std::size_t>(k)];
    list.standard = listCount > 1 && random.percent(shape.standardPercent);
    list.named = listCount > 1 && random.percent(shape.namedPercent);
    if (list.named) {
      list.blockForm = true;
      list.name = random.pick(kNameStems);
      list.name += '-';
      appendNumber(list.name, ++namedCounter);
    } else {
      // Numbers run through both ranges of their kind and then start over,
      // so that a large shape reuses numbers (one list in two places).
      if (list.standard) {
        list.number = nextStandard;
        nextStandard = nextStandard == 99 ? 1300 : nextStandard == 1999 ? 1 : nextStandard + 1;
      } else {
        list.number = listCount == 1 ? 101 : nextExtended;
        nextExtended = nextExtended == 199 ? 2000 : nextExtended == 2699 ? 100 : nextExtended + 1;
      }
      list.blockForm = listCount > 1 && random.percent(kBlockFormPercent);
    }
  }
  // Spread the rules over the lists; each list works on its own sites.
  for (int k = 0; k < shape.rules; ++k) {
    AccessList& list = lists[static_cast<std::size_t>(k % listCount)];
    int site = ((k / listCount / kRulesPerSite) * listCount + k % listCount) % totalSites;
    list.rules.push_back(list.standard ? makeStandardRule(site) : makeExtendedRule(site));
  }
  if (!shape.onePermission) {
    for (AccessList& list : lists) {
      if (!list.rules.empty() && random.percent(kClosingRulePercent)) {
        list.rules.back() = closingRule(list.standard);
      }
    }
  }
  return lists;
}

void Generator::narrow(Rule& r, bool standard) {
  auto narrowAddress = [&](Address& a) {
    if (a.form == AddressForm::any) {
      if (random.percent(kEitherWayPercent)) a = hostIn(randomSite());
    } else if (a.form == AddressForm::wildcard) {
      std::uint32_t inside = static_cast<std::uint32_t>(random.next()) & a.wildcard;
      a = {AddressForm::host, (a.address & ~a.wildcard) | inside, 0};
    }
  };
  narrowAddress(r.source);
  if (standard) return;
  narrowAddress(r.destination);
  if (r.protocolNo == 0 && r.sourcePort.op == kNoPort && random.percent(kNarrowToWebPercent)) {
    r.protocol = "tcp";
    r.protocolNo = 6;
    r.destinationPort = {kEq, 80, 0, true};
    return;
  }
  auto narrowPort = [&](Port& p) {
    if (p.op == kRange) {
      int span = p.high - p.low;
      p.low += span > 0 ? random.below(span + 1) : 0;
      p.op = kEq;
    } else if (p.op == kGt && p.low < 65535) {
      p.op = kRange;
      p.low = p.low + 1;
      p.high = std::min(65535, p.low + random.below(kNarrowSpan));
    } else if (p.op == kLt && p.low > 0) {
      p.op = kEq;
      p.low = random.below(p.low);
    }
  };
  narrowPort(r.sourcePort);
  narrowPort(r.destinationPort);
}

void Generator::change(Rule& r, bool standard) {
  // In the order of kChangeShares.
  enum Change { kPermission, kSource, kDestination, kPortOrOption };
  const int change = shareOf(random.below(100), kChangeShares);
  if (change == kPermission && !shape.onePermission) {
    r.deny = !r.deny;
  } else if (change <= kSource || standard) {
    r.source = random.percent(kEitherWayPercent) ? hostIn(randomSite()) : subnetIn(randomSite());
  } else if (change == kDestination) {
    r.destination = hostIn(randomSite());
  } else if (r.protocolNo == 6 || r.protocolNo == 17) {
    r.destinationPort = portFor(r.protocolNo);
  } else if (r.protocolNo == 1) {
    r.options.assign(1, random.pick(kIcmpNames));
  } else {
    r.destination = subnetIn(randomSite());
  }
}

Rule Generator::deriveRule(const Rule& r, bool standard) {
  Rule derived = r;
  int roll = random.below(100);
  int narrowShare = shape.duplicatePercent / 3;
  if (roll < shape.duplicatePercent - narrowShare) return derived;
  if (roll < shape.duplicatePercent) {
    narrow(derived, standard);
  } else {
    change(derived, standard);
  }
  return derived;
}

std::vector<AccessList> Generator::deriveSetting(const std::vector<AccessList>& source) {
  std::vector<AccessList> setting;
  setting.reserve(source.size() + 2);
  for (const AccessList& list : source) {
    AccessList derived = list;
    derived.rules.clear();
    // A list of the same name but the other kind: standard setting rules
    // meet extended source rules and the other way round.
    if (shape.edgeCases && list.named && random.percent(kOtherKindPercent)) {
      derived.standard = !list.standard;
    }
    derived.rules.reserve(list.rules.size() + 4);
    for (const Rule& r : list.rules) {
      const int roll = random.below(100);
      if (roll < kDroppedPercent) continue;
      derived.rules.push_back(deriveRule(r, list.standard));
      if (roll >= 100 - kAddedPercent) {
        int site = randomSite();
        derived.rules.push_back(list.standard ? makeStandardRule(site) : makeExtendedRule(site));
      }
    }
    setting.push_back(std::move(derived));
  }
  // The named lists in another order: equal names, other name-table places.
  std::vector<std::size_t> named;
  for (std::size_t k = 0; k < setting.size(); ++k) {
    if (setting[k].named) named.push_back(k);
  }
  for (std::size_t k = named.size(); k > 1; --k) {
    std::size_t j = static_cast<std::size_t>(random.below(static_cast<int>(k)));
    std::swap(setting[named[k - 1]], setting[named[j]]);
  }
  if (setting.size() > 1) {
    AccessList extra;
    extra.named = true;
    extra.blockForm = true;
    extra.name = "SETTING-ONLY";
    for (int k = 0; k < 5; ++k) extra.rules.push_back(makeExtendedRule(randomSite()));
    setting.push_back(std::move(extra));
  }
  return setting;
}

void Generator::noiseLine(Writer& w) {
  std::string text;
  switch (random.below(8)) {
    case 0: text = "!"; break;
    case 1: text = "interface GigabitEthernet0/"; appendNumber(text, random.below(48)); break;
    case 2:
      text = " ip address ";
      appendQuad(text, siteNetwork(randomSite()) | 1u);
      text += " 255.255.255.0";
      break;
    case 3: text = " ip access-group "; appendNumber(text, 100 + random.below(100)); text += " in"; break;
    case 4:
      text = "ip route 0.0.0.0 0.0.0.0 ";
      appendQuad(text, siteNetwork(randomSite()) | 254u);
      break;
    case 5: text = " description uplink to core "; appendNumber(text, random.below(100)); break;
    case 6: text = "hostname rtr-"; appendNumber(text, random.below(1000)); break;
    default: text = ""; break;
  }
  w.line(text);
}

// Lines that take the check's rarer paths; written into both texts so
// that they meet their counterparts.
void Generator::edgeLines(Writer& w, bool isSource) {
  std::string text;
  switch (random.below(14)) {
    case 0: w.line("ip access-list logging interval 10"); break;  // unset acl_no, no error
    case 1: w.line("ip access-list log-update threshold 5"); break;
    case 2:  // the empty name
      w.line(random.percent(kEitherWayPercent) ? "ip access-list standard" : "ip access-list extended");
      w.line(" permit any");
      w.line(" deny host 10.0.0.1");
      break;
    case 3:  // a name too long to store
      w.line("ip access-list extended ABCDEFGHIJKLMNOPQRSTUVWXYZ");
      w.line(" permit ip any any");
      break;
    case 4:  // a name opened again, of the other kind in the setting config
      w.line(isSource ? "ip access-list standard TWICE" : "ip access-list extended TWICE");
      w.line(isSource ? " permit 10.7.1.0 0.0.0.255" : " permit tcp 10.7.1.0 0.0.0.255 host 10.7.2.2 eq 22");
      break;
    case 5:
      w.line("access-list 101 permit tcp any any eq 1 2 3 4 5 6 7 8 9 10 11 12");  // too many words
      break;
    case 6: w.line("access-list 101 permit udp any any eq www"); break;  // a TCP name on UDP
    case 7: w.line("access-list 300 permit any"); break;                  // no list number
    case 8: w.line("access-list 10 remark --- management ---"); break;
    case 9: w.line("\tpermit ip any any"); break;  // a tab is part of a word
    case 10:
      text = "access-list 110 permit icmp any any echo echo ";
      text.append(300, 'x');  // longer than a word and than a summary line
      w.line(text);
      break;
    case 11: w.line("access-list 110 permit icmp any any echo-reply echo unreachable"); break;
    case 12: w.line("ip access-list standard 10"); w.line(" permit 10.9.9.0 0.0.0.255"); break;
    default: w.line("access-list 199 permit tcp any range 0 65535 any neq 23 log"); break;
  }
}

std::string Generator::render(const std::vector<AccessList>& lists, const char* lineEnd,
                              bool isSource) {
  Writer w(lineEnd);
  w.reserve(static_cast<std::size_t>(shape.rules) * 64 + 4096);
  w.line("hostname generated");
  w.line("!");
  std::string text;
  auto maybeNoise = [&]() {
    if (shape.noisePercent > 0 && random.percent(shape.noisePercent)) noiseLine(w);
    if (shape.edgeCases && random.percent(kEdgeLinePercent)) edgeLines(w, isSource);
  };
  for (const AccessList& list : lists) {
    const char* kind = list.standard ? "standard" : "extended";
    if (list.blockForm) {
      text = "ip access-list ";
      text += kind;
      text.push_back(' ');
      if (list.named) {
        text += list.name;
      } else {
        appendNumber(text, list.number);
      }
      w.line(text);
    }
    for (const Rule& r : list.rules) {
      text = list.blockForm ? " " : "access-list ";
      if (!list.blockForm) {
        appendNumber(text, list.number);
        text.push_back(' ');
      }
      appendRuleBody(text, r, list.standard);
      w.line(text);
      // Other lines would close an open block; they go between blocks and
      // between numbered rules only.
      if (!list.blockForm) maybeNoise();
    }
    if (list.blockForm) maybeNoise();
  }
  w.line("end");
  std::string out = std::move(w.text());
  if (shape.lines > 0) {
    // Cut or pad to exactly shape.lines lines.
    int count = w.lines();
    std::size_t endLength = std::char_traits<char>::length(lineEnd);
    if (count > shape.lines) {
      std::size_t at = 0;
      for (int k = 0; k < shape.lines; ++k) at = out.find('\n', at) + 1;
      out.resize(at);
    }
    for (; count < shape.lines; ++count) {
      out += "!";
      out.append(lineEnd, endLength);
    }
  }
  if (shape.edgeCases && random.percent(kNoLastLineEndPercent) && out.size() > 2) {
    // The last line without its line break.
    out.resize(out.size() - std::char_traits<char>::length(lineEnd));
  }
  return out;
}

// Rule k's port is 1 + (k * 7919) % 65535: distinct for 65,535 rules, and
// not in order. Most rules name it as the destination port, some as the
// source port, some as the source port beside a destination port of their
// own; and kDistinctRanges rules, spread over the list, a short range.
std::vector<AccessList> Generator::distinctPortsList() {
  std::vector<AccessList> lists(1);
  AccessList& list = lists[0];
  list.number = 120;
  const Address host{AddressForm::host, 0x0A010101u, 0};  // 10.1.1.1
  for (int k = 0; k < shape.rules; ++k) {
    const int port = 1 + static_cast<int>((static_cast<long long>(k) * 7919) % 65535);
    Rule r;
    r.protocol = "tcp";
    r.protocolNo = 6;
    const int roll = random.below(100);
    if (roll < kDistinctSourcePortPercent + kDistinctBothPortsPercent) {
      r.source = host;
      r.sourcePort = {kEq, port, 0, false};
      if (roll >= kDistinctSourcePortPercent) {
        r.destination = host;
        r.destinationPort = {kEq, 1 + static_cast<int>((static_cast<long long>(k) * 4099) % 65535),
                             0, false};
      }
    } else {
      r.destination = host;
      const bool range = k % std::max(1, shape.rules / kDistinctRanges) == 0;
      r.destinationPort = {range ? kRange : kEq, port, port + 3, false};
    }
    list.rules.push_back(r);
  }
  return lists;
}

// The setting list of a one-list shape: each source rule in order, a few
// dropped, the others copied and passed to `change` with the roll (0-99)
// that decided they stay.
template <typename Change>
std::vector<AccessList> Generator::deriveEachRule(const std::vector<AccessList>& source,
                                                  Change change) {
  std::vector<AccessList> setting = source;
  std::vector<Rule>& rules = setting[0].rules;
  rules.clear();
  for (const Rule& r : source[0].rules) {
    const int roll = random.below(100);
    if (roll < kDroppedPercent) continue;
    Rule derived = r;
    change(r, derived, roll);
    rules.push_back(derived);
  }
  return setting;
}

// The setting rules in the same order: most copied, some a range of the
// one port ("range P P", which "eq P" covers), some moved to another port.
std::vector<AccessList> Generator::deriveDistinctPorts(const std::vector<AccessList>& source) {
  return deriveEachRule(source, [this](const Rule&, Rule& derived, int roll) {
    Port& port = derived.sourcePort.op != kNoPort ? derived.sourcePort : derived.destinationPort;
    if (roll >= 100 - kChangedPortPercent) {
      port = {kEq, random.below(65536), 0, false};
    } else if (roll >= 100 - kChangedPortPercent - kOnePortRangePercent && port.op == kEq) {
      port = {kRange, port.low, port.low, false};
    }
  });
}

// Rule k's source wildcard is 2k + 3 ("0.0.0.3", "0.0.0.5", ...):
// distinct, and contiguous only where 2k + 4 is a power of two. Its source
// address differs in the 14 bits above the widest wildcard (up to 131,070
// rules), and its destination is a host of its own, so that a rule covers
// only the setting rules made from it.
std::vector<AccessList> Generator::distinctMasksList() {
  std::vector<AccessList> lists(1);
  AccessList& list = lists[0];
  list.number = 121;
  for (int k = 0; k < shape.rules; ++k) {
    const auto index = static_cast<std::uint32_t>(k);
    Rule r;
    r.source = {AddressForm::wildcard, ((index * 40503u) & 0x3FFFu) << 18, 2 * index + 3};
    r.destination = {AddressForm::host, 0x0A000000u + index, 0};  // 10.0.0.0 + k
    list.rules.push_back(r);
  }
  return lists;
}

// The setting rules in the same order: most a host within their source
// rule, some the rule itself, some a host beside it: in a gap of a
// non-contiguous wildcard, else just above the wildcard.
std::vector<AccessList> Generator::deriveDistinctMasks(const std::vector<AccessList>& source) {
  return deriveEachRule(source, [this](const Rule& r, Rule& derived, int roll) {
    const auto bits = static_cast<std::uint32_t>(random.next());
    if (roll < kDroppedPercent + kHostWithinPercent) {
      derived.source = {AddressForm::host, r.source.address | (bits & r.source.wildcard), 0};
    } else if (roll >= 100 - kHostBesidePercent) {
      const std::uint32_t wildcard = r.source.wildcard;
      const std::uint32_t gaps = ~wildcard & (std::bit_floor(wildcard) - 1);
      const std::uint32_t beside = gaps != 0 ? gaps & (0u - gaps) : wildcard + 1;
      derived.source = {AddressForm::host, r.source.address | (bits & wildcard) | beside, 0};
    }
  });
}

ConfigPair Generator::run() {
  std::vector<AccessList> sourceLists;
  std::vector<AccessList> settingLists;
  if (shape.pattern == Pattern::distinctPorts) {
    sourceLists = distinctPortsList();
    settingLists = deriveDistinctPorts(sourceLists);
  } else if (shape.pattern == Pattern::distinctMasks) {
    sourceLists = distinctMasksList();
    settingLists = deriveDistinctMasks(sourceLists);
  } else {
    sourceLists = makeSourceLists();
    settingLists = deriveSetting(sourceLists);
  }
  const char* sourceEnd = shape.edgeCases && random.percent(kCrLfPercent) ? "\r\n" : "\n";
  const char* settingEnd = shape.edgeCases && random.percent(kCrLfPercent) ? "\r\n" : "\n";
  ConfigPair pair;
  pair.source = render(sourceLists, sourceEnd, true);
  pair.setting = render(settingLists, settingEnd, false);
  return pair;
}

ConfigFleet Generator::runFleet(int count) {
  std::vector<AccessList> sourceLists = makeSourceLists();
  ConfigFleet fleet;
  const char* sourceEnd = shape.edgeCases && random.percent(50) ? "\r\n" : "\n";
  fleet.source = render(sourceLists, sourceEnd, true);
  for (int k = 0; k < count; ++k) {
    std::vector<AccessList> settingLists = deriveSetting(sourceLists);
    const char* settingEnd = shape.edgeCases && random.percent(50) ? "\r\n" : "\n";
    fleet.settings.push_back(render(settingLists, settingEnd, false));
  }
  return fleet;
}

bool parseNumber(std::string_view text, long long& out) {
  if (text.empty()) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), out);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

GeneratorShape manyListsShape(int rules, std::uint64_t seed) {
  GeneratorShape shape;
  shape.rules = rules;
  shape.lists = std::max(1, rules / 100);
  shape.seed = seed;
  return shape;
}

GeneratorShape oneListShape(int rules, std::uint64_t seed) {
  GeneratorShape shape;
  shape.rules = rules;
  shape.lists = 1;
  shape.onePermission = true;
  shape.seed = seed;
  return shape;
}

GeneratorShape distinctPortsShape(int rules, std::uint64_t seed) {
  GeneratorShape shape = oneListShape(rules, seed);
  shape.pattern = Pattern::distinctPorts;
  return shape;
}

GeneratorShape distinctMasksShape(int rules, std::uint64_t seed) {
  GeneratorShape shape = oneListShape(rules, seed);
  shape.pattern = Pattern::distinctMasks;
  return shape;
}

GeneratorShape linesShape(int lines, std::uint64_t seed) {
  // About 8 noise lines and 1 to 2 list openings per 100 rules.
  GeneratorShape shape = manyListsShape(lines * 100 / 110, seed);
  shape.lines = lines;
  return shape;
}

bool parseShape(std::string_view text, GeneratorShape& shape, std::string& error) {
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string_view piece = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (piece == "many" || piece == "one" || piece == "ports" || piece == "masks") {
      std::uint64_t seed = shape.seed;
      int lines = shape.lines;
      shape = piece == "many"    ? manyListsShape(shape.rules, seed)
              : piece == "one"   ? oneListShape(shape.rules, seed)
              : piece == "ports" ? distinctPortsShape(shape.rules, seed)
                                 : distinctMasksShape(shape.rules, seed);
      shape.lines = lines;
      continue;
    }
    std::size_t equals = piece.find('=');
    long long value = 0;
    if (equals == std::string_view::npos || !parseNumber(piece.substr(equals + 1), value) ||
        value < 0 || value > 100000000) {
      error = std::string(piece);
      return false;
    }
    std::string_view key = piece.substr(0, equals);
    int v = static_cast<int>(value);
    if (key == "rules") shape.rules = v;
    else if (key == "lists") shape.lists = v;
    else if (key == "namedPercent") shape.namedPercent = v;
    else if (key == "standardPercent") shape.standardPercent = v;
    else if (key == "onePermission") shape.onePermission = v != 0;
    else if (key == "noisePercent") shape.noisePercent = v;
    else if (key == "duplicatePercent") shape.duplicatePercent = v;
    else if (key == "edgeCases") shape.edgeCases = v != 0;
    else if (key == "lines") shape.lines = v;
    else if (key == "seed") shape.seed = static_cast<std::uint64_t>(value);
    else {
      error = std::string(piece);
      return false;
    }
  }
  return true;
}

ConfigPair generateConfigPair(const GeneratorShape& shape) {
  Generator generator(shape);
  return generator.run();
}

ConfigFleet generateConfigFleet(const GeneratorShape& shape, int count) {
  Generator generator(shape);
  return generator.runFleet(count);
}

}  // namespace dorvex::bench
