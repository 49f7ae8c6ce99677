// The summary listing: every line of a configuration with its number and the
// marks E, U, D, O of the entry that came from it.
#include <algorithm>

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
  // Room for the whole listing at once: each line of the text gains at most
  // a line break, a number of up to 10 digits and the mark field.
  std::string_view text = input.view();
  std::size_t lines = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  int written = 0;
  output.length(written);
  output.reserve(static_cast<std::size_t>(written) + text.size() + lines * (2 + 10 + 6));
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
    char marks[] = "----:";
    if (entry && entry->column == lineNo) {
      for (int k = 0; k < 4; ++k) {
        if (entry->flags & kMarks[k].bit) marks[k] = kMarks[k].letter;
      }
      ++entryIndex;
    }
    // The whole listing line is appended at once.
    scratchLine.text(std::string_view(marks, 5)).text(line).appendTo(output);
    input.peekChar(c);
    input.readWholeLine(line);
  }
  return true;
}

}  // namespace dorvex
