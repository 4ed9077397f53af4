#include <gtest/gtest.h>

#include "platform/base/OemCodePage.h"

using namespace vandrel::platform;

TEST(OemCodePage, PolishLettersMapToCp852) {
  EXPECT_EQ(AnsiToOem("ąćęłńóśźż"), "\xA5\x86\xA9\x88\xE4\xA2\x98\xAB\xBE");
  EXPECT_EQ(AnsiToOem("ĄĆĘŁŃÓŚŹŻ"), "\xA4\x8F\xA8\x9D\xE3\xE0\x97\x8D\xBD");
  EXPECT_EQ(AnsiToOem("plain ASCII 123"), "plain ASCII 123");
  EXPECT_EQ(AnsiToOem(""), "");
}

TEST(OemCodePage, EveryOemByteRoundTrips) {
  std::string All;
  for (int B = 1; B < 256; ++B) All += static_cast<char>(B);
  EXPECT_EQ(AnsiToOem(OemToAnsi(All)), All);
  EXPECT_EQ(OemToAnsi("\x88\xA5\x6B\x61"), "łąka");
}

TEST(OemCodePage, CharactersWithoutAnOemCodeAreReplacedNotLost) {
  EXPECT_EQ(AnsiToOem("a\xFF" "b"), "a?b");                // not UTF-8
  EXPECT_EQ(AnsiToOem("x\xC5"), "x?");                     // cut short at the end
  std::string Euro = AnsiToOem("ł\xE2\x82\xACł");  // CP852 has no euro sign
  EXPECT_GT(Euro.size(), 2u);
  EXPECT_EQ(Euro.front(), '\x88');
  EXPECT_EQ(Euro.back(), '\x88');
  std::string Long(5000, 'x');
  Long += "żółw";
  EXPECT_EQ(OemToAnsi(AnsiToOem(Long)), Long);
}
