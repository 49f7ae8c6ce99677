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
// by line and word by word. Output use: allocate() gives an empty buffer
// that is only appended to. An output buffer grows when an append would not
// fit, so no text is ever cut and nothing is written past the storage. The
// text always ends in a NUL byte; nothing past it is ever read, so a buffer
// need not be zero-filled, and allocate() keeps one that is large enough.
//
// Every operation returns false at once, changing nothing, when the cursor has
// no buffer (parseDecimal and parseDottedQuad excepted: they look at their
// argument only).
#ifndef DORVEX_TEXT_TEXT_CURSOR_H_
#define DORVEX_TEXT_TEXT_CURSOR_H_

#include <cstddef>
#include <memory>
#include <string_view>

namespace dorvex {

// Size of one word slot of a splitLine() word array; a word holds at most
// kWordSize - 1 bytes.
constexpr int kWordSize = 255;

// The number of LF bytes in `text`.
std::size_t countLineFeeds(std::string_view text);

class TextCursor {
 public:
  TextCursor() = default;
  TextCursor(const TextCursor&) = delete;
  TextCursor& operator=(const TextCursor&) = delete;
  virtual ~TextCursor() = default;

  // The buffer becomes a copy of `text` up to its first NUL byte; the
  // position returns to line 1, column 1.
  bool loadText(const char* text);
  // As above, for a text given with its length; the text still ends at its
  // first NUL byte.
  bool loadText(std::string_view text);

  // The text becomes empty, with room for `size` bytes (at least one, for
  // the terminator); the position returns to line 1, column 1.
  bool allocate(std::size_t size);

  // Makes room for a text of `size` bytes, so that appends up to that length
  // do not grow the buffer piece by piece. The text and the position stay.
  bool reserve(std::size_t size);

  // Writes `text` (up to its first NUL) at the position and moves past it.
  // The buffer grows when the text and a terminator would not fit.
  // Returns false for an empty text, which changes nothing.
  bool append(const char* text);
  bool append(std::string_view text);
  // As append(), for `size` bytes known to hold no NUL byte.
  bool appendBytes(const char* bytes, std::size_t size);
  // For a long text written in place: room for `size` more bytes at the
  // position (the buffer grows as append() would), or nullptr without a
  // buffer. The caller writes up to `size` bytes, none of them NUL, there
  // and then calls appendWritten() with their number; no other operation
  // may come in between.
  char* appendRoom(std::size_t size);
  // Takes the `size` bytes written at appendRoom() as appended, exactly as
  // appendBytes() would have. False, changing nothing, for 0.
  bool appendWritten(std::size_t size);
  // As above, for bytes the caller knows to hold exactly `lineFeeds` LF
  // bytes, which then need not be counted.
  bool appendWritten(std::size_t size, std::size_t lineFeeds);

  // `out` = the length of the text in bytes.
  bool length(int& out) const;
  // Copies the text and its NUL into `dest` iff the length is below
  // `capacity`; otherwise returns false and leaves `dest` untouched.
  bool copyOut(char* dest, std::size_t capacity) const;

  // `out` = the byte at the position (NUL at the end of the text); no move.
  bool peekChar(char& out) const;
  // `out` = the byte at the position; unless it is the NUL, moves one byte on.
  bool nextChar(char& out);
  bool getPosition(int& outColumn, int& outLine) const;
  // Goes back to column 1 of the current line.
  bool toLineStart();
  // Moves forward over up to `count` bytes, stopping at the end of the text.
  // False for a negative count.
  bool advance(int count);
  // Moves to the byte at (toColumn, toLine). Fails, changing nothing, when
  // that byte does not exist; the end of the text itself cannot be sought.
  bool seek(int toColumn, int toLine);
  // Derives pos from lineNo and columnNo. False, pos unchanged, when the
  // line is shorter than columnNo; the end of the text when lineNo lies past it.
  bool syncPosition();
  // Moves past bytes of `separators`, stopping at an LF or the end.
  bool skipSeparators(const char* separators);

  // Reads one word of at most size - 1 bytes into `dest`, stopping before a
  // separator, an LF or the end (none of them consumed). Returns false when
  // the word is longer: `dest` then holds its first size - 1 bytes and the
  // position stays inside the word.
  bool readWord(char* dest, int size, const char* separators);
  // Reads the rest of the line into `dest`, consuming the LF (a CR before it
  // stays in the text). A line longer than size - 1 bytes: returns false with
  // the first size - 1 bytes, one more byte consumed and dropped.
  bool readLine(char* dest, int size);
  // Like readLine, for a line of any length: `out` views the rest of the line
  // in the buffer (without the LF), and the position moves past the LF.
  // The view stays valid until the buffer is replaced.
  bool readWholeLine(std::string_view& out);

  // Splits the current line into words. `words` holds maxWords + 1 slots of
  // kWordSize bytes; slot k starts at words + kWordSize * k. Returns true for
  // a line of fewer than maxWords words (later slots emptied); false for a
  // line of maxWords words or more: the first maxWords words are stored and
  // slot maxWords is emptied. Either way the position ends at column 1 of the
  // next line, or at the end of the text. A word longer than kWordSize - 1
  // bytes is cut there and its rest becomes the next word.
  // REQUIRES: `separators` holds no LF.
  bool splitLine(char* words, int maxWords, const char* separators);
  // As above, and `lengths` (maxWords + 1 of them) receives the length of
  // each slot's word, 0 for an emptied slot, so that the caller need not
  // measure the words again.
  bool splitLine(char* words, int* lengths, int maxWords, const char* separators);

  // Converts a non-empty word of decimal digits (leading zeros allowed).
  // False for any other byte, or a value above 2147483647; `out` is then
  // unchanged.
  static bool parseDecimal(const char* word, int& out);
  // As above, for the whole of `word`, whose length is known.
  static bool parseDecimal(std::string_view word, int& out);
  // Converts a.b.c.d: exactly four groups of digits separated by single
  // dots, each from 0 to 255. Groups converted before a failing check keep
  // their values in the outputs.
  static bool parseDottedQuad(const char* word, int& a, int& b, int& c, int& d);

  // The text itself, for read-only use by its owner; empty without a buffer.
  std::string_view view() const;
  bool hasBuffer() const { return textBuffer != nullptr; }

 private:
  struct FreeBuffer {
    void operator()(char* buffer) const;
  };
  using Buffer = std::unique_ptr<char[], FreeBuffer>;
  // Moves the text into a new buffer of `size` bytes (more than the text).
  bool regrow(std::size_t size);

  template <bool kMeasure>
  bool splitWords(char* words, int* lengths, int maxWords, const char* separators);
  bool ensureRoom(std::size_t extra);
  // Moves past `n` bytes just written at the position; `bytesAfterLastLf`
  // is -1 when they hold no LF (the line count is already up to date).
  void passAppended(std::size_t n, std::ptrdiff_t bytesAfterLastLf);
  void stepOver(char byte);

  int columnNo = 1;
  int lineNo = 1;
  int pos = 0;
  Buffer textBuffer;
  std::size_t capacity = 0;    // bytes of textBuffer
  std::size_t textLength = 0;  // bytes before the terminating NUL
};

}  // namespace dorvex

#endif  // DORVEX_TEXT_TEXT_CURSOR_H_
