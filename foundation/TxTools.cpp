#include "foundation/TxTools.h"

#include <algorithm>

#include "foundation/Trim.h"
#include "foundation/Utf8.h"
#include "platform/base/Directories.h"
#include "platform/base/OemCodePage.h"

namespace vandrel {

namespace {

using Chars = std::u32string;

bool InSet(const Chars& Set, char32_t C) { return Set.find(C) != Chars::npos; }

bool IsCharPosition(int Pos, const Chars& Text) {
  return Pos >= 0 && static_cast<std::size_t>(Pos) < Text.size();
}

// Text with the characters at [Pos, Pos + Count) replaced by Insert; Pos outside the text
// appends Insert.
AnsiString Splice(const AnsiString& Value, int Pos, std::size_t Count, const AnsiString& Insert) {
  Chars Text = utf8::Decode(Value);
  if (!IsCharPosition(Pos, Text)) return Value + Insert;
  Text.replace(static_cast<std::size_t>(Pos), Count, utf8::Decode(Insert));
  return utf8::Encode(Text);
}

// Every character for which Match holds replaced by Insert (removed when Insert is empty).
template <class TMatch>
AnsiString ReplaceWhere(const AnsiString& Value, TMatch Match, const AnsiString& Insert) {
  Chars Text = utf8::Decode(Value), Replacement = utf8::Decode(Insert), Result;
  Result.reserve(Text.size());
  for (char32_t C : Text) {
    if (Match(C))
      Result += Replacement;
    else
      Result += C;
  }
  return utf8::Encode(Result);
}

template <class TMatch>
int FindWhere(const AnsiString& Value, int Start, TMatch Match) {
  Chars Text = utf8::Decode(Value);
  for (std::size_t I = static_cast<std::size_t>(std::max(Start, 0)); I < Text.size(); ++I)
    if (Match(Text[I])) return static_cast<int>(I);
  return -1;
}

template <class TMatch>
int CountWhere(const AnsiString& Value, TMatch Match) {
  Chars Text = utf8::Decode(Value);
  return static_cast<int>(std::count_if(Text.begin(), Text.end(), Match));
}

// The position of S in Text at or after Start, upper-casing both when IgnoreCase.
int FindIn(Chars Text, Chars S, bool IgnoreCase, int Start) {
  if (S.empty() || S.size() > Text.size()) return -1;
  if (IgnoreCase) {
    Text = utf8::ToUpper(Text);
    S = utf8::ToUpper(S);
  }
  std::size_t Found = Text.find(S, static_cast<std::size_t>(std::max(Start, 0)));
  return Found == Chars::npos ? -1 : static_cast<int>(Found);
}

int CompareTexts(Chars A, Chars B, bool IgnoreCase) {
  if (IgnoreCase) {
    A = utf8::ToUpper(A);
    B = utf8::ToUpper(B);
  }
  return utf8::Encode(A).compare(utf8::Encode(B));
}

AnsiString Pad(const AnsiString& Value, char32_t C, int MinLength, int MaxLength, bool Left) {
  MinLength = std::max(MinLength, 0);
  MaxLength = std::max(MaxLength, MinLength);
  Chars Text = utf8::Decode(Value);
  const std::size_t Min = static_cast<std::size_t>(MinLength);
  const std::size_t Max = static_cast<std::size_t>(MaxLength);
  if (Text.size() > Max)
    Text = Left ? Text.substr(Text.size() - Max) : Text.substr(0, Max);
  else if (Text.size() < Min)
    Text.insert(Left ? 0 : Text.size(), Min - Text.size(), C);
  return utf8::Encode(Text);
}

constexpr char32_t kPolishLetters[] = U"ĄąĆćĘęŁłŃńÓóŚśŹźŻż";
constexpr char kLatinLetters[] = "AaCcEeLlNnOoSsZzZz";

}  // namespace

AnsiString TxTools::InsStr(int Pos, const AnsiString& S) const { return Splice(Value, Pos, 0, S); }

AnsiString TxTools::InsChar(int Pos, char32_t C) const { return InsStr(Pos, utf8::Encode(C)); }

AnsiString TxTools::CharNo2Str(int Pos, const AnsiString& S) const {
  return Splice(Value, Pos, 1, S);
}

AnsiString TxTools::CharNo2Char(int Pos, char32_t C) const {
  return CharNo2Str(Pos, utf8::Encode(C));
}

AnsiString TxTools::Chars2Str(char32_t C, const AnsiString& S) const {
  return ReplaceWhere(Value, [C](char32_t X) { return X == C; }, S);
}

AnsiString TxTools::Chars2Char(char32_t C, char32_t D) const {
  return Chars2Str(C, utf8::Encode(D));
}

AnsiString TxTools::AnyChar2Str(const AnsiString& Set, const AnsiString& S) const {
  Chars Members = utf8::Decode(Set);
  return ReplaceWhere(Value, [&](char32_t X) { return InSet(Members, X); }, S);
}

AnsiString TxTools::AnyChar2Char(const AnsiString& Set, char32_t C) const {
  return AnyChar2Str(Set, utf8::Encode(C));
}

AnsiString TxTools::Chars2Chars(const AnsiString& From, const AnsiString& To) const {
  Chars Text = utf8::Decode(Value), Source = utf8::Decode(From), Target = utf8::Decode(To);
  Source.resize(std::min(Source.size(), Target.size()));
  for (char32_t& C : Text) {
    std::size_t J = Source.find(C);
    if (J != Chars::npos) C = Target[J];
  }
  return utf8::Encode(Text);
}

AnsiString TxTools::DelCharsFrom(int Pos, int Count) const {
  Chars Text = utf8::Decode(Value);
  if (!IsCharPosition(Pos, Text) || Count <= 0) return Value;
  Text.erase(static_cast<std::size_t>(Pos), static_cast<std::size_t>(Count));
  return utf8::Encode(Text);
}

AnsiString TxTools::DelCharNo(int Pos) const { return DelCharsFrom(Pos, 1); }

AnsiString TxTools::DelChars(char32_t C) const { return Chars2Str(C, ""); }

AnsiString TxTools::DelAnyChar(const AnsiString& Set) const { return AnyChar2Str(Set, ""); }

AnsiString TxTools::DelAnyOtherChar(const AnsiString& Set) const {
  Chars Members = utf8::Decode(Set);
  return ReplaceWhere(Value, [&](char32_t X) { return !InSet(Members, X); }, "");
}

int TxTools::FindStr(const AnsiString& S, bool IgnoreCase, int Start) const {
  // Without case folding the bytes can be searched directly: a well-formed UTF-8 text
  // never matches in the middle of a character.
  if (IgnoreCase || !utf8::IsValid(S))
    return FindIn(utf8::Decode(Value), utf8::Decode(S), IgnoreCase, Start);
  if (S.empty()) return -1;
  std::size_t From = utf8::Offset(Value, static_cast<std::size_t>(std::max(Start, 0)));
  std::size_t Found = Value.find(S, From);
  if (Found == AnsiString::npos) return -1;
  return static_cast<int>(utf8::Length(std::string_view(Value).substr(0, Found)));
}

int TxTools::FindChar(char32_t C, int Start) const {
  return FindWhere(Value, Start, [C](char32_t X) { return X == C; });
}

int TxTools::FindAnyChar(const AnsiString& Set, int Start) const {
  Chars Members = utf8::Decode(Set);
  return FindWhere(Value, Start, [&](char32_t X) { return InSet(Members, X); });
}

int TxTools::FindAnyOtherChar(const AnsiString& Set, int Start) const {
  Chars Members = utf8::Decode(Set);
  return FindWhere(Value, Start, [&](char32_t X) { return !InSet(Members, X); });
}

bool TxTools::ContainsStr(const AnsiString& S, bool IgnoreCase) const {
  return FindStr(S, IgnoreCase, 0) != -1;
}

bool TxTools::ContainsChar(char32_t C) const { return FindChar(C, 0) != -1; }

bool TxTools::ContainsAnyChar(const AnsiString& Set) const { return FindAnyChar(Set, 0) != -1; }

bool TxTools::ContainsAnyOtherChar(const AnsiString& Set) const {
  return FindAnyOtherChar(Set, 0) != -1;
}

int TxTools::CountStr(const AnsiString& S, bool IgnoreCase) const {
  Chars Text = utf8::Decode(Value), Sought = utf8::Decode(S);
  int Count = 0;
  for (int At = FindIn(Text, Sought, IgnoreCase, 0); At != -1;
       At = FindIn(Text, Sought, IgnoreCase, At + static_cast<int>(Sought.size())))
    ++Count;
  return Count;
}

int TxTools::CountChar(char32_t C) const {
  return CountWhere(Value, [C](char32_t X) { return X == C; });
}

int TxTools::CountAnyChar(const AnsiString& Set) const {
  Chars Members = utf8::Decode(Set);
  return CountWhere(Value, [&](char32_t X) { return InSet(Members, X); });
}

int TxTools::CountAnyOtherChar(const AnsiString& Set) const {
  Chars Members = utf8::Decode(Set);
  return CountWhere(Value, [&](char32_t X) { return !InSet(Members, X); });
}

AnsiString TxTools::Str2Str(const AnsiString& Old, const AnsiString& New, bool IgnoreCase) const {
  Chars Text = utf8::Decode(Value), Sought = utf8::Decode(Old);
  int At = FindIn(Text, Sought, IgnoreCase, 0);
  if (At == -1) return Value;
  Text.replace(static_cast<std::size_t>(At), Sought.size(), utf8::Decode(New));
  return utf8::Encode(Text);
}

int TxTools::Compare(const AnsiString& Other, bool IgnoreCase) const {
  return CompareTexts(utf8::Decode(Value), utf8::Decode(Other), IgnoreCase);
}

int TxTools::NCompare(const AnsiString& Other, int N, bool IgnoreCase) const {
  const std::size_t Limit = static_cast<std::size_t>(std::max(N, 0));
  return CompareTexts(utf8::Decode(Value).substr(0, Limit), utf8::Decode(Other).substr(0, Limit),
                      IgnoreCase);
}

AnsiString TxTools::NoPl() const {
  Chars Text = utf8::Decode(Value);
  const Chars Polish(kPolishLetters);
  for (char32_t& C : Text) {
    std::size_t J = Polish.find(C);
    if (J != Chars::npos) C = static_cast<char32_t>(kLatinLetters[J]);
  }
  return utf8::Encode(Text);
}

bool TxTools::FindCharNotContained(char32_t& C) const {
  Chars Text = utf8::Decode(Value);
  bool Seen[256] = {};
  for (char32_t X : Text)
    if (X < 256) Seen[X] = true;
  for (char32_t Candidate = 1; Candidate < 256; ++Candidate) {
    if (!Seen[Candidate]) {
      C = Candidate;
      return true;
    }
  }
  return false;
}

AnsiString TxTools::PadLeft(char32_t C, int MinLength, int MaxLength) const {
  return Pad(Value, C, MinLength, MaxLength, true);
}

AnsiString TxTools::PadRight(char32_t C, int MinLength, int MaxLength) const {
  return Pad(Value, C, MinLength, MaxLength, false);
}

char TxTools::Hex2Char(int Value, bool UpperCase) {
  const char* Digits = UpperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  return Digits[Value & 0xF];
}

int TxTools::Char2Hex(char32_t C, bool& Ok) {
  if (!Ok) return 0;
  if (C >= '0' && C <= '9') return static_cast<int>(C - '0');
  if (C >= 'A' && C <= 'F') return static_cast<int>(C - 'A' + 10);
  if (C >= 'a' && C <= 'f') return static_cast<int>(C - 'a' + 10);
  Ok = false;
  return 0;
}

AnsiString TxTools::FromHexN(std::uint32_t Value, int Digits, bool UpperCase) {
  Digits = std::min(Digits, 8);
  AnsiString Result;
  for (int I = Digits - 1; I >= 0; --I)
    Result += Hex2Char(static_cast<int>(Value >> (4 * I)), UpperCase);
  return Result;
}

std::uint32_t TxTools::ToHexN(int Digits, bool& Ok) const {
  if (Digits < 1 || !Ok) return 0;
  Digits = std::min(Digits, 8);
  Chars Text = utf8::Decode(Value);
  if (Text.size() < static_cast<std::size_t>(Digits)) {
    Ok = false;
    return 0;
  }
  std::uint32_t Result = 0;
  for (int I = 0; I < Digits; ++I) {
    Result = (Result << 4) | static_cast<std::uint32_t>(Char2Hex(Text[I], Ok));
    if (!Ok) return 0;
  }
  return Result;
}

bool TxTools::DecodeSubStringToUnsignedInt(std::uint32_t& Value, int Start, int Length,
                                           const char* Text, int TextLength) {
  Value = 0;
  if (Start < 0 || Length < 0 || Text == nullptr || Start > TextLength - Length) return false;
  std::uint64_t Result = 0;
  for (int I = Start; I < Start + Length; ++I) {
    if (Text[I] < '0' || Text[I] > '9') return false;
    Result = Result * 10 + static_cast<std::uint64_t>(Text[I] - '0');
    if (Result > UINT32_MAX) return false;
  }
  Value = static_cast<std::uint32_t>(Result);
  return true;
}

bool TxTools::EncodeUnsignedIntToSubString(int Pos, int Length, std::span<char> Buffer,
                                           std::uint32_t Number) {
  if (Pos < 0 || Length < 0 ||
      static_cast<std::size_t>(Pos) + static_cast<std::size_t>(Length) > Buffer.size())
    return false;
  int Needed = 1;
  for (std::uint32_t Rest = Number / 10; Rest != 0; Rest /= 10) ++Needed;
  if (Needed > Length) return false;
  for (int I = Pos + Length - 1; I >= Pos; --I) {
    Buffer[static_cast<std::size_t>(I)] = static_cast<char>('0' + Number % 10);
    Number /= 10;
  }
  return true;
}

std::uint32_t TxTools::SubStringToUnsignedInt(int Start, int Length) const {
  Chars Text = utf8::Decode(Value);
  std::uint32_t Result = 0;
  bool Ok = Start >= 0 && Length >= 0 &&
            static_cast<std::size_t>(Start) + static_cast<std::size_t>(Length) <= Text.size();
  if (Ok) {
    AnsiString Digits = utf8::Encode(Text.substr(static_cast<std::size_t>(Start),
                                                 static_cast<std::size_t>(Length)));
    int Bytes = static_cast<int>(Digits.size());
    Ok = DecodeSubStringToUnsignedInt(Result, 0, Bytes, Digits.data(), Bytes);
  }
  if (!Ok) throw Exception("[TxTools::SubStringToUnsignedInt] Zły format analizowanego tekstu");
  return Result;
}

AnsiString TxTools::ToOEM() const { return platform::AnsiToOem(Value); }

AnsiString TxTools::FromOEM() const { return platform::OemToAnsi(Value); }

bool TxTools::DBPrintableChar(char32_t C) {
  if (C < 16 || C == '"' || C == '\'' || C == '\\') return false;
  return C < 128 || Chars(kPolishLetters).find(C) != Chars::npos;
}

AnsiString TxTools::ToDBField(int MaxLength) const {
  AnsiString Text = Value;
  if (MaxLength >= 0) {
    Chars Decoded = utf8::Decode(Value);
    if (static_cast<std::size_t>(MaxLength) < Decoded.size())
      Text = utf8::Encode(Decoded.substr(0, static_cast<std::size_t>(MaxLength)));
  }
  // Quotes and backslashes doubled, line breaks written as escapes whose backslash is not.
  AnsiString Result = "'";
  for (char C : Text) {
    switch (C) {
      case '\'': Result += "''"; break;
      case '\\': Result += "\\\\"; break;
      case '\r': Result += "\\x0D"; break;
      case '\n': Result += "\\x0A"; break;
      default: Result += C;
    }
  }
  return Result + "'";
}

AnsiString TxTools::ToASEParam() const {
  std::string_view Trimmed = Trim(Value);
  return Trimmed.empty() ? AnsiString(" ") : AnsiString(Trimmed);
}

AnsiString TxTools::SystemDirectory() { return platform::SystemDirectory(); }

AnsiString TxTools::WindowsDirectory() { return platform::WindowsDirectory(); }

AnsiString TxTools::TempDirectory() { return platform::TempDirectory(); }

AnsiString TxTools::CurrentDirectory() { return platform::CurrentDirectory(); }

bool TxTools::SetCurrentDirectoryA(const AnsiString& Path) {
  return platform::SetCurrentDirectory(Path);
}

}  // namespace vandrel
