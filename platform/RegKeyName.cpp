#include "platform/RegKeyName.h"

#include "foundation/Utf8.h"

namespace vandrel::platform {

std::string FoldRegName(std::string_view Name) { return utf8::Encode(utf8::ToUpper(utf8::Decode(Name))); }

bool SameRegName(std::string_view A, std::string_view B) {
  return FoldRegName(A) == FoldRegName(B);
}

bool SplitRegPath(std::string_view Path, std::vector<std::string>& Names) {
  Names.clear();
  if (!Path.empty() && Path.front() == '\\') Path.remove_prefix(1);
  if (!Path.empty() && Path.back() == '\\') Path.remove_suffix(1);
  if (Path.empty()) return true;
  if (Path.find_first_of("\r\n", 0) != std::string_view::npos || Path.find('\0') != std::string_view::npos) {
    return false;
  }
  size_t Start = 0;
  while (true) {
    const size_t End = Path.find('\\', Start);
    const std::string_view Part = Path.substr(Start, End == std::string_view::npos ? End : End - Start);
    if (Part.empty()) return false;
    Names.emplace_back(Part);
    if (End == std::string_view::npos) return true;
    Start = End + 1;
  }
}

std::string JoinRegPath(const std::vector<std::string>& Names) {
  std::string Out;
  for (const auto& N : Names) {
    if (!Out.empty()) Out += '\\';
    Out += N;
  }
  return Out;
}

bool RegPathStartsWith(const std::vector<std::string>& Path, const std::vector<std::string>& Prefix) {
  if (Prefix.size() > Path.size()) return false;
  for (size_t I = 0; I < Prefix.size(); ++I) {
    if (!SameRegName(Path[I], Prefix[I])) return false;
  }
  return true;
}

}  // namespace vandrel::platform
