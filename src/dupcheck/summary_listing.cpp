#include "dupcheck/summary_listing.h"

#include <cstring>
#include <string_view>

#include "text/text_writer.h"

namespace dorvex {

namespace {

constexpr struct {
  unsigned bit;
  char letter;
} kMarks[] = {{kErrorBit, 'E'}, {kUnsupportedBit, 'U'}, {kDuplicateBit, 'D'}, {kOptionBit, 'O'}};

// The mark field (":----:" with the letters of the bits set) of every
// combination of the four bits, worked out once rather than on every line.
struct MarkFields {
  static constexpr std::size_t kSize = 6;
  char field[16][kSize];
  constexpr MarkFields() : field() {
    for (unsigned combination = 0; combination < 16; ++combination) {
      field[combination][0] = ':';
      for (int k = 0; k < 4; ++k) {
        field[combination][k + 1] = (combination >> k) & 1 ? kMarks[k].letter : '-';
      }
      field[combination][5] = ':';
    }
  }
  // The field of `flags`.
  std::string_view of(unsigned flags) const {
    unsigned combination = 0;
    for (int k = 0; k < 4; ++k) combination |= (flags & kMarks[k].bit) ? 1u << k : 0u;
    return std::string_view(field[combination], kSize);
  }
};
constexpr MarkFields kMarkFields;

}  // namespace

std::string_view markLetters(unsigned flags) { return kMarkFields.of(flags).substr(1, 4); }

void writeSummary(AclConfig& config, TextCursor& output) {
  TextCursor& input = config.inputText();
  const std::string_view text = input.view();
  const char* p = text.data();
  const char* const end = p + text.size();
  const int entryCount = config.entryCount();
  int entryIndex = 0;
  TextWriter out(&output);
  // A line is listed when text is left for it; the first always is, so an
  // LF that ends the text starts no line of its own.
  for (int lineNo = 1; p != end || lineNo == 1; ++lineNo) {
    const char* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* endOfLine = lf ? lf : end;
    if (lineNo > 1) out.lineEnd();
    unsigned flags = 0;
    const AclEntry* entry = entryIndex < entryCount ? config.entryAt(entryIndex) : nullptr;
    if (entry && entry->column == lineNo) {
      flags = entry->flags;
      ++entryIndex;
    }
    out.padded(lineNo, 3).line(kMarkFields.of(flags));
    out.line(std::string_view(p, static_cast<std::size_t>(endOfLine - p)));
    p = lf ? lf + 1 : end;
  }
  out.finish();
  // The input ends where reading every line would have left it.
  char c = '\0';
  input.peekChar(c);
  if (c != '\0') input.advance(text.size());
}

}  // namespace dorvex
