#include "cli/run_output.h"

#include <new>
#include <ostream>

#include "cli/findings_view.h"
#include "cli/json_output.h"
#include "cli/sarif_output.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// Writes `text` to stdout; false once stdout has failed.
bool printText(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return out.good();
}

// A text of the side-by-side views, ended by a line break when it has none.
bool printViewText(std::ostream& out, std::string_view text) {
  return printText(out, text) && ((!text.empty() && text.back() == '\n') || printText(out, "\r\n"));
}

bool printHeader(std::ostream& out, std::string_view path) {
  return printText(out, "==> ") && printText(out, escapedName(path)) && printText(out, " <==\n");
}

// The text --print chose, of a pair that was checked.
bool printChosenText(const DriverOptions& options, const PairRun& run,
                     const CheckWorkspace& workspace, std::ostream& out) {
  if (options.print == "summary" || options.print == "analysis") {
    ResultView view = options.print == "analysis" ? ResultView::analysis : ResultView::summary;
    // One configuration alone has one text.
    if (options.printRaw) {
      return printViewText(out, workspace.leftText(view)) &&
             (workspace.single() || printViewText(out, workspace.rightText(view)));
    }
    return printHeader(out, run.sourcePath) && printViewText(out, workspace.leftText(view)) &&
           (workspace.single() || (printText(out, "\n") && printHeader(out, run.settingPath) &&
                                   printViewText(out, workspace.rightText(view))));
  }
  if (options.print == "details") {
    // The within findings and the changes follow; each is empty unless
    // --within or --diff is given.
    return printText(out, workspace.duplicationDetails.view()) &&
           printText(out, workspace.withinDetails.view()) &&
           printText(out, workspace.changeDetails.view());
  }
  if (options.print == "report") return printText(out, run.reportText);
  if (options.print == "findings") {
    return printText(out, findingsView(workspace, run.sourcePath, run.settingPath, options.colour));
  }
  return true;
}

// One setting config: the report path, then the chosen text; nothing after
// trouble, which stderr tells.
class SinglePairOutput : public RunOutput {
 public:
  SinglePairOutput(const DriverOptions& options, std::ostream& out) : options(options), out(out) {}

  bool pair(const PairRun& run, CheckWorkspace& workspace) override {
    if (!run.checked) return true;
    if (!run.reportPath.empty() && !(printText(out, run.reportPath) && printText(out, "\n"))) {
      return false;
    }
    return printChosenText(options, run, workspace, out) && out.flush();
  }
  bool finish(int) override { return static_cast<bool>(out.flush()); }

 private:
  const DriverOptions& options;
  std::ostream& out;
};

// Several setting configs: a line per pair, then the chosen text.
class PairLinesOutput : public RunOutput {
 public:
  PairLinesOutput(const DriverOptions& options, std::ostream& out) : options(options), out(out) {}

  bool pair(const PairRun& run, CheckWorkspace& workspace) override {
    std::string line = escapedName(run.settingPath);
    line += "\tstatus=" + std::to_string(run.status);
    if (run.checked) {
      const MarkCounts counts = countMarks(workspace.settingConfig);
      line += "\tpairs=" + std::to_string(workspace.duplicationCount());
      line += "\trules=" + std::to_string(counts.rulesRead);
      line += "\tE=" + std::to_string(counts.error);
      line += "\tU=" + std::to_string(counts.unsupported);
      line += "\tD=" + std::to_string(counts.duplicate);
      line += "\tO=" + std::to_string(counts.option);
      // The order-aware modes' counts, after the classic ones.
      const CheckModes& modes = workspace.modes();
      if (modes.cover == Cover::list) {
        for (const auto& [kind, name] : {std::pair{ListVerdictKind::notCovered, "not-covered"},
                                         {ListVerdictKind::undecided, "undecided"},
                                         {ListVerdictKind::unreachable, "unreachable"},
                                         {ListVerdictKind::noSourceList, "no-source-list"}})
          line += std::string("\t") + name + "=" + std::to_string(workspace.verdictCount(kind));
      }
      if (modes.within) line += "\twithin=" + std::to_string(workspace.withinCount());
      if (modes.diff) line += "\tchanges=" + std::to_string(workspace.changeCount());
      line += "\treport=" + escapedName(run.reportPath);
    } else {
      line += "\terror=" + escapedName(run.error);
    }
    line += '\n';
    return printText(out, line) &&
           (!run.checked || printChosenText(options, run, workspace, out)) && out.flush();
  }
  bool finish(int) override { return static_cast<bool>(out.flush()); }

 private:
  const DriverOptions& options;
  std::ostream& out;
};

// One JSON document, written as the pairs end so that a run over many
// setting configs never holds more than one pair's lines:
//   {"program":...,"checks":[
//   {entry of the first pair},
//   {entry of the second pair}
//   ],"exit_status":N}
class JsonDocumentOutput : public RunOutput {
 public:
  JsonDocumentOutput(CheckModes modes, std::ostream& out) : modes(modes), json(out) {}

  bool pair(const PairRun& run, CheckWorkspace& workspace) override {
    if (started) {
      json.raw(",\n");
    } else {
      writeDocumentStart(json, modes);
    }
    started = true;
    if (run.checked) {
      writeCheck(json, workspace, run.sourcePath, run.settingPath, run.reportPath, run.status);
    } else {
      writeFailedCheck(json, run.sourcePath, run.settingPath, run.error);
    }
    return json.flush();
  }

  bool finish(int status) override {
    if (!started) writeDocumentStart(json, modes);
    json.raw("\n],\"exit_status\":");
    json.number(status);
    json.raw("}\n");
    return json.flush();
  }

 private:
  CheckModes modes;
  JsonWriter json;
  bool started = false;
};

}  // namespace

MarkCounts countMarks(const AclConfig& config) {
  MarkCounts counts;
  for (int k = 0; k < config.entryCount(); ++k) {
    const AclEntry& entry = *config.entryAt(k);
    const unsigned flags = entry.flags;
    counts.rulesRead += isReadRule(entry) ? 1 : 0;
    counts.error += (flags & kErrorBit) != 0;
    counts.unsupported += (flags & kUnsupportedBit) != 0;
    counts.duplicate += (flags & kDuplicateBit) != 0;
    counts.option += (flags & kOptionBit) != 0;
  }
  return counts;
}

std::unique_ptr<RunOutput> makeRunOutput(const DriverOptions& options, std::size_t pairCount,
                                         std::ostream& out) {
  if (options.format == "json") return std::make_unique<JsonDocumentOutput>(options.modes, out);
  if (options.format == "sarif") return makeSarifOutput(out);
  if (pairCount > 1) return std::make_unique<PairLinesOutput>(options, out);
  return std::make_unique<SinglePairOutput>(options, out);
}

}  // namespace dorvex
