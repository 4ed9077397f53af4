#include "foundation/FloatText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vandrel::floattext {

namespace {

constexpr int kMaxDecimals = 12;
// Below this distance from a whole number a scaled value is taken to be that number: the
// decimal value was meant, its binary representation lies just beside it.
constexpr double kTolerance = 1e-12;

template <class T>
T PowerOfTen(int Exponent) {
  T Result = 1;
  for (int I = 0; I < Exponent; ++I) Result *= 10;
  return Result;
}

}  // namespace

template <class T>
std::string Format(T Value, int MinDecimals, int MaxDecimals, char DecimalSeparator) {
  MinDecimals = std::clamp(MinDecimals, 0, kMaxDecimals);
  MaxDecimals = std::clamp(MaxDecimals, 0, kMaxDecimals);
  // Large enough for the widest long double in fixed notation; the number is never cut.
  char Buffer[5000];
  auto Printed = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::fixed,
                               MaxDecimals);
  std::string Text(Buffer, Printed.ptr);
  std::size_t Point = Text.find('.');
  if (Point != std::string::npos) {
    Text[Point] = DecimalSeparator;
    std::size_t Keep = Point + 1 + static_cast<std::size_t>(std::min(MinDecimals, MaxDecimals));
    while (Text.size() > Keep && Text.back() == '0') Text.pop_back();
    if (Text.size() == Point + 1) Text.pop_back();
  }
  // A negative value that shows as nothing but zeros is shown as zero, without the sign.
  if (Text.size() > 1 && Text[0] == '-' &&
      Text.find_first_not_of(std::string("0") + DecimalSeparator, 1) == std::string::npos)
    Text.erase(0, 1);
  return Text;
}

template <class T>
std::string Shortest(T Value, char DecimalSeparator) {
  if (Value == 0) return "0";
  char Buffer[5000];
  auto Printed = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::fixed);
  std::string Text(Buffer, Printed.ptr);
  if (const std::size_t Point = Text.find('.'); Point != std::string::npos) Text[Point] = DecimalSeparator;
  return Text;
}

bool ParseDouble(std::string_view Text, char DecimalSeparator, double& Value) {
  // Checked here rather than left to from_chars, which would also take "inf" and "nan".
  std::string Number;
  std::size_t I = 0;
  if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) {
    if (Text[I] == '-') Number += '-';
    ++I;
  }
  int Digits = 0;
  bool Point = false;
  for (; I < Text.size(); ++I) {
    char C = Text[I];
    if (C >= '0' && C <= '9') {
      ++Digits;
      Number += C;
    } else if ((C == '.' || C == ',' || C == DecimalSeparator) && !Point) {
      Point = true;
      Number += '.';
    } else {
      break;
    }
  }
  if (Digits == 0) return false;
  if (I < Text.size() && (Text[I] == 'e' || Text[I] == 'E')) {
    Number += 'e';
    ++I;
    if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) Number += Text[I++];
    std::size_t ExponentStart = I;
    while (I < Text.size() && Text[I] >= '0' && Text[I] <= '9') Number += Text[I++];
    if (I == ExponentStart) return false;
  }
  if (I != Text.size()) return false;
  double Result = 0;
  auto Parsed = std::from_chars(Number.data(), Number.data() + Number.size(), Result);
  if (Parsed.ec != std::errc() || Parsed.ptr != Number.data() + Number.size()) return false;
  Value = Result;
  return true;
}

// The scan: blanks, tabs and "+" are skipped and a first "-" makes the number negative
// until a digit or a decimal point is met; the first ".", "," or DecimalSeparator starts
// the fraction; anything else (a second point included) ends the number. The digits read
// are converted in one step, so the result is the nearest value to the decimal text.
template <class T>
T ParseLenient(std::string_view Text, char DecimalSeparator) {
  std::string Number;
  bool Negative = false, Started = false, Point = false, NonZero = false;
  for (char C : Text) {
    if (C >= '0' && C <= '9') {
      Started = true;
      NonZero = NonZero || (C != '0' && !Point);
      Number += C;
    } else if ((C == '.' || C == ',' || C == DecimalSeparator) && !Point) {
      Started = Point = true;
      Number += '.';
    } else if (!Started && (C == ' ' || C == '\t' || C == '+')) {
      continue;
    } else if (!Started && C == '-' && !Negative) {
      Negative = true;
    } else {
      break;
    }
  }
  if (Number.find_first_of("0123456789") == std::string::npos) return 0;
  T Value = 0;
  auto Parsed = std::from_chars(Number.data(), Number.data() + Number.size(), Value);
  if (Parsed.ec == std::errc::result_out_of_range)
    Value = NonZero ? std::numeric_limits<T>::infinity() : T(0);
  if (Value == 0) return 0;
  return Negative ? -Value : Value;
}

template <class T>
T Round(T Value, int Decimals, TRounding Mode) {
  Decimals = std::clamp(Decimals, -kMaxDecimals, kMaxDecimals);
  const T Power = PowerOfTen<T>(Decimals < 0 ? -Decimals : Decimals);
  const T Scaled = Decimals >= 0 ? Value * Power : Value / Power;
  // A value this large has no decimals left to round (and scaling it may overflow).
  const T Exact = std::ldexp(T(1), std::numeric_limits<T>::digits);
  if (!std::isfinite(Scaled) || std::fabs(Scaled) >= Exact) return Value;
  T Whole = 0;
  switch (Mode) {
    case TRounding::HalfUp:
      Whole = std::floor(Scaled);
      if (Scaled - Whole - T(0.5) >= -T(kTolerance)) Whole += 1;
      break;
    case TRounding::Down: Whole = std::floor(Scaled + T(kTolerance)); break;
    case TRounding::Up: Whole = std::ceil(Scaled - T(kTolerance)); break;
  }
  if (Whole == 0) return 0;
  return Decimals >= 0 ? Whole / Power : Whole * Power;
}

template std::string Format<double>(double, int, int, char);
template std::string Format<long double>(long double, int, int, char);
template std::string Shortest<double>(double, char);
template std::string Shortest<long double>(long double, char);
template double ParseLenient<double>(std::string_view, char);
template long double ParseLenient<long double>(std::string_view, char);
template double Round<double>(double, int, TRounding);
template long double Round<long double>(long double, int, TRounding);

}  // namespace vandrel::floattext
