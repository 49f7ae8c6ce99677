#include "text/text_cursor.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace dorvex {

namespace {

// The largest buffer of any cursor; lowered only by tests.
std::size_t maxCapacity = kMaxTextCapacity;

[[noreturn]] void throwTooLarge() { throw std::length_error("text too large"); }

char* newBytes(std::size_t size) {
  void* bytes = std::malloc(size);
  if (!bytes) throw std::bad_alloc();
  return static_cast<char*>(bytes);
}

// The length of `text` up to its first NUL byte.
std::size_t lengthToNul(std::string_view text) {
  // An empty view may point at nothing, which memchr may not be given.
  if (text.empty()) return 0;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
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

std::size_t grownCapacity(std::size_t capacity, std::size_t pos, std::size_t extra,
                          std::size_t limit) {
  // pos + extra + 1 <= limit, put so that no sum can wrap.
  if (extra >= limit || pos >= limit - extra) return 0;
  const std::size_t needed = pos + extra + 1;
  const std::size_t doubled = capacity <= limit / 2 ? capacity * 2 : limit;
  return doubled > needed ? doubled : needed;
}

void TextCursor::setMaxCapacity(std::size_t size) {
  maxCapacity = size == 0 || size > kMaxTextCapacity ? kMaxTextCapacity : size;
}

void TextCursor::FreeBuffer::operator()(char* buffer) const { std::free(buffer); }

bool TextCursor::loadText(std::string_view text) {
  const std::size_t n = lengthToNul(text);
  if (n >= maxCapacity) throwTooLarge();
  Buffer buffer(newBytes(n + 1));
  if (n > 0) std::memcpy(buffer.get(), text.data(), n);
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
  if (size > maxCapacity) throwTooLarge();
  // A buffer that is large enough is emptied rather than replaced: a
  // workspace that checks again writes into the room it has.
  if (!textBuffer || capacity < size) {
    textBuffer = Buffer(newBytes(size));
    capacity = size;
  }
  textBuffer[0] = '\0';
  textLength = 0;
  columnNo = 1;
  lineNo = 1;
  pos = 0;
  return true;
}

void TextCursor::ensureRoom(std::size_t extra) {
  // pos < capacity always, so this is pos + extra + 1 <= capacity.
  if (extra < capacity - pos) return;
  const std::size_t grown = grownCapacity(capacity, pos, extra, maxCapacity);
  if (grown == 0) throwTooLarge();
  // realloc keeps the text, and moves a large buffer without copying it
  // where the system can.
  char* const moved = static_cast<char*>(std::realloc(textBuffer.get(), grown));
  if (!moved) throw std::bad_alloc();
  static_cast<void>(textBuffer.release());
  textBuffer.reset(moved);
  capacity = grown;
}

bool TextCursor::append(std::string_view text) {
  if (!textBuffer) return false;
  const std::size_t n = lengthToNul(text);
  if (n == 0) return false;
  ensureRoom(n);
  std::memcpy(textBuffer.get() + pos, text.data(), n);
  return appendWritten(n, countLineFeeds(text.substr(0, n)));
}

char* TextCursor::appendRoom(std::size_t size, std::size_t* room) {
  if (!textBuffer) return nullptr;
  ensureRoom(size);
  if (room) *room = capacity - pos - 1;
  return textBuffer.get() + pos;
}

bool TextCursor::appendWritten(std::size_t n, std::size_t lineFeeds) {
  // More than the room would put the terminator past the storage.
  if (!textBuffer || n == 0 || n >= capacity - pos) return false;
  passBytes(n, lineFeeds);
  if (pos > textLength) {
    textLength = pos;
    textBuffer[textLength] = '\0';
  }
  return true;
}

void TextCursor::passBytes(std::size_t n, std::size_t lineFeeds) {
  // Only the bytes after the last LF decide the column.
  const char* const first = textBuffer.get() + pos;
  if (lineFeeds == 0) {
    columnNo += n;
  } else {
    lineNo += lineFeeds;
    const char* lastLf = first + n - 1;
    while (*lastLf != '\n' && lastLf != first) --lastLf;
    columnNo = static_cast<std::size_t>(first + n - lastLf);
  }
  pos += n;
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

bool TextCursor::getPosition(std::size_t& outColumn, std::size_t& outLine) const {
  if (!textBuffer) return false;
  outColumn = columnNo;
  outLine = lineNo;
  return true;
}

bool TextCursor::advance(std::size_t count) {
  if (!textBuffer) return false;
  const std::size_t n = count < textLength - pos ? count : textLength - pos;
  passBytes(n, countLineFeeds(std::string_view(textBuffer.get() + pos, n)));
  return true;
}

bool TextCursor::takeLine(std::string_view& line) {
  if (!textBuffer || pos >= textLength) return false;
  pos -= columnNo - 1;
  columnNo = 1;
  const char* const lineStart = textBuffer.get() + pos;
  const std::size_t rest = textLength - pos;
  const char* const lf = static_cast<const char*>(std::memchr(lineStart, '\n', rest));
  const std::size_t lineBytes = lf ? static_cast<std::size_t>(lf - lineStart) : rest;
  line = std::string_view(lineStart, lineBytes);
  passBytes(lf ? lineBytes + 1 : lineBytes, lf ? 1 : 0);
  return true;
}

bool TextCursor::splitLine(char* words, int* lengths, int maxWords, const char* separators) {
  if (!textBuffer || maxWords < 1 || std::strlen(separators) > 255) return false;
  // From column 1 of the line. The text holds no NUL before its end, so the
  // line ends at its LF or at the end of the text.
  pos -= columnNo - 1;
  columnNo = 1;
  bool isSep[256] = {};
  for (const char* s = separators; *s != '\0'; ++s) isSep[static_cast<unsigned char>(*s)] = true;
  const char* const lineStart = textBuffer.get() + pos;
  const std::size_t rest = textLength - pos;
  const char* const lf = static_cast<const char*>(std::memchr(lineStart, '\n', rest));
  const char* const lineEnd = lf ? lf : lineStart + rest;
  const char* p = lineStart;
  auto skip = [&]() {
    while (p != lineEnd && isSep[static_cast<unsigned char>(*p)]) ++p;
  };
  auto clearFrom = [&](int first, int last) {
    for (int k = first; k < last; ++k) {
      words[kWordSize * k] = '\0';
      lengths[k] = 0;
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
    lengths[count] = static_cast<int>(slot - first);
    if (++count >= maxWords) {
      // Too many words: the rest of the line is skipped.
      complete = false;
      break;
    }
    skip();
  }
  // To column 1 of the next line, or to the end of the text.
  const std::size_t lineBytes = static_cast<std::size_t>(lineEnd - lineStart);
  passBytes(lf ? lineBytes + 1 : lineBytes, lf ? 1 : 0);
  if (complete) {
    clearFrom(count, maxWords);
  } else {
    clearFrom(maxWords, maxWords + 1);
  }
  return complete;
}

bool TextCursor::parseDecimal(std::string_view word, int& out) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!isDigit(c)) return false;
  }
  return convertDigits(word.data(), word.data() + word.size(), out);
}

bool TextCursor::parseDottedQuad(const char* word, int& a, int& b, int& c, int& d) {
  return parseDottedQuad(std::string_view(word), a, b, c, d);
}

namespace {

// The common form, four groups of one to three digits each, at most 255:
// read at once. False for any other word, which the general reading then
// takes from the start.
bool readPlainQuad(std::string_view word, int (&values)[4]) {
  if (word.size() < 7 || word.size() > 15) return false;
  const char* p = word.data();
  const char* const end = p + word.size();
  for (int group = 0; group < 4; ++group) {
    int value = 0, digits = 0;
    for (; p != end && digits < 3 && isDigit(*p); ++p, ++digits) value = value * 10 + (*p - '0');
    if (digits == 0 || value > 255 || (p != end && isDigit(*p))) return false;
    values[group] = value;
    if (group < 3) {
      if (p == end || *p != '.') return false;
      ++p;
    }
  }
  return p == end;
}

}  // namespace

bool TextCursor::parseDottedQuad(std::string_view word, int& a, int& b, int& c, int& d) {
  int plain[4];
  if (readPlainQuad(word, plain)) {
    a = plain[0];
    b = plain[1];
    c = plain[2];
    d = plain[3];
    return true;
  }
  int* outputs[4] = {&a, &b, &c, &d};
  const char* p = word.data();
  const char* const end = p + word.size();
  for (int group = 0; group < 4; ++group) {
    const char* start = p;
    // Up to nine digits are converted as they are read: no such value
    // overflows. A longer group is converted with the range check.
    int value = 0;
    const char* const quick = end - p > 9 ? p + 9 : end;
    for (; p != quick && isDigit(*p); ++p) value = value * 10 + (*p - '0');
    if (p != end && isDigit(*p)) {
      while (p != end && isDigit(*p)) ++p;
      if (!convertDigits(start, p, value)) return false;
    }
    if (p == start) return false;
    const bool last = group == 3;
    if (last ? p != end : p == end || *p != '.') return false;
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
