#include "config_generator.h"

#include <algorithm>
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
  std::string rawLine;  // when set, written as it stands (edge-case lines)
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
  if (shape.edgeCases && random.percent(10)) a.address |= wildcard & 1u;
  return a;
}

Port Generator::portFor(int protocolNo) {
  Port p;
  const bool tcp = protocolNo == 6;
  int roll = random.below(100);
  int common = tcp ? random.pick(kTcpPorts) : random.pick(kUdpPorts);
  if (roll < 60) {
    p.op = kEq;
    p.low = common;
  } else if (roll < 75) {
    p.op = kRange;
    p.low = common;
    p.high = common + random.below(200);
    if (random.percent(20)) {
      p.low = 1024;
      p.high = 65535;
    } else if (random.percent(5)) {
      p.low = 0;
      p.high = 65535;
    }
  } else if (roll < 85) {
    p.op = kGt;
    p.low = random.percent(70) ? 1023 : common;
  } else if (roll < 93) {
    p.op = kLt;
    p.low = random.percent(70) ? 1024 : common;
  } else {
    p.op = kNeq;
    p.low = common;
  }
  p.byName = random.percent(50);
  return p;
}

Rule Generator::makeStandardRule(int site) {
  Rule r;
  r.deny = !shape.onePermission && random.percent(15);
  r.source = random.percent(55) ? hostIn(site) : subnetIn(site);
  return r;
}

Rule Generator::makeExtendedRule(int site) {
  Rule r;
  r.deny = !shape.onePermission && random.percent(15);
  int peer = randomSite();
  int roll = random.below(100);
  if (roll < 28) {  // a service reachable from anywhere
    r.protocol = "tcp";
    r.protocolNo = 6;
    r.destination = hostIn(site);
    r.destinationPort = portFor(6);
  } else if (roll < 38) {  // a subnet to a server
    r.protocol = "tcp";
    r.protocolNo = 6;
    r.source = subnetIn(site);
    r.destination = hostIn(peer);
    r.destinationPort = portFor(6);
  } else if (roll < 50) {
    r.protocol = "udp";
    r.protocolNo = 17;
    r.source = random.percent(50) ? hostIn(site) : subnetIn(site);
    r.destination = hostIn(peer);
    r.destinationPort = portFor(17);
  } else if (roll < 58) {
    r.protocol = "icmp";
    r.protocolNo = 1;
    r.source = random.percent(40) ? Address{} : subnetIn(peer);
    r.destination = hostIn(site);
    r.options.push_back(random.pick(kIcmpNames));
    if (random.percent(10)) r.options.push_back(random.pick(kIcmpNames));
  } else if (roll < 66) {  // subnet to subnet
    r.source = subnetIn(site);
    r.destination = subnetIn(peer);
  } else if (roll < 72) {  // replies from a server: source port operand
    r.protocol = "tcp";
    r.protocolNo = 6;
    r.source = hostIn(site);
    r.sourcePort = portFor(6);
    r.destination = random.percent(50) ? Address{} : subnetIn(peer);
    if (random.percent(50)) r.options.push_back("established");
  } else if (roll < 78) {
    r.protocol = random.pick(kOtherProtocols);
    r.protocolNo = 47;  // only "not tcp/udp/icmp" matters to the generator
    r.source = hostIn(site);
    r.destination = hostIn(peer);
  } else if (roll < 86) {
    r.source = hostIn(site);
    r.destination = hostIn(peer);
    if (random.percent(50)) r.options.push_back("log");
  } else if (roll < 94) {  // a range of a subnet from anywhere
    r.protocol = random.percent(50) ? "tcp" : "6";
    r.protocolNo = 6;
    r.destination = subnetIn(site);
    r.destinationPort = portFor(6);
  } else {
    r.protocol = random.percent(50) ? "udp" : "17";
    r.protocolNo = 17;
    r.source = subnetIn(peer);
    r.sourcePort = portFor(17);
    r.destination = hostIn(site);
    r.destinationPort = portFor(17);
  }
  return r;
}

Rule Generator::closingRule(bool standard) {
  Rule r;
  r.deny = true;
  if (!standard && random.percent(50)) r.options.push_back("log");
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
      list.blockForm = listCount > 1 && random.percent(20);
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
      if (!list.rules.empty() && random.percent(60)) list.rules.back() = closingRule(list.standard);
    }
  }
  return lists;
}

void Generator::narrow(Rule& r, bool standard) {
  auto narrowAddress = [&](Address& a) {
    if (a.form == AddressForm::any) {
      if (random.percent(50)) a = hostIn(randomSite());
    } else if (a.form == AddressForm::wildcard) {
      std::uint32_t inside = static_cast<std::uint32_t>(random.next()) & a.wildcard;
      a = {AddressForm::host, (a.address & ~a.wildcard) | inside, 0};
    }
  };
  narrowAddress(r.source);
  if (standard) return;
  narrowAddress(r.destination);
  if (r.protocolNo == 0 && r.sourcePort.op == kNoPort && random.percent(50)) {
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
      p.high = std::min(65535, p.low + random.below(100));
    } else if (p.op == kLt && p.low > 0) {
      p.op = kEq;
      p.low = random.below(p.low);
    }
  };
  narrowPort(r.sourcePort);
  narrowPort(r.destinationPort);
}

void Generator::change(Rule& r, bool standard) {
  int roll = random.below(100);
  if (roll < 30 && !shape.onePermission) {
    r.deny = !r.deny;
  } else if (roll < 60 || standard) {
    r.source = random.percent(50) ? hostIn(randomSite()) : subnetIn(randomSite());
  } else if (roll < 80) {
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
  if (!r.rawLine.empty()) return derived;
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
    if (shape.edgeCases && list.named && random.percent(20)) derived.standard = !list.standard;
    derived.rules.reserve(list.rules.size() + 4);
    for (const Rule& r : list.rules) {
      int roll = random.below(100);
      if (roll < 4) continue;  // dropped
      derived.rules.push_back(deriveRule(r, list.standard));
      if (roll >= 96) {  // a rule of its own
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
      w.line(random.percent(50) ? "ip access-list standard" : "ip access-list extended");
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
  int rulesWritten = 0;
  auto maybeNoise = [&]() {
    if (shape.noisePercent > 0 && random.percent(shape.noisePercent)) noiseLine(w);
    if (shape.edgeCases && random.percent(2)) edgeLines(w, isSource);
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
      if (!r.rawLine.empty()) {
        w.line(r.rawLine);
      } else {
        text = list.blockForm ? " " : "access-list ";
        if (!list.blockForm) {
          appendNumber(text, list.number);
          text.push_back(' ');
        }
        appendRuleBody(text, r, list.standard);
        w.line(text);
      }
      ++rulesWritten;
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
  if (shape.edgeCases && random.percent(50) && out.size() > 2) {
    // The last line without its line break.
    out.resize(out.size() - std::char_traits<char>::length(lineEnd));
  }
  return out;
}

ConfigPair Generator::run() {
  std::vector<AccessList> sourceLists = makeSourceLists();
  std::vector<AccessList> settingLists = deriveSetting(sourceLists);
  const char* sourceEnd = shape.edgeCases && random.percent(50) ? "\r\n" : "\n";
  const char* settingEnd = shape.edgeCases && random.percent(50) ? "\r\n" : "\n";
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
    if (piece == "many" || piece == "one") {
      std::uint64_t seed = shape.seed;
      int lines = shape.lines;
      shape = piece == "many" ? manyListsShape(shape.rules, seed) : oneListShape(shape.rules, seed);
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
