#include "platform/RegText.h"

#include "platform/RegKeyName.h"

namespace vandrel::platform {

namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00";

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view TrimLeft(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  return S;
}

std::string_view TrimRight(std::string_view S) {
  while (!S.empty() && (IsBlank(S.back()) || S.back() == '\r')) S.remove_suffix(1);
  return S;
}

bool IsBlankLine(std::string_view Raw) {
  for (char C : Raw) {
    if (!IsBlank(C) && C != '\r' && C != '\n') return false;
  }
  return true;
}

bool IsHexDigit(char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
}

// A line of the file: the bytes with the line break, and the text before the break.
struct TRawLine {
  std::string_view Raw;
  std::string_view Text;
};

std::vector<TRawLine> SplitLines(std::string_view Text) {
  std::vector<TRawLine> Lines;
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find('\n', Start);
    End = End == std::string_view::npos ? Text.size() : End + 1;
    std::string_view Raw = Text.substr(Start, End - Start);
    std::string_view Content = Raw;
    if (!Content.empty() && Content.back() == '\n') Content.remove_suffix(1);
    if (!Content.empty() && Content.back() == '\r') Content.remove_suffix(1);
    Lines.push_back({Raw, Content});
    Start = End;
  }
  return Lines;
}

// Reads a quoted text at the start of S (which begins with '"'), in which only "\\" and "\""
// are escapes; S is left after the closing quote.
std::string ReadQuoted(std::string_view& S, int Line) {
  std::string Out;
  size_t I = 1;
  while (true) {
    if (I >= S.size()) throw TRegParseError(Line, "tekst w cudzysłowie nie jest zamknięty");
    const char C = S[I];
    if (C == '"') break;
    if (C == '\\') {
      if (I + 1 >= S.size() || (S[I + 1] != '\\' && S[I + 1] != '"')) {
        throw TRegParseError(Line, "ukośnik odwrotny w cudzysłowie musi być podwojony (\\\\)");
      }
      Out += S[I + 1];
      I += 2;
    } else {
      Out += C;
      ++I;
    }
  }
  S.remove_prefix(I + 1);
  return Out;
}

// Checks binary data "hh,hh,..." and tells whether it continues on the next line ("\" at the end).
bool ContinuesHex(std::string_view Data, int Line) {
  const bool Continues = !Data.empty() && Data.back() == '\\';
  if (Continues) Data.remove_suffix(1);
  for (char C : Data) {
    if (!IsHexDigit(C) && C != ',' && !IsBlank(C)) {
      throw TRegParseError(Line, "dane binarne mogą zawierać tylko cyfry szesnastkowe i przecinki");
    }
  }
  return Continues;
}

// Reads the value line Text into Out; tells whether the data continues on the next line.
bool ReadValue(std::string_view Text, int Line, TRegLine& Out) {
  std::string_view S = TrimLeft(Text);
  if (S.front() == '@') {
    S.remove_prefix(1);
  } else if (S.front() == '"') {
    Out.Name = ReadQuoted(S, Line);
  } else {
    throw TRegParseError(Line, "wiersz nie jest ani kluczem, ani wartością, ani komentarzem");
  }
  S = TrimLeft(S);
  if (S.empty() || S.front() != '=') throw TRegParseError(Line, "po nazwie wartości brak znaku \"=\"");
  S = TrimLeft(S.substr(1));
  Out.IsValue = true;
  if (!S.empty() && S.front() == '"') {
    Out.Type = "string";
    Out.Text = ReadQuoted(S, Line);
    if (!TrimRight(S).empty()) throw TRegParseError(Line, "tekst po zamknięciu cudzysłowu");
    return false;
  }
  if (!S.empty() && S.front() == '-') {
    throw TRegParseError(Line, "usuwanie wartości (\"=-\") nie ma miejsca w magazynie rejestru");
  }
  const size_t Colon = S.find(':');
  if (Colon == std::string_view::npos) throw TRegParseError(Line, "nieznany typ wartości");
  const std::string Type(S.substr(0, Colon));
  std::string_view Data = TrimRight(S.substr(Colon + 1));
  if (SameRegName(Type, "dword")) {
    if (Data.size() != 8) throw TRegParseError(Line, "wartość dword musi mieć 8 cyfr szesnastkowych");
    for (char C : Data) {
      if (!IsHexDigit(C)) throw TRegParseError(Line, "wartość dword musi mieć 8 cyfr szesnastkowych");
    }
    Out.Type = "dword";
    return false;
  }
  const bool Hex = SameRegName(Type, "hex") ||
                   (Type.size() > 5 && SameRegName(Type.substr(0, 4), "hex(") && Type.back() == ')');
  if (!Hex) throw TRegParseError(Line, "nieznany typ wartości \"" + Type + "\"");
  Out.Type = Type;
  return ContinuesHex(Data, Line);
}

std::string Quote(const std::string& Text) {
  std::string Out = "\"";
  for (char C : Text) {
    if (C == '\\' || C == '"') Out += '\\';
    Out += C;
  }
  return Out + '"';
}

// The line break that Raw ends with, or Default when it ends without one.
std::string BreakOf(std::string_view Raw, const std::string& Default) {
  if (Raw.size() >= 2 && Raw.substr(Raw.size() - 2) == "\r\n") return "\r\n";
  if (!Raw.empty() && Raw.back() == '\n') return "\n";
  return Default;
}

TRegLine BlankLine(const std::string& Break) {
  TRegLine Line;
  Line.Raw = Break;
  return Line;
}

bool SamePath(const std::vector<std::string>& A, const std::vector<std::string>& B) {
  return A.size() == B.size() && RegPathStartsWith(A, B);
}

}  // namespace

std::string FormatRegString(const std::string& Name, const std::string& Value) {
  return (Name.empty() ? std::string("@") : Quote(Name)) + "=" + Quote(Value);
}

TRegDocument::TRegDocument(std::string RootName)
    : RootName_(std::move(RootName)), Prolog_(std::string(kHeader) + "\r\n\r\n") {}

TRegDocument TRegDocument::Parse(std::string_view Text, const std::string& RootName) {
  TRegDocument Doc(RootName);
  if (Text.empty()) return Doc;
  if (Text.substr(0, 2) == "\xFF\xFE" || Text.substr(0, 2) == "\xFE\xFF") {
    throw TRegParseError(1, "plik jest zapisany w UTF-16; przekształć go do UTF-8 (iconv -f UTF-16 -t UTF-8)");
  }
  const std::vector<TRawLine> Lines = SplitLines(Text);
  std::string_view First = Lines[0].Text;
  if (First.substr(0, 3) == "\xEF\xBB\xBF") First.remove_prefix(3);
  if (TrimRight(First) != kHeader) {
    throw TRegParseError(1, std::string("pierwszy wiersz nie brzmi \"") + kHeader + "\"");
  }
  Doc.Break_ = BreakOf(Lines[0].Raw, "\r\n");
  Doc.Prolog_ = std::string(Lines[0].Raw);
  for (size_t I = 1; I < Lines.size(); ++I) {
    const int LineNo = static_cast<int>(I + 1);
    const std::string_view T = TrimRight(TrimLeft(Lines[I].Text));
    if (!T.empty() && T.front() == '[') {
      if (T.back() != ']') throw TRegParseError(LineNo, "nazwa klucza nie kończy się znakiem \"]\"");
      const std::string_view Inner = T.substr(1, T.size() - 2);
      if (!Inner.empty() && Inner.front() == '-') {
        throw TRegParseError(LineNo, "usuwanie kluczy (\"[-...]\") nie ma miejsca w magazynie rejestru");
      }
      const size_t Slash = Inner.find('\\');
      const std::string_view Root = Inner.substr(0, Slash);
      if (!SameRegName(Root, RootName)) {
        throw TRegParseError(LineNo, "klucz \"" + std::string(Inner) + "\" nie należy do " + RootName);
      }
      TRegSection Section;
      Section.Header = std::string(Lines[I].Raw);
      if (Slash != std::string_view::npos &&
          (Slash + 1 == Inner.size() || !SplitRegPath(Inner.substr(Slash + 1), Section.Path))) {
        throw TRegParseError(LineNo, "pusta nazwa w ścieżce klucza \"" + std::string(Inner) + "\"");
      }
      Doc.Sections_.push_back(std::move(Section));
      continue;
    }
    TRegLine Line;
    Line.Raw = std::string(Lines[I].Raw);
    const bool Comment = T.empty() || T.front() == ';';
    if (!Comment) {
      if (Doc.Sections_.empty()) throw TRegParseError(LineNo, "wartość przed pierwszym kluczem");
      bool Continues = ReadValue(Lines[I].Text, LineNo, Line);
      while (Continues) {
        if (++I >= Lines.size()) throw TRegParseError(LineNo, "dane binarne urywają się na końcu pliku");
        Line.Raw += Lines[I].Raw;
        Continues = ContinuesHex(TrimRight(TrimLeft(Lines[I].Text)), static_cast<int>(I + 1));
      }
    }
    if (Doc.Sections_.empty()) {
      Doc.Prolog_ += Line.Raw;
    } else {
      Doc.Sections_.back().Lines.push_back(std::move(Line));
    }
  }
  return Doc;
}

std::string TRegDocument::Serialise() const {
  std::string Out = Prolog_;
  for (const auto& S : Sections_) {
    Out += S.Header;
    for (const auto& L : S.Lines) Out += L.Raw;
  }
  return Out;
}

int TRegDocument::FindSection(const std::vector<std::string>& Path, bool Last) const {
  int Found = -1;
  for (size_t I = 0; I < Sections_.size(); ++I) {
    if (SamePath(Sections_[I].Path, Path)) {
      Found = static_cast<int>(I);
      if (!Last) break;
    }
  }
  return Found;
}

bool TRegDocument::KeyExists(const std::vector<std::string>& Path) const {
  if (Path.empty()) return true;
  for (const auto& S : Sections_) {
    if (RegPathStartsWith(S.Path, Path)) return true;
  }
  return false;
}

const TRegLine* TRegDocument::FindValue(const std::vector<std::string>& Path, std::string_view Name) const {
  const TRegLine* Found = nullptr;
  for (const auto& S : Sections_) {
    if (!SamePath(S.Path, Path)) continue;
    for (const auto& L : S.Lines) {
      if (L.IsValue && SameRegName(L.Name, Name)) Found = &L;
    }
  }
  return Found;
}

std::vector<std::string> TRegDocument::ValueNames(const std::vector<std::string>& Path) const {
  std::vector<std::string> Names;
  for (const auto& S : Sections_) {
    if (!SamePath(S.Path, Path)) continue;
    for (const auto& L : S.Lines) {
      if (!L.IsValue) continue;
      bool Seen = false;
      for (const auto& N : Names) Seen = Seen || SameRegName(N, L.Name);
      if (!Seen) Names.push_back(L.Name);
    }
  }
  return Names;
}

bool TRegDocument::CreateKey(const std::vector<std::string>& Path) {
  if (Path.empty() || FindSection(Path, false) >= 0) return false;
  AddSection(Path);
  return true;
}

void TRegDocument::EndWithBreak(std::string& Text) const {
  if (Text.empty() || Text.back() != '\n') Text += Break_;
}

int TRegDocument::AddSection(const std::vector<std::string>& Path) {
  // Spell the key's existing ancestors as the file already spells them.
  std::vector<std::string> Spelled = Path;
  size_t Known = 0;
  for (const auto& S : Sections_) {
    size_t K = 0;
    while (K < S.Path.size() && K < Path.size() && SameRegName(S.Path[K], Path[K])) ++K;
    if (K > Known) {
      Known = K;
      for (size_t I = 0; I < K; ++I) Spelled[I] = S.Path[I];
    }
  }
  // Place it after the last key of its nearest existing ancestor's branch, else at the end.
  size_t At = Sections_.size();
  bool Placed = false;
  for (size_t Depth = Path.size(); Depth-- > 1 && !Placed;) {
    const std::vector<std::string> Ancestor(Path.begin(), Path.begin() + static_cast<std::ptrdiff_t>(Depth));
    for (size_t I = Sections_.size(); I-- > 0 && !Placed;) {
      if (RegPathStartsWith(Sections_[I].Path, Ancestor)) {
        At = I + 1;
        Placed = true;
      }
    }
  }
  // Keep a blank line between the previous key and the new one.
  if (At == 0) {
    EndWithBreak(Prolog_);
    if (!IsBlankLine(Prolog_.substr(Prolog_.rfind('\n', Prolog_.size() - 2) + 1))) Prolog_ += Break_;
  } else {
    TRegSection& Prev = Sections_[At - 1];
    std::string& Tail = Prev.Lines.empty() ? Prev.Header : Prev.Lines.back().Raw;
    EndWithBreak(Tail);
    if (Prev.Lines.empty() || !IsBlankLine(Prev.Lines.back().Raw)) Prev.Lines.push_back(BlankLine(Break_));
  }
  TRegSection Section;
  Section.Path = Spelled;
  Section.Header = "[" + RootName_ + (Path.empty() ? "" : "\\" + JoinRegPath(Spelled)) + "]" + Break_;
  Section.Lines.push_back(BlankLine(Break_));
  Sections_.insert(Sections_.begin() + static_cast<std::ptrdiff_t>(At), std::move(Section));
  return static_cast<int>(At);
}

bool TRegDocument::SetString(const std::vector<std::string>& Path, const std::string& Name,
                             const std::string& Value) {
  if (Value.find_first_of("\r\n") != std::string::npos || Name.find_first_of("\r\n") != std::string::npos) {
    throw std::invalid_argument("a registry string holds no line break");
  }
  // The last line that names the value is the one that counts: change it in place.
  TRegLine* Found = nullptr;
  for (auto& S : Sections_) {
    if (!SamePath(S.Path, Path)) continue;
    for (auto& L : S.Lines) {
      if (L.IsValue && SameRegName(L.Name, Name)) Found = &L;
    }
  }
  if (Found) {
    if (Found->Type == "string" && Found->Text == Value) return false;
    const std::string Break = Found->Raw.back() == '\n' ? BreakOf(Found->Raw, Break_) : "";
    Found->Raw = FormatRegString(Found->Name, Value) + Break;
    Found->Type = "string";
    Found->Text = Value;
    return true;
  }
  int Index = FindSection(Path, true);
  if (Index < 0) Index = AddSection(Path);
  TRegSection& S = Sections_[static_cast<size_t>(Index)];
  size_t At = 0;
  for (size_t I = 0; I < S.Lines.size(); ++I) {
    if (S.Lines[I].IsValue) At = I + 1;
  }
  EndWithBreak(At == 0 ? S.Header : S.Lines[At - 1].Raw);
  TRegLine Line;
  Line.Raw = FormatRegString(Name, Value) + Break_;
  Line.IsValue = true;
  Line.Name = Name;
  Line.Type = "string";
  Line.Text = Value;
  S.Lines.insert(S.Lines.begin() + static_cast<std::ptrdiff_t>(At), std::move(Line));
  return true;
}

bool TRegDocument::DeleteValue(const std::vector<std::string>& Path, std::string_view Name) {
  bool Deleted = false;
  for (auto& S : Sections_) {
    if (!SamePath(S.Path, Path)) continue;
    for (size_t I = S.Lines.size(); I-- > 0;) {
      if (S.Lines[I].IsValue && SameRegName(S.Lines[I].Name, Name)) {
        S.Lines.erase(S.Lines.begin() + static_cast<std::ptrdiff_t>(I));
        Deleted = true;
      }
    }
  }
  return Deleted;
}

}  // namespace vandrel::platform
