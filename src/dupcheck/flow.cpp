#include "dupcheck/flow.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "parser/acl_entry.h"
#include "parser/keyword_tables.h"
#include "parser/object_groups.h"
#include "text/text_cursor.h"

namespace dorvex {

namespace {

constexpr std::uint32_t kDefaultTtl = 64;

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
    words.push_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

std::string quoted(std::string_view word) { return "\"" + std::string(word) + "\""; }

bool numberUpTo(std::string_view word, int highest, int& number) {
  return TextCursor::parseDecimal(word, number) && number <= highest;
}

// The protocol of `word` in a flow of the family `ipv6`, read as a rule of
// a list of that family reads it.
bool protocolOf(std::string_view word, bool ipv6, int& number) {
  if (ipv6 && (word == "icmp" || word == "ipv6")) {
    number = word == "icmp" ? kIcmpv6 : kAnyProtocol;
    return true;
  }
  return numberUpTo(word, 255, number) || lookupProtocol(word, number) ||
         lookupFullProtocol(word, ipv6, number);
}

// A port word can hold no dot and no colon; an address always holds one.
bool looksLikeAddress(std::string_view word) {
  return word.find_first_of(".:") != std::string_view::npos;
}

// Reads the flow word by word, stopping at the first fault.
class FlowReader {
 public:
  FlowReader(std::string_view text, Flow& flow, std::string& problem)
      : words(splitWords(text)), flow(flow), problem(problem) {}

  bool read() {
    if (words.empty()) return fail("no flow given: PROTO SRC [SPORT] DST [DPORT]");
    const std::string_view protocolWord = words[0];
    int number;
    if (!protocolOf(protocolWord, false, number) && !protocolOf(protocolWord, true, number)) {
      return fail(quoted(protocolWord) +
                  " is not a protocol (a name such as tcp, udp, icmp, ip, gre, or a number 0-255)");
    }
    next = 1;
    Packet& packet = flow.packet;
    packet = Packet{};
    if (!address(true, "source")) return false;
    if (!protocolOf(protocolWord, flow.ipv6, protocol)) {
      return fail(quoted(protocolWord) + " is no protocol between " +
                  (flow.ipv6 ? "IPv6" : "IPv4") + " addresses");
    }
    packet.field[kProtocol] = static_cast<std::uint32_t>(protocol);
    const bool ported = protocol == kTcp || protocol == kUdp;
    if (ported) {
      packet.field[kSrcPort] = kFlowDefaultPort;
      packet.field[kDstPort] = kFlowDefaultPort;
      if (!atEnd() && !looksLikeAddress(words[next]) &&
          !port(packet.field[kSrcPort], "source port")) {
        return false;
      }
    }
    if (!address(false, "destination")) return false;
    if (ported && !atEnd() && !(protocol == kTcp && isFlagWord(words[next])) &&
        !port(packet.field[kDstPort], "destination port")) {
      return false;
    }
    if (protocol == kTcp && !flags()) return false;
    if ((protocol == kIcmp || protocol == kIcmpv6) && !icmpMessage()) return false;
    packet.field[kTtl] = kDefaultTtl;
    if (flow.ipv6) packet.word[kMiscWord] |= std::uint64_t{1} << kFamilyShift;
    if (!atEnd()) return fail(quoted(words[next]) + " is more than the flow holds");
    return true;
  }

 private:
  bool atEnd() const { return next >= words.size(); }
  bool fail(std::string text) {
    problem = std::move(text);
    return false;
  }

  bool address(bool source, const char* what) {
    if (atEnd()) {
      return fail(std::string("no ") + what + " address" +
                  (next == 1 ? " (the flow is one argument: quote it whole)" : ""));
    }
    const std::string_view word = words[next];
    Uint128 value;
    bool ipv6;
    if (!readAddress(word, value, ipv6)) {
      return fail(quoted(word) + " is not an IPv4 or IPv6 " + what + " address");
    }
    if (!source && ipv6 != flow.ipv6) {
      return fail(quoted(word) + " is not of the source address's family (" +
                  (flow.ipv6 ? "IPv6" : "IPv4") + ")");
    }
    flow.ipv6 = ipv6;
    flow.packet.word[source ? kSrcHigh : kDstHigh] = value.high();
    flow.packet.word[source ? kSrcLow : kDstLow] = value.low();
    ++next;
    return true;
  }

  bool port(std::uint32_t& field, const char* what) {
    const std::string_view word = words[next];
    int number;
    if (!numberUpTo(word, kMaxPort, number) &&
        !lookupPortName(protocol, word, Syntax::full, number)) {
      return fail(quoted(word) + " is not a " + (protocol == kTcp ? "tcp " : "udp ") + what +
                  " (a number 0-65535 or a name such as " + (protocol == kTcp ? "www" : "domain") +
                  ")" +
                  (protocol == kTcp && std::string_view(what) == "destination port"
                       ? " nor a TCP flag (syn, ack, fin, rst, psh, urg)"
                       : ""));
    }
    field = static_cast<std::uint32_t>(number);
    ++next;
    return true;
  }

  static bool isFlagWord(std::string_view word) {
    unsigned flag;
    return flagOf(word, flag);
  }
  static bool flagOf(std::string_view word, unsigned& flag) {
    static constexpr struct {
      std::string_view name;
      unsigned flag;
    } kFlags[] = {{"syn", kSyn}, {"ack", kAck}, {"fin", kFin},
                  {"rst", kRst}, {"psh", kPsh}, {"urg", kUrg}};
    for (const auto& row : kFlags) {
      if (row.name == word) {
        flag = row.flag;
        return true;
      }
    }
    return false;
  }

  bool flags() {
    unsigned set = 0;
    for (; !atEnd(); ++next) {
      unsigned flag;
      if (!flagOf(words[next], flag)) {
        return fail(quoted(words[next]) + " is not a TCP flag (syn, ack, fin, rst, psh, urg)");
      }
      set |= flag;
    }
    if (set == 0) set = kSyn;
    flow.packet.word[kMiscWord] |= std::uint64_t{set} << kFlagShift;
    // describe() then names the flags, which the flow chose.
    flow.packet.shown |= 1u << (kRangeFields + 2);
    return true;
  }

  bool icmpMessage() {
    const bool v6 = protocol == kIcmpv6;
    int type = v6 ? 128 : 8, code = 0;
    if (!atEnd()) {
      const std::string_view word = words[next];
      int message;
      if (lookupName(v6 ? kIcmpv6Table : kIcmpFullTable, word, message)) {
        type = icmpTypeOf(message);
        if (icmpCodeOf(message) != kNotSet) {
          code = icmpCodeOf(message);
          // The name holds the code: none may follow.
          ++next;
          return store(type, code);
        }
      } else if (!numberUpTo(word, 255, type)) {
        return fail(quoted(word) + " is not an " + (v6 ? "ICMPv6" : "ICMP") +
                    " message (a name such as echo, or a type 0-255)");
      }
      ++next;
    }
    if (!atEnd()) {
      if (!numberUpTo(words[next], 255, code)) {
        return fail(quoted(words[next]) + " is not an ICMP code (0-255)");
      }
      ++next;
    }
    return store(type, code);
  }

  bool store(int type, int code) {
    flow.packet.field[kIcmpType] = static_cast<std::uint32_t>(type);
    flow.packet.field[kIcmpCode] = static_cast<std::uint32_t>(code);
    return true;
  }

  std::vector<std::string_view> words;
  Flow& flow;
  std::string& problem;
  std::size_t next = 0;
  int protocol = kAnyProtocol;
};

}  // namespace

bool parseFlow(std::string_view text, Flow& flow, std::string& problem) {
  flow = Flow{};
  return FlowReader(text, flow, problem).read();
}

}  // namespace dorvex
