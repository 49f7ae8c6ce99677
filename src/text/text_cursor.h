// TextCursor: the one text type of Dorvex. It owns a NUL-terminated 8-bit
// text and a position in it, held both as a byte offset (pos) and as a 1-based
// line and column. Bytes are never converted: Shift-JIS and any other 8-bit
// text passes through untouched, and columns count bytes.
//
// Counting rules used by every operation that moves: an LF byte starts a new
// line (the byte after it is column 1 of the next line); every other byte,
// CR included, takes one column.
//
// Input use: loadText() copies a configuration text, which is then read line
// by line (splitLine). Output use: allocate() gives an empty buffer that is
// only appended to, usually through a TextWriter. An output buffer grows when
// an append would not fit, so no text is ever cut and nothing is written past
// the storage. The text always ends in a NUL byte; nothing past it is ever
// read, so a buffer need not be zero-filled, and allocate() keeps one that is
// large enough.
//
// Sizes: every position, length, line and column is a std::size_t, so a text
// may run to whatever the platform can address. When a buffer cannot be had,
// the cursor throws, and the text and position stay as they were:
// - a failed allocation throws std::bad_alloc;
// - a text that would need a buffer larger than the largest object the
//   platform can address (kMaxTextCapacity bytes: 2 GiB less one on a 32-bit
//   build) throws std::length_error ("text too large"), before any size can
//   wrap.
// Nothing else is thrown. Every allocation of a check fails the same way, and
// the check as a whole catches both at its one boundary.
//
// Apart from loadText() and allocate(), which give it one, every operation
// returns false at once, changing nothing, when the cursor has no buffer
// (parseDecimal and parseDottedQuad excepted: they look at their argument
// only).
#ifndef DORVEX_TEXT_TEXT_CURSOR_H_
#define DORVEX_TEXT_TEXT_CURSOR_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace dorvex {

// Size of one word slot of a splitLine() word array; a word holds at most
// kWordSize - 1 bytes.
constexpr int kWordSize = 255;

// The largest buffer of a cursor in bytes, the terminating NUL included:
// pointer differences over a larger object would overflow.
constexpr std::size_t kMaxTextCapacity = PTRDIFF_MAX;

// The number of LF bytes in `text`.
std::size_t countLineFeeds(std::string_view text);

// The capacity a buffer of `capacity` bytes grows to when `extra` more bytes
// and the terminator must fit after offset `pos`: double (so that a text
// appended piece by piece is moved a bounded number of times), or what the
// bytes need when that is more, but never more than `limit`. 0 iff
// pos + extra + 1 would pass `limit` (no sum here wraps, whatever the
// arguments). The cursor's growth rule; used by tests.
// REQUIRES: the result is only asked for when the bytes do not fit already.
std::size_t grownCapacity(std::size_t capacity, std::size_t pos, std::size_t extra,
                          std::size_t limit);

class TextCursor {
 public:
  TextCursor() = default;
  TextCursor(const TextCursor&) = delete;
  TextCursor& operator=(const TextCursor&) = delete;
  virtual ~TextCursor() = default;

  // The buffer becomes a copy of `text` up to its first NUL byte; the
  // position returns to line 1, column 1. Returns true.
  bool loadText(std::string_view text);

  // The text becomes empty, with room for `size` bytes (at least one, for
  // the terminator); the position returns to line 1, column 1. Returns true.
  bool allocate(std::size_t size);

  // Writes `text` up to its first NUL byte at the position and moves past
  // it. The buffer grows when the text and a terminator would not fit.
  // Returns false for an empty text, which changes nothing.
  bool append(std::string_view text);
  // For a text written in place (TextWriter): room for `size` more bytes at
  // the position (the buffer grows as append() would), or nullptr without a
  // buffer. `room`, when given, receives how many bytes may be written
  // there: at least `size`, all the buffer holds before it must grow. The
  // caller writes bytes, none of them NUL, there and then calls
  // appendWritten() with their number; no other operation may come in
  // between.
  char* appendRoom(std::size_t size, std::size_t* room = nullptr);
  // Takes the `size` bytes written at appendRoom(), which hold exactly
  // `lineFeeds` LF bytes (the writer knows them, so they are not counted
  // again), as appended, exactly as append() would have. False, changing
  // nothing, for 0 or for more bytes than the room.
  bool appendWritten(std::size_t size, std::size_t lineFeeds);

  // Copies the text and its NUL into `dest` iff the length is below
  // `capacity`; otherwise returns false and leaves `dest` untouched.
  bool copyOut(char* dest, std::size_t capacity) const;

  // `out` = the byte at the position (NUL at the end of the text); no move.
  bool peekChar(char& out) const;
  bool getPosition(std::size_t& outColumn, std::size_t& outLine) const;
  // Moves forward over up to `count` bytes, stopping at the end of the text.
  bool advance(std::size_t count);

  // Splits the current line into words. `words` holds maxWords + 1 slots of
  // kWordSize bytes; slot k starts at words + kWordSize * k, and `lengths`
  // (maxWords + 1 of them) receives the length of each slot's word, 0 for an
  // emptied slot, so that the caller need not measure the words again.
  // Returns true for a line of fewer than maxWords words (later slots
  // emptied); false for a line of maxWords words or more: the first maxWords
  // words are stored and slot maxWords is emptied. Either way the position
  // ends at column 1 of the next line, or at the end of the text. A word
  // longer than kWordSize - 1 bytes is cut there and its rest becomes the
  // next word. False, changing nothing, for a maxWords below 1 or more than
  // 255 separators.
  // REQUIRES: `separators` holds no LF.
  bool splitLine(char* words, int* lengths, int maxWords, const char* separators);
  // The current line from its column 1 up to its LF (or the end of the
  // text) into `line`, a view into the text valid while the text is not
  // appended to; the position moves to column 1 of the next line, or to the
  // end of the text. False, changing nothing, at the end of the text.
  bool takeLine(std::string_view& line);

  // Converts a non-empty word of decimal digits (leading zeros allowed).
  // False for any other byte, or a value above 2147483647; `out` is then
  // unchanged. The whole view is converted: a NUL in it is a non-digit.
  static bool parseDecimal(std::string_view word, int& out);
  // Converts a.b.c.d: exactly four groups of digits separated by single
  // dots, each from 0 to 255. Groups converted before a failing check keep
  // their values in the outputs.
  static bool parseDottedQuad(const char* word, int& a, int& b, int& c, int& d);
  // The same for the whole view: a NUL in it is no digit.
  static bool parseDottedQuad(std::string_view word, int& a, int& b, int& c, int& d);

  // The text itself, for read-only use by its owner; empty without a buffer.
  std::string_view view() const;

  // Lowers the largest buffer of every cursor to `capacity` bytes (at most
  // kMaxTextCapacity; 0 restores that), so that the size limit is reached
  // with a small text. Used by tests.
  static void setMaxCapacity(std::size_t capacity);

 private:
  struct FreeBuffer {
    void operator()(char* buffer) const;
  };
  using Buffer = std::unique_ptr<char[], FreeBuffer>;

  // Makes room for `extra` more bytes and a terminator at the position.
  void ensureRoom(std::size_t extra);
  // Moves past the `n` bytes at the position, which hold `lineFeeds` LF
  // bytes; the text itself is not looked at when they hold none.
  void passBytes(std::size_t n, std::size_t lineFeeds);

  std::size_t columnNo = 1;
  std::size_t lineNo = 1;
  std::size_t pos = 0;
  Buffer textBuffer;
  std::size_t capacity = 0;    // bytes of textBuffer
  std::size_t textLength = 0;  // bytes before the terminating NUL
};

}  // namespace dorvex

#endif  // DORVEX_TEXT_TEXT_CURSOR_H_
