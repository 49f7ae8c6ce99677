// Address operands: "any", "host" a.b.c.d, or an address with its wildcard.
#include <cstring>

#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

bool readQuad(const char* word, unsigned char (&out)[4]) {
  int a, b, c, d;
  if (!TextCursor::parseDottedQuad(word, a, b, c, d)) return false;
  out[0] = static_cast<unsigned char>(a);
  out[1] = static_cast<unsigned char>(b);
  out[2] = static_cast<unsigned char>(c);
  out[3] = static_cast<unsigned char>(d);
  return true;
}

void setAll(unsigned char (&out)[4], unsigned char value) { std::memset(out, value, 4); }

// Reads the a.b.c.d at wordIndex into `field` and writes it.
bool parseQuad(ParseTarget& target, const WordRow& words, int& wordIndex,
               unsigned char (&field)[4]) {
  unsigned char value[4];
  if (!readQuad(words.at(wordIndex), value)) return rejectWord(target, words, wordIndex);
  ++wordIndex;
  target.out.quad(value).text(" ");
  std::memcpy(field, value, 4);
  return true;
}

}  // namespace

bool parseAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                  unsigned char (&address)[4], unsigned char (&wildcard)[4]) {
  std::string_view word = words.view(wordIndex);
  if (word == "any") {
    ++wordIndex;
    target.out.text("any ");
    setAll(address, 0);
    setAll(wildcard, 255);
    return true;
  }
  if (word == "host") {
    ++wordIndex;
    target.out.text("host ");
    setAll(wildcard, 0);
    return parseQuad(target, words, wordIndex, address);
  }
  return parseQuad(target, words, wordIndex, address) &&
         parseQuad(target, words, wordIndex, wildcard);
}

}  // namespace dorvex
