#pragma once
// Trimming as the tools understand it: blanks and control characters (codes up to 32) are
// removed from both ends.
#include <string_view>

namespace vandrel {

inline std::string_view Trim(std::string_view Text) {
  while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= ' ') Text.remove_prefix(1);
  while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= ' ') Text.remove_suffix(1);
  return Text;
}

}  // namespace vandrel
