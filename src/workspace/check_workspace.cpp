#include "workspace/check_workspace.h"

#include "dupcheck/duplication_check.h"
#include "dupcheck/summary_listing.h"

namespace dorvex {

bool CheckWorkspace::load(std::string_view sourceText, std::string_view settingText,
                          bool analysisText, CheckModes modes) {
  // A text ends at its first NUL byte; a text that ends before it starts is empty.
  if (sourceText.empty() || sourceText.front() == '\0') return false;
  if (settingText.empty() || settingText.front() == '\0') return false;
  checkModes = modes;
  if (!sourceConfig.reset(sourceText, analysisText, modes.syntax)) return false;
  if (!settingConfig.reset(settingText, analysisText, modes.syntax)) return false;
  duplicationPairs = 0;
  pairRecord.clear();
  return sourceSummary.allocate(kResultTextSize) && settingSummary.allocate(kResultTextSize) &&
         duplicationDetails.allocate(kResultTextSize);
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
  if (console) console->write("setting config check....\r\n");
  return settingConfig.checkConfig();
}

bool CheckWorkspace::checkDuplicates(ProgressSink* console) {
  if (console) console->write("duplication check....\r\n");
  pairRecord.clear();
  duplicationPairs = findDuplications(sourceConfig, settingConfig, duplicationDetails,
                                      recordingPairs ? &pairRecord : nullptr, checkModes.cover);
  dorvex::writeSummary(sourceConfig, sourceSummary);
  dorvex::writeSummary(settingConfig, settingSummary);
  return true;
}

bool CheckWorkspace::checkDuplicatesByPairs(ProgressSink* console) {
  if (console) console->write("duplication check....\r\n");
  pairRecord.clear();
  duplicationPairs =
      findDuplicationsByPairs(sourceConfig, settingConfig, duplicationDetails,
                              recordingPairs ? &pairRecord : nullptr, checkModes.cover);
  dorvex::writeSummary(sourceConfig, sourceSummary);
  dorvex::writeSummary(settingConfig, settingSummary);
  return true;
}

bool CheckWorkspace::writeSummary(AclConfig& config, TextCursor& output) {
  dorvex::writeSummary(config, output);
  return true;
}

}  // namespace dorvex
