#include "text/text_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace dorvex {
namespace {

std::string printed(long long value, int width) {
  char text[64];
  std::snprintf(text, sizeof text, "%0*lld", width, value);
  return text;
}

// Numbers as "%0*lld" writes them: around every power of ten, both signs,
// the extremes, and the widths the check uses and some it does not.
TEST(TextWriterTest, NumbersAsPrintfWritesThem) {
  std::vector<long long> values = {0, 1, -1, 2147483647LL, -2147483648LL, 4294967295LL,
                                   9223372036854775807LL, -9223372036854775807LL - 1};
  for (long long power = 1; power <= 1000000000000000000LL; power *= 10) {
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
      writer.text("w").padded(k, 3).text(std::string_view("ab\0cd", 5)).quad(octets).text("\r\n");
      expected += "w" + printed(k, 3) + "ab10.0.255.7\r\n";
    }
    const std::string longPiece = std::string(70000, 'x') + std::string(1, '\0') + "y";
    writer.text(longPiece).text("").text("z");
    expected += std::string(70000, 'x') + "z";
  }
  EXPECT_EQ(expected, out.view());
  std::size_t column = 0, line = 0;
  ASSERT_TRUE(out.getPosition(column, line));
  EXPECT_EQ(2001u, line);
  EXPECT_EQ(70002u, column);
}

TEST(TextWriterTest, WithoutCursorEveryPieceIsDropped) {
  TextWriter writer(nullptr);
  const unsigned char octets[4] = {1, 2, 3, 4};
  writer.text("abc").number(12).padded(-5, 3).quad(octets).finish();
  TextCursor out;
  ASSERT_TRUE(out.allocate(4));
  { TextWriter(&out).text("kept"); }
  EXPECT_EQ("kept", out.view());
}

}  // namespace
}  // namespace dorvex
