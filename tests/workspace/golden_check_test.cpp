// End-to-end golden files: each folder under tests/golden/check (checked in
// the default modes) and tests/golden/check-full (in the full syntax and the
// exact cover) holds a source and a setting config and the expected
// summaries, details and report (its date masked), compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "parser/parser_test_util.h"
#include "test_files.h"
#include "workspace/check_workspace.h"

namespace dorvex {
namespace {

using testing_files::compareOrRegenerate;

void maskedClock(std::string& date, std::string& time) {
  date = "MM/DD/YY";
  time = "00:00:00";
}

// A check that leaves out the analysis text parses, marks and reports
// exactly as one that builds it.
void expectSameWithoutAnalysis(CheckWorkspace& full, const std::string& source,
                               const std::string& setting) {
  CheckWorkspace lean;
  lean.setClock(maskedClock);
  ASSERT_TRUE(lean.load(source, setting, false, full.modes()));
  lean.checkConfigs(nullptr);
  lean.checkDuplicates(nullptr);
  EXPECT_EQ("", lean.sourceConfig.annotationText());
  EXPECT_EQ("", lean.settingConfig.annotationText());
  EXPECT_EQ(parser_test::dumpTables(full.sourceConfig), parser_test::dumpTables(lean.sourceConfig));
  EXPECT_EQ(parser_test::dumpTables(full.settingConfig),
            parser_test::dumpTables(lean.settingConfig));
  EXPECT_EQ(full.sourceSummary.view(), lean.sourceSummary.view());
  EXPECT_EQ(full.settingSummary.view(), lean.settingSummary.view());
  EXPECT_EQ(full.duplicationDetails.view(), lean.duplicationDetails.view());
  EXPECT_EQ(full.reportText("source.cfg", "setting.cfg"),
            lean.reportText("source.cfg", "setting.cfg"));
}

// Checks every case folder under tests/golden/`tree` in `modes`; there
// are at least `atLeast` of them.
void runCases(const char* tree, CheckModes modes, int atLeast) {
  int cases = 0;
  for (const std::filesystem::path& folder : testing_files::goldenCases(tree)) {
    SCOPED_TRACE(folder.filename().string());
    std::string source = testing_files::readBytes(folder / "source.cfg");
    std::string setting = testing_files::readBytes(folder / "setting.cfg");
    CheckWorkspace workspace;
    workspace.setClock(maskedClock);
    ASSERT_TRUE(workspace.load(source, setting, true, modes));
    workspace.checkConfigs(nullptr);
    workspace.checkDuplicates(nullptr);
    compareOrRegenerate(folder / "source-analysis.txt",
                        std::string(workspace.sourceConfig.annotationText()));
    compareOrRegenerate(folder / "setting-analysis.txt",
                        std::string(workspace.settingConfig.annotationText()));
    compareOrRegenerate(folder / "source-summary.txt", std::string(workspace.sourceSummary.view()));
    compareOrRegenerate(folder / "setting-summary.txt",
                        std::string(workspace.settingSummary.view()));
    compareOrRegenerate(folder / "details.txt", std::string(workspace.duplicationDetails.view()));
    compareOrRegenerate(folder / "report.txt", workspace.reportText("source.cfg", "setting.cfg"));
    expectSameWithoutAnalysis(workspace, source, setting);
    ++cases;
  }
  EXPECT_GE(cases, atLeast);
}

TEST(GoldenCheckTest, EveryCaseMatchesItsExpectedFiles) { runCases("check", CheckModes{}, 3); }

TEST(GoldenCheckTest, EveryFullExactCaseMatchesItsExpectedFiles) {
  runCases("check-full", CheckModes{Syntax::full, Cover::exact}, 1);
}

}  // namespace
}  // namespace dorvex
