#include "workspace/report_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "workspace/check_workspace.h"

namespace dorvex {
namespace {

void fixedClock(std::string& date, std::string& time) {
  date = "05/03/11";
  time = "14:05:09";
}

TEST(ReportNameTest, FileNamePart) {
  const struct {
    const char* path;
    const char* expected;
  } kCases[] = {
      {"D:\\cfg\\r1.txt", "r1.txt"}, {"r1.txt", "r1.txt"},          {"", ""}, {"D:\\cfg\\", ""},
      {"cfg/r1.txt", "r1.txt"},      {"/var/cfg/r2.cfg", "r2.cfg"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.expected, fileNamePart(c.path));
  }
}

TEST(ReportNameTest, FileNameFromDateAndTime) {
  EXPECT_EQ("Result110503140509.txt", reportFileName("05/03/11", "14:05:09"));
  EXPECT_EQ(22u, reportFileName("12/31/99", "23:59:59").size());
}

TEST(ReportNameTest, PathJoinsDirectoryAndName) {
  const char* name = "Result110503140509.txt";
  EXPECT_EQ("D:\\out\\Result110503140509.txt", reportPath("D:\\out\\", name));
  EXPECT_EQ(name, reportPath("", name));
  EXPECT_EQ("reports/out/Result110503140509.txt", reportPath("reports/out", name));
  EXPECT_EQ("reports/out/Result110503140509.txt", reportPath("reports/out/", name));
}

class ReportTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.setClock(fixedClock);
    ASSERT_TRUE(workspace.load("access-list 10 permit any\r\n!\r\n",
                               "access-list 10 permit host 1.2.3.4\r\n"));
    workspace.checkConfigs(nullptr);
    workspace.checkDuplicates(nullptr);
  }
  CheckWorkspace workspace;
};

TEST_F(ReportTextTest, HasEveryLineInOrder) {
  EXPECT_EQ(
      "----------------------------------------\r\n"
      "Dorvex ver 0.8\r\n"
      "Result Report  [Date=05/03/11]\r\n"
      "----------------------------------------\r\n"
      "\r\n"
      "@Source Filename= r1.txt \r\n"
      "001:--D-:access-list 10 permit any\r\r\n"
      "002:E---:!\r\r\n"
      "@Setting Filename = unopened\r\n"
      "001:--D-:access-list 10 permit host 1.2.3.4\r\r\n"
      "\r\n"
      "------------ Duplication Details ------\r\n"
      "\r\n"
      " ACL=10 source row=1 set row=1\r\n"
      "\r\n"
      "------------ Report Finished ----------\r\n"
      "\r\n",
      workspace.reportText("r1.txt", "unopened"));
}

TEST_F(ReportTextTest, BuildReportKeepsTheCapacityRule) {
  std::string report = workspace.reportText("a", "b");
  std::string dest(report.size(), '#');
  EXPECT_FALSE(workspace.buildReport(dest.data(), dest.size(), "a", "b"));
  EXPECT_EQ(std::string(report.size(), '#'), dest);
  dest.assign(report.size() + 1, '#');
  EXPECT_TRUE(workspace.buildReport(dest.data(), dest.size(), "a", "b"));
  EXPECT_EQ(report, dest.c_str());
}

TEST_F(ReportTextTest, LongNamesAreWrittenWhole) {
  std::string name(400, 'n');
  std::string report = workspace.reportText(name, name);
  EXPECT_NE(std::string::npos, report.find("@Source Filename= " + name + " \r\n"));
  EXPECT_NE(std::string::npos, report.find("@Setting Filename = " + name + "\r\n"));
}

TEST(ReportWithoutDuplicationTest, TitleThenTwoEmptyLines) {
  CheckWorkspace workspace;
  workspace.setClock(fixedClock);
  ASSERT_TRUE(workspace.load("!\n", "!\n"));
  workspace.checkConfigs(nullptr);
  workspace.checkDuplicates(nullptr);
  std::string report = workspace.reportText("a", "b");
  EXPECT_NE(std::string::npos, report.find("------------ Duplication Details ------\r\n\r\n\r\n"
                                           "------------ Report Finished ----------\r\n\r\n"));
}

}  // namespace
}  // namespace dorvex
