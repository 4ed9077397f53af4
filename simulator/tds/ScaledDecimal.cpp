#include "tds/ScaledDecimal.h"

#include <cctype>
#include <cstdlib>

namespace msde::tds {
namespace {

constexpr int kMaxDigits = 38;

}  // namespace

std::optional<Int128> ParseScaled(const std::string& text, int scale) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;  // all significant digits, with the decimal point's position kept apart
  int point = -1;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits += c;
    } else if (c == '.' && point < 0) {
      point = static_cast<int>(digits.size());
    } else {
      break;
    }
  }
  if (digits.empty()) return std::nullopt;
  if (point < 0) point = static_cast<int>(digits.size());
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    char* end = nullptr;
    long exponent = std::strtol(text.c_str() + i + 1, &end, 10);
    if (end == text.c_str() + i + 1 || exponent > 400 || exponent < -400) return std::nullopt;
    point += static_cast<int>(exponent);
    i = static_cast<size_t>(end - text.c_str());
  }
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != text.size()) return std::nullopt;

  // The scaled value's digits are those before position point + scale; the next decides
  // the rounding.
  int keep = point + scale;
  Int128 value = 0;
  int significant = 0;
  for (int k = 0; k < keep; ++k) {
    int d = k < static_cast<int>(digits.size()) ? digits[k] - '0' : 0;
    if (value == 0 && d == 0) continue;
    if (++significant > kMaxDigits) return std::nullopt;
    value = value * 10 + d;
  }
  if (keep >= 0 && keep < static_cast<int>(digits.size()) && digits[keep] >= '5') {
    value += 1;
    if (DigitCount(value) > kMaxDigits) return std::nullopt;
  }
  return negative ? -value : value;
}

int DigitCount(Int128 value) {
  if (value < 0) value = -value;
  int n = 0;
  do {
    ++n;
    value /= 10;
  } while (value != 0);
  return n;
}

}  // namespace msde::tds
