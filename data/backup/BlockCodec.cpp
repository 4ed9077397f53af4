#include "data/backup/BlockCodec.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/Trim.h"
#include "foundation/TxTools.h"

namespace vandrel::backup {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

template <class T>
void AppendNumber(std::string& Out, T Value) {
  char Text[5200];  // the longest fixed text of an extended value has about 4970 characters
  auto Result = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed);
  Out.append(Text, Result.ptr);
}

// from_chars refuses subnormal results as out of range; the C library's reader (in the C
// locale, whatever the program's locale) gives them.
locale_t CLocale() {
  static const locale_t Locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return Locale;
}
double ReadInC(const char* Text, char** End, double) { return strtod_l(Text, End, CLocale()); }
Extended ReadInC(const char* Text, char** End, Extended) { return strtold_l(Text, End, CLocale()); }

template <class T>
std::optional<T> ParseNumber(std::string_view Text, std::chars_format Format) {
  T Value{};
  auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Format);
  if (Result.ec == std::errc::result_out_of_range && Result.ptr == Text.data() + Text.size()) {
    const std::string Copy(Text);
    char* End = nullptr;
    Value = ReadInC(Copy.c_str(), &End, T{});
    if (End != Copy.c_str() + Copy.size() || std::isinf(Value)) return std::nullopt;
    return Value;
  }
  if (Result.ec != std::errc() || Result.ptr != Text.data() + Text.size()) return std::nullopt;
  return Value;
}

// The value of "[-]digits[.digits]" with at most 19 significant digits and 27 decimals,
// which is how most stored extended values look: then the digits as an integer and the power
// of ten are both exact in an extended value, and one division rounds correctly, as the
// library's reader would (a known fast path of decimal reading). None for anything else.
std::optional<Extended> ExactDecimal(std::string_view Text) {
  std::size_t I = Text.empty() || Text[0] != '-' ? 0 : 1;
  const bool Negative = I == 1;
  std::uint64_t Digits = 0;
  int Significant = 0, Decimals = 0;
  bool Point = false, Any = false;
  for (; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C == '.' && !Point && Any) {
      Point = true;
      continue;
    }
    if (C < '0' || C > '9') return std::nullopt;
    Any = true;
    if (Digits != 0 || C != '0') ++Significant;
    if (Significant > 19) return std::nullopt;
    Digits = Digits * 10 + static_cast<std::uint64_t>(C - '0');
    if (Point) ++Decimals;
  }
  if (!Any || Decimals > 27 || (Point && Text.back() == '.')) return std::nullopt;
  Extended Power = 1;
  for (int K = 0; K < Decimals; ++K) Power *= 10;
  const Extended Value = static_cast<Extended>(Digits) / Power;
  return Negative ? -Value : Value;
}

}  // namespace

std::size_t RunAtLeast(const char* Data, std::size_t Size, unsigned char Below) {
  constexpr std::uint64_t Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;
  std::size_t I = 0;
  for (; I + 8 <= Size; I += 8) {
    std::uint64_t Word;
    std::memcpy(&Word, Data + I, 8);
    // Nonzero exactly when some byte of the word is below Below.
    if ((Word - Ones * Below) & ~Word & Highs) break;
  }
  while (I < Size && static_cast<unsigned char>(Data[I]) >= Below) ++I;
  return I;
}

std::uint8_t XorOf(std::string_view Bytes, std::uint8_t Start) {
  std::uint64_t Words = 0;
  std::size_t I = 0;
  for (; I + 8 <= Bytes.size(); I += 8) {
    std::uint64_t Word;
    std::memcpy(&Word, Bytes.data() + I, 8);
    Words ^= Word;
  }
  std::uint8_t Sum = Start;
  for (int Shift = 0; Shift < 64; Shift += 8) Sum ^= static_cast<std::uint8_t>(Words >> Shift);
  for (; I < Bytes.size(); ++I) Sum ^= static_cast<std::uint8_t>(Bytes[I]);
  return Sum;
}

void Escape(std::string_view Data, std::string& Out) {
  for (std::size_t I = 0; I < Data.size(); ++I) {
    const std::size_t Run = RunAtLeast(Data.data() + I, Data.size() - I, 3);
    Out.append(Data.data() + I, Run);
    if ((I += Run) == Data.size()) break;
    Out += kEscape;
    Out += static_cast<char>('0' + Data[I]);
  }
}

bool Unescape(std::string_view Data, std::string& Out) {
  for (std::size_t I = 0; I < Data.size(); ++I) {
    const std::size_t Run = RunAtLeast(Data.data() + I, Data.size() - I, 3);
    Out.append(Data.data() + I, Run);
    if ((I += Run) == Data.size()) break;
    const char C = Data[I];
    if (C == kBlockMark) return false;
    if (C != kEscape) {
      Out += C;
      continue;
    }
    if (++I == Data.size() || Data[I] < '0' || Data[I] > '2') return false;
    Out += static_cast<char>(Data[I] - '0');
  }
  return true;
}

void AppendHex(std::string& Out, std::uint32_t Value, int Digits) {
  for (int Shift = (Digits - 1) * 4; Shift >= 0; Shift -= 4) Out += kHexDigits[(Value >> Shift) & 0xF];
}

std::optional<std::uint32_t> ParseHex(std::string_view Text) {
  if (Text.empty() || Text.size() > 8) return std::nullopt;
  std::uint32_t Value = 0;
  for (char C : Text) {
    const int Digit = HexValue(C);
    if (Digit < 0) return std::nullopt;
    Value = Value << 4 | static_cast<std::uint32_t>(Digit);
  }
  return Value;
}

void AppendValue(std::string& Out, std::string_view Value) {
  for (std::size_t I = 0; I < Value.size(); ++I) {
    const std::size_t Run = RunAtLeast(Value.data() + I, Value.size() - I, 16);
    Out.append(Value.data() + I, Run);
    if ((I += Run) == Value.size()) break;
    Out += kValueEscape;
    Out += kHexDigits[static_cast<unsigned char>(Value[I])];
  }
}

std::optional<std::size_t> UnescapeValueInPlace(char* Stored, std::size_t Size) {
  std::size_t Read = RunAtLeast(Stored, Size, 16), Written = Read;
  while (Read < Size) {
    const char C = Stored[Read++];
    if (static_cast<unsigned char>(C) >= 16) {
      Stored[Written++] = C;
      continue;
    }
    if (C != kValueEscape || Read == Size) return std::nullopt;
    const int Digit = HexValue(Stored[Read++]);
    if (Digit < 0) return std::nullopt;
    Stored[Written++] = static_cast<char>(Digit);
  }
  return Written;
}

bool UnescapeValue(std::string_view Stored, std::string& Out) {
  const std::size_t Start = Out.size();
  Out.append(Stored);
  const auto Length = UnescapeValueInPlace(Out.data() + Start, Stored.size());
  Out.resize(Start + Length.value_or(0));
  return Length.has_value();
}

AnsiString BlockName(const AnsiString& Name) {
  const AnsiString Folded = TxTools(AnsiString(Trim(Name))).NoPl();
  AnsiString Result;
  for (char C : Folded)
    if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '_') Result += C;
  if (!Result.empty() && Result[0] >= '0' && Result[0] <= '9') Result.insert(Result.begin(), '_');
  return Result;
}

char TypeLetter(TMFieldType Type) {
  switch (Type) {
    case mftInteger: return 'I';
    case mftFloat: return 'F';
    case mftExtended: return 'X';
    case mftDateTime: return 'D';
    default: return 'S';
  }
}

std::optional<TMFieldType> TypeOfLetter(char Letter) {
  switch (Letter) {
    case 'I': return mftInteger;
    case 'F': return mftFloat;
    case 'X': return mftExtended;
    case 'D': return mftDateTime;
    case 'S': return mftString;
    default: return std::nullopt;
  }
}

void AppendFloat(std::string& Out, double Value) { AppendNumber(Out, Value); }
void AppendExtended(std::string& Out, Extended Value) { AppendNumber(Out, Value); }

std::optional<int> ParseInteger(std::string_view Text) {
  int Value = 0;
  auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Result.ec != std::errc() || Result.ptr != Text.data() + Text.size()) return std::nullopt;
  return Value;
}

std::optional<double> ParseFloat(std::string_view Text) {
  return ParseNumber<double>(Text, std::chars_format::general);
}

std::optional<Extended> ParseExtended(std::string_view Text) {
  if (const auto Value = ExactDecimal(Text)) return Value;
  return ParseNumber<Extended>(Text, std::chars_format::general);
}

}  // namespace vandrel::backup
