#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "dupcheck/summary_listing.h"

namespace dorvex {
namespace {

// The listing of `config` in a fresh output text, which starts small so that
// the listing grows it.
std::string listingOf(AclConfig& config) {
  TextCursor output;
  EXPECT_TRUE(output.allocate(16));
  writeSummary(config, output);
  return std::string(output.view());
}

// `text` loaded, and parsed unless `parse` is false.
std::unique_ptr<AclConfig> configOf(const std::string& text, bool parse = true) {
  auto config = std::make_unique<AclConfig>();
  EXPECT_TRUE(config->reset(text));
  if (parse) config->checkConfig();
  return config;
}

std::string summaryOf(const std::string& text) { return listingOf(*configOf(text)); }

struct SummaryCase {
  const char* what;
  std::string text;
  std::string expected;
};

TEST(SummaryListingTest, OneListingLinePerTextLine) {
  const std::string kLong(300, 'x');
  const SummaryCase kCases[] = {
      {"three CR LF lines, no fourth", "!\r\naccess-list 10 permit any\r\n!\r\n",
       "001:E---:!\r\r\n002:----:access-list 10 permit any\r\r\n003:E---:!\r"},
      {"last line without line end", "!\naccess-list 10 permit any",
       "001:E---:!\r\n002:----:access-list 10 permit any"},
      {"an empty line in the middle", "!\r\n\r\n!\r\n",
       "001:E---:!\r\r\n002:E---:\r\r\n003:E---:!\r"},
      {"a list opening leaves no entry of its own",
       "ip access-list extended WEB\n permit ip any any\n",
       "001:----:ip access-list extended WEB\r\n002:----: permit ip any any"},
      {"an unsupported option word", "access-list 101 permit tcp any any established\n",
       "001:-U--:access-list 101 permit tcp any any established"},
      {"a line of 300 bytes is shown whole and the count goes on",
       "!" + kLong + "\naccess-list 10 permit any log\n",
       "001:E---:!" + kLong + "\r\n002:E---:access-list 10 permit any log"},
      {"a Shift-JIS comment passes unchanged", "! \x95\x5C\x8E\xA6\x83\x7C\n",
       "001:E---:! \x95\x5C\x8E\xA6\x83\x7C"},
  };
  for (const SummaryCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, summaryOf(c.text));
  }
}

TEST(SummaryListingTest, NumbersGrowPastThreeDigits) {
  std::string text;
  for (int line = 1; line <= 1001; ++line) text += "access-list 10 permit any\n";
  std::string summary = summaryOf(text);
  EXPECT_NE(std::string::npos, summary.find("\r\n999:----:access-list"));
  EXPECT_NE(std::string::npos, summary.find("\r\n1000:----:access-list"));
  EXPECT_EQ("\r\n1001:----:access-list 10 permit any", summary.substr(summary.rfind("\r\n")));
}

TEST(SummaryListingTest, ATextWithoutEntriesShowsBlankMarks) {
  // Without a parse there are no entries at all.
  auto config = configOf("x\ny\n", false);
  EXPECT_EQ("001:----:x\r\n002:----:y", listingOf(*config));
  // The input is left at its end, as a parse leaves it.
  char c = 'x';
  EXPECT_TRUE(config->inputText().peekChar(c));
  EXPECT_EQ('\0', c);
}

// Every combination of the four bits shows its letters in their places, and
// other bits of the flags show nothing.
TEST(SummaryListingTest, EveryCombinationOfMarks) {
  std::string text;
  for (int line = 0; line < 16; ++line) text += "access-list 10 permit any\n";
  auto config = configOf(text);
  const unsigned kBits[] = {kErrorBit, kUnsupportedBit, kDuplicateBit, kOptionBit};
  std::string expected;
  for (int line = 0; line < 16; ++line) {
    // Bit 0 and bits above the four are set too, on every other line.
    unsigned flags = line % 2 == 0 ? 1u | 32u | 64u : 0u;
    std::string marks = "----";
    for (int k = 0; k < 4; ++k) {
      if (line & (1 << k)) {
        flags |= kBits[k];
        marks[static_cast<std::size_t>(k)] = "EUDO"[k];
      }
    }
    ASSERT_TRUE(config->markEntry(line, flags));
    char number[8];
    std::snprintf(number, sizeof number, "%03d", line + 1);
    expected +=
        std::string(line == 0 ? "" : "\r\n") + number + ":" + marks + ":access-list 10 permit any";
  }
  EXPECT_EQ(expected, listingOf(*config));
}

TEST(SummaryListingTest, MarksStayOnTheirLinesAfterOverlongLines) {
  std::string words;
  for (int k = 0; k < 20; ++k) words += " w";
  std::string summary = summaryOf("access-list" + words +
                                  "\naccess-list 10 permit any log\naccess-list 10 permit any\n");
  EXPECT_EQ("001:E---:access-list" + words +
                "\r\n002:E---:access-list 10 permit any log\r\n003:----:access-list 10 permit any",
            summary);
}

}  // namespace
}  // namespace dorvex
