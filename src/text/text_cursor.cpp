#include "text/text_cursor.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace dorvex {

namespace {

bool isSeparator(char c, const char* separators) {
  return c != '\0' && std::strchr(separators, c) != nullptr;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Converts the digits [first, last) into `out`; false when the value exceeds
// the 32-bit signed range.
bool convertDigits(const char* first, const char* last, int& out) {
  long long value = 0;
  for (const char* p = first; p != last; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 2147483647LL) return false;
  }
  out = static_cast<int>(value);
  return true;
}

}  // namespace

std::size_t countLineFeeds(std::string_view text) {
  // Eight bytes at a time: the listings and texts run to megabytes, and a
  // byte-wise count is not vectorised at -O2.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const char* p = text.data();
  const char* const end = p + text.size();
  std::size_t count = 0;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t x = word ^ (kOnes * '\n');  // an LF byte becomes 0
    // High bit set exactly in the bytes of x that are 0.
    const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
    // One 1 per such byte, summed into the top byte by the multiplication
    // (no popcount instruction is assumed).
    count += static_cast<std::size_t>(((zero >> 7) * kOnes) >> 56);
  }
  for (; p != end; ++p) count += *p == '\n' ? 1 : 0;
  return count;
}

bool TextCursor::loadText(const char* text) {
  return loadText(std::string_view(text, std::strlen(text)));
}

void TextCursor::FreeBuffer::operator()(char* buffer) const { std::free(buffer); }

bool TextCursor::loadText(std::string_view text) {
  std::size_t n = text.size();
  if (const void* nul = std::memchr(text.data(), '\0', n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  }
  Buffer buffer(static_cast<char*>(std::malloc(n + 1)));
  if (!buffer) return false;
  std::memcpy(buffer.get(), text.data(), n);
  buffer[n] = '\0';
  textBuffer = std::move(buffer);
  capacity = n + 1;
  textLength = n;
  columnNo = 1;
  lineNo = 1;
  pos = 0;
  return true;
}

bool TextCursor::allocate(std::size_t size) {
  if (size < 1) size = 1;
  // A buffer that is large enough is emptied rather than replaced: a
  // workspace that checks again writes into the room it has.
  if (!textBuffer || capacity < size) {
    Buffer buffer(static_cast<char*>(std::malloc(size)));
    if (!buffer) return false;
    textBuffer = std::move(buffer);
    capacity = size;
  }
  textBuffer[0] = '\0';
  textLength = 0;
  columnNo = 1;
  lineNo = 1;
  pos = 0;
  return true;
}

bool TextCursor::regrow(std::size_t size) {
  Buffer buffer(static_cast<char*>(std::malloc(size)));
  if (!buffer) return false;
  std::memcpy(buffer.get(), textBuffer.get(), textLength + 1);
  textBuffer = std::move(buffer);
  capacity = size;
  return true;
}

bool TextCursor::reserve(std::size_t size) {
  if (!textBuffer) return false;
  return size < capacity || regrow(size + 1);
}

bool TextCursor::ensureRoom(std::size_t extra) {
  std::size_t needed = static_cast<std::size_t>(pos) + extra + 1;
  if (needed <= capacity) return true;
  std::size_t grown = capacity * 2;
  if (grown < needed) grown = needed;
  return regrow(grown);
}

bool TextCursor::append(const char* text) {
  return append(std::string_view(text, std::strlen(text)));
}

bool TextCursor::append(std::string_view text) {
  std::size_t n = text.size();
  if (const void* nul = std::memchr(text.data(), '\0', n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  }
  return appendBytes(text.data(), n);
}

bool TextCursor::appendBytes(const char* bytes, std::size_t n) {
  if (!textBuffer || n == 0) return false;
  if (!ensureRoom(n)) return false;
  // Only the bytes after the last LF decide the column. Most pieces are a
  // few bytes with at most one LF, at their end: those are copied and
  // looked at in one go.
  char* dest = textBuffer.get() + pos;
  const char* end = bytes + n;
  const char* lastLf = nullptr;
  if (n <= 16) {
    for (const char* p = bytes; p != end; ++p) {
      *dest++ = *p;
      if (*p == '\n') {
        ++lineNo;
        lastLf = p;
      }
    }
  } else {
    std::memcpy(dest, bytes, n);
    for (const char* p = bytes;
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
         ++p) {
      ++lineNo;
      lastLf = p;
    }
  }
  passAppended(n, lastLf ? end - lastLf - 1 : -1);
  return true;
}

void TextCursor::passAppended(std::size_t n, std::ptrdiff_t bytesAfterLastLf) {
  if (bytesAfterLastLf >= 0) {
    columnNo = 1 + static_cast<int>(bytesAfterLastLf);
  } else {
    columnNo += static_cast<int>(n);
  }
  pos += static_cast<int>(n);
  if (static_cast<std::size_t>(pos) > textLength) {
    textLength = pos;
    textBuffer[textLength] = '\0';
  }
}

char* TextCursor::appendRoom(std::size_t size) {
  if (!textBuffer || !ensureRoom(size)) return nullptr;
  return textBuffer.get() + pos;
}

bool TextCursor::appendWritten(std::size_t n) {
  if (!textBuffer || n == 0) return false;
  return appendWritten(n, countLineFeeds(std::string_view(textBuffer.get() + pos, n)));
}

bool TextCursor::appendWritten(std::size_t n, std::size_t lfs) {
  if (!textBuffer || n == 0) return false;
  // The bytes are in place already; only the line and column follow them.
  const char* const bytes = textBuffer.get() + pos;
  const char* end = bytes + n;
  std::ptrdiff_t bytesAfterLastLf = -1;
  if (lfs > 0) {
    lineNo += static_cast<int>(lfs);
    const char* lastLf = end - 1;
    while (*lastLf != '\n') --lastLf;
    bytesAfterLastLf = end - lastLf - 1;
  }
  passAppended(n, bytesAfterLastLf);
  return true;
}

bool TextCursor::length(int& out) const {
  if (!textBuffer) return false;
  out = static_cast<int>(textLength);
  return true;
}

bool TextCursor::copyOut(char* dest, std::size_t capacityOfDest) const {
  if (!textBuffer) return false;
  if (textLength >= capacityOfDest) return false;
  std::memcpy(dest, textBuffer.get(), textLength + 1);
  return true;
}

bool TextCursor::peekChar(char& out) const {
  if (!textBuffer) return false;
  out = textBuffer[pos];
  return true;
}

void TextCursor::stepOver(char byte) {
  if (byte == '\n') {
    ++lineNo;
    columnNo = 1;
  } else {
    ++columnNo;
  }
  ++pos;
}

bool TextCursor::nextChar(char& out) {
  if (!textBuffer) return false;
  out = textBuffer[pos];
  if (out != '\0') stepOver(out);
  return true;
}

bool TextCursor::getPosition(int& outColumn, int& outLine) const {
  if (!textBuffer) return false;
  outColumn = columnNo;
  outLine = lineNo;
  return true;
}

bool TextCursor::toLineStart() {
  if (!textBuffer) return false;
  pos -= columnNo - 1;
  columnNo = 1;
  return true;
}

bool TextCursor::advance(int count) {
  if (!textBuffer || count < 0) return false;
  for (int i = 0; i < count && textBuffer[pos] != '\0'; ++i) {
    stepOver(textBuffer[pos]);
  }
  return true;
}

bool TextCursor::seek(int toColumn, int toLine) {
  if (!textBuffer) return false;
  // Walk from the current position when the target lies ahead of it, else
  // from the start; both give the same result.
  int line = 1, column = 1, offset = 0;
  if (toLine > lineNo || (toLine == lineNo && toColumn >= columnNo)) {
    line = lineNo;
    column = columnNo;
    offset = pos;
  }
  for (;;) {
    char c = textBuffer[offset];
    if (c == '\0' || line > toLine) return false;
    if (line == toLine && column == toColumn) break;
    if (c == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    ++offset;
  }
  columnNo = toColumn;
  lineNo = toLine;
  pos = offset;
  return true;
}

bool TextCursor::syncPosition() {
  if (!textBuffer) return false;
  int line = 1, column = 1, offset = 0;
  for (;;) {
    char c = textBuffer[offset];
    if (c == '\0') {
      pos = offset;
      return true;
    }
    if (line > lineNo) return false;
    if (line == lineNo && column == columnNo) {
      pos = offset;
      return true;
    }
    if (c == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    ++offset;
  }
}

bool TextCursor::skipSeparators(const char* separators) {
  if (!textBuffer) return false;
  for (;;) {
    char c = textBuffer[pos];
    if (c == '\0' || c == '\n' || !isSeparator(c, separators)) return true;
    stepOver(c);
  }
}

bool TextCursor::readWord(char* dest, int size, const char* separators) {
  if (!textBuffer || size < 1) return false;
  int i = 0;
  for (;;) {
    char c = textBuffer[pos];
    if (c == '\0' || c == '\n') break;
    if (i == size - 1) {
      dest[i] = '\0';
      return false;
    }
    if (isSeparator(c, separators)) break;
    dest[i++] = c;
    stepOver(c);
  }
  dest[i] = '\0';
  return true;
}

bool TextCursor::readLine(char* dest, int size) {
  if (!textBuffer || size < 1) return false;
  int i = 0;
  char c;
  nextChar(c);
  dest[0] = c;
  for (;;) {
    if (dest[i] == '\0' || dest[i] == '\n') {
      dest[i] = '\0';
      return true;
    }
    if (i == size - 1) {
      dest[i] = '\0';
      return false;
    }
    ++i;
    nextChar(c);
    dest[i] = c;
  }
}

bool TextCursor::readWholeLine(std::string_view& out) {
  if (!textBuffer) return false;
  const char* start = textBuffer.get() + pos;
  std::size_t rest = textLength - static_cast<std::size_t>(pos);
  const void* lf = std::memchr(start, '\n', rest);
  std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : rest;
  out = std::string_view(start, n);
  pos += static_cast<int>(n);
  columnNo += static_cast<int>(n);
  if (lf) stepOver('\n');
  return true;
}

bool TextCursor::splitLine(char* words, int maxWords, const char* separators) {
  return splitWords<false>(words, nullptr, maxWords, separators);
}

bool TextCursor::splitLine(char* words, int* lengths, int maxWords, const char* separators) {
  return splitWords<true>(words, lengths, maxWords, separators);
}

template <bool kMeasure>
bool TextCursor::splitWords(char* words, int* lengths, int maxWords, const char* separators) {
  if (!textBuffer || maxWords < 1 || std::strlen(separators) > 255) return false;
  toLineStart();
  // The same steps as skipSeparators() and readWord() in turn, on the line
  // as a whole: the text holds no NUL before its end, so the line ends at
  // its LF or at the end of the text.
  bool isSep[256] = {};
  for (const char* s = separators; *s != '\0'; ++s) isSep[static_cast<unsigned char>(*s)] = true;
  const char* const lineStart = textBuffer.get() + pos;
  const std::size_t rest = textLength - static_cast<std::size_t>(pos);
  const char* const lf = static_cast<const char*>(std::memchr(lineStart, '\n', rest));
  const char* const lineEnd = lf ? lf : lineStart + rest;
  const char* p = lineStart;
  auto skip = [&]() {
    while (p != lineEnd && isSep[static_cast<unsigned char>(*p)]) ++p;
  };
  auto clearFrom = [&](int first, int last) {
    for (int k = first; k < last; ++k) {
      words[kWordSize * k] = '\0';
      if constexpr (kMeasure) lengths[k] = 0;
    }
  };
  int count = 0;
  bool complete = true;
  skip();
  while (p != lineEnd) {
    // A word of at most kWordSize - 1 bytes; the rest of a longer one
    // becomes the next word.
    const char* limit = lineEnd - p > kWordSize - 1 ? p + (kWordSize - 1) : lineEnd;
    char* const first = words + kWordSize * count;
    char* slot = first;
    while (p != limit && !isSep[static_cast<unsigned char>(*p)]) *slot++ = *p++;
    *slot = '\0';
    if constexpr (kMeasure) lengths[count] = static_cast<int>(slot - first);
    if (++count >= maxWords) {
      // Too many words: the rest of the line is skipped.
      complete = false;
      break;
    }
    skip();
  }
  // To column 1 of the next line, or to the end of the text.
  pos += static_cast<int>(lineEnd - lineStart);
  columnNo += static_cast<int>(lineEnd - lineStart);
  if (lf) stepOver('\n');
  if (complete) {
    clearFrom(count, maxWords);
  } else {
    clearFrom(maxWords, maxWords + 1);
  }
  return complete;
}

bool TextCursor::parseDecimal(const char* word, int& out) {
  return parseDecimal(std::string_view(word, std::strlen(word)), out);
}

bool TextCursor::parseDecimal(std::string_view word, int& out) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!isDigit(c)) return false;
  }
  return convertDigits(word.data(), word.data() + word.size(), out);
}

bool TextCursor::parseDottedQuad(const char* word, int& a, int& b, int& c, int& d) {
  int* outputs[4] = {&a, &b, &c, &d};
  const char* p = word;
  for (int group = 0; group < 4; ++group) {
    const char* start = p;
    // Up to nine digits are converted as they are read: no such value
    // overflows. A longer group is converted with the range check.
    int value = 0;
    for (; isDigit(*p) && p - start < 9; ++p) value = value * 10 + (*p - '0');
    if (isDigit(*p)) {
      while (isDigit(*p)) ++p;
      if (!convertDigits(start, p, value)) return false;
    }
    if (p == start) return false;
    bool last = group == 3;
    if (last ? *p != '\0' : *p != '.') return false;
    *outputs[group] = value;
    if (value > 255) return false;
    if (!last) ++p;
  }
  return true;
}

std::string_view TextCursor::view() const {
  if (!textBuffer) return {};
  return std::string_view(textBuffer.get(), textLength);
}

}  // namespace dorvex
