#include <gtest/gtest.h>

#include <string>

#include "checked_configs.h"

namespace dorvex {
namespace {

// The marks of a summary as one string, a mark field per line.
std::string marksOf(std::string_view summary) {
  std::string marks;
  std::size_t at = 0;
  while (at < summary.size()) {
    std::size_t colon = summary.find(':', at);
    if (!marks.empty()) marks += ' ';
    marks += summary.substr(colon + 1, 4);
    std::size_t next = summary.find("\r\n", at);
    if (next == std::string_view::npos) break;
    at = next + 2;
  }
  return marks;
}

struct DupCase {
  const char* what;
  const char* source;
  const char* setting;
  const char* details;
  const char* sourceMarks;
  const char* settingMarks;
};

const DupCase kCases[] = {
    {"host within a subnet of the same list", "!\n!\naccess-list 10 permit 10.1.1.0 0.0.0.255\n",
     "!\n!\n!\n!\n!\n!\naccess-list 10 permit host 10.1.1.5\n",
     " ACL=10 source row=3 set row=7\r\n", "E--- E--- --D-", "E--- E--- E--- E--- E--- E--- --D-"},
    {"the setting rule's wildcard plays no part", "access-list 10 permit host 10.1.1.0\n",
     "access-list 10 permit 10.1.1.0 0.0.0.255\n", " ACL=10 source row=1 set row=1\r\n", "--D-",
     "--D-"},
    {"a host outside the source host", "access-list 10 permit host 10.1.1.0\n",
     "access-list 10 permit host 10.1.1.5\n", "", "----", "----"},
    {"any is not within a network", "access-list 10 permit 10.0.0.0 0.255.255.255\n",
     "access-list 10 permit any\n", "", "----", "----"},
    {"any is within any", "access-list 10 permit any\n", "access-list 10 permit any\n",
     " ACL=10 source row=1 set row=1\r\n", "--D-", "--D-"},
    {"permit against deny", "access-list 10 permit any\n", "access-list 10 deny any\n", "", "----",
     "----"},
    {"different list numbers", "access-list 10 permit any\n", "access-list 11 permit any\n", "",
     "----", "----"},
    {"named against numbered", "ip access-list standard 10\n permit any\n",
     "ip access-list standard A\n permit any\n", "", "---- ----", "---- ----"},
    {"named lists are compared by name, wherever the name stands",
     "access-list 101 permit icmp any any echo\nip access-list extended WEB\n permit ip any any\n",
     "ip access-list extended WEB\n permit tcp any any eq www\n",
     " ACL=WEB source-row=3 setting-row=2 \r\n", "---- ---- --D-", "---- --D-"},
    {"a standard named pair prints the source list number",
     "ip access-list standard X\nip access-list standard A\n permit any\n",
     "ip access-list standard A\n permit host 1.2.3.4\n", " ACL=10001 source row=3 set row=2\r\n",
     "---- ---- --D-", "---- --D-"},
    {"named lists of different names", "ip access-list standard A\n permit any\n",
     "ip access-list standard B\n permit any\n", "", "---- ----", "---- ----"},
    {"an extended setting rule against a standard source rule of the same name",
     "ip access-list standard A\n permit 10.0.0.0 0.255.255.255\n",
     "ip access-list extended A\n permit tcp host 10.1.1.1 any eq 80\n",
     " ACL=A source-row=2 setting-row=2 \r\n", "---- --D-", "---- --D-"},
    {"protocol ip matches every protocol", "access-list 101 permit ip any any\n",
     "access-list 101 permit udp any any eq 53\n", " ACL=101 source-row=1 setting-row=1 \r\n",
     "--D-", "--D-"},
    {"tcp against udp", "access-list 101 permit tcp any any\n",
     "access-list 101 permit udp any any\n", "", "----", "----"},
    {"eq 80 does not cover a rule without ports", "access-list 101 permit tcp any any eq 80\n",
     "access-list 101 permit tcp any any\n", "", "----", "----"},
    {"one setting rule covered by two source rules",
     "access-list 10 permit any\naccess-list 10 permit 10.0.0.0 0.255.255.255\n",
     "access-list 10 permit host 10.1.1.1\n",
     " ACL=10 source row=1 set row=1\r\n ACL=10 source row=2 set row=1\r\n", "--D- --D-", "--D-"},
    {"a shared ICMP message name", "access-list 101 permit icmp any any echo\n",
     "access-list 101 permit icmp any any echo\n",
     " ACL=101 source-row=1 setting-row=1 option-word=echo \r\n", "--DO", "--DO"},
    {"different ICMP message names", "access-list 101 permit icmp any any echo\n",
     "access-list 101 permit icmp any any echo-reply\n", " ACL=101 source-row=1 setting-row=1 \r\n",
     "--D-", "--D-"},
    {"a word twice on one side is reported twice", "access-list 101 permit tcp any any log\n",
     "access-list 101 permit tcp any any log log\n",
     " ACL=101 source-row=1 setting-row=1 option-word=log option-word=log \r\n", "-UDO", "-UDO"},
    {"unsupported rules still take part", "access-list 101 permit tcp any any established\n",
     "access-list 101 permit tcp any any eq 80 log\n", " ACL=101 source-row=1 setting-row=1 \r\n",
     "-UD-", "-UD-"},
    {"the largest port number a rule holds", "access-list 101 permit tcp any any range 1 65535\n",
     "access-list 101 permit tcp any any gt 2147483647\n",
     " ACL=101 source-row=1 setting-row=1 \r\n", "--D-", "--D-"},
    {"rules in error are left out", "access-list 10 permit any\n",
     "access-list 10 permit any log\n", "", "----", "E---"},
    {"entries without error and without list match each other", "ip access-list logging\n",
     "ip access-list log-update\n", " ACL=-1 source-row=1 setting-row=1 \r\n", "-UD-", "-UD-"},
};

void expectCase(const DupCase& c, bool byPairs) {
  SCOPED_TRACE(c.what);
  auto checked = CheckedConfigs::make();
  ASSERT_TRUE(checked->check(c.source, c.setting, byPairs));
  EXPECT_EQ(c.details, checked->details.view());
  EXPECT_EQ(c.sourceMarks, marksOf(checked->sourceSummary.view()));
  EXPECT_EQ(c.settingMarks, marksOf(checked->settingSummary.view()));
  // One details line per pair, and one recorded pair per line, naming the
  // same two rows in the same order.
  EXPECT_EQ(static_cast<long long>(countLineFeeds(c.details)), checked->pairs);
  ASSERT_EQ(static_cast<std::size_t>(checked->pairs), checked->record.size());
  std::string_view details = c.details;
  for (const DuplicatePair& pair : checked->record) {
    std::string_view line = details.substr(0, details.find('\n'));
    details.remove_prefix(line.size() + 1);
    line.remove_suffix(1);  // the CR
    const std::string rows =
        "row=" + std::to_string(checked->source.entryAt(pair.sourceEntry)->column) + " set" +
        (line.find("setting-row") != std::string_view::npos ? "ting-" : " ") +
        "row=" + std::to_string(checked->setting.entryAt(pair.settingEntry)->column) + " ";
    EXPECT_NE(std::string_view::npos, (std::string(line) + " ").find(rows)) << line;
  }
}

TEST(DuplicationCheckTest, Scenarios) {
  for (const DupCase& c : kCases) expectCase(c, false);
}

TEST(DuplicationCheckTest, PairLoopGivesTheSameResults) {
  for (const DupCase& c : kCases) expectCase(c, true);
}

}  // namespace
}  // namespace dorvex
