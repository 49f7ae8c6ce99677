#include "cli/console_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

#include "platform/input_file.h"
#include "platform/report_file.h"
#include "workspace/check_workspace.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// How far a file is read past its first NUL byte: enough to tell UTF-16
// from a text that merely holds a NUL.
constexpr std::size_t kLookAhead = 512;

class StreamSink : public ProgressSink {
 public:
  explicit StreamSink(std::ostream& stream) : stream(stream) {}
  void write(std::string_view text) override {
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

 private:
  std::ostream& stream;
};

// The platform's report files, and a copy of the report for --print report
// taken before the file is written: what is printed is what was written,
// and nothing is read back from a folder that others can write to.
class ConsoleReportStore : public ReportStore {
 public:
  // `files` writes the report; null for --no-report, when the check goes on
  // as if it had been written, under no path.
  ConsoleReportStore(ReportStore* files, bool keepCopy) : files(files), keepCopy(keepCopy) {}

  bool store(std::string_view directory, std::string_view fileName,
             const std::vector<std::string_view>& pieces, std::string& path,
             std::string& reason) override {
    if (keepCopy) {
      std::size_t size = 0;
      for (std::string_view piece : pieces) size += piece.size();
      copy.reserve(size);
      for (std::string_view piece : pieces) copy += piece;
    }
    if (!files) {
      path.clear();
      return true;
    }
    return files->store(directory, fileName, pieces, path, reason);
  }

  std::string copy;

 private:
  ReportStore* files;
  bool keepCopy;
};

class ConsoleFrontEnd : public CheckFrontEnd {
 public:
  ConsoleFrontEnd(std::ostream& err, bool quiet, bool keepReport, ReportStore* files)
      : sink(err), quiet(quiet), reports(files, keepReport) {}

  ProgressSink* openProgress() override { return quiet ? nullptr : &sink; }
  void closeProgress() override {}
  ReportStore& reportStore() override { return reports; }
  // The path goes to stdout only once the check has ended well.
  void showReportPath(const std::string& path) override { shownPath = path; }
  void reportNotWritten(const std::string& why) override { reason = why; }

  const std::string& report() const { return reports.copy; }

  std::string shownPath;
  std::string reason;

 private:
  StreamSink sink;
  bool quiet;
  ConsoleReportStore reports;
};

// UTF-16 by its byte-order mark, or without one by its NUL bytes: in at
// least half of the even or of the odd places of `start`, and in few of the
// others (an 8-bit text with NUL bytes has them anywhere, a file of NUL
// bytes in every place).
bool isUtf16(std::string_view start) {
  if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") return true;
  const std::size_t units = std::min(start.size(), kLookAhead) / 2;
  if (units < 2) return false;
  std::size_t even = 0, odd = 0;
  for (std::size_t k = 0; k < units; ++k) {
    even += start[2 * k] == '\0';
    odd += start[2 * k + 1] == '\0';
  }
  return (odd * 2 >= units && even * 8 <= units) || (even * 2 >= units && odd * 8 <= units);
}

// The check reads a text up to its first NUL byte, as the panes do. The
// offset is the file's, byte-order mark included, for a look with a hex dump.
void warnAboutNul(const std::string& path, std::size_t nul, std::size_t markLength,
                  std::ostream& err) {
  if (nul == std::string::npos) return;
  err << "dorvex: " << path << ": NUL byte at offset " << nul + markLength
      << "; the text after it is not checked\n";
}

// Lines end at LF only. A text from a system that ends its lines in a bare
// CR is one long line to the check (or a few, between its LFs), so the user
// is told why so little parses whenever such line ends outnumber the LFs.
// A CR that ends the text ends no line.
void warnAboutCrLineEnds(const std::string& path, std::string_view text, std::ostream& err) {
  const std::size_t lineFeeds =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  std::size_t bareCrs = 0;
  for (std::size_t at = text.find('\r'); at != std::string_view::npos;
       at = text.find('\r', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] != '\r' && text[at + 1] != '\n') ++bareCrs;
  }
  if (bareCrs <= lineFeeds) return;
  if (lineFeeds == 0) {
    err << "dorvex: " << path << ": lines end in CR only; the whole text is checked as one line\n";
  } else {
    err << "dorvex: " << path << ": most lines end in CR only; lines end at LF only, so the text "
        << "between two LFs is checked as one line\n";
  }
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
  // The text holds a NUL byte only as its last one.
  const std::size_t nul = text.back() == '\0' ? text.size() - 1 : std::string::npos;
  warnAboutNul(path, nul, markLength, err);
  warnAboutCrLineEnds(path, std::string_view(text).substr(0, nul), err);
  return true;
}

// Writes `text` to stdout; false once stdout has failed.
bool printText(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return out.good();
}

// A text of the side-by-side views, ended by a line break when it has none.
bool printViewText(std::ostream& out, std::string_view text) {
  return printText(out, text) && ((!text.empty() && text.back() == '\n') || printText(out, "\r\n"));
}

// A header line before a configuration's text, as head(1) writes one before
// each file; its control bytes escaped, so that no path breaks the line.
bool printHeader(std::ostream& out, std::string_view path) {
  return printText(out, "==> ") && printText(out, escapedName(path)) && printText(out, " <==\n");
}

bool printResult(const DriverOptions& options, const CheckWorkspace& workspace,
                 const ConsoleFrontEnd& frontEnd, std::ostream& out) {
  // No path without a report (--no-report).
  if (!frontEnd.shownPath.empty() &&
      (!printText(out, frontEnd.shownPath) || !printText(out, "\n"))) {
    return false;
  }
  if (options.print == "summary" || options.print == "analysis") {
    ResultView view = options.print == "analysis" ? ResultView::analysis : ResultView::summary;
    if (options.printRaw) {
      return printViewText(out, workspace.leftText(view)) &&
             printViewText(out, workspace.rightText(view));
    }
    return printHeader(out, options.sourcePath) && printViewText(out, workspace.leftText(view)) &&
           printText(out, "\n") && printHeader(out, options.settingPath) &&
           printViewText(out, workspace.rightText(view));
  }
  if (options.print == "details") return printText(out, workspace.duplicationDetails.view());
  if (options.print == "report") return printText(out, frontEnd.report());
  return true;
}

int outOfMemory(std::ostream& err) {
  err << "dorvex: not enough memory for the check\n";
  return kExitTrouble;
}

int tooLarge(std::ostream& err) {
  err << "dorvex: a text of the check is too large for this program\n";
  return kExitTrouble;
}

int check(const DriverOptions& options, std::ostream& out, std::ostream& err) {
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
  ReportFiles reportFiles;
  NamedReportFile namedReport(options.reportFile, options.replaceReport);
  ReportStore* files = options.noReport              ? nullptr
                       : !options.reportFile.empty() ? static_cast<ReportStore*>(&namedReport)
                                                     : &reportFiles;
  ConsoleFrontEnd frontEnd(err, options.quiet, options.print == "report", files);
  CheckResult result = workspace.runCheck(request, frontEnd);

  // A named report is meant for its own path, whatever name the check chose.
  const std::string& meant = options.reportFile.empty() ? result.reportPath : options.reportFile;
  switch (result.status) {
    case CheckStatus::written: break;
    case CheckStatus::notWritten:
      err << "dorvex: Result File could not open: " << meant << ": " << frontEnd.reason
          << (namedReport.nameTaken() ? " (--force replaces it)" : "") << "\n";
      return kExitTrouble;
    case CheckStatus::pathTooLong:
      err << "dorvex: Result File could not open: the report path is longer than " << kMaxReportPath
          << " bytes: " << meant << "\n";
      return kExitTrouble;
    case CheckStatus::emptyText:
      err << "dorvex: no configuration text to check\n";
      return kExitTrouble;
    case CheckStatus::outOfMemory: return outOfMemory(err);
    case CheckStatus::tooLarge: return tooLarge(err);
  }
  // A stdout that fails at any write, or at the final flush, must not
  // leave the caller believing it has the whole output.
  errno = 0;
  if (!printResult(options, workspace, frontEnd, out) || !out.flush()) {
    const int error = errno;
    err << "dorvex: standard output: " << (error != 0 ? std::strerror(error) : "write error")
        << "\n";
    return kExitTrouble;
  }
  return workspace.duplicationCount() > 0 ? kExitDuplicates : kExitClean;
}

}  // namespace

bool readConfigFile(const std::string& path, std::string& text, std::string& reason,
                    std::size_t* markLength) {
  if (!readInputFile(path, kLookAhead, text, reason)) return false;
  if (isUtf16(text)) {
    reason =
        "UTF-16 text, which cannot be checked; save it as 8-bit text (such as Shift-JIS or UTF-8)";
    return false;
  }
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul + 1);
  std::size_t skipped = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  text.erase(0, skipped);
  if (markLength) *markLength = skipped;
  return true;
}

int runDriver(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  // Any allocation of the check, from reading the files to the output,
  // that fails ends it here: no shortened text is ever taken for a result.
  try {
    return check(options, out, err);
  } catch (const std::bad_alloc&) {
    return outOfMemory(err);
  } catch (const std::length_error&) {
    return tooLarge(err);
  }
}

}  // namespace dorvex
