#include "text/text_writer.h"

#include <algorithm>
#include <cstring>

namespace dorvex {

namespace {

// The number of decimal digits of `magnitude`, counted by comparison: a
// division per digit was the main cost of a short number.
int digitCount(unsigned long long magnitude) {
  int digits = 1;
  for (unsigned long long bound = 10; digits < 20 && magnitude >= bound; bound *= 10) ++digits;
  return digits;
}

}  // namespace

void TextWriter::finish() {
  if (out && next != start) out->appendWritten(static_cast<std::size_t>(next - start), lineFeeds);
  lineFeeds = 0;
  // The room set aside is given up too: the cursor may move or grow before
  // the next piece.
  start = next = end = nullptr;
}

char* TextWriter::grow(std::size_t count) {
  finish();
  std::size_t size = 0;
  start = next = out->appendRoom(count, &size);
  if (start) end = start + size;
  return next;
}

TextWriter& TextWriter::longText(std::string_view text) {
  if (!out) return *this;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  const std::size_t n =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
  if (n == 0) return *this;
  char* place = room(n);
  if (!place && !(place = grow(n))) return *this;
  std::memcpy(place, text.data(), n);
  if (std::memchr(place, '\n', n)) lineFeeds += countLineFeeds(std::string_view(place, n));
  next += n;
  return *this;
}

TextWriter& TextWriter::padded(long long value, int width) {
  if (!out) return *this;
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  const bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                          : static_cast<unsigned long long>(value);
  const int digits = std::max(digitCount(magnitude), width - (negative ? 1 : 0));
  const std::size_t size = static_cast<std::size_t>(digits) + (negative ? 1 : 0);
  char* place = room(size);
  if (!place && !(place = grow(size))) return *this;
  if (negative) *place++ = '-';
  // Two digits at a time, from the end.
  char* p = place + digits;
  while (p - place >= 2) {
    const unsigned pair = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    p -= 2;
    p[0] = kPairs[2 * pair];
    p[1] = kPairs[2 * pair + 1];
  }
  if (p != place) *--p = static_cast<char>('0' + magnitude % 10);
  next = place + digits;
  return *this;
}

TextWriter& TextWriter::quad(const unsigned char octets[4]) {
  if (!out) return *this;
  char* place = room(15);
  if (!place) {
    // Near the end of the room, the exact size: the widest quad might not
    // fit where this one does.
    std::size_t size = 3;
    for (int k = 0; k < 4; ++k) size += octets[k] >= 100 ? 3 : octets[k] >= 10 ? 2 : 1;
    place = room(size);
    if (!place && !(place = grow(size))) return *this;
  }
  for (int k = 0; k < 4; ++k) {
    if (k > 0) *place++ = '.';
    const unsigned value = octets[k];
    if (value >= 100) *place++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *place++ = static_cast<char>('0' + value / 10 % 10);
    *place++ = static_cast<char>('0' + value % 10);
  }
  next = place;
  return *this;
}

}  // namespace dorvex
