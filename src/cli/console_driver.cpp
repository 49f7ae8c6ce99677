#include "cli/console_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>

#include "cli/html_report.h"
#include "cli/run_output.h"
#include "dupcheck/cleanup.h"
#include "platform/config_file.h"
#include "platform/report_file.h"
#include "text/text_cursor.h"
#include "workspace/check_workspace.h"

namespace dorvex {

namespace {

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
    path.clear();
    if (files->store(directory, fileName, pieces, path, reason)) return true;
    attemptedPath = path;
    return false;
  }

  std::string copy;
  // The path a failed store was writing under, when it says.
  std::string attemptedPath;

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

  std::string takeReport() { return std::move(reports.copy); }
  const std::string& attemptedPath() const { return reports.attemptedPath; }

  std::string shownPath;
  std::string reason;

 private:
  StreamSink sink;
  bool quiet;
  ConsoleReportStore reports;
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
// CR is one long line to the check (or a few, between its LFs), so the user
// is told why so little parses whenever such line ends outnumber the LFs.
// A CR that ends the text ends no line.
void warnAboutCrLineEnds(const std::string& path, std::string_view text, std::ostream& err) {
  std::size_t bareCrs = 0;
  for (std::size_t at = text.find('\r'); at != std::string_view::npos;
       at = text.find('\r', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] != '\r' && text[at + 1] != '\n') ++bareCrs;
  }
  // Most texts have no bare CR: their LFs need no counting.
  if (bareCrs == 0) return;
  const std::size_t lineFeeds = countLineFeeds(text);
  if (bareCrs <= lineFeeds) return;
  if (lineFeeds == 0) {
    err << "dorvex: " << path << ": lines end in CR only; the whole text is checked as one line\n";
  } else {
    err << "dorvex: " << path << ": most lines end in CR only; lines end at LF only, so the text "
        << "between two LFs is checked as one line\n";
  }
}

// Reads the configuration file `path` into `text`, warning on `err` of
// what will not be checked as the user may expect. False, with the message
// in `problem`, when it cannot be checked.
bool loadInput(const std::string& path, std::string& text, std::ostream& err,
               std::string& problem) {
  std::string reason;
  ConfigFileRead read;
  if (!readConfigFile(path, text, reason, &read)) {
    problem = path + ": " + reason;
    return false;
  }
  const std::size_t markLength = read.markLength;
  if (text.empty() || text.front() == '\0') {
    problem = path + ": no configuration text (the file is empty" +
              (text.empty() ? "" : " before its first NUL byte") + ")";
    return false;
  }
  // The text holds a NUL byte only as its last one.
  const std::size_t nul = text.back() == '\0' ? text.size() - 1 : std::string::npos;
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

constexpr char kOutOfMemory[] = "not enough memory for the check";
constexpr char kTooLarge[] = "a text of the check is too large for this program";

int outOfMemory(std::ostream& err) {
  err << "dorvex: " << kOutOfMemory << "\n";
  return kExitTrouble;
}

int tooLarge(std::ostream& err) {
  err << "dorvex: " << kTooLarge << "\n";
  return kExitTrouble;
}

// Ends `run` in trouble: the message on stderr, and kept for stdout.
void trouble(PairRun& run, std::string message, std::ostream& err) {
  err << "dorvex: " << message << "\n";
  run.status = kExitTrouble;
  run.error = std::move(message);
}

// Where the reports go, as the options say: the platform's report files,
// the one named report file, or none.
struct ReportTarget {
  explicit ReportTarget(const DriverOptions& options)
      : named(options.reportFile, options.replaceReport),
        store(options.noReport             ? nullptr
              : options.reportFile.empty() ? static_cast<ReportStore*>(&files)
                                           : &named) {}

  ReportFiles files;
  NamedReportFile named;
  ReportStore* const store;  // null: no report
};

// Writes the cleanup commands of each configuration analysed to
// options.cleanupFile, replacing what was there; false, the run in
// trouble, when the file cannot be written.
bool writeCleanup(const DriverOptions& options, PairRun& run, const CheckWorkspace& workspace,
                  std::ostream& err) {
  std::string text;
  auto add = [&text](std::string_view path, const AclConfig& config,
                     const std::vector<WithinFinding>& findings) {
    const std::string commands = cleanupCommands(config, findings);
    text.append("! ").append(path).append(commands.empty() ? ": no line to remove\n" : "\n");
    text += commands;
  };
  add(options.sourcePath, workspace.sourceConfig, workspace.sourceWithin());
  if (!workspace.single()) add(run.settingPath, workspace.settingConfig, workspace.settingWithin());
  NamedReportFile file(options.cleanupFile, true);
  std::string path, reason;
  if (file.store({}, {}, {text}, path, reason)) return true;
  trouble(run, "--cleanup: " + options.cleanupFile + ": " + reason, err);
  return false;
}

// Checks the setting config run.settingPath against `sourceText`, the
// source config run.sourcePath, writing the report to `reports`, and fills
// in `run`. Throws std::bad_alloc or std::length_error when even the
// message of a trouble cannot be made.
void checkOnePair(const DriverOptions& options, std::string_view sourceText, ReportTarget& reports,
                  CheckWorkspace& workspace, PairRun& run, std::ostream& err) {
  // No setting config: the within analysis of the source config alone.
  std::string settingText, problem;
  if (!run.settingPath.empty() &&
      !loadInput(std::string(run.settingPath), settingText, err, problem)) {
    return trouble(run, std::move(problem), err);
  }

  CheckRequest request;
  request.sourceText = sourceText;
  request.settingText = settingText;
  request.sourcePath = run.sourcePath;
  request.settingPath = run.settingPath;
  request.outputDirectory = options.outputDirectory;
  // Only --print analysis and the JSON show the annotated texts.
  request.analysisText = options.print == "analysis" || options.format == "json";
  request.modes = options.modes;
  workspace.recordPairs(options.format != "text" || !options.cleanupFile.empty() ||
                        !options.htmlFile.empty() || options.print == "findings");
  ConsoleFrontEnd frontEnd(err, options.quiet, options.print == "report", reports.store);
  CheckResult result = workspace.runCheck(request, frontEnd);

  // A named report is meant for its own path, whatever name the check chose;
  // another for the path the store was writing, which after reports of the
  // same second is a later name than the check's first choice.
  std::string meant = options.reportFile.empty() ? frontEnd.attemptedPath() : options.reportFile;
  if (meant.empty()) meant = result.reportPath;
  switch (result.status) {
    case CheckStatus::written: break;
    case CheckStatus::notWritten:
      return trouble(run,
                     "Result File could not open: " + meant + ": " + frontEnd.reason +
                         (reports.named.nameTaken() ? " (--force replaces it)" : ""),
                     err);
    case CheckStatus::pathTooLong:
      return trouble(run,
                     "Result File could not open: the report path is longer than " +
                         std::to_string(kMaxReportPath) + " bytes: " + meant,
                     err);
    case CheckStatus::emptyText: return trouble(run, "no configuration text to check", err);
    case CheckStatus::outOfMemory: return trouble(run, kOutOfMemory, err);
    case CheckStatus::tooLarge: return trouble(run, kTooLarge, err);
  }
  run.checked = true;
  if (!options.cleanupFile.empty() && !writeCleanup(options, run, workspace, err)) return;
  if (!options.htmlFile.empty()) {
    NamedReportFile file(options.htmlFile, true);
    std::string path, reason;
    if (!file.store({}, {}, {htmlReport(workspace, run.sourcePath, run.settingPath)}, path,
                    reason)) {
      return trouble(run, "--html: " + options.htmlFile + ": " + reason, err);
    }
  }
  // The order-aware modes answer whether something needs a look (a rule
  // not covered or undecided, a line hidden or repeated, a changed
  // decision); the classic and exact covers whether duplications were found.
  bool found = workspace.withinCount() > 0 || workspace.changeCount() > 0;
  if (options.modes.cover == Cover::list) {
    found = found || workspace.verdictCount(ListVerdictKind::notCovered) > 0 ||
            workspace.verdictCount(ListVerdictKind::undecided) > 0 ||
            workspace.verdictCount(ListVerdictKind::unreachable) > 0 ||
            workspace.verdictCount(ListVerdictKind::noSourceList) > 0;
  } else if (!options.modes.diff) {
    found = found || workspace.duplicationCount() > 0;
  }
  run.status = found ? kExitDuplicates : kExitClean;
  if (!options.quiet) {
    printWhatWasRead(options.sourcePath, workspace.sourceConfig, err);
    if (!workspace.single()) {
      printWhatWasRead(std::string(run.settingPath), workspace.settingConfig, err);
    }
  }
  if (options.failOnUnread && (workspace.sourceConfig.readCounts().anyNotRead() ||
                               workspace.settingConfig.readCounts().anyNotRead())) {
    err << "dorvex: access-list lines were not read\n";
    run.status = kExitUnread;
  }
  run.reportPath = frontEnd.shownPath;
  run.reportText = frontEnd.takeReport();
}

// The same, ending the pair in trouble when memory runs short: the pairs
// after it are checked all the same, each as in a run of its own.
void checkPair(const DriverOptions& options, std::string_view sourceText, ReportTarget& reports,
               CheckWorkspace& workspace, PairRun& run, std::ostream& err) {
  try {
    checkOnePair(options, sourceText, reports, workspace, run, err);
  } catch (const std::bad_alloc&) {
    trouble(run, kOutOfMemory, err);
  } catch (const std::length_error&) {
    trouble(run, kTooLarge, err);
  }
}

// A failed write to stdout, its final flush included, must not leave the
// caller believing it has the whole output.
int stdoutFailed(std::ostream& err) {
  const int error = errno;
  err << "dorvex: standard output: " << (error != 0 ? std::strerror(error) : "write error") << "\n";
  return kExitTrouble;
}

int check(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<std::string> settingPaths{options.settingPath};
  settingPaths.insert(settingPaths.end(), options.moreSettingPaths.begin(),
                      options.moreSettingPaths.end());
  if (options.format == "json" && !options.print.empty()) {
    err << "dorvex: --print does not go with --format json, which holds every text\n";
    return kExitTrouble;
  }
  if (options.format == "sarif" && !options.print.empty()) {
    err << "dorvex: --print does not go with --format sarif, which holds the findings\n";
    return kExitTrouble;
  }
  if (!options.cleanupFile.empty() && settingPaths.size() > 1) {
    err << "dorvex: --cleanup names the commands of one check, but " << settingPaths.size()
        << " setting configs are given\n";
    return kExitTrouble;
  }
  if (!options.htmlFile.empty() && settingPaths.size() > 1) {
    err << "dorvex: --html names the page of one check, but " << settingPaths.size()
        << " setting configs are given\n";
    return kExitTrouble;
  }
  if (!options.reportFile.empty() && settingPaths.size() > 1) {
    err << "dorvex: --report names the report of one setting config, but " << settingPaths.size()
        << " are given\n";
    return kExitTrouble;
  }
  // The source config is read once for all pairs; when it cannot be, each
  // pair ends in that trouble, told once.
  std::string sourceText, sourceProblem;
  const bool sourceLoaded = loadInput(options.sourcePath, sourceText, err, sourceProblem);
  if (!sourceLoaded) err << "dorvex: " << sourceProblem << "\n";

  static CheckWorkspace workspace;
  ReportTarget reports(options);
  std::unique_ptr<RunOutput> output = makeRunOutput(options, settingPaths.size(), out);
  int status = kExitClean;
  for (const std::string& settingPath : settingPaths) {
    PairRun run;
    run.sourcePath = options.sourcePath;
    run.settingPath = settingPath;
    if (sourceLoaded) {
      checkPair(options, sourceText, reports, workspace, run, err);
    } else {
      run.error = sourceProblem;
    }
    status = std::max(status, run.status);
    errno = 0;
    if (!output->pair(run, workspace)) return stdoutFailed(err);
  }
  errno = 0;
  if (!output->finish(status)) return stdoutFailed(err);
  return status;
}

}  // namespace

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
