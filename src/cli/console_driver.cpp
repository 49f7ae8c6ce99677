#include "cli/console_driver.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "workspace/check_workspace.h"

namespace dorvex {

namespace {

class StreamSink : public ProgressSink {
 public:
  explicit StreamSink(std::ostream& stream) : stream(stream) {}
  void write(std::string_view text) override { stream.write(text.data(), static_cast<std::streamsize>(text.size())); }

 private:
  std::ostream& stream;
};

class ConsoleFrontEnd : public CheckFrontEnd {
 public:
  ConsoleFrontEnd(std::ostream& err, bool quiet) : sink(err), quiet(quiet) {}

  ProgressSink* openProgress() override { return quiet ? nullptr : &sink; }
  void closeProgress() override {}
  // The path goes to stdout only once the report exists.
  void showReportPath(const std::string& path) override { shownPath = path; }
  void reportNotWritten(const std::string& why) override { reason = why; }

  std::string shownPath;
  std::string reason;

 private:
  StreamSink sink;
  bool quiet;
};

// The check reads a text up to its first NUL byte, as the panes do. The
// offset is the file's, byte-order mark included, for a look with a hex dump.
void warnAboutNul(const std::string& path, std::size_t nul, std::size_t markLength,
                  std::ostream& err) {
  if (nul == std::string::npos) return;
  err << "dorvex: " << path << ": NUL byte at offset " << nul + markLength
      << "; the text after it is not checked\n";
}

// Lines end at LF only. A text from a system that ends its lines in a bare
// CR is one long line to the check, so the user is told why nothing parses.
// `text` ends before its first NUL byte.
void warnAboutCrLineEnds(const std::string& path, std::string_view text, std::ostream& err) {
  if (text.find('\n') != std::string_view::npos) return;
  std::size_t last = text.find_last_not_of('\r');
  if (last == std::string_view::npos || text.substr(0, last).find('\r') == std::string_view::npos) {
    return;
  }
  err << "dorvex: " << path << ": lines end in CR only; the whole text is checked as one line\n";
}

bool loadInput(const std::string& path, std::string& text, std::ostream& err) {
  std::string reason;
  std::size_t markLength = 0;
  if (!readConfigFile(path, text, reason, &markLength)) {
    err << "dorvex: " << path << ": " << reason << "\n";
    return false;
  }
  if (text.empty() || text.front() == '\0') {
    err << "dorvex: " << path << ": no configuration text (the file is empty"
        << (text.empty() ? "" : " before its first NUL byte") << ")\n";
    return false;
  }
  // One search for the NUL serves both warnings.
  const std::size_t nul = text.find('\0');
  warnAboutNul(path, nul, markLength, err);
  warnAboutCrLineEnds(path, std::string_view(text).substr(0, nul), err);
  return true;
}

// "dorvex: PATH: 12 rules read, 1 not read (E), 2 unsupported (U)".
void printWhatWasRead(const std::string& path, const AclConfig& config, std::ostream& err) {
  const ReadCounts& read = config.readCounts();
  err << "dorvex: " << path << ": " << read.rules << " rules read, " << read.notRead
      << " not read (E), " << read.unsupported << " unsupported (U)\n";
}

void printText(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A text of the side-by-side views, ended by a line break when it has none.
void printViewText(std::ostream& out, std::string_view text) {
  printText(out, text);
  if (text.empty() || text.back() != '\n') out << "\r\n";
}

bool printResult(const DriverOptions& options, const CheckWorkspace& workspace,
                 const std::string& reportPath, std::ostream& out, std::ostream& err) {
  if (options.print == "summary" || options.print == "analysis") {
    ResultView view = options.print == "analysis" ? ResultView::analysis : ResultView::summary;
    printViewText(out, workspace.leftText(view));
    printViewText(out, workspace.rightText(view));
  } else if (options.print == "details") {
    printText(out, workspace.duplicationDetails.view());
  } else if (options.print == "report") {
    std::string report, reason;
    if (!readConfigFile(reportPath, report, reason)) {
      err << "dorvex: " << reportPath << ": " << reason << "\n";
      return false;
    }
    printText(out, report);
  }
  return true;
}

}  // namespace

bool readConfigFile(const std::string& path, std::string& text, std::string& reason,
                    std::size_t* markLength) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    reason = "is a directory";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    reason = std::strerror(errno);
    return false;
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) {
    reason = "read error";
    return false;
  }
  text = std::move(bytes).str();
  std::size_t skipped = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  text.erase(0, skipped);
  if (markLength) *markLength = skipped;
  return true;
}

int runDriver(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  std::string sourceText, settingText;
  if (!loadInput(options.sourcePath, sourceText, err)) return kExitTrouble;
  if (!loadInput(options.settingPath, settingText, err)) return kExitTrouble;

  static CheckWorkspace workspace;
  CheckRequest request;
  request.sourceText = sourceText;
  request.settingText = settingText;
  request.sourcePath = options.sourcePath;
  request.settingPath = options.settingPath;
  request.outputDirectory = options.outputDirectory;
  // Only --print analysis shows the annotated texts.
  request.analysisText = options.print == "analysis";
  request.modes = options.modes;
  ConsoleFrontEnd frontEnd(err, options.quiet);
  CheckResult result = workspace.runCheck(request, frontEnd);

  switch (result.status) {
    case CheckStatus::written:
      break;
    case CheckStatus::notWritten:
      err << "dorvex: Result File could not open: " << result.reportPath << ": " << frontEnd.reason
          << "\n";
      return kExitTrouble;
    case CheckStatus::pathTooLong:
      err << "dorvex: Result File could not open: the report path is longer than "
          << kMaxReportPath << " bytes: " << result.reportPath << "\n";
      return kExitTrouble;
    case CheckStatus::emptyText:
      err << "dorvex: no configuration text to check\n";
      return kExitTrouble;
    case CheckStatus::outOfMemory:
      err << "dorvex: not enough memory for the check\n";
      return kExitTrouble;
  }
  if (!options.quiet) {
    printWhatWasRead(options.sourcePath, workspace.sourceConfig, err);
    printWhatWasRead(options.settingPath, workspace.settingConfig, err);
  }
  out << frontEnd.shownPath << "\n";
  if (!printResult(options, workspace, result.reportPath, out, err)) return kExitTrouble;
  out.flush();
  if (options.failOnUnread && (workspace.sourceConfig.readCounts().anyNotRead() ||
                               workspace.settingConfig.readCounts().anyNotRead())) {
    err << "dorvex: access-list lines were not read\n";
    return kExitUnread;
  }
  return workspace.duplicationCount() > 0 ? kExitDuplicates : kExitClean;
}

}  // namespace dorvex
