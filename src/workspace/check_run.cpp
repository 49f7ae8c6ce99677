// A whole check in one call: load, parse both texts, the duplication check,
// the report text and its file.
#include <ctime>
#include <new>
#include <stdexcept>

#include "workspace/check_workspace.h"
#include "workspace/report_builder.h"

namespace dorvex {

void readLocalClock(std::string& date, std::string& time) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* converted = std::localtime(&now)) local = *converted;
  char text[16];
  std::strftime(text, sizeof text, "%m/%d/%y", &local);
  date = text;
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  time = text;
}

namespace {

// The front end's progress sink while it is open: closeProgress() follows
// openProgress() also when a step throws.
struct ProgressScope {
  explicit ProgressScope(CheckFrontEnd& frontEnd)
      : frontEnd(frontEnd), sink(frontEnd.openProgress()) {}
  ~ProgressScope() { frontEnd.closeProgress(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  CheckFrontEnd& frontEnd;
  ProgressSink* const sink;
};

// The check after its texts were taken: every step up to the report file.
CheckStatus checkAndReport(CheckWorkspace& workspace, const CheckRequest& request,
                           CheckFrontEnd& frontEnd, CheckWorkspace::Clock clock,
                           std::string& path) {
  if (!workspace.load(request.sourceText, request.settingText, request.analysisText,
                      request.modes)) {
    return CheckStatus::outOfMemory;
  }
  {
    ProgressScope progress(frontEnd);
    ProgressSink* sink = progress.sink;
    if (sink)
      sink->write("<Process> source config check -> setting config check -> duplication check\r\n");
    workspace.checkConfigs(sink);
    // A text of no file (pasted) goes by its side's name.
    auto nameOf = [](std::string_view path, std::string_view side) {
      return path.empty() || path == kUnopened ? side : fileNamePart(path);
    };
    workspace.setFileNames(nameOf(request.sourcePath, "source"),
                           nameOf(request.settingPath, "setting"));
    workspace.checkDuplicates(sink);
  }

  // One reading of the clock names the file and dates its header, so the
  // two agree even across a second or midnight.
  std::string date, time;
  clock(date, time);
  // The report goes to its file piece by piece; it is never joined into one
  // text, which would hold the summaries and the details a second time.
  std::string reportLines;
  std::vector<std::string_view> report = workspace.reportPieces(
      date, fileNamePart(request.sourcePath), fileNamePart(request.settingPath), reportLines);
  const std::string fileName = reportFileName(date, time);
  path = reportPath(request.outputDirectory, fileName);
  if (path.size() > kMaxReportPath) return CheckStatus::pathTooLong;
  std::string written, reason;
  if (!frontEnd.reportStore().store(request.outputDirectory, fileName, report, written, reason)) {
    frontEnd.showReportPath(path);
    frontEnd.reportNotWritten(reason);
    return CheckStatus::notWritten;
  }
  path = written;
  frontEnd.showReportPath(path);
  return CheckStatus::written;
}

}  // namespace

CheckResult runWholeCheck(CheckWorkspace& workspace, const CheckRequest& request,
                          CheckFrontEnd& frontEnd, void (*clock)(std::string&, std::string&)) {
  CheckResult result;
  // A text ends at its first NUL byte, so it is empty when one starts it;
  // load() cuts the texts there as it copies them, without a search here.
  auto isEmpty = [](std::string_view text) { return text.empty() || text.front() == '\0'; };
  // With the within analysis, a setting text that is empty means one
  // configuration alone.
  if (isEmpty(request.sourceText) || (isEmpty(request.settingText) && !request.modes.within)) {
    result.status = CheckStatus::emptyText;
    return result;
  }
  // Every step allocates as it goes and throws when it cannot: the one
  // place that ends such a check is here, so that no shortened text is
  // ever shown or written.
  try {
    result.status = checkAndReport(workspace, request, frontEnd, clock, result.reportPath);
  } catch (const std::bad_alloc&) {
    result.status = CheckStatus::outOfMemory;
  } catch (const std::length_error&) {
    result.status = CheckStatus::tooLarge;
  }
  return result;
}

}  // namespace dorvex
