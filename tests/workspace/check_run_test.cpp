#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/report_file.h"
#include "test_files.h"
#include "workspace/check_workspace.h"

namespace dorvex {
namespace {

namespace fs = std::filesystem;

// Records everything a check tells its front end, in order.
class FakeFrontEnd : public CheckFrontEnd, public ProgressSink {
 public:
  ProgressSink* openProgress() override {
    events.push_back("open");
    return this;
  }
  void closeProgress() override { events.push_back("close"); }
  ReportStore& reportStore() override { return files; }
  void write(std::string_view text) override {
    if (throwInWrite) throwInWrite();
    events.push_back(std::string(text));
  }
  void showReportPath(const std::string& path) override {
    events.push_back("path " + path);
    bytesWhenShown = fs::exists(path) ? testing_files::readBytes(path) : "<none>";
  }
  void reportNotWritten(const std::string& reason) override {
    events.push_back("not written");
    notWrittenReason = reason;
  }

  ReportFiles files;
  std::vector<std::string> events;
  std::string notWrittenReason;
  std::string bytesWhenShown;
  // Stands in for a step of the check that throws.
  void (*throwInWrite)() = nullptr;
};

void fixedClock(std::string& date, std::string& time) {
  date = "05/03/11";
  time = "14:05:09";
}

class CheckRunTest : public ::testing::Test {
 protected:
  void SetUp() override { workspace.setClock(fixedClock); }

  CheckRequest request(const char* source, const char* setting) {
    CheckRequest r;
    r.sourceText = source;
    r.settingText = setting;
    r.sourcePath = "D:\\cfg\\r1.txt";
    r.outputDirectory = directory.string();
    return r;
  }

  std::vector<std::string> filesLeft() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
      names.push_back(entry.path().filename().string());
    return names;
  }

  testing_files::ScratchDirectory scratch{"dorvex-run"};
  const fs::path& directory = scratch.path();
  CheckWorkspace workspace;
  FakeFrontEnd frontEnd;
};

constexpr char kRules[] =
    "access-list 10 permit any\r\naccess-list 101 permit tcp any any eq www\r\n";

TEST_F(CheckRunTest, IdenticalConfigsListEveryRuleAndWriteTheReport) {
  CheckResult result = workspace.runCheck(request(kRules, kRules), frontEnd);
  const fs::path expectedPath = directory / "Result110503140509.txt";
  EXPECT_EQ(CheckStatus::written, result.status);
  EXPECT_EQ(expectedPath.string(), result.reportPath);
  const std::vector<std::string> expectedEvents = {
      "open",
      "<Process> source config check -> setting config check -> duplication check\r\n",
      "source config check....\r\n",
      "setting config check....\r\n",
      "duplication check....\r\n",
      "close",
      "path " + expectedPath.string(),
  };
  EXPECT_EQ(expectedEvents, frontEnd.events);
  // The path shown is the one written: the report is whole under it.
  EXPECT_EQ(workspace.reportText("r1.txt", "unopened"), frontEnd.bytesWhenShown);
  EXPECT_EQ(" ACL=10 source row=1 set row=1\r\n ACL=101 source-row=2 setting-row=2 \r\n",
            workspace.duplicationDetails.view());
  // The file holds exactly the report text, CR LF and all.
  EXPECT_EQ(workspace.reportText("r1.txt", "unopened"), testing_files::readBytes(expectedPath));
  EXPECT_EQ(std::vector<std::string>{"Result110503140509.txt"}, filesLeft());
}

TEST_F(CheckRunTest, WithoutTheAnalysisTextTheReportIsTheSame) {
  constexpr char kSource[] =
      "ip access-list extended WEB\r\n permit tcp any host 10.0.0.1 eq www established\r\n!\r\n";
  constexpr char kSetting[] =
      "ip access-list extended WEB\r\n permit tcp host 10.9.9.9 host 10.0.0.1 eq 80 "
      "established\r\n";
  CheckResult full = workspace.runCheck(request(kSource, kSetting), frontEnd);
  ASSERT_EQ(CheckStatus::written, full.status);
  const std::string fullReport = testing_files::readBytes(full.reportPath);
  EXPECT_NE("", workspace.leftText(ResultView::analysis));

  CheckRequest lean = request(kSource, kSetting);
  lean.analysisText = false;
  CheckResult leanResult = workspace.runCheck(lean, frontEnd);
  ASSERT_EQ(CheckStatus::written, leanResult.status);
  EXPECT_EQ(fullReport, testing_files::readBytes(leanResult.reportPath));
  EXPECT_EQ("", workspace.leftText(ResultView::analysis));
  EXPECT_EQ("", workspace.rightText(ResultView::analysis));
  EXPECT_NE(std::string::npos, fullReport.find("option-word=established"));
}

// A report is never replaced: a check in the same second takes the next
// free name, and the first report stays as it was.
TEST_F(CheckRunTest, ASecondCheckInTheSameSecondTakesTheNextName) {
  CheckResult first = workspace.runCheck(request(kRules, kRules), frontEnd);
  ASSERT_EQ(CheckStatus::written, first.status);
  const std::string firstReport = testing_files::readBytes(first.reportPath);
  CheckResult second = workspace.runCheck(request(kRules, "!\r\n"), frontEnd);
  EXPECT_EQ(CheckStatus::written, second.status);
  EXPECT_EQ((directory / "Result110503140509-2.txt").string(), second.reportPath);
  EXPECT_EQ("path " + second.reportPath, frontEnd.events.back());
  EXPECT_EQ("", workspace.duplicationDetails.view());
  std::string report = testing_files::readBytes(second.reportPath);
  EXPECT_EQ(std::string::npos, report.find("ACL="));
  EXPECT_NE(std::string::npos, report.find("001:E---:!\r\r\n"));
  EXPECT_EQ(firstReport, testing_files::readBytes(first.reportPath));
  std::vector<std::string> files = filesLeft();
  std::sort(files.begin(), files.end());
  EXPECT_EQ((std::vector<std::string>{"Result110503140509-2.txt", "Result110503140509.txt"}),
            files);
}

// The clock is read once per check: a check that ends as the date turns
// names its file and dates its header from the same reading.
TEST_F(CheckRunTest, FileNameAndHeaderDateComeFromOneClockReading) {
  static int readings;
  readings = 0;
  workspace.setClock([](std::string& date, std::string& time) {
    date = readings == 0 ? "05/03/11" : "05/04/11";
    time = readings == 0 ? "23:59:59" : "00:00:00";
    ++readings;
  });
  CheckResult result = workspace.runCheck(request(kRules, kRules), frontEnd);
  ASSERT_EQ(CheckStatus::written, result.status);
  EXPECT_EQ(1, readings);
  EXPECT_EQ((directory / "Result110503235959.txt").string(), result.reportPath);
  EXPECT_NE(std::string::npos,
            testing_files::readBytes(result.reportPath).find("[Date=05/03/11]\r\n"));
}

// An allocation that fails anywhere in the check ends the whole check with
// a status (and a text too large for the build likewise): the progress is
// closed, nothing is shown and no report is written.
TEST_F(CheckRunTest, AFailedAllocationEndsTheCheckWithoutAReport) {
  const struct {
    void (*thrower)();
    CheckStatus status;
  } kCases[] = {
      {[] { throw std::bad_alloc(); }, CheckStatus::outOfMemory},
      {[] { throw std::length_error("text"); }, CheckStatus::tooLarge},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.status));
    frontEnd.events.clear();
    frontEnd.throwInWrite = c.thrower;
    CheckResult result = workspace.runCheck(request(kRules, kRules), frontEnd);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ((std::vector<std::string>{"open", "close"}), frontEnd.events);
    EXPECT_TRUE(filesLeft().empty());
  }
}

TEST_F(CheckRunTest, AMissingDirectoryLeavesNothingBehind) {
  CheckRequest r = request(kRules, kRules);
  r.outputDirectory = (directory / "missing").string();
  CheckResult result = workspace.runCheck(r, frontEnd);
  EXPECT_EQ(CheckStatus::notWritten, result.status);
  EXPECT_EQ("not written", frontEnd.events.back());
  EXPECT_FALSE(frontEnd.notWrittenReason.empty());
  EXPECT_TRUE(filesLeft().empty());
  // The check itself ran: its results are there to be shown.
  EXPECT_FALSE(workspace.duplicationDetails.view().empty());
}

TEST_F(CheckRunTest, AnOverlongPathIsRefusedNotCut) {
  CheckRequest r = request(kRules, kRules);
  r.outputDirectory = std::string(990, 'd');
  CheckResult result = workspace.runCheck(r, frontEnd);
  EXPECT_EQ(CheckStatus::pathTooLong, result.status);
  EXPECT_EQ(r.outputDirectory + "/Result110503140509.txt", result.reportPath);
  EXPECT_NE("path " + result.reportPath, frontEnd.events.back());
}

TEST_F(CheckRunTest, AnEmptyTextEndsTheCheckBeforeItStarts) {
  workspace.runCheck(request(kRules, kRules), frontEnd);
  frontEnd.events.clear();
  CheckResult result = workspace.runCheck(request(kRules, ""), frontEnd);
  EXPECT_EQ(CheckStatus::emptyText, result.status);
  EXPECT_TRUE(frontEnd.events.empty());
  // The earlier results stay.
  EXPECT_FALSE(workspace.duplicationDetails.view().empty());
}

TEST_F(CheckRunTest, TheStartUpHintIsCheckedLikeAnyText) {
  const char* hint = "\x83\x68\x83\x89\x83\x62\x83\x4F\x81\x95\x83\x68\x83\x8D\x83\x62\x83\x76";
  workspace.runCheck(request(hint, hint), frontEnd);
  EXPECT_EQ(std::string("001: Err:\"not acl\"\r\n"), workspace.sourceConfig.annotationText());
}

}  // namespace
}  // namespace dorvex
