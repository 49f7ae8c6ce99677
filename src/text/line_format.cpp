#include "text/line_format.h"

#include <charconv>
#include <cstring>

namespace dorvex {

LineFormatter& LineFormatter::text(std::string_view text) {
  std::size_t n = text.size();
  if (const void* nul = std::memchr(text.data(), '\0', n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  }
  piece.append(text.data(), n);
  return *this;
}

LineFormatter& LineFormatter::number(long long value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  piece.append(digits, result.ptr);
  return *this;
}

LineFormatter& LineFormatter::padded(long long value, int width) {
  char digits[24];
  bool negative = value < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
  int count = static_cast<int>(result.ptr - digits);
  // Like "%0*d": the sign counts towards the width.
  if (negative) piece.push_back('-');
  for (int pad = width - count - (negative ? 1 : 0); pad > 0; --pad) piece.push_back('0');
  piece.append(digits, result.ptr);
  return *this;
}

LineFormatter& LineFormatter::quad(const unsigned char octets[4]) {
  for (int k = 0; k < 4; ++k) {
    if (k > 0) piece.push_back('.');
    number(octets[k]);
  }
  return *this;
}

bool LineFormatter::appendTo(TextCursor& out) {
  bool appended = out.append(std::string_view(piece));
  piece.clear();
  return appended;
}

}  // namespace dorvex
