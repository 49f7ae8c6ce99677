// The interface between a whole check run (CheckWorkspace::runCheck) and the
// front end that starts it. Implemented by the console driver
// (src/cli/main.cpp) and by the Win32 main dialog (src/ui/main_dialog.cpp).
#ifndef DORVEX_WORKSPACE_CHECK_RUN_H_
#define DORVEX_WORKSPACE_CHECK_RUN_H_

#include <string>
#include <string_view>

#include "parser/check_modes.h"

namespace dorvex {

// Receives the progress lines of a check, each as its bytes (CR LF ended,
// no NUL).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void write(std::string_view text) = 0;
};

class CheckFrontEnd {
 public:
  virtual ~CheckFrontEnd() = default;
  // Opens the progress sink for the parse and duplication steps; null for
  // none. closeProgress() follows every openProgress().
  virtual ProgressSink* openProgress() = 0;
  virtual void closeProgress() = 0;
  // Called with the report path before the file is written; the check
  // waits until it returns.
  virtual void showReportPath(const std::string& path) = 0;
  // Called when the report file cannot be written; `reason` says why. No
  // part of the report is left behind.
  virtual void reportNotWritten(const std::string& reason) = 0;
};

// "unopened": the path of a pane into which no file was loaded.
inline constexpr char kUnopened[] = "unopened";

// One check: the two pane texts, the paths of the files last loaded into
// the panes, and the directory for the report.
struct CheckRequest {
  std::string_view sourceText;
  std::string_view settingText;
  std::string sourcePath = kUnopened;
  std::string settingPath = kUnopened;
  std::string outputDirectory;
  // Whether the annotated texts (the analysis view) are built. They are not
  // part of the report; a front end that will not show them saves their
  // cost, about a tenth of the check.
  bool analysisText = true;
  // The syntax the texts are read in and the cover test of the check.
  CheckModes modes;
};

enum class CheckStatus {
  written,        // the report file was written
  notWritten,     // checked, but the report file could not be written
  pathTooLong,    // checked, but the report path exceeds kMaxReportPath
  emptyText,      // nothing checked: a text was empty (load refused it)
  outOfMemory,    // nothing checked: a buffer could not be obtained
};

struct CheckResult {
  CheckStatus status = CheckStatus::emptyText;
  std::string reportPath;  // set whenever the check ran
};

// Longest report path, in bytes.
constexpr std::size_t kMaxReportPath = 999;

}  // namespace dorvex

#endif  // DORVEX_WORKSPACE_CHECK_RUN_H_
