// Golden files of the configuration parser: each folder under
// tests/golden/parser (read in the classic syntax) and tests/golden/parser-full
// (read in the full syntax, one folder per form it adds) holds input.cfg,
// the expected annotated text (annotation.txt, CR LF as the parser writes
// it) and the expected entry and name tables (entries.txt, see
// dumpTables()), compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "parser/acl_config.h"
#include "parser_test_util.h"
#include "test_files.h"

namespace dorvex {
namespace {

using testing_files::compareOrRegenerate;
using testing_files::firstMismatch;

// Runs every case folder under tests/golden/`folder` in `syntax`; there are
// at least `atLeast` of them.
void runCases(const char* folder, Syntax syntax, std::size_t atLeast) {
  const std::vector<std::filesystem::path> cases = testing_files::goldenCases(folder);
  ASSERT_GE(cases.size(), atLeast);
  auto config = std::make_unique<AclConfig>();
  for (const std::filesystem::path& dir : cases) {
    SCOPED_TRACE(dir.filename().string());
    std::string input = testing_files::readBytes(dir / "input.cfg");
    ASSERT_FALSE(input.empty());
    std::string annotation = parser_test::annotate(*config, input, syntax);
    compareOrRegenerate(dir / "annotation.txt", annotation);
    compareOrRegenerate(dir / "entries.txt", parser_test::dumpTables(*config));
  }
}

TEST(ParserGoldenTest, EveryCaseMatchesItsExpectedFiles) { runCases("parser", Syntax::classic, 4); }

TEST(ParserGoldenTest, EveryFullSyntaxCaseMatchesItsExpectedFiles) {
  runCases("parser-full", Syntax::full, 10);
}

TEST(ParserGoldenTest, FirstMismatchNamesTheLine) {
  EXPECT_EQ("@@ line 2 @@\n-b\\r\\n\n+c\\r\\n\n", firstMismatch("a\r\nb\r\n", "a\r\nc\r\n"));
  EXPECT_EQ("@@ line 2 @@\n-(end of file)\n+b\\n\n", firstMismatch("a\n", "a\nb\n"));
}

}  // namespace
}  // namespace dorvex
