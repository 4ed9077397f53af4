// TxTools: word wrap.
#include "foundation/TxTools.h"
#include "foundation/Utf8.h"

namespace vandrel {

namespace {

using Chars = std::u32string;

// Breaks Text into lines that TooLong accepts, with CR LF between them: at the last blank
// of an overlong line (the blank is dropped and the walk resumes after it), else before
// the character that made it overlong; a line keeps at least one character.
template <class TTooLong>
AnsiString Wrap(const AnsiString& Value, int TabSize, TTooLong TooLong) {
  const Chars Tab(static_cast<std::size_t>(TabSize > 0 ? TabSize : 0), U' ');
  Chars Text;
  for (char32_t C : utf8::Decode(Value)) {
    if (C == U'\t')
      Text += Tab;
    else
      Text += C;
  }
  AnsiString Result;
  Chars Line;
  auto EndLine = [&](std::size_t Length) {
    Result += utf8::Encode(Line.substr(0, Length));
    Result += "\r\n";
    Line.clear();
  };
  std::size_t Blank = Chars::npos;  // the last blank of Line ...
  std::size_t BlankAt = 0;          // ... and its place in Text
  for (std::size_t I = 0; I < Text.size(); ++I) {
    char32_t C = Text[I];
    if (C == U'\r' || C == U'\n') {
      if (C == U'\r' || I == 0 || Text[I - 1] != U'\r') EndLine(Line.size());
      Blank = Chars::npos;
      continue;
    }
    Line += C;
    if (C == U' ') {
      Blank = Line.size() - 1;
      BlankAt = I;
    }
    if (!TooLong(Line)) continue;
    if (Blank != Chars::npos && Blank >= 1) {
      EndLine(Blank);
      I = BlankAt;
      Blank = Chars::npos;
    } else if (Line.size() >= 2) {
      EndLine(Line.size() - 1);
      Line = C;
      Blank = C == U' ' ? 0 : Chars::npos;
      BlankAt = I;
    }
  }
  return Result + utf8::Encode(Line);
}

// The line as a label shows it: the first "&&" as "&", every other "&" left out.
AnsiString LabelText(const Chars& Line) {
  Chars Shown;
  bool DoubleSeen = false;
  for (std::size_t I = 0; I < Line.size(); ++I) {
    if (Line[I] != U'&') {
      Shown += Line[I];
    } else if (!DoubleSeen && I + 1 < Line.size() && Line[I + 1] == U'&') {
      Shown += U'&';
      DoubleSeen = true;
      ++I;
    }
  }
  return utf8::Encode(Shown);
}

}  // namespace

AnsiString TxTools::AutoBreakText(int MaxLength, int TabSize) const {
  return Wrap(Value, TabSize, [MaxLength](const Chars& Line) {
    return static_cast<long long>(Line.size()) > MaxLength;
  });
}

AnsiString TxTools::AutoBreak(const TWidthMeasure& MeasureWidth, int MaxWidth, int TabSize,
                              bool HotKeys) const {
  // A text that already uses every code up to 255 is measured as it stands.
  char32_t Unused = 0;
  bool Labels = HotKeys && FindCharNotContained(Unused);
  return Wrap(Value, TabSize, [&](const Chars& Line) {
    return MeasureWidth(Labels ? LabelText(Line) : utf8::Encode(Line)) > MaxWidth;
  });
}

}  // namespace vandrel
