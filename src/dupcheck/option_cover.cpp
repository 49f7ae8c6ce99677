#include "dupcheck/option_cover.h"

#include <iterator>

#include "parser/keyword_tables.h"
#include "text/text_cursor.h"

namespace dorvex {

namespace {

// Highest ICMP type and code.
constexpr int kMaxIcmpNumber = 255;

// The value of a "tos", "precedence" or "dscp" option: a number, or a name
// of `names`; kNotSet for any other word.
int optionValue(std::string_view word, const NameNumber* names) {
  int value;
  if (TextCursor::parseDecimal(word, value) || lookupName(names, word, value)) return value;
  return kNotSet;
}

// Reads the option words of a rule from the name table, one option after
// the other. A word too long for the name table is missing from it; of
// those only a value can matter, and a value missing after "time-range",
// "tos", "precedence" or "dscp" leaves that word not understood.
class OptionReader {
 public:
  OptionReader(const AclConfig& config, int first, bool icmp)
      : config(config), at(first), icmp(icmp) {}

  void readAll(RuleOptions& options) {
    while (!word(0).empty()) {
      const int taken = readOne(options);
      if (taken == 0) {
        options.unknown = word(0);
        return;
      }
      at += taken;
    }
  }

 private:
  std::string_view word(int offset) const { return config.nameView(at + offset); }

  // Reads the option at `at`; returns how many words it took, or 0 when the
  // word at `at` is not understood there.
  int readOne(RuleOptions& options) {
    int kind;
    if (!lookupName(kOptionKeywordTable, word(0), kind)) return readIcmpMessage(options);
    switch (kind) {
      case kLogOption: {
        int next;
        const bool argument = !word(1).empty() && !lookupName(kOptionKeywordTable, word(1), next);
        return argument ? 2 : 1;
      }
      case kLoneOption: {
        bool& flag = word(0) == "established" ? options.established : options.fragments;
        if (flag) return 0;
        flag = true;
        return 1;
      }
      case kValueOption: return readValue(options);
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

  // An ICMP message name, or a type number and an optional code number.
  int readIcmpMessage(RuleOptions& options) {
    if (!icmp || options.icmpType != kNotSet) return 0;
    int type, code;
    if (lookupName(kIcmpMessageTable, word(0), type)) {
      options.icmpType = type;
      return 1;
    }
    if (!TextCursor::parseDecimal(word(0), type) || type > kMaxIcmpNumber) return 0;
    options.icmpType = type;
    if (!TextCursor::parseDecimal(word(1), code) || code > kMaxIcmpNumber) return 1;
    options.icmpCode = code;
    return 2;
  }

  static unsigned tcpFlagBit(std::string_view word) {
    static constexpr std::string_view kFlags[] = {"ack", "fin", "psh", "rst", "syn", "urg"};
    for (unsigned k = 0; k < std::size(kFlags); ++k) {
      if (word == kFlags[k]) return 1u << k;
    }
    return 0;
  }

  const AclConfig& config;
  int at;
  const bool icmp;
};

// Whether a setting rule's `value` meets the source rule's `required`.
bool meets(int required, int value) { return required == kNotSet || required == value; }

}  // namespace

RuleOptions readOptions(const AclConfig& config, const AclEntry& entry) {
  RuleOptions options;
  if (entry.option_idx == kNotSet) return options;
  OptionReader(config, entry.option_idx, entry.protocol_no == kIcmp).readAll(options);
  return options;
}

bool optionsCover(const RuleOptions& source, const RuleOptions& setting) {
  return (!source.established || setting.established) && (!source.fragments || setting.fragments) &&
         meets(source.icmpType, setting.icmpType) && meets(source.icmpCode, setting.icmpCode) &&
         (source.timeRange.empty() || source.timeRange == setting.timeRange) &&
         meets(source.tos, setting.tos) && meets(source.precedence, setting.precedence) &&
         meets(source.dscp, setting.dscp) &&
         (source.tcpFlags == 0 || source.tcpFlags == setting.tcpFlags);
}

}  // namespace dorvex
