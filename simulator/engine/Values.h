#pragma once
// Conversions and comparisons of cell values, as SQL Server performs them under a
// case-insensitive, accent-sensitive collation (the server's default here).
#include <cstdint>
#include <optional>
#include <string>

#include "Engine.h"

namespace msde {

// Decimal text with exactly `scale` digits after the point, rounded half away from zero;
// nullopt when the text is no number.
std::optional<std::string> NormalizeDecimal(const std::string& text, int scale);
size_t Utf8Length(const std::string& text);                   // characters of UTF-8 text
std::string Utf8Prefix(const std::string& text, size_t chars);  // the first `chars` characters
std::string TrimRight(std::string text);  // trailing blanks removed
std::string Trim(std::string text);
std::string HexText(const std::string& bytes);  // "0x" and two upper-case digits a byte
// The bytes of "0x..." text (an odd digit count reads a leading 0); nullopt for other text.
std::optional<std::string> HexBytes(const std::string& text);

std::optional<int64_t> ToInteger(const Value& value);  // text must be a whole number
std::optional<double> ToDouble(const Value& value);
// -1, 0, 1; NULLs are not compared (callers test them first). Text compares as the Polish
// case-insensitive collation orders it, without regard to trailing blanks; a number against
// numeric text compares as numbers.
int CompareValues(const Value& a, const Value& b);
// LIKE with %, _, [set], [^set] and [a-z] ranges in the collation's order, case-insensitive;
// an ESCAPE character, and accents ignored under an accent-insensitive (_AI) collation.
struct LikeRules {
  std::string escape;  // one character, or empty
  bool accent_insensitive = false;
};
bool LikeMatch(const std::string& text, const std::string& pattern, const LikeRules& rules = {});
// Character-aware upper case of UTF-8 text (ASCII and Polish letters).
std::string UpperText(const std::string& text);
std::string LowerText(const std::string& text);  // the same letters in lower case

}  // namespace msde
