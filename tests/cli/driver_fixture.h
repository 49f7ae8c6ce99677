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

// Whether the driver runs under the sanitizers. Their run-time reserves
// address space of its own and keeps its own allocator, so no memory cap and
// no allocation fault of the fault shim applies to them.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Outcome {
  int status = -1;
  long maxResidentKb = 0;  // the driver's peak resident memory
  std::string out;
  std::string err;
};

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() { std::filesystem::create_directories(directory / "out"); }

  // How a run is set up beyond its arguments.
  struct Setup {
    // Caps every file the driver writes (as a full disk does); SIGXFSZ is
    // ignored so that the write fails instead of killing it, unless
    // `fileSizeSignal` leaves it as a shell's ulimit -f does.
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool fileSizeSignal = false;
    // Caps the driver's address space, as a machine short of memory does.
    rlim_t memoryLimit = RLIM_INFINITY;
    // Where stdout goes; empty: a file the outcome is read from.
    std::string stdoutPath;
    // NAME=VALUE pairs added to the driver's environment.
    std::vector<std::string> environment;
  };

  // A setup that preloads the fault shim (cli/fault_shim.cpp) with the
  // faults `faults` (NAME=VALUE). A sanitizer's run-time library must come
  // first among the libraries; the shim comes first instead, which is
  // harmless here.
  // `shim`: the library of the faults, the allocation faults' one apart.
  static Setup withFaults(std::vector<std::string> faults, const char* shim = DORVEX_FAULT_SHIM) {
    Setup setup;
    setup.environment = std::move(faults);
    setup.environment.push_back(std::string("LD_PRELOAD=") + shim);
    setup.environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    return setup;
  }

  // Runs the driver with `arguments`, in `directory`.
  Outcome run(const std::vector<std::string>& arguments, const Setup& setup) {
    const std::filesystem::path outPath = directory / "stdout.txt";
    const std::filesystem::path errPath = directory / "stderr.txt";
    pid_t child = start(arguments, setup, outPath, errPath);
    Outcome result;
    result.status = finish(child, &result.maxResidentKb);
    result.out = setup.stdoutPath.empty() ? readBytes(outPath) : "";
    result.err = readBytes(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
  }

  Outcome run(const std::vector<std::string>& arguments, rlim_t fileSizeLimit = RLIM_INFINITY) {
    Setup setup;
    setup.fileSizeLimit = fileSizeLimit;
    return run(arguments, setup);
  }

  // Starts the driver with `arguments` and returns its process id; stdout
  // and stderr go to the files given. When `gate` is a pipe, the child waits
  // until its write end is closed by everyone else before it runs the
  // driver, so that several runs can be let go at once.
  pid_t start(const std::vector<std::string>& arguments, const Setup& setup,
              const std::filesystem::path& outPath, const std::filesystem::path& errPath,
              const int* gate = nullptr) {
    const std::string stdoutPath = setup.stdoutPath.empty() ? outPath.string() : setup.stdoutPath;
    pid_t child = ::fork();
    if (child == 0) {
      int out = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
          ::chdir(directory.c_str()) != 0) {
        ::_exit(126);
      }
      if (setup.fileSizeLimit != RLIM_INFINITY) {
        ::signal(SIGXFSZ, setup.fileSizeSignal ? SIG_DFL : SIG_IGN);
        rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      if (setup.memoryLimit != RLIM_INFINITY) {
        rlimit limit{setup.memoryLimit, setup.memoryLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
      }
      for (const std::string& pair : setup.environment) ::putenv(const_cast<char*>(pair.c_str()));
      if (gate) {
        ::close(gate[1]);
        char byte;
        while (::read(gate[0], &byte, 1) > 0) {
        }
      }
      // A driver that blocks for good ends with SIGALRM instead of holding
      // the test forever; no run comes near this.
      ::alarm(600);
      std::string program = DORVEX_BINARY;
      std::vector<std::string> copies = arguments;
      std::vector<char*> argv{program.data()};
      for (std::string& argument : copies) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    return child;
  }

  // Waits for the process `child`; its exit status, or 128 + the signal
  // that ended it, or -1.
  // `maxResidentKb`, when given, receives its peak resident memory.
  static int finish(pid_t child, long* maxResidentKb = nullptr) {
    int raw = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &raw, 0, &usage) != child) return -1;
    if (maxResidentKb) *maxResidentKb = usage.ru_maxrss;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }

  // The same with the arguments in one text, separated by blanks.
  Outcome run(const std::string& arguments) {
    std::istringstream words(arguments);
    std::vector<std::string> split;
    for (std::string word; words >> word;) split.push_back(word);
    return run(split, RLIM_INFINITY);
  }

  void write(const std::string& name, const std::string& bytes) {
    writeBytes(directory / name, bytes);
  }

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
