// The console driver as scripts run it: a report under a name of their
// choosing or none, headers between the texts of --print, and one source
// config against many setting configs. The JSON output is tested against
// its schema by json_output_test.py.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "cli/driver_fixture.h"

namespace {

namespace fs = std::filesystem;
using dorvex::testing_files::kSanitized;
using dorvex::testing_files::Outcome;
using dorvex::testing_files::readBytes;

std::string masked(const std::string& report) {
  return std::regex_replace(report, std::regex("Date=[0-9/]{8}"), "Date=MM/DD/YY");
}

class ScriptingTest : public dorvex::testing_files::DriverTest {
 protected:
  void SetUp() override {
    write("a.cfg", "access-list 10 permit any\naccess-list 11 permit host 10.1.1.1\n");
    write("b.cfg", "access-list 10 permit host 10.1.1.1\n");
    write("c.cfg", "access-list 10 deny any\n");
    write("victim", "keep");
  }

  // The report a default run writes for `source` against `setting`, its
  // date masked; its file is removed again.
  std::string referenceReport(const std::string& source, const std::string& setting) {
    Outcome reference = run({"-q", "-o", "out", "--print", "report", source, setting});
    EXPECT_LE(reference.status, 1) << reference.err;
    const std::string path = reference.out.substr(0, reference.out.find('\n'));
    fs::remove(directory / path);
    return masked(reference.out.substr(path.size() + 1));
  }

  // Whatever the driver left under a temporary name, anywhere in the folder.
  std::vector<std::string> temporaries() {
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp-") != std::string::npos) left.push_back(name);
    }
    return left;
  }
};

// --report FILE: exactly that file, whatever stands at its name. Without
// --force nothing there is replaced, followed or opened; with it a file or
// a link (not its target) is replaced whole.
TEST_F(ScriptingTest, NamedReportIsWrittenExactlyThereAndReplacesOnlyWithForce) {
  const std::string report = referenceReport("a.cfg", "b.cfg");
  const fs::path named = directory / "r.txt";
  const std::string refused =
      "dorvex: Result File could not open: r.txt: File exists (--force replaces it)\n";
  const struct {
    const char* name;
    std::function<void()> plant;  // what stands at the name before the run
    std::vector<std::string> options;
    int status;
    std::string err;
    const char* path;  // where the report is afterwards, or ""
  } kCases[] = {
      {"a free name", [] {}, {"--report", "r.txt"}, 1, "", "r.txt"},
      {"a free name in a folder",
       [&] { fs::create_directory(directory / "sub"); },
       {"--report", "sub/r.txt"},
       1,
       "",
       "sub/r.txt"},
      {"a file", [&] { write("r.txt", "old"); }, {"--report", "r.txt"}, 2, refused, ""},
      {"a file, --force",
       [&] { write("r.txt", "old"); },
       {"--report", "r.txt", "--force"},
       1,
       "",
       "r.txt"},
      {"a link",
       [&] { fs::create_symlink("victim", named); },
       {"--report", "r.txt"},
       2,
       refused,
       ""},
      {"a link, --force",
       [&] { fs::create_symlink("victim", named); },
       {"--report", "r.txt", "--force"},
       1,
       "",
       "r.txt"},
      {"a dangling link",
       [&] { fs::create_symlink("made-by-following", named); },
       {"--report", "r.txt"},
       2,
       refused,
       ""},
      {"a FIFO",
       [&] { ASSERT_EQ(0, ::mkfifo(named.c_str(), 0644)); },
       {"--report", "r.txt"},
       2,
       refused,
       ""},
      {"a folder",
       [&] { fs::create_directory(named); },
       {"--report", "r.txt"},
       2,
       "dorvex: Result File could not open: r.txt: File exists\n",
       ""},
      {"a folder, --force",
       [&] { fs::create_directory(named); },
       {"--report", "r.txt", "--force"},
       2,
       "dorvex: Result File could not open: r.txt: Is a directory\n",
       ""},
      {"a missing folder",
       [] {},
       {"--report", "missing/r.txt"},
       2,
       "dorvex: Result File could not open: missing/r.txt: No such file or directory\n",
       ""},
      {"a folder's path",
       [&] { fs::create_directory(directory / "sub"); },
       {"--report", "sub/"},
       2,
       "dorvex: Result File could not open: sub/: Is a directory\n",
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(named);
    fs::remove_all(directory / "sub");
    c.plant();
    const fs::file_type before = fs::symlink_status(named).type();
    std::vector<std::string> arguments = {"-q"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {"a.cfg", "b.cfg"});
    Outcome result = run(arguments);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.err, result.err);
    if (*c.path != '\0') {
      EXPECT_EQ(std::string(c.path) + "\n", result.out);
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(directory / c.path)));
      EXPECT_EQ(report, masked(readBytes(directory / c.path)));
    } else {
      EXPECT_EQ("", result.out);
      EXPECT_EQ(before, fs::symlink_status(named).type());
      if (before == fs::file_type::regular) {
        EXPECT_EQ("old", readBytes(named));
      }
    }
    EXPECT_EQ("keep", readBytes(directory / "victim"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(directory / "made-by-following")));
    EXPECT_TRUE(fs::is_empty(directory / "out"));
    EXPECT_EQ(std::vector<std::string>{}, temporaries());
  }
}

// An interrupt in the middle of writing a named report leaves neither a
// part of it nor its temporary file, and a file it was to replace whole.
TEST_F(ScriptingTest, InterruptWhileANamedReportIsWritten) {
  for (bool replacing : {false, true}) {
    SCOPED_TRACE(replacing ? "replacing" : "new");
    fs::remove_all(directory / "r.txt");
    if (replacing) write("r.txt", "old");
    std::vector<std::string> arguments = {"-q", "--report", "r.txt", "a.cfg", "b.cfg"};
    if (replacing) arguments.insert(arguments.begin(), "--force");
    Outcome result =
        run(arguments, withFaults({"DORVEX_SIGNAL_IN_WRITE=" + std::to_string(SIGTERM)}));
    EXPECT_EQ(128 + SIGTERM, result.status) << result.err;
    EXPECT_EQ(replacing, fs::exists(directory / "r.txt"));
    if (replacing) {
      EXPECT_EQ("old", readBytes(directory / "r.txt"));
    }
    EXPECT_EQ(std::vector<std::string>{}, temporaries());
  }
}

// --no-report: no file anywhere; what --print asks for still comes, the
// report itself included.
TEST_F(ScriptingTest, NoReportWritesNoFile) {
  const std::string report = referenceReport("a.cfg", "b.cfg");
  const std::vector<std::string> before = filesIn(directory);
  const struct {
    const char* print;
    std::string out;
  } kCases[] = {
      {"", ""},
      {"details", " ACL=10 source row=1 set row=1\r\n"},
      {"report", report},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.print);
    std::vector<std::string> arguments = {"-q", "--no-report", "a.cfg", "b.cfg"};
    if (*c.print != '\0') arguments.insert(arguments.begin(), {"--print", c.print});
    Outcome result = run(arguments);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(c.out, masked(result.out));
    EXPECT_EQ(before, filesIn(directory));
    EXPECT_TRUE(fs::is_empty(directory / "out"));
  }
}

// Options that contradict each other are refused before anything is read
// or written.
TEST_F(ScriptingTest, OptionsThatDoNotGoTogether) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } kCases[] = {
      {{"--report", "r.txt", "-o", "out", "a.cfg", "b.cfg"}, "excludes"},
      {{"--no-report", "--report", "r.txt", "a.cfg", "b.cfg"}, "excludes"},
      {{"--no-report", "-o", "out", "a.cfg", "b.cfg"}, "excludes"},
      {{"--force", "a.cfg", "b.cfg"}, "--report"},
      {{"--print-raw", "a.cfg", "b.cfg"}, "--print"},
      {{"--format", "xml", "a.cfg", "b.cfg"}, "--format"},
      {{"--format", "json", "--print", "summary", "a.cfg", "b.cfg"},
       "dorvex: --print does not go with --format json, which holds every text\n"},
      {{"--report", "r.txt", "a.cfg", "b.cfg", "c.cfg"},
       "dorvex: --report names the report of one setting config, but 2 are given\n"},
      {{"--report", "", "a.cfg", "b.cfg"}, "--report: names no file"},
  };
  const std::vector<std::string> before = filesIn(directory);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
    Outcome result = run(c.arguments);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
    EXPECT_EQ(before, filesIn(directory));
    EXPECT_TRUE(fs::is_empty(directory / "out"));
  }
}

// --print summary and analysis put a header line before each
// configuration's text, as head(1) does between files; --print-raw keeps
// the texts alone. A control byte in a file name cannot break the lines.
TEST_F(ScriptingTest, HeadersBeforeEachConfigurationsText) {
  write("line\nfeed.cfg", "access-list 10 permit host 10.1.1.1\r\n");
  const struct {
    std::vector<std::string> arguments;
    std::string out;
  } kCases[] = {
      {{"--print", "summary", "a.cfg", "b.cfg"},
       "==> a.cfg <==\n"
       "001:--D-:access-list 10 permit any\r\n"
       "002:----:access-list 11 permit host 10.1.1.1\r\n"
       "\n==> b.cfg <==\n"
       "001:--D-:access-list 10 permit host 10.1.1.1\r\n"},
      {{"--print", "analysis", "a.cfg", "line\nfeed.cfg"},
       "==> a.cfg <==\n"
       "001: access-list 10 permit any OK\r\n"
       "002: access-list 11 permit host 10.1.1.1 OK\r\n"
       "\n==> line\\nfeed.cfg <==\n"
       "001: access-list 10 permit host 10.1.1.1 OK\r\n"},
      {{"--print", "summary", "--print-raw", "a.cfg", "b.cfg"},
       "001:--D-:access-list 10 permit any\r\n"
       "002:----:access-list 11 permit host 10.1.1.1\r\n"
       "001:--D-:access-list 10 permit host 10.1.1.1\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments[1]);
    std::vector<std::string> arguments = {"-q", "-o", "out"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    Outcome result = run(arguments);
    EXPECT_EQ(1, result.status) << result.err;
    const std::size_t pathEnd = result.out.find('\n');
    ASSERT_NE(std::string::npos, pathEnd);
    EXPECT_TRUE(std::regex_match(result.out.substr(0, pathEnd),
                                 std::regex("out/Result[0-9]{12}(-[0-9]+)?\\.txt")));
    EXPECT_EQ(c.out, result.out.substr(pathEnd + 1));
  }
}

// One source config against several setting configs: a line per pair in
// their order, a report per pair equal to the report of a run of that pair
// alone, and the highest exit status of the pairs.
TEST_F(ScriptingTest, ManySettingConfigsAgainstOneSource) {
  const std::string reportB = referenceReport("a.cfg", "b.cfg");
  const std::string reportC = referenceReport("a.cfg", "c.cfg");
  const std::string report = "\treport=(out/Result[0-9]{12}(-[0-9]+)?\\.txt)";
  const std::regex kLines(
      "b\\.cfg\tstatus=1\tpairs=1\trules=1\tE=0\tU=0\tD=1\tO=0" + report + "\n" +
      "c\\.cfg\tstatus=0\tpairs=0\trules=1\tE=0\tU=0\tD=0\tO=0" + report + "\n" +
      "missing\\.cfg\tstatus=2\terror=missing\\.cfg: No such file or directory\n" +
      "b\\.cfg\tstatus=1\tpairs=1\trules=1\tE=0\tU=0\tD=1\tO=0" + report + "\n");
  Outcome result = run("-q -o out a.cfg b.cfg c.cfg missing.cfg b.cfg");
  EXPECT_EQ(2, result.status);
  EXPECT_EQ("dorvex: missing.cfg: No such file or directory\n", result.err);
  std::smatch lines;
  ASSERT_TRUE(std::regex_match(result.out, lines, kLines)) << result.out;
  EXPECT_EQ(reportB, masked(readBytes(directory / lines[1].str())));
  EXPECT_EQ(reportC, masked(readBytes(directory / lines[3].str())));
  EXPECT_EQ(reportB, masked(readBytes(directory / lines[5].str())));
  EXPECT_EQ(3u, filesIn(directory / "out").size());

  const struct {
    const char* arguments;
    int status;
  } kStatuses[] = {{"a.cfg c.cfg c.cfg", 0}, {"a.cfg c.cfg b.cfg c.cfg", 1}};
  for (const auto& c : kStatuses) {
    SCOPED_TRACE(c.arguments);
    Outcome statusRun = run(std::string("-q --no-report ") + c.arguments);
    EXPECT_EQ(c.status, statusRun.status);
    EXPECT_EQ("", statusRun.err);
  }
}

// A source config that cannot be read ends every pair in that trouble, told
// once on stderr and on each pair's line.
TEST_F(ScriptingTest, ManySettingConfigsWithoutTheirSource) {
  fs::remove_all(directory / "out");
  fs::create_directory(directory / "out");
  Outcome result = run("-q -o out missing.cfg b.cfg c.cfg");
  EXPECT_EQ(2, result.status);
  EXPECT_EQ("dorvex: missing.cfg: No such file or directory\n", result.err);
  EXPECT_EQ(
      "b.cfg\tstatus=2\terror=missing.cfg: No such file or directory\n"
      "c.cfg\tstatus=2\terror=missing.cfg: No such file or directory\n",
      result.out);
  EXPECT_TRUE(fs::is_empty(directory / "out"));
}

// --print with several setting configs: each pair's line, then its text.
TEST_F(ScriptingTest, ManySettingConfigsWithTheirTexts) {
  Outcome result = run("-q --no-report --print details a.cfg b.cfg c.cfg");
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(
      "b.cfg\tstatus=1\tpairs=1\trules=1\tE=0\tU=0\tD=1\tO=0\treport=\n"
      " ACL=10 source row=1 set row=1\r\n"
      "c.cfg\tstatus=0\tpairs=0\trules=1\tE=0\tU=0\tD=0\tO=0\treport=\n",
      result.out);
}

// One setting config too big for the memory left (malloc refused above 4
// MB by the fault shim) ends in trouble of its own, named; the pairs
// before and after it are checked as in runs of their own.
TEST_F(ScriptingTest, OneSettingShortOfMemoryLeavesTheOthersChecked) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers keep their own allocator";
  {
    std::ofstream huge(directory / "huge.cfg", std::ios::binary);
    for (int k = 0; k < 150000; ++k)
      huge << "access-list 10 permit host 10.1." << k % 250 << ".1\n";
  }
  const char kTrouble[] = "huge.cfg: not enough memory to read the file";
  const char kLine[] = "b.cfg\tstatus=1\tpairs=1\trules=1\tE=0\tU=0\tD=1\tO=0\treport=\n";
  const Setup shortOfMemory = withFaults({"DORVEX_FAIL_ALLOC_ABOVE=4194304"}, DORVEX_ALLOC_SHIM);
  Outcome text = run({"-q", "--no-report", "a.cfg", "b.cfg", "huge.cfg", "b.cfg"}, shortOfMemory);
  EXPECT_EQ(2, text.status);
  EXPECT_EQ(std::string("dorvex: ") + kTrouble + "\n", text.err);
  EXPECT_EQ(kLine + std::string("huge.cfg\tstatus=2\terror=") + kTrouble + "\n" + kLine, text.out);

  Outcome json =
      run({"-q", "--no-report", "--format", "json", "a.cfg", "huge.cfg", "b.cfg"}, shortOfMemory);
  EXPECT_EQ(2, json.status);
  EXPECT_NE(std::string::npos,
            json.out.find(std::string("\"setting\":{\"file\":\"huge.cfg\"},\"report\":null,"
                                      "\"exit_status\":2,\"error\":\"") +
                          kTrouble + "\"},\n{\"source\":{\"file\":\"a.cfg\",\"line_count\""))
      << json.out;
}

// The output of a finished pair is on stdout at once: an interrupt while
// the next setting config is read (a FIFO that blocks until this test lets
// it go) loses nothing of it.
TEST_F(ScriptingTest, AFinishedPairIsOnStdoutWhenTheRunIsEnded) {
  const struct {
    const char* format;
    const char* finished;  // what stdout must hold of the first pair
  } kCases[] = {
      {"text", "b.cfg\tstatus=1\tpairs=1\trules=1\tE=0\tU=0\tD=1\tO=0\treport=\n"},
      {"json", "\"exit_status\":1}"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.format);
    const fs::path fifo = directory / "fifo.cfg";
    fs::remove(fifo);
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    const fs::path outPath = directory / "out.txt", errPath = directory / "err.txt";
    pid_t child = start({"-q", "--no-report", "--format", c.format, "a.cfg", "b.cfg", "fifo.cfg"},
                        Setup(), outPath, errPath);
    // The driver has finished the first pair once it waits on the FIFO,
    // which a writer that does not wait can then open.
    int writer = -1;
    for (int tries = 0; writer < 0 && tries < 600000; ++tries) {
      writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer < 0) ::usleep(1000);
    }
    ASSERT_GE(writer, 0) << std::strerror(errno);
    ::kill(child, SIGTERM);
    EXPECT_EQ(128 + SIGTERM, finish(child));
    ::close(writer);
    const std::string out = readBytes(outPath);
    EXPECT_NE(std::string::npos, out.find(c.finished)) << out;
  }
}

// A disk that fills up at the second report of a run: the message names
// that report's path, not the first pair's report written before it.
TEST_F(ScriptingTest, DiskFullNamesTheReportBeingWritten) {
  std::string many;
  for (int k = 0; k < 400; ++k)
    many += "access-list 10 permit host 10.1.1." + std::to_string(k % 250) + "\n";
  write("many.cfg", many);
  Setup setup;
  setup.fileSizeLimit = 8192;
  Outcome result = run({"-q", "-o", "out", "a.cfg", "b.cfg", "many.cfg"}, setup);
  EXPECT_EQ(2, result.status);
  std::smatch lines;
  ASSERT_TRUE(std::regex_match(
      result.out, lines,
      std::regex("b\\.cfg\tstatus=1\t.*\treport=(out/Result[0-9]{12}(-[0-9]+)?\\.txt)\n"
                 "many\\.cfg\tstatus=2\terror=Result File could not open: "
                 "(out/Result[0-9]{12}(-[0-9]+)?\\.txt): File too large\n")))
      << result.out;
  EXPECT_NE(lines[1].str(), lines[3].str());
  EXPECT_EQ(std::vector<std::string>{fs::path(lines[1].str()).filename().string()},
            filesIn(directory / "out"));
}

}  // namespace
