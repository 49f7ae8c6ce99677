#include "parser/keyword_tables.h"

#include "parser/acl_entry.h"

namespace dorvex {

const NameNumber kProtocolTable[] = {
    {"ip", 0},    {"ahp", 51},  {"eigrp", 88}, {"esp", 50}, {"gre", 47},
    {"icmp", 1},  {"igmp", 2},  {"ipinip", 4}, {"nos", 94}, {"ospf", 89},
    {"pcp", 108}, {"pim", 103}, {"tcp", 6},    {"udp", 17}, {"", -1},
};

const NameNumber kTcpPortTable[] = {
    {"bgp", 179},    {"chargen", 19},      {"cmd", 514},    {"daytime", 13},   {"discard", 9},
    {"domain", 53},  {"drip", 3949},       {"echo", 7},     {"exec", 512},     {"finger", 79},
    {"ftp", 21},     {"ftp-data", 20},     {"gopher", 70},  {"hostname", 101}, {"ident", 113},
    {"irc", 194},    {"klogin", 543},      {"kshell", 544}, {"login", 513},    {"lpd", 515},
    {"nntp", 119},   {"pim-auto-rp", 496}, {"pop2", 109},   {"pop3", 110},     {"smtp", 25},
    {"sunrpc", 111}, {"syslog", 514},      {"tacacs", 49},  {"talk", 517},     {"telnet", 23},
    {"time", 37},    {"uucp", 540},        {"whois", 43},   {"www", 80},       {"", -1},
};

const NameNumber kUdpPortTable[] = {
    {"biff", 512},        {"bootpc", 68},
    {"bootps", 67},       {"discard", 9},
    {"dnsix", 195},       {"domain", 53},
    {"echo", 7},          {"isakmp", 500},
    {"mobile-ip", 434},   {"nameserver", 42},
    {"netbios-dgm", 138}, {"netbios-ns", 137},
    {"netbios-ss", 139},  {"non500-isakmp", 4500},
    {"ntp", 123},         {"pim-auto-rp", 496},
    {"rip", 520},         {"snmp", 161},
    {"snmptrap", 162},    {"sunrpc", 111},
    {"syslog", 514},      {"tacacs", 49},
    {"talk", 517},        {"tftp", 69},
    {"time", 37},         {"who", 513},
    {"xdmcp", 177},       {"", -1},
};

const NameNumber kIcmpMessageTable[] = {
    {"echo-reply", 0},
    {"unreachable", 3},
    {"source-quench", 4},
    {"redirect", 5},
    {"alternate-address", 6},
    {"echo", 8},
    {"router-advertisement", 9},
    {"router-solicitation", 10},
    {"time-exceeded", 11},
    {"parameter-problem", 12},
    {"timestamp-request", 13},
    {"timestamp-reply", 14},
    {"information-request", 15},
    {"information-reply", 16},
    {"", -1},
};

// The full syntax's port names beyond the classic tables, looked up after
// them, so that a classic name keeps its number.
const NameNumber kTcpPortMoreTable[] = {
    {"ssh", 22},
    {"http", 80},
    {"https", 443},
    {"ldap", 389},
    {"ldaps", 636},
    {"imap4", 143},
    {"imap", 143},
    {"kerberos", 88},
    {"netbios-ssn", 139},
    {"msrpc", 135},
    {"sqlnet", 1521},
    {"citrix-ica", 1494},
    {"ctiqbe", 2748},
    {"h323", 1720},
    {"sip", 5060},
    {"aol", 5190},
    {"lotusnotes", 1352},
    {"pptp", 1723},
    {"rsh", 514},
    {"rtsp", 554},
    {"cifs", 3020},
    {"nfs", 2049},
    {"pcanywhere-data", 5631},
    {"", -1},
};

const NameNumber kUdpPortMoreTable[] = {
    {"www", 80},
    {"http", 80},
    {"https", 443},
    {"kerberos", 88},
    {"nfs", 2049},
    {"radius", 1645},
    {"radius-acct", 1646},
    {"sip", 5060},
    {"secureid-udp", 5510},
    {"cifs", 3020},
    {"dhcpv6-client", 546},
    {"dhcpv6-server", 547},
    {"pcanywhere-status", 5632},
    {"vxlan", 4789},
    {"", -1},
};

// Every ICMP message name of the full syntax, classic names first, each as
// icmpMessage(type, code).
const NameNumber kIcmpFullTable[] = {
    {"echo-reply", icmpMessage(0, kNotSet)},
    {"unreachable", icmpMessage(3, kNotSet)},
    {"source-quench", icmpMessage(4, kNotSet)},
    {"redirect", icmpMessage(5, kNotSet)},
    {"alternate-address", icmpMessage(6, kNotSet)},
    {"echo", icmpMessage(8, kNotSet)},
    {"router-advertisement", icmpMessage(9, kNotSet)},
    {"router-solicitation", icmpMessage(10, kNotSet)},
    {"time-exceeded", icmpMessage(11, kNotSet)},
    {"parameter-problem", icmpMessage(12, kNotSet)},
    {"timestamp-request", icmpMessage(13, kNotSet)},
    {"timestamp-reply", icmpMessage(14, kNotSet)},
    {"information-request", icmpMessage(15, kNotSet)},
    {"information-reply", icmpMessage(16, kNotSet)},
    {"net-unreachable", icmpMessage(3, 0)},
    {"host-unreachable", icmpMessage(3, 1)},
    {"protocol-unreachable", icmpMessage(3, 2)},
    {"port-unreachable", icmpMessage(3, 3)},
    {"packet-too-big", icmpMessage(3, 4)},
    {"source-route-failed", icmpMessage(3, 5)},
    {"network-unknown", icmpMessage(3, 6)},
    {"host-unknown", icmpMessage(3, 7)},
    {"host-isolated", icmpMessage(3, 8)},
    {"dod-net-prohibited", icmpMessage(3, 9)},
    {"dod-host-prohibited", icmpMessage(3, 10)},
    {"net-tos-unreachable", icmpMessage(3, 11)},
    {"host-tos-unreachable", icmpMessage(3, 12)},
    {"administratively-prohibited", icmpMessage(3, 13)},
    {"host-precedence-unreachable", icmpMessage(3, 14)},
    {"precedence-unreachable", icmpMessage(3, 15)},
    {"net-redirect", icmpMessage(5, 0)},
    {"host-redirect", icmpMessage(5, 1)},
    {"net-tos-redirect", icmpMessage(5, 2)},
    {"host-tos-redirect", icmpMessage(5, 3)},
    {"ttl-exceeded", icmpMessage(11, 0)},
    {"reassembly-timeout", icmpMessage(11, 1)},
    {"general-parameter-problem", icmpMessage(12, 0)},
    {"option-missing", icmpMessage(12, 1)},
    {"no-room-for-option", icmpMessage(12, 2)},
    {"mask-request", icmpMessage(17, kNotSet)},
    {"mask-reply", icmpMessage(18, kNotSet)},
    {"traceroute", icmpMessage(30, kNotSet)},
    {"conversion-error", icmpMessage(31, kNotSet)},
    {"mobile-redirect", icmpMessage(32, kNotSet)},
    {"", -1},
};

// The ICMPv6 message names of IPv6 lists.
const NameNumber kIcmpv6Table[] = {
    {"unreachable", icmpMessage(1, kNotSet)},
    {"no-route", icmpMessage(1, 0)},
    {"admin-prohibited", icmpMessage(1, 1)},
    {"beyond-scope", icmpMessage(1, 2)},
    {"address-unreachable", icmpMessage(1, 3)},
    {"port-unreachable", icmpMessage(1, 4)},
    {"packet-too-big", icmpMessage(2, kNotSet)},
    {"time-exceeded", icmpMessage(3, kNotSet)},
    {"hop-limit", icmpMessage(3, 0)},
    {"reassembly-timeout", icmpMessage(3, 1)},
    {"parameter-problem", icmpMessage(4, kNotSet)},
    {"header", icmpMessage(4, 0)},
    {"next-header", icmpMessage(4, 1)},
    {"parameter-option", icmpMessage(4, 2)},
    {"echo-request", icmpMessage(128, kNotSet)},
    {"echo", icmpMessage(128, kNotSet)},
    {"echo-reply", icmpMessage(129, kNotSet)},
    {"mld-query", icmpMessage(130, kNotSet)},
    {"mld-report", icmpMessage(131, kNotSet)},
    {"mld-reduction", icmpMessage(132, kNotSet)},
    {"router-solicitation", icmpMessage(133, kNotSet)},
    {"router-advertisement", icmpMessage(134, kNotSet)},
    {"nd-ns", icmpMessage(135, kNotSet)},
    {"neighbor-solicitation", icmpMessage(135, kNotSet)},
    {"nd-na", icmpMessage(136, kNotSet)},
    {"neighbor-advertisement", icmpMessage(136, kNotSet)},
    {"neighbor-redirect", icmpMessage(137, kNotSet)},
    {"router-renumbering", icmpMessage(138, kNotSet)},
    {"mldv2-report", icmpMessage(143, kNotSet)},
    {"", -1},
};

const NameNumber kOptionKeywordTable[] = {
    {"log", kLogOption},          {"log-input", kLogOption},
    {"established", kLoneOption}, {"fragments", kLoneOption},
    {"time-range", kValueOption}, {"tos", kValueOption},
    {"precedence", kValueOption}, {"dscp", kValueOption},
    {"ack", kTcpFlagOption},      {"fin", kTcpFlagOption},
    {"psh", kTcpFlagOption},      {"rst", kTcpFlagOption},
    {"syn", kTcpFlagOption},      {"urg", kTcpFlagOption},
    {"option", kOtherOption},     {"ttl", kTtlOption},
    {"match-any", kMatchOption},  {"match-all", kMatchOption},
    {"reflect", kOtherOption},    {"", -1},
};

const NameNumber kPrecedenceTable[] = {
    {"routine", 0},  {"priority", 1}, {"immediate", 2}, {"flash", 3}, {"flash-override", 4},
    {"critical", 5}, {"internet", 6}, {"network", 7},   {"", -1},
};

const NameNumber kTosTable[] = {
    {"normal", 0},         {"min-monetary-cost", 1}, {"max-reliability", 2},
    {"max-throughput", 4}, {"min-delay", 8},         {"", -1},
};

const NameNumber kDscpTable[] = {
    {"default", 0}, {"cs1", 8},   {"af11", 10}, {"af12", 12}, {"af13", 14}, {"cs2", 16},
    {"af21", 18},   {"af22", 20}, {"af23", 22}, {"cs3", 24},  {"af31", 26}, {"af32", 28},
    {"af33", 30},   {"cs4", 32},  {"af41", 34}, {"af42", 36}, {"af43", 38}, {"cs5", 40},
    {"ef", 46},     {"cs6", 48},  {"cs7", 56},  {"", -1},
};

bool lookupName(const NameNumber* table, std::string_view word, int& number) {
  for (const NameNumber* row = table; row->number != -1; ++row) {
    if (sameWord(row->name, word)) {
      number = row->number;
      return true;
    }
  }
  return false;
}

int portOperatorCode(std::string_view word) {
  static constexpr NameNumber kPortOperators[] = {{"eq", kPortEq},       {"gt", kPortGt},
                                                  {"lt", kPortLt},       {"neq", kPortNeq},
                                                  {"range", kPortRange}, {"", -1}};
  int code = kNoPort;
  lookupName(kPortOperators, word, code);
  return code;
}

bool lookupProtocol(std::string_view word, int& number) {
  return lookupName(kProtocolTable, word, number);
}

bool lookupFullProtocol(std::string_view word, bool ipv6List, int& number) {
  static const NameNumber kMore[] = {
      {"icmp6", 58}, {"icmpv6", 58}, {"ah", 51},   {"sctp", 132},
      {"l2tp", 115}, {"vrrp", 112},  {"ipv6", 41}, {"", -1},
  };
  if (ipv6List && word == "ipv6") return false;
  return lookupName(kMore, word, number);
}

const NameNumber* portTableFor(int protocolNo) {
  if (protocolNo == kTcp) return kTcpPortTable;
  if (protocolNo == kUdp) return kUdpPortTable;
  return nullptr;
}

bool lookupPortName(int protocolNo, std::string_view word, Syntax syntax, int& number) {
  const NameNumber* table = portTableFor(protocolNo);
  if (table == nullptr) return false;
  if (lookupName(table, word, number)) return true;
  if (syntax == Syntax::classic) return false;
  return lookupName(protocolNo == kTcp ? kTcpPortMoreTable : kUdpPortMoreTable, word, number);
}

}  // namespace dorvex
