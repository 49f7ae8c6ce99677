#include "text/line_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace dorvex {
namespace {

std::string printed(const char* format, long long value, int width) {
  char text[64];
  std::snprintf(text, sizeof text, format, width, value);
  return text;
}

// Numbers as "%0*lld" writes them: around every power of ten, both signs,
// the widths the check uses and some it does not.
TEST(LineFormatterTest, NumbersAsPrintfWritesThem) {
  LineFormatter line;
  std::vector<long long> values = {0, 1, -1, 2147483647LL, -2147483648LL, 9223372036854775807LL,
                                   -9223372036854775807LL - 1};
  for (long long power = 1; power <= 1000000000000LL; power *= 10) {
    for (long long delta : {-1LL, 0LL, 1LL}) {
      values.push_back(power + delta);
      values.push_back(-(power + delta));
    }
  }
  for (long long value : values) {
    for (int width : {0, 1, 2, 3, 5, 8, 9, 12}) {
      line.padded(value, width);
      EXPECT_EQ(printed("%0*lld", value, width), line.current()) << value << " " << width;
      line.clear();
    }
    line.number(value);
    EXPECT_EQ(printed("%0*lld", value, 1), line.current()) << value;
    line.clear();
  }
}

// The shared digit writer over the whole unsigned range, ten digits and all.
TEST(LineFormatterTest, WriteDecimalCoversEveryUnsigned) {
  std::vector<unsigned> values = {0u, 4294967295u, 4294967294u};
  for (unsigned long long power = 1; power <= 1000000000ULL; power *= 10) {
    for (unsigned long long value : {power - 1, power, power + 1}) {
      values.push_back(static_cast<unsigned>(value));
    }
  }
  for (unsigned value : values) {
    for (int width : {1, 3, 10}) {
      char out[16];
      std::size_t size = writeDecimal(value, width, out);
      EXPECT_EQ(printed("%0*lld", value, width), std::string(out, size)) << value << " " << width;
    }
  }
}

TEST(LineFormatterTest, TextEndsAtItsFirstNul) {
  LineFormatter line;
  line.text("ab").text(std::string_view("cd\0ef", 5)).text("").text("g");
  EXPECT_EQ("abcdg", line.current());
  line.clear();
  const std::string longPiece = std::string(40, 'x') + std::string(1, '\0') + "y";
  line.text(longPiece).text(std::string(300, 'z'));
  EXPECT_EQ(std::string(40, 'x') + std::string(300, 'z'), line.current());
}

// A piece longer than the starting storage is kept whole, however it was
// put together.
TEST(LineFormatterTest, PiecesGrowPastTheStorage) {
  LineFormatter line;
  std::string expected;
  for (int k = 0; k < 500; ++k) {
    line.text("w").padded(k, 3).text(" ");
    expected += "w" + printed("%0*lld", k, 3) + " ";
  }
  const unsigned char octets[4] = {10, 0, 255, 7};
  line.quad(octets);
  expected += "10.0.255.7";
  EXPECT_EQ(expected, line.current());
  TextCursor out;
  ASSERT_TRUE(out.allocate(8));
  EXPECT_TRUE(line.appendTo(out));
  EXPECT_EQ(expected, out.view());
  EXPECT_EQ("", line.current());
  EXPECT_FALSE(line.appendTo(out));  // an empty piece
}

}  // namespace
}  // namespace dorvex
