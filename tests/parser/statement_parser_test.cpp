// The statement parser: every message, the list-number edges and the mended
// faults. The list context from line to line is in the golden cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "parser/acl_config.h"
#include "parser_test_util.h"

namespace dorvex {
namespace {

using parser_test::annotate;
using parser_test::dump;
using parser_test::dumpEntries;
using parser_test::dumpNames;

const std::string kAny = "0.0.0.0/255.255.255.255";

std::string numberedWords(int count) {
  std::string line = "permit";
  for (int k = 1; k < count; ++k) line += " " + std::to_string(k);
  return line;
}

// One line: its annotation after "001: " and the entries it commits.
struct LineCase {
  std::string line;
  std::string annotation;
  std::string entries;
};

// The messages not already in the golden case every_message, and the
// statement-level edges.
TEST(StatementParserTest, OneLineStatements) {
  const std::string w254(254, 'w');
  const LineCase kCases[] = {
      {"", "Err:\"not acl\"\r\n", "flags=2 column=1"},
      {"   \r", "Err:\"not acl\"\r\n", "flags=2 column=1"},
      {"ip", "ip Err(1):\"\"\r\n", "flags=2 column=1"},
      {"ip access-list foo", "ip access-list Err(2):\"foo\"\r\n", "flags=2 column=1"},
      {"ip access-list extended 2699 x y",
       "ip access-list extended 2699 Err:\"many parameter!(4)=x\"\r\n",
       "acl_no=2699 type=1 flags=2 column=1"},
      {"access-list ten permit any", "access-list Err(1):\"ten\"\r\n", "flags=2 column=1"},
      {"access-list", "access-list Err(1):\"\"\r\n", "flags=2 column=1"},
      {"access-list 300", "access-list 300 Err(2):\"\"\r\n", "acl_no=300 flags=2 column=1"},
      {"access-list 10 allow any", "access-list 10 Err(2):\"allow\"\r\n",
       "acl_no=10 type=0 flags=2 column=1"},
      {"access-list 110 permit ip any any log",
       "access-list 110 permit ip(0) any any log(?) OK\r\n",
       "acl_no=110 type=1 permission=0 protocol_no=0 source=" + kAny + " destin=" + kAny +
           " option_idx=0 flags=4 column=1"},
      // Digit strings beyond 2147483647 are refused as numbers.
      {"access-list 2147483648 permit any", "access-list Err(1):\"2147483648\"\r\n",
       "flags=2 column=1"},
      {"access-list 4294967306 permit any", "access-list Err(1):\"4294967306\"\r\n",
       "flags=2 column=1"},
      // Leading zeros are allowed and disappear.
      {"access-list 0010 deny 010.0.0.1 0.0.0.0", "access-list 10 deny 10.0.0.1 0.0.0.0 OK\r\n",
       "acl_no=10 type=0 permission=1 source=10.0.0.1/0.0.0.0 column=1"},
      // Keywords are case-sensitive.
      {"Access-list 10 permit any", "Err:\"not acl\"\r\n", "flags=2 column=1"},
      {"IP access-list standard A", "Err:\"not acl\"\r\n", "flags=2 column=1"},
      {"Permit any", "Err:\"not acl\"\r\n", "flags=2 column=1"},
      {"ip Access-list standard A", "ip Err(1):\"Access-list\"\r\n", "flags=2 column=1"},
      {"ip access-list Standard A", "ip access-list Err(2):\"Standard\"\r\n", "flags=2 column=1"},
      {"access-list 10 Permit any", "access-list 10 Err(2):\"Permit\"\r\n",
       "acl_no=10 type=0 flags=2 column=1"},
      // A word of 254 bytes is quoted whole; a longer one is cut there.
      {"access-list 10 permit " + w254, "access-list 10 permit Err(3):\"" + w254 + "\"\r\n",
       "acl_no=10 type=0 permission=0 flags=2 column=1"},
      {"access-list 10 permit " + w254 + "www", "access-list 10 permit Err(3):\"" + w254 + "\"\r\n",
       "acl_no=10 type=0 permission=0 flags=2 column=1"},
      {"access-list 110 permit ip any any " + w254,
       "access-list 110 permit ip(0) any any " + w254 + "(?) OK\r\n",
       "acl_no=110 type=1 permission=0 protocol_no=0 source=" + kAny + " destin=" + kAny +
           " option_idx=0 flags=4 column=1"},
  };
  auto config = std::make_unique<AclConfig>();
  for (const LineCase& c : kCases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ("001: " + c.annotation, annotate(*config, c.line + "\r\n"));
    EXPECT_EQ(c.entries, dumpEntries(*config));
  }
}

TEST(StatementParserTest, ListNumberEdges) {
  // Per number: the rule kind a numbered rule and an opening accept it as,
  // or kNotSet for no list number.
  const std::pair<int, int> kNumbers[] = {
      {1, kStandardRule},   {99, kStandardRule},  {1300, kStandardRule}, {1999, kStandardRule},
      {100, kExtendedRule}, {199, kExtendedRule}, {2000, kExtendedRule}, {2699, kExtendedRule},
      {0, kNotSet},         {200, kNotSet},       {1299, kNotSet},       {2700, kNotSet}};
  auto config = std::make_unique<AclConfig>();
  for (const auto& [number, kind] : kNumbers) {
    const std::string n = std::to_string(number);
    SCOPED_TRACE(n);
    const bool extended = kind == kExtendedRule;
    std::string text =
        annotate(*config, "access-list " + n + (extended ? " deny ip any any" : " deny any"));
    if (kind == kNotSet) {
      EXPECT_EQ("001: access-list " + n + " Err(2):\"deny\"\r\n", text);
      EXPECT_EQ("acl_no=" + n + " flags=2 column=1", dumpEntries(*config));
    } else {
      EXPECT_EQ(
          "001: access-list " + n + (extended ? " deny ip(0) any any" : " deny any") + " OK\r\n",
          text);
      EXPECT_EQ(kind, config->entryAt(0)->type);
    }
    for (int type : {kStandardRule, kExtendedRule}) {
      const std::string opening =
          std::string("ip access-list ") + (type == kExtendedRule ? "extended" : "standard");
      text = annotate(*config, opening + " " + n);
      if (kind == type) {  // accepted: nothing committed, the list is open
        EXPECT_EQ("001: " + opening + " " + n + " OK\r\n", text);
        EXPECT_EQ("acl_no=" + n + " type=" + std::to_string(type) + " column=1",
                  dump(config->current()));
      } else {
        EXPECT_EQ("001: " + opening + " Err:\"value is range outside\"\r\n", text);
        EXPECT_EQ("type=" + std::to_string(type) + " flags=2 column=1", dumpEntries(*config));
      }
    }
  }
  // Leading zeros are allowed; a digit string beyond 2147483647 is out of
  // range, not a list name.
  EXPECT_EQ("001: ip access-list standard 99 OK\r\n",
            annotate(*config, "ip access-list standard 0099"));
  EXPECT_EQ("001: ip access-list standard Err:\"value is range outside\"\r\n",
            annotate(*config, "ip access-list standard 4294967306"));
  EXPECT_EQ("001: ip access-list extended 100 OK\r\n",
            annotate(*config, "ip access-list extended 00000000000000000000100"));
}

// A text and its whole annotation, entries and names.
void expectText(const std::string& text, const std::string& annotation, const std::string& entries,
                const std::string& names) {
  auto config = std::make_unique<AclConfig>();
  EXPECT_EQ(annotation, annotate(*config, text));
  EXPECT_EQ(entries, dumpEntries(*config));
  EXPECT_EQ(names, dumpNames(*config));
}

// What was read, counted line by line in each syntax: rules read, access-list
// lines in error, unsupported entries, and of those the access-list lines
// not read. Lines that are no access-list statement count nowhere, even
// when the classic syntax marks them in error.
TEST(StatementParserTest, ReadCountsInBothSyntaxes) {
  struct CountCase {
    const char* text;
    int classic[4];
    int full[4];
  };
  const CountCase kCases[] = {
      {"hostname r1\n!\n\ninterface Loopback0\n", {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"access-list 10 permit any\naccess-list 10 permit any log\n", {1, 1, 0, 0}, {2, 0, 0, 0}},
      {"ip access-list extended A\n 10 permit ip any any\n remark x\n permit tcp any any eq 22\n",
       {0, 2, 0, 0},
       {2, 0, 0, 0}},
      {"access-list 101 permit tcp any any established\n", {1, 0, 1, 0}, {1, 0, 0, 0}},
      {"access-list 101 permit ip any any log\n", {1, 0, 1, 0}, {1, 0, 0, 0}},
      {"ip access-list logging interval 10\n", {0, 0, 1, 1}, {0, 0, 1, 1}},
      {"ipv6 access-list V6\n permit ipv6 any any\n", {0, 2, 0, 0}, {1, 0, 0, 0}},
      {"ip access-list extended A\n permit tcp object-group G any\n 10 dynamic D\n",
       {0, 1, 0, 0},
       {0, 0, 2, 2}},
      {"access-list OUT extended permit ip any any\naccess-list 300 permit any\n",
       {0, 2, 0, 0},
       {1, 1, 0, 0}},
      {"permit ip any any\nip route 0.0.0.0 0.0.0.0 10.0.0.1\n", {0, 1, 0, 0}, {0, 1, 0, 0}},
  };
  auto config = std::make_unique<AclConfig>();
  for (const CountCase& c : kCases) {
    SCOPED_TRACE(c.text);
    for (Syntax syntax : {Syntax::classic, Syntax::full}) {
      const int* want = syntax == Syntax::full ? c.full : c.classic;
      annotate(*config, c.text, syntax);
      const ReadCounts& read = config->readCounts();
      EXPECT_EQ(
          std::vector<int>(want, want + 4),
          (std::vector<int>{read.rules, read.notRead, read.unsupported, read.unsupportedNotRead}))
          << (syntax == Syntax::full ? "full" : "classic");
      EXPECT_EQ(want[1] + want[3] > 0, read.anyNotRead());
    }
  }
}

// Group members are read with the rules' own vocabulary, a blank indented
// line inside a definition does not end it, and kinds written in two words
// ("ip address", "network ipv4") name the group after them.
TEST(StatementParserTest, GroupMembersAsRulesReadThem) {
  const struct {
    const char* text;
    const char* annotation;
  } kCases[] = {
      {"object-group service S\n sctp\n tcp eq 80\nip access-list extended L\n"
       " permit object-group S any any\n",
       "001: Note:\"object-group\"\r\n002: Note:\"group member\"\r\n003: Note:\"group member\"\r\n"
       "004: ip access-list extended L(10000) OK\r\n005: permit object-group S any any OK\r\n"},
      {"object-group network N\n host 10.0.0.1\n \n host 10.0.0.2\n"
       "ip access-list extended L\n permit ip object-group N any\n",
       "001: Note:\"object-group\"\r\n002: Note:\"group member\"\r\n003: Note:\"blank\"\r\n"
       "004: Note:\"group member\"\r\n005: ip access-list extended L(10000) OK\r\n"
       "006: permit ip(0) object-group N any OK\r\n"},
      {"object-group ip address S\n host 10.0.0.1\nobject-group ip port P\n eq 80\n"
       "object-group network ipv4 N\n 192.0.2.0/24\nip access-list extended L\n"
       " permit tcp addrgroup S object-group N portgroup P\n",
       "001: Note:\"object-group\"\r\n002: Note:\"group member\"\r\n003: Note:\"object-group\"\r\n"
       "004: Note:\"group member\"\r\n005: Note:\"object-group\"\r\n006: Note:\"group member\"\r\n"
       "007: ip access-list extended L(10000) OK\r\n"
       "008: permit tcp(6) addrgroup S object-group N portgroup P OK\r\n"},
  };
  auto config = std::make_unique<AclConfig>();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.annotation, annotate(*config, c.text, Syntax::full));
  }
}

// The firewall form's "log [LEVEL] [interval SECONDS]" is read whole; a
// word that is no interval is still not read.
TEST(StatementParserTest, LogIntervalOfTheFirewallForm) {
  const struct {
    const char* rule;
    const char* annotation;
  } kCases[] = {
      {"log 6 interval 300", "log 6 interval 300 OK"},
      {"log interval 60", "log interval 60 OK"},
      {"log 6 interval x", "log 6 interval(?) x(?) OK"},
  };
  auto config = std::make_unique<AclConfig>();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.rule);
    const std::string head = "access-list OUT extended permit tcp any any eq 80 ";
    EXPECT_EQ("001: access-list OUT extended permit tcp(6) any any eq 80 " +
                  std::string(c.annotation) + "\r\n",
              annotate(*config, head + c.rule + "\n", Syntax::full));
  }
}

// Issue 2: no silent limits. More lines than the 30,000 records of the
// entry table, and an annotation past its 2,000,000 starting bytes, are
// taken whole; the table grows in the middle of whichever statement commits
// the 30,000th entry. Prefixes have four digits from line 1000 on.
TEST(StatementParserTest, LargeConfigurationIsNotCut) {
  const std::string w254(254, 'w');
  const std::string kLastLines[] = {
      "access-list 10 permit 10.1.1.1 " + w254,  // rejected inside parseAddress
      "access-list 101 permit tcp any any range 1 " + w254,
      "ip access-list standard A\n permit any",
      "ip access-list extended A\n permit ip any any " + w254,
  };
  for (const std::string& last : kLastLines) {
    SCOPED_TRACE(last.substr(0, 40));
    std::string text;
    for (int k = 0; k < 29999; ++k) text += "access-list 10 permit " + w254 + "\n";
    text += last + "\n permit any\n";
    auto config = std::make_unique<AclConfig>();
    std::string annotation = annotate(*config, text);
    int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    int committed = last.rfind("ip ", 0) == 0 ? lines - 1 : lines;
    ASSERT_EQ(committed, config->entryCount());
    EXPECT_EQ(lines, config->entryAt(committed - 1)->column);
    EXPECT_GT(annotation.size(), 2000000u);
    EXPECT_EQ(lines, std::count(annotation.begin(), annotation.end(), '\n'));
    EXPECT_NE(std::string::npos, annotation.rfind("\r\n" + std::to_string(lines) + ": "));
    EXPECT_NE(std::string::npos, annotation.find("\r\n999: access-list 10 permit Err(3)"));
    EXPECT_NE(std::string::npos, annotation.find("\r\n1000: access-list 10 permit Err(3)"));
  }
}

// Issue 3, mended fault 1: the closing quote stands before the line break.
TEST(Issue3FaultTest, Fault1ManyParameterQuoteBeforeLineBreak) {
  expectText("access-list 10 permit any log\nip access-list standard 5 x\n!\n",
             "001: access-list 10 permit any Err:\"many parameter!(4)=log\"\r\n"
             "002: ip access-list standard 5 Err:\"many parameter!(4)=x\"\r\n"
             "003: Err:\"not acl\"\r\n",
             "acl_no=10 type=0 permission=0 source=" + kAny +
                 " flags=2 column=1\n"
                 "acl_no=5 type=0 flags=2 column=2\n"
                 "flags=2 column=3",
             "");
}

// Issue 3, mended fault 2: the message ends its line.
TEST(Issue3FaultTest, Fault2NonSupportEndsWithLineBreak) {
  expectText(
      "ip access-list logging\nip access-list log-update threshold 1\naccess-list 10 permit any",
      "001: ip access-list Err:\"non-support(2)=logging\"\r\n"
      "002: ip access-list Err:\"non-support(2)=log-update\"\r\n"
      "003: access-list 10 permit any OK\r\n",
      "flags=4 column=1\nflags=4 column=2\nacl_no=10 type=0 permission=0 source=" + kAny +
          " column=3",
      "");
}

// Issue 3, mended fault 3: an unstorable list name is an error on its own
// line, and no list is open afterwards.
TEST(Issue3FaultTest, Fault3UnstoredListNameIsAnError) {
  const std::string name26 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string name25 = name26.substr(1);
  expectText("ip access-list standard " + name25 + "\n permit any\nip access-list extended " +
                 name26 + "\n permit ip any any\n deny ip any any\n",
             "001: ip access-list standard " + name25 +
                 "(10000) OK\r\n"
                 "002: permit any OK\r\n"
                 "003: ip access-list extended " +
                 name26 +
                 "(9999) Err:\"name not stored\"\r\n"
                 "004: Err:\"non-set ip access-list\"\r\n"
                 "005: Err:\"non-set ip access-list\"\r\n",
             "acl_no=10000 type=0 permission=0 source=" + kAny +
                 " column=2\n"
                 "type=1 flags=2 column=3\n"
                 "flags=2 column=4\n"
                 "flags=2 column=5",
             name25 + "/0");
}

// Issue 3, mended fault 4: a line of 15 or more words commits exactly one
// entry in error, parses nothing more, and leaves an open list open.
TEST(Issue3FaultTest, Fault4OverlongLineCommitsOneEntryAndKeepsTheList) {
  expectText("ip access-list standard A\n" + numberedWords(15) +
                 "\n permit any\naccess-list 10 permit any\n" + numberedWords(16),
             "001: ip access-list standard A(10000) OK\r\n"
             "002: Err:\"many parameters!\"\r\n"
             "003: permit any OK\r\n"
             "004: access-list 10 permit any OK\r\n"
             "005: Err:\"many parameters!\"\r\n",
             "acl_no=10000 type=0 flags=2 column=2\n"
             "acl_no=10000 type=0 permission=0 source=" +
                 kAny +
                 " column=3\n"
                 "acl_no=10 type=0 permission=0 source=" +
                 kAny +
                 " column=4\n"
                 "flags=2 column=5",
             "A/0");
}

}  // namespace
}  // namespace dorvex
