#include "text/text_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace dorvex {
namespace {

// The largest buffer of every cursor lowered for a while.
class MaxCapacity {
 public:
  explicit MaxCapacity(std::size_t capacity) { TextCursor::setMaxCapacity(capacity); }
  ~MaxCapacity() { TextCursor::setMaxCapacity(0); }
};

std::string printed(long long value, int width) {
  char text[64];
  std::snprintf(text, sizeof text, "%0*lld", width, value);
  return text;
}

// Numbers as "%0*lld" writes them: around every power of ten, both signs,
// the extremes, and the widths the check uses and some it does not.
TEST(TextWriterTest, NumbersAsPrintfWritesThem) {
  std::vector<long long> values = {0,
                                   1,
                                   -1,
                                   2147483647LL,
                                   -2147483648LL,
                                   4294967295LL,
                                   9223372036854775807LL,
                                   -9223372036854775807LL - 1};
  // Up to 10^18; one step more would overflow.
  for (long long power = 1; power != 0; power = power < 1000000000000000000LL ? power * 10 : 0) {
    for (long long delta : {-1LL, 0LL, 1LL}) {
      values.push_back(power + delta);
      values.push_back(-(power + delta));
    }
  }
  for (long long value : values) {
    for (int width : {0, 1, 2, 3, 5, 10, 12, 25}) {
      TextCursor out;
      ASSERT_TRUE(out.allocate(1));
      TextWriter(&out).padded(value, width);
      EXPECT_EQ(printed(value, width), out.view()) << value << " " << width;
    }
  }
}

// Pieces of every size go in whole and in order, each ending at its first
// NUL byte, however small the buffer was at the start; the cursor's line
// and column follow the bytes written.
TEST(TextWriterTest, PiecesGrowTheBufferAndMoveTheCursor) {
  TextCursor out;
  ASSERT_TRUE(out.allocate(1));
  std::string expected;
  {
    TextWriter writer(&out);
    const unsigned char octets[4] = {10, 0, 255, 7};
    for (int k = 0; k < 2000; ++k) {
      writer.text("w").padded(k, 3).text(std::string_view("ab\0cd", 5)).quad(octets).line("-l");
      // Both ways of ending a line count its LF.
      if (k % 2 == 0) {
        writer.text("\r\n");
      } else {
        writer.lineEnd();
      }
      expected += "w" + printed(k, 3) + "ab10.0.255.7-l\r\n";
    }
    const std::string lineFeeds = "\n\n" + std::string(30, '\n');  // a long piece, and a short one
    writer.text(lineFeeds).text(lineFeeds.substr(0, 2)).text(std::string_view());
    expected += lineFeeds + "\n\n";
    const std::string longPiece = std::string(70000, 'x') + std::string(1, '\0') + "y";
    writer.text(longPiece).text("").text("z");
    expected += std::string(70000, 'x') + "z";
  }
  EXPECT_EQ(expected, out.view());
  std::size_t column = 0, line = 0;
  ASSERT_TRUE(out.getPosition(column, line));
  EXPECT_EQ(2035u, line);
  EXPECT_EQ(70002u, column);
}

// Without a cursor, or while the cursor has no buffer, pieces are dropped
// and nothing is thrown; once the cursor has a buffer, they are written.
TEST(TextWriterTest, WithoutCursorEveryPieceIsDropped) {
  const unsigned char octets[4] = {1, 2, 3, 4};
  TextWriter(nullptr).text("abc").number(12).padded(-5, 3).quad(octets).finish();
  TextCursor later;
  TextWriter early(&later);
  early.text("abc").number(12).padded(-5, 3).quad(octets).text(std::string(100, 'x')).finish();
  EXPECT_TRUE(later.view().empty());
  ASSERT_TRUE(later.allocate(1));
  early.text("now").finish();
  EXPECT_EQ("now", later.view());
  TextCursor out;
  ASSERT_TRUE(out.allocate(4));
  { TextWriter(&out).text("kept"); }
  EXPECT_EQ("kept", out.view());
}

// finish() gives up the room it set aside: the cursor may be appended to,
// and grow, before the writer's next run, which goes on at its end.
TEST(TextWriterTest, RunAfterFinishGoesOnAtTheCursor) {
  TextCursor out;
  ASSERT_TRUE(out.allocate(8));
  TextWriter writer(&out);
  writer.finish();
  ASSERT_TRUE(out.append("a"));
  writer.text("b").finish();
  ASSERT_TRUE(out.append(std::string(5000, 'c')));  // moves the buffer
  writer.text("d").number(7);
  writer.finish();
  EXPECT_EQ("ab" + std::string(5000, 'c') + "d7", out.view());
}

// Issue 12: writing past the largest text throws length_error for the
// first piece that would pass it, and only then: each piece asks for its
// own size, never for room it does not need. The pieces before it are in
// the text, whole, and the cursor's position follows them. Every limit in
// the range meets each kind of piece at the boundary.
TEST(TextWriterTest, PieceThatWouldPassTheLargestTextThrows) {
  const unsigned char octets[4] = {1, 22, 255, 0};
  const std::string longPiece(20, 'L');
  for (std::size_t limit = 40; limit < 160; ++limit) {
    SCOPED_TRACE(limit);
    TextCursor out;
    ASSERT_TRUE(out.allocate(1));
    std::string expected;
    bool threw = false;
    {
      MaxCapacity lowered(limit);
      TextWriter writer(&out);
      for (int k = 0; !threw; ++k) {
        std::string piece;
        try {
          switch (k % 4) {
            case 0:
              piece = "ab\n";
              writer.text("ab\n");
              break;
            case 1:
              piece = printed(k, 4);
              writer.padded(k, 4);
              break;
            case 2:
              piece = "1.22.255.0";
              writer.quad(octets);
              break;
            case 3:
              piece = longPiece;
              writer.text(longPiece);
              break;
          }
          expected += piece;
        } catch (const std::length_error&) {
          threw = true;
          EXPECT_GT(expected.size() + piece.size() + 1, limit)
              << "refused though it fits: " << piece;
        }
      }
    }
    EXPECT_LT(expected.size(), limit);
    EXPECT_EQ(expected, out.view());
    std::size_t column = 0, line = 0;
    ASSERT_TRUE(out.getPosition(column, line));
    const std::size_t lastLf = expected.rfind('\n');
    EXPECT_EQ(1 + std::count(expected.begin(), expected.end(), '\n'),
              static_cast<std::ptrdiff_t>(line));
    EXPECT_EQ(lastLf == std::string::npos ? expected.size() + 1 : expected.size() - lastLf, column);
  }
}

}  // namespace
}  // namespace dorvex
