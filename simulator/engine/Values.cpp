#include "engine/Values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/SqlTime.h"
#include "engine/Statements.h"

namespace msde {

std::optional<std::string> NormalizeDecimal(const std::string& raw, int scale) {
  const std::string text = Trim(raw);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string whole, fraction;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) whole += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
      fraction += text[i++];
  }
  if (i != text.size() || (whole.empty() && fraction.empty())) {
    // Exponent forms ("1e3") go through a double.
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(d)) return std::nullopt;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", scale, d);
    return std::string(buffer);
  }
  if (whole.empty()) whole = "0";
  const bool round_up = static_cast<int>(fraction.size()) > scale && fraction[scale] >= '5';
  fraction.resize(scale, '0');
  std::string digits = whole + fraction;
  if (round_up) {
    int k = static_cast<int>(digits.size()) - 1;
    for (; k >= 0 && digits[k] == '9'; --k) digits[k] = '0';
    if (k < 0) digits.insert(digits.begin(), '1');
    else ++digits[k];
  }
  std::string int_part = digits.substr(0, digits.size() - scale);
  while (int_part.size() > 1 && int_part[0] == '0') int_part.erase(0, 1);
  std::string result = int_part;
  if (scale > 0) result += "." + digits.substr(digits.size() - scale);
  bool zero = result.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + result;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

std::string Utf8Prefix(const std::string& text, size_t chars) {
  size_t i = 0, n = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (n == chars) break;
      ++n;
    }
  }
  return text.substr(0, i);
}

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Trim(std::string text) {
  text = TrimRight(std::move(text));
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return text.substr(start);
}

std::optional<std::string> HexBytes(const std::string& text) {
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
  std::string digits = text.substr(2);
  if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
  if (digits.size() % 2) digits.insert(0, "0");
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string HexText(const std::string& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string hex = "0x";
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

bool IsNull(const Value& value) { return std::holds_alternative<std::monostate>(value); }

std::string ValueText(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return std::to_string(std::get<int64_t>(value));
  if (std::holds_alternative<double>(value)) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", std::get<double>(value));
    return buffer;
  }
  if (std::holds_alternative<std::string>(value)) return std::get<std::string>(value);
  if (std::holds_alternative<SqlDateTime>(value))
    return *FormatDateTime(std::get<SqlDateTime>(value), 0);
  return "";
}

std::optional<int64_t> ToInteger(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return std::get<int64_t>(value);
  if (std::holds_alternative<double>(value))
    return static_cast<int64_t>(std::trunc(std::get<double>(value)));
  if (std::holds_alternative<std::string>(value)) {
    const std::string text = Trim(std::get<std::string>(value));
    if (text.empty()) return int64_t{0};  // SQL Server converts '' to 0
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno != 0) return std::nullopt;
    return n;
  }
  return std::nullopt;
}

std::optional<double> ToDouble(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return static_cast<double>(std::get<int64_t>(value));
  if (std::holds_alternative<double>(value)) return std::get<double>(value);
  if (std::holds_alternative<std::string>(value)) {
    const std::string text = Trim(std::get<std::string>(value));
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) return std::nullopt;
    return d;
  }
  if (std::holds_alternative<SqlDateTime>(value)) {
    const SqlDateTime& t = std::get<SqlDateTime>(value);
    return t.days + t.ticks / 25920000.0;
  }
  return std::nullopt;
}

namespace {

// The letter in the other case where `upper` asks for it: ASCII, Latin-1 (à to þ) and the
// pairs of Latin Extended-A, where the Polish letters are (Ą ą, Ć ć, Ę ę, Ł ł, Ń ń, Ś ś,
// Ź ź, Ż ż): capitals at odd code points in 0x139-0x148 and 0x179-0x17E, at even ones else.
unsigned InCase(unsigned code, bool upper) {
  if (code < 0x80) return static_cast<unsigned>(upper ? std::toupper(static_cast<int>(code)) : std::tolower(static_cast<int>(code)));
  if (upper && code >= 0xE0 && code <= 0xFE && code != 0xF7) return code - 0x20;
  if (!upper && code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 0x20;
  if (code < 0x100 || code > 0x17E || code == 0x130 || code == 0x131 || code == 0x138 || code == 0x149 || code == 0x178)
    return code;
  const bool capitals_odd = (code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E);
  const bool capital = (code % 2 == 1) == capitals_odd;
  if (upper && !capital) return code - 1;
  if (!upper && capital) return code + 1;
  return code;
}

std::string InCaseText(const std::string& text, bool upper) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(InCase(c, upper));
      continue;
    }
    // Two-byte sequences up to Latin Extended-A keep their length in the other case.
    if (i + 1 < text.size() && (c == 0xC3 || c == 0xC4 || c == 0xC5)) {
      const unsigned code = InCase(((c & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F), upper);
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
      ++i;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace

std::string UpperText(const std::string& text) { return InCaseText(text, true); }
std::string LowerText(const std::string& text) { return InCaseText(text, false); }

namespace {

// Sort weights of the server's Polish_CI_AS collation: letters without regard to case, each
// Polish letter right after its base letter (A Ą B C Ć ... Z Ź Ż), other characters by code.
std::vector<int> CollationKey(const std::string& text) {
  static const char32_t kAlphabet[] = U"AĄBCĆDEĘFGHIJKLŁMNŃOÓPQRSŚTUVWXYZŹŻ";
  const std::string upper = UpperText(TrimRight(text));
  std::vector<int> key;
  for (size_t i = 0; i < upper.size();) {
    const unsigned char c = static_cast<unsigned char>(upper[i]);
    char32_t code = c;
    size_t length = 1;
    if (c >= 0xF0) length = 4;
    else if (c >= 0xE0) length = 3;
    else if (c >= 0xC0) length = 2;
    if (length > 1) {
      code = c & (0xFF >> (length + 1));
      for (size_t k = 1; k < length && i + k < upper.size(); ++k)
        code = (code << 6) | (static_cast<unsigned char>(upper[i + k]) & 0x3F);
    }
    i += length;
    int weight = 0x10000 + static_cast<int>(code);
    for (size_t k = 0; kAlphabet[k] != 0; ++k)
      if (kAlphabet[k] == code) weight = 0x1000 + static_cast<int>(k);
    if (code < 0x80 && !(code >= 'A' && code <= 'Z')) weight = static_cast<int>(code);
    key.push_back(weight);
  }
  return key;
}

}  // namespace

int CompareValues(const Value& a, const Value& b) {
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  const bool a_text = std::holds_alternative<std::string>(a);
  const bool b_text = std::holds_alternative<std::string>(b);
  if (a_text && b_text)
    return sign(CollationKey(std::get<std::string>(a)), CollationKey(std::get<std::string>(b)));
  if (std::holds_alternative<SqlDateTime>(a) || std::holds_alternative<SqlDateTime>(b)) {
    auto date_of = [](const Value& v) -> std::optional<SqlDateTime> {
      if (std::holds_alternative<SqlDateTime>(v)) return std::get<SqlDateTime>(v);
      if (std::holds_alternative<std::string>(v)) return ParseDateTime(std::get<std::string>(v));
      return std::nullopt;
    };
    auto x = date_of(a), y = date_of(b);
    if (x && y) return sign(std::pair(x->days, x->ticks), std::pair(y->days, y->ticks));
  }
  if (std::holds_alternative<int64_t>(a) && std::holds_alternative<int64_t>(b))
    return sign(std::get<int64_t>(a), std::get<int64_t>(b));
  auto x = ToDouble(a), y = ToDouble(b);
  if (x && y) return sign(*x, *y);
  return sign(CollationKey(ValueText(a)), CollationKey(ValueText(b)));
}

namespace {

// Decodes one UTF-8 character at `i` (advancing it) as its upper-case bytes.
std::string NextChar(const std::string& s, size_t& i) {
  size_t len = 1;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c >= 0xF0) len = 4;
  else if (c >= 0xE0) len = 3;
  else if (c >= 0xC0) len = 2;
  std::string ch = s.substr(i, len);
  i += len;
  return UpperText(ch);
}

// The letter without its accent, for the accent-insensitive collations (upper case in,
// upper case out).
std::string WithoutAccent(const std::string& ch) {
  static const std::pair<const char*, const char*> kFolds[] = {
      {"Ą", "A"}, {"Ć", "C"}, {"Ę", "E"}, {"Ł", "L"}, {"Ń", "N"}, {"Ó", "O"}, {"Ś", "S"}, {"Ź", "Z"},
      {"Ż", "Z"}, {"Á", "A"}, {"Ä", "A"}, {"À", "A"}, {"Â", "A"}, {"É", "E"}, {"È", "E"}, {"Ê", "E"},
      {"Ë", "E"}, {"Í", "I"}, {"Î", "I"}, {"Ö", "O"}, {"Ô", "O"}, {"Ü", "U"}, {"Ú", "U"}, {"Ç", "C"}};
  for (const auto& [from, to] : kFolds)
    if (ch == from) return to;
  return ch;
}

// One character of a LIKE match as the collation sees it.
std::string LikeChar(const std::string& s, size_t& i, const LikeRules& rules) {
  const std::string ch = NextChar(s, i);
  return rules.accent_insensitive ? WithoutAccent(ch) : ch;
}

// Whether `ch` lies in the range from..to in the collation's order (Ł between L and M).
bool InRange(const std::string& from, const std::string& ch, const std::string& to) {
  return CompareValues(from, ch) <= 0 && CompareValues(ch, to) <= 0;
}

bool LikeAt(const std::string& t, size_t ti, const std::string& p, size_t pi, const LikeRules& rules) {
  while (pi < p.size()) {
    if (!rules.escape.empty() && p.compare(pi, rules.escape.size(), rules.escape) == 0) {
      // The escape character makes the next one (%, _, [ or itself) match only itself.
      pi += rules.escape.size();
      if (pi >= p.size() || ti >= t.size()) return false;
      if (LikeChar(p, pi, rules) != LikeChar(t, ti, rules)) return false;
      continue;
    }
    if (p[pi] == '%') {
      while (pi < p.size() && p[pi] == '%') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ti; k <= t.size(); ) {
        if (LikeAt(t, k, p, pi, rules)) return true;
        if (k == t.size()) break;
        NextChar(t, k);
      }
      return false;
    }
    if (ti >= t.size()) return false;
    const std::string tc = LikeChar(t, ti, rules);
    if (p[pi] == '_') {
      ++pi;
      continue;
    }
    if (p[pi] == '[') {
      size_t close = p.find(']', pi + 1);
      if (close != std::string::npos) {
        size_t k = pi + 1;
        bool negate = k < close && p[k] == '^';
        if (negate) ++k;
        bool hit = false;
        while (k < close) {
          const std::string from = LikeChar(p, k, rules);
          if (k + 1 < close && p[k] == '-') {
            ++k;
            const std::string to = LikeChar(p, k, rules);
            hit = hit || InRange(from, tc, to);
          } else {
            hit = hit || from == tc;
          }
        }
        if (hit == negate) return false;
        pi = close + 1;
        continue;
      }
    }
    if (LikeChar(p, pi, rules) != tc) return false;
  }
  return ti == t.size();
}

}  // namespace

bool LikeMatch(const std::string& text, const std::string& pattern, const LikeRules& rules) {
  // Trailing blanks of the value do not count against a pattern without them.
  return LikeAt(text, 0, pattern, 0, rules) || LikeAt(TrimRight(text), 0, pattern, 0, rules);
}

}  // namespace msde
