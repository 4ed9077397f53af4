#include "data/RuntimeInteger.h"

#include <cstdint>

namespace vandrel {

bool TryStrToInt(const AnsiString& Text, int& Value) {
  Value = 0;
  std::size_t I = 0;
  const std::size_t N = Text.size();
  while (I < N && Text[I] == ' ') ++I;
  bool Negative = false;
  if (I < N && (Text[I] == '-' || Text[I] == '+')) {
    Negative = Text[I] == '-';
    ++I;
  }
  int Base = 10;
  if (I < N && Text[I] == '$') {
    Base = 16;
    ++I;
  }
  if (I == N) return false;
  // The magnitude may reach 2^31 only for a negative number.
  const std::uint64_t Limit = Negative ? 0x80000000ull : 0x7FFFFFFFull;
  std::uint64_t Magnitude = 0;
  for (; I < N; ++I) {
    const char C = Text[I];
    int Digit;
    if (C >= '0' && C <= '9') {
      Digit = C - '0';
    } else if (Base == 16 && C >= 'a' && C <= 'f') {
      Digit = C - 'a' + 10;
    } else if (Base == 16 && C >= 'A' && C <= 'F') {
      Digit = C - 'A' + 10;
    } else {
      return false;
    }
    Magnitude = Magnitude * static_cast<std::uint64_t>(Base) + static_cast<std::uint64_t>(Digit);
    if (Magnitude > Limit) return false;
  }
  const std::int64_t Signed =
      Negative ? -static_cast<std::int64_t>(Magnitude) : static_cast<std::int64_t>(Magnitude);
  Value = static_cast<int>(Signed);
  return true;
}

int StrToIntDef(const AnsiString& Text, int Default) {
  int Value;
  return TryStrToInt(Text, Value) ? Value : Default;
}

}  // namespace vandrel
