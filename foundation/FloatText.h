#pragma once
// The number rules shared by TfTools (double) and TxfTools (long double): display and SQL
// text, the lenient reading of database text, and rounding to a number of decimals.
#include <string>
#include <string_view>

namespace vandrel::floattext {

// Value with MaxDecimals decimals (both counts clamped to 0..12), the point written as
// DecimalSeparator, then trailing zeros dropped down to MinDecimals decimals.
template <class T>
std::string Format(T Value, int MinDecimals, int MaxDecimals, char DecimalSeparator);

// The shortest fixed-point text that reads back to exactly Value (as std::to_chars gives
// it), the point written as DecimalSeparator; a negative zero is "0".
template <class T>
std::string Shortest(T Value, char DecimalSeparator);

// Reads Text as a number; ".", "," and DecimalSeparator are all decimal points. False when
// Text (already trimmed) is not a number or is outside the range of a double.
bool ParseDouble(std::string_view Text, char DecimalSeparator, double& Value);

// Reads the number at the front of database text; never fails (see the definition).
template <class T>
T ParseLenient(std::string_view Text, char DecimalSeparator);

enum class TRounding { HalfUp, Down, Up };
// Value rounded to Decimals decimals (clamped to -12..12).
template <class T>
T Round(T Value, int Decimals, TRounding Mode);

}  // namespace vandrel::floattext
