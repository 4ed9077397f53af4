#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "foundation/TxTools.h"

using namespace vandrel;

TEST(TxTools, InsertAndReplaceCountPolishLettersAsOneCharacter) {
  TxTools T("zażółć");
  EXPECT_EQ(T.InsStr(3, "-"), "zaż-ółć");
  EXPECT_EQ(T.InsChar(0, U'Ł'), "Łzażółć");
  EXPECT_EQ(T.InsStr(6, "!"), "zażółć!");  // not a character position: appended
  EXPECT_EQ(T.InsStr(-1, "!"), "zażółć!");
  EXPECT_EQ(T.CharNo2Str(2, "zz"), "zazzółć");
  EXPECT_EQ(T.CharNo2Char(5, U'c'), "zażółc");
  EXPECT_EQ(T.CharNo2Char(99, U'x'), "zażółćx");
  EXPECT_EQ(T.Value, "zażółć");  // the object itself never changes
}

TEST(TxTools, CharacterAndSetReplacement) {
  TxTools T("a-b_c-ą");
  EXPECT_EQ(T.Chars2Str(U'-', "--"), "a--b_c--ą");
  EXPECT_EQ(T.Chars2Char(U'ą', U'a'), "a-b_c-a");
  EXPECT_EQ(T.AnyChar2Str("-_", ""), "abcą");
  EXPECT_EQ(T.AnyChar2Char("-_ą", U'.'), "a.b.c..");
  // The first match in From wins; characters beyond the shorter length are ignored.
  EXPECT_EQ(TxTools("abcab").Chars2Chars("aab", "xyz"), "xzcxz");
  EXPECT_EQ(TxTools("ąę").Chars2Chars("ąęó", "ae"), "ae");
}

TEST(TxTools, Removal) {
  TxTools T("łódź, łąka");
  EXPECT_EQ(T.DelCharsFrom(4, 2), "łódźłąka");
  EXPECT_EQ(T.DelCharsFrom(8, 100), "łódź, łą");
  EXPECT_EQ(T.DelCharsFrom(10, 1), "łódź, łąka");
  EXPECT_EQ(T.DelCharsFrom(2, -1), "łódź, łąka");
  EXPECT_EQ(T.DelCharNo(0), "ódź, łąka");
  EXPECT_EQ(T.DelChars(U'ł'), "ódź, ąka");
  EXPECT_EQ(T.DelAnyChar(", "), "łódźłąka");
  EXPECT_EQ(T.DelAnyOtherChar("łą"), "łłą");
}

TEST(TxTools, SearchAndCount) {
  TxTools T("Żółw żółw ŻÓŁW");
  EXPECT_EQ(T.FindStr("żółw"), 5);
  EXPECT_EQ(T.FindStr("ŻÓŁW", true, 1), 5);
  EXPECT_EQ(T.FindStr("żółw", false, 6), -1);
  EXPECT_EQ(T.FindStr("Żółw żółw ŻÓŁW!"), -1);  // longer than the text
  EXPECT_EQ(T.FindStr(""), -1);
  EXPECT_EQ(T.FindStr("Żółw", false, -5), 0);
  EXPECT_EQ(T.FindChar(U'w', 4), 8);
  EXPECT_EQ(T.FindAnyChar("wW", 9), 13);
  EXPECT_EQ(T.FindAnyOtherChar("Żół", 0), 3);
  EXPECT_EQ(T.FindAnyOtherChar("Żółwż ŻÓŁW", 0), -1);
  EXPECT_TRUE(T.ContainsStr("óŁ", true));
  EXPECT_FALSE(T.ContainsStr("óŁ", false));
  EXPECT_TRUE(T.ContainsChar(U'Ó'));
  EXPECT_TRUE(T.ContainsAnyChar("xyzŁ"));
  EXPECT_FALSE(T.ContainsAnyOtherChar("ŻółwżÓŁW "));
  EXPECT_EQ(T.CountStr("żółw", true), 3);
  EXPECT_EQ(TxTools("aaaa").CountStr("aa"), 2);  // non-overlapping
  EXPECT_EQ(TxTools("aaaa").CountStr(""), 0);
  EXPECT_EQ(T.CountChar(U'ł'), 2);
  EXPECT_EQ(T.CountAnyChar("łŁ"), 3);
  EXPECT_EQ(T.CountAnyOtherChar("łŁ"), 11);
  EXPECT_EQ(T.Str2Str("ŻÓŁW", "kot", true), "kot żółw ŻÓŁW");
  EXPECT_EQ(T.Str2Str("pies", "kot"), T.Value);
}

TEST(TxTools, ComparisonIsByteWiseAfterOptionalUpperCase) {
  EXPECT_EQ(TxTools("abc").Compare("abc"), 0);
  EXPECT_LT(TxTools("ABC").Compare("abc"), 0);
  EXPECT_EQ(TxTools("Zażółć").Compare("ZAŻÓŁĆ", true), 0);
  EXPECT_GT(TxTools("ą").Compare("z"), 0);  // bytes are compared unsigned
  EXPECT_LT(TxTools("ab").Compare("abc"), 0);
  EXPECT_EQ(TxTools("łąkaX").NCompare("ŁĄKAy", 4, true), 0);
  EXPECT_NE(TxTools("łąkaX").NCompare("ŁĄKAy", 5, true), 0);
  EXPECT_EQ(TxTools("abc").NCompare("xyz", 0), 0);
}

TEST(TxTools, WordsSkipSeparatorRuns) {
  TxTools T(" a, b;;ćma ");
  EXPECT_EQ(TxTools("a, b").SelectWord(1, " ,"), "b");
  EXPECT_EQ(T.SelectWord(0, " ,;"), "a");
  EXPECT_EQ(T.SelectWord(2, " ,;"), "ćma");
  EXPECT_EQ(T.SelectWord(3, " ,;"), "");
  EXPECT_EQ(T.SelectWord(-1, " ,;"), "");
  EXPECT_EQ(T.SelectWord(1, ""), T.Value);
  EXPECT_EQ(TxTools("żółw|łoś").SelectWord(1, "|"), "łoś");
}

TEST(TxTools, WordsWithEmptyFields) {
  bool NotFound = true;
  EXPECT_EQ(TxTools("a,,b").SelectWordEx(1, NotFound, ","), "");
  EXPECT_FALSE(NotFound);
  EXPECT_EQ(TxTools("a,,b").SelectWordEx(2, NotFound, ","), "b");
  EXPECT_EQ(TxTools(",a").SelectWordEx(0, NotFound, ","), "");
  EXPECT_FALSE(NotFound);
  EXPECT_EQ(TxTools(",a").SelectWordEx(1, NotFound, ","), "a");
  // A separator after a different one is absorbed; after the same one it makes a word.
  EXPECT_EQ(TxTools("a,;b").SelectWordEx(1, NotFound, ",;"), "b");
  EXPECT_EQ(TxTools("a,;;b").SelectWordEx(1, NotFound, ",;"), "");
  EXPECT_EQ(TxTools("a,;;b").SelectWordEx(2, NotFound, ",;"), "b");
  EXPECT_EQ(TxTools("a,b").SelectWordEx(2, NotFound, ","), "");
  EXPECT_TRUE(NotFound);
  EXPECT_EQ(TxTools("").SelectWordEx(0, NotFound, ","), "");
  EXPECT_TRUE(NotFound);
  EXPECT_EQ(TxTools("ąę").SelectWordEx(0, NotFound, ","), "ąę");
  EXPECT_FALSE(NotFound);
}

TEST(TxTools, LineFields) {
  std::vector<AnsiString> List{"stale"};
  EXPECT_EQ(TxTools(";a;;ż;").ParseLineFields(List, U';'), 4);
  EXPECT_EQ(List, (std::vector<AnsiString>{"", "a", "", "ż"}));
  EXPECT_EQ(TxTools("x¦y").ParseLineFields(List, U'¦'), 2);
  EXPECT_EQ(List, (std::vector<AnsiString>{"x", "y"}));
  EXPECT_EQ(TxTools("").ParseLineFields(List, U';'), 0);
  EXPECT_TRUE(List.empty());
}

TEST(TxTools, PolishLettersFoldAndPad) {
  EXPECT_EQ(TxTools("ĄąĆćĘęŁłŃńÓóŚśŹźŻż").NoPl(), "AaCcEeLlNnOoSsZzZz");
  EXPECT_EQ(TxTools("Zażółć gęślą jaźń").NoPl(), "Zazolc gesla jazn");
  EXPECT_EQ(TxTools("12345").PadLeft(U'0', 3, 3), "345");
  EXPECT_EQ(TxTools("7").PadLeft(U'0', 3, 3), "007");
  EXPECT_EQ(TxTools("łą").PadLeft(U'ż', 4, 4), "żżłą");
  EXPECT_EQ(TxTools("żółw").PadRight(U'.', 6, 8), "żółw..");
  EXPECT_EQ(TxTools("żółwie").PadRight(U'.', 2, 3), "żół");
  EXPECT_EQ(TxTools("abc").PadRight(U' ', -4, -9), "");  // both limits count as 0
  EXPECT_EQ(TxTools("abc").PadLeft(U' ', 5, 1), "  abc");  // MaxLength below MinLength
}

TEST(TxTools, CharacterNotContained) {
  char32_t C = 0;
  EXPECT_TRUE(TxTools("ab").FindCharNotContained(C));
  EXPECT_EQ(C, 1u);
  std::u32string All;
  for (char32_t K = 1; K < 256; ++K) All += K;
  std::string Text;
  for (char32_t K : All) Text += TxTools("").InsChar(0, K);
  EXPECT_FALSE(TxTools(Text).FindCharNotContained(C));
  EXPECT_TRUE(TxTools(TxTools(Text).DelChars(U'é')).FindCharNotContained(C));
  EXPECT_EQ(C, U'é');
}

TEST(TxTools, HexadecimalDigitsAndNumbers) {
  EXPECT_EQ(TxTools::Hex2Char(0x1B, true), 'B');
  EXPECT_EQ(TxTools::Hex2Char(10, false), 'a');
  bool Ok = true;
  EXPECT_EQ(TxTools::Char2Hex(U'f', Ok), 15);
  EXPECT_EQ(TxTools::Char2Hex(U'g', Ok), 0);
  EXPECT_FALSE(Ok);
  EXPECT_EQ(TxTools::Char2Hex(U'1', Ok), 0);  // stays failed
  EXPECT_EQ(TxTools::FromHexN(0xDEADBEEF, 4, true), "BEEF");
  EXPECT_EQ(TxTools::FromHexN(0xDEADBEEF, 12, false), "deadbeef");
  EXPECT_EQ(TxTools::FromHexN(0x1, 3, true), "001");
  EXPECT_EQ(TxTools::FromHexN(0x1, 0, true), "");
  Ok = true;
  EXPECT_EQ(TxTools("00fFzz").ToHexN(4, Ok), 0xFFu);
  EXPECT_TRUE(Ok);
  EXPECT_EQ(TxTools("123456789").ToHexN(20, Ok), 0x12345678u);
  EXPECT_EQ(TxTools("12").ToHexN(3, Ok), 0u);
  EXPECT_FALSE(Ok);
  Ok = true;
  EXPECT_EQ(TxTools("1x").ToHexN(2, Ok), 0u);
  EXPECT_FALSE(Ok);
  Ok = true;
  EXPECT_EQ(TxTools("12").ToHexN(0, Ok), 0u);
  EXPECT_TRUE(Ok);
}

TEST(TxTools, DecimalDigitsInBuffers) {
  std::uint32_t V = 99;
  const char* Text = "ab0042cd";
  EXPECT_TRUE(TxTools::DecodeSubStringToUnsignedInt(V, 2, 4, Text, 8));
  EXPECT_EQ(V, 42u);
  EXPECT_FALSE(TxTools::DecodeSubStringToUnsignedInt(V, 2, 5, Text, 8));
  EXPECT_EQ(V, 0u);
  EXPECT_FALSE(TxTools::DecodeSubStringToUnsignedInt(V, 6, 4, Text, 8));
  EXPECT_FALSE(TxTools::DecodeSubStringToUnsignedInt(V, -1, 2, Text, 8));
  EXPECT_TRUE(TxTools::DecodeSubStringToUnsignedInt(V, 0, 10, "4294967295", 10));
  EXPECT_EQ(V, 4294967295u);
  EXPECT_FALSE(TxTools::DecodeSubStringToUnsignedInt(V, 0, 10, "4294967296", 10));

  std::string Buffer = "xxxxxxxx";
  EXPECT_TRUE(TxTools::EncodeUnsignedIntToSubString(2, 4, Buffer, 42));
  EXPECT_EQ(Buffer, "xx0042xx");
  EXPECT_FALSE(TxTools::EncodeUnsignedIntToSubString(0, 2, Buffer, 123));
  EXPECT_FALSE(TxTools::EncodeUnsignedIntToSubString(6, 4, Buffer, 1));  // past the end
  EXPECT_FALSE(TxTools::EncodeUnsignedIntToSubString(0, 0, Buffer, 0));
  EXPECT_EQ(Buffer, "xx0042xx");

  EXPECT_EQ(TxTools("ąę2024x").SubStringToUnsignedInt(2, 4), 2024u);
  for (auto [Start, Length] : {std::pair{1, 4}, {3, 5}, {-1, 2}, {2, -1}}) {
    try {
      TxTools("ąę2024x").SubStringToUnsignedInt(Start, Length);
      ADD_FAILURE() << Start << "," << Length;
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message, "[TxTools::SubStringToUnsignedInt] Zły format analizowanego tekstu");
    }
  }
}

TEST(TxTools, SqlLiteral) {
  EXPECT_EQ(TxTools("O'Brien\\").ToDBField(-1), "'O''Brien\\\\'");
  EXPECT_EQ(TxTools("a\r\nb").ToDBField(-1), "'a\\x0D\\x0Ab'");
  EXPECT_EQ(TxTools("abcdef").ToDBField(3), "'abc'");
  EXPECT_EQ(TxTools("żółwie").ToDBField(3), "'żół'");
  EXPECT_EQ(TxTools("").ToDBField(-1), "''");
  EXPECT_EQ(TxTools("ab").ToDBField(0), "''");
  EXPECT_EQ(TxTools("  x ").ToASEParam(), "x");
  EXPECT_EQ(TxTools(" \t ").ToASEParam(), " ");
}

TEST(TxTools, DatabasePrintableCharacters) {
  EXPECT_FALSE(TxTools::DBPrintableChar(15));
  EXPECT_TRUE(TxTools::DBPrintableChar(16));
  EXPECT_FALSE(TxTools::DBPrintableChar(U'"'));
  EXPECT_FALSE(TxTools::DBPrintableChar(U'\''));
  EXPECT_FALSE(TxTools::DBPrintableChar(U'\\'));
  EXPECT_TRUE(TxTools::DBPrintableChar(127));
  for (char32_t C : std::u32string(U"ĄąĆćĘęŁłŃńÓóŚśŹźŻż")) EXPECT_TRUE(TxTools::DBPrintableChar(C));
  EXPECT_FALSE(TxTools::DBPrintableChar(U'é'));
  EXPECT_FALSE(TxTools::DBPrintableChar(185));  // a byte code, not the letter ą
}

TEST(TxTools, InvalidUtf8BytesPassThroughUnchanged) {
  std::string Broken = "a\xC4z\xFF";
  EXPECT_EQ(TxTools(Broken).PadLeft(U'-', 5, 5), "-" + Broken);
  EXPECT_EQ(TxTools(Broken).DelCharNo(0), "\xC4z\xFF");
  EXPECT_EQ(TxTools(Broken).FindChar(U'z'), 2);
  EXPECT_EQ(TxTools(Broken).NoPl(), Broken);
  EXPECT_EQ(TxTools("ą\x85").FindStr("\x85"), 1);  // never inside the letter ą (C4 85)
  EXPECT_EQ(TxTools(Broken).FindStr("z\xFF"), 2);
}

TEST(TxTools, PathParts) {
  TxTools Windows("C:\\Program Files\\Tovinex\\tvx.conf.ini");
  EXPECT_EQ(Windows.Drive(), "C:");
  EXPECT_EQ(Windows.Directory(), "\\Program Files\\Tovinex\\");
  EXPECT_EQ(Windows.FileName(), "tvx.conf");
  EXPECT_EQ(Windows.FileExtension(), ".ini");
  TxTools Linux("/home/ania/.profile");
  EXPECT_EQ(Linux.Drive(), "");
  EXPECT_EQ(Linux.Directory(), "/home/ania/");
  EXPECT_EQ(Linux.FileName(), ".profile");
  EXPECT_EQ(Linux.FileExtension(), "");
  TxTools Unc("\\\\serwer\\dane\\baza.mdf");
  EXPECT_EQ(Unc.Drive(), "\\\\serwer\\dane");
  EXPECT_EQ(Unc.Directory(), "\\");
  EXPECT_EQ(TxTools("plik").Directory(), "");
  for (const TxTools& T : {Windows, Linux, Unc, TxTools("a.b"), TxTools("/dir.x/"), TxTools("D:x.y")})
    EXPECT_EQ(TxTools::MakePath(T.Drive(), T.Directory(), T.FileName(), T.FileExtension()), T.Value);
  EXPECT_EQ(TxTools::MakePath("C", "\\dane", "baza", "mdf"), "C:\\dane\\baza.mdf");
  EXPECT_EQ(TxTools::MakePath("", "/tmp", "x", ".log"), "/tmp/x.log");
  EXPECT_TRUE(TxTools("/tmp/*.log").IsFileMask());
  EXPECT_TRUE(TxTools("C:\\a\\b?.txt").IsFileMask());
  EXPECT_FALSE(TxTools("/tm?/a.log").IsFileMask());
}

TEST(TxTools, DirectoriesComeFromThePlatform) {
  EXPECT_FALSE(TxTools::SystemDirectory().empty());
  EXPECT_FALSE(TxTools::WindowsDirectory().empty());
  EXPECT_FALSE(TxTools::TempDirectory().empty());
  std::string Start = TxTools::CurrentDirectory();
  std::string Temp = std::filesystem::canonical(TxTools::TempDirectory()).string();
  ASSERT_TRUE(TxTools::SetCurrentDirectoryA(Temp));
  EXPECT_EQ(TxTools::CurrentDirectory(), Temp);
  EXPECT_FALSE(TxTools::SetCurrentDirectoryA("/nonexistent/vandrel"));
  EXPECT_TRUE(TxTools::SetCurrentDirectoryA(Start));
}

TEST(TxTools, OemCodePageRoundTrip) {
  TxTools T("Zażółć gęślą jaźń");
  EXPECT_EQ(TxTools(T.ToOEM()).FromOEM(), T.Value);
  EXPECT_EQ(T.ToOEM().size(), 17u);
}

TEST(TxToolsWrap, BreaksAtTheLastBlank) {
  EXPECT_EQ(TxTools("ala ma kota").AutoBreakText(6, 4), "ala ma\r\nkota");
  EXPECT_EQ(TxTools("ala ma kota").AutoBreakText(5, 4), "ala\r\nma\r\nkota");
  EXPECT_EQ(TxTools("zażółć gęślą jaźń").AutoBreakText(7, 4), "zażółć\r\ngęślą\r\njaźń");
  EXPECT_EQ(TxTools("krótki").AutoBreakText(50, 4), "krótki");
  EXPECT_EQ(TxTools("").AutoBreakText(5, 4), "");
}

TEST(TxToolsWrap, BreaksInsideLongWordsAndKeepsOneCharacter) {
  EXPECT_EQ(TxTools("abcdefgh").AutoBreakText(3, 4), "abc\r\ndef\r\ngh");
  EXPECT_EQ(TxTools("abc").AutoBreakText(0, 4), "a\r\nb\r\nc");
  EXPECT_EQ(TxTools(" abcd").AutoBreakText(2, 4), " a\r\nbc\r\nd");
}

TEST(TxToolsWrap, LineBreaksTabsAndTrailingText) {
  EXPECT_EQ(TxTools("a\rb\nc\r\nd").AutoBreakText(10, 4), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(TxTools("a\n\nb").AutoBreakText(10, 4), "a\r\n\r\nb");
  EXPECT_EQ(TxTools("a\r\n").AutoBreakText(10, 4), "a\r\n");
  EXPECT_EQ(TxTools("a\tb").AutoBreakText(10, 2), "a  b");
  EXPECT_EQ(TxTools("a\tb").AutoBreakText(10, -3), "ab");
  EXPECT_EQ(TxTools("ab\tcd").AutoBreakText(3, 2), "ab \r\ncd");
}

TEST(TxToolsWrap, MeasuresWidthWithTheCallback) {
  std::vector<std::string> Measured;
  auto Width = [&](const AnsiString& Line) {
    Measured.push_back(Line);
    return static_cast<int>(TxTools(Line).PadRight(U' ', 0, 1000).size()) * 10;
  };
  EXPECT_EQ(TxTools("ab cd").AutoBreak(Width, 30, 4, false), "ab\r\ncd");
  // Measured as a label shows it: "&Plik &&" is six characters wide ("Plik &").
  EXPECT_EQ(TxTools("&Plik && edycja").AutoBreak(Width, 60, 4, true), "&Plik &&\r\nedycja");
  EXPECT_NE(std::find(Measured.begin(), Measured.end(), "Plik & "), Measured.end());
  EXPECT_EQ(TxTools("&Plik && edycja").AutoBreak(Width, 60, 4, false), "&Plik\r\n&&\r\nedycja");
}
