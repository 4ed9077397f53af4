#pragma once
// A list of text lines that tells its owner when it changes: the SQL text of a query or an
// update component, whose parameters follow the text.
#include <functional>
#include <string>
#include <vector>

#include "foundation/Exception.h"

namespace vandrel {

class TStringList {
 public:
  std::function<void()> OnChange;

  int GetCount() const { return static_cast<int>(FLines.size()); }
  const AnsiString& operator[](int Index) const { return FLines.at(Index); }
  const std::vector<AnsiString>& Lines() const { return FLines; }

  void Add(const AnsiString& Line) {
    FLines.push_back(Line);
    Changed();
  }
  void Clear() {
    FLines.clear();
    Changed();
  }
  void Assign(const std::vector<AnsiString>& Lines) {
    FLines = Lines;
    Changed();
  }
  void Assign(const TStringList& Source) { Assign(Source.FLines); }
  // The text as one string: every line followed by a carriage return and line feed.
  AnsiString GetText() const {
    AnsiString t;
    for (const AnsiString& l : FLines) t += l + "\r\n";
    return t;
  }
  // Splits Text into lines at CR LF, CR or LF.
  void SetText(const AnsiString& Text) {
    FLines.clear();
    size_t start = 0;
    while (start < Text.size()) {
      size_t end = Text.find_first_of("\r\n", start);
      if (end == AnsiString::npos) end = Text.size();
      FLines.push_back(Text.substr(start, end - start));
      if (end < Text.size() && Text[end] == '\r' && end + 1 < Text.size() && Text[end + 1] == '\n') ++end;
      start = end + 1;
    }
    Changed();
  }

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<AnsiString> FLines;
};

}  // namespace vandrel
