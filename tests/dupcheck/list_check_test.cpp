// The list cover through the whole check: each form of its details line,
// with the marks it leaves. (Its verdicts are held against a brute-force
// reference in exact_cover_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "checked_configs.h"
#include "dupcheck/access_lists.h"
#include "dupcheck/change_review.h"

namespace dorvex {
namespace {

constexpr CheckModes kFullList{Syntax::full, Cover::list};

struct ListCase {
  const char* what;
  const char* source;
  const char* setting;
  const char* details;
  const char* settingMarks;  // the D marks of the setting's lines, "-" or "D" each
};

const ListCase kCases[] = {
    {"a /24 covered by two /25s together",
     "ip access-list extended L\n permit ip 10.1.2.0 0.0.0.127 any\n"
     " permit ip 10.1.2.128 0.0.0.127 any\n",
     "ip access-list extended L\n permit tcp 10.1.2.0 0.0.0.255 any eq 443\n",
     " ACL=L source-row=2 setting-row=2 \r\n ACL=L source-row=3 setting-row=2 \r\n", "-D"},
    {"a deny covered only by the implicit deny",
     "ip access-list extended L\n permit tcp any any eq 22\n",
     "ip access-list extended L\n deny udp any any\n",
     " ACL=L source-row=implicit-deny setting-row=2 \r\n", "-D"},
    {"an earlier deny takes part of a permit: the witness, ICMP echo first",
     "ip access-list extended L\n deny ip host 10.1.2.66 any\n permit ip 10.1.2.0 0.0.0.255 any\n",
     "ip access-list extended L\n permit ip 10.1.2.0 0.0.0.255 any\n",
     " ACL=L source-row=2 setting-row=2 not-covered by=deny witness=icmp 10.1.2.66 > 203.0.113.1 "
     "type 8 code 0\r\n",
     "--"},
    {"the implicit deny decides the witness, a port above 1023 to the rule's own port",
     "access-list 101 permit tcp 10.0.0.0 0.255.255.255 any eq 80\n",
     "access-list 101 permit tcp any host 192.0.2.7 eq 80\n",
     " ACL=101 source-row=implicit-deny setting-row=1 not-covered by=deny witness=tcp 198.51.100.1 "
     "port 1024 > 192.0.2.7 port 80\r\n",
     "-"},
    {"an IPv6 list's witness: an ICMPv6 echo, the rule's own address, else the example",
     "ipv6 access-list L\n deny ipv6 2001:db8:9::/48 any\n",
     "ipv6 access-list L\n permit ipv6 any any\n",
     " ACL=L source-row=2 setting-row=2 not-covered by=deny witness=icmpv6 "
     "2001:db8:9::1 > 2001:db8:2::1 type 128 code 0\r\n",
     "--"},
    {"a source line not read that decides alike either way",
     "ip access-list extended L\n permit tcp any object-group WEB eq 80\n permit ip any any\n",
     "ip access-list extended L\n permit tcp any any eq 80\n",
     " ACL=L source-row=2 setting-row=2 \r\n ACL=L source-row=3 setting-row=2 \r\n", "-D"},
    {"a time-range leaves the verdict undecided",
     "ip access-list extended L\n permit tcp any any eq 80\n",
     "ip access-list extended L\n permit ip any any time-range WORK\n",
     " ACL=L setting-row=2 undecided reason=new.cfg:2 time-range WORK\r\n", "--"},
    {"a source line not read that may decide the other way",
     "ip access-list extended L\n deny tcp any object-group WEB eq 80\n permit ip any any\n",
     "ip access-list extended L\n permit tcp any any eq 80\n",
     " ACL=L setting-row=2 undecided reason=old.cfg:2 not read\r\n", "--"},
    {"a standard rule within an extended list's ip to any",
     "ip access-list extended S\n deny ip host 10.1.1.1 any\n permit ip any any\n",
     "ip access-list standard S\n permit 10.1.2.0 0.0.0.255\n",
     " ACL=S source-row=3 setting-row=2 \r\n", "-D"},
    {"an IPv6 list is no IPv4 list of its name", "ipv6 access-list L\n permit ipv6 any any\n",
     "ip access-list extended L\n permit ip any any\n", " ACL=L setting-row=2 no-source-list\r\n",
     "--"},
    {"a list the source does not have", "ip access-list extended L\n permit ip any any\n",
     "ip access-list extended M\n permit ip any any\n", " ACL=M setting-row=2 no-source-list\r\n",
     "--"},
};

TEST(ListCheckTest, DetailsAndMarksOfEachVerdict) {
  auto checked = CheckedConfigs::make();
  // Reasons name the configuration of the line they name.
  checked->source.setFileName("old.cfg");
  checked->setting.setFileName("new.cfg");
  for (const ListCase& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->check(c.source, c.setting, false, kFullList));
    EXPECT_EQ(c.details, checked->details.view());
    std::string marks;
    for (const LineRecord& line : checked->setting.lines()) {
      const bool duplicate =
          line.entry >= 0 && (checked->setting.entryAt(line.entry)->flags & kDuplicateBit);
      marks += duplicate ? 'D' : '-';
    }
    EXPECT_EQ(c.settingMarks, marks);
  }
}

// The worked examples of the within analysis in docs/engine.md.
TEST(ListCheckTest, WithinFindsHiddenAndRedundantLines) {
  const struct {
    const char* what;
    const char* list;
    const char* details;
  } kLists[] = {
      {"hidden by a broader earlier permit",
       "ip access-list extended A\n permit tcp 10.1.0.0 0.0.255.255 any\n"
       " permit tcp 10.1.2.0 0.0.0.255 any eq 443\n",
       " ACL=A config=source row=3 unreachable blocking-rows=2 safe-to-remove=yes\r\n"},
      {"hidden by two earlier lines together",
       "ip access-list extended B\n permit tcp 10.2.0.0 0.0.0.127 any\n"
       " permit tcp 10.2.0.128 0.0.0.127 any\n permit tcp 10.2.0.0 0.0.0.255 any eq 80\n",
       " ACL=B config=source row=4 unreachable blocking-rows=2,3 safe-to-remove=yes\r\n"},
      {"contradicted by an earlier deny",
       "ip access-list extended C\n deny ip host 10.3.0.1 any\n permit ip host 10.3.0.1 any\n"
       " permit ip any any\n",
       " ACL=C config=source row=3 unreachable blocking-rows=2 conflicting-row=2 "
       "safe-to-remove=yes\r\n"},
      {"redundant before a broader later line",
       "ip access-list extended D\n permit tcp host 10.4.0.1 any eq 22\n"
       " permit tcp 10.4.0.0 0.0.0.255 any\n",
       " ACL=D config=source row=2 redundant deciding-rows=3 safe-to-remove=yes\r\n"},
      {"a final deny the implicit deny repeats",
       "ip access-list extended E\n permit udp any any eq 53\n deny ip any any\n",
       " ACL=E config=source row=3 redundant deciding-rows=implicit-deny safe-to-remove=yes\r\n"},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kLists) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->parse(c.list, c.list, Syntax::full));
    std::vector<WithinFinding> findings;
    EXPECT_EQ(1, analyseWithin(checked->source, "source", checked->details, &findings));
    EXPECT_EQ(c.details, checked->details.view());
  }
}

// A packet is IPv4 or IPv6: no IPv6 block, however wide, holds an IPv4
// packet, and "any" of the firewall form holds both.
TEST(ListCheckTest, AddressFamiliesNeverMeet) {
  const struct {
    const char* what;
    const char* list;
    const char* within;  // the details of the within analysis
    bool selfCovered;    // the list against itself covers every line
  } kLists[] = {
      {"any6 before any4",
       "access-list OUT extended deny ip any6 any6\n"
       "access-list OUT extended permit ip host 10.0.0.1 any4\n",
       " ACL=OUT config=source row=1 redundant deciding-rows=implicit-deny safe-to-remove=yes\r\n",
       true},
      {"::/8 before an IPv4 block",
       "access-list OUT extended deny ip ::/8 any\n"
       "access-list OUT extended permit tcp 192.0.2.0 255.255.255.0 any eq 443\n",
       " ACL=OUT config=source row=1 redundant deciding-rows=implicit-deny safe-to-remove=yes\r\n",
       true},
      {"any holds both families",
       "access-list OUT extended deny ip any any\n"
       "access-list OUT extended permit ip host 10.0.0.1 any4\n"
       "access-list OUT extended permit ip any6 any6\n",
       " ACL=OUT config=source row=2 unreachable blocking-rows=1 conflicting-row=1 "
       "safe-to-remove=yes\r\n"
       " ACL=OUT config=source row=3 unreachable blocking-rows=1 conflicting-row=1 "
       "safe-to-remove=yes\r\n",
       false},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kLists) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->parse(c.list, c.list, Syntax::full));
    std::vector<WithinFinding> findings;
    analyseWithin(checked->source, "source", checked->details, &findings);
    EXPECT_EQ(c.within, checked->details.view());
    if (!c.selfCovered) continue;
    // The list against itself: its IPv4 permit is covered, with no witness
    // from the IPv6 deny.
    ASSERT_TRUE(checked->check(c.list, c.list, false, kFullList));
    EXPECT_EQ(std::string::npos, checked->details.view().find("not-covered"))
        << checked->details.view();
  }
}

// Lists that fragment boxes (masks, "neq", nested ranges) or multiply
// groups out: every line read is decided, none is left to a budget.
TEST(ListCheckTest, ShapesThatFragmentAreDecided) {
  // Fewer lines under the sanitizers, whose build is many times slower.
#if defined(__SANITIZE_ADDRESS__)
  constexpr int kRanges = 400;
#else
  constexpr int kRanges = 2000;
#endif
  std::string ranges = "ip access-list extended R\n";
  for (int i = 0; i < kRanges; ++i) {
    ranges += " deny tcp any any range " + std::to_string(kRanges + 1 - i) + " 65535\n";
  }
  std::string groups = "object-group network SRC\n";
  std::string destinations = "object-group network DST\n";
  for (int i = 0; i < 1000; ++i) {
    groups += " host 10." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".1\n";
    destinations += " host 192.0." + std::to_string(i / 250) + "." + std::to_string(i % 250) + "\n";
  }
  groups += destinations +
            "access-list OUT extended permit tcp object-group SRC object-group DST eq 443\n"
            "access-list OUT extended permit tcp host 10.0.0.1 host 192.0.0.0 eq 443\n";
  const struct {
    const char* what;
    std::string list;
    const char* first;  // the first finding's details line
    std::size_t findings;
  } kLists[] = {
      {"masks and neq ports",
       "ip access-list extended A\n deny ip 192.168.0.21 0.0.2.0 any\n"
       " deny udp any host 192.168.34.5\n deny ip any 10.1.0.2 0.0.3.20\n"
       " permit ip any 10.1.34.3 0.0.0.16\n deny udp 10.1.34.17 0.0.32.6 10.1.0.0 0.0.63.255\n"
       " deny udp any gt 10 any neq 8\n deny udp 10.1.32.4 0.0.3.2 neq 15 any\n"
       " permit udp any eq 443 any neq 23 log-input\n",
       "", 0},
      {"IPv6 prefixes",
       "ipv6 access-list B\n deny ipv6 2001:db8::c/127 any\n permit udp any gt 1 2001:db8::/32\n"
       " permit ipv6 any 2001:db8::/124\n deny ipv6 2001:db8::/32 any\n"
       " permit udp 2001:db8::/32 2001:db8::/64 gt 10\n",
       " ACL=B config=source row=6 unreachable blocking-rows=5 conflicting-row=2 "
       "safe-to-remove=yes\r\n",
       1},
      {"nested ranges", ranges,
       " ACL=R config=source row=2 redundant deciding-rows=3 safe-to-remove=yes\r\n",
       static_cast<std::size_t>(kRanges)},
      {"two groups of 1,000 hosts", groups,
       " ACL=OUT config=source row=2004 unreachable blocking-rows=2003 safe-to-remove=yes\r\n", 1},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kLists) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->parse(c.list, c.list, Syntax::full));
    std::vector<WithinFinding> findings;
    analyseWithin(checked->source, "source", checked->details, &findings);
    const std::string details(checked->details.view());
    EXPECT_EQ(std::string::npos, details.find("undecided")) << details.substr(0, 400);
    EXPECT_EQ(c.findings, findings.size());
    EXPECT_EQ(c.first, details.substr(0, details.find('\n') + 1));
  }
}

// Sequence numbers order a list of the full syntax as a device does.
TEST(ListCheckTest, ListsAreInDeviceOrder) {
  const struct {
    const char* what;
    Syntax syntax;
    const char* text;
    // Each list's lines in evaluation order, the within details, the lines refused.
    const char *lists, *within, *refused;
  } kCases[] = {
      {"numbers out of order", Syntax::full,
       "ip access-list extended L\n 20 permit tcp 10.0.0.0 0.0.0.255 any eq 443\n"
       " 10 permit tcp 10.0.0.0 0.0.0.255 any\n",
       "L 3 2;", " ACL=L config=source row=2 unreachable blocking-rows=3 safe-to-remove=yes\r\n",
       ""},
      {"no number after 30 takes 40, a duplicate 40 is refused", Syntax::full,
       "ip access-list extended L\n 30 permit tcp any any eq 22\n permit tcp any any eq 23\n"
       " 45 permit tcp any any eq 24\n 35 permit tcp any any eq 25\n 40 deny ip any any\n",
       "L 2 5 3 4;", "", "40 Err:\"duplicate sequence number 40\""},
      {"a list re-opened with 5 takes it first", Syntax::full,
       "ip access-list extended L\n 10 permit tcp any any eq 22\n 20 permit tcp any any\n"
       "hostname r1\nip access-list extended L\n 5 deny tcp any any eq 22\n",
       "L 6 2 3;",
       " ACL=L config=source row=2 unreachable blocking-rows=6 conflicting-row=6 "
       "safe-to-remove=yes\r\n",
       ""},
      {"the classic syntax in table order", Syntax::classic,
       "ip access-list extended L\n permit tcp any any\nip access-list extended M\n"
       " permit tcp any any\nip access-list extended L\n deny tcp any any eq 22\n",
       "L 2 6;M 4;",
       " ACL=L config=source row=6 unreachable blocking-rows=2 conflicting-row=2 "
       "safe-to-remove=yes\r\n",
       ""},
  };
  auto checked = CheckedConfigs::make();
  const AclConfig& config = checked->source;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->parse(c.text, c.text, c.syntax));
    std::string lists, refused;
    for (const auto& [key, entries] : listsOf(config)) {
      lists += key.name;
      for (int entry : entries) lists += " " + std::to_string(config.entryAt(entry)->column);
      lists += ";";
    }
    for (const LineRecord& line : config.lines()) {
      const std::string_view note = config.lineAnnotation(line);
      if (note.find("Err:") != std::string_view::npos) refused += note;
    }
    EXPECT_EQ(c.lists, lists);
    EXPECT_EQ(c.refused, refused);
    analyseWithin(config, "source", checked->details, nullptr);
    EXPECT_EQ(c.within, checked->details.view());
  }
}

// Lists end as on a device: an IPv6 list permits neighbour advertisements
// and solicitations before its implicit deny, so a final deny of
// everything overrides them and a rule that denies them is no longer what
// the list's end does; and a list's only line is never one to remove.
TEST(ListCheckTest, ListsEndAsOnADevice) {
  const struct {
    const char* what;
    const char* source;
    const char* setting;
    const char* within;  // of the source
    const char* cover;   // the list cover's details
    const char* diff;    // the change review's
  } kCases[] = {
      {"a final deny of everything is no repetition of the end",
       "ipv6 access-list F\n permit tcp any any eq 22\n deny ipv6 any any\n",
       "ipv6 access-list F\n permit tcp any any eq 22\n", "",
       " ACL=F source-row=2 setting-row=2 \r\n",
       " ACL=F old-row=3 new-row=implicit-nd-na newly permitted witness=icmpv6 2001:db8:1::1 > "
       "2001:db8:2::1 type 136 code 0\r\n"
       " ACL=F old-row=3 new-row=implicit-nd-ns newly permitted witness=icmpv6 2001:db8:1::1 > "
       "2001:db8:2::1 type 135 code 0\r\n"},
      {"a list's only line is no line to remove", "ip access-list extended H\n deny ip any any\n",
       "ip access-list extended H\n deny ip any any\n", "",
       " ACL=H source-row=2 setting-row=2 \r\n", ""},
      {"a deny of advertisements is not what the end does",
       "ipv6 access-list G\n permit tcp any any eq 22\n permit icmp any any nd-na\n",
       "ipv6 access-list G\n deny icmp any any nd-na\n permit tcp any any eq 22\n",
       " ACL=G config=source row=3 redundant deciding-rows=implicit-nd-na safe-to-remove=yes\r\n",
       " ACL=G source-row=3 setting-row=2 not-covered by=permit witness=icmpv6 "
       "2001:db8:1::1 > 2001:db8:2::1 type 136 code 0\r\n"
       " ACL=G source-row=2 setting-row=3 \r\n",
       " ACL=G old-row=3 new-row=2 newly denied witness=icmpv6 2001:db8:1::1 > 2001:db8:2::1 "
       "type 136 code 0\r\n"},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(checked->check(c.source, c.setting, false, kFullList));
    EXPECT_EQ(c.cover, checked->details.view());
    TextCursor within, changes;
    ASSERT_TRUE(within.allocate(16) && changes.allocate(16));
    analyseWithin(checked->source, "source", within, nullptr);
    EXPECT_EQ(c.within, within.view());
    reviewChanges(checked->source, checked->setting, changes, nullptr);
    EXPECT_EQ(c.diff, changes.view());
  }
}

}  // namespace
}  // namespace dorvex

namespace dorvex {
namespace {

// Where lists are used: a use by number or name and family, the lists never
// used, the uses of lists not defined; nothing of the kind for a
// configuration that uses no list.
TEST(ListCheckTest, WithinSaysWhereListsAreUsed) {
  const std::string lists =
      "access-list 10 permit 10.0.0.0 0.255.255.255\naccess-list 10 permit host 10.0.0.1\n"
      "ip access-list extended E\n permit tcp any any\n permit tcp any any eq 80\n"
      "ipv6 access-list V\n permit tcp any any eq 22\n";
  const struct {
    const char* what;
    const char* uses;
    const char* details;
    long long found;
  } kCases[] = {
      {"no use: nothing unused", "",
       " ACL=E config=source row=5 unreachable blocking-rows=4 safe-to-remove=yes\r\n"
       " ACL=10 config=source row=2 unreachable blocking-rows=1 safe-to-remove=yes\r\n",
       2},
      {"by name, by number, an IPv6 list unused",
       "interface e0\n ip access-group E in\n ip access-group 10 out\nline vty 0 4\n"
       " access-class 10 in\n",
       " ACL=E config=source row=5 unreachable blocking-rows=4 safe-to-remove=yes "
       "use=interface e0 in\r\n"
       " ACL=10 config=source row=2 unreachable blocking-rows=1 safe-to-remove=yes "
       "use=interface e0 out, line vty 0 4 in\r\n"
       " ACL=V config=source row=6 unused-list\r\n",
       3},
      {"the wrong family is no use; a feature that filters no packet",
       "interface e0\n ipv6 traffic-filter E in\n ip access-group V in\nrouter ospf 1\n"
       " distribute-list 10 in\nclass-map C\n match access-group name V\n",
       " ACL=E config=source row=3 unused-list\r\n"
       " ACL=E config=source row=5 unreachable blocking-rows=4 safe-to-remove=yes use=none\r\n"
       " ACL=10 config=source row=2 unreachable blocking-rows=1 safe-to-remove=yes "
       "use=distribute-list in router ospf 1 (not packet filtering)\r\n"
       " ACL=E config=source row=9 undefined-reference use=interface e0 in\r\n"
       " ACL=V config=source row=10 undefined-reference use=interface e0 in\r\n",
       5},
      {"a numbered list's remark is its first line",
       "interface e0\n ip access-group E in\n ip access-group 10 in\n ipv6 traffic-filter V in\n"
       "access-list 98 remark gone\naccess-list 98 permit any\n",
       " ACL=E config=source row=5 unreachable blocking-rows=4 safe-to-remove=yes "
       "use=interface e0 in\r\n"
       " ACL=10 config=source row=2 unreachable blocking-rows=1 safe-to-remove=yes "
       "use=interface e0 in\r\n ACL=98 config=source row=12 unused-list\r\n",
       3},
  };
  auto checked = CheckedConfigs::make();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string text = lists + c.uses;
    ASSERT_TRUE(checked->parse(text, text, Syntax::full));
    std::vector<WithinFinding> findings;
    EXPECT_EQ(c.found, analyseWithin(checked->source, "source", checked->details, &findings));
    EXPECT_EQ(c.details, checked->details.view());
    // A list fault is never a line to remove.
    for (const WithinFinding& f : findings) {
      EXPECT_TRUE(f.fault == ListFault::none || !f.safeToRemove);
    }
  }
}

}  // namespace
}  // namespace dorvex
