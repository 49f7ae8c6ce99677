#include "workspace/check_workspace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace dorvex {
namespace {

// A loaded and parsed workspace whose summaries hold recognisable texts.
std::unique_ptr<CheckWorkspace> checkedWorkspace() {
  auto workspace = std::make_unique<CheckWorkspace>();
  EXPECT_TRUE(workspace->load("access-list 10 permit any\n", "!\n"));
  EXPECT_TRUE(workspace->checkConfigs(nullptr));
  workspace->sourceSummary.append("source summary\r\n");
  workspace->settingSummary.append("setting summary\r\n");
  workspace->duplicationDetails.append("details\r\n");
  return workspace;
}

TEST(CheckWorkspaceTest, LoadRefusesEmptyTextsAndKeepsEarlierResults) {
  auto workspace = checkedWorkspace();
  EXPECT_FALSE(workspace->load("", "access-list 10 permit any"));
  EXPECT_FALSE(workspace->load("access-list 10 permit any", ""));
  EXPECT_FALSE(workspace->load(std::string_view("\0x", 2), "x"));  // a text ends at its NUL
  EXPECT_EQ("001: access-list 10 permit any OK\r\n", workspace->sourceConfig.annotationText());
  EXPECT_EQ(1, workspace->settingConfig.entryCount());
  EXPECT_EQ("source summary\r\n", workspace->sourceSummary.view());
  EXPECT_EQ("details\r\n", workspace->duplicationDetails.view());
}

TEST(CheckWorkspaceTest, SecondLoadStartsFresh) {
  auto workspace = checkedWorkspace();
  ASSERT_TRUE(workspace->load("!\n", "!\n"));
  for (const TextCursor* text :
       {&workspace->sourceSummary, &workspace->settingSummary, &workspace->duplicationDetails}) {
    char c = 'x';
    EXPECT_TRUE(text->peekChar(c));  // it has a buffer
    EXPECT_EQ("", text->view());
  }
  EXPECT_EQ(0, workspace->sourceConfig.entryCount());
  EXPECT_EQ("", workspace->sourceConfig.annotationText());
}

TEST(CheckWorkspaceTest, CopyViews) {
  auto workspace = checkedWorkspace();
  char left[64], right[64];
  EXPECT_TRUE(workspace->copyViews(ResultView::analysis, left, sizeof left, right, sizeof right));
  EXPECT_STREQ("001: access-list 10 permit any OK\r\n", left);
  EXPECT_STREQ("001: Err:\"not acl\"\r\n", right);

  EXPECT_TRUE(
      workspace->copyViews(static_cast<ResultView>(2), left, sizeof left, right, sizeof right));
  EXPECT_STREQ("source summary\r\n", left);
  EXPECT_STREQ("setting summary\r\n", right);

  // "source summary\r\n" is 16 bytes: a 16-byte buffer has no room for its NUL.
  char small[16];
  std::memset(small, 'Z', sizeof small);
  std::memset(right, 0, sizeof right);
  EXPECT_TRUE(workspace->copyViews(ResultView::summary, small, sizeof small, right, sizeof right));
  EXPECT_EQ(std::string(16, 'Z'), std::string(small, sizeof small));
  EXPECT_STREQ("setting summary\r\n", right);
}

// Collects the progress lines a check writes.
class RecordingSink : public ProgressSink {
 public:
  void write(std::string_view text) override { lines += text; }
  std::string lines;
};

// Both ways of the check: the progress line, the pair count, the details
// and both summaries; a second check starts clean.
TEST(CheckWorkspaceTest, CheckDuplicatesCountsWritesAndStartsClean) {
  for (bool byPairs : {false, true}) {
    SCOPED_TRACE(byPairs ? "by pairs" : "indexed");
    auto workspace = std::make_unique<CheckWorkspace>();
    auto check = [&](const char* source, const char* setting, ProgressSink* sink) {
      ASSERT_TRUE(workspace->load(source, setting));
      workspace->checkConfigs(nullptr);
      EXPECT_TRUE(byPairs ? workspace->checkDuplicatesByPairs(sink)
                          : workspace->checkDuplicates(sink));
    };
    RecordingSink sink;
    check("access-list 10 permit any\naccess-list 10 permit any\n",
          "access-list 10 permit host 1.1.1.1\n", &sink);
    EXPECT_EQ("duplication check....\r\n", sink.lines);
    EXPECT_EQ(2, workspace->duplicationCount());
    EXPECT_EQ(" ACL=10 source row=1 set row=1\r\n ACL=10 source row=2 set row=1\r\n",
              workspace->duplicationDetails.view());
    EXPECT_EQ("001:--D-:access-list 10 permit any\r\n002:--D-:access-list 10 permit any",
              workspace->sourceSummary.view());
    EXPECT_EQ("001:--D-:access-list 10 permit host 1.1.1.1", workspace->settingSummary.view());

    check("access-list 10 permit any\n", "access-list 10 deny any\n", nullptr);
    EXPECT_EQ(0, workspace->duplicationCount());
    EXPECT_EQ("", workspace->duplicationDetails.view());
    EXPECT_EQ("001:----:access-list 10 permit any", workspace->sourceSummary.view());
  }
}

TEST(CheckWorkspaceTest, WriteSummaryAppendsTheListing) {
  auto workspace = std::make_unique<CheckWorkspace>();
  ASSERT_TRUE(workspace->load("x\ny\n", "!\n"));
  TextCursor output;
  output.allocate(16);
  output.append("before\r\n");
  EXPECT_TRUE(workspace->writeSummary(workspace->sourceConfig, output));
  EXPECT_EQ("before\r\n001:----:x\r\n002:----:y", output.view());
}

TEST(CheckWorkspaceTest, CopyViewsBeforeAnyLoadLeavesBothBuffers) {
  auto workspace = std::make_unique<CheckWorkspace>();
  for (ResultView view : {ResultView::summary, ResultView::analysis}) {
    char left[8] = "left", right[8] = "right";
    EXPECT_TRUE(workspace->copyViews(view, left, sizeof left, right, sizeof right));
    EXPECT_STREQ("left", left);
    EXPECT_STREQ("right", right);
  }
}

// The within lines split by configuration, each its own lines only; one
// configuration alone, or a check without the analysis, leaves none.
TEST(CheckWorkspaceTest, WithinTextsSplitByConfiguration) {
  const char kSource[] =
      "ip access-list extended A\n permit tcp any any\n permit tcp any any eq 22\n";
  const char kSetting[] = "ip access-list extended B\n deny ip any any\n permit ip any any\n";
  auto workspace = std::make_unique<CheckWorkspace>();
  auto check = [&](std::string_view setting, bool within) {
    ASSERT_TRUE(workspace->load(kSource, setting, true, {Syntax::full, Cover::list, within}));
    ASSERT_TRUE(workspace->checkConfigs(nullptr) && workspace->checkDuplicates(nullptr));
  };
  check(kSetting, true);
  EXPECT_EQ(" ACL=A config=source row=3 unreachable blocking-rows=2 safe-to-remove=yes\r\n",
            workspace->sourceWithinText());
  EXPECT_EQ(
      " ACL=B config=setting row=3 unreachable blocking-rows=2 conflicting-row=2 "
      "safe-to-remove=yes\r\n",
      workspace->settingWithinText());
  check("", true);
  EXPECT_EQ(workspace->withinDetails.view(), workspace->sourceWithinText());
  EXPECT_EQ("", workspace->settingWithinText());
  check(kSetting, false);
  EXPECT_EQ(
      "", std::string(workspace->sourceWithinText()) + std::string(workspace->settingWithinText()));
}

}  // namespace
}  // namespace dorvex
