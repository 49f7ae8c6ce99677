// TextWriter: the one way output text is written. It appends each piece
// straight into a TextCursor's buffer, with no scratch copy in between, and
// checks the room for each piece itself: the buffer grows as the cursor's
// appends grow it, so no caller ever works out how long its text may get.
// A piece that cannot be had throws as the cursor's growth does
// (std::bad_alloc, or std::length_error past the largest text); the pieces
// before it are then in the text, the piece itself is not.
//
// The pieces are taken as appended (the cursor's line and column brought up
// to date) by finish() or when the writer goes; until then the cursor must
// not be used by anything else.
//
// A writer made without a cursor discards every piece unformatted: for a
// text nobody will read, such as the annotation of a console check. A piece
// written while the cursor has no buffer is dropped, as the cursor's own
// operations change nothing then.
#ifndef DORVEX_TEXT_TEXT_WRITER_H_
#define DORVEX_TEXT_TEXT_WRITER_H_

#include <cassert>
#include <cstddef>
#include <cstring>
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
    if (!out || text.empty()) return *this;
    // Most pieces are a word or a few bytes of a literal, handled here,
    // where the compiler knows a literal's bytes: both searches and the
    // copy then come down to a few moves.
    if (text.size() > kShortPiece || room(kShortPiece) == nullptr) return longText(text);
    const void* nul = std::memchr(text.data(), '\0', text.size());
    const std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
    std::memcpy(next, text.data(), n);
    if (std::memchr(text.data(), '\n', n)) lineFeeds += countLineFeeds(std::string_view(next, n));
    next += n;
    return *this;
  }
  // `line` as it is, searched for nothing: the caller knows it holds no NUL
  // and no LF byte, as a line of a TextCursor's text does. The summary
  // copies every input line this way; searching them was a tenth of its
  // time.
  TextWriter& line(std::string_view line) {
    assert(line.find('\0') == std::string_view::npos && line.find('\n') == std::string_view::npos);
    if (!out || line.empty()) return *this;
    char* place = room(line.size());
    if (!place && !(place = grow(line.size()))) return *this;
    std::memcpy(place, line.data(), line.size());
    next = place + line.size();
    return *this;
  }
  // "\r\n", the line end of every text Dorvex writes, without a search.
  TextWriter& lineEnd() {
    if (!out) return *this;
    char* place = room(2);
    if (!place && !(place = grow(2))) return *this;
    place[0] = '\r';
    place[1] = '\n';
    next = place + 2;
    ++lineFeeds;
    if (lineObserver) lineObserver(*out, std::string_view(start, next - start));
    return *this;
  }
  // A decimal number ("%d").
  TextWriter& number(long long value) { return padded(value, 1); }
  // A decimal number zero-padded to at least `width` digits ("%03d"; the
  // sign counts towards the width).
  TextWriter& padded(long long value, int width) {
    // The parser writes numbers into a discarded annotation on every line
    // of a console check: they cost no call.
    if (out) writeNumber(value, width);
    return *this;
  }
  // An IPv4 value as "%d.%d.%d.%d".
  TextWriter& quad(const unsigned char octets[4]) {
    if (out) writeQuad(octets);
    return *this;
  }

  // Told of every line a writer ends: the cursor written to and what the
  // writer has put into it since it last took its pieces as appended,
  // which ends with that line. The Windows program runs a check on its
  // only thread and takes its turns at the window loop here; none is set
  // by default, and a writer that discards calls none.
  using LineObserver = void (*)(const TextCursor& out, std::string_view written);
  static void observeLines(LineObserver observer) { lineObserver = observer; }

  // Takes what was written as appended. Later pieces start a new run at the
  // cursor's position then, so the cursor may be used in between.
  void finish();

  // Bytes of the cursor's text so far, the pieces not yet taken included:
  // where the next piece goes, for a cursor that is only appended to. 0
  // for a writer that discards.
  std::size_t offset() const {
    if (!out) return 0;
    const std::string_view text = out->view();
    return next ? static_cast<std::size_t>(next - text.data()) : text.size();
  }

 private:
  static constexpr std::size_t kShortPiece = 16;
  // The next `count` bytes' place, or nullptr when the room set aside is
  // smaller.
  char* room(std::size_t count) {
    return static_cast<std::size_t>(end - next) >= count ? next : nullptr;
  }
  // Takes the run so far as appended and sets aside all the room the
  // cursor has, at least `count` bytes (growing it as needed); returns the
  // place of the next piece, or nullptr when the cursor has no buffer. Each
  // piece asks for its exact size, so a text is refused as too large only
  // when it would really pass the limit.
  char* grow(std::size_t count);
  TextWriter& longText(std::string_view text);
  void writeNumber(long long value, int width);
  void writeQuad(const unsigned char octets[4]);

  static inline LineObserver lineObserver = nullptr;

  TextCursor* out;
  char* start = nullptr;  // room set aside in out's buffer: [start, end)
  char* next = nullptr;   // the written bytes are [start, next)
  char* end = nullptr;    // (all three nullptr outside a run)
  // LF bytes in [start, next), counted piece by piece: only literal pieces
  // hold them, so finish() need not look at the whole run again.
  std::size_t lineFeeds = 0;
};

}  // namespace dorvex

#endif  // DORVEX_TEXT_TEXT_WRITER_H_
