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

TEST(CheckWorkspaceTest, CopyViewsBeforeAnyLoadLeavesBothBuffers) {
  auto workspace = std::make_unique<CheckWorkspace>();
  for (ResultView view : {ResultView::summary, ResultView::analysis}) {
    char left[8] = "left", right[8] = "right";
    EXPECT_TRUE(workspace->copyViews(view, left, sizeof left, right, sizeof right));
    EXPECT_STREQ("left", left);
    EXPECT_STREQ("right", right);
  }
}

}  // namespace
}  // namespace dorvex
