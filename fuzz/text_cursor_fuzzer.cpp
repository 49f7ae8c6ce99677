// The text cursor's word and line operations on a fuzzed text, in a fuzzed
// order. Word and line reads go into buffers of exactly the size given, so
// the sanitizers see any write past them. After every operation the position
// must still agree with itself: the line and column derived from the bytes
// before pos are lineNo and columnNo.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_cursor.h"

namespace {

using dorvex::TextCursor;

void require(bool condition) {
  if (!condition) std::abort();
}

struct Place {
  int column = 1;
  int line = 1;
};

Place placeOf(std::string_view text, std::size_t offset) {
  Place place;
  for (std::size_t k = 0; k < offset; ++k) {
    if (text[k] == '\n') {
      ++place.line;
      place.column = 1;
    } else {
      ++place.column;
    }
  }
  return place;
}

// Offset of the byte at (column, line), or npos when there is none.
std::size_t offsetOf(std::string_view text, int column, int line) {
  Place place;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (place.line == line && place.column == column) return k;
    if (place.line > line) break;
    if (text[k] == '\n') {
      ++place.line;
      place.column = 1;
    } else {
      ++place.column;
    }
  }
  return std::string_view::npos;
}

// The cursor's offset, found from what the operations report: the column
// and line are those of the bytes before the offset.
std::size_t checkedOffset(const TextCursor& cursor) {
  int column = 0, line = 0;
  require(cursor.getPosition(column, line));
  std::string_view text = cursor.view();
  // peekChar tells the byte at pos; walking the text from the start to the
  // place the cursor claims must land on a byte with that value.
  char at = 0;
  require(cursor.peekChar(at));
  std::size_t offset = offsetOf(text, column, line);
  if (offset == std::string_view::npos) {
    // Only the end of the text has no byte of its own.
    Place end = placeOf(text, text.size());
    require(at == '\0' && end.column == column && end.line == line);
    return text.size();
  }
  require(text[offset] == at);
  return offset;
}

std::string separatorSet(FuzzedDataProvider& input, bool allowLf) {
  std::string set = input.ConsumeRandomLengthString(4);
  set = set.substr(0, set.find('\0'));
  if (!allowLf) std::erase(set, '\n');
  return set;
}

void readWordStep(TextCursor& cursor, FuzzedDataProvider& input) {
  int size = input.ConsumeIntegralInRange<int>(1, 300);
  std::string separators = separatorSet(input, true);
  std::size_t before = checkedOffset(cursor);
  std::vector<char> dest(static_cast<std::size_t>(size));
  bool whole = cursor.readWord(dest.data(), size, separators.c_str());
  std::size_t after = checkedOffset(cursor);
  std::size_t n = std::strlen(dest.data());
  require(n < static_cast<std::size_t>(size));
  require(after - before == n);
  require(cursor.view().substr(before, n) == std::string_view(dest.data(), n));
  if (!whole) require(n == static_cast<std::size_t>(size) - 1);
}

void readLineStep(TextCursor& cursor, FuzzedDataProvider& input) {
  int size = input.ConsumeIntegralInRange<int>(1, 300);
  std::size_t before = checkedOffset(cursor);
  std::vector<char> dest(static_cast<std::size_t>(size));
  bool whole = cursor.readLine(dest.data(), size);
  checkedOffset(cursor);
  std::string_view rest = cursor.view().substr(before);
  std::string_view line = rest.substr(0, rest.find('\n'));
  std::size_t n = std::strlen(dest.data());
  if (whole) {
    require(std::string_view(dest.data(), n) == line);
  } else {
    require(n == static_cast<std::size_t>(size) - 1 && line.substr(0, n) == std::string_view(dest.data(), n));
  }
}

void readWholeLineStep(TextCursor& cursor) {
  std::size_t before = checkedOffset(cursor);
  std::string_view line;
  require(cursor.readWholeLine(line));
  std::size_t after = checkedOffset(cursor);
  std::string_view rest = cursor.view().substr(before);
  require(line == rest.substr(0, rest.find('\n')));
  require(after == before + line.size() + (before + line.size() < cursor.view().size() ? 1 : 0));
}

void splitLineStep(TextCursor& cursor, FuzzedDataProvider& input) {
  int maxWords = input.ConsumeIntegralInRange<int>(1, 16);
  std::string separators = separatorSet(input, false);
  std::vector<char> words(static_cast<std::size_t>(dorvex::kWordSize) * (maxWords + 1), 'x');
  cursor.splitLine(words.data(), maxWords, separators.c_str());
  std::size_t after = checkedOffset(cursor);
  int column = 0, line = 0;
  cursor.getPosition(column, line);
  // Every line is left whole: the cursor stands at the start of a line or at
  // the end of the text.
  require(column == 1 || after == cursor.view().size());
  for (int k = 0; k < maxWords; ++k) {
    const char* word = words.data() + dorvex::kWordSize * k;
    require(std::memchr(word, '\0', dorvex::kWordSize) != nullptr);
  }
}

void appendStep(TextCursor& cursor, FuzzedDataProvider& input) {
  std::string text = input.ConsumeRandomLengthString(64);
  std::size_t before = checkedOffset(cursor);
  std::string_view expected(text.c_str());
  bool appended = cursor.append(text);
  std::size_t after = checkedOffset(cursor);
  require(appended == !expected.empty());
  require(after == before + expected.size());
  require(cursor.view().substr(before, expected.size()) == expected);
}

void step(TextCursor& cursor, FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange<int>(0, 12)) {
    case 0: readWordStep(cursor, input); break;
    case 1: readLineStep(cursor, input); break;
    case 2: splitLineStep(cursor, input); break;
    case 3: readWholeLineStep(cursor); break;
    case 4: appendStep(cursor, input); break;
    case 5: {
      int column = input.ConsumeIntegralInRange<int>(-2, 300);
      int line = input.ConsumeIntegralInRange<int>(-2, 300);
      std::size_t before = checkedOffset(cursor);
      std::size_t target = offsetOf(cursor.view(), column, line);
      bool found = cursor.seek(column, line);
      std::size_t after = checkedOffset(cursor);
      require(found == (target != std::string_view::npos));
      require(after == (found ? target : before));
      break;
    }
    case 6: {
      // Moving the column with seek first keeps lineNo and columnNo a real
      // place; syncPosition must then find that place again.
      std::size_t before = checkedOffset(cursor);
      require(cursor.syncPosition());
      require(checkedOffset(cursor) == before);
      break;
    }
    case 7: {
      int count = input.ConsumeIntegralInRange<int>(-1, 400);
      std::size_t before = checkedOffset(cursor);
      bool moved = cursor.advance(count);
      std::size_t after = checkedOffset(cursor);
      require(moved == (count >= 0));
      if (moved) {
        std::size_t expected = before + static_cast<std::size_t>(count);
        if (expected > cursor.view().size()) expected = cursor.view().size();
        require(after == expected);
      }
      break;
    }
    case 8: {
      std::string separators = separatorSet(input, true);
      std::size_t before = checkedOffset(cursor);
      require(cursor.skipSeparators(separators.c_str()));
      std::size_t after = checkedOffset(cursor);
      std::string_view skipped = cursor.view().substr(before, after - before);
      require(skipped.find_first_not_of(separators) == std::string_view::npos);
      require(skipped.find('\n') == std::string_view::npos);
      break;
    }
    case 9: {
      char c = 0;
      std::size_t before = checkedOffset(cursor);
      require(cursor.nextChar(c));
      require(checkedOffset(cursor) == before + (c != '\0' ? 1 : 0));
      break;
    }
    case 10: {
      std::size_t before = checkedOffset(cursor);
      require(cursor.toLineStart());
      std::size_t after = checkedOffset(cursor);
      std::string_view head = cursor.view().substr(0, before);
      std::size_t lf = head.rfind('\n');
      require(after == (lf == std::string_view::npos ? 0 : lf + 1));
      break;
    }
    case 11: {
      std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 512);
      std::vector<char> dest(capacity + 1, 'x');
      bool copied = cursor.copyOut(dest.data(), capacity);
      int length = -1;
      require(cursor.length(length));
      require(static_cast<std::size_t>(length) == cursor.view().size());
      require(copied == (cursor.view().size() < capacity));
      if (copied) require(std::string_view(dest.data()) == cursor.view());
      require(dest[capacity] == 'x');
      break;
    }
    case 12: {
      // A fresh output buffer, small so that appends have to grow it.
      std::size_t size = input.ConsumeIntegralInRange<std::size_t>(0, 16);
      require(cursor.allocate(size));
      require(checkedOffset(cursor) == 0 && cursor.view().empty());
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string text = input.ConsumeRandomLengthString(4096);
  TextCursor cursor;
  require(cursor.loadText(text));
  require(cursor.view() == std::string_view(text.c_str()));
  for (int steps = 0; steps < 64 && input.remaining_bytes() > 0; ++steps) step(cursor, input);
  return 0;
}
