#include "foundation/Utf8.h"

namespace vandrel::utf8 {

namespace {

constexpr char32_t kEscapeBase = 0xDC00;

bool IsContinuation(unsigned char B) { return (B & 0xC0) == 0x80; }

// The code point of the well-formed character at Text[I] and its length in Bytes, or the
// escaped byte with length 1. Overlong forms, surrogates and values above U+10FFFF are not
// well-formed.
char32_t DecodeAt(std::string_view Text, std::size_t I, std::size_t& Bytes) {
  auto At = [&](std::size_t K) { return static_cast<unsigned char>(Text[I + K]); };
  unsigned char Lead = At(0);
  Bytes = 1;
  if (Lead < 0x80) return Lead;
  std::size_t Left = Text.size() - I;
  unsigned char Low = 0x80, High = 0xBF;  // allowed range of the second byte
  std::size_t Length = 0;
  char32_t Value = 0;
  if (Lead >= 0xC2 && Lead <= 0xDF) {
    Length = 2;
    Value = Lead & 0x1F;
  } else if (Lead >= 0xE0 && Lead <= 0xEF) {
    Length = 3;
    Value = Lead & 0x0F;
    if (Lead == 0xE0) Low = 0xA0;
    if (Lead == 0xED) High = 0x9F;
  } else if (Lead >= 0xF0 && Lead <= 0xF4) {
    Length = 4;
    Value = Lead & 0x07;
    if (Lead == 0xF0) Low = 0x90;
    if (Lead == 0xF4) High = 0x8F;
  }
  if (Length == 0 || Left < Length || At(1) < Low || At(1) > High)
    return kEscapeBase + Lead;
  for (std::size_t K = 1; K < Length; ++K) {
    if (!IsContinuation(At(K))) return kEscapeBase + Lead;
    Value = (Value << 6) | (At(K) & 0x3F);
  }
  Bytes = Length;
  return Value;
}

void AppendEncoded(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C >= kEscapeBase + 0x80 && C <= kEscapeBase + 0xFF) {
    Out += static_cast<char>(C - kEscapeBase);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C <= 0x10FFFF) {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += "\xEF\xBF\xBD";  // not a character: the replacement character
  }
}

}  // namespace

std::u32string Decode(std::string_view Text) {
  std::u32string Result;
  Result.reserve(Text.size());
  for (std::size_t I = 0, Bytes = 0; I < Text.size(); I += Bytes)
    Result += DecodeAt(Text, I, Bytes);
  return Result;
}

std::string Encode(std::u32string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  for (char32_t C : Text) AppendEncoded(Result, C);
  return Result;
}

std::string Encode(char32_t C) {
  std::string Result;
  AppendEncoded(Result, C);
  return Result;
}

std::size_t Length(std::string_view Text) {
  std::size_t Count = 0;
  for (std::size_t I = 0, Bytes = 0; I < Text.size(); I += Bytes, ++Count)
    DecodeAt(Text, I, Bytes);
  return Count;
}

bool IsValid(std::string_view Text) {
  for (std::size_t I = 0, Bytes = 0; I < Text.size(); I += Bytes)
    if (char32_t C = DecodeAt(Text, I, Bytes); C >= kEscapeBase + 0x80 && C <= kEscapeBase + 0xFF)
      return false;
  return true;
}

std::size_t Offset(std::string_view Text, std::size_t Index) {
  std::size_t I = 0;
  for (std::size_t Bytes = 0; I < Text.size() && Index > 0; I += Bytes, --Index)
    DecodeAt(Text, I, Bytes);
  return I;
}

char32_t ToUpper(char32_t C) {
  if (C < 0x80) return (C >= 'a' && C <= 'z') ? C - 0x20 : C;
  if (C >= 0xE0 && C <= 0xFE && C != 0xF7) return C - 0x20;  // Latin-1 letters
  if (C == 0xFF) return 0x178;
  if (C >= 0x100 && C <= 0x17F) {  // Latin Extended-A: upper and lower case in pairs
    if (C == 0x131) return 'I';
    if (C == 0x17F) return 'S';
    if (C == 0x138 || C == 0x149 || C == 0x178) return C;  // no upper case, or upper
    bool LowerIsOdd = C < 0x138 || (C >= 0x14A && C <= 0x177);
    return (C % 2 == 1) == LowerIsOdd ? C - 1 : C;
  }
  if (C >= 0x3B1 && C <= 0x3C9) return C == 0x3C2 ? 0x3A3 : C - 0x20;  // Greek
  if (C >= 0x430 && C <= 0x44F) return C - 0x20;                      // Cyrillic
  if (C >= 0x450 && C <= 0x45F) return C - 0x50;
  return C;
}

std::u32string ToUpper(std::u32string_view Text) {
  std::u32string Result(Text);
  for (char32_t& C : Result) C = ToUpper(C);
  return Result;
}

}  // namespace vandrel::utf8
