#pragma once
// The cells of the rows the health statements read: a cell that may be missing, a number in
// text, a name compared without regard to case.
#include <cctype>
#include <cstdint>
#include <string>

#include "app/health/HealthRead.h"

namespace vandrel::health {

inline std::string Cell(const THealthRow& Row, size_t Column) { return Column < Row.size() ? Row[Column] : std::string(); }

inline int64_t Number(const std::string& Text) {
  try {
    return std::stoll(Text);
  } catch (...) {
    return 0;
  }
}

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace vandrel::health
