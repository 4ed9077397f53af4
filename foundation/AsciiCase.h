#pragma once
// Case folding of the ASCII letters only: for keywords, keys and names that the system compares
// without regard to case, whatever the locale.
#include <algorithm>
#include <string>

namespace vandrel {

inline std::string AsciiLower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c); });
  return Text;
}

}  // namespace vandrel
