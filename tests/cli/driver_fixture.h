// A fixture that runs the built console driver as a user does: in a fresh
// folder of its own (with an empty out/ for reports), capturing the exit
// status, stdout and stderr.
#ifndef DORVEX_TESTS_CLI_DRIVER_FIXTURE_H_
#define DORVEX_TESTS_CLI_DRIVER_FIXTURE_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace dorvex::testing_files {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() { std::filesystem::create_directories(directory / "out"); }

  // Runs the driver with `arguments`. `fileSizeLimit` bytes, when given, cap
  // every file the driver writes (as a full disk does); SIGXFSZ is ignored
  // so that the write fails instead of killing it.
  Outcome run(const std::vector<std::string>& arguments, rlim_t fileSizeLimit = RLIM_INFINITY) {
    const std::filesystem::path outPath = directory / "stdout.txt";
    const std::filesystem::path errPath = directory / "stderr.txt";
    pid_t child = ::fork();
    if (child == 0) {
      int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
          ::chdir(directory.c_str()) != 0) {
        ::_exit(126);
      }
      if (fileSizeLimit != RLIM_INFINITY) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{fileSizeLimit, fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      std::string program = DORVEX_BINARY;
      std::vector<std::string> copies = arguments;
      std::vector<char*> argv{program.data()};
      for (std::string& argument : copies) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    Outcome result;
    int raw = 0;
    if (child < 0 || ::waitpid(child, &raw, 0) != child) return result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
  }

  // The same with the arguments in one text, separated by blanks.
  Outcome run(const std::string& arguments) {
    std::istringstream words(arguments);
    std::vector<std::string> split;
    for (std::string word; words >> word;) split.push_back(word);
    return run(split);
  }

  void write(const std::string& name, const std::string& bytes) { writeBytes(directory / name, bytes); }

  // The names of the files in `where`, sorted.
  std::vector<std::string> filesIn(const std::filesystem::path& where) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(where)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The one report the check left in out/, or "<none>"/"<several>".
  std::string onlyReport() {
    std::vector<std::string> names = filesIn(directory / "out");
    if (names.size() != 1) return names.empty() ? "<none>" : "<several>";
    EXPECT_TRUE(std::regex_match(names[0], std::regex("Result[0-9]{12}\\.txt"))) << names[0];
    return readBytes(directory / "out" / names[0]);
  }

  ScratchDirectory scratch{"dorvex-driver"};
  const std::filesystem::path& directory = scratch.path();
};

}  // namespace dorvex::testing_files

#endif  // DORVEX_TESTS_CLI_DRIVER_FIXTURE_H_
