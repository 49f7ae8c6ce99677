#include "dupcheck/details_writer.h"

#include <string_view>

#include "text/line_format.h"

namespace dorvex {

namespace {

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

void DetailsWriter::writeStandard(const AclEntry& source, const AclEntry& setting) {
  constexpr std::size_t kBound = 36 + 3 * DetailsLine::kNumberBytes;
  DetailsLine line(details, kBound);
  line.text(" ACL=").number(source.acl_no).text(" source row=").number(source.column);
  line.text(" set row=").number(setting.column).text("\r\n").finish();
}

bool DetailsWriter::writeExtended(const AclEntry& source, const AclEntry& setting) {
  const bool options = setting.option_idx != kNotSet && source.option_idx != kNotSet;
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
  DetailsLine line(details, bound);
  line.text(" ACL=");
  if (source.acl_no < kNamedListBase) {
    line.number(source.acl_no);
  } else {
    line.text(name);
  }
  line.text(" source-row=").number(source.column).text(" setting-row=");
  line.number(setting.column).text(" ");
  bool shared = false;
  if (options) {
    for (int s = setting.option_idx; !settingConfig.nameView(s).empty(); ++s) {
      std::string_view word = settingConfig.nameView(s);
      for (int r = source.option_idx; !sourceConfig.nameView(r).empty(); ++r) {
        if (sourceConfig.nameView(r) != word) continue;
        shared = true;
        line.text("option-word=").text(word).text(" ");
      }
    }
  }
  line.text("\r\n").finish();
  return shared;
}

}  // namespace dorvex
