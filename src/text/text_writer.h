// TextWriter: the one way output text is written. It appends each piece
// straight into a TextCursor's buffer, with no scratch copy in between, and
// checks the room for each piece itself: the buffer grows as the cursor's
// appends grow it, so no caller ever works out how long its text may get.
//
// The pieces are taken as appended (the cursor's line and column brought up
// to date) by finish() or when the writer goes; until then the cursor must
// not be used by anything else.
//
// A writer made without a cursor discards every piece unformatted: for a
// text nobody will read, such as the annotation of a console check.
#ifndef DORVEX_TEXT_TEXT_WRITER_H_
#define DORVEX_TEXT_TEXT_WRITER_H_

#include <cstddef>
#include <string_view>

#include "text/text_cursor.h"

namespace dorvex {

class TextWriter {
 public:
  // Writes at the position of `out` (the end of its text when it was only
  // ever appended to); nullptr discards.
  explicit TextWriter(TextCursor* out) : out(out) {}
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;
  ~TextWriter() { finish(); }

  // `text` up to its first NUL byte ("%s").
  TextWriter& text(std::string_view text) {
    if (!out) return *this;
    // Most pieces are a word or a few bytes of a literal: copied byte by
    // byte here, where the compiler knows a literal's length.
    if (text.size() > kShortPiece || room(kShortPiece) == nullptr) return longText(text);
    std::size_t n = 0;
    for (; n < text.size() && text[n] != '\0'; ++n) next[n] = text[n];
    next += n;
    return *this;
  }
  // A decimal number ("%d").
  TextWriter& number(long long value) { return padded(value, 1); }
  // A decimal number zero-padded to at least `width` digits ("%03d"; the
  // sign counts towards the width).
  TextWriter& padded(long long value, int width);
  // An IPv4 value as "%d.%d.%d.%d".
  TextWriter& quad(const unsigned char octets[4]);

  // Takes what was written as appended. Later pieces start a new run.
  void finish();

 private:
  static constexpr std::size_t kShortPiece = 16;
  // The next `count` bytes' place, or nullptr when the room set aside is
  // smaller (room() then sets more aside for a long piece).
  char* room(std::size_t count) {
    return static_cast<std::size_t>(end - next) >= count ? next : nullptr;
  }
  // Sets aside room for at least `count` more bytes and returns their place.
  char* grow(std::size_t count);
  TextWriter& longText(std::string_view text);

  TextCursor* out;
  char* start = nullptr;  // room set aside in out's buffer: [start, end)
  char* next = nullptr;   // the written bytes are [start, next)
  char* end = nullptr;
};

}  // namespace dorvex

#endif  // DORVEX_TEXT_TEXT_WRITER_H_
