#include "parser/acl_config.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "parser_test_util.h"

namespace dorvex {
namespace {

using parser_test::annotate;
using parser_test::dump;
using parser_test::dumpEntries;
using parser_test::dumpNames;

TEST(AclConfigTest, ResetGivesEmptyTablesAndAFreshCurrentEntry) {
  auto config = std::make_unique<AclConfig>();
  ASSERT_TRUE(config->reset("access-list 10 permit any\n"));
  EXPECT_EQ(0, config->entryCount());
  EXPECT_EQ(0, config->nameCount());
  EXPECT_EQ(
      "acl_no=-1 type=-1 permission=-1 protocol_no=-1 source=255.255.255.255 "
      "destin=255.255.255.255 mask_s=255.255.255.255 mask_d=255.255.255.255 sp_low=-1 "
      "sp_hig=-1 sp_typ=-1 dp_low=-1 dp_hig=-1 dp_typ=-1 option_idx=-1 flags=0 column=-1",
      parser_test::dumpFull(*config->entryAt(0)));
  EXPECT_EQ(nullptr, config->entryAt(1));
  EXPECT_EQ(nullptr, config->entryAt(-1));
  EXPECT_EQ("", config->annotationText());
  EXPECT_EQ("access-list 10 permit any\n", config->inputText().view());
}

// Each reset decides afresh whether the check writes the annotation; the
// tables come out the same either way.
TEST(AclConfigTest, ResetChoosesWhetherToAnnotate) {
  const std::string text = "ip access-list extended A\n permit tcp any any eq www log\n";
  auto config = std::make_unique<AclConfig>();
  const std::string annotated = annotate(*config, text);
  ASSERT_EQ(
      "001: ip access-list extended A(10000) OK\r\n"
      "002: permit tcp(6) any any eq www(80) log(?) OK\r\n",
      annotated);
  const std::string tables = parser_test::dumpTables(*config);
  for (bool annotate : {false, true, false}) {
    SCOPED_TRACE(annotate);
    ASSERT_TRUE(config->reset(text, annotate));
    EXPECT_TRUE(config->checkConfig());
    EXPECT_EQ(annotate ? annotated : "", config->annotationText());
    EXPECT_EQ(tables, parser_test::dumpTables(*config));
  }
}

TEST(AclConfigTest, NameTable) {
  auto config = std::make_unique<AclConfig>();
  config->reset("x");
  EXPECT_EQ(0, config->addName(std::string(25, 'n'), 0));
  EXPECT_EQ(-1, config->addName(std::string(26, 'n'), 0));
  EXPECT_EQ(1, config->nameCount());
  EXPECT_EQ(1, config->addName("A", 0));  // never searched: a repeated name
  EXPECT_EQ(2, config->addName("A", 1));  // gets a record of its own
  EXPECT_EQ(3, config->addName("", 0));
  EXPECT_EQ(std::string(25, 'n') + "/0|A/0|A/1|/0", dumpNames(*config));
  EXPECT_EQ(std::string(25, 'n'), config->nameView(0));
  EXPECT_EQ("A", config->nameView(2));
  EXPECT_EQ("", config->nameView(3));
  EXPECT_EQ("", config->nameView(4));  // not a record in use
  // A name ends at its first NUL byte, as every text does.
  EXPECT_EQ(4, config->addName(std::string_view("ab\0cd", 5), 0));
  EXPECT_EQ("ab", config->nameView(4));
  char name[kNameLength + 1] = "keep";
  int unsupported = 7;
  EXPECT_FALSE(config->nameAt(config->nameCount(), name, unsupported));
  EXPECT_FALSE(config->nameAt(-1, name, unsupported));
  EXPECT_STREQ("keep", name);
  EXPECT_EQ(7, unsupported);
}

TEST(AclConfigTest, EntryStepsAndRanges) {
  auto config = std::make_unique<AclConfig>();
  config->reset("x");
  config->current().acl_no = 10001;
  config->setRuleKind(kExtendedRule);
  config->current().permission = kPermit;
  config->commitInError();
  config->carryListContext();  // acl_no and type only
  config->commitUnsupported();
  config->commit();
  EXPECT_EQ("acl_no=10001 type=1 permission=0 flags=2\nacl_no=10001 type=1 flags=4\n{}",
            dumpEntries(*config));
  EXPECT_EQ("{}", dump(*config->entryAt(3)));  // the current entry
  EXPECT_EQ(nullptr, config->entryAt(4));
  EXPECT_FALSE(config->markEntry(4, kDuplicateBit));
  EXPECT_FALSE(config->markEntry(-1, kDuplicateBit));
  EXPECT_TRUE(config->markEntry(2, kDuplicateBit) && config->markEntry(2, kOptionBit));
  EXPECT_EQ("flags=24", dump(*config->entryAt(2)));
  EXPECT_EQ("{}", dump(*config->entryAt(3)));
}

// Issue 2: both tables start with 30,000 records and grow; no record is
// refused for want of room, and a reset after such a check still clears all.
TEST(AclConfigTest, TablesGrowPast30000Records) {
  auto config = std::make_unique<AclConfig>();
  config->reset("x");
  for (int k = 0; k < 30001; ++k) {
    ASSERT_EQ(k, config->addName("n" + std::to_string(k), 0));
    config->current().column = k + 1;
    config->commit();
  }
  char name[kNameLength + 1];
  int unsupported = -1;
  EXPECT_TRUE(config->nameAt(30000, name, unsupported));
  EXPECT_STREQ("n30000", name);
  EXPECT_EQ("column=30001", dump(*config->entryAt(30000)));
  EXPECT_EQ("{}", dump(*config->entryAt(30001)));
  ASSERT_TRUE(config->reset("y"));
  EXPECT_EQ(0, config->entryCount());
  EXPECT_EQ(0, config->nameCount());
  EXPECT_EQ("{}", dump(*config->entryAt(0)));
  EXPECT_EQ(0, config->addName("again", 0));
}

TEST(AclConfigTest, CopyAnnotationNeedsRoomForTheNul) {
  auto config = std::make_unique<AclConfig>();
  char buffer[64] = "keep";
  config->copyAnnotation(buffer, sizeof buffer);  // before any reset: no text
  EXPECT_STREQ("keep", buffer);
  std::string text = annotate(*config, "!\n");
  ASSERT_EQ("001: Err:\"not acl\"\r\n", text);
  config->copyAnnotation(buffer, text.size());
  EXPECT_STREQ("keep", buffer);
  config->copyAnnotation(buffer, text.size() + 1);
  EXPECT_EQ(text, buffer);
}

TEST(AclConfigTest, SecondResetLeavesNothingBehind) {
  auto config = std::make_unique<AclConfig>();
  // The first check ends inside an open list, with names and option words.
  annotate(*config,
           "ip access-list extended WEB\n permit tcp any any eq www established\n"
           "access-list 10 permit any\nip access-list extended OPEN\n");
  ASSERT_EQ(2, config->entryCount());
  ASSERT_EQ("WEB/0|established/1|/0|OPEN/0", dumpNames(*config));
  ASSERT_EQ("acl_no=10003 type=1 column=4", dump(config->current()));

  std::string second = annotate(*config, " permit any\n");
  EXPECT_EQ("001: Err:\"non-set ip access-list\"\r\n", second);
  EXPECT_EQ("flags=2 column=1", dumpEntries(*config));
  EXPECT_EQ("", dumpNames(*config));
  EXPECT_EQ("{}", dump(config->current()));
}

}  // namespace
}  // namespace dorvex
