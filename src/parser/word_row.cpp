#include "parser/word_row.h"

namespace dorvex {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\r'; }

}  // namespace

bool WordRow::splitFrom(TextCursor& input, Syntax syntax) {
  words.clear();
  std::string_view line;
  if (!input.takeLine(line)) return true;
  const bool classic = syntax == Syntax::classic;
  const std::size_t longest = classic ? kWordSize - 1 : line.size();
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && isSeparator(line[at])) ++at;
    if (at == line.size()) return true;
    const std::size_t start = at;
    while (at < line.size() && at - start < longest && !isSeparator(line[at])) ++at;
    words.push_back(line.substr(start, at - start));
    if (classic && words.size() >= static_cast<std::size_t>(kMaxWords)) return false;
  }
}

}  // namespace dorvex
