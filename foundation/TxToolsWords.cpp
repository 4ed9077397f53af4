// TxTools: words and fields of a line.
#include "foundation/TxTools.h"
#include "foundation/Utf8.h"

namespace vandrel {

AnsiString TxTools::SelectWord(int Index, const AnsiString& Separators) const {
  if (Separators.empty()) return Value;
  if (Index < 0) return "";
  const std::u32string Text = utf8::Decode(Value), Set = utf8::Decode(Separators);
  auto IsSeparator = [&](std::size_t I) { return Set.find(Text[I]) != std::u32string::npos; };
  std::size_t I = 0;
  for (int Word = 0;; ++Word) {
    while (I < Text.size() && IsSeparator(I)) ++I;
    if (I == Text.size()) return "";
    std::size_t Start = I;
    while (I < Text.size() && !IsSeparator(I)) ++I;
    if (Word == Index) return utf8::Encode(Text.substr(Start, I - Start));
  }
}

AnsiString TxTools::SelectWordEx(int Index, bool& NotFound, const AnsiString& Separators) const {
  NotFound = false;
  const std::u32string Text = utf8::Decode(Value), Set = utf8::Decode(Separators);
  auto IsSeparator = [&](char32_t C) { return Set.find(C) != std::u32string::npos; };
  std::u32string Word;
  int Current = 0;
  for (std::size_t I = 0; I < Text.size() && Current <= Index; ++I) {
    char32_t C = Text[I];
    if (!IsSeparator(C)) {
      if (Current == Index) Word += C;
      continue;
    }
    // A separator right after a different separator belongs to the same boundary.
    if (I == 0 || !IsSeparator(Text[I - 1]) || Text[I - 1] == C) ++Current;
  }
  if (Text.empty() || Current < Index || Index < 0) {
    NotFound = true;
    return "";
  }
  return utf8::Encode(Word);
}

int TxTools::ParseLineFields(std::vector<AnsiString>& List, char32_t Separator) const {
  List.clear();
  const std::u32string Text = utf8::Decode(Value);
  std::size_t Start = 0;
  for (std::size_t At = Text.find(Separator); At != std::u32string::npos;
       At = Text.find(Separator, Start)) {
    List.push_back(utf8::Encode(Text.substr(Start, At - Start)));
    Start = At + 1;
  }
  if (Start < Text.size()) List.push_back(utf8::Encode(Text.substr(Start)));
  return static_cast<int>(List.size());
}

}  // namespace vandrel
