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

TEST(OemCodePage, Windows1250CarriesPolishLettersBothWays) {
  EXPECT_EQ(AnsiToWin1250("ąćęłńóśźż"), "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF");
  EXPECT_EQ(AnsiToWin1250("ĄĆĘŁŃÓŚŹŻ"), "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
  EXPECT_EQ(Win1250ToAnsi("\xB3\xB9ka \x80"), "łąka €");
  std::string Defined;
  for (int B = 1; B < 256; ++B)
    if (B != 0x81 && B != 0x83 && B != 0x88 && B != 0x90 && B != 0x98) Defined += static_cast<char>(B);
  EXPECT_EQ(AnsiToWin1250(Win1250ToAnsi(Defined)), Defined);
  EXPECT_EQ(Win1250ToAnsi("a\x81z"), "a?z");
  EXPECT_EQ(AnsiToWin1250("a\xFF" "b"), "a?b");
}

// Plain ASCII is copied eight bytes at a time: a letter of the code page, the euro sign (beyond
// the directly looked-up letters), and a byte that is no UTF-8 must convert the same at every offset.
TEST(OemCodePage, Windows1250ConvertsTheSameAtEveryOffset) {
  for (std::size_t At = 0; At < 20; ++At) {
    const std::string Before(At, 'x'), After(19 - At, 'y');
    SCOPED_TRACE(At);
    EXPECT_EQ(AnsiToWin1250(Before + "\xC5\x82\xE2\x82\xAC" + After), Before + "\xB3\x80" + After);
    EXPECT_EQ(AnsiToWin1250(Before + "\xFF" + After), Before + "?" + After);
    EXPECT_EQ(Win1250ToAnsi(Before + "\xB3\x80" + After), Before + "\xC5\x82\xE2\x82\xAC" + After);
    EXPECT_EQ(AnsiToOem(Before + "\xC5\x82" + After), Before + "\x88" + After);
  }
}
