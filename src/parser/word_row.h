// WordRow: the words of one statement line, as the statement parser splits
// them and the operand parsers read them. Positions count from 0 at the
// line's first word; every position from the line's last word on, up to and
// past kMaxWords, reads as the empty word, so a parser may look one word
// past the end of what it expects without a bounds test of its own.
#ifndef DORVEX_PARSER_WORD_ROW_H_
#define DORVEX_PARSER_WORD_ROW_H_

#include <cstddef>
#include <string_view>

#include "text/text_cursor.h"

namespace dorvex {

// Most words of one statement line.
constexpr int kMaxWords = 15;

class WordRow {
 public:
  const char* at(int index) const {
    return index >= 0 && index <= kMaxWords ? slots + kWordSize * index : "";
  }
  // The word at `index` as a view, with the length that splitFrom()
  // measured, so that no word is measured again.
  // REQUIRES: the row was last filled by splitFrom().
  std::string_view view(int index) const {
    return index >= 0 && index <= kMaxWords
               ? std::string_view(slots + kWordSize * index, static_cast<std::size_t>(sizes[index]))
               : std::string_view();
  }
  bool isEmpty(int index) const { return at(index)[0] == '\0'; }
  // The kMaxWords + 1 slots of kWordSize bytes, for TextCursor::splitLine().
  char* data() { return slots; }
  // Splits the current line of `input` into the row (TextCursor::splitLine
  // with kMaxWords), keeping the word lengths for view(). False iff the line
  // has kMaxWords words or more.
  bool splitFrom(TextCursor& input, const char* separators) {
    return input.splitLine(slots, sizes, kMaxWords, separators);
  }

 private:
  char slots[kWordSize * (kMaxWords + 1)] = {};
  int sizes[kMaxWords + 1] = {};
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_WORD_ROW_H_
