// Where a configuration uses its lists: each form of use, in its context,
// and the lines that are no use.
#include <gtest/gtest.h>

#include <string>

#include "parser/acl_config.h"

namespace dorvex {
namespace {

// Every use of `text` read in `syntax`: "LINE LIST FAMILY: DESCRIPTION;".
std::string usesOf(const std::string& text, Syntax syntax = Syntax::full) {
  AclConfig config;
  if (!config.reset(text, true, syntax)) return "reset failed";
  config.checkConfig();
  std::string out;
  for (const ListUse& use : config.uses()) {
    out += std::to_string(use.line) + " " + use.list + " " +
           (use.family == UseFamily::ipv4   ? "v4"
            : use.family == UseFamily::ipv6 ? "v6"
                                            : "any") +
           ": " + describeUse(use) + ";";
  }
  return out;
}

TEST(ListUsesTest, EachFormInItsContext) {
  const struct {
    const char* what;
    const char* text;
    const char* uses;
  } kCases[] = {
      {"interface, both families",
       "interface Ethernet0/1\n ip address 10.0.0.1 255.255.255.0\n ip access-group 101 in\n"
       " ipv6 traffic-filter V6 out\n",
       "3 101 v4: interface Ethernet0/1 in;4 V6 v6: interface Ethernet0/1 out;"},
      {"terminal lines", "line vty 0 4\n access-class VTY in\n ipv6 access-class VTY6 in\n",
       "2 VTY v4: line vty 0 4 in;3 VTY6 v6: line vty 0 4 in;"},
      {"the firewall form", "access-group OUTSIDE in interface outside\naccess-group ALL global\n",
       "1 OUTSIDE v4: interface outside in;2 ALL v4: interface global;"},
      {"a route-map's lists, not its prefix lists",
       "route-map OUT permit 10\n match ip address A B\n match ip address prefix-list P\n"
       " match ipv6 address C\n",
       "2 A v4: route-map OUT;2 B v4: route-map OUT;4 C v6: route-map OUT;"},
      {"distribute lists under a router",
       "router ospf 1\n distribute-list 30 out\n distribute-list prefix P in\n",
       "2 30 v4: distribute-list out router ospf 1;"},
      {"address translation", "ip nat inside source list NAT interface e0 overload\n",
       "1 NAT v4: nat inside source;"},
      {"SNMP, the community string never shown",
       "snmp-server community secret view V RO ipv6 S6 S4\nsnmp-server community other rw\n",
       "1 S6 v6: snmp-server community;1 S4 v4: snmp-server community;"},
      {"class-maps by name or number",
       "class-map match-any VOICE\n match access-group name RTP\n match access-group 120\n",
       "2 RTP any: class-map VOICE;3 120 any: class-map VOICE;"},
      {"an unindented line ends the context",
       "interface e0\n!\n ip access-group X in\ninterface e1\nip access-list extended L\n"
       " permit ip any any\n ip access-group Y in\n",
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.uses, usesOf(c.text));
  }
  // The classic syntax reads access-list statements only.
  EXPECT_EQ("", usesOf("interface e0\n ip access-group 101 in\n", Syntax::classic));
}

}  // namespace
}  // namespace dorvex
