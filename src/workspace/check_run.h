// The interfaces between a whole check run (CheckWorkspace::runCheck) and the
// front end that starts it. CheckFrontEnd is implemented by the console
// driver (ConsoleFrontEnd in src/cli/console_driver.cpp) and by the Windows
// main dialog (DialogFrontEnd in src/ui/dialog_front_end.h); ReportStore by
// ReportFiles (src/platform/report_file.h), which both hand to the check.
#ifndef DORVEX_WORKSPACE_CHECK_RUN_H_
#define DORVEX_WORKSPACE_CHECK_RUN_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/check_modes.h"

namespace dorvex {

// Receives the progress lines of a check, each as its bytes (CR LF ended,
// no NUL).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void write(std::string_view text) = 0;
};

// Puts a finished report into its directory for good. Creating a file
// safely next to other users and other checks takes the platform's calls
// (an exclusive create, a rename that never replaces), which the core does
// not make; the front end supplies them.
class ReportStore {
 public:
  virtual ~ReportStore() = default;
  // Writes `pieces`, one after the other, to a new file in `directory` ("":
  // the current directory) and gives it the first free name of
  // numberedFileName(fileName, 1), numberedFileName(fileName, 2), ...
  // (report_builder.h). Nothing already in the directory, at any name, is
  // replaced, removed or followed, whatever it is (file, directory, link,
  // FIFO), and nothing there can make the call wait. No reader ever sees a
  // part of the report under a report name.
  // Returns true with `path` = reportPath(directory, the name taken).
  // Returns false with the reason in `reason`; nothing is then left behind.
  virtual bool store(std::string_view directory, std::string_view fileName,
                     const std::vector<std::string_view>& pieces, std::string& path,
                     std::string& reason) = 0;
};

class CheckFrontEnd {
 public:
  virtual ~CheckFrontEnd() = default;
  // Opens the progress sink for the parse and duplication steps; null for
  // none. closeProgress() follows every openProgress().
  virtual ProgressSink* openProgress() = 0;
  virtual void closeProgress() = 0;
  // Where the report file goes.
  virtual ReportStore& reportStore() = 0;
  // Called with the report path once the report file has been written
  // under it; the check waits until it returns. When the file could not be
  // written, called with the path it was meant for, just before
  // reportNotWritten().
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

// How a check ended. After outOfMemory and tooLarge the result texts are
// incomplete: nothing of them may be shown, and no report was written.
enum class CheckStatus {
  written,      // the report file was written
  notWritten,   // checked, but the report file could not be written
  pathTooLong,  // checked, but the report path exceeds kMaxReportPath
  emptyText,    // nothing checked: a text was empty (load refused it)
  outOfMemory,  // the check stopped: an allocation failed
  tooLarge,     // the check stopped: a text grew past what this build can hold
};

struct CheckResult {
  CheckStatus status = CheckStatus::emptyText;
  // The path written (written), or the one meant (notWritten, pathTooLong).
  std::string reportPath;
};

// Longest report path, in bytes.
constexpr std::size_t kMaxReportPath = 999;

class CheckWorkspace;

// A whole check on `workspace`, from the two texts of `request` to the
// report file (CheckWorkspace::runCheck() says how); `clock` gives the
// local date "MM/DD/YY" and time "HH:MM:SS" of the report.
CheckResult runWholeCheck(CheckWorkspace& workspace, const CheckRequest& request,
                          CheckFrontEnd& frontEnd, void (*clock)(std::string&, std::string&));

}  // namespace dorvex

#endif  // DORVEX_WORKSPACE_CHECK_RUN_H_
