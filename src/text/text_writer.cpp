#include "text/text_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace dorvex {

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The number of decimal digits of `magnitude`, counted by comparison: a
// division per digit was the main cost of a short number.
int digitCount(unsigned long long magnitude) {
  int digits = 1;
  for (unsigned long long bound = 10; digits < 20 && magnitude >= bound; bound *= 10) ++digits;
  return digits;
}

// Writes the decimal digits of `magnitude` so that they end at `end`, two
// at a time, and zeros before them down to `first`. Line and row numbers
// fit in 32 bits, where the arithmetic is cheaper than in 64.
template <typename Unsigned>
void writeDigits(char* first, char* end, Unsigned magnitude) {
  while (end - first >= 2) {
    const unsigned pair = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    end -= 2;
    end[0] = kDigitPairs[2 * pair];
    end[1] = kDigitPairs[2 * pair + 1];
  }
  if (end != first) *--end = static_cast<char>('0' + magnitude % 10);
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

void TextWriter::writeNumber(long long value, int width) {
  const bool negative = value < 0;
  const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value);
  // Zero padding comes out of the digit pairs: 7 at width 3 is "007".
  const int digits = std::max(digitCount(magnitude), width - (negative ? 1 : 0));
  const std::size_t size = static_cast<std::size_t>(digits) + (negative ? 1 : 0);
  char* place = room(size);
  if (!place && !(place = grow(size))) return;
  if (negative) *place++ = '-';
  next = place + digits;
  if (magnitude <= 0xFFFFFFFFu) {
    writeDigits(place, next, static_cast<std::uint32_t>(magnitude));
  } else {
    writeDigits(place, next, magnitude);
  }
}

void TextWriter::writeQuad(const unsigned char octets[4]) {
  char* place = room(15);
  if (!place) {
    // Near the end of the room, the exact size: the widest quad might not
    // fit where this one does.
    std::size_t size = 3;
    for (int k = 0; k < 4; ++k) size += octets[k] >= 100 ? 3 : octets[k] >= 10 ? 2 : 1;
    place = room(size);
    if (!place && !(place = grow(size))) return;
  }
  for (int k = 0; k < 4; ++k) {
    if (k > 0) *place++ = '.';
    const unsigned value = octets[k];
    if (value >= 100) *place++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *place++ = static_cast<char>('0' + value / 10 % 10);
    *place++ = static_cast<char>('0' + value % 10);
  }
  next = place;
}

}  // namespace dorvex
