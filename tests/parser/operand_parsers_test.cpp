// The operand parsers (address, protocol, port, trailing options), each
// driven through one statement line so that the annotation and the stored
// entry are checked whole.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "parser/acl_config.h"
#include "parser_test_util.h"

namespace dorvex {
namespace {

// The statement text after `head`; its annotation after "001: " + `shownHead`;
// the one entry it commits, dump() without `entryHead`; the name table.
struct Case {
  std::string words, shown, entry;
  const char* names = "";
};

void expectCases(const std::string& head, const std::string& shownHead,
                 const std::string& entryHead, std::initializer_list<Case> cases) {
  auto config = std::make_unique<AclConfig>();
  for (const Case& c : cases) {
    SCOPED_TRACE(head + c.words);
    EXPECT_EQ("001: " + shownHead + c.shown, parser_test::annotate(*config, head + c.words));
    EXPECT_EQ(entryHead + c.entry, parser_test::dumpEntries(*config));
    EXPECT_EQ(c.names, parser_test::dumpNames(*config));
  }
}

const std::string kAny = "0.0.0.0/255.255.255.255";

TEST(AddressOperandTest, StandardSource) {
  expectCases(
      "access-list 10 permit", "access-list 10 permit ", "acl_no=10 type=0 permission=0 ",
      {{" any", "any OK\r\n", "source=" + kAny + " column=1"},
       {" host 10.1.1.1", "host 10.1.1.1 OK\r\n", "source=10.1.1.1/0.0.0.0 column=1"},
       {" 10.1.1.1 0.0.0.0", "10.1.1.1 0.0.0.0 OK\r\n", "source=10.1.1.1/0.0.0.0 column=1"},
       {" 0.0.0.0 255.255.255.255", "0.0.0.0 255.255.255.255 OK\r\n",
        "source=" + kAny + " column=1"},
       {" 10.1.1.1 0.0.0.255", "10.1.1.1 0.0.0.255 OK\r\n", "source=10.1.1.1/0.0.0.255 column=1"},
       {" 10.0.0.0 255.0.255.0", "10.0.0.0 255.0.255.0 OK\r\n",
        "source=10.0.0.0/255.0.255.0 column=1"},
       {" 010.001.001.001 0.0.0.0", "10.1.1.1 0.0.0.0 OK\r\n", "source=10.1.1.1/0.0.0.0 column=1"},
       {"", "Err(3):\"\"\r\n", "flags=2 column=1"},
       // The address stays stored when its wildcard is missing or bad.
       {" 10.1.1.1", "10.1.1.1 Err(4):\"\"\r\n",
        "source=10.1.1.1/255.255.255.255 flags=2 column=1"},
       {" 10.1.1.1 0.0.0.256", "10.1.1.1 Err(4):\"0.0.0.256\"\r\n",
        "source=10.1.1.1/255.255.255.255 flags=2 column=1"},
       {" 10.1.1.256 0.0.0.0", "Err(3):\"10.1.1.256\"\r\n", "flags=2 column=1"},
       {" 1..2.3 0.0.0.0", "Err(3):\"1..2.3\"\r\n", "flags=2 column=1"},
       {" -1.2.3.4 0.0.0.0", "Err(3):\"-1.2.3.4\"\r\n", "flags=2 column=1"},
       {" 4294967306.0.0.1 0.0.0.0", "Err(3):\"4294967306.0.0.1\"\r\n", "flags=2 column=1"},
       {" ANY", "Err(3):\"ANY\"\r\n", "flags=2 column=1"},
       {" HOST 10.1.1.1", "Err(3):\"HOST\"\r\n", "flags=2 column=1"},
       // "host" has set the wildcard before its address fails.
       {" host any", "host Err(4):\"any\"\r\n",
        "source=255.255.255.255/0.0.0.0 flags=2 column=1"}});
}

TEST(AddressOperandTest, ExtendedDestination) {
  expectCases("access-list 100 deny ip any", "access-list 100 deny ip(0) any ",
              "acl_no=100 type=1 permission=1 protocol_no=0 source=" + kAny + " ",
              {{" 10.2.0.0 0.0.255.255", "10.2.0.0 0.0.255.255 OK\r\n",
                "destin=10.2.0.0/0.0.255.255 column=1"},
               {" host", "host Err(6):\"\"\r\n", "destin=255.255.255.255/0.0.0.0 flags=2 column=1"},
               {" 10.1.1.1", "10.1.1.1 Err(6):\"\"\r\n",
                "destin=10.1.1.1/255.255.255.255 flags=2 column=1"}});
}

TEST(ProtocolOperandTest, NumbersAndKeywords) {
  const std::string ok = " source=" + kAny + " destin=" + kAny + " column=1";
  auto row = [&](const char* word, const char* shown, const char* number) {
    return Case{std::string(" ") + word + " any any", std::string(shown) + " any any OK\r\n",
                std::string("protocol_no=") + number + ok};
  };
  auto bad = [](const std::string& word) {
    return Case{" " + word + " any any", "Err(3):\"" + word + "\"\r\n", "flags=2 column=1"};
  };
  expectCases("access-list 100 permit", "access-list 100 permit ",
              "acl_no=100 type=1 permission=0 ",
              {row("tcp", "tcp(6)", "6"),
               row("6", "6", "6"),
               row("006", "6", "6"),
               row("ip", "ip(0)", "0"),
               row("0", "0", "0"),
               row("ahp", "ahp(51)", "51"),
               row("udp", "udp(17)", "17"),
               row("300", "300", "300"),
               row("2147483647", "2147483647", "2147483647"),
               bad("TCP"),
               bad("Tcp"),
               bad("+6"),
               bad("-1"),
               bad("ipv6"),
               bad("2147483648"),
               bad("4294967302"),
               {"", "Err(3):\"\"\r\n", "flags=2 column=1"}});
}

TEST(PortOperandTest, OperatorsAndPorts) {
  const std::string tail = "destin=" + kAny + " ";
  expectCases(
      "access-list 101 permit tcp any", "access-list 101 permit tcp(6) any ",
      "acl_no=101 type=1 permission=0 protocol_no=6 source=" + kAny + " ",
      {{" any", "any OK\r\n", tail + "column=1"},
       {" eq 80 any", "eq 80 any OK\r\n", tail + "sp=0:80..-1 column=1"},
       {" gt 1023 any lt 1024", "gt 1023 any lt 1024 OK\r\n",
        tail + "sp=1:1023..-1 dp=2:1024..-1 column=1"},
       {" any eq syslog", "any eq syslog(514) OK\r\n", tail + "dp=0:514..-1 column=1"},
       // The annotation keeps the written order; the entry holds low <= high.
       {" any range 1023 80", "any range 1023 80 OK\r\n", tail + "dp=4:80..1023 column=1"},
       {" any range 80 80", "any range 80 80 OK\r\n", tail + "dp=4:80..80 column=1"},
       {" any range ftp-data ftp", "any range ftp-data(20) ftp(21) OK\r\n",
        tail + "dp=4:20..21 column=1"},
       {" any eq 70000", "any eq 70000 OK\r\n", tail + "dp=0:70000..-1 column=1"},
       {" any eq 0080", "any eq 80 OK\r\n", tail + "dp=0:80..-1 column=1"},
       // Errors: the operator code (and a first range bound) is already stored.
       {" any eq bootpc", "any eq Err(7):\"bootpc\"\r\n", tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any eq WWW", "any eq Err(7):\"WWW\"\r\n", tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any eq 8o", "any eq Err(7):\"8o\"\r\n", tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any eq -1", "any eq Err(7):\"-1\"\r\n", tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any eq 4294967376", "any eq Err(7):\"4294967376\"\r\n",
        tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any eq", "any eq Err(7):\"\"\r\n", tail + "dp=0:-1..-1 flags=2 column=1"},
       {" any range 10", "any range 10 Err(8):\"\"\r\n", tail + "dp=4:10..-1 flags=2 column=1"},
       // A rejected source port ends the line.
       {" range 10 foo any", "range 10 Err(7):\"foo\"\r\n", "sp=4:10..-1 flags=2 column=1"},
       {" EQ 80 any", "Err(5):\"EQ\"\r\n", "flags=2 column=1"}});
  // The protocol number decides: UDP names for 17, no port operand for others.
  expectCases(
      "access-list 101 permit ", "access-list 101 permit ", "acl_no=101 type=1 permission=0 ",
      {{"udp any neq bootpc any eq www", "udp(17) any neq bootpc(68) any eq Err(9):\"www\"\r\n",
        "protocol_no=17 source=" + kAny + " " + tail + "sp=3:68..-1 dp=0:-1..-1 flags=2 column=1"},
       {"6 any any eq telnet", "6 any any eq telnet(23) OK\r\n",
        "protocol_no=6 source=" + kAny + " " + tail + "dp=0:23..-1 column=1"},
       {"icmp any eq 80 any", "icmp(1) any Err(5):\"eq\"\r\n",
        "protocol_no=1 source=" + kAny + " flags=2 column=1"},
       {"ip any eq 80 any", "ip(0) any Err(5):\"eq\"\r\n",
        "protocol_no=0 source=" + kAny + " flags=2 column=1"}});
}

TEST(TrailingOptionsTest, OptionWords) {
  const std::string abc26 = "abcdefghijklmnopqrstuvwxyz";
  expectCases(
      "access-list 101 permit ", "access-list 101 permit ", "acl_no=101 type=1 permission=0 ",
      {{"icmp any any echo-reply", "icmp(1) any any echo-reply(0) OK\r\n",
        "protocol_no=1 source=" + kAny + " destin=" + kAny + " option_idx=0 column=1",
        "echo-reply/0|/0"},
       {"icmp any any unreachable 3 ECHO", "icmp(1) any any unreachable(3) 3(?) ECHO(?) OK\r\n",
        "protocol_no=1 source=" + kAny + " destin=" + kAny + " option_idx=0 flags=4 column=1",
        "unreachable/0|3/1|ECHO/1|/0"},
       {"1 any any echo", "1 any any echo(8) OK\r\n",
        "protocol_no=1 source=" + kAny + " destin=" + kAny + " option_idx=0 column=1", "echo/0|/0"},
       {"udp any any echo", "udp(17) any any echo(?) OK\r\n",
        "protocol_no=17 source=" + kAny + " destin=" + kAny + " option_idx=0 flags=4 column=1",
        "echo/1|/0"},
       {"tcp any any eq 80", "tcp(6) any any eq 80 OK\r\n",
        "protocol_no=6 source=" + kAny + " destin=" + kAny + " dp=0:80..-1 column=1"},
       {"tcp any any eq 80 established log", "tcp(6) any any eq 80 established(?) log(?) OK\r\n",
        "protocol_no=6 source=" + kAny + " destin=" + kAny +
            " dp=0:80..-1 option_idx=0 flags=4 column=1",
        "established/1|log/1|/0"},
       // A word too long for a name record is shown whole but not stored.
       {"icmp any any echo " + abc26, "icmp(1) any any echo(8) " + abc26 + "(?) OK\r\n",
        "protocol_no=1 source=" + kAny + " destin=" + kAny + " option_idx=0 flags=4 column=1",
        "echo/0|/0"}});
  // Each rule's option words are closed by their own empty record.
  auto config = std::make_unique<AclConfig>();
  parser_test::annotate(
      *config, "access-list 101 permit icmp any any echo\naccess-list 101 permit ip any any a b");
  EXPECT_EQ("echo/0|/0|a/1|b/1|/0", parser_test::dumpNames(*config));
  EXPECT_EQ(2, config->entryAt(1)->option_idx);
}

}  // namespace
}  // namespace dorvex
