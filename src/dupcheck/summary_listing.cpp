// The summary listing: every line of a configuration with its number and the
// marks E, U, D, O of the entry that came from it.
#include "workspace/check_workspace.h"

namespace dorvex {

namespace {

constexpr struct {
  unsigned bit;
  char letter;
} kMarks[] = {{kErrorBit, 'E'}, {kUnsupportedBit, 'U'}, {kDuplicateBit, 'D'}, {kOptionBit, 'O'}};

}  // namespace

bool CheckWorkspace::writeSummary(AclConfig& config, TextCursor& output) {
  TextCursor& input = config.inputText();
  input.seek(1, 1);
  // Lines are read whole, however long, so the numbering always counts the
  // lines of the text and the marks stay on the lines of their rules.
  std::string_view line;
  input.readWholeLine(line);
  char c = '\0';
  input.peekChar(c);
  int entryIndex = 0;
  for (int lineNo = 1; c != '\0' || lineNo == 1; ++lineNo) {
    if (lineNo > 1) scratchLine.text("\r\n");
    scratchLine.padded(lineNo, 3).text(":");
    const AclEntry* entry = entryIndex < config.entryCount() ? config.entryAt(entryIndex) : nullptr;
    if (entry && entry->column == lineNo) {
      for (const auto& mark : kMarks) {
        scratchLine.text((entry->flags & mark.bit) ? std::string_view(&mark.letter, 1) : "-");
      }
      scratchLine.text(":");
      ++entryIndex;
    } else {
      scratchLine.text("----:");
    }
    scratchLine.appendTo(output);
    output.append(line);
    input.peekChar(c);
    input.readWholeLine(line);
  }
  return true;
}

}  // namespace dorvex
