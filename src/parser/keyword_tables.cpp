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

const NameNumber kOptionKeywordTable[] = {
    {"log", kLogOption},          {"log-input", kLogOption},
    {"established", kLoneOption}, {"fragments", kLoneOption},
    {"time-range", kValueOption}, {"tos", kValueOption},
    {"precedence", kValueOption}, {"dscp", kValueOption},
    {"ack", kTcpFlagOption},      {"fin", kTcpFlagOption},
    {"psh", kTcpFlagOption},      {"rst", kTcpFlagOption},
    {"syn", kTcpFlagOption},      {"urg", kTcpFlagOption},
    {"option", kOtherOption},     {"ttl", kOtherOption},
    {"match-any", kOtherOption},  {"match-all", kOtherOption},
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

bool lookupProtocol(std::string_view word, int& number) {
  return lookupName(kProtocolTable, word, number);
}

const NameNumber* portTableFor(int protocolNo) {
  if (protocolNo == kTcp) return kTcpPortTable;
  if (protocolNo == kUdp) return kUdpPortTable;
  return nullptr;
}

}  // namespace dorvex
