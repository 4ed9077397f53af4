#include "app/SqlQuoting.h"

namespace vandrel::app {
namespace {

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

std::string Doubled(const std::string& Value, char Quote) {
  std::string out;
  out.reserve(Value.size() + 2);
  for (char c : Value) {
    out += c;
    if (c == Quote) out += c;
  }
  return out;
}

}  // namespace

bool IsRegularIdentifier(const std::string& Name) {
  if (Name.empty()) return false;
  unsigned char first = static_cast<unsigned char>(Name[0]);
  if (!IsLetter(first) && first != '_' && first != '@' && first != '#') return false;
  for (size_t i = 1; i < Name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(Name[i]);
    if (!IsLetter(c) && !IsDigit(c) && c != '_' && c != '@' && c != '#' && c != '$') return false;
  }
  return true;
}

std::string QuoteIdentifier(const std::string& Name) {
  if (IsRegularIdentifier(Name)) return Name;
  return "[" + Doubled(Name, ']') + "]";
}

std::string QuoteQualifiedName(const std::string& OwnerDotName) {
  auto dot = OwnerDotName.find('.');
  if (dot == std::string::npos) return QuoteIdentifier(OwnerDotName);
  return QuoteIdentifier(OwnerDotName.substr(0, dot)) + "." +
         QuoteIdentifier(OwnerDotName.substr(dot + 1));
}

std::string EscapeLiteral(const std::string& Value) { return Doubled(Value, '\''); }

std::string EscapeDoubleQuoted(const std::string& Value) { return Doubled(Value, '"'); }

}  // namespace vandrel::app
