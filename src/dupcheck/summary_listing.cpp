#include "dupcheck/summary_listing.h"

#include <string_view>
#include <vector>

#include "text/text_writer.h"

namespace dorvex {

namespace {

constexpr struct {
  unsigned bit;
  char letter;
} kMarks[] = {{kErrorBit, 'E'}, {kUnsupportedBit, 'U'}, {kDuplicateBit, 'D'}, {kOptionBit, 'O'}};

// The mark field (":----:" with the letters of the bits set) of every
// combination of the four bits, worked out once rather than on every line.
struct MarkFields {
  static constexpr std::size_t kSize = 6;
  char field[16][kSize];
  constexpr MarkFields() : field() {
    for (unsigned combination = 0; combination < 16; ++combination) {
      field[combination][0] = ':';
      for (int k = 0; k < 4; ++k) {
        field[combination][k + 1] = (combination >> k) & 1 ? kMarks[k].letter : '-';
      }
      field[combination][5] = ':';
    }
  }
  // The field of `flags`.
  std::string_view of(unsigned flags) const {
    unsigned combination = 0;
    for (int k = 0; k < 4; ++k) combination |= (flags & kMarks[k].bit) ? 1u << k : 0u;
    return std::string_view(field[combination], kSize);
  }
};
constexpr MarkFields kMarkFields;

}  // namespace

std::string_view markLetters(unsigned flags) { return kMarkFields.of(flags).substr(1, 4); }

void writeSummary(AclConfig& config, TextCursor& output) {
  if (config.lines().empty()) config.recordRemainingLines();
  TextWriter out(&output);
  const std::vector<LineRecord>& lines = config.lines();
  // The first line is listed even when the text has none.
  if (lines.empty()) out.padded(1, 3).line(kMarkFields.of(0));
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const LineRecord& line = lines[k];
    if (k > 0) out.lineEnd();
    const unsigned flags = line.entry >= 0 ? config.entryAt(line.entry)->flags : 0;
    out.padded(static_cast<long long>(k) + 1, 3).line(kMarkFields.of(flags));
    out.line(config.lineText(line));
  }
  out.finish();
}

}  // namespace dorvex
