// The console driver: a whole check from two configuration files, with the
// progress and, per configuration, what was read on stderr, the report path
// on stdout and an exit status like diff's (0 no duplication, 1 duplications
// found, 2 trouble; 3 on request when access-list lines were not read); or
// one such check per setting config against one source config, the exit
// status the highest of theirs. What stdout shows is written by run_output.h.
#ifndef DORVEX_CLI_CONSOLE_DRIVER_H_
#define DORVEX_CLI_CONSOLE_DRIVER_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "parser/check_modes.h"

namespace dorvex {

struct DriverOptions {
  std::string sourcePath;
  std::string settingPath;
  std::string outputDirectory;  // empty: the current directory
  std::string print;            // "", "summary", "analysis", "details" or "report"
  bool quiet = false;           // no progress lines and no lines of what was read
  CheckModes modes;
  bool failOnUnread = false;  // kExitUnread when an access-list line was not read

  // For scripts: more setting configs, the report's name, stdout's form.
  // Each further setting config is checked against the source config as
  // settingPath is, with a report of its own and a line on stdout each.
  std::vector<std::string> moreSettingPaths;
  std::string reportFile;      // exactly this report file; empty: Result<stamp>.txt
  bool replaceReport = false;  // reportFile may replace what is there
  bool noReport = false;       // no report file at all
  bool printRaw = false;       // --print summary/analysis without "==> FILE <==" headers
  // "text", "json" for one JSON document on stdout (docs/json-output.md),
  // or "sarif" for the findings as one SARIF log (docs/sarif-output.md).
  std::string format = "text";
  std::string cleanupFile;  // with modes.within: the cleanup commands go here
  std::string htmlFile;     // the HTML report of the check goes here (html_report.h)
  bool colour = false;      // --print findings in colour (stdout is a terminal)
};

constexpr int kExitClean = 0;
constexpr int kExitDuplicates = 1;
constexpr int kExitTrouble = 2;
// With DriverOptions::failOnUnread: a line of either configuration that
// looks like an access-list statement was not read (ReadCounts::anyNotRead()).
// The check ran and its report was written; this status wins over 0 and 1.
constexpr int kExitUnread = 3;

// Runs the check; writes results to `out` and messages to `err`. A failed
// write to `out`, its final flush included, is trouble. A pair that cannot
// be read or checked for lack of memory ends in trouble of its own, the
// pairs after it checked all the same. Returns the exit status.
int runDriver(const DriverOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dorvex

#endif  // DORVEX_CLI_CONSOLE_DRIVER_H_
