#include "app/query/ProgramName.h"

#include <cctype>


namespace vandrel::app {
namespace {

bool IsAppKey(const std::string& Part) {
  size_t at = Part.find_first_not_of(' ');
  if (at == std::string::npos || Part.size() < at + 3) return false;
  std::string key;
  for (size_t i = at; i < Part.size() && Part[i] != '='; ++i) key += static_cast<char>(std::toupper(static_cast<unsigned char>(Part[i])));
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key == "APP";
}

}  // namespace

std::string WithProgramName(const std::string& ConnectString, const std::string& Program) {
  std::string out;
  std::string part;
  bool braced = false;
  auto flush = [&] {
    if (!part.empty() && !IsAppKey(part)) out += part + ";";
    part.clear();
  };
  for (size_t i = 0; i < ConnectString.size(); ++i) {
    const char c = ConnectString[i];
    if (braced) {
      // Inside braces "}}" is one brace; a single one ends the value.
      if (c == '}' && i + 1 < ConnectString.size() && ConnectString[i + 1] == '}') {
        part += "}}";
        ++i;
        continue;
      }
      if (c == '}') braced = false;
    } else if (c == '{') {
      braced = true;
    } else if (c == ';') {
      flush();
      continue;
    }
    part += c;
  }
  flush();
  // Unbraced: FreeTDS keeps a braced program name's closing brace. A name without ";" needs none.
  return out + "APP=" + Program;
}

}  // namespace vandrel::app
