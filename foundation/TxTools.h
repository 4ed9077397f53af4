#pragma once
// TxTools: one string and the text operations the library shares. The text is UTF-8: a
// position, a length and a count are in characters, and a Polish letter is one character.
// A character argument (C) is a code point; a set (Set, Separators) is UTF-8 text whose
// characters form the set. Positions count from 0; -1 means not found. Every operation
// returns a new value and leaves the object unchanged; only SubStringToUnsignedInt raises.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "foundation/Exception.h"

namespace vandrel {

class TxTools {
 public:
  explicit TxTools(AnsiString AValue) : Value(std::move(AValue)) {}
  TxTools(const TxTools&) = default;
  TxTools& operator=(const TxTools&) = default;

  // Insertion and replacement; a Pos that is not a character position appends.
  AnsiString InsStr(int Pos, const AnsiString& S) const;
  AnsiString InsChar(int Pos, char32_t C) const;
  AnsiString CharNo2Str(int Pos, const AnsiString& S) const;
  AnsiString CharNo2Char(int Pos, char32_t C) const;
  AnsiString Chars2Str(char32_t C, const AnsiString& S) const;
  AnsiString Chars2Char(char32_t C, char32_t D) const;
  AnsiString AnyChar2Str(const AnsiString& Set, const AnsiString& S) const;
  AnsiString AnyChar2Char(const AnsiString& Set, char32_t C) const;
  // Each character equal to From[j] becomes To[j] (j below the shorter length).
  AnsiString Chars2Chars(const AnsiString& From, const AnsiString& To) const;

  // Removal.
  AnsiString DelCharsFrom(int Pos, int Count) const;
  AnsiString DelCharNo(int Pos) const;
  AnsiString DelChars(char32_t C) const;
  AnsiString DelAnyChar(const AnsiString& Set) const;
  AnsiString DelAnyOtherChar(const AnsiString& Set) const;

  // Search from Start (a negative Start counts as 0); an empty S is never found.
  int FindStr(const AnsiString& S, bool IgnoreCase = false, int Start = 0) const;
  int FindChar(char32_t C, int Start = 0) const;
  int FindAnyChar(const AnsiString& Set, int Start = 0) const;
  int FindAnyOtherChar(const AnsiString& Set, int Start = 0) const;
  bool ContainsStr(const AnsiString& S, bool IgnoreCase = false) const;
  bool ContainsChar(char32_t C) const;
  bool ContainsAnyChar(const AnsiString& Set) const;
  bool ContainsAnyOtherChar(const AnsiString& Set) const;
  int CountStr(const AnsiString& S, bool IgnoreCase = false) const;  // non-overlapping
  int CountChar(char32_t C) const;
  int CountAnyChar(const AnsiString& Set) const;
  int CountAnyOtherChar(const AnsiString& Set) const;
  AnsiString Str2Str(const AnsiString& Old, const AnsiString& New, bool IgnoreCase = false) const;

  // Byte-wise comparison (negative, 0, positive), both texts upper-cased when IgnoreCase.
  int Compare(const AnsiString& Other, bool IgnoreCase = false) const;
  int NCompare(const AnsiString& Other, int N, bool IgnoreCase = false) const;

  // Words: SelectWord treats a run of separators as one boundary; SelectWordEx lets two
  // equal adjacent separators (or a leading one) enclose an empty word.
  AnsiString SelectWord(int Index, const AnsiString& Separators) const;
  AnsiString SelectWordEx(int Index, bool& NotFound, const AnsiString& Separators) const;
  // Cuts the text at every Separator into List (cleared first); returns the item count.
  int ParseLineFields(std::vector<AnsiString>& List, char32_t Separator) const;

  // The Polish letters folded to their Latin base letters ("Zażółć" gives "Zazolc").
  AnsiString NoPl() const;
  // The smallest code point from 1 to 255 that does not occur in the text.
  bool FindCharNotContained(char32_t& C) const;
  AnsiString PadLeft(char32_t C, int MinLength, int MaxLength) const;
  AnsiString PadRight(char32_t C, int MinLength, int MaxLength) const;

  // Hexadecimal digits and numbers.
  static char Hex2Char(int Value, bool UpperCase);
  static int Char2Hex(char32_t C, bool& Ok);
  static AnsiString FromHexN(std::uint32_t Value, int Digits, bool UpperCase);
  std::uint32_t ToHexN(int Digits, bool& Ok) const;

  // Decimal digits in a byte buffer: Length digits at Start of the first TextLength bytes
  // of Text. False (Value 0) when they run past the text, are not all digits or exceed
  // the 32-bit range.
  static bool DecodeSubStringToUnsignedInt(std::uint32_t& Value, int Start, int Length,
                                           const char* Text, int TextLength);
  // Number in Length decimal digits (leading zeros) written at Pos of Buffer; false, with
  // nothing written, when it needs more digits or the digits do not fit in Buffer.
  static bool EncodeUnsignedIntToSubString(int Pos, int Length, std::span<char> Buffer,
                                           std::uint32_t Number);
  // The decimal number of Length characters at character Start; raises Exception
  // "[TxTools::SubStringToUnsignedInt] ..." when it is not one.
  std::uint32_t SubStringToUnsignedInt(int Start, int Length) const;

  // The text in the OEM (console) code page CP852, and back.
  AnsiString ToOEM() const;
  AnsiString FromOEM() const;

  // Whether the character needs no escape in a database text: ASCII from 16 up except the
  // quotes and the backslash, and the eighteen Polish letters.
  static bool DBPrintableChar(char32_t C);
  // The SQL string literal, cut to MaxLength characters unless MaxLength is -1.
  AnsiString ToDBField(int MaxLength) const;
  AnsiString ToASEParam() const;

  // Paths. Both "/" and "\" separate directories; a drive is "C:" or "\\server\share".
  static AnsiString MakePath(const AnsiString& Drive, const AnsiString& Dir,
                             const AnsiString& Name, const AnsiString& Ext);
  AnsiString Drive() const;
  AnsiString Directory() const;
  AnsiString FileName() const;
  AnsiString FileExtension() const;
  bool IsFileMask() const;

  static AnsiString SystemDirectory();
  static AnsiString WindowsDirectory();
  static AnsiString TempDirectory();
  static AnsiString CurrentDirectory();
  static bool SetCurrentDirectoryA(const AnsiString& Path);

  // Word wrap with CR LF breaks. AutoBreak measures a line with MeasureWidth (in pixels,
  // as a canvas would) instead of counting characters; with HotKeys it measures the line
  // as a label shows it ("&&" as "&", other "&" left out).
  using TWidthMeasure = std::function<int(const AnsiString& Line)>;
  AnsiString AutoBreak(const TWidthMeasure& MeasureWidth, int MaxWidth, int TabSize,
                       bool HotKeys) const;
  AnsiString AutoBreakText(int MaxLength, int TabSize) const;

  AnsiString Value;
};

}  // namespace vandrel
