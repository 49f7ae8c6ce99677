// The report file of the built console driver among other checks and other
// users: checks running at once into one folder, names planted where the
// driver might write, and interrupts while the report is written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/driver_fixture.h"

namespace {

namespace fs = std::filesystem;
using dorvex::testing_files::Outcome;
using dorvex::testing_files::readBytes;

class ReportFileTest : public dorvex::testing_files::DriverTest {
 protected:
  void SetUp() override {
    write("a.cfg", "access-list 10 permit any\naccess-list 11 permit host 10.1.1.1\n");
    write("b.cfg", "access-list 10 permit host 10.1.1.1\n");
  }

  // The report of a.cfg against b.cfg, its date masked.
  std::string expectedReport() {
    Outcome reference = run({"-q", "-o", ".", "--print", "report", "a.cfg", "b.cfg"});
    EXPECT_EQ(1, reference.status) << reference.err;
    std::string path = reference.out.substr(0, reference.out.find('\n'));
    fs::remove(directory / path);
    return masked(reference.out.substr(path.size() + 1));
  }

  static std::string masked(const std::string& report) {
    return std::regex_replace(report, std::regex("Date=[0-9/]{8}"), "Date=MM/DD/YY");
  }
};

const std::regex kReportName("Result[0-9]{12}(-[0-9]+)?\\.txt");

// Fifty checks let go at once into one folder: fifty whole reports under
// fifty names, each printed by the run that wrote it. Also where the file
// system has no rename that refuses to replace (the driver then links).
TEST_F(ReportFileTest, FiftyChecksAtOnceKeepFiftyReports) {
  constexpr int kRuns = 50;
  const std::string report = expectedReport();
  const struct {
    const char* name;
    std::vector<std::string> faults;
  } kCases[] = {{"rename", {}}, {"link", {"DORVEX_NO_RENAMEAT2=1"}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(directory / "out");
    fs::create_directory(directory / "out");
    fs::create_directory(directory / "runs");
    Setup setup = withFaults(c.faults);
    int gate[2];
    ASSERT_EQ(0, ::pipe(gate));
    std::vector<pid_t> children;
    for (int k = 0; k < kRuns; ++k) {
      const fs::path base = directory / "runs" / std::to_string(k);
      children.push_back(start({"-q", "-o", "out", "a.cfg", "b.cfg"}, setup, base.string() + ".out",
                               base.string() + ".err", gate));
    }
    ::close(gate[0]);
    ::close(gate[1]);
    std::set<std::string> printed;
    int succeeded = 0;
    for (int k = 0; k < kRuns; ++k) {
      const fs::path base = directory / "runs" / std::to_string(k);
      const int status = finish(children[k]);
      const std::string out = readBytes(base.string() + ".out");
      EXPECT_EQ(1, status) << readBytes(base.string() + ".err");
      EXPECT_EQ("", readBytes(base.string() + ".err"));
      if (status != 1 || out.size() < 5) continue;
      ++succeeded;
      const std::string path = out.substr(0, out.size() - 1);
      printed.insert(path);
      EXPECT_EQ(report, masked(readBytes(directory / path))) << path;
    }
    std::vector<std::string> names = filesIn(directory / "out");
    EXPECT_EQ(kRuns, succeeded);
    EXPECT_EQ(static_cast<std::size_t>(kRuns), printed.size());
    EXPECT_EQ(static_cast<std::size_t>(kRuns), names.size());
    for (const std::string& name : names) {
      EXPECT_TRUE(std::regex_match(name, kReportName)) << name;
      EXPECT_EQ(1u, printed.count("out/" + name)) << name;
    }
    fs::remove_all(directory / "runs");
  }
}

// Links, FIFOs and folders planted at every name the driver might take, and
// at the temporary name it once used: none is followed, opened, replaced or
// removed, none makes the driver wait, and the report takes the first free
// name.
TEST_F(ReportFileTest, PlantedNamesAreNeitherFollowedNorReplaced) {
  write("victim", "keep");
  const fs::path out = directory / "out";
  // Every second from now on for longer than any run takes.
  std::vector<std::string> stamps;
  for (std::time_t at = std::time(nullptr) - 1, end = at + 300; at < end; ++at) {
    std::tm local{};
    localtime_r(&at, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%y%m%d%H%M%S", &local);
    stamps.push_back(stamp);
  }
  for (const std::string& stamp : stamps) {
    const std::string name = "Result" + stamp;
    fs::create_symlink("../victim", out / (name + ".txt"));
    fs::create_symlink("../victim", out / (name + ".txt.partial"));
    ASSERT_EQ(0, ::mkfifo((out / (name + "-2.txt")).c_str(), 0644));
    fs::create_directory(out / (name + "-3.txt"));
    fs::create_symlink("../made-by-following", out / (name + "-4.txt"));
  }
  const std::vector<std::string> planted = filesIn(out);

  Outcome result = run({"-q", "-o", "out", "a.cfg", "b.cfg"});
  EXPECT_EQ(1, result.status) << result.err;
  EXPECT_EQ("", result.err);
  std::smatch match;
  const std::string path = result.out.substr(0, result.out.find('\n'));
  ASSERT_TRUE(std::regex_match(path, match, std::regex("out/Result([0-9]{12})-5\\.txt"))) << path;
  EXPECT_NE(stamps.end(), std::find(stamps.begin(), stamps.end(), match[1].str()));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(directory / path)));
  EXPECT_EQ("keep", readBytes(directory / "victim"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(directory / "made-by-following")));
  std::vector<std::string> after = filesIn(out);
  after.erase(std::find(after.begin(), after.end(), path.substr(4)));
  EXPECT_EQ(planted, after);
  for (const std::string& stamp : stamps) {
    const fs::path name = out / ("Result" + stamp);
    ASSERT_TRUE(fs::is_symlink(name.string() + ".txt"));
    ASSERT_TRUE(fs::is_fifo(name.string() + "-2.txt"));
    ASSERT_TRUE(fs::is_directory(fs::symlink_status(name.string() + "-3.txt")));
  }
}

// An interrupt while the report is written (raised in the middle of the
// first write to it): the temporary file goes, and the driver ends as the
// signal ends a process. SIGKILL cannot be handled: the file it leaves is
// hidden and named as a temporary, never as a report.
TEST_F(ReportFileTest, InterruptWhileTheReportIsWritten) {
  const struct {
    int signal;
    const char* left;  // a pattern of the one file left in out/, or ""
  } kCases[] = {
      {SIGINT, ""},
      {SIGTERM, ""},
      {SIGHUP, ""},
      {SIGKILL, "\\.Result[0-9]{12}\\.tmp-[A-Za-z0-9]{6}"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.signal);
    fs::remove_all(directory / "out");
    fs::create_directory(directory / "out");
    Outcome result = run({"-q", "-o", "out", "a.cfg", "b.cfg"},
                         withFaults({"DORVEX_SIGNAL_IN_WRITE=" + std::to_string(c.signal)}));
    EXPECT_EQ(128 + c.signal, result.status) << result.err;
    EXPECT_EQ("", result.out);
    std::vector<std::string> left = filesIn(directory / "out");
    if (*c.left == '\0') {
      EXPECT_TRUE(left.empty()) << left.front();
    } else {
      ASSERT_EQ(1u, left.size());
      EXPECT_TRUE(std::regex_match(left[0], std::regex(c.left))) << left[0];
    }
  }
}

}  // namespace
