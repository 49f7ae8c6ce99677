// LineFormatter: the scratch line in which one piece of output text is put
// together before it is appended to a TextCursor. Its storage is reused from
// piece to piece and grows to the longest piece, so a piece of any length
// (a quoted 254-byte word, a long list name) is appended whole.
#ifndef DORVEX_TEXT_LINE_FORMAT_H_
#define DORVEX_TEXT_LINE_FORMAT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_cursor.h"

namespace dorvex {

// Writes `value` in decimal, zero-padded to at least `width` digits (at most
// 10), at `out`, two digits at a time; returns the number of bytes (at most
// 10). For numbers written by the million, where "%d" would cost a call.
std::size_t writeDecimal(unsigned value, int width, char* out);

class LineFormatter {
 public:
  LineFormatter() : storage(256, '\0') {}

  // Adds `text` up to its first NUL byte ("%s").
  LineFormatter& text(std::string_view text) {
    if (discarding) return *this;
    // Most pieces are a word or a few bytes of a literal: copied here, where
    // a literal's length and bytes are known to the compiler.
    if (text.size() > kShortPiece || length + kShortPiece > storage.size()) return longText(text);
    char* out = storage.data() + length;
    std::size_t n = 0;
    for (; n < text.size() && text[n] != '\0'; ++n) out[n] = text[n];
    length += n;
    return *this;
  }
  // Adds a decimal number ("%d").
  LineFormatter& number(long long value) { return padded(value, 1); }
  // Adds a decimal number zero-padded to at least `width` digits ("%03d").
  LineFormatter& padded(long long value, int width) {
    if (discarding) return *this;
    // The numbers of the check (line numbers, list numbers, ports) are
    // small and not negative: their digits two at a time.
    if (value < 0 || value >= 100000000 || width > 8 || length + 8 > storage.size()) {
      return longNumber(value, width);
    }
    length += writeDecimal(static_cast<unsigned>(value), width, storage.data() + length);
    return *this;
  }
  // Adds an IPv4 value as "%d.%d.%d.%d".
  LineFormatter& quad(const unsigned char octets[4]) { return discarding ? *this : writeQuad(octets); }

  // Appends the piece to `out` and empties the scratch line. False when the
  // piece is empty, is discarded, or `out` has no buffer.
  bool appendTo(TextCursor& out);

  std::string_view current() const { return std::string_view(storage.data(), length); }
  void clear() { length = 0; }

  // With `discard`, every piece is dropped as it comes: the pieces are
  // neither formatted nor appended. For a caller whose text nobody will read.
  void discardPieces(bool discard) {
    discarding = discard;
    length = 0;
  }

 private:
  static constexpr std::size_t kShortPiece = 16;
  LineFormatter& longText(std::string_view text);
  LineFormatter& longNumber(long long value, int width);
  LineFormatter& writeQuad(const unsigned char octets[4]);
  // Room for `count` more bytes; returns where they go.
  char* room(std::size_t count);

  // The piece is the first `length` bytes; the rest is room. Pieces are
  // written byte by byte rather than through std::string's appends: most
  // are a few bytes long, and the check formats some millions of them.
  std::string storage;
  std::size_t length = 0;
  bool discarding = false;
};

}  // namespace dorvex

#endif  // DORVEX_TEXT_LINE_FORMAT_H_
