// What the console driver writes to stdout for the pairs it checks, in the
// form its options choose:
//   - one setting config, text: the report path, then the --print text;
//   - several setting configs, text: one line per pair, tab-separated
//     ("SETTING  status=1  pairs=3  rules=12  E=1  U=0  D=3  O=1
//     report=PATH", or "SETTING  status=2  error=MESSAGE"), each followed by
//     its --print text;
//   - --format json: one JSON document with a check entry per pair
//     (json_output.h, docs/json-output.md), each entry on a line of its own;
//   - --format sarif: one SARIF log of the findings of every pair
//     (sarif_output.h, docs/sarif-output.md).
// With --print summary or analysis, each configuration's text follows a
// header line "==> PATH <==", the next after an empty line, as head(1) puts
// them between files; --print-raw leaves them out. Paths and messages in
// header and pair lines have their control bytes escaped (escapedName() of
// workspace/report_builder.h), so no path can break a line.
#ifndef DORVEX_CLI_RUN_OUTPUT_H_
#define DORVEX_CLI_RUN_OUTPUT_H_

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "cli/console_driver.h"
#include "parser/acl_config.h"
#include "workspace/check_workspace.h"

namespace dorvex {

// How the check of one pair ended.
struct PairRun {
  std::string_view sourcePath;
  std::string_view settingPath;
  int status = kExitTrouble;
  // Whether the workspace holds this pair's results: the check ended well,
  // its report written or none asked for. False after trouble.
  bool checked = false;
  std::string reportPath;  // the report file written; empty: none
  std::string reportText;  // the report's text, kept for --print report
  std::string error;       // the trouble as stderr said it, without "dorvex: "
};

// A configuration's entries by their marks. Each line has at most one
// entry, so these are also counts of lines.
struct MarkCounts {
  long long rulesRead = 0;    // rules read (isReadRule()), as the stderr line counts them
  long long error = 0;        // E
  long long unsupported = 0;  // U
  long long duplicate = 0;    // D
  long long option = 0;       // O
};

MarkCounts countMarks(const AclConfig& config);

class RunOutput {
 public:
  virtual ~RunOutput() = default;
  // Writes what stdout shows of `run`, and of the workspace's results when
  // it was checked, as soon as the pair is done, and flushes it, so that a
  // pair that has ended is on stdout whatever ends the run later. False
  // once a write to stdout has failed.
  virtual bool pair(const PairRun& run, CheckWorkspace& workspace) = 0;
  // Ends the output after the last pair, `status` being the run's exit
  // status, and flushes it. False when a write or the flush failed.
  virtual bool finish(int status) = 0;
};

// The output for `options`; `pairCount` is the number of setting configs.
std::unique_ptr<RunOutput> makeRunOutput(const DriverOptions& options, std::size_t pairCount,
                                         std::ostream& out);

}  // namespace dorvex

#endif  // DORVEX_CLI_RUN_OUTPUT_H_
