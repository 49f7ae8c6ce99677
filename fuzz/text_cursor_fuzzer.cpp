// The text cursor and the text writer on a fuzzed text, in a fuzzed order,
// under a fuzzed size limit. Words are split into slots of exactly the size
// given and text is written into exactly the room given, so the sanitizers
// see any write past them. After every operation the position must still
// agree with itself: the line and column derived from the bytes before pos
// are lineNo and columnNo. An operation refused as too large must have asked
// for more than the limit and must change nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_cursor.h"
#include "text/text_writer.h"

namespace {

using dorvex::TextCursor;
using dorvex::TextWriter;

void require(bool condition) {
  if (!condition) std::abort();
}

// The largest buffer of every cursor for the current input.
std::size_t limit = dorvex::kMaxTextCapacity;

// An operation may be refused as too large only when the text and its
// terminator, `size` bytes in all, would pass the limit.
void requireTooLarge(std::size_t size) { require(size > limit); }

struct Place {
  std::size_t column = 1;
  std::size_t line = 1;
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
std::size_t offsetOf(std::string_view text, std::size_t column, std::size_t line) {
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
  std::size_t column = 0, line = 0;
  require(cursor.getPosition(column, line));
  std::string_view text = cursor.view();
  // The text ends at its terminator and holds no other NUL.
  require(text.find('\0') == std::string_view::npos && text.data()[text.size()] == '\0');
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

// The state an operation refused as too large must leave.
struct Snapshot {
  explicit Snapshot(const TextCursor& cursor) : text(cursor.view()), offset(checkedOffset(cursor)) {}
  bool same(const TextCursor& cursor) const {
    return cursor.view() == text && checkedOffset(cursor) == offset;
  }
  std::string text;
  std::size_t offset;
};

// The text written over [offset, offset + written.size()) of `before`.
std::string overwritten(std::string_view before, std::size_t offset, std::string_view written) {
  std::string result(before.substr(0, offset));
  result += written;
  if (offset + written.size() < before.size()) result += before.substr(offset + written.size());
  return result;
}

std::string noNul(const std::string& text) { return text.substr(0, text.find('\0')); }

void splitLineStep(TextCursor& cursor, FuzzedDataProvider& input) {
  int maxWords = input.ConsumeIntegralInRange<int>(1, 16);
  std::string separators = noNul(input.ConsumeRandomLengthString(4));
  std::erase(separators, '\n');
  std::vector<char> words(static_cast<std::size_t>(dorvex::kWordSize) * (maxWords + 1), 'x');
  std::vector<int> lengths(static_cast<std::size_t>(maxWords) + 1, -1);
  // The line the split reads: from its start to its LF.
  std::size_t before = checkedOffset(cursor);
  std::string_view text = cursor.view();
  std::size_t lineStart = before == 0 ? std::string_view::npos : text.rfind('\n', before - 1);
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  std::string_view line = text.substr(lineStart);
  line = line.substr(0, line.find('\n'));
  bool complete = cursor.splitLine(words.data(), lengths.data(), maxWords, separators.c_str());
  // Every line is left whole: the cursor stands at the start of the next
  // line or at the end of the text.
  std::size_t expectedAfter = lineStart + line.size();
  if (expectedAfter < cursor.view().size()) ++expectedAfter;
  require(checkedOffset(cursor) == expectedAfter);
  // The words are the line's runs of non-separators, cut every
  // kWordSize - 1 bytes; each slot ends in a NUL and its length is told.
  std::vector<std::string> expected;
  for (std::size_t k = 0; k < line.size();) {
    if (separators.find(line[k]) != std::string::npos) {
      ++k;
      continue;
    }
    std::size_t end = k;
    while (end < line.size() && end - k < dorvex::kWordSize - 1 &&
           separators.find(line[end]) == std::string::npos) {
      ++end;
    }
    expected.emplace_back(line.substr(k, end - k));
    k = end;
  }
  require(complete == (expected.size() < static_cast<std::size_t>(maxWords)));
  for (int k = 0; k < maxWords; ++k) {
    const char* word = words.data() + dorvex::kWordSize * k;
    const std::string want = static_cast<std::size_t>(k) < expected.size() ? expected[k] : "";
    require(lengths[k] == static_cast<int>(want.size()));
    require(std::memcmp(word, want.c_str(), want.size() + 1) == 0);
  }
  // Slot maxWords is emptied for too many words, else left alone.
  const char* extra = words.data() + dorvex::kWordSize * maxWords;
  require(complete ? lengths[maxWords] == -1 && extra[0] == 'x' : lengths[maxWords] == 0 && extra[0] == '\0');
}

void appendStep(TextCursor& cursor, FuzzedDataProvider& input) {
  std::string text = input.ConsumeRandomLengthString(64);
  const Snapshot before(cursor);
  std::string_view expected(text.c_str());
  try {
    bool appended = cursor.append(text);
    require(appended == !expected.empty());
  } catch (const std::length_error&) {
    requireTooLarge(before.offset + expected.size() + 1);
    require(before.same(cursor));
    return;
  }
  require(checkedOffset(cursor) == before.offset + expected.size());
  require(cursor.view() == overwritten(before.text, before.offset, expected));
}

// Bytes written in place into the room given, all of it or some of it, with
// their line feeds told.
void inPlaceStep(TextCursor& cursor, FuzzedDataProvider& input) {
  const std::size_t size = input.ConsumeIntegralInRange<std::size_t>(0, 300);
  const Snapshot before(cursor);
  std::size_t room = 0;
  char* place = nullptr;
  try {
    place = cursor.appendRoom(size, &room);
  } catch (const std::length_error&) {
    requireTooLarge(before.offset + size + 1);
    require(before.same(cursor));
    return;
  }
  require(place != nullptr && room >= size && before.same(cursor));
  std::string bytes = noNul(input.ConsumeRandomLengthString(room));
  if (input.ConsumeBool() && bytes.size() < room) bytes.resize(room, '\n');
  std::memcpy(place, bytes.data(), bytes.size());
  require(!cursor.appendWritten(room + 1, 0));  // the terminator would not fit
  bool taken = cursor.appendWritten(bytes.size(), dorvex::countLineFeeds(bytes));
  require(taken == !bytes.empty());
  if (!taken) return;
  require(checkedOffset(cursor) == before.offset + bytes.size());
  require(cursor.view() == overwritten(before.text, before.offset, bytes));
}

// Pieces through a writer, against what printf writes.
void writerStep(TextCursor& cursor, FuzzedDataProvider& input) {
  const Snapshot before(cursor);
  std::string expected;
  bool refused = false;
  {
    TextWriter writer(&cursor);
    const int pieces = input.ConsumeIntegralInRange<int>(0, 16);
    for (int k = 0; k < pieces && !refused; ++k) {
      std::string piece;
      try {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
          case 0: {
            std::string text = input.ConsumeRandomLengthString(40);
            piece = noNul(text);
            writer.text(text);
            break;
          }
          case 1: {
            const long long value = input.ConsumeIntegral<long long>();
            char printed[32];
            std::snprintf(printed, sizeof printed, "%lld", value);
            piece = printed;
            writer.number(value);
            break;
          }
          case 2: {
            const long long value = input.ConsumeIntegral<long long>();
            const int width = input.ConsumeIntegralInRange<int>(0, 30);
            char printed[64];
            std::snprintf(printed, sizeof printed, "%0*lld", width, value);
            piece = printed;
            writer.padded(value, width);
            break;
          }
          case 3: {
            unsigned char octets[4];
            for (unsigned char& octet : octets) octet = input.ConsumeIntegral<unsigned char>();
            char printed[16];
            std::snprintf(printed, sizeof printed, "%d.%d.%d.%d", octets[0], octets[1], octets[2],
                          octets[3]);
            piece = printed;
            writer.quad(octets);
            break;
          }
        }
        expected += piece;
      } catch (const std::length_error&) {
        requireTooLarge(before.offset + expected.size() + piece.size() + 1);
        refused = true;
      }
    }
  }
  // A refused piece is not written; those before it are, whole.
  require(checkedOffset(cursor) == before.offset + expected.size());
  require(cursor.view() == overwritten(before.text, before.offset, expected));
}

void step(TextCursor& cursor, FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: splitLineStep(cursor, input); break;
    case 1: appendStep(cursor, input); break;
    case 2: inPlaceStep(cursor, input); break;
    case 3: {
      const std::size_t count =
          input.ConsumeBool() ? SIZE_MAX : input.ConsumeIntegralInRange<std::size_t>(0, 400);
      const std::size_t before = checkedOffset(cursor);
      require(cursor.advance(count));
      require(checkedOffset(cursor) == before + std::min(count, cursor.view().size() - before));
      break;
    }
    case 4: {
      std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 512);
      std::vector<char> dest(capacity + 1, 'x');
      bool copied = cursor.copyOut(dest.data(), capacity);
      require(copied == (cursor.view().size() < capacity));
      if (copied) require(std::string_view(dest.data()) == cursor.view());
      if (!copied) require(dest[0] == 'x');
      require(dest[capacity] == 'x');
      break;
    }
    case 5: {
      // A fresh output buffer, small so that appends have to grow it.
      std::size_t size = input.ConsumeIntegralInRange<std::size_t>(0, 16);
      const Snapshot before(cursor);
      try {
        require(cursor.allocate(size));
      } catch (const std::length_error&) {
        requireTooLarge(std::max<std::size_t>(size, 1));
        require(before.same(cursor));
        break;
      }
      require(checkedOffset(cursor) == 0 && cursor.view().empty());
      break;
    }
    case 6: {
      std::string text = input.ConsumeRandomLengthString(600);
      const Snapshot before(cursor);
      try {
        require(cursor.loadText(text));
      } catch (const std::length_error&) {
        requireTooLarge(noNul(text).size() + 1);
        require(before.same(cursor));
        break;
      }
      require(checkedOffset(cursor) == 0 && cursor.view() == noNul(text));
      break;
    }
    case 7: writerStep(cursor, input); break;
  }
}

// The limit lowered for one input, restored whatever happens.
struct MaxCapacity {
  explicit MaxCapacity(std::size_t capacity) {
    TextCursor::setMaxCapacity(capacity);
    limit = capacity;
  }
  ~MaxCapacity() {
    TextCursor::setMaxCapacity(0);
    limit = dorvex::kMaxTextCapacity;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string text = input.ConsumeRandomLengthString(4096);
  TextCursor cursor;
  require(cursor.loadText(text));
  require(cursor.view() == std::string_view(text.c_str()));
  // Mostly the platform's limit; else one that the text and its appends
  // soon reach.
  const std::size_t capacity = input.ConsumeBool()
                                   ? dorvex::kMaxTextCapacity
                                   : cursor.view().size() + 1 + input.ConsumeIntegral<std::uint8_t>();
  MaxCapacity lowered(capacity);
  for (int steps = 0; steps < 64 && input.remaining_bytes() > 0; ++steps) {
    step(cursor, input);
    require(cursor.view().size() < limit);
  }
  return 0;
}
