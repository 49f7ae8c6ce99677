// Golden files of the configuration parser: each folder under
// tests/golden/parser (read in the classic syntax) and tests/golden/parser-full
// (read in the full syntax, one folder per form it adds) holds input.cfg,
// the expected annotated text (annotation.txt, CR LF as the parser writes
// it) and the expected entry and name tables (entries.txt, see
// dumpTables()), compared byte for byte.
// DORVEX_REGENERATE=1 (tests/golden/regenerate.sh) rewrites the expected
// files on purpose; review the diff before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "parser/acl_config.h"
#include "parser_test_util.h"

namespace dorvex {
namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Like a diff's first hunk: the first line (LF included) that differs,
// with CR and LF made visible.
std::string firstMismatch(const std::string& expected, const std::string& actual) {
  auto lineAt = [](const std::string& text, std::size_t start) {
    if (start >= text.size()) return std::string("(end of file)");
    std::string line = text.substr(start, text.find('\n', start) + 1 - start), out;
    for (char c : line) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
  };
  std::size_t start = 0;
  for (int line = 1;; ++line) {
    std::string want = lineAt(expected, start), got = lineAt(actual, start);
    if (want != got)
      return "@@ line " + std::to_string(line) + " @@\n-" + want + "\n+" + got + "\n";
    if (start >= expected.size()) return "";
    start = expected.find('\n', start) + 1;
    if (start == 0) return "";
  }
}

void compareOrRegenerate(const fs::path& file, const std::string& actual) {
  if (std::getenv("DORVEX_REGENERATE")) {
    std::ofstream(file, std::ios::binary) << actual;
    return;
  }
  ASSERT_TRUE(fs::exists(file)) << file;
  std::string expected = readBytes(file);
  EXPECT_TRUE(expected == actual) << file << " differs:\n" << firstMismatch(expected, actual);
}

// Runs every case folder under tests/golden/`folder` in `syntax`; there are
// at least `atLeast` of them.
void runCases(const char* folder, Syntax syntax, std::size_t atLeast) {
  fs::path root = fs::path(DORVEX_TEST_DATA) / "golden" / folder;
  std::vector<fs::path> cases;
  for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
    if (entry.is_directory()) cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  ASSERT_GE(cases.size(), atLeast);
  auto config = std::make_unique<AclConfig>();
  for (const fs::path& dir : cases) {
    SCOPED_TRACE(dir.filename().string());
    std::string input = readBytes(dir / "input.cfg");
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
