#pragma once
// Decimal text to a scaled integer, for the numeric, decimal and money wire forms.
#include <optional>
#include <string>

namespace msde::tds {

using Int128 = __int128;

// "-12.345" at Scale 2 is -1235: the value times 10^Scale, rounded half away from zero, as
// SQL Server rounds on conversion. Accepts an optional sign, digits, one '.', and an
// exponent ("1e3", as a double may be written). Nothing for malformed text or a value of
// more than 38 digits.
std::optional<Int128> ParseScaled(const std::string& text, int scale);

// Decimal digits of the magnitude of a scaled value (for precision checks).
int DigitCount(Int128 value);

}  // namespace msde::tds
