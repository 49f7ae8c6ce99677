// The duplication check: every setting rule against every source rule of the
// same list and permission, with the details of each duplicate pair.
#include "dupcheck/duplication_check.h"

#include <cstring>
#include <string_view>

#include "dupcheck/duplication_index.h"
#include "text/line_format.h"
#include "workspace/check_workspace.h"

namespace dorvex {

namespace {


bool eqCovers(int a, int op, int c, int d) {
  switch (op) {
    case kPortEq: return a == c;
    case kPortGt: return a == kMaxPort && c == kMaxPort - 1;
    case kPortLt: return a == 0 && c == 1;
    case kPortRange: return c == a && d == a;
    default: return false;
  }
}

bool gtCovers(int a, int op, int c, int) {
  switch (op) {
    case kPortEq: return c > a;
    case kPortGt: return c >= a;
    case kPortNeq: return a == 0 && c == 0;
    case kPortRange: return c > a;
    default: return false;
  }
}

bool ltCovers(int a, int op, int c, int d) {
  switch (op) {
    case kPortEq: return c < a;
    case kPortLt: return c <= a;
    case kPortNeq: return a == kMaxPort && c == kMaxPort;
    case kPortRange: return d < a;
    default: return false;
  }
}

bool neqCovers(int a, int op, int c, int d) {
  switch (op) {
    case kPortEq: return c != a;
    case kPortGt: return c >= a;
    case kPortLt: return c <= a;
    case kPortNeq: return c == a;
    case kPortRange: return c > a || d < a;
    default: return false;
  }
}

bool rangeCovers(int a, int b, int op, int c, int d) {
  switch (op) {
    case kPortEq: return a <= c && c <= b;
    case kPortGt: return a <= c + 1 && b == kMaxPort;
    case kPortLt: return a == 0 && b >= c - 1;
    case kPortNeq: return (a == 1 && b == kMaxPort && c == 0) || (a == 0 && b == kMaxPort - 1 && c == kMaxPort);
    case kPortRange: return a <= c && d <= b;
    default: return false;
  }
}

bool isSet(int protocolNo) { return protocolNo != -1 && protocolNo != 0; }

// One details line, written straight into room set aside in the details
// text: a check writes a line for every duplicate pair, tens of thousands
// of them, and putting each together elsewhere first doubled their cost.
class DetailsLine {
 public:
  // Longest "%d" of an int, sign included.
  static constexpr std::size_t kNumberBytes = 11;

  // Sets aside room for a line of at most `bound` bytes.
  DetailsLine(TextCursor& details, std::size_t bound)
      : details(details), start(details.appendRoom(bound)), out(start) {}
  // Takes the line as appended. False when no room could be set aside. A
  // line holds exactly one LF, its last byte: names and option words are
  // words of a configuration line, which never hold one.
  bool finish() { return start && details.appendWritten(static_cast<std::size_t>(out - start), 1); }

  // The pieces are a few bytes each: copied here rather than by a call.
  DetailsLine& text(std::string_view text) {
    if (start) {
      for (char c : text) *out++ = c;
    }
    return *this;
  }
  // "%d". Three numbers on every line: written in place, two digits at a
  // time.
  DetailsLine& number(int value) {
    if (!start) return *this;
    if (value < 0) *out++ = '-';
    const unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    out += writeDecimal(magnitude, 1, out);
    return *this;
  }

 private:
  TextCursor& details;
  char* const start;
  char* out;
};

// The number of option words of a rule from name-table index `first` on.
int optionWordCount(const AclConfig& config, int first) {
  int count = 0;
  while (!config.nameView(first + count).empty()) ++count;
  return count;
}

}  // namespace

bool addressCovers(const unsigned char coverAddress[4], const unsigned char coverWildcard[4],
                   const unsigned char address[4]) {
  // All four bytes at once: the bytes keep their places, so the order in
  // which they are loaded does not matter.
  std::uint32_t cover, wildcard, other;
  std::memcpy(&cover, coverAddress, 4);
  std::memcpy(&wildcard, coverWildcard, 4);
  std::memcpy(&other, address, 4);
  return ((cover ^ other) & ~wildcard) == 0;
}

bool portsCover(int coverOp, int coverLow, int coverHigh, int op, int low, int high) {
  if (coverOp == kPortRange && op >= 0 && coverLow == 0 && coverHigh == kMaxPort) return true;
  if (op < kNoPort || op > kPortRange) return false;
  switch (coverOp) {
    case kNoPort: return true;
    case kPortEq: return eqCovers(coverLow, op, low, high);
    case kPortGt: return gtCovers(coverLow, op, low, high);
    case kPortLt: return ltCovers(coverLow, op, low, high);
    case kPortNeq: return neqCovers(coverLow, op, low, high);
    case kPortRange: return rangeCovers(coverLow, coverHigh, op, low, high);
    default: return false;
  }
}

bool ruleCovers(const AclEntry& source, const AclEntry& setting) {
  if (setting.permission != source.permission) return false;
  if (!addressCovers(source.source, source.mask_s, setting.source)) return false;
  if (setting.type == 0) return true;
  if (isSet(setting.protocol_no) && isSet(source.protocol_no) &&
      setting.protocol_no != source.protocol_no) {
    return false;
  }
  return addressCovers(source.destin, source.mask_d, setting.destin) &&
         portsCover(source.sp_typ, source.sp_low, source.sp_hig, setting.sp_typ, setting.sp_low,
                    setting.sp_hig) &&
         portsCover(source.dp_typ, source.dp_low, source.dp_hig, setting.dp_typ, setting.dp_low,
                    setting.dp_hig);
}

void CheckWorkspace::testPair(int settingIndex, int sourceIndex) {
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  if ((setting.flags & kErrorBit) || (source.flags & kErrorBit)) return;
  bool named = setting.acl_no >= kNamedListBase;
  if (setting.acl_no != source.acl_no && !(named && source.acl_no >= kNamedListBase)) return;
  if (named) {
    // A setting rule meets the rules of one source list after the other:
    // the names are compared once for each pair of lists.
    if (setting.acl_no != lastNames.setting || source.acl_no != lastNames.source) {
      lastNames = NamePair{setting.acl_no, source.acl_no,
                           settingConfig.nameView(setting.acl_no - kNamedListBase) ==
                               sourceConfig.nameView(source.acl_no - kNamedListBase)};
    }
    if (!lastNames.same) return;
  }
  if (!ruleCovers(source, setting)) return;
  settingConfig.markEntry(settingIndex, kDuplicateBit);
  sourceConfig.markEntry(sourceIndex, kDuplicateBit);
  ++duplicationPairs;
  if (setting.type == 0) {
    appendStandardDetails(source, setting);
  } else {
    appendExtendedDetails(source, sourceIndex, setting, settingIndex);
  }
}

void CheckWorkspace::appendStandardDetails(const AclEntry& source, const AclEntry& setting) {
  constexpr std::size_t kBound = 36 + 3 * DetailsLine::kNumberBytes;
  DetailsLine line(duplicationDetails, kBound);
  line.text(" ACL=").number(source.acl_no).text(" source row=").number(source.column);
  line.text(" set row=").number(setting.column).text("\r\n").finish();
}

void CheckWorkspace::appendExtendedDetails(const AclEntry& source, int sourceIndex,
                                           const AclEntry& setting, int settingIndex) {
  const bool options = setting.option_idx != -1 && source.option_idx != -1;
  std::string_view name;
  if (source.acl_no >= kNamedListBase) name = sourceConfig.nameView(source.acl_no - kNamedListBase);
  // The fixed words, the list, two row numbers, and at most one
  // "option-word=" piece for each pair of option words.
  std::size_t bound = 40 + name.size() + 3 * DetailsLine::kNumberBytes;
  if (options) {
    bound += static_cast<std::size_t>(optionWordCount(settingConfig, setting.option_idx)) *
             static_cast<std::size_t>(optionWordCount(sourceConfig, source.option_idx)) *
             (13 + kNameLength);
  }
  DetailsLine line(duplicationDetails, bound);
  line.text(" ACL=");
  if (source.acl_no < kNamedListBase) {
    line.number(source.acl_no);
  } else {
    line.text(name);
  }
  line.text(" source-row=").number(source.column).text(" setting-row=");
  line.number(setting.column).text(" ");
  if (options) {
    for (int s = setting.option_idx; !settingConfig.nameView(s).empty(); ++s) {
      std::string_view word = settingConfig.nameView(s);
      for (int r = source.option_idx; !sourceConfig.nameView(r).empty(); ++r) {
        if (sourceConfig.nameView(r) != word) continue;
        settingConfig.markEntry(settingIndex, kOptionBit);
        sourceConfig.markEntry(sourceIndex, kOptionBit);
        line.text("option-word=").text(word).text(" ");
      }
    }
  }
  line.text("\r\n").finish();
}

bool CheckWorkspace::checkDuplicatesByPairs(ProgressSink* console) {
  if (console) console->write("duplication check....\r\n");
  duplicationPairs = 0;
  lastNames = NamePair{};
  int settingCount = settingConfig.entryCount();
  int sourceCount = sourceConfig.entryCount();
  for (int s = 0; s < settingCount; ++s) {
    for (int r = 0; r < sourceCount; ++r) testPair(s, r);
  }
  writeSummary(sourceConfig, sourceSummary);
  writeSummary(settingConfig, settingSummary);
  return true;
}

bool CheckWorkspace::checkDuplicates(ProgressSink* console) {
  if (console) console->write("duplication check....\r\n");
  duplicationPairs = 0;
  lastNames = NamePair{};
  // The index finds, for each setting rule, the source rules that pass the
  // list, permission and address tests, in table order; the whole pair test
  // then decides, so the pairs and their order are those of the pair loop.
  DuplicationIndex index;
  index.build(sourceConfig, settingConfig);
  int settingCount = settingConfig.entryCount();
  for (int s = 0; s < settingCount; ++s) {
    for (int r : index.candidates(s)) testPair(s, r);
  }
  writeSummary(sourceConfig, sourceSummary);
  writeSummary(settingConfig, settingSummary);
  return true;
}

}  // namespace dorvex
