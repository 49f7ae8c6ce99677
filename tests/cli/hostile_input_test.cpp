// The console driver on the inputs users really feed it by mistake: missing
// files, directories, binary files, enormous files, odd encodings and line
// ends, and output places that cannot take the report. Each case runs the
// built program in a fresh directory and expects the exact outcome: the
// exit status, stdout, stderr and the files left in the output directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/driver_fixture.h"

namespace {

namespace fs = std::filesystem;
using dorvex::testing_files::kSanitized;
using dorvex::testing_files::Outcome;

// The big inputs shrink tenfold under the sanitizers, whose driver is many
// times slower; the shapes of the inputs stay the same.
constexpr int kScaleDown = kSanitized ? 10 : 1;

// The bytes of a literal, embedded NUL bytes included.
template <std::size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// A report with its date masked.
std::string masked(const std::string& report) {
  return std::regex_replace(report, std::regex("Date=[0-9/]{8}"), "Date=MM/DD/YY");
}

std::string padded(long long number) {
  char text[24];
  std::snprintf(text, sizeof text, "%03lld", number);
  return text;
}

std::string examplePath(const char* name) {
  return std::string(DORVEX_TEST_DATA) + "/../examples/" + name;
}

// The source summary as the report carries it, between its heading and the
// setting's heading.
std::string sourceSummaryOf(const std::string& report, const std::string& sourceName) {
  std::string head = "@Source Filename= " + sourceName + " \r\n";
  std::size_t start = report.find(head);
  std::size_t end = report.find("\r\n@Setting Filename = ");
  if (start == std::string::npos || end == std::string::npos || end < start) return "<no summary>";
  start += head.size();
  return report.substr(start, end - start);
}

// What the summary listing must show for `text` when every line carries the
// same marks: each line whole, numbered, lines joined by CR LF.
std::string uniformSummary(const std::string& text, const std::string& marks) {
  std::string summary;
  long long lineNo = 0;
  std::size_t start = 0;
  while (start < text.size() || lineNo == 0) {
    std::size_t lf = text.find('\n', start);
    std::size_t end = lf == std::string::npos ? text.size() : lf;
    if (lineNo > 0) summary += "\r\n";
    summary += padded(++lineNo) + ":" + marks + ":" + text.substr(start, end - start);
    if (lf == std::string::npos) break;
    start = lf + 1;
  }
  return summary;
}

class HostileInputTest : public dorvex::testing_files::DriverTest {
 protected:
  // A check with the progress silenced and the report in out/.
  Outcome check(const std::string& source, const std::string& setting,
                const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"-q", "-o", "out"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(source);
    arguments.push_back(setting);
    return run(arguments);
  }
};

const char kRule[] = "access-list 10 permit host 1.1.1.1\n";

// Inputs that cannot be checked at all: one line on stderr naming the file
// and the reason, exit 2, nothing on stdout and no report.
TEST_F(HostileInputTest, UnreadableInputStopsTheCheck) {
  enum class Kind { none, directory, file };
  struct Case {
    const char* name;
    Kind kind;
    std::string content;
    const char* err;
  };
  const Case kCases[] = {
      {"missing.cfg", Kind::none, "", "dorvex: missing.cfg: No such file or directory\n"},
      {"adir", Kind::directory, "", "dorvex: adir: is a directory\n"},
      {"empty.cfg", Kind::file, "",
       "dorvex: empty.cfg: no configuration text (the file is empty)\n"},
      {"nulfirst.cfg", Kind::file, bytes("\0access-list 10 permit any\n"),
       "dorvex: nulfirst.cfg: no configuration text (the file is empty before its first NUL "
       "byte)\n"},
      {"markonly.cfg", Kind::file, "\xEF\xBB\xBF",
       "dorvex: markonly.cfg: no configuration text (the file is empty)\n"},
  };
  write("good.cfg", kRule);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.kind == Kind::directory) fs::create_directory(directory / c.name);
    if (c.kind == Kind::file) write(c.name, c.content);
    for (bool asSource : {true, false}) {
      Outcome result = asSource ? check(c.name, "good.cfg") : check("good.cfg", c.name);
      EXPECT_EQ(2, result.status);
      EXPECT_EQ("", result.out);
      EXPECT_EQ(c.err, result.err);
      EXPECT_TRUE(filesIn(directory / "out").empty());
    }
  }
}

// The text ends at its first NUL byte: the driver says where, in file
// offsets (a byte-order mark counts), and checks the text before it.
TEST_F(HostileInputTest, NulBytesCutTheTextWithAWarning) {
  write("nul.cfg", bytes("access-list 10 permit any\r\n\0access-list 10 deny any\n\0\0x"));
  write("marked.cfg", bytes("\xEF\xBB\xBF"
                            "access-list 10 permit any\n\0tail"));
  write("setting.cfg", kRule);
  const char* kSummary = "001:--D-:access-list 10 permit any";
  Outcome result = check("nul.cfg", "setting.cfg");
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("dorvex: nul.cfg: NUL byte at offset 27; the text after it is not checked\n",
            result.err);
  EXPECT_EQ(std::string(kSummary) + "\r", sourceSummaryOf(onlyReport(), "nul.cfg"));

  fs::remove_all(directory / "out");
  fs::create_directory(directory / "out");
  result = check("marked.cfg", "setting.cfg");
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("dorvex: marked.cfg: NUL byte at offset 29; the text after it is not checked\n",
            result.err);
  EXPECT_EQ(kSummary, sourceSummaryOf(onlyReport(), "marked.cfg"));
}

// Random bytes are checked like any text: every line is "not acl", nothing
// is lost or altered on its way to the report. CR bytes are left out so that
// the outcome does not depend on where the generator puts them.
TEST_F(HostileInputTest, RandomBinaryBytesAreCheckedAsText) {
  std::mt19937 generator(20261207);
  std::string withNul, withoutNul;
  for (int k = 0; k < 65536; ++k) {
    auto byte = static_cast<char>(generator() & 0xFF);
    if (byte == '\r') continue;
    withNul += byte;
    if (byte != '\0') withoutNul += byte;
  }
  write("random.bin", withNul);
  write("random.txt", withoutNul);
  write("setting.cfg", kRule);
  std::size_t nul = withNul.find('\0');
  ASSERT_NE(std::string::npos, nul);

  Outcome result = check("random.bin", "setting.cfg");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("dorvex: random.bin: NUL byte at offset " + std::to_string(nul) +
                "; the text after it is not checked\n",
            result.err);
  EXPECT_EQ(uniformSummary(withNul.substr(0, nul), "E---"),
            sourceSummaryOf(onlyReport(), "random.bin"));

  fs::remove_all(directory / "out");
  fs::create_directory(directory / "out");
  result = check("random.txt", "setting.cfg");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(uniformSummary(withoutNul, "E---"), sourceSummaryOf(onlyReport(), "random.txt"));
}

// A configuration of 50 MB (5 MB under the sanitizers): the examples' source
// config over and over. Each copy finds the duplications of one copy, and
// the numbering runs to the last line.
TEST_F(HostileInputTest, FiftyMegabyteConfiguration) {
  std::string source = dorvex::testing_files::readBytes(examplePath("source.cfg"));
  std::string setting = examplePath("setting.cfg");
  ASSERT_FALSE(source.empty());
  ASSERT_EQ('\n', source.back());
  Outcome once = check(examplePath("source.cfg"), setting, {"--print", "details"});
  ASSERT_EQ(1, once.status) << once.err;
  std::string onceReport = onlyReport();
  fs::remove_all(directory / "out");
  fs::create_directory(directory / "out");

  const std::size_t copies = (50u << 20) / kScaleDown / source.size() + 1;
  {
    std::ofstream big(directory / "big.cfg", std::ios::binary);
    for (std::size_t k = 0; k < copies; ++k) big << source;
  }
  Outcome result = check("big.cfg", setting, {"--print", "details"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.err);
  auto detailLines = [](const std::string& out) {
    return std::count(out.begin(), out.end(), '\n') - 1;
  };
  EXPECT_EQ(static_cast<long long>(copies) * detailLines(once.out), detailLines(result.out));

  // The last line of the summary: the last line of one copy, numbered on.
  std::string onceSummary = sourceSummaryOf(onceReport, "source.cfg");
  std::string lastOnce = onceSummary.substr(onceSummary.rfind("\r\n") + 2);
  long long linesPerCopy = std::count(source.begin(), source.end(), '\n');
  std::string lastBig =
      padded(linesPerCopy * static_cast<long long>(copies)) + lastOnce.substr(lastOnce.find(':'));
  std::string summary = sourceSummaryOf(onlyReport(), "big.cfg");
  EXPECT_EQ(lastBig, summary.substr(summary.rfind("\r\n") + 2));
}

// One line of 10 MB between two rules: it is rejected, shown whole in the
// report, and the lines after it keep their numbers and marks.
TEST_F(HostileInputTest, OneLineOfTenMegabytes) {
  std::string longLine = "! " + std::string(10u << 20, 'x');
  write("long.cfg", "access-list 10 permit host 10.1.1.5\n" + longLine +
                        "\naccess-list 10 permit 10.2.0.0 0.0.255.255\n");
  write("setting.cfg",
        "access-list 10 permit host 10.1.1.5\naccess-list 10 permit host 10.2.3.4\n");
  Outcome result = check("long.cfg", "setting.cfg", {"--print", "details"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.err);
  std::string report = onlyReport();
  EXPECT_EQ(" ACL=10 source row=1 set row=1\r\n ACL=10 source row=3 set row=2\r\n",
            result.out.substr(result.out.find('\n') + 1));
  EXPECT_EQ("001:--D-:access-list 10 permit host 10.1.1.5\r\n002:E---:" + longLine +
                "\r\n003:--D-:access-list 10 permit 10.2.0.0 0.0.255.255",
            sourceSummaryOf(report, "long.cfg"));

  result = check("long.cfg", "setting.cfg", {"--print", "analysis"});
  EXPECT_EQ(1, result.status);
  EXPECT_NE(std::string::npos,
            result.out.find(
                "\n001: access-list 10 permit host 10.1.1.5 OK\r\n002: Err:\"many parameters!\"\r\n"
                "003: access-list 10 permit 10.2.0.0 0.0.255.255 OK\r\n"));
}

// Object groups built to blow up: deep nesting, a group holding the next
// one twice at every level, a huge unread word used by many rules. Each run
// ends normally, in bounded memory, with each rule's annotation short; a
// run over many settings keeps its JSON whole.
TEST_F(HostileInputTest, ObjectGroupsThatWouldBlowUp) {
  struct Case {
    const char* name;
    std::string text;
    const char* annotation;  // in the annotation of the last line
    int status;
  };
  std::string nest, doubled, amplified;
  const int depth = 30000;
  for (int i = 0; i < depth; ++i) {
    nest += "object-group network G" + std::to_string(i) + "\n group-object G" +
            std::to_string(i + 1) + "\n";
  }
  nest += "object-group network G" + std::to_string(depth) + "\n host 10.0.0.1\n" +
          "access-list OUT extended permit ip object-group G0 any\n";
  for (int i = 0; i < 24; ++i) {
    const std::string next = "E" + std::to_string(i + 1);
    doubled += "object-group network E" + std::to_string(i) + "\n group-object " + next +
               "\n group-object " + next + "\n";
  }
  doubled +=
      "object-group network E24\n host 10.0.0.1\n"
      "access-list OUT extended permit ip object-group E0 any\n";
  amplified = "object-group network BIG\n " + std::string(1u << 20, 'x') + " 192.0.2.1\n";
  for (int i = 0; i < 3000; ++i) {
    amplified += "access-list OUT extended permit ip object-group BIG host 10.0." +
                 std::to_string(i / 256) + "." + std::to_string(i % 256) + "\n";
  }
  const Case kCases[] = {
      {"nest.cfg", nest, "object-group G0 any OK", 1},
      {"doubled.cfg", doubled, "object-group E0 any OK", 1},
      {"amplified.cfg", amplified,
       "Unsupported:\"object-group BIG not read: xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx... "
       "(1048576 bytes)\"",
       0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    write(c.name, c.text);
    Outcome result =
        run({"-q", "--syntax", "full", "--no-report", "--print", "analysis", c.name, c.name});
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ("", result.err);
    const std::size_t last = result.out.rfind("\r\n", result.out.size() - 3);
    if (last == std::string::npos) {  // no output: the other cases are still run
      ADD_FAILURE() << "status " << result.status;
      continue;
    }
    EXPECT_NE(std::string::npos, result.out.find(c.annotation, last)) << result.out.substr(last);
    // Both texts with short annotations: nothing is repeated per rule.
    EXPECT_LT(result.out.size(), 3 * c.text.size());
    if (!kSanitized) {
      EXPECT_LT(result.maxResidentKb, 256 * 1024);
    }
  }
  Outcome many = run({"-q", "--syntax", "full", "--no-report", "--format", "json", "doubled.cfg",
                      "nest.cfg", "amplified.cfg", "doubled.cfg"});
  EXPECT_EQ(1, many.status);
  // One whole document, one check per setting and the run's status.
  ASSERT_GE(many.out.size(), 2u);
  EXPECT_EQ("}\n", many.out.substr(many.out.size() - 2));
  std::size_t checks = 0;
  for (std::size_t at = 0; (at = many.out.find("\"exit_status\"", at)) != std::string::npos; ++at) {
    ++checks;
  }
  EXPECT_EQ(4u, checks);
}

// A million lines (100,000 under the sanitizers): seven-digit line numbers,
// and the last line is compared like the first.
TEST_F(HostileInputTest, AMillionLines) {
  const int lines = 1000000 / kScaleDown;
  auto hostRule = [](int k) {
    return "access-list 10 permit host 10." + std::to_string((k >> 16) & 255) + "." +
           std::to_string((k >> 8) & 255) + "." + std::to_string(k & 255);
  };
  {
    std::ofstream big(directory / "million.cfg", std::ios::binary);
    for (int k = 0; k < lines; ++k) big << hostRule(k) << '\n';
  }
  write("setting.cfg", hostRule(7) + "\n" + hostRule(lines - 1) + "\n");
  Outcome result = check("million.cfg", "setting.cfg", {"--print", "details"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(" ACL=10 source row=8 set row=1\r\n ACL=10 source row=" + std::to_string(lines) +
                " set row=2\r\n",
            result.out.substr(result.out.find('\n') + 1));
  std::string summary = sourceSummaryOf(onlyReport(), "million.cfg");
  std::string tail = "\r\n" + padded(lines - 1) + ":----:" + hostRule(lines - 2) + "\r\n" +
                     padded(lines) + ":--D-:" + hostRule(lines - 1);
  ASSERT_GE(summary.size(), tail.size());
  EXPECT_EQ(tail, summary.substr(summary.size() - tail.size()));
}

// Shift-JIS double-byte characters whose second byte is 0x5C (backslash) or
// 0x7C (vertical bar), in a comment, in a list name and inside words: the
// bytes pass into the annotation and the report unchanged.
TEST_F(HostileInputTest, ShiftJisSecondBytesPassUnchanged) {
  const std::string name = "\x83\x5C\x83\x7C";  // two katakana
  write("sjis.cfg",
        "! \x95\x5C\x8E\xA6 comment \x83\x7C\x81\x5C\n"
        "ip access-list extended " +
            name +
            "\n"
            " permit tcp any any eq www\n"
            "hostname r\x95\x5Cx\x83\x7Cy\n");
  write("setting.cfg",
        "ip access-list extended " + name + "\n permit tcp any host 10.1.1.1 eq www\n");
  Outcome result = check("sjis.cfg", "setting.cfg", {"--print", "analysis"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.err);
  EXPECT_NE(std::string::npos,
            result.out.find("002: ip access-list extended " + name + "(10000) OK\r\n"));
  std::string report = onlyReport();
  std::size_t from = report.find("@Source Filename");
  ASSERT_NE(std::string::npos, from);
  EXPECT_EQ(
      "@Source Filename= sjis.cfg \r\n"
      "001:E---:! \x95\x5C\x8E\xA6 comment \x83\x7C\x81\x5C\r\n"
      "002:----:ip access-list extended " +
          name +
          "\r\n"
          "003:--D-: permit tcp any any eq www\r\n"
          "004:E---:hostname r\x95\x5Cx\x83\x7Cy\r\n"
          "@Setting Filename = setting.cfg\r\n"
          "001:----:ip access-list extended " +
          name +
          "\r\n"
          "002:--D-: permit tcp any host 10.1.1.1 eq www\r\n\r\n"
          "------------ Duplication Details ------\r\n\r\n"
          " ACL=" +
          name +
          " source-row=3 setting-row=2 \r\n\r\n"
          "------------ Report Finished ----------\r\n\r\n",
      report.substr(from));
}

// A UTF-8 byte-order mark is skipped when the file is read: the first line
// parses as written, and the mark reaches neither annotation nor report.
TEST_F(HostileInputTest, ByteOrderMarkIsSkipped) {
  write("bom.cfg",
        "\xEF\xBB\xBF"
        "access-list 10 permit any\r\n");
  write("setting.cfg", kRule);
  Outcome result = check("bom.cfg", "setting.cfg", {"--print", "analysis", "--print-raw"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.err);
  std::string path = result.out.substr(0, result.out.find('\n') + 1);
  EXPECT_EQ(
      path + "001: access-list 10 permit any OK\r\n001: access-list 10 permit host 1.1.1.1 OK\r\n",
      result.out);
  EXPECT_EQ("001:--D-:access-list 10 permit any\r", sourceSummaryOf(onlyReport(), "bom.cfg"));
}

// Lines that end in a bare CR: lines end at LF only, so the text is one
// line; the driver says so, and the check rejects that line as usual. It
// says so too when such line ends outnumber the LFs.
TEST_F(HostileInputTest, CrOnlyLineEndsMakeOneLineWithAWarning) {
  write("cr.cfg", "access-list 10 permit any\raccess-list 10 permit host 1.1.1.1\r");
  write("crlf.cfg", "access-list 10 permit any\r\naccess-list 10 permit host 1.1.1.1\r\n");
  write("setting.cfg", kRule);
  Outcome result = check("cr.cfg", "setting.cfg", {"--print", "analysis", "--print-raw"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("dorvex: cr.cfg: lines end in CR only; the whole text is checked as one line\n",
            result.err);
  EXPECT_NE(
      std::string::npos,
      result.out.find(
          "\n001: access-list 10 permit any Err:\"many parameter!(4)=access-list\"\r\n001: "));
  EXPECT_EQ("001:E---:access-list 10 permit any\raccess-list 10 permit host 1.1.1.1\r",
            sourceSummaryOf(onlyReport(), "cr.cfg"));

  // Bare CR line ends that outnumber the LFs draw a warning too: three
  // rules ended by CR and one final LF make one line.
  write(
      "mostlycr.cfg",
      "access-list 10 permit any\raccess-list 10 permit host 1.1.1.1\raccess-list 11 deny any\r\n");
  result = check("mostlycr.cfg", "setting.cfg");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(
      "dorvex: mostlycr.cfg: most lines end in CR only; lines end at LF only, so the text between "
      "two "
      "LFs is checked as one line\n",
      result.err);

  // CR LF line ends and a single line ended by CR draw no warning.
  write("one.cfg", "access-list 10 permit any\r");
  write("fewcr.cfg",
        "access-list 10 permit any\r! note\naccess-list 10 permit host 1.1.1.1\r\n!\n");
  for (const char* name : {"crlf.cfg", "one.cfg", "fewcr.cfg"}) {
    SCOPED_TRACE(name);
    result = check(name, "setting.cfg");
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.err);
  }
}

// The report cannot be put where the user asked: the check runs, then says
// "Result File could not open" with the path and the reason; exit 2, nothing
// on stdout, and nothing left behind, not even a part of the report.
TEST_F(HostileInputTest, ReportPlaceThatCannotTakeTheReport) {
  write("source.cfg", kRule);
  write("setting.cfg", kRule);
  write("afile", "keep");
  struct Case {
    const char* outputDirectory;
    const char* reason;
  };
  const Case kCases[] = {{"nodir", "No such file or directory"}, {"afile", "Not a directory"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.outputDirectory);
    Outcome result = run({"-q", "-o", c.outputDirectory, "source.cfg", "setting.cfg"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_TRUE(std::regex_match(
        result.err, std::regex(std::string("dorvex: Result File could not open: ") +
                               c.outputDirectory + "/Result[0-9]{12}\\.txt: " + c.reason + "\n")))
        << result.err;
    EXPECT_EQ((std::vector<std::string>{"afile", "out", "setting.cfg", "source.cfg"}),
              filesIn(directory));
    EXPECT_EQ("keep", dorvex::testing_files::readBytes(directory / "afile"));
  }
}

// The disk fills up while the report is written (a file-size limit of 1 KiB
// stands in for it): the failure is reported and no partial report remains.
TEST_F(HostileInputTest, DiskFullWhileTheReportIsWritten) {
  // The report of the examples is a few KiB.
  Outcome result = run({"-o", "out", examplePath("source.cfg"), examplePath("setting.cfg")}, 1024);
  EXPECT_EQ(2, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_TRUE(std::regex_match(
      result.err, std::regex("<Process> source config check -> setting config check -> "
                             "duplication check\r\nsource config check....\r\nsetting config "
                             "check....\r\nduplication check....\r\ndorvex: Result File could "
                             "not open: out/Result[0-9]{12}\\.txt: File too large\n")))
      << result.err;
  EXPECT_TRUE(filesIn(directory / "out").empty());
}

// The file-size limit of a shell's ulimit -f, its signal left as the shell
// leaves it: the driver is not killed by SIGXFSZ but says why the report
// was not written, and leaves nothing, its temporary file included.
TEST_F(HostileInputTest, FileSizeLimitIsToldLikeAFullDisk) {
  const struct {
    std::vector<std::string> options;
    const char* path;  // the report's path in the message
  } kCases[] = {{{"-o", "out"}, "out/Result[0-9]{12}\\.txt"}, {{"--report", "r.txt"}, "r.txt"}};
  Setup setup;
  setup.fileSizeLimit = 1024;
  setup.fileSizeSignal = true;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    std::vector<std::string> arguments = {"-q"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {examplePath("source.cfg"), examplePath("setting.cfg")});
    Outcome result = run(arguments, setup);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_TRUE(std::regex_match(result.err, std::regex(std::string("dorvex: Result File could not "
                                                                    "open: ") +
                                                        c.path + ": File too large\n")))
        << result.err;
    EXPECT_TRUE(filesIn(directory / "out").empty());
    EXPECT_EQ((std::vector<std::string>{"out"}), filesIn(directory));
  }
}

// --format json short of memory at any point (the address space capped at
// a range of sizes): the whole document as without the cap, or exit 2 with
// the reason on stderr, no report, and on stdout either nothing or a whole
// JSON document (python3 reads it); never an abort or a document cut short.
TEST_F(HostileInputTest, JsonShortOfMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers reserve address space of their own";
  {
    std::ofstream big(directory / "big.cfg", std::ios::binary);
    // Rules of their own, so that the document, not the pairs, is big.
    for (int k = 0; k < 50000; ++k)
      big << "access-list 10 permit host 10." << (k >> 8) << "." << (k & 255) << ".1\n";
  }
  const std::vector<std::string> arguments = {"-q",   "-o",      "out",    "--format",
                                              "json", "big.cfg", "big.cfg"};
  const std::string isJson = "python3 -c 'import json,sys; json.load(sys.stdin)' < ";
  int shortOfMemory = 0;
  for (rlim_t megabytes = 16; megabytes <= 160; megabytes += 8) {
    SCOPED_TRACE(megabytes);
    Setup setup;
    setup.memoryLimit = megabytes << 20;
    setup.stdoutPath = (directory / "json.txt").string();
    Outcome result = run(arguments, setup);
    const bool empty = fs::file_size(setup.stdoutPath) == 0;
    EXPECT_TRUE(empty || std::system((isJson + setup.stdoutPath).c_str()) == 0);
    if (result.status == 2) {
      ++shortOfMemory;
      EXPECT_NE(std::string::npos, result.err.find("not enough memory")) << result.err;
      EXPECT_TRUE(filesIn(directory / "out").empty());
    } else {
      EXPECT_EQ(1, result.status) << result.err;
      EXPECT_FALSE(empty);
      fs::remove_all(directory / "out");
      fs::create_directory(directory / "out");
    }
  }
  EXPECT_GT(shortOfMemory, 0);
}

// UTF-16 (as one editor saves "Unicode"), with or without a byte-order
// mark: stopped with the reason rather than checked as a text of a few bytes.
TEST_F(HostileInputTest, Utf16IsRefused) {
  const std::string rule = "access-list 10 permit any\r\n";
  std::string little, big;
  for (char c : rule) {
    little += std::string(1, c) + '\0';
    big += std::string(1, '\0') + c;
  }
  const struct {
    const char* name;
    std::string bytes;
  } kCases[] = {
      {"le-mark.cfg", "\xFF\xFE" + little},
      {"be-mark.cfg", "\xFE\xFF" + big},
      {"le.cfg", little},
      {"be.cfg", big},
      {"le-mark-only.cfg", "\xFF\xFE"},
  };
  write("good.cfg", kRule);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    write(c.name, c.bytes);
    for (bool asSource : {true, false}) {
      Outcome result = asSource ? check(c.name, "good.cfg") : check("good.cfg", c.name);
      EXPECT_EQ(2, result.status);
      EXPECT_EQ("", result.out);
      EXPECT_EQ(
          std::string("dorvex: ") + c.name +
              ": UTF-16 text, which cannot be checked; save it as 8-bit text (such as Shift-JIS or "
              "UTF-8)\n",
          result.err);
      EXPECT_TRUE(filesIn(directory / "out").empty());
    }
  }
}

// Reading stops at the first NUL byte: an endless device and a file of 3 GB
// of NUL bytes are not read whole, the driver stays small (a memory cap of
// 1 GB keeps a driver that reads on from taking the machine), and the text
// before the NUL bytes is checked.
TEST_F(HostileInputTest, ReadingStopsAtTheFirstNul) {
  write("good.cfg", kRule);
  const fs::path zeros = directory / "zeros.cfg";
  const fs::path ruled = directory / "ruled.cfg";
  write("zeros.cfg", "");
  fs::resize_file(zeros, 3ull << 30);
  write("ruled.cfg", kRule);
  fs::resize_file(ruled, 3ull << 30);
  const struct {
    const char* path;
    int status;
    const char* err;
  } kCases[] = {
      {"/dev/zero", 2,
       "dorvex: /dev/zero: no configuration text (the file is empty before its first NUL byte)\n"},
      {"zeros.cfg", 2,
       "dorvex: zeros.cfg: no configuration text (the file is empty before its first NUL byte)\n"},
      {"ruled.cfg", 1,
       "dorvex: ruled.cfg: NUL byte at offset 35; the text after it is not checked\n"},
  };
  Setup setup;
  if (!kSanitized) setup.memoryLimit = 1ull << 30;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    Outcome result = run({"-q", "-o", "out", c.path, "good.cfg"}, setup);
    EXPECT_EQ(c.status, result.status);
    EXPECT_EQ(c.err, result.err);
    EXPECT_LT(result.maxResidentKb, 200 << 10);
  }
}

// A read that fails, at the start of a file or in its middle: the check
// stops with the file and the reason; nothing is checked or written.
TEST_F(HostileInputTest, ReadErrorStopsTheCheck) {
  {
    std::ofstream big(directory / "big.cfg", std::ios::binary);
    for (int k = 0; k < 100000; ++k)
      big << "access-list 10 permit host 10.1." << k % 250 << "." << k % 199 << "\n";
  }
  write("good.cfg", kRule);
  // The file is read a megabyte at a time: the third read is in its middle.
  for (const char* failAt : {"1", "3"}) {
    SCOPED_TRACE(failAt);
    Outcome result = run({"-q", "-o", "out", "big.cfg", "good.cfg"},
                         withFaults({std::string("DORVEX_FAIL_READ=") + failAt}));
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ("dorvex: big.cfg: Input/output error\n", result.err);
    EXPECT_TRUE(filesIn(directory / "out").empty());
  }
}

// Short of memory at any point of the check (the address space capped at a
// range of sizes): either the whole check is done as without the cap, or it
// stops with "not enough memory", exit 2 and no report; never a shortened
// summary or details text.
TEST_F(HostileInputTest, OutOfMemoryFailsTheWholeCheck) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers reserve address space of their own";
  {
    std::ofstream big(directory / "big.cfg", std::ios::binary);
    for (int k = 0; k < 200000; ++k) {
      big << "access-list 10 permit host 10." << (k >> 16) << "." << ((k >> 8) & 255) << "."
          << (k & 255) << "\n";
    }
  }
  Outcome whole = run({"-q", "-o", "out", "--print", "details", "big.cfg", "big.cfg"});
  ASSERT_EQ(1, whole.status) << whole.err;
  const std::string wholeReport = onlyReport();
  const std::string wholeDetails = whole.out.substr(whole.out.find('\n') + 1);
  fs::remove_all(directory / "out");
  fs::create_directory(directory / "out");
  int outOfMemory = 0;
  for (rlim_t megabytes = 16; megabytes <= 256; megabytes += 16) {
    SCOPED_TRACE(megabytes);
    Setup setup;
    setup.memoryLimit = megabytes << 20;
    Outcome result = run({"-q", "-o", "out", "--print", "details", "big.cfg", "big.cfg"}, setup);
    if (result.status == 2) {
      ++outOfMemory;
      EXPECT_EQ("", result.out);
      // Short of memory for reading the file, or for checking it.
      EXPECT_TRUE(result.err == "dorvex: not enough memory for the check\n" ||
                  result.err == "dorvex: big.cfg: not enough memory to read the file\n")
          << result.err;
      EXPECT_TRUE(filesIn(directory / "out").empty());
    } else {
      EXPECT_EQ(1, result.status) << result.err;
      // Compared without a diff, which would take more memory than the test has.
      const std::string details = result.out.substr(result.out.find('\n') + 1);
      EXPECT_TRUE(wholeDetails == details)
          << details.size() << " bytes of details, not " << wholeDetails.size();
      const std::string report = onlyReport();
      EXPECT_TRUE(masked(wholeReport) == masked(report))
          << report.size() << " bytes of report, not " << wholeReport.size();
      fs::remove_all(directory / "out");
      fs::create_directory(directory / "out");
    }
  }
  EXPECT_GT(outOfMemory, 0);
}

// A file name with control bytes, which the CR LF lines of the report header
// cannot hold: those bytes are written escaped, every other byte as it is.
TEST_F(HostileInputTest, ControlBytesInAFileNameAreEscapedInTheReport) {
  const struct {
    std::string name;
    std::string shown;
  } kCases[] = {
      {"line\nfeed.cfg", "line\\nfeed.cfg"},
      {"cr\rtab\t\x01\x7F.cfg", "cr\\rtab\\t\\x01\\x7F.cfg"},
      {"\x83\x68\x83\x7C sjis.cfg", "\x83\x68\x83\x7C sjis.cfg"},
  };
  write("good.cfg", kRule);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.shown);
    write(c.name, kRule);
    Outcome result = check(c.name, "good.cfg");
    EXPECT_EQ(1, result.status) << result.err;
    std::string report = onlyReport();
    EXPECT_NE(std::string::npos, report.find("\r\n@Source Filename= " + c.shown + " \r\n001:"))
        << report;
    fs::remove_all(directory / "out");
    fs::create_directory(directory / "out");
  }
}

}  // namespace
