#include "text/line_format.h"

#include <algorithm>
#include <cstring>

namespace dorvex {

namespace {

unsigned long long magnitudeOf(long long value) {
  return value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                   : static_cast<unsigned long long>(value);
}

}  // namespace

char* LineFormatter::room(std::size_t count) {
  if (length + count > storage.size()) storage.resize(2 * (length + count), '\0');
  return storage.data() + length;
}

LineFormatter& LineFormatter::longText(std::string_view text) {
  char* out = room(text.size());
  std::size_t n = 0;
  if (text.size() <= 16) {
    for (; n < text.size() && text[n] != '\0'; ++n) out[n] = text[n];
  } else {
    const void* nul = std::memchr(text.data(), '\0', text.size());
    n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
    std::memcpy(out, text.data(), n);
  }
  length += n;
  return *this;
}

std::size_t writeDecimal(unsigned value, int width, char* out) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // The digits are counted by comparison: a division per digit was the
  // main cost of a short number.
  int digits = 1;
  for (unsigned bound = 10; digits < 10 && value >= bound; bound *= 10) ++digits;
  if (digits < width) digits = width;
  char* p = out + digits;
  while (p - out >= 2) {
    const unsigned pair = value % 100;
    value /= 100;
    p -= 2;
    p[0] = kPairs[2 * pair];
    p[1] = kPairs[2 * pair + 1];
  }
  if (p != out) *--p = static_cast<char>('0' + value % 10);
  return static_cast<std::size_t>(digits);
}

LineFormatter& LineFormatter::longNumber(long long value, int width) {
  const bool negative = value < 0;
  unsigned long long magnitude = magnitudeOf(value);
  int count = 1;
  for (unsigned long long rest = magnitude / 10; rest != 0; rest /= 10) ++count;
  // Like "%0*d": the sign counts towards the width.
  const int digits = std::max(count, width - (negative ? 1 : 0));
  char* out = room(static_cast<std::size_t>(digits) + 1);
  if (negative) *out++ = '-';
  // Digits from the last; once the number is used up, the padding zeros.
  // (One loop for both: separate loops would become calls of memcpy and
  // memset, costly for the one to three bytes of a number.)
  for (char* p = out + digits; p != out; magnitude /= 10) *--p = static_cast<char>('0' + magnitude % 10);
  length = static_cast<std::size_t>(out + digits - storage.data());
  return *this;
}

LineFormatter& LineFormatter::writeQuad(const unsigned char octets[4]) {
  char* out = room(15);
  for (int k = 0; k < 4; ++k) {
    if (k > 0) *out++ = '.';
    unsigned value = octets[k];
    if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
  }
  length = static_cast<std::size_t>(out - storage.data());
  return *this;
}

bool LineFormatter::appendTo(TextCursor& out) {
  if (discarding) return false;
  bool appended = out.append(current());
  length = 0;
  return appended;
}

}  // namespace dorvex
