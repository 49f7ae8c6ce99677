// A whole check in one call: load, parse both texts, the duplication check,
// the report text and its file.
#include <ctime>

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

CheckResult CheckWorkspace::runCheck(const CheckRequest& request, CheckFrontEnd& frontEnd) {
  CheckResult result;
  // A text ends at its first NUL byte, so it is empty when one starts it;
  // load() cuts the texts there as it copies them, without a search here.
  auto isEmpty = [](std::string_view text) { return text.empty() || text.front() == '\0'; };
  std::string_view sourceText = request.sourceText;
  std::string_view settingText = request.settingText;
  if (isEmpty(sourceText) || isEmpty(settingText)) {
    result.status = CheckStatus::emptyText;
    return result;
  }
  if (!load(sourceText, settingText, request.analysisText, request.modes)) {
    result.status = CheckStatus::outOfMemory;
    return result;
  }
  ProgressSink* sink = frontEnd.openProgress();
  if (sink) sink->write("<Process> source config check -> setting config check -> duplication check\r\n");
  checkConfigs(sink);
  checkDuplicates(sink);
  frontEnd.closeProgress();

  std::string date, time;
  (localClock ? localClock : readLocalClock)(date, time);
  // The report goes to its file piece by piece; it is never joined into one
  // text, which would hold the summaries and the details a second time.
  std::string reportLines;
  std::vector<std::string_view> report =
      reportPieces(fileNamePart(request.sourcePath), fileNamePart(request.settingPath), reportLines);
  result.reportPath = reportPath(request.outputDirectory, reportFileName(date, time));
  if (result.reportPath.size() > kMaxReportPath) {
    result.status = CheckStatus::pathTooLong;
    return result;
  }
  frontEnd.showReportPath(result.reportPath);
  std::string reason;
  if (writeFileReplacing(result.reportPath, report, reason)) {
    result.status = CheckStatus::written;
  } else {
    result.status = CheckStatus::notWritten;
    frontEnd.reportNotWritten(reason);
  }
  return result;
}

}  // namespace dorvex
