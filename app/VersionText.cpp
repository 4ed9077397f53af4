#include "app/VersionText.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace vandrel::app {
namespace {

// Each word trimmed and read as a whole integer; -1 when it is not a number or missing.
std::vector<int> VersionNumbers(const std::string& FileVersion) {
  std::vector<int> numbers(4, -1);
  std::stringstream in(FileVersion);
  std::string word;
  for (int i = 0; i < 4 && std::getline(in, word, '.'); ++i) {
    size_t b = word.find_first_not_of(' '), e = word.find_last_not_of(' ');
    if (b == std::string::npos) continue;
    word = word.substr(b, e - b + 1);
    try {
      size_t used = 0;
      int n = std::stoi(word, &used);
      if (used == word.size()) numbers[i] = n;
    } catch (...) {
      // A part that is no number (or too large for one) counts as 0, as a missing part does.
    }
  }
  return numbers;
}

std::string TwoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

}  // namespace

std::string FormatVersionString(const std::string& FileVersion) {
  const std::vector<int> n = VersionNumbers(FileVersion);
  std::string s;
  if (n[0] < 0) return s;
  s += std::to_string(n[0]);
  if (n[1] < 0) return s;
  s += "." + TwoDigits(n[1]);
  if (n[2] > 0 || n[3] > 0) {
    s += " ";
    s += n[2] > 0 ? std::string(1, static_cast<char>(64 + n[2])) : std::string("_");
    if (n[3] > 0) s += " " + TwoDigits(n[3]);
  }
  return s;
}

}  // namespace vandrel::app
