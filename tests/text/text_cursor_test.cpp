#include "text/text_cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace dorvex {
namespace {

constexpr char kSeparators[] = " \r";

// "line:column" of the position, then the byte there.
std::string where(const TextCursor& cursor) {
  int column = 0, line = 0;
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
  char ch = 'X', dest[8] = "keep";
  std::vector<char> row(kWordSize * 2, 'Z');
  EXPECT_FALSE(c.append("a") || c.length(n) || c.copyOut(dest, sizeof dest) || c.peekChar(ch) ||
               c.nextChar(ch) || c.getPosition(n, n) || c.toLineStart() || c.advance(1) ||
               c.seek(1, 1) || c.syncPosition() || c.skipSeparators(kSeparators) ||
               c.readWord(dest, sizeof dest, kSeparators) || c.readLine(dest, sizeof dest) ||
               c.splitLine(row.data(), 1, kSeparators));
  EXPECT_EQ(7, n);
  EXPECT_EQ('X', ch);
  EXPECT_STREQ("keep", dest);
  EXPECT_EQ('Z', row[0]);
  EXPECT_TRUE(TextCursor::parseDecimal("12", n));  // the conversions need no buffer
}

TEST(TextCursorTest, ParseDecimal) {
  const std::pair<const char*, int> kGood[] = {
      {"0", 0}, {"0042", 42}, {"2147483647", 2147483647}, {"00000000000002147483647", 2147483647}};
  for (const auto& [word, value] : kGood) {
    int out = -7;
    EXPECT_TRUE(TextCursor::parseDecimal(word, out)) << word;
    EXPECT_EQ(value, out) << word;
    out = -7;
    EXPECT_TRUE(TextCursor::parseDecimal(std::string_view(word), out)) << word;
    EXPECT_EQ(value, out) << word;
  }
  // Over 2147483647 is refused, also where 32 bits would wrap to 10.
  const char* const kBad[] = {"",   "-1",   "+5",  "4a",         " 1",
                              "1 ", "\xb3", "1.0", "2147483648", "4294967306"};
  for (const char* word : kBad) {
    int out = -7;
    EXPECT_FALSE(TextCursor::parseDecimal(word, out)) << word;
    EXPECT_FALSE(TextCursor::parseDecimal(std::string_view(word), out)) << word;
    EXPECT_EQ(-7, out) << word;
  }
  // A view is converted whole: a NUL inside it is a byte like any other.
  int out = -7;
  EXPECT_FALSE(TextCursor::parseDecimal(std::string_view("12\0" "3", 4), out));
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

// Bytes written in place count as appendBytes() would count them, and the
// room grows the buffer without losing what was there.
TEST(TextCursorTest, AppendWrittenInPlaceMatchesAppendBytes) {
  const std::string piece = "x\r\nyy\r\n" + std::string(300, 'z');
  TextCursor byAppend, inPlace;
  ASSERT_TRUE(byAppend.allocate(4));
  ASSERT_TRUE(inPlace.allocate(4));
  EXPECT_TRUE(byAppend.append("ab"));
  EXPECT_TRUE(inPlace.append("ab"));
  EXPECT_TRUE(byAppend.appendBytes(piece.data(), piece.size()));
  char* room = inPlace.appendRoom(piece.size() + 50);
  ASSERT_NE(nullptr, room);
  std::memcpy(room, piece.data(), piece.size());
  EXPECT_TRUE(inPlace.appendWritten(piece.size()));
  EXPECT_EQ(byAppend.view(), inPlace.view());
  EXPECT_EQ(where(byAppend), where(inPlace));
  EXPECT_EQ("3:301$", where(inPlace));
  // No line break: the column moves on.
  room = inPlace.appendRoom(3);
  ASSERT_NE(nullptr, room);
  std::memcpy(room, "abc", 3);
  EXPECT_TRUE(inPlace.appendWritten(3));
  EXPECT_EQ("3:304$", where(inPlace));
  EXPECT_EQ("ab" + piece + "abc", inPlace.view());
  EXPECT_FALSE(inPlace.appendWritten(0));
  // With the line feeds given by the caller, the same again.
  TextCursor told;
  ASSERT_TRUE(told.allocate(1));
  room = told.appendRoom(2 + piece.size());
  ASSERT_NE(nullptr, room);
  std::memcpy(room, ("ab" + piece).data(), 2 + piece.size());
  EXPECT_TRUE(told.appendWritten(2 + piece.size(), 2));
  EXPECT_EQ(where(byAppend), where(told));
  EXPECT_EQ(byAppend.view(), told.view());
  TextCursor none;
  EXPECT_EQ(nullptr, none.appendRoom(1));
  EXPECT_FALSE(none.appendWritten(1));
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

TEST(TextCursorTest, MovingFollowsTheCountingRules) {
  TextCursor c;
  ASSERT_TRUE(c.loadText("a\r\nbc\nd"));
  char ch = 0;
  EXPECT_TRUE(c.nextChar(ch) && c.nextChar(ch));
  EXPECT_EQ("1:3\n", where(c));  // the CR took a column
  EXPECT_TRUE(c.nextChar(ch));
  EXPECT_EQ("2:1b", where(c));
  EXPECT_FALSE(c.advance(-1));
  EXPECT_TRUE(c.advance(1) && c.toLineStart());
  EXPECT_EQ("2:1b", where(c));
  EXPECT_TRUE(c.seek(1, 3));
  EXPECT_EQ("3:1d", where(c));
  EXPECT_TRUE(c.seek(2, 1));  // backwards
  EXPECT_EQ("1:2\r", where(c));
  EXPECT_FALSE(c.seek(4, 2));  // past line 2
  EXPECT_FALSE(c.seek(2, 3));  // the end of the text cannot be sought
  EXPECT_EQ("1:2\r", where(c));
  EXPECT_TRUE(c.syncPosition());
  EXPECT_EQ("1:2\r", where(c));
  EXPECT_TRUE(c.advance(100) && c.nextChar(ch));  // stops at the end, where nextChar stays
  EXPECT_EQ("3:2$", where(c));
  EXPECT_TRUE(c.syncPosition());
  EXPECT_EQ("3:2$", where(c));
  ASSERT_TRUE(c.loadText("abc\n"));
  EXPECT_FALSE(c.seek(1, 2));
  ASSERT_TRUE(c.loadText("abc\nd"));
  EXPECT_TRUE(c.seek(1, 2));
  EXPECT_EQ("2:1d", where(c));
}

TEST(TextCursorTest, ReadWordAndReadLineCutAtTheBuffer) {
  TextCursor c;
  ASSERT_TRUE(c.loadText(std::string(300, 'w') + " \t\nabc\r\nabcdef\nlast"));
  char dest[kWordSize], small[4];
  EXPECT_FALSE(c.readWord(dest, kWordSize, kSeparators));
  EXPECT_EQ(std::string(254, 'w'), dest);
  EXPECT_TRUE(c.readWord(dest, kWordSize, kSeparators));
  EXPECT_EQ(std::string(46, 'w'), dest);
  EXPECT_TRUE(c.skipSeparators(kSeparators));
  EXPECT_EQ("1:302\t", where(c));  // a tab is no separator
  EXPECT_TRUE(c.readWord(dest, kWordSize, kSeparators));
  EXPECT_STREQ("\t", dest);
  EXPECT_EQ("1:303\n", where(c));  // nor is the LF consumed
  EXPECT_FALSE(c.readWord(dest, 0, kSeparators));
  EXPECT_TRUE(c.advance(1) && c.readLine(dest, kWordSize));
  EXPECT_STREQ("abc\r", dest);  // the CR stays, the LF is consumed
  EXPECT_FALSE(c.readLine(small, sizeof small));
  EXPECT_STREQ("abc", small);  // "d" consumed and dropped
  EXPECT_TRUE(c.readLine(dest, kWordSize));
  EXPECT_STREQ("ef", dest);
  EXPECT_TRUE(c.readLine(dest, kWordSize));
  EXPECT_STREQ("last", dest);
  EXPECT_FALSE(c.readLine(dest, 0));
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
    EXPECT_EQ(k.result, c.splitLine(row.data(), 15, kSeparators));
    std::vector<std::string> got;
    for (int s = 0; s < 15 && row[kWordSize * s]; ++s) got.push_back(&row[kWordSize * s]);
    EXPECT_EQ(k.words, got);
    for (int s = static_cast<int>(got.size()); s < 15; ++s) EXPECT_EQ('\0', row[kWordSize * s]);
    EXPECT_STREQ(k.result ? "Z" : "", &row[kWordSize * 15]);  // written only for too many words
    EXPECT_EQ(k.after, where(c));
    // The measuring split stores the same words, and their lengths.
    TextCursor m;
    ASSERT_TRUE(m.loadText(k.text));
    std::vector<char> measured(kWordSize * 16);
    for (int s = 0; s < 16; ++s) std::strcpy(&measured[kWordSize * s], "Z");
    std::vector<int> lengths(16, 99);
    EXPECT_EQ(k.result, m.splitLine(measured.data(), lengths.data(), 15, kSeparators));
    for (int s = 0; s < 15; ++s) {
      EXPECT_STREQ(&row[kWordSize * s], &measured[kWordSize * s]);
      const int expected = s < static_cast<int>(got.size()) ? static_cast<int>(got[s].size()) : 0;
      EXPECT_EQ(expected, lengths[s]) << "slot " << s;
    }
    EXPECT_EQ(k.result ? 99 : 0, lengths[15]);
    EXPECT_EQ(k.after, where(m));
  }
  TextCursor c;
  ASSERT_TRUE(c.loadText("a b\n"));
  std::vector<char> row(kWordSize * 2, 'Z');
  EXPECT_FALSE(c.splitLine(row.data(), 0, kSeparators));
  EXPECT_FALSE(c.splitLine(row.data(), 1, std::string(256, ' ').c_str()));
  EXPECT_EQ("1:1a", where(c));
}

}  // namespace
}  // namespace dorvex
