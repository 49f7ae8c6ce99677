// The exact cover test: named cases, and an independent reference that
// decides containment by brute force over every packet of a reduced
// universe, for many random pairs of rules, compared with what the check
// (indexed and pair by pair) reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "checked_configs.h"
#include "dupcheck/list_check.h"
#include "dupcheck/rule_cover.h"

namespace dorvex {
namespace {

constexpr CheckModes kFullExact{Syntax::full, Cover::exact};

struct ExactCase {
  const char* what;
  const char* source;  // lines of the list "L", without its opening
  const char* setting;
  const char* details;  // the expected details text
};

// The false verdicts of the classic cover, and the decisions of the exact
// one. Every source and setting rule stands on line 2 or later of an
// extended list "L".
const ExactCase kCases[] = {
    {"an ICMP message is no other message", " permit icmp any any echo-reply\n",
     " permit icmp any any time-exceeded\n", ""},
    {"established does not cover new connections", " permit tcp any any established\n",
     " permit tcp host 198.51.100.7 any\n", ""},
    {"the protocol test is not symmetric", " permit icmp any any\n",
     " permit ip 2.128.0.0 0.0.255.255 any\n", ""},
    {"the setting rule's own wildcard counts", " permit ip 172.16.2.0 0.0.0.3 any\n",
     " permit ip 172.16.2.0 0.0.0.255 any\n", ""},
    {"a block within the source block", " permit ip 172.16.2.0 0.0.0.255 any\n",
     " permit ip 172.16.2.0 0.0.0.3 any\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"non-contiguous wildcards", " permit ip 10.0.0.0 0.0.255.0 any\n",
     " permit ip 10.0.7.0 0.0.3.0 any\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"ip covers every protocol and its ports", " permit ip any any\n",
     " permit tcp any any eq 22 established\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"an ICMP message within its protocol", " permit icmp any any\n", " permit icmp any any echo\n",
     " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a message name and its type number", " permit icmp any any echo\n",
     " permit icmp any any 8 0\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a type with a code is not the whole type", " permit icmp any any 3 1\n",
     " permit icmp any any unreachable\n", ""},
    {"log never decides", " permit tcp any any eq 22 log\n",
     " permit tcp any any eq 22 log-input TAG\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"extra restrictions of the setting rule narrow it", " permit tcp any any\n",
     " permit tcp any any eq 80 established fragments dscp ef time-range T\n",
     " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a DSCP name and its number", " permit ip any any dscp ef\n", " permit ip any any dscp 46\n",
     " ACL=L source-row=2 setting-row=2 option-word=dscp \r\n"},
    {"a DSCP value inside a precedence", " permit ip any any precedence critical\n",
     " permit ip any any dscp ef\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a DSCP value outside a precedence", " permit ip any any precedence routine\n",
     " permit ip any any dscp ef\n", ""},
    {"established holds ack", " permit tcp any any established\n", " permit tcp any any ack\n",
     " ACL=L source-row=2 setting-row=2 \r\n"},
    {"one port or two, the same flags", " permit tcp any any syn\n",
     " permit tcp any any eq 80 syn ack\n",
     " ACL=L source-row=2 setting-row=2 option-word=syn \r\n"},
    {"time ranges by name", " permit ip any any time-range WORK\n",
     " permit ip any any time-range NIGHT\n", ""},
    {"TCP flag words: packets with both hold SYN", " permit tcp any any syn\n",
     " permit tcp any any syn ack\n", " ACL=L source-row=2 setting-row=2 option-word=syn \r\n"},
    {"no port operand covers every port", " permit tcp any any\n",
     " permit tcp any any range 0 65535\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"all ports cover no port operand", " permit tcp any any range 0 65535\n",
     " permit tcp any any\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"neq by set inclusion", " permit tcp any any neq 23\n", " permit tcp any any gt 23\n",
     " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a port operand admitting no port is covered", " permit tcp any any eq 22\n",
     " permit tcp any any gt 65535\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a word not understood on the source rule", " permit ip any any option record-route\n",
     " permit ip any any\n",
     " ACL=L source-row=2 setting-row=2 not-covered unknown-word=option \r\n"},
    {"a word not understood on the setting rule", " permit tcp any any eq 80\n",
     " permit tcp any any eq 80 reflect R\n",
     " ACL=L source-row=2 setting-row=2 not-covered unknown-word=reflect \r\n"},
    {"a known restriction decides before a word not understood",
     " permit tcp any any established\n", " permit tcp any any eq 80 reflect R\n", ""},
    {"several ports after eq are one set", " permit tcp any any range 80 443\n",
     " permit tcp any any eq 80 443 www\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"a set of ports is not within one of them", " permit tcp any any eq 80\n",
     " permit udp any any eq bootps bootpc\n", ""},
    {"neq of several ports", " permit udp any any neq 53 123\n", " permit udp any any eq 67 68\n",
     " ACL=L source-row=2 setting-row=2 \r\n"},
    {"an ICMP message with a code within its type", " permit icmp any any unreachable\n",
     " permit icmp any any port-unreachable\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"an ICMP type not within one of its codes", " permit icmp any any host-unreachable\n",
     " permit icmp any any unreachable\n", ""},
    {"ttl by its range", " permit ip any any ttl gt 3\n", " permit ip any any ttl eq 255\n",
     " ACL=L source-row=2 setting-row=2 option-word=ttl \r\n"},
    {"ttl neq is two ranges", " permit ip any any ttl neq 5\n", " permit ip any any ttl lt 6\n",
     ""},
    {"match-all within match-any", " permit tcp any any match-any +ack +rst\n",
     " permit tcp any any match-all +ack -fin\n",
     " ACL=L source-row=2 setting-row=2 option-word=+ack \r\n"},
    {"established is match-any +ack +rst", " permit tcp any any established\n",
     " permit tcp any any match-any +ack +rst\n", " ACL=L source-row=2 setting-row=2 \r\n"},
    {"match-any not within one of its flags", " permit tcp any any ack\n",
     " permit tcp any any match-any +ack +syn\n", ""},
    {"permit against deny", " permit ip any any\n", " deny ip any any\n", ""},
};

TEST(ExactCoverTest, NamedCases) {
  auto indexed = CheckedConfigs::make();
  auto byPairs = CheckedConfigs::make();
  for (const ExactCase& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string source = std::string("ip access-list extended L\n") + c.source;
    const std::string setting = std::string("ip access-list extended L\n") + c.setting;
    ASSERT_TRUE(indexed->check(source, setting, false, kFullExact));
    ASSERT_TRUE(byPairs->check(source, setting, true, kFullExact));
    EXPECT_EQ(c.details, indexed->details.view());
    EXPECT_EQ(c.details, byPairs->details.view());
  }
}

// Standard and extended lists of one name meet; and lines that are not
// rules never form a pair.
TEST(ExactCoverTest, KindsOfListAndLinesThatAreNoRules) {
  const ExactCase kMore[] = {
      {"a standard source rule covers every protocol",
       "ip access-list standard L\n permit 10.1.0.0 0.0.255.255\n",
       "ip access-list extended L\n permit udp host 10.1.2.3 eq 53 any\n",
       " ACL=L source-row=2 setting-row=2 \r\n"},
      {"a standard setting rule is covered only by ip to any",
       "ip access-list extended L\n permit tcp any any\n permit ip 10.0.0.0 0.255.255.255 any\n"
       " permit ip any host 10.9.9.9\n",
       "ip access-list standard L\n permit host 10.1.1.1\n",
       " ACL=10000 source row=3 set row=2\r\n"},
      {"IPv6 lists meet IPv6 lists", "ipv6 access-list L\n permit ipv6 any any\n",
       "ipv6 access-list L\n permit tcp 2001:db8::/32 any eq 443\n",
       " ACL=L source-row=2 setting-row=2 \r\n"},
      {"an IPv6 list never meets an IPv4 list of its name",
       "ip access-list extended L\n permit ip any any\n",
       "ipv6 access-list L\n permit ipv6 any any\n", ""},
      {"a missing object group leaves a rule unread",
       "ip access-list extended L\n permit ip object-group A any\n",
       "ip access-list extended L\n permit ip object-group A any\n", ""},
      {"nor list settings", "ip access-list logging interval 10\n",
       "ip access-list log-update threshold 1\n", ""},
  };
  auto checked = CheckedConfigs::make();
  for (const ExactCase& c : kMore) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->check(c.source, c.setting, false, kFullExact));
    EXPECT_EQ(c.details, checked->details.view());
  }
  // Unread lines are never compared in the classic cover either.
  ASSERT_TRUE(checked->check(kMore[4].source, kMore[4].setting, false,
                             CheckModes{Syntax::full, Cover::classic}));
  EXPECT_EQ("", checked->details.view());
}

// Words and names of any length are kept whole in the full syntax, so a
// word the check does not understand never widens a rule.
TEST(ExactCoverTest, LongWordsAndNamesAreKeptWhole) {
  const std::string word300(300, 'w');
  const std::string name200(200, 'N');
  const struct {
    const char* what;
    std::string source, setting, details;
  } kLong[] = {
      {"a 26-byte word on the source rule",
       "ip access-list extended L\n permit icmp any any administratively-forbidden\n",
       "ip access-list extended L\n permit icmp any any echo\n",
       " ACL=L source-row=2 setting-row=2 not-covered unknown-word=administratively-forbidden "
       "\r\n"},
      {"a 300-byte word on the setting rule", "ip access-list extended L\n permit tcp any any\n",
       "ip access-list extended L\n permit tcp any any eq 80 " + word300 + "\n",
       " ACL=L source-row=2 setting-row=2 not-covered unknown-word=" + word300 + " \r\n"},
      {"a 200-byte list name", "ip access-list extended " + name200 + "\n permit ip any any\n",
       "ip access-list extended " + name200 + "\n permit tcp any any eq 22\n",
       " ACL=" + name200 + " source-row=2 setting-row=2 \r\n"},
  };
  auto indexed = CheckedConfigs::make();
  for (const auto& c : kLong) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(indexed->check(c.source, c.setting, false, kFullExact));
    EXPECT_EQ(c.details, indexed->details.view());
    EXPECT_EQ(1, indexed->setting.readCounts().rules);
  }
}

// The index gives the exact cover's candidates by the exact cover's own port
// sets: a source rule s decides a setting rule t alike when s stands alone
// and when it stands among 300 rules that cannot cover t (a hashed group).
TEST(ExactCoverTest, TheIndexAgreesWithThePairTestInLongLists) {
  static const char* const kOperands[] = {"",          " eq 65535", " range 65535 65535",
                                          " gt 65534", " lt 1",     " eq 0",
                                          " neq 80",   " gt 65535", " range 0 65535"};
  std::mt19937 random(7);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::string fillers;
  for (int k = 0; k < 300; ++k) {
    fillers += " permit tcp host 192.0.2." + std::to_string(k % 250) + " eq " +
               std::to_string(1000 + k) + " any eq " + std::to_string(2000 + k) + "\n";
  }
  auto alone = CheckedConfigs::make();
  auto among = CheckedConfigs::make();
  for (int k = 0; k < 200; ++k) {
    const std::string s =
        std::string(" permit tcp any") + kOperands[pick(9)] + " any" + kOperands[pick(9)] + "\n";
    const std::string t = std::string(" permit tcp host 10.0.0.1") + kOperands[pick(9)] +
                          " host 10.0.0.2" + kOperands[pick(9)] + "\n";
    SCOPED_TRACE(s + t);
    const std::string setting = "ip access-list extended L\n" + t;
    ASSERT_TRUE(alone->check("ip access-list extended L\n" + s, setting, false, kFullExact));
    ASSERT_TRUE(
        among->check("ip access-list extended L\n" + fillers + s, setting, false, kFullExact));
    EXPECT_EQ(alone->pairs, among->pairs);
  }
}

// Numbers outside their ranges are errors in the full syntax, so a rule
// that would match no packet is never read; the classic syntax reads them.
TEST(ExactCoverTest, NumbersOutOfRangeAreErrorsInTheFullSyntax) {
  const char* const kLines[] = {" permit tcp any any eq 65536\n",
                                " permit tcp any any gt 2147483647\n", " permit 256 any any\n",
                                " permit udp any range 65535 0 any\n"};
  auto checked = CheckedConfigs::make();
  for (const char* line : kLines) {
    SCOPED_TRACE(line);
    const std::string text = std::string("ip access-list extended L\n") + line;
    ASSERT_TRUE(checked->check(text, text, false, kFullExact));
    EXPECT_EQ(0, checked->setting.readCounts().rules);
    EXPECT_EQ(1, checked->setting.readCounts().notRead);
    ASSERT_TRUE(checked->check(text, text, false, CheckModes{}));
    EXPECT_EQ(1, checked->setting.readCounts().rules);
  }
}

// ---- The reference: rules as plain values, matched packet by packet.

struct Block {
  std::uint32_t address = 0, wildcard = 0xFFFFFFFF;
};

struct Ports {
  int op = kNoPort, low = -1, high = -1;
};

struct ModelRule {
  bool permit = true;
  bool standard = false;
  int protocol = kAnyProtocol;
  Block source, destin;
  Ports sourcePorts, destinPorts;
  bool established = false, syn = false, fragments = false;
  int icmpType = -1, icmpCode = -1;
  char timeRange = 0;  // 'A', 'B' or none
  int dscp = -1;
  bool notUnderstood = false;  // carries a word the exact cover does not read
  std::string logWords;        // never decide
};

struct Packet {
  std::uint32_t source = 0, destin = 0;
  int protocol = kTcp;
  int sourcePort = 0, destinPort = 0;
  bool ack = false, syn = false, rst = false, fragment = false;
  int icmpType = 0, icmpCode = 0;
  bool inA = false, inB = false;
  int dscp = 0;
};

bool inBlock(const Block& block, std::uint32_t address) {
  return ((block.address ^ address) & ~block.wildcard) == 0;
}

bool admits(const Ports& ports, int port) {
  switch (ports.op) {
    case kNoPort: return true;
    case kPortEq: return port == ports.low;
    case kPortGt: return port > ports.low;
    case kPortLt: return port < ports.low;
    case kPortNeq: return port != ports.low;
    default: return ports.low <= port && port <= ports.high;
  }
}

bool matches(const ModelRule& rule, const Packet& p) {
  if (!inBlock(rule.source, p.source)) return false;
  if (rule.standard) return true;
  if (rule.protocol != kAnyProtocol && rule.protocol != p.protocol) return false;
  if (!inBlock(rule.destin, p.destin)) return false;
  if (!admits(rule.sourcePorts, p.sourcePort) || !admits(rule.destinPorts, p.destinPort)) {
    return false;
  }
  if (rule.established && !(p.ack || p.rst)) return false;
  if (rule.syn && !p.syn) return false;
  if (rule.fragments && !p.fragment) return false;
  if (rule.icmpType >= 0 && p.icmpType != rule.icmpType) return false;
  if (rule.icmpCode >= 0 && p.icmpCode != rule.icmpCode) return false;
  if (rule.timeRange == 'A' && !p.inA) return false;
  if (rule.timeRange == 'B' && !p.inB) return false;
  return rule.dscp < 0 || rule.dscp == p.dscp;
}

std::string quad(std::uint32_t value) {
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 255) + "." +
         std::to_string((value >> 8) & 255) + "." + std::to_string(value & 255);
}

std::string blockText(const Block& block) {
  if (block.wildcard == 0xFFFFFFFF) return "any";
  return quad(block.address) + " " + quad(block.wildcard);
}

std::string portsText(const Ports& ports) {
  static const char* const kOps[] = {"eq", "gt", "lt", "neq", "range"};
  if (ports.op == kNoPort) return "";
  std::string text = std::string(" ") + kOps[ports.op] + " " + std::to_string(ports.low);
  return ports.op == kPortRange ? text + " " + std::to_string(ports.high) : text;
}

// The rule as a line of its list.
std::string lineOf(const ModelRule& rule) {
  std::string line = rule.permit ? " permit " : " deny ";
  if (rule.standard) return line + blockText(rule.source) + rule.logWords;
  line += std::to_string(rule.protocol) + " " + blockText(rule.source) +
          portsText(rule.sourcePorts) + " " + blockText(rule.destin) + portsText(rule.destinPorts);
  if (rule.established) line += " established";
  if (rule.syn) line += " syn";
  if (rule.fragments) line += " fragments";
  if (rule.icmpType >= 0) line += " " + std::to_string(rule.icmpType);
  if (rule.icmpCode >= 0) line += " " + std::to_string(rule.icmpCode);
  if (rule.timeRange) line += std::string(" time-range ") + rule.timeRange;
  if (rule.dscp >= 0) line += " dscp " + std::to_string(rule.dscp);
  if (rule.notUnderstood) line += " option record-route";
  return line + rule.logWords;
}

// The two reduced universes: addresses, protocols and ports with no
// options; and options with every address and no ports.
enum class Universe { operands, options };

class RuleMaker {
 public:
  RuleMaker(Universe universe, std::uint32_t seed) : universe(universe), random(seed) {}

  ModelRule make() {
    ModelRule rule;
    rule.permit = pick(8) != 0;
    rule.logWords = pick(6) == 0 ? " log" : pick(6) == 0 ? " log-input TAG" : "";
    if (universe == Universe::operands) {
      rule.standard = pick(6) == 0;
      rule.source = block();
      if (rule.standard) return rule;
      rule.protocol = kProtocols[pick(5)];
      rule.destin = block();
      if (rule.protocol == kTcp || rule.protocol == kUdp) {
        rule.sourcePorts = ports();
        rule.destinPorts = ports();
      }
      return rule;
    }
    rule.protocol = kProtocols[pick(5)];
    if (rule.protocol == kTcp) {
      rule.established = pick(3) == 0;
      rule.syn = pick(3) == 0;
    }
    if (rule.protocol == kIcmp && pick(2) == 0) {
      rule.icmpType = kIcmpTypes[pick(4)];
      if (pick(2) == 0) rule.icmpCode = pick(2);
    }
    rule.fragments = pick(4) == 0;
    if (pick(3) == 0) rule.timeRange = pick(2) ? 'A' : 'B';
    if (pick(3) == 0) rule.dscp = kDscps[pick(3)];
    rule.notUnderstood = pick(12) == 0;
    return rule;
  }

  // `rule` with one part drawn again: often a narrower rule, so that covered
  // pairs are common.
  ModelRule vary(ModelRule rule) {
    ModelRule other = make();
    switch (universe == Universe::operands ? pick(5) : pick(7)) {
      case 0: rule.source = other.source; break;
      case 1: rule.destin = other.destin; break;
      case 2: rule.destinPorts = other.destinPorts; break;
      case 3: rule.permit = other.permit; break;
      case 4: rule.logWords = other.logWords; break;
      case 5: rule.established = rule.protocol == kTcp; break;
      default: rule.dscp = other.dscp; break;
    }
    if (rule.protocol != kTcp && rule.protocol != kUdp) rule.destinPorts = Ports{};
    return rule;
  }

  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

 private:
  // 10.0.0.0 to 10.0.0.7 under wildcards of the low three bits, or any.
  Block block() {
    if (pick(5) == 0) return Block{};
    return Block{0x0A000000u | static_cast<std::uint32_t>(pick(8)),
                 static_cast<std::uint32_t>(pick(8))};
  }
  Ports ports() {
    const int op = pick(6) - 1;
    if (op == kNoPort) return Ports{};
    int low = kPortValues[pick(5)], high = kPortValues[pick(5)];
    if (op != kPortRange) return Ports{op, low, -1};
    if (low > high) std::swap(low, high);
    return Ports{op, low, high};
  }

  static constexpr int kProtocols[] = {kAnyProtocol, kTcp, kUdp, kIcmp, 47};
  static constexpr int kIcmpTypes[] = {0, 3, 8, 11};
  static constexpr int kDscps[] = {0, 10, 46};
  // The operands' ports, and beyond them the packets' ports: each operand
  // admits or not alike every port between two of the packets' ports, so
  // these packets stand for all of 0 to 65535. The full syntax rejects a
  // port past 65535, so none is made.
  static constexpr int kPortValues[] = {0, 1, 2, 65534, 65535};

  Universe universe;
  std::mt19937 random;
};

constexpr int kPacketPorts[] = {0, 1, 2, 3, 1000, 65533, 65534, 65535};

// Every packet of the universe, one after the other.
template <typename Visit>
bool everyPacket(Universe universe, Visit visit) {
  Packet p;
  if (universe == Universe::operands) {
    // The addresses of the rules' blocks, and one beyond them all.
    std::vector<std::uint32_t> addresses = {0xC0A80001u};
    for (std::uint32_t k = 0; k < 8; ++k) addresses.push_back(0x0A000000u | k);
    for (std::uint32_t source : addresses) {
      for (std::uint32_t destin : addresses) {
        for (int protocol : {kTcp, kUdp, kIcmp, 47, 89}) {
          const bool ported = protocol == kTcp || protocol == kUdp;
          for (int sourcePort : kPacketPorts) {
            for (int destinPort : kPacketPorts) {
              p.source = source;
              p.destin = destin;
              p.protocol = protocol;
              p.sourcePort = sourcePort;
              p.destinPort = destinPort;
              if (!visit(p)) return false;
              if (!ported) break;
            }
            if (!ported) break;
          }
        }
      }
    }
    return true;
  }
  // The values the rules name, and one beyond them in every field, so that a
  // list of rules that name values is never taken to cover a whole field.
  for (int protocol : {kTcp, kUdp, kIcmp, 47, 89}) {
    for (int flags = 0; flags < (protocol == kTcp ? 8 : 1); ++flags) {
      for (int icmp = 0; icmp < (protocol == kIcmp ? 15 : 1); ++icmp) {
        for (int rest = 0; rest < 2 * 4 * 4; ++rest) {
          p.protocol = protocol;
          p.ack = flags & 1;
          p.syn = flags & 2;
          p.rst = flags & 4;
          p.icmpType = (int[]){0, 3, 8, 11, 13}[icmp / 3];
          p.icmpCode = icmp % 3;
          p.fragment = rest & 1;
          p.inA = rest & 2;
          p.inB = rest & 4;
          p.dscp = (int[]){0, 10, 46, 20}[rest / 8];
          if (!visit(p)) return false;
        }
      }
    }
  }
  return true;
}

// True iff every packet `setting` matches, `source` matches.
bool containsByBruteForce(Universe universe, const ModelRule& source, const ModelRule& setting) {
  if (source.permit != setting.permit) return false;
  return everyPacket(universe,
                     [&](const Packet& p) { return !matches(setting, p) || matches(source, p); });
}

bool matchesSomePacket(Universe universe, const ModelRule& rule) {
  return !everyPacket(universe, [&](const Packet& p) { return !matches(rule, p); });
}

std::string listOf(const std::vector<ModelRule>& rules) {
  std::string text;
  for (bool standard : {false, true}) {
    text += standard ? "ip access-list standard L\n" : "ip access-list extended L\n";
    for (const ModelRule& rule : rules) {
      text += rule.standard == standard ? lineOf(rule) + "\n" : "!\n";
    }
  }
  return text;
}

void compareWithBruteForce(Universe universe, std::uint32_t seed) {
  constexpr int kRules = 90;
  RuleMaker maker(universe, seed);
  std::vector<ModelRule> sources, settings;
  for (int k = 0; k < kRules; ++k) sources.push_back(maker.make());
  for (int k = 0; k < kRules; ++k) {
    settings.push_back(maker.pick(2) ? maker.vary(sources[maker.pick(kRules)]) : maker.make());
  }
  // Each rule stands on its own line in either list, a "!" in the other,
  // so the entry of a rule is found by its line.
  const std::string sourceText = listOf(sources), settingText = listOf(settings);
  auto indexed = CheckedConfigs::make();
  auto byPairs = CheckedConfigs::make();
  ASSERT_TRUE(indexed->check(sourceText, settingText, false, kFullExact));
  ASSERT_TRUE(byPairs->check(sourceText, settingText, true, kFullExact));
  ASSERT_EQ(indexed->details.view(), byPairs->details.view());
  ASSERT_EQ(kRules, indexed->source.readCounts().rules);
  ASSERT_EQ(kRules, indexed->setting.readCounts().rules);
  auto ruleOfLine = [&](int line) { return (line - 2) % (kRules + 1); };
  std::vector<char> reported(kRules * kRules, 0);
  for (const DuplicatePair& pair : indexed->record) {
    const int r = ruleOfLine(indexed->source.entryAt(pair.sourceEntry)->column);
    const int s = ruleOfLine(indexed->setting.entryAt(pair.settingEntry)->column);
    reported[s * kRules + r] = 1;
  }
  int covered = 0;
  for (int s = 0; s < kRules; ++s) {
    // A rule that matches no packet (a port operand that admits no port) is
    // covered part by part, which the packets cannot tell; the named cases
    // hold it.
    if (!matchesSomePacket(universe, settings[s])) continue;
    for (int r = 0; r < kRules; ++r) {
      const ModelRule& source = sources[r];
      const ModelRule& setting = settings[s];
      // A word the exact cover does not read leaves a pair uncovered.
      const bool expected = !source.notUnderstood && !setting.notUnderstood &&
                            containsByBruteForce(universe, source, setting);
      covered += expected ? 1 : 0;
      ASSERT_EQ(expected, reported[s * kRules + r] != 0)
          << "source rule:" << lineOf(source) << "\nsetting rule:" << lineOf(setting);
    }
  }
  // Enough of both answers for the comparison to mean something.
  EXPECT_GT(covered, kRules / 2);
  EXPECT_LT(covered, kRules * kRules / 2);
}

TEST(ExactCoverTest, AgreesWithBruteForceOverAddressesProtocolsAndPorts) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    compareWithBruteForce(Universe::operands, seed);
    if (HasFatalFailure()) return;
  }
}

TEST(ExactCoverTest, AgreesWithBruteForceOverOptions) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    compareWithBruteForce(Universe::options, seed);
    if (HasFatalFailure()) return;
  }
}

// ---- The list cover against the same reference: whole lists, first match.

// The engine's witness as a packet of the reference.
Packet referencePacket(const decltype(Verdict{}.witness) & witness) {
  Packet p;
  p.source = static_cast<std::uint32_t>(witness.word[kSrcLow]);
  p.destin = static_cast<std::uint32_t>(witness.word[kDstLow]);
  p.protocol = static_cast<int>(witness.field[kProtocol]);
  p.sourcePort = static_cast<int>(witness.field[kSrcPort]);
  p.destinPort = static_cast<int>(witness.field[kDstPort]);
  const std::uint64_t misc = witness.word[kMiscWord];
  const unsigned flags = static_cast<unsigned>(misc >> kFlagShift);
  p.ack = flags & kAck;
  p.syn = flags & kSyn;
  p.rst = flags & kRst;
  p.fragment = (misc >> kFragmentShift) & 1;
  p.icmpType = static_cast<int>(witness.field[kIcmpType]);
  p.icmpCode = static_cast<int>(witness.field[kIcmpCode]);
  p.dscp = static_cast<int>((misc >> kTosShift) & 255) >> 2;
  return p;
}

// The line of `list` (from 1) that decides `p`, 0 for the implicit deny.
int decidingLine(const std::vector<ModelRule>& list, const Packet& p) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (matches(list[k], p)) return static_cast<int>(k) + 1;
  }
  return 0;
}

void compareWithinWithBruteForce(Universe universe, const std::vector<ModelRule>& rules,
                                 const CheckedConfigs& checked, int& flagged);

// Adds the number of setting rules covered to `coveredRules`, of source lines
// the within analysis flags to `withinFlagged`.
void compareListCoverWithBruteForce(Universe universe, std::uint32_t seed, int& coveredRules,
                                    int& withinFlagged) {
  constexpr int kRules = 14;
  RuleMaker maker(universe, seed);
  // Exactly known rules in one extended list: the reference has no unknown
  // traffic to stand for.
  auto exactRule = [&](ModelRule rule) {
    rule.standard = false;
    rule.timeRange = 0;
    rule.notUnderstood = false;
    return rule;
  };
  std::vector<ModelRule> sources, settings;
  for (int k = 0; k < kRules; ++k) sources.push_back(exactRule(maker.make()));
  for (int k = 0; k < kRules; ++k) {
    settings.push_back(
        exactRule(maker.pick(2) ? maker.vary(sources[maker.pick(kRules)]) : maker.make()));
  }
  auto textOf = [](const std::vector<ModelRule>& rules) {
    std::string text;
    for (const ModelRule& rule : rules) text += lineOf(rule) + "\n";
    return text;
  };
  const std::string sourceText = textOf(sources);
  auto checked = CheckedConfigs::make();
  ASSERT_TRUE(checked->parse("ip access-list extended L\n" + sourceText,
                             "ip access-list extended L\n" + textOf(settings), Syntax::full));
  std::vector<ListVerdict> verdicts;
  checkListCover(checked->source, checked->setting, checked->details, nullptr, &verdicts);
  ASSERT_EQ(static_cast<std::size_t>(kRules), verdicts.size());
  for (int t = 0; t < kRules; ++t) {
    const ModelRule& setting = settings[static_cast<std::size_t>(t)];
    SCOPED_TRACE("setting rule:" + lineOf(setting) + "\nsource list:\n" + sourceText);
    // In the source text's lines (1 the opening): the lines deciding the
    // packets the rule matches, and those deciding the packets it decides
    // in its own list.
    std::vector<int> decidingAll, deciding;
    bool coveredAll = true, covered = true, matched = false, reached = false;
    everyPacket(universe, [&](const Packet& p) {
      if (!matches(setting, p)) return true;
      const int line = decidingLine(sources, p);
      const bool same =
          (line != 0 && sources[static_cast<std::size_t>(line - 1)].permit) == setting.permit;
      matched = true;
      decidingAll.push_back(line == 0 ? 0 : line + 1);
      coveredAll = coveredAll && same;
      if (decidingLine(settings, p) != t + 1) return true;
      reached = true;
      deciding.push_back(line == 0 ? 0 : line + 1);
      covered = covered && same;
      return true;
    });
    const ListVerdict& verdict = verdicts[static_cast<std::size_t>(t)];
    // Covered on all its packets is covered, with their deciding lines;
    // else it is judged on the packets that reach it.
    if (matched && coveredAll) deciding = decidingAll;
    if (!reached && !(matched && coveredAll)) {
      EXPECT_EQ(ListVerdictKind::unreachable, verdict.kind);
      continue;
    }
    if (covered) {
      ++coveredRules;
      EXPECT_EQ(ListVerdictKind::covered, verdict.kind);
      // The deciding lines in order, the implicit deny last.
      std::sort(deciding.begin(), deciding.end(),
                [](int a, int b) { return a != 0 && (b == 0 || a < b); });
      deciding.erase(std::unique(deciding.begin(), deciding.end()), deciding.end());
      EXPECT_EQ(deciding, verdict.verdict.deciding_lines);
      continue;
    }
    ASSERT_EQ(ListVerdictKind::notCovered, verdict.kind);
    // The witness is a packet of the setting rule that its named line
    // decides the other way.
    const Packet witness = referencePacket(verdict.verdict.witness);
    EXPECT_EQ(t + 1, decidingLine(settings, witness));
    const int line = decidingLine(sources, witness);
    EXPECT_EQ(line == 0 ? 0 : line + 1, verdict.verdict.witness_line);
    EXPECT_NE(setting.permit, line != 0 && sources[static_cast<std::size_t>(line - 1)].permit);
  }
  compareWithinWithBruteForce(universe, sources, *checked, withinFlagged);
}

// The within analysis of the same source lists: every line it flags, and
// every line it does not, against first match packet by packet.
void compareWithinWithBruteForce(Universe universe, const std::vector<ModelRule>& rules,
                                 const CheckedConfigs& checked, int& flagged) {
  std::vector<WithinFinding> findings;
  TextCursor details;
  details.allocate(16);
  analyseWithin(checked.source, "source", details, &findings);
  std::vector<const WithinFinding*> byLine(rules.size() + 2, nullptr);
  for (const WithinFinding& finding : findings) {
    byLine[static_cast<std::size_t>(checked.source.entryAt(finding.entry)->column)] = &finding;
  }
  auto actionOf = [&](int line) { return line != 0 && rules[line - 1].permit; };
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const ModelRule& rule = rules[k];
    SCOPED_TRACE("line " + std::to_string(k + 2) + ":" + lineOf(rule));
    bool reached = false, redundant = true, blocked = true;
    everyPacket(universe, [&](const Packet& p) {
      if (!matches(rule, p)) return true;
      const int first = decidingLine(rules, p);
      if (first != static_cast<int>(k) + 1) return true;
      reached = true;
      // Without the line, the next matching line (or the implicit deny).
      std::vector<ModelRule> rest(rules.begin() + static_cast<long>(k) + 1, rules.end());
      const int next = decidingLine(rest, p);
      redundant = redundant && (next != 0 && rest[next - 1].permit) == rule.permit;
      return true;
    });
    blocked = !reached && matchesSomePacket(universe, rule);
    const WithinFinding* finding = byLine[k + 2];
    if (blocked) {
      ASSERT_TRUE(finding && finding->kind == FindingKind::unreachable);
      ++flagged;
      // The blocking lines hold every packet of the line.
      everyPacket(universe, [&](const Packet& p) {
        bool held = !matches(rule, p);
        for (int line : finding->lines) held = held || matches(rules[line - 2], p);
        EXPECT_TRUE(held);
        return held;
      });
      if (finding->conflictingLine != 0) {
        EXPECT_NE(rule.permit, actionOf(finding->conflictingLine - 1));
      }
    } else if (reached && redundant) {
      ASSERT_TRUE(finding && finding->kind == FindingKind::redundant);
      ++flagged;
    } else if (reached) {
      EXPECT_EQ(nullptr, finding);
    }
  }
}

TEST(ListCoverTest, AgreesWithBruteForceOnWholeLists) {
  for (Universe universe : {Universe::operands, Universe::options}) {
    int covered = 0, flagged = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      compareListCoverWithBruteForce(universe, seed, covered, flagged);
      if (HasFatalFailure()) return;
    }
    // Both answers, often enough for the comparison to mean something.
    EXPECT_GT(covered, 60);
    EXPECT_LT(covered, 40 * 14 - 60);
    EXPECT_GT(flagged, 40);
  }
}

}  // namespace
}  // namespace dorvex
