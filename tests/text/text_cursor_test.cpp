#include "text/text_cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace dorvex {
namespace {

constexpr char kSeparators[] = " \r";

// The largest buffer of every cursor lowered for one test.
class MaxCapacity {
 public:
  explicit MaxCapacity(std::size_t capacity) { TextCursor::setMaxCapacity(capacity); }
  ~MaxCapacity() { TextCursor::setMaxCapacity(0); }
};

// "line:column" of the position, then the byte there.
std::string where(const TextCursor& cursor) {
  std::size_t column = 0, line = 0;
  char c = '?';
  cursor.getPosition(column, line);
  cursor.peekChar(c);
  return std::to_string(line) + ":" + std::to_string(column) + (c ? std::string(1, c) : "$");
}

std::vector<std::string> wordList(int count) {
  std::vector<std::string> list;
  for (int k = 1; k <= count; ++k) list.push_back("w" + std::to_string(k));
  return list;
}

std::string wordLine(int count) {
  std::string line;
  for (const std::string& w : wordList(count)) line += (line.empty() ? "" : " ") + w;
  return line;
}

TEST(TextCursorTest, NoBufferReturnsFalseEverywhere) {
  TextCursor c;
  int n = 7;
  std::size_t column = 7, line = 7;
  char ch = 'X', dest[8] = "keep";
  std::vector<char> row(kWordSize * 2, 'Z');
  std::vector<int> lengths(2, 7);
  EXPECT_FALSE(c.append("a") || c.appendWritten(1, 0) || c.copyOut(dest, sizeof dest) ||
               c.peekChar(ch) || c.getPosition(column, line) || c.advance(1) ||
               c.splitLine(row.data(), lengths.data(), 1, kSeparators));
  EXPECT_EQ(nullptr, c.appendRoom(1));
  EXPECT_EQ(7u, column);
  EXPECT_EQ(7u, line);
  EXPECT_EQ('X', ch);
  EXPECT_STREQ("keep", dest);
  EXPECT_EQ('Z', row[0]);
  EXPECT_EQ(7, lengths[0]);
  EXPECT_TRUE(c.view().empty());
  EXPECT_TRUE(TextCursor::parseDecimal("12", n));  // the conversions need no buffer
  EXPECT_EQ(12, n);
}

TEST(TextCursorTest, ParseDecimal) {
  const std::pair<const char*, int> kGood[] = {
      {"0", 0}, {"0042", 42}, {"2147483647", 2147483647}, {"00000000000002147483647", 2147483647}};
  for (const auto& [word, value] : kGood) {
    int out = -7;
    EXPECT_TRUE(TextCursor::parseDecimal(word, out)) << word;
    EXPECT_EQ(value, out) << word;
  }
  // Over 2147483647 is refused, also where 32 bits would wrap to 10.
  const char* const kBad[] = {"",   "-1",   "+5",  "4a",         " 1",
                              "1 ", "\xb3", "1.0", "2147483648", "4294967306"};
  for (const char* word : kBad) {
    int out = -7;
    EXPECT_FALSE(TextCursor::parseDecimal(word, out)) << word;
    EXPECT_EQ(-7, out) << word;
  }
  // A view is converted whole: a NUL inside it is a byte like any other.
  int out = -7;
  EXPECT_FALSE(TextCursor::parseDecimal(std::string_view("12\0"
                                                         "3",
                                                         4),
                                        out));
  EXPECT_TRUE(TextCursor::parseDecimal(std::string_view("123", 2), out));
  EXPECT_EQ(12, out);
}

TEST(TextCursorTest, ParseDottedQuad) {
  const std::pair<const char*, std::vector<int>> kGood[] = {
      {"0.0.0.0", {0, 0, 0, 0}},
      {"255.255.255.255", {255, 255, 255, 255}},
      {"010.001.000.009", {10, 1, 0, 9}},
      {"00000000001.2.3.4", {1, 2, 3, 4}}};
  for (const auto& [word, values] : kGood) {
    std::vector<int> out(4, -7);
    EXPECT_TRUE(TextCursor::parseDottedQuad(word, out[0], out[1], out[2], out[3])) << word;
    EXPECT_EQ(values, out) << word;
  }
  const char* const kBad[] = {
      "",         "10.1.1",    "1.2.3.4.5",        "1..2.3",          "1.2.3.4x",
      ".1.2.3",   "256.1.1.1", "1.2.3.",           "-1.2.3.4",        "1.2.3.256",
      "1 .2.3.4", "1.2.3.4 ",  "1.1.1.4294967297", "4294967297.1.1.1"};
  for (const char* word : kBad) {
    int a, b, c, d;
    EXPECT_FALSE(TextCursor::parseDottedQuad(word, a, b, c, d)) << word;
  }
  std::vector<int> out(4, -7);  // groups converted before the failure keep their values
  EXPECT_FALSE(TextCursor::parseDottedQuad("1.2.300.4", out[0], out[1], out[2], out[3]));
  EXPECT_EQ((std::vector<int>{1, 2, 300, -7}), out);
  // A group is stored only once its separator is right and it converts.
  const std::pair<const char*, std::vector<int>> kPartial[] = {
      {"1.2.2147483647.4", {1, 2, 2147483647, -7}},
      {"1.2.2147483648.4", {1, 2, -7, -7}},
      {"1.2.99999999999999999999999.4", {1, 2, -7, -7}},
      {"1.2.300x.4", {1, 2, -7, -7}},
      {"1.2.3.99999999999", {1, 2, 3, -7}},
      {"1.2.3.300", {1, 2, 3, 300}}};
  for (const auto& [word, values] : kPartial) {
    std::vector<int> partial(4, -7);
    EXPECT_FALSE(TextCursor::parseDottedQuad(word, partial[0], partial[1], partial[2], partial[3]));
    EXPECT_EQ(values, partial) << word;
  }
}

TEST(TextCursorTest, AppendCountsLinesAndColumns) {
  TextCursor c;
  ASSERT_TRUE(c.allocate(100));
  EXPECT_FALSE(c.append(""));
  EXPECT_TRUE(c.append("ab\r\ncd"));
  EXPECT_EQ("2:3$", where(c));  // pos 6, the end of the text
  EXPECT_FALSE(c.append(""));
  EXPECT_TRUE(c.append("\x83\x65"));  // bytes pass through, one column each
  EXPECT_EQ("2:5$", where(c));
  EXPECT_EQ("ab\r\ncd\x83\x65", c.view());
}

// Issue 2: an append that does not fit grows the buffer; nothing is cut.
TEST(TextCursorTest, AppendGrowsPastTheAllocatedSize) {
  TextCursor c;
  ASSERT_TRUE(c.allocate(4));
  const std::string text = "abc" + std::string(1000, 'q') + "\n!";
  EXPECT_TRUE(c.append("abc"));
  EXPECT_TRUE(c.append(text.substr(3).c_str()));
  EXPECT_EQ("2:2$", where(c));
  std::vector<char> out(text.size() + 1, 'Z');
  EXPECT_TRUE(c.copyOut(out.data(), out.size()));
  EXPECT_EQ(text, out.data());
}

// Bytes written in place, with their line feeds told, move the position as
// append() would, and the room grows the buffer without losing what was
// there.
TEST(TextCursorTest, AppendWrittenInPlaceMatchesAppend) {
  const std::string piece = "x\r\nyy\r\n" + std::string(300, 'z');
  TextCursor byAppend, inPlace;
  ASSERT_TRUE(byAppend.allocate(4));
  ASSERT_TRUE(inPlace.allocate(4));
  EXPECT_TRUE(byAppend.append("ab"));
  EXPECT_TRUE(inPlace.append("ab"));
  EXPECT_TRUE(byAppend.append(piece));
  char* room = inPlace.appendRoom(piece.size() + 50);
  ASSERT_NE(nullptr, room);
  std::memcpy(room, piece.data(), piece.size());
  EXPECT_TRUE(inPlace.appendWritten(piece.size(), 2));
  EXPECT_EQ(byAppend.view(), inPlace.view());
  EXPECT_EQ(where(byAppend), where(inPlace));
  EXPECT_EQ("3:301$", where(inPlace));
  // No line break: the column moves on.
  room = inPlace.appendRoom(3);
  ASSERT_NE(nullptr, room);
  std::memcpy(room, "abc", 3);
  EXPECT_TRUE(inPlace.appendWritten(3, 0));
  EXPECT_EQ("3:304$", where(inPlace));
  EXPECT_EQ("ab" + piece + "abc", inPlace.view());
  EXPECT_FALSE(inPlace.appendWritten(0, 0));
  // All the room given may be written, and no more: the terminator must
  // still fit behind it.
  std::size_t size = 0;
  room = inPlace.appendRoom(5, &size);
  ASSERT_NE(nullptr, room);
  ASSERT_GE(size, 5u);
  EXPECT_FALSE(inPlace.appendWritten(size + 1, 0));
  EXPECT_EQ("ab" + piece + "abc", inPlace.view());
  std::memset(room, 'r', size);
  EXPECT_TRUE(inPlace.appendWritten(size, 0));
  EXPECT_EQ("ab" + piece + "abc" + std::string(size, 'r'), inPlace.view());
}

// Counted eight bytes at a time: every length and offset around a word of
// eight, LF next to bytes whose low seven bits match it.
TEST(TextCursorTest, CountLineFeeds) {
  EXPECT_EQ(0u, countLineFeeds(""));
  for (std::size_t size = 1; size < 40; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      std::string text(size, '\x8A');
      text[at] = '\n';
      if (at + 3 < size) text[at + 3] = '\n';
      if (at > 0) text[at - 1] = '\x0B';
      const std::size_t expected = at + 3 < size ? 2 : 1;
      EXPECT_EQ(expected, countLineFeeds(text)) << size << " " << at;
    }
  }
  EXPECT_EQ(64u, countLineFeeds(std::string(64, '\n')));
}

TEST(TextCursorTest, CopyOutNeedsRoomForTheNul) {
  TextCursor c;
  ASSERT_TRUE(c.loadText(std::string_view("0123456789\0tail", 15)));  // ends at its NUL
  char ten[10], eleven[11];
  std::memset(ten, 'Z', sizeof ten);
  EXPECT_FALSE(c.copyOut(ten, sizeof ten));
  EXPECT_EQ(std::string(10, 'Z'), std::string(ten, sizeof ten));
  EXPECT_TRUE(c.copyOut(eleven, sizeof eleven));
  EXPECT_STREQ("0123456789", eleven);
}

TEST(TextCursorTest, AdvanceFollowsTheCountingRules) {
  TextCursor c;
  ASSERT_TRUE(c.loadText("a\r\nbc\nd"));
  EXPECT_TRUE(c.advance(2));
  EXPECT_EQ("1:3\n", where(c));  // the CR took a column
  EXPECT_TRUE(c.advance(1));
  EXPECT_EQ("2:1b", where(c));
  EXPECT_TRUE(c.advance(0));
  EXPECT_EQ("2:1b", where(c));
  EXPECT_TRUE(c.advance(3));  // over "bc" and the LF
  EXPECT_EQ("3:1d", where(c));
  EXPECT_TRUE(c.advance(100));  // stops at the end
  EXPECT_EQ("3:2$", where(c));
  ASSERT_TRUE(c.loadText("x\n\n\nyz"));
  EXPECT_TRUE(c.advance(SIZE_MAX));  // no count wraps the position
  EXPECT_EQ("4:3$", where(c));
}

TEST(TextCursorTest, SplitLine) {
  struct Case {
    std::string text;
    bool result;
    std::vector<std::string> words;
    std::string after;  // where() after the split
  };
  const std::string sjis = "\x83\x65\x83\x58\x83\x67";
  const Case kCases[] = {
      {"access-list 1 permit any\r\nx", true, {"access-list", "1", "permit", "any"}, "2:1x"},
      {"  \r \nx", true, {}, "2:1x"},
      {"\nx", true, {}, "2:1x"},
      {"  a  b \r\n", true, {"a", "b"}, "2:1$"},
      {"a\tb c\n", true, {"a\tb", "c"}, "2:1$"},
      {"a b", true, {"a", "b"}, "1:4$"},
      {sjis + " " + sjis, true, {sjis, sjis}, "1:14$"},
      {std::string(300, 'x') + " y\n",
       true,
       {std::string(254, 'x'), std::string(46, 'x'), "y"},
       "2:1$"},
      {wordLine(14) + "\nx", true, wordList(14), "2:1x"},
      {wordLine(15) + "\r\nx", false, wordList(15), "2:1x"},
      {wordLine(15) + "\n", false, wordList(15), "2:1$"},
      {wordLine(16) + "\nx", false, wordList(15), "2:1x"},
      {wordLine(16), false, wordList(15), "1:55$"},
  };
  for (const Case& k : kCases) {
    SCOPED_TRACE(k.text);
    TextCursor c;
    ASSERT_TRUE(c.loadText(k.text));
    if (k.text[0] != '\n') c.advance(1);  // the split starts at the line start anyway
    std::vector<char> row(kWordSize * 16);
    for (int s = 0; s < 16; ++s) std::strcpy(&row[kWordSize * s], "Z");
    std::vector<int> lengths(16, 99);
    EXPECT_EQ(k.result, c.splitLine(row.data(), lengths.data(), 15, kSeparators));
    std::vector<std::string> got;
    for (int s = 0; s < 15 && row[kWordSize * s]; ++s) got.push_back(&row[kWordSize * s]);
    EXPECT_EQ(k.words, got);
    for (int s = 0; s < 15; ++s) {
      const bool used = s < static_cast<int>(got.size());
      EXPECT_EQ(used ? static_cast<int>(got[s].size()) : 0, lengths[s]) << "slot " << s;
      if (!used) {
        EXPECT_EQ(0, row[kWordSize * s]) << "slot " << s;
      }
    }
    // Slot 15 is written only for too many words.
    EXPECT_STREQ(k.result ? "Z" : "", &row[kWordSize * 15]);
    EXPECT_EQ(k.result ? 99 : 0, lengths[15]);
    EXPECT_EQ(k.after, where(c));
  }
  TextCursor c;
  ASSERT_TRUE(c.loadText("a b\n"));
  std::vector<char> row(kWordSize * 2, 'Z');
  std::vector<int> lengths(2, 7);
  EXPECT_FALSE(c.splitLine(row.data(), lengths.data(), 0, kSeparators));
  EXPECT_FALSE(c.splitLine(row.data(), lengths.data(), 1, std::string(256, ' ').c_str()));
  EXPECT_EQ("1:1a", where(c));
  EXPECT_EQ('Z', row[0]);
  EXPECT_EQ(7, lengths[0]);
}

// Issue 12: a text that would pass the largest buffer throws length_error
// before any size can wrap, and leaves the text and the position as they
// were; a text that just fits is taken whole. The limit is lowered to 32
// bytes, so texts of up to 31 bytes fit.
TEST(TextCursorTest, TextPastTheLargestBufferThrowsAndChangesNothing) {
  MaxCapacity limit(32);
  struct Case {
    const char* name;
    std::function<void(TextCursor&)> operation;
  };
  const Case kTooLarge[] = {
      {"append", [](TextCursor& c) { c.append(std::string(27, 'x')); }},
      {"appendRoom", [](TextCursor& c) { c.appendRoom(27); }},
      {"appendRoom, a size that would wrap", [](TextCursor& c) { c.appendRoom(SIZE_MAX); }},
      {"allocate", [](TextCursor& c) { c.allocate(33); }},
      {"loadText", [](TextCursor& c) { c.loadText(std::string(32, 'x')); }},
  };
  for (const Case& k : kTooLarge) {
    SCOPED_TRACE(k.name);
    TextCursor c;
    ASSERT_TRUE(c.loadText("ab\ncd") && c.advance(5));
    EXPECT_THROW(k.operation(c), std::length_error);
    EXPECT_EQ("ab\ncd", c.view());
    EXPECT_EQ("2:3$", where(c));
  }
  TextCursor c;
  ASSERT_TRUE(c.loadText("ab\ncd") && c.advance(5));
  std::size_t room = 0;
  char* place = c.appendRoom(26, &room);
  ASSERT_NE(nullptr, place);
  EXPECT_EQ(26u, room);  // grown to the limit and no further
  std::memset(place, 'y', room);
  EXPECT_TRUE(c.appendWritten(room, 0));
  EXPECT_EQ("ab\ncd" + std::string(26, 'y'), c.view());
  EXPECT_EQ("2:29$", where(c));
  EXPECT_THROW(c.append("z"), std::length_error);
  EXPECT_TRUE(c.allocate(32) && c.append(std::string(31, 'a')));
  EXPECT_TRUE(c.loadText(std::string(31, 'b')));
  EXPECT_EQ(std::string(31, 'b'), c.view());
}

// The growth rule at and past 2 GiB, where an int position wrapped, and at
// the limit of a 32-bit build (kMaxTextCapacity there), with sums that would
// wrap a size_t. No such buffer is allocated: only the arithmetic is checked.
TEST(TextCursorTest, GrowthArithmeticPastTwoGigabytes) {
  struct Case {
    std::size_t capacity, pos, extra, limit, expected;
  };
  constexpr std::size_t kGiB = std::size_t{1} << 30;
  constexpr std::size_t k32BitLimit = 0x7FFFFFFF;
  const Case kCases[] = {
      {16, 10, 3, kMaxTextCapacity, 32},     // doubled
      {16, 10, 100, kMaxTextCapacity, 111},  // what the bytes need, when more
      {kGiB + kGiB / 2, kGiB + kGiB / 2 - 1, 10, k32BitLimit,
       k32BitLimit},  // doubling stops at the limit
      {k32BitLimit - 10, k32BitLimit - 11, 10, k32BitLimit,
       k32BitLimit},                                             // the terminator in the last byte
      {k32BitLimit - 10, k32BitLimit - 11, 11, k32BitLimit, 0},  // one byte more
      {16, 10, k32BitLimit, k32BitLimit, 0},
      {16, 10, SIZE_MAX, kMaxTextCapacity, 0},  // pos + extra + 1 would wrap to 9
      {16, 10, SIZE_MAX - 5, SIZE_MAX, 0},      // pos + extra would wrap to 4
      {16, SIZE_MAX - 1, 1, SIZE_MAX, 0},       // pos + extra + 1 would wrap to 0
  };
  for (const Case& k : kCases) {
    EXPECT_EQ(k.expected, grownCapacity(k.capacity, k.pos, k.extra, k.limit))
        << k.capacity << " " << k.pos << " " << k.extra << " " << k.limit;
  }
  if constexpr (sizeof(std::size_t) >= 8) {
    // Past 2 and 4 GiB where the platform holds such texts.
    const Case kLarge[] = {
        {2 * kGiB, 2 * kGiB - 1, 1, kMaxTextCapacity, 4 * kGiB},
        {3 * kGiB, 3 * kGiB - 1, 10, kMaxTextCapacity, 6 * kGiB},
        {4 * kGiB, 4 * kGiB - 1, 5 * kGiB, kMaxTextCapacity, 9 * kGiB},
    };
    for (const Case& k : kLarge) {
      EXPECT_EQ(k.expected, grownCapacity(k.capacity, k.pos, k.extra, k.limit))
          << k.capacity << " " << k.pos << " " << k.extra;
    }
  }
}

// A buffer the system cannot give throws std::bad_alloc and leaves the text
// as it was: never a shortened text or a false that a caller may skip.
TEST(TextCursorTest, FailedAllocationThrowsAndChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer ends the process at an allocation this large";
#endif
  TextCursor c;
  ASSERT_TRUE(c.loadText("ab\ncd") && c.advance(5));
  EXPECT_THROW(c.allocate(kMaxTextCapacity), std::bad_alloc);
  EXPECT_THROW(c.appendRoom(kMaxTextCapacity - 16), std::bad_alloc);
  EXPECT_EQ("ab\ncd", c.view());
  EXPECT_EQ("2:3$", where(c));
  EXPECT_TRUE(c.append("e"));
  EXPECT_EQ("ab\ncde", c.view());
}

}  // namespace
}  // namespace dorvex
