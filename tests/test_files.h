// Files for tests: whole-file bytes in and out, a fresh scratch folder per
// test that is removed again afterwards, and the one comparer of golden
// files.
#ifndef DORVEX_TESTS_TEST_FILES_H_
#define DORVEX_TESTS_TEST_FILES_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dorvex::testing_files {

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

// Like a diff's first hunk: the first line (LF included) that differs,
// with CR and LF made visible.
inline std::string firstMismatch(const std::string& expected, const std::string& actual) {
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

// Compares `actual` with the golden file `file` byte for byte; with
// DORVEX_REGENERATE set (tests/golden/regenerate.sh) rewrites the file
// instead, on purpose: review the diff before committing it.
inline void compareOrRegenerate(const std::filesystem::path& file, const std::string& actual) {
  if (std::getenv("DORVEX_REGENERATE")) {
    writeBytes(file, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  const std::string expected = readBytes(file);
  EXPECT_TRUE(expected == actual) << file << " differs:\n" << firstMismatch(expected, actual);
}

// The case folders under tests/golden/`folder`, in name order.
inline std::vector<std::filesystem::path> goldenCases(const char* folder) {
  std::vector<std::filesystem::path> cases;
  const std::filesystem::path root = std::filesystem::path(DORVEX_TEST_DATA) / "golden" / folder;
  for (const auto& entry : std::filesystem::directory_iterator(root)) {
    if (entry.is_directory()) cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

// A folder under the system's temporary folder named after the running test.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps two test runs on one machine (two builds, two
    // checkouts) out of each other's folders.
    path_ =
        std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()) + "-" +
                                                  info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace dorvex::testing_files

#endif  // DORVEX_TESTS_TEST_FILES_H_
