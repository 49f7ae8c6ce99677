// dorvex [options] SOURCE SETTING [SETTING...]: checks the access lists of
// each setting config against those of the source config and writes the
// report files.
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/console_driver.h"
#include "cli/trace_command.h"
#include "dorvex_version.h"
#include "platform/report_file.h"

int main(int argc, char** argv) {
  dorvex::handleSignalsOfReportWrites();
  dorvex::DriverOptions options;
  CLI::App app{
      "Checks the access lists of a setting config against a source config: writes the report\n"
      "file Result<YYMMDDhhmmss>.txt and prints its path. Exit status: 0 no duplication,\n"
      "1 duplications found, 2 trouble, 3 (with --fail-on-unread) access-list lines not read.\n"
      "Several SETTINGs are each checked against SOURCE, with a report and a line on stdout\n"
      "each, and the highest of their exit statuses.",
      "dorvex"};
  app.set_version_flag("--version", std::string("dorvex ") + dorvex::kDorvexVersion);
  app.add_option("SOURCE", options.sourcePath, "source config file (the rules checked against)")
      ->required();
  std::vector<std::string> settingPaths;
  app.add_option("SETTING", settingPaths,
                 "setting config file (the rules checked); each further one is checked "
                 "against SOURCE as well, with a report of its own; none with --within");
  app.add_option("-o,--output-dir", options.outputDirectory,
                 "directory for the report file (default: the current directory)");
  app.add_option("--print", options.print, "also write this text to stdout")
      ->check(CLI::IsMember({"summary", "analysis", "details", "report", "findings"}));
  app.add_flag("-q,--quiet", options.quiet,
               "no progress lines and no counts of what was read on stderr");
  std::string syntax = "classic", cover = "classic";
  app.add_option("--syntax", syntax,
                 "statement language (default classic); full also reads running configurations")
      ->check(CLI::IsMember({"classic", "full"}));
  app.add_option("--cover", cover,
                 "cover test (default classic); exact: every packet of the setting rule "
                 "matched; list: decided alike by the whole source list, in order (with "
                 "--syntax full)")
      ->check(CLI::IsMember({"classic", "exact", "list"}));
  app.add_flag("--within", options.modes.within,
               "also each configuration's unreachable and redundant lines, list by list "
               "(the full syntax); with SOURCE alone, that one analysed on its own");
  app.add_flag("--diff", options.modes.diff,
               "also what SETTING (the new revision) changes from SOURCE (the old one): every "
               "pair of deciding lines whose decisions differ, with a packet; exit 1 when a "
               "decision changed (the full syntax)");
  app.add_flag("--fail-on-unread", options.failOnUnread,
               "exit 3 when a line that looks like an access-list statement was not read");

  // For scripts: the report's name or none, JSON, stdout without headers.
  // An empty name would leave the report under a name of the driver's
  // choosing, which no script that names its report expects.
  const CLI::Validator namesAFile(
      [](std::string& name) { return name.empty() ? std::string("names no file") : std::string(); },
      "FILE");
  CLI::Option* report =
      app.add_option("--report", options.reportFile,
                     "write the report to exactly this file, never replacing one (see --force)")
          ->check(namesAFile)
          ->excludes("--output-dir");
  app.add_flag("--force", options.replaceReport, "let --report replace an existing file")
      ->needs(report);
  app.add_flag("--no-report", options.noReport, "write no report file")
      ->excludes(report)
      ->excludes("--output-dir");
  app.add_option("--cleanup", options.cleanupFile,
                 "with --within: write to this file the configuration commands that remove, "
                 "list by list, the lines marked safe-to-remove=yes")
      ->check(namesAFile)
      ->needs("--within");
  app.add_option("--html", options.htmlFile,
                 "also write the check as one self-contained HTML page to this file: both "
                 "configurations line by line with their marks, each finding linked to its lines")
      ->check(namesAFile);
  app.add_option("--format", options.format,
                 "text (the default); json: one JSON document on stdout, holding every text; "
                 "sarif: the findings as one SARIF 2.1.0 log on stdout")
      ->check(CLI::IsMember({"text", "json", "sarif"}));
  app.add_flag("--print-raw", options.printRaw,
               "--print summary or analysis without the \"==> FILE <==\" header lines")
      ->needs("--print");
  std::string traceFlow;
  CLI::Option* trace =
      app.add_option("--trace", traceFlow,
                     "the line of each access list of SOURCE [SETTING...] that decides the flow "
                     "FLOW, e.g. \"tcp 10.1.1.1 1024 192.0.2.10 23\", and whether they agree "
                     "(the full syntax; no report)")
          ->type_name("FLOW")
          ->excludes("--within")
          ->excludes("--cleanup")
          ->excludes("--diff")
          ->excludes("--cover")
          ->excludes("--print")
          ->excludes(report)
          ->excludes("--no-report")
          ->excludes("--output-dir")
          ->excludes("--fail-on-unread")
          ->excludes("--html");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int status = app.exit(error);
    return status == 0 ? 0 : dorvex::kExitTrouble;
  }
  // Colour only on a terminal, and never when NO_COLOR is set.
  options.colour = dorvex::stdoutIsTerminal() && std::getenv("NO_COLOR") == nullptr;
  if (trace->count() > 0) {
    if (syntax != "full" && app.count("--syntax") > 0) {
      std::cerr << "dorvex: --trace reads lists as running configurations hold them: it needs "
                   "--syntax full\n";
      return dorvex::kExitTrouble;
    }
    if (options.format == "sarif") {
      std::cerr << "dorvex: --trace answers for one flow and finds nothing: it does not go with "
                   "--format sarif\n";
      return dorvex::kExitTrouble;
    }
    dorvex::TraceOptions traceOptions{
        traceFlow, {options.sourcePath}, options.format, options.quiet};
    traceOptions.configPaths.insert(traceOptions.configPaths.end(), settingPaths.begin(),
                                    settingPaths.end());
    return dorvex::runTrace(traceOptions, std::cout, std::cerr);
  }
  if (settingPaths.empty() && !options.modes.within) {
    // As the option parser says of a positional it requires.
    std::cerr << "SETTING is required\nRun with --help for more information.\n";
    return dorvex::kExitTrouble;
  }
  // The within analysis and the change review read lists as running
  // configurations hold them.
  for (const auto& [wanted, name] :
       {std::pair{options.modes.within, "--within"}, std::pair{options.modes.diff, "--diff"}}) {
    if (wanted && app.count("--syntax") == 0) syntax = "full";
    if (wanted && syntax != "full") {
      std::cerr << "dorvex: " << name
                << " reads lists as running configurations hold them: it needs --syntax full\n";
      return dorvex::kExitTrouble;
    }
  }
  options.modes.syntax = syntax == "full" ? dorvex::Syntax::full : dorvex::Syntax::classic;
  options.modes.cover = cover == "list"    ? dorvex::Cover::list
                        : cover == "exact" ? dorvex::Cover::exact
                                           : dorvex::Cover::classic;
  if (options.modes.cover == dorvex::Cover::list && options.modes.syntax != dorvex::Syntax::full) {
    std::cerr << "dorvex: --cover list reads lists as running configurations hold them: it "
                 "needs --syntax full\n";
    return dorvex::kExitTrouble;
  }
  if (!settingPaths.empty()) {
    options.settingPath = settingPaths.front();
    options.moreSettingPaths.assign(settingPaths.begin() + 1, settingPaths.end());
  }
  return dorvex::runDriver(options, std::cout, std::cerr);
}
