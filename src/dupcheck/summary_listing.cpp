// The summary listing: every line of a configuration with its number and the
// marks E, U, D, O of the entry that came from it.
#include <cstring>

#include "workspace/check_workspace.h"

namespace dorvex {

namespace {

constexpr struct {
  unsigned bit;
  char letter;
} kMarks[] = {{kErrorBit, 'E'}, {kUnsupportedBit, 'U'}, {kDuplicateBit, 'D'}, {kOptionBit, 'O'}};

// The mark field ("----:" with the letters of the bits set) of every
// combination of the four bits, worked out once rather than on every line.
struct MarkFields {
  char field[16][5];
  constexpr MarkFields() : field() {
    for (unsigned combination = 0; combination < 16; ++combination) {
      for (int k = 0; k < 4; ++k) {
        field[combination][k] = (combination >> k) & 1 ? kMarks[k].letter : '-';
      }
      field[combination][4] = ':';
    }
  }
  // The field of `flags`.
  const char* of(unsigned flags) const {
    unsigned combination = 0;
    for (int k = 0; k < 4; ++k) combination |= (flags & kMarks[k].bit) ? 1u << k : 0u;
    return field[combination];
  }
};
constexpr MarkFields kMarkFields;

}  // namespace

bool CheckWorkspace::writeSummary(AclConfig& config, TextCursor& output) {
  TextCursor& input = config.inputText();
  // The listing is written straight into `output`, line by line, and taken
  // as appended once: it is about as long as the text, and putting each
  // line together in the scratch line first would copy it twice.
  std::string_view text = input.view();
  // After the parse the input stands at its end, on its last line.
  char c = '\0';
  input.peekChar(c);
  std::size_t column = 0, lastLine = 0;
  input.getPosition(column, lastLine);
  std::size_t lines = c == '\0' ? static_cast<std::size_t>(lastLine) : 1 + countLineFeeds(text);
  // Each line of the text gains at most a line break, a number of up to 10
  // digits, a colon and the mark field.
  char* const start = output.appendRoom(text.size() + lines * (2 + 10 + 1 + 5));
  if (!start) return true;
  char* out = start;
  const char* p = text.data();
  const char* const end = p + text.size();
  const int entryCount = config.entryCount();
  int entryIndex = 0;
  int listed = 0;
  // A line is listed when text is left for it; the first always is, so an
  // LF that ends the text starts no line of its own.
  for (int lineNo = 1; p != end || lineNo == 1; ++lineNo) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* lineEnd = lf ? lf : end;
    if (lineNo > 1) {
      *out++ = '\r';
      *out++ = '\n';
    }
    // The number, zero-padded to three digits ("%03d").
    char digits[10];
    int count = 0;
    for (unsigned n = static_cast<unsigned>(lineNo); n != 0 || count < 3; n /= 10) {
      digits[count++] = static_cast<char>('0' + n % 10);
    }
    while (count > 0) *out++ = digits[--count];
    *out++ = ':';
    const char* marks = kMarkFields.field[0];
    const AclEntry* entry = entryIndex < entryCount ? config.entryAt(entryIndex) : nullptr;
    if (entry && entry->column == lineNo) {
      marks = kMarkFields.of(entry->flags);
      ++entryIndex;
    }
    std::memcpy(out, marks, 5);
    out += 5;
    std::memcpy(out, p, static_cast<std::size_t>(lineEnd - p));
    out += lineEnd - p;
    p = lf ? lf + 1 : end;
    listed = lineNo;
  }
  // Every listing line but the first starts with a line break.
  output.appendWritten(static_cast<std::size_t>(out - start), static_cast<std::size_t>(listed - 1));
  // The input ends where reading every line would have left it.
  if (c != '\0') input.advance(static_cast<int>(text.size()));
  return true;
}

}  // namespace dorvex
