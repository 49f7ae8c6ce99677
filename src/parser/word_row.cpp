#include "parser/word_row.h"

namespace dorvex {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\r'; }

}  // namespace

bool WordRow::splitFrom(TextCursor& input, Syntax syntax) {
  std::string_view line;
  if (!input.takeLine(line)) line = {};
  return split(line, syntax);
}

bool WordRow::split(std::string_view line, Syntax syntax) {
  words.clear();
  whole = line;
  const bool classic = syntax == Syntax::classic;
  const char* p = whole.data();
  const char* const end = p + whole.size();
  while (true) {
    while (p != end && isSeparator(*p)) ++p;
    if (p == end) return true;
    const char* const start = p;
    const char* const limit = classic && end - p > kWordSize - 1 ? p + (kWordSize - 1) : end;
    while (p != limit && !isSeparator(*p)) ++p;
    words.emplace_back(start, static_cast<std::size_t>(p - start));
    if (classic && words.size() >= static_cast<std::size_t>(kMaxWords)) return false;
  }
}

}  // namespace dorvex
