#include "workspace/check_workspace.h"

#include <algorithm>
#include <cstring>

#include "dupcheck/duplication_check.h"
#include "dupcheck/summary_listing.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// The line that frames the report's header.
constexpr char kRule[] = "----------------------------------------\r\n";

}  // namespace

bool CheckWorkspace::load(std::string_view sourceText, std::string_view settingText,
                          bool analysisText, CheckModes modes) {
  // A text ends at its first NUL byte; a text that ends before it starts is empty.
  auto isEmpty = [](std::string_view text) { return text.empty() || text.front() == '\0'; };
  if (isEmpty(sourceText)) return false;
  if (isEmpty(settingText) && !modes.within) return false;
  checkModes = modes;
  singleConfig = isEmpty(settingText);
  if (!sourceConfig.reset(sourceText, analysisText, modes.syntax)) return false;
  if (!settingConfig.reset(singleConfig ? std::string_view("") : settingText, analysisText,
                           modes.syntax)) {
    return false;
  }
  duplicationPairs = 0;
  withinLines = 0;
  withinSettingStart = 0;
  pairRecord.clear();
  verdictRecord.clear();
  for (std::vector<WithinFinding>& record : withinRecord) record.clear();
  changeRecord.clear();
  changeLines = 0;
  return sourceSummary.allocate(kResultTextSize) && settingSummary.allocate(kResultTextSize) &&
         duplicationDetails.allocate(kResultTextSize) &&
         withinDetails.allocate(modes.within ? kResultTextSize : 1) &&
         changeDetails.allocate(modes.diff ? kResultTextSize : 1);
}

std::string_view CheckWorkspace::leftText(ResultView view) const {
  return view == ResultView::analysis ? sourceConfig.annotationText() : sourceSummary.view();
}

std::string_view CheckWorkspace::rightText(ResultView view) const {
  return view == ResultView::analysis ? settingConfig.annotationText() : settingSummary.view();
}

bool CheckWorkspace::copyViews(ResultView view, char* left, std::size_t leftCapacity, char* right,
                               std::size_t rightCapacity) const {
  if (view == ResultView::analysis) {
    sourceConfig.copyAnnotation(left, leftCapacity);
    settingConfig.copyAnnotation(right, rightCapacity);
  } else {
    sourceSummary.copyOut(left, leftCapacity);
    settingSummary.copyOut(right, rightCapacity);
  }
  return true;
}

bool CheckWorkspace::checkConfigs(ProgressSink* console) {
  if (console) console->write("source config check....\r\n");
  if (!sourceConfig.checkConfig()) return false;
  if (singleConfig) return true;
  if (console) console->write("setting config check....\r\n");
  return settingConfig.checkConfig();
}

bool CheckWorkspace::checkDuplicates(ProgressSink* console) {
  pairRecord.clear();
  verdictRecord.clear();
  if (!singleConfig) {
    if (console) console->write("duplication check....\r\n");
    duplicationPairs =
        findDuplications(sourceConfig, settingConfig, duplicationDetails,
                         recordingPairs ? &pairRecord : nullptr, checkModes.cover, &verdictRecord);
  }
  if (checkModes.within) analyseWithin();
  if (checkModes.diff && !singleConfig) {
    if (console) console->write("change review....\r\n");
    changeRecord.clear();
    changeLines = reviewChanges(sourceConfig, settingConfig, changeDetails,
                                recordingPairs ? &changeRecord : nullptr);
  }
  dorvex::writeSummary(sourceConfig, sourceSummary);
  if (!singleConfig) dorvex::writeSummary(settingConfig, settingSummary);
  return true;
}

void CheckWorkspace::analyseWithin() {
  withinLines = 0;
  for (int k = 0; k < (singleConfig ? 1 : 2); ++k) {
    withinRecord[k].clear();
    withinLines +=
        dorvex::analyseWithin(k == 0 ? sourceConfig : settingConfig, k == 0 ? "source" : "setting",
                              withinDetails, recordingPairs ? &withinRecord[k] : nullptr);
    if (k == 0) withinSettingStart = withinDetails.view().size();
  }
}

std::string_view CheckWorkspace::sourceWithinText() const {
  return withinDetails.view().substr(0, withinSettingStart);
}

std::string_view CheckWorkspace::settingWithinText() const {
  std::string_view details = withinDetails.view();
  return details.substr(std::min(withinSettingStart, details.size()));
}

bool CheckWorkspace::checkDuplicatesByPairs(ProgressSink* console) {
  if (console) console->write("duplication check....\r\n");
  pairRecord.clear();
  verdictRecord.clear();
  duplicationPairs = findDuplicationsByPairs(sourceConfig, settingConfig, duplicationDetails,
                                             recordingPairs ? &pairRecord : nullptr,
                                             checkModes.cover, &verdictRecord);
  dorvex::writeSummary(sourceConfig, sourceSummary);
  dorvex::writeSummary(settingConfig, settingSummary);
  return true;
}

bool CheckWorkspace::writeSummary(AclConfig& config, TextCursor& output) {
  dorvex::writeSummary(config, output);
  return true;
}

std::vector<std::string_view> CheckWorkspace::reportPieces(std::string_view date,
                                                           std::string_view sourceName,
                                                           std::string_view settingName,
                                                           std::string& lines) {
  // A text ends at its first NUL byte, a name too.
  sourceName = sourceName.substr(0, sourceName.find('\0'));
  settingName = settingName.substr(0, settingName.find('\0'));
  // The formatted lines first, in one text, and the views into it after:
  // the text must not move once it is viewed.
  lines.clear();
  lines += kRule;
  lines += "Dorvex ver 0.8\r\nResult Report  [Date=";
  lines += date;
  lines += "]\r\n";
  if (!checkModes.isDefault()) {
    lines += "Check Modes  [Syntax=";
    lines += checkModes.syntax == Syntax::full ? "full" : "classic";
    lines += "] [Cover=";
    lines += coverName(checkModes.cover);
    lines += checkModes.within ? "] [Within]" : "]";
    lines += checkModes.diff ? " [Diff]\r\n" : "\r\n";
  }
  lines += kRule;
  lines += "\r\n";
  lines += "@Source Filename= ";
  lines += escapedName(sourceName);
  lines += " \r\n";
  const std::size_t sourceEnd = lines.size();
  if (!singleConfig) {
    lines += "@Setting Filename = ";
    lines += escapedName(settingName);
    lines += "\r\n";
  }
  std::string_view formatted = lines;
  std::vector<std::string_view> pieces = {formatted.substr(0, sourceEnd), sourceSummary.view(),
                                          "\r\n"};
  if (!singleConfig) {
    pieces.insert(pieces.end(), {formatted.substr(sourceEnd), settingSummary.view(), "\r\n\r\n",
                                 "------------ Duplication Details ------\r\n", "\r\n",
                                 duplicationDetails.view(), "\r\n"});
  } else {
    pieces.push_back("\r\n");
  }
  if (checkModes.within) {
    pieces.insert(pieces.end(), {"------------ Within Details ---------\r\n", "\r\n",
                                 withinDetails.view(), "\r\n"});
  }
  if (checkModes.diff && !singleConfig) {
    pieces.insert(pieces.end(), {"------------ Change Details ---------\r\n", "\r\n",
                                 changeDetails.view(), "\r\n"});
  }
  pieces.insert(pieces.end(), {"------------ Report Finished ----------\r\n", "\r\n"});
  return pieces;
}

std::string CheckWorkspace::reportText(std::string_view sourceName, std::string_view settingName) {
  std::string date, time;
  (localClock ? localClock : readLocalClock)(date, time);
  std::string lines;
  std::vector<std::string_view> pieces = reportPieces(date, sourceName, settingName, lines);
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string report;
  report.reserve(size);
  for (std::string_view piece : pieces) report += piece;
  return report;
}

bool CheckWorkspace::buildReport(char* dest, std::size_t capacity, std::string_view sourceName,
                                 std::string_view settingName) {
  std::string report = reportText(sourceName, settingName);
  if (report.size() >= capacity) return false;
  std::memcpy(dest, report.c_str(), report.size() + 1);
  return true;
}

CheckResult CheckWorkspace::runCheck(const CheckRequest& request, CheckFrontEnd& frontEnd) {
  return runWholeCheck(*this, request, frontEnd, localClock ? localClock : readLocalClock);
}

}  // namespace dorvex
