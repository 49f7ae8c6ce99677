// WordRow: the words of one statement line, as the statement parser splits
// them and the operand parsers read them: views into the configuration text,
// which must outlive the row's use. Positions count from 0 at the line's
// first word; every position past the last word reads as the empty word, so
// a parser may look one word past the end of what it expects without a
// bounds test of its own.
//
// Words are split at blanks and carriage returns; a tab is part of a word.
// The dialect decides the limits of a line:
// - classic: a word holds at most kWordSize - 1 bytes, and the rest of a
//   longer one becomes the next word; a line of kMaxWords words or more is
//   incomplete and keeps its first kMaxWords words;
// - full: every word is whole, whatever its length, and a line has as many
//   words as it holds.
#ifndef DORVEX_PARSER_WORD_ROW_H_
#define DORVEX_PARSER_WORD_ROW_H_

#include <cstddef>
#include <string_view>
#include <vector>

#include "parser/check_modes.h"
#include "text/text_cursor.h"

namespace dorvex {

// Most words of one statement line in the classic dialect.
constexpr int kMaxWords = 15;

class WordRow {
 public:
  std::string_view view(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < words.size()
               ? words[static_cast<std::size_t>(index)]
               : std::string_view();
  }
  bool isEmpty(int index) const { return view(index).empty(); }
  int size() const { return static_cast<int>(words.size()); }
  // The whole line the row was split from, without its LF.
  std::string_view line() const { return whole; }

  // Splits `line` (without its LF) into the row in `syntax`; false iff the
  // line is incomplete, as for splitFrom().
  bool split(std::string_view line, Syntax syntax);
  // Edits of the row, for the full syntax's listings: drops the words from
  // `index` on; removes `count` words at `index`; sets the word at `index`.
  void truncate(int index) {
    if (index >= 0 && index < size()) words.resize(static_cast<std::size_t>(index));
  }
  void erase(int index, int count) {
    if (index < 0 || count <= 0 || index + count > size()) return;
    words.erase(words.begin() + index, words.begin() + index + count);
  }
  void set(int index, std::string_view word) {
    if (index >= 0 && index < size()) words[static_cast<std::size_t>(index)] = word;
  }

  // Splits the current line of `input` into the row in `syntax` and moves
  // `input` to column 1 of the next line (or the end of the text). False
  // iff the line is incomplete: a classic line of kMaxWords words or more.
  bool splitFrom(TextCursor& input, Syntax syntax);

 private:
  std::vector<std::string_view> words;
  std::string_view whole;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_WORD_ROW_H_
