// The console driver as a user runs it: the built program, its exit status,
// stdout, stderr and the files it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/driver_fixture.h"

namespace {

namespace fs = std::filesystem;

using dorvex::testing_files::Outcome;

class ConsoleDriverTest : public dorvex::testing_files::DriverTest {
 protected:
  std::vector<std::string> reports() { return filesIn(directory / "out"); }
};

const std::regex kReportName("Result[0-9]{12}\\.txt");

TEST_F(ConsoleDriverTest, ExitStatusSaysWhetherDuplicationsWereFound) {
  write("a.cfg", "access-list 10 permit any\r\n");
  write("b.cfg", "access-list 10 permit host 10.1.1.1\r\n");
  write("c.cfg", "access-list 10 deny any\r\n");
  Outcome found = run("-q -o out a.cfg b.cfg");
  EXPECT_EQ(1, found.status) << found.err;
  Outcome clean = run("-q -o out a.cfg c.cfg");
  EXPECT_EQ(0, clean.status) << clean.err;
  EXPECT_EQ("", clean.err);
}

TEST_F(ConsoleDriverTest, PathOnStdoutProgressOnStderrReportBytesExact) {
  write("a.cfg", "access-list 10 permit any\r\n");
  write("b.cfg", "access-list 10 permit host 10.1.1.1\n");
  Outcome r = run("-o out a.cfg b.cfg");
  ASSERT_EQ(1, r.status) << r.err;
  std::vector<std::string> files = reports();
  ASSERT_EQ(1u, files.size());
  EXPECT_TRUE(std::regex_match(files[0], kReportName)) << files[0];
  EXPECT_EQ("out/" + files[0] + "\n", r.out);
  EXPECT_EQ(
      "<Process> source config check -> setting config check -> duplication check\r\n"
      "source config check....\r\n"
      "setting config check....\r\n"
      "duplication check....\r\n"
      "dorvex: a.cfg: 1 rules read, 0 not read (E), 0 unsupported (U)\n"
      "dorvex: b.cfg: 1 rules read, 0 not read (E), 0 unsupported (U)\n",
      r.err);
  std::string report = dorvex::testing_files::readBytes(directory / "out" / files[0]);
  std::string masked = std::regex_replace(report, std::regex("Date=[0-9/]{8}"), "Date=MM/DD/YY");
  EXPECT_EQ(
      "----------------------------------------\r\n"
      "Dorvex ver 0.8\r\n"
      "Result Report  [Date=MM/DD/YY]\r\n"
      "----------------------------------------\r\n"
      "\r\n"
      "@Source Filename= a.cfg \r\n"
      "001:--D-:access-list 10 permit any\r\r\n"
      "@Setting Filename = b.cfg\r\n"
      "001:--D-:access-list 10 permit host 10.1.1.1\r\n"
      "\r\n"
      "------------ Duplication Details ------\r\n"
      "\r\n"
      " ACL=10 source row=1 set row=1\r\n"
      "\r\n"
      "------------ Report Finished ----------\r\n"
      "\r\n",
      masked);
}

TEST_F(ConsoleDriverTest, PrintWritesTheChosenText) {
  write("a.cfg", "access-list 10 permit any\n");
  write("b.cfg", "access-list 10 permit any\n");
  const struct {
    const char* what;
    const char* expectedAfterPath;
  } kCases[] = {
      {"summary", "001:--D-:access-list 10 permit any\r\n001:--D-:access-list 10 permit any\r\n"},
      {"analysis", "001: access-list 10 permit any OK\r\n001: access-list 10 permit any OK\r\n"},
      {"details", " ACL=10 source row=1 set row=1\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Outcome r = run(std::string("-q -o out --print-raw --print ") + c.what + " a.cfg b.cfg");
    ASSERT_EQ(1, r.status) << r.err;
    EXPECT_EQ(c.expectedAfterPath, r.out.substr(r.out.find('\n') + 1));
  }
  // The within findings follow the duplication details, and stand alone
  // for one configuration.
  write("w.cfg", "access-list 10 permit any\naccess-list 10 permit host 10.0.0.1\n");
  Outcome within = run("-q --no-report --within --print details w.cfg");
  EXPECT_EQ(" ACL=10 config=source row=2 unreachable blocking-rows=1 safe-to-remove=yes\r\n",
            within.out);
  // --cleanup writes the commands that remove it; it needs --within.
  Outcome cleanup = run("-q --no-report --within --cleanup fix.txt w.cfg");
  EXPECT_EQ(1, cleanup.status) << cleanup.err;
  EXPECT_EQ(
      "! w.cfg\n"
      "! access-list 10 loses a line on a device only as a whole: rebuilt without line 2\n"
      "no access-list 10\naccess-list 10 permit any\n",
      dorvex::testing_files::readBytes(directory / "fix.txt"));
  EXPECT_EQ(2, run("-q --no-report --cleanup fix.txt w.cfg").status);
  Outcome report = run("-q -o out --print report a.cfg b.cfg");
  std::string path = report.out.substr(0, report.out.find('\n'));
  EXPECT_EQ(dorvex::testing_files::readBytes(directory / path), report.out.substr(path.size() + 1));
}

// The change review: what the second configuration changes, both ways,
// after the duplication details; exit 1 only when a decision changed.
TEST_F(ConsoleDriverTest, DiffSaysWhatARevisionChanges) {
  const char* const old =
      "ip access-list extended A\n permit tcp host 10.0.0.1 any eq 80\n"
      "ip access-list extended B\n permit udp any any eq 53\n";
  const struct {
    const char* revision;
    const char* changes;
    int status;
  } kCases[] = {
      // Re-spelled, the other list unchanged: nothing.
      {"ip access-list extended A\n permit tcp 10.0.0.1 0.0.0.0 any eq www\n"
       "ip access-list extended B\n permit udp any any eq domain\n",
       "", 0},
      {"ip access-list extended A\n deny tcp host 10.0.0.1 any eq 80\n"
       "ip access-list extended B\n permit udp any any eq 53\n",
       " ACL=A old-row=2 new-row=2 newly denied witness=tcp 10.0.0.1 port 1024 > "
       "203.0.113.1 port 80\r\n",
       1},
      {"ip access-list extended A\n permit tcp host 10.0.0.1 any eq 80\n",
       " ACL=B list removed lines=1\r\n", 1},
      // An unread deny before the implicit deny changes no decision.
      {"ip access-list extended A\n permit tcp host 10.0.0.1 any eq 80\n deny tcp any any frob\n"
       "ip access-list extended B\n permit udp any any eq 53\n",
       "", 0},
      {"ip access-list extended A\n permit tcp host 10.0.0.1 any eq 80\n permit tcp any any frob\n"
       "ip access-list extended B\n permit udp any any eq 53\n",
       " ACL=A undecided reason=new.cfg:3 option not understood: frob\r\n", 1},
  };
  write("old.cfg", old);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.revision);
    write("new.cfg", c.revision);
    Outcome r = run("-q --no-report --diff --print details old.cfg new.cfg");
    EXPECT_EQ(c.status, r.status) << r.err;
    std::string changes;
    std::size_t at = 0;
    for (std::size_t end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = r.out.substr(at, end + 1 - at);
      if (line.find("source-row=") == std::string::npos) changes += line;
    }
    EXPECT_EQ(c.changes, changes);
  }
}

TEST_F(ConsoleDriverTest, TroubleExitsWithTwoAndLeavesNoReport) {
  write("a.cfg", "access-list 10 permit any\n");
  write("empty.cfg", "");
  write("nul.cfg", std::string("\0access-list 10 permit any\n", 27));
  write("plain-file", "x");
  fs::create_directories(directory / "dir.cfg");
  const struct {
    const char* arguments;
    const char* message;
  } kCases[] = {
      {"-o out missing.cfg a.cfg", "dorvex: missing.cfg: No such file or directory\n"},
      {"-o out a.cfg missing.cfg", "dorvex: missing.cfg: No such file or directory\n"},
      {"-o out dir.cfg a.cfg", "dorvex: dir.cfg: is a directory\n"},
      {"-o out a.cfg empty.cfg", "dorvex: empty.cfg: no configuration text (the file is empty)\n"},
      {"-o out nul.cfg a.cfg",
       "dorvex: nul.cfg: no configuration text (the file is empty before its first NUL byte)\n"},
      {"-o nowhere a.cfg a.cfg", "dorvex: Result File could not open: nowhere/Result"},
      {"-o plain-file a.cfg a.cfg", "dorvex: Result File could not open: plain-file/Result"},
      {"-o out --print nonsense a.cfg a.cfg", "--print"},
      {"-o out a.cfg", "SETTING"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arguments);
    Outcome r = run(std::string("-q ") + c.arguments);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
    EXPECT_TRUE(reports().empty());
  }
}

TEST_F(ConsoleDriverTest, TextAfterANulByteIsReportedAndNotChecked) {
  write("a.cfg", std::string("access-list 10 permit any\n\0access-list 11 permit any\n", 53));
  Outcome r = run("-q -o out --print analysis a.cfg a.cfg");
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos,
            r.err.find("dorvex: a.cfg: NUL byte at offset 26; the text after it is not checked\n"));
  EXPECT_EQ(std::string::npos, r.out.find("access-list 11"));
}

// A running configuration and its revision in both syntaxes and covers:
// what each reads, reports and exits with.
TEST_F(ConsoleDriverTest, SyntaxCoverAndWhatWasRead) {
  write("router.cfg",
        "hostname r1\n"
        "ip access-list extended EDGE\n"
        " remark web\n"
        " 10 permit tcp 10.0.0.0/8 any eq 443\n"
        " 20 permit icmp any any echo-reply\n");
  write("revision.cfg",
        "hostname r1\n"
        "ip access-list extended EDGE\n"
        " 10 permit tcp 10.1.0.0/16 any eq 443\n"
        " 20 permit icmp any any time-exceeded\n"
        "ip access-list logging interval 10\n");
  const struct {
    const char* options;
    int status;
    const char* readLines;
    bool modesInHeader;
  } kCases[] = {
      {"", 0,
       "dorvex: router.cfg: 0 rules read, 2 not read (E), 0 unsupported (U)\n"
       "dorvex: revision.cfg: 0 rules read, 2 not read (E), 1 unsupported (U)\n",
       false},
      {"--syntax full", 1,
       "dorvex: router.cfg: 2 rules read, 0 not read (E), 0 unsupported (U)\n"
       "dorvex: revision.cfg: 2 rules read, 0 not read (E), 1 unsupported (U)\n",
       true},
      {"--syntax full --cover exact", 1, "", true},
      {"--syntax full --cover exact --fail-on-unread", 3, "", true},
      {"--syntax classic --cover classic --fail-on-unread", 3, "", false},
      {"--cover exact", 0, "", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.options);
    Outcome r = run(std::string("-o out --print report ") + c.options + " router.cfg revision.cfg");
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.readLines)) << r.err;
    EXPECT_EQ(c.status == 3,
              r.err.find("dorvex: access-list lines were not read\n") != std::string::npos)
        << r.err;
    EXPECT_EQ(c.modesInHeader, r.out.find("]\r\nCheck Modes  [Syntax=") != std::string::npos);
    Outcome quiet = run(std::string("-q -o out ") + c.options + " router.cfg revision.cfg");
    EXPECT_EQ(c.status, quiet.status);
    EXPECT_EQ(std::string(c.status == 3 ? "dorvex: access-list lines were not read\n" : ""),
              quiet.err);
  }
  // The exact cover does not take time-exceeded for echo-reply; the classic
  // cover does, and both find the narrower prefix.
  Outcome classic = run("-q -o out --print details --syntax full router.cfg revision.cfg");
  EXPECT_EQ(" ACL=EDGE source-row=4 setting-row=3 \r\n ACL=EDGE source-row=5 setting-row=4 \r\n",
            classic.out.substr(classic.out.find('\n') + 1));
  Outcome exact =
      run("-q -o out --print details --syntax full --cover exact router.cfg revision.cfg");
  EXPECT_EQ(" ACL=EDGE source-row=4 setting-row=3 \r\n",
            exact.out.substr(exact.out.find('\n') + 1));
  Outcome report =
      run("-q -o out --print report --syntax full --cover exact router.cfg revision.cfg");
  EXPECT_NE(std::string::npos,
            report.out.find("]\r\nCheck Modes  [Syntax=full] [Cover=exact]\r\n-----"));
  const std::size_t written = reports().size();
  const std::pair<const char*, const char*> kWrong[] = {
      {"--syntax extended", "--syntax: extended not in {classic,full}"},
      {"--cover strict", "--cover: strict not in {classic,exact,list}"},
      {"--cover list", "dorvex: --cover list reads lists as running configurations hold them"}};
  for (const auto& [wrong, message] : kWrong) {
    SCOPED_TRACE(wrong);
    Outcome r = run(std::string("-q -o out ") + wrong + " router.cfg revision.cfg");
    EXPECT_EQ(2, r.status);
    EXPECT_EQ(0u, r.err.find(message)) << r.err;
    EXPECT_EQ(written, reports().size());
  }
}

// Standard output that takes nothing (a full disk): whatever the driver
// prints, the path alone or a text after it, the failure is trouble, said on
// stderr, and not success.
TEST_F(ConsoleDriverTest, AFailedWriteToStdoutIsTrouble) {
  write("a.cfg", "access-list 10 permit any\n");
  Setup setup;
  setup.stdoutPath = "/dev/full";
  for (const char* print : {"", "summary", "details", "report"}) {
    SCOPED_TRACE(print);
    std::vector<std::string> arguments = {"-q", "-o", "out", "a.cfg", "a.cfg"};
    if (*print != '\0') arguments.insert(arguments.begin(), {"--print", print});
    Outcome r = run(arguments, setup);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("dorvex: standard output: No space left on device\n", r.err);
  }
}

TEST_F(ConsoleDriverTest, HelpAndVersion) {
  Outcome help = run("--help");
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.out.find("--output-dir"));
  EXPECT_NE(std::string::npos, help.out.find("--print"));
  EXPECT_NE(std::string::npos, help.out.find("3 (with --fail-on-unread)"));
  Outcome version = run("--version");
  EXPECT_EQ(0, version.status);
  EXPECT_EQ(0u, version.out.find("dorvex "));
}

// --print findings: one line a finding, FILE:LINE: KIND: LIST: TEXT, by
// list, then the counts per kind.
TEST_F(ConsoleDriverTest, FindingsViewLinesAFindingEach) {
  write("old.cfg",
        "ip access-list extended EDGE\n deny tcp any host 192.0.2.10 eq 23\n"
        " permit tcp any host 192.0.2.10\n");
  write("new.cfg",
        "ip access-list extended EDGE\n permit tcp any host 192.0.2.10 eq 23\n"
        " deny udp any any\n permit tcpp any any\n");
  write("hid.cfg",
        "ip access-list extended EDGE\n permit tcp any any\n permit tcp any any eq 80\n"
        "ip access-list extended M\n permit ip any any\n");
  const struct {
    const char* options;
    const char* findings;
  } kCases[] = {
      {"--within old.cfg", "no findings\n"},
      {"--syntax full --cover list old.cfg new.cfg",
       "new.cfg:2: not-covered: EDGE: permit tcp any host 192.0.2.10 eq 23: tcp 198.51.100.1 "
       "port 1024 > 192.0.2.10 port 23 denied by old.cfg:2\n"
       "new.cfg:4: not read: EDGE: permit tcpp any any\n1 not-covered, 1 not read\n"},
      {"--syntax full --cover list old.cfg hid.cfg",
       "hid.cfg:2: not-covered: EDGE: permit tcp any any: tcp 198.51.100.1 port 1024 > "
       "192.0.2.10 port 23 denied by old.cfg:2\n"
       "hid.cfg:3: unreachable: EDGE: permit tcp any any eq 80: no packet reaches it in its own "
       "list\nhid.cfg:5: not-covered: M: permit ip any any: the source config has no list of its "
       "name\n2 not-covered, 1 unreachable\n"},
      {"--within new.cfg",
       // The line not read may permit what the two before it decide.
       "new.cfg:2: undecided: EDGE: permit tcp any host 192.0.2.10 eq 23: new.cfg:4 not read\n"
       "new.cfg:3: undecided: EDGE: deny udp any any: new.cfg:4 not read\n"
       "new.cfg:4: not read: EDGE: permit tcpp any any\n2 undecided, 1 not read\n"},
      {"--diff old.cfg new.cfg",
       "new.cfg: undecided: EDGE: new.cfg:4 not read\n"
       "new.cfg:2: changed: EDGE: permit tcp any host 192.0.2.10 eq 23: newly permitted "
       "(old.cfg:2), e.g. tcp 198.51.100.1 port 1024 > 192.0.2.10 port 23\n"
       "new.cfg:4: not read: EDGE: permit tcpp any any\n"
       "1 undecided, 1 changed, 1 not read\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.options);
    Outcome r = run(std::string("-q --no-report --print findings ") + c.options);
    EXPECT_NE(2, r.status) << r.err;
    EXPECT_EQ(c.findings, r.out);
  }
}

// The exit status of each mode, with something to report and without: the
// classic and exact covers say whether duplications were found, the
// order-aware modes whether something needs a look.
TEST_F(ConsoleDriverTest, ExitStatusOfEachMode) {
  const char* const a101 = "access-list 101 permit tcp any any eq 80\n";
  write("a.cfg", a101);
  write("c.cfg", "access-list 101 permit tcp any any eq 443\n");
  write("w.cfg", "access-list 101 permit tcp any any\naccess-list 101 permit tcp any any eq 80\n");
  write("u.cfg", "interface e0\n ip access-group 101 in\n" + std::string(a101));
  write("n.cfg", "interface e0\n ip access-group 101 in\naccess-list 102 permit ip any any\n");
  const struct {
    const char* options;
    int status;
  } kCases[] = {
      {"a.cfg a.cfg", 1},  // a duplication
      {"a.cfg c.cfg", 0},
      {"--syntax full --cover exact a.cfg a.cfg", 1},
      {"--syntax full --cover exact a.cfg c.cfg", 0},
      {"--syntax full --cover list a.cfg a.cfg", 0},  // covered: nothing to look at
      {"--syntax full --cover list a.cfg c.cfg", 1},  // not covered
      {"--within a.cfg", 0},
      {"--within w.cfg", 1},  // a line hidden
      {"--within u.cfg", 0},  // the list used
      {"--within n.cfg", 1},  // a list unused, a use of a list not defined
      {"--diff a.cfg a.cfg", 0},
      {"--diff a.cfg c.cfg", 1},  // a decision changed
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.options);
    Outcome r = run(std::string("-q --no-report ") + c.options);
    EXPECT_EQ(c.status, r.status) << r.err;
  }
}

}  // namespace
