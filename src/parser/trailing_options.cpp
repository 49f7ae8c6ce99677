// Trailing option words of an extended rule: ICMP message names on ICMP
// rules, in the full syntax the log options, any other word as an
// unrecognised option; and the same words read once more as typed options.
#include <iterator>

#include "parser/keyword_tables.h"
#include "parser/operand_parsers.h"
#include "parser/rule_options.h"

namespace dorvex {

namespace {

// Highest ICMP type and code.
constexpr int kMaxIcmpNumber = 255;

bool isLogOption(std::string_view word) {
  int kind;
  return lookupName(kOptionKeywordTable, word, kind) && kind == kLogOption;
}

// Whether the word after a log option is its argument.
bool isLogArgument(std::string_view word) {
  int kind;
  return !word.empty() && !lookupName(kOptionKeywordTable, word, kind);
}

// The value of a "tos", "precedence" or "dscp" option: a number, or a name
// of `names`; kNotSet for any other word.
int optionValue(std::string_view word, const NameNumber* names) {
  int value;
  if (TextCursor::parseDecimal(word, value) || lookupName(names, word, value)) return value;
  return kNotSet;
}

// The port-like operators of "ttl", each with its code.
int ttlOperator(std::string_view word) {
  static constexpr std::string_view kWords[] = {"eq", "gt", "lt", "neq", "range"};
  static constexpr int kCodes[] = {kPortEq, kPortGt, kPortLt, kPortNeq, kPortRange};
  for (std::size_t k = 0; k < std::size(kWords); ++k) {
    if (word == kWords[k]) return kCodes[k];
  }
  return kNoPort;
}

unsigned tcpFlagBit(std::string_view word) {
  static constexpr std::string_view kFlags[] = {"ack", "fin", "psh", "rst", "syn", "urg"};
  for (unsigned k = 0; k < std::size(kFlags); ++k) {
    if (word == kFlags[k]) return 1u << k;
  }
  return 0;
}

// Writes "%s(%d) " for a message of every code, "%s(%d/%d) " with its code.
void writeIcmpMessage(ParseTarget& target, std::string_view word, int message) {
  target.out.text(word).text("(").number(icmpTypeOf(message));
  if (icmpCodeOf(message) != kNotSet) target.out.text("/").number(icmpCodeOf(message));
  target.out.text(") ");
}

// The option grammar: reads one option after the other from the words.
class OptionReader {
 public:
  OptionReader(const WordRow& words, int first, bool icmp, bool full, bool ipv6)
      : words(words), at(first), icmp(icmp), full(full), ipv6(ipv6) {}

  // Returns the position of the first word not read: the unknown word, or
  // the end of the row.
  int readAll(RuleOptions& options) {
    while (!word(0).empty()) {
      const int taken = readOne(options);
      if (taken == 0) {
        options.unknown = word(0);
        return at;
      }
      at += taken;
    }
    return at;
  }

 private:
  std::string_view word(int offset) const { return words.view(at + offset); }

  // A log option with its argument, and in the full syntax the firewall
  // form's "log [LEVEL] [interval SECONDS]".
  int readLog() const {
    int taken = 1;
    const auto interval = [&] {
      int seconds;
      return full && word(taken) == "interval" &&
             TextCursor::parseDecimal(word(taken + 1), seconds);
    };
    if (interval()) return taken + 2;
    if (isLogArgument(word(taken))) ++taken;
    if (interval()) taken += 2;
    return taken;
  }

  // Reads the option at `at`; returns how many words it took, or 0 when the
  // word at `at` is not understood there.
  int readOne(RuleOptions& options) {
    int kind;
    if (!lookupName(kOptionKeywordTable, word(0), kind)) return readIcmpMessage(options);
    switch (kind) {
      case kLogOption: return readLog();
      case kLoneOption: {
        bool& flag = word(0) == "established" ? options.established : options.fragments;
        if (flag) return 0;
        flag = true;
        return 1;
      }
      case kValueOption: return readValue(options);
      case kTtlOption: return full ? readTtl(options) : 0;
      case kMatchOption: return full ? readMatch(options) : 0;
      case kTcpFlagOption: {
        const unsigned bit = tcpFlagBit(word(0));
        if (options.tcpFlags & bit) return 0;
        options.tcpFlags |= bit;
        return 1;
      }
      default: return 0;
    }
  }

  int readValue(RuleOptions& options) {
    const std::string_view name = word(0), value = word(1);
    if (value.empty()) return 0;
    if (name == "time-range") {
      if (!options.timeRange.empty()) return 0;
      options.timeRange = value;
      return 2;
    }
    int* field = &options.dscp;
    const NameNumber* names = kDscpTable;
    if (name == "tos") {
      field = &options.tos;
      names = kTosTable;
    } else if (name == "precedence") {
      field = &options.precedence;
      names = kPrecedenceTable;
    }
    const int number = optionValue(value, names);
    if (*field != kNotSet || number == kNotSet) return 0;
    *field = number;
    return 2;
  }

  // "ttl", an operator and one value, two for "range" (low, high).
  int readTtl(RuleOptions& options) {
    const int op = ttlOperator(word(1));
    int low, high = kNotSet;
    if (options.ttlOp != kNoPort || op == kNoPort || !TextCursor::parseDecimal(word(2), low) ||
        low > kMaxIcmpNumber) {
      return 0;
    }
    if (op == kPortRange &&
        (!TextCursor::parseDecimal(word(3), high) || high > kMaxIcmpNumber || high < low)) {
      return 0;
    }
    options.ttlOp = op;
    options.ttlLow = low;
    options.ttlHigh = high;
    return op == kPortRange ? 4 : 3;
  }

  // "match-any" or "match-all" and at least one +flag or -flag word.
  int readMatch(RuleOptions& options) {
    const bool any = word(0) == "match-any";
    if (options.allSet | options.allClear | options.anySet | options.anyClear) return 0;
    int taken = 1;
    for (std::string_view flag = word(1); flag.size() > 1; flag = word(taken)) {
      const unsigned bit = tcpFlagBit(flag.substr(1));
      if (bit == 0 || (flag[0] != '+' && flag[0] != '-')) break;
      unsigned& field = flag[0] == '+' ? (any ? options.anySet : options.allSet)
                                       : (any ? options.anyClear : options.allClear);
      field |= bit;
      ++taken;
    }
    if (taken == 1 || (options.allSet & options.allClear) != 0) return 0;
    options.matchAny = any;
    return taken;
  }

  // An ICMP message name, or a type number and an optional code number.
  int readIcmpMessage(RuleOptions& options) {
    if (!icmp || options.icmpType != kNotSet) return 0;
    int type, code;
    if (full) {
      int message;
      if (lookupName(ipv6 ? kIcmpv6Table : kIcmpFullTable, word(0), message)) {
        options.icmpType = icmpTypeOf(message);
        options.icmpCode = icmpCodeOf(message);
        return 1;
      }
    } else if (lookupName(kIcmpMessageTable, word(0), type)) {
      options.icmpType = type;
      return 1;
    }
    if (!TextCursor::parseDecimal(word(0), type) || type > kMaxIcmpNumber) return 0;
    options.icmpType = type;
    if (!TextCursor::parseDecimal(word(1), code) || code > kMaxIcmpNumber) return 1;
    options.icmpCode = code;
    return 2;
  }

  const WordRow& words;
  int at;
  const bool icmp;
  const bool full;
  const bool ipv6;
};

}  // namespace

bool hasFullOptions(const RuleOptions& options) {
  return options.ttlOp != kNoPort ||
         (options.allSet | options.allClear | options.anySet | options.anyClear) != 0;
}

int readRuleOptions(const WordRow& words, int wordIndex, int protocolNo, RuleOptions& options,
                    Syntax syntax, bool ipv6) {
  const bool icmp = protocolNo == (ipv6 ? kIcmpv6 : kIcmp);
  return OptionReader(words, wordIndex, icmp, syntax == Syntax::full, ipv6).readAll(options);
}

bool parseOptions(ParseTarget& target, const WordRow& words, int& wordIndex) {
  if (words.isEmpty(wordIndex)) return true;
  AclConfig& config = target.config;
  const bool ipv6 = config.current().type == kIpv6Rule;
  // The full syntax writes every word its option grammar read as read.
  const int readEnd = readRuleOptions(words, wordIndex, config.current().protocol_no,
                                      config.currentOptions(), target.syntax, ipv6);
  const int understoodEnd = target.syntax == Syntax::full ? readEnd : wordIndex;
  config.current().option_idx = config.nameCount();
  const bool icmp = config.current().protocol_no == (ipv6 ? kIcmpv6 : kIcmp);
  // The full syntax names every ICMP message with its type and code.
  const NameNumber* const icmpNames =
      target.syntax == Syntax::full ? (ipv6 ? kIcmpv6Table : kIcmpFullTable) : kIcmpMessageTable;
  // The full syntax understands the log options and their arguments.
  const bool readLog = target.syntax == Syntax::full;
  bool logArgumentNext = false;
  for (; !words.isEmpty(wordIndex); ++wordIndex) {
    std::string_view word = words.view(wordIndex);
    const bool understood = logArgumentNext && isLogArgument(word);
    logArgumentNext = false;
    int type;
    if (readLog && (understood || isLogOption(word))) {
      logArgumentNext = !understood;
      config.addName(word, 0);
      target.out.text(word).text(" ");
    } else if (icmp && lookupName(icmpNames, word, type)) {
      config.addName(word, 0);
      writeIcmpMessage(target, word,
                       icmpNames == kIcmpMessageTable ? icmpMessage(type, kNotSet) : type);
    } else if (wordIndex < understoodEnd) {
      config.addName(word, 0);
      target.out.text(word).text(" ");
    } else {
      config.addName(word, 1);
      config.current().flags |= kUnsupportedBit;
      target.out.text(word).text("(?) ");
    }
  }
  config.addName("", 0);
  return true;
}

bool parseLogOption(ParseTarget& target, const WordRow& words, int& wordIndex) {
  if (!isLogOption(words.view(wordIndex))) return false;
  target.out.text(words.view(wordIndex)).text(" ");
  ++wordIndex;
  if (isLogArgument(words.view(wordIndex))) {
    target.out.text(words.view(wordIndex)).text(" ");
    ++wordIndex;
  }
  return true;
}

}  // namespace dorvex
