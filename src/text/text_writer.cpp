#include "text/text_writer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace dorvex {

namespace {

// Room set aside at a time: pieces are small, and each setting aside may
// move the buffer.
constexpr std::size_t kRoomStep = 4096;

}  // namespace

void TextWriter::finish() {
  if (!out || next == start) return;
  out->appendWritten(static_cast<std::size_t>(next - start));
  start = next = end = nullptr;
}

char* TextWriter::grow(std::size_t count) {
  finish();
  const std::size_t size = std::max(count, kRoomStep);
  start = out->appendRoom(size);
  if (!start) throw std::bad_alloc();
  next = start;
  end = start + size;
  return next;
}

TextWriter& TextWriter::longText(std::string_view text) {
  if (!out) return *this;
  const void* nul = std::memchr(text.data(), '\0', text.size());
  const std::size_t n =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
  char* place = room(n);
  if (!place) place = grow(n);
  std::memcpy(place, text.data(), n);
  next += n;
  return *this;
}

TextWriter& TextWriter::padded(long long value, int width) {
  if (!out) return *this;
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // The widest number: a sign and 20 digits, or `width` digits.
  const std::size_t most = static_cast<std::size_t>(std::max(width, 0)) + 21;
  char* place = room(most);
  if (!place) place = grow(most);
  const bool negative = value < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  if (negative) *place++ = '-';
  // The digits are counted by comparison: a division per digit was the
  // main cost of a short number.
  int digits = 1;
  for (unsigned long long bound = 10; digits < 20 && magnitude >= bound; bound *= 10) ++digits;
  digits = std::max(digits, width - (negative ? 1 : 0));
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
  if (!place) place = grow(15);
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
