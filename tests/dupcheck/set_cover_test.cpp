// The cover of rules with object groups and of IPv6 rules, against a brute
// force over a reduced universe: 16 addresses (192.0.2.0/28, or
// 2001:db8::/124 in IPv6 lists), TCP and UDP, destination ports 20 to 23.
// Groups are random unions of hosts, prefixes and ranges inside it, some
// nested, some defined after the rule that uses them; a rule covers another
// iff every packet of the universe the one matches, the other matches.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "checked_configs.h"

namespace dorvex {
namespace {

constexpr int kAddresses = 16;
constexpr int kFirstPort = 20;
constexpr int kPorts = 4;

// A set over the universe: bit k of `addresses` is address k, bit k of
// `ports` port kFirstPort + k; `protocols` bit 0 TCP, bit 1 UDP.
struct ModelRule {
  std::uint32_t source = 0, destin = 0;
  unsigned protocols = 0, ports = 0;
};

class Maker {
 public:
  Maker(bool ipv6, std::uint32_t seed) : ipv6(ipv6), random(seed) {}

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

  // One member line and its addresses.
  std::string member(std::uint32_t& bits) {
    const int first = pick(kAddresses);
    switch (pick(3)) {
      case 0: bits |= 1u << first; return " host " + text(first);
      case 1: {
        const int size = 1 << (1 + pick(3));
        const int base = first / size * size;
        for (int k = base; k < base + size; ++k) bits |= 1u << k;
        return ipv6 ? " " + text(base) + "/" + std::to_string(128 - __builtin_ctz(size))
                    : " " + text(base) + " 255.255.255." + std::to_string(256 - size);
      }
      default: {
        const int last = first + pick(kAddresses - first);
        for (int k = first; k <= last; ++k) bits |= 1u << k;
        return " range " + text(first) + " " + text(last);
      }
    }
  }

  // A network group of one to three members, nested in another at times.
  std::string group(const std::string& name, std::uint32_t& bits, std::string& definitions) {
    std::string body;
    for (int m = 1 + pick(3); m > 0; --m) body += member(bits) + "\n";
    if (pick(3) == 0) {
      std::uint32_t innerBits = 0;
      group(name + "-IN", innerBits, definitions);
      bits |= innerBits;
      body += " group-object " + name + "-IN\n";
    }
    definitions += "object-group network " + name + "\n" + body;
    return name;
  }

  std::string rule(const std::string& name, ModelRule& model, std::string& definitions) {
    model.protocols = 1 + static_cast<unsigned>(pick(3));
    std::string line = " permit ";
    if (model.protocols == 3) {
      definitions += "object-group service " + name + "-SVC\n tcp-udp eq 20 21 22 23\n";
      line += "object-group " + name + "-SVC ";
      model.ports = 15;
    } else {
      line += model.protocols == 1 ? "tcp " : "udp ";
    }
    line += "object-group " + group(name + "-S", model.source, definitions) + " ";
    line += "object-group " + group(name + "-D", model.destin, definitions);
    if (model.protocols != 3) {
      line += " eq";
      for (int p = 0; p < kPorts; ++p) {
        if (pick(2) == 0 || (p == kPorts - 1 && model.ports == 0)) {
          model.ports |= 1u << p;
          line += " " + std::to_string(kFirstPort + p);
        }
      }
    }
    return line + "\n";
  }

 private:
  std::string text(int k) const {
    if (!ipv6) return "192.0.2." + std::to_string(k);
    static const char* const kHex = "0123456789abcdef";
    return std::string("2001:db8::") + kHex[k];
  }

  bool ipv6;
  std::mt19937 random;
};

bool covers(const ModelRule& source, const ModelRule& setting) {
  return (setting.source & ~source.source) == 0 && (setting.destin & ~source.destin) == 0 &&
         (setting.protocols & ~source.protocols) == 0 && (setting.ports & ~source.ports) == 0;
}

void compareWithBruteForce(bool ipv6, std::uint32_t seed) {
  constexpr int kRules = 40;
  Maker maker(ipv6, seed);
  const std::string opening = ipv6 ? "ipv6 access-list L\n" : "ip access-list extended L\n";
  std::vector<ModelRule> models[2];
  std::string texts[2];
  for (int side = 0; side < 2; ++side) {
    std::string definitions, rules;
    for (int k = 0; k < kRules; ++k) {
      ModelRule model;
      rules += maker.rule("G" + std::to_string(k), model, definitions);
      models[side].push_back(model);
    }
    // Half the configurations define their groups after the list.
    texts[side] = seed % 2 ? opening + rules + definitions : definitions + opening + rules;
  }
  auto checked = CheckedConfigs::make();
  ASSERT_TRUE(checked->check(texts[0], texts[1], false, CheckModes{Syntax::full, Cover::exact}));
  ASSERT_EQ(kRules, checked->source.readCounts().rules);
  ASSERT_EQ(kRules, checked->setting.readCounts().rules);
  // The rules are the entries in order, each on its own line after the
  // list's opening: a line tells its rule.
  const int sourceFirst = checked->source.entryAt(0)->column;
  const int settingFirst = checked->setting.entryAt(0)->column;
  std::vector<char> reported(kRules * kRules, 0);
  for (const DuplicatePair& pair : checked->record) {
    const int r = checked->source.entryAt(pair.sourceEntry)->column - sourceFirst;
    const int s = checked->setting.entryAt(pair.settingEntry)->column - settingFirst;
    reported[static_cast<std::size_t>(s * kRules + r)] = 1;
  }
  int covered = 0;
  for (int s = 0; s < kRules; ++s) {
    for (int r = 0; r < kRules; ++r) {
      const bool expected = covers(models[0][r], models[1][s]);
      covered += expected ? 1 : 0;
      ASSERT_EQ(expected, reported[static_cast<std::size_t>(s * kRules + r)] != 0)
          << "source rule " << r << ", setting rule " << s;
    }
  }
  EXPECT_GT(covered, 0);
}

TEST(SetCoverTest, ObjectGroupsAgreeWithBruteForce) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("IPv4 seed " + std::to_string(seed));
    compareWithBruteForce(false, seed);
    if (HasFatalFailure()) return;
  }
}

TEST(SetCoverTest, Ipv6ListsAgreeWithBruteForce) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("IPv6 seed " + std::to_string(seed));
    compareWithBruteForce(true, seed);
    if (HasFatalFailure()) return;
  }
}

// A missing or cyclic group leaves the rule unread with its reason; two
// configurations whose groups have other names but the same members meet.
TEST(SetCoverTest, GroupsMeetByContentAndFailByName) {
  const struct {
    const char* what;
    const char* source;
    const char* setting;
    const char* details;
  } kCases[] = {
      {"other names, same members",
       "object-group network A\n host 192.0.2.1\n 192.0.2.8 255.255.255.248\n"
       "ip access-list extended L\n permit ip object-group A any\n",
       "ip access-list extended L\n permit ip object-group B any\n"
       "object-group network B\n range 192.0.2.8 192.0.2.15\n",
       " ACL=L source-row=5 setting-row=2 \r\n"},
      {"a cyclic group", "ip access-list extended L\n permit ip any any\n",
       "object-group network A\n group-object B\nobject-group network B\n group-object A\n"
       "ip access-list extended L\n permit ip object-group A any\n",
       ""},
      {"the firewall form by content",
       "object network WEB\n host 192.0.2.10\n"
       "access-list OUT extended permit tcp any object WEB eq https\n",
       "access-list OUT extended permit tcp any host 192.0.2.10 eq 443\n",
       " ACL=OUT source-row=3 setting-row=1 \r\n"},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->check(c.source, c.setting, false, CheckModes{Syntax::full, Cover::exact}));
    EXPECT_EQ(c.details, checked->details.view());
  }
  EXPECT_EQ(1, checked->setting.readCounts().rules);
}

}  // namespace
}  // namespace dorvex
