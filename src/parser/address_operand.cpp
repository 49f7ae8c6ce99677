// Address operands: "any", "host" a.b.c.d, or an address with its wildcard;
// in the full syntax also a prefix, or a host without "host".
#include <cstring>
#include <string_view>
#include <utility>

#include "parser/object_groups.h"
#include "parser/operand_parsers.h"

namespace dorvex {

namespace {

bool readQuad(std::string_view word, unsigned char (&out)[4]) {
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
  if (!readQuad(words.view(wordIndex), value)) return rejectWord(target, words, wordIndex);
  ++wordIndex;
  target.out.quad(value).text(" ");
  std::memcpy(field, value, 4);
  return true;
}

// a.b.c.d/n into `address` and the wildcard of an n-bit prefix.
bool readPrefix(std::string_view word, unsigned char (&address)[4], unsigned char (&wildcard)[4]) {
  const std::size_t slash = word.find('/');
  if (slash == std::string_view::npos) return false;
  int bits;
  if (!TextCursor::parseDecimal(word.substr(slash + 1), bits) || bits > 32) return false;
  if (!readQuad(word.substr(0, slash), address)) return false;
  const unsigned long long hostBits = (1ULL << (32 - bits)) - 1;
  for (int k = 0; k < 4; ++k) wildcard[k] = static_cast<unsigned char>(hostBits >> (24 - 8 * k));
  return true;
}

bool isObjectGroup(std::string_view word) { return word == "object-group"; }

// The address forms both dialects read.
bool parseClassicAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
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

// An address operand the classic fields cannot hold: a group, an object,
// a range, an IPv6 operand, any operand of the firewall form; into the
// pending set of its side, its words written as they stand.
bool parseSetAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                     unsigned char (&address)[4]) {
  const PendingMatch::Form form = target.pending.form;
  const bool firewall = form == PendingMatch::Form::subnetMask;
  AddressSet set;
  SetRef ref;
  const AnyMeans any = firewall                           ? AnyMeans::both
                       : form == PendingMatch::Form::ipv6 ? AnyMeans::ipv6
                                                          : AnyMeans::ipv4;
  const int taken = readAddressWords(
      words, wordIndex, firewall ? MaskKind::subnet : MaskKind::wildcard, any, set, ref);
  if (taken == 0) return rejectWord(target, words, wordIndex);
  std::string reason;
  if (!ref.name.empty() &&
      (target.groups == nullptr || !target.groups->addresses(ref, set, reason))) {
    return leaveUnread(target, reason);
  }
  for (int k = 0; k < taken; ++k) target.out.text(words.view(wordIndex + k)).text(" ");
  wordIndex += taken;
  (&address == &target.config.current().source ? target.pending.source : target.pending.destin) =
      std::move(set);
  return true;
}

bool isSetOperand(std::string_view word) {
  return isObjectGroup(word) || word == "object" || word == "net-group" || word == "addrgroup" ||
         word == "range";
}

}  // namespace

bool parseAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                  unsigned char (&address)[4], unsigned char (&wildcard)[4]) {
  if (target.syntax == Syntax::classic) {
    return parseClassicAddress(target, words, wordIndex, address, wildcard);
  }
  std::string_view word = words.view(wordIndex);
  if (target.pending.form != PendingMatch::Form::wildcard || isSetOperand(word)) {
    return parseSetAddress(target, words, wordIndex, address);
  }
  unsigned char prefix[4], prefixWildcard[4];
  if (!readPrefix(word, prefix, prefixWildcard)) {
    return parseClassicAddress(target, words, wordIndex, address, wildcard);
  }
  ++wordIndex;
  target.out.quad(prefix).text(" ").quad(prefixWildcard).text(" ");
  std::memcpy(address, prefix, 4);
  std::memcpy(wildcard, prefixWildcard, 4);
  return true;
}

bool parseStandardAddress(ParseTarget& target, const WordRow& words, int& wordIndex,
                          unsigned char (&address)[4], unsigned char (&wildcard)[4]) {
  unsigned char host[4], next[4];
  if (target.syntax == Syntax::classic || target.pending.form != PendingMatch::Form::wildcard ||
      !readQuad(words.view(wordIndex), host) || readQuad(words.view(wordIndex + 1), next)) {
    return parseAddress(target, words, wordIndex, address, wildcard);
  }
  ++wordIndex;
  target.out.text("host ").quad(host).text(" ");
  std::memcpy(address, host, 4);
  setAll(wildcard, 0);
  return true;
}

}  // namespace dorvex
