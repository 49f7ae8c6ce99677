// The configuration parser on one text, in each syntax: reset, checkConfig,
// then the summary listing of the text. Besides the sanitizers it checks
// what the later stages rely on: one summary line per text line, entries in
// line order with at most one per line, and read counts that add up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "workspace/check_workspace.h"

namespace {

// Lines of a text as the summary listing counts them: a final line without
// an LF counts, a final LF adds no line, and an empty text is one line.
int countLines(std::string_view text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  if (text.empty() || text.back() != '\n') ++lines;
  return lines;
}

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One workspace for the whole run, as in the program: every input also
  // tests that a reset leaves nothing of the input before.
  static dorvex::CheckWorkspace workspace;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));

  for (dorvex::Syntax syntax : {dorvex::Syntax::classic, dorvex::Syntax::full}) {
    dorvex::AclConfig& config = workspace.sourceConfig;
    require(config.reset(text, true, syntax));
    require(config.checkConfig());
    require(workspace.sourceSummary.allocate(64));
    require(workspace.writeSummary(config, workspace.sourceSummary));

    int lines = countLines(text);
    std::string_view summary = workspace.sourceSummary.view();
    int summaryLines = 1;
    for (char c : summary) summaryLines += c == '\n';
    require(summaryLines == lines);

    int lastLine = 0;
    int errors = 0;
    for (int k = 0; k < config.entryCount(); ++k) {
      const dorvex::AclEntry* entry = config.entryAt(k);
      require(entry->column > lastLine && entry->column <= lines);
      lastLine = entry->column;
      errors += (entry->flags & dorvex::kErrorBit) ? 1 : 0;
      // Only the full syntax leaves lines unread.
      require(syntax == dorvex::Syntax::full || !(entry->flags & dorvex::kNotReadBit));
    }
    const dorvex::ReadCounts& read = config.readCounts();
    require(read.notRead <= errors && read.unsupportedNotRead <= read.unsupported);
    require(read.rules + read.notRead + read.unsupportedNotRead <= config.entryCount());
    require(!text.empty() || config.annotationText().empty());
  }
  return 0;
}
