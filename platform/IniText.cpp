#include "platform/IniText.h"

#include <strings.h>

namespace vandrel::platform {

namespace {

std::string_view Trim(std::string_view Text) {
  const size_t First = Text.find_first_not_of(" \t\r");
  if (First == std::string_view::npos) return {};
  return Text.substr(First, Text.find_last_not_of(" \t\r") - First + 1);
}

bool SameName(std::string_view A, const std::string& B) {
  return A.size() == B.size() && strncasecmp(A.data(), B.data(), A.size()) == 0;
}

bool IsComment(std::string_view Trimmed) { return !Trimmed.empty() && (Trimmed[0] == '#' || Trimmed[0] == ';'); }

}  // namespace

std::optional<std::string> IniSectionOf(std::string_view Line) {
  const std::string_view T = Trim(Line);
  if (T.size() < 2 || T.front() != '[') return std::nullopt;
  const size_t Close = T.find(']');
  if (Close == std::string_view::npos) return std::nullopt;
  return std::string(Trim(T.substr(1, Close - 1)));
}

std::optional<std::string> IniKeyOf(std::string_view Line) {
  const std::string_view T = Trim(Line);
  if (T.empty() || IsComment(T) || T.front() == '[') return std::nullopt;
  const size_t Eq = T.find('=');
  if (Eq == std::string_view::npos) return std::nullopt;
  return std::string(Trim(T.substr(0, Eq)));
}

std::string IniValueOf(std::string_view Line) {
  const size_t Eq = Line.find('=');
  return Eq == std::string_view::npos ? std::string() : std::string(Trim(Line.substr(Eq + 1)));
}

TIniDocument TIniDocument::Parse(std::string_view Text) {
  TIniDocument Doc;
  size_t Start = 0;
  while (Start < Text.size()) {
    const size_t End = Text.find('\n', Start);
    Doc.FLines.emplace_back(Text.substr(Start, End == std::string_view::npos ? End : End - Start));
    if (End == std::string_view::npos) break;
    Start = End + 1;
  }
  return Doc;
}

std::string TIniDocument::Serialise() const {
  std::string Text;
  for (const auto& Line : FLines) Text += Line + "\n";
  return Text;
}

std::optional<TIniDocument::TSpan> TIniDocument::Find(const std::string& Section) const {
  for (size_t I = 0; I < FLines.size(); ++I) {
    const auto Name = IniSectionOf(FLines[I]);
    if (!Name || !SameName(*Name, Section)) continue;
    size_t End = I + 1;
    while (End < FLines.size() && !IniSectionOf(FLines[End])) ++End;
    return TSpan{I, End};
  }
  return std::nullopt;
}

std::optional<size_t> TIniDocument::FindKey(const TSpan& Span, const std::string& Key) const {
  for (size_t I = Span.First + 1; I < Span.End; ++I) {
    const auto Name = IniKeyOf(FLines[I]);
    if (Name && SameName(*Name, Key)) return I;
  }
  return std::nullopt;
}

std::vector<std::string> TIniDocument::Sections() const {
  std::vector<std::string> Names;
  for (size_t I = 0; I < FLines.size(); ++I) {
    const auto Name = IniSectionOf(FLines[I]);
    if (Name && !Name->empty() && Find(*Name)->First == I) Names.push_back(*Name);  // each once
  }
  return Names;
}

bool TIniDocument::HasSection(const std::string& Section) const { return Find(Section).has_value(); }

std::vector<std::string> TIniDocument::Keys(const std::string& Section) const {
  std::vector<std::string> Names;
  const auto Span = Find(Section);
  if (!Span) return Names;
  for (size_t I = Span->First + 1; I < Span->End; ++I) {
    const auto Name = IniKeyOf(FLines[I]);
    if (Name && !Name->empty() && FindKey(*Span, *Name) == I) Names.push_back(*Name);
  }
  return Names;
}

std::optional<std::string> TIniDocument::Value(const std::string& Section, const std::string& Key) const {
  const auto Span = Find(Section);
  if (!Span) return std::nullopt;
  const auto Line = FindKey(*Span, Key);
  if (!Line) return std::nullopt;
  return IniValueOf(FLines[*Line]);
}

bool TIniDocument::AddSection(const std::string& Section) {
  if (HasSection(Section)) return false;
  if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.emplace_back();
  FLines.push_back("[" + Section + "]");
  return true;
}

bool TIniDocument::Set(const std::string& Section, const std::string& Key, const std::string& Value) {
  AddSection(Section);
  const TSpan Span = *Find(Section);
  const std::string Line = Key + "=" + Value;
  if (const auto At = FindKey(Span, Key)) {
    if (IniValueOf(FLines[*At]) == Value) return false;
    FLines[*At] = Line;
    return true;
  }
  // After the section's last key, so that blank lines between sections stay between them.
  size_t At = Span.End;
  while (At > Span.First + 1 && Trim(FLines[At - 1]).empty()) --At;
  FLines.insert(FLines.begin() + static_cast<long>(At), Line);
  return true;
}

bool TIniDocument::DeleteKey(const std::string& Section, const std::string& Key) {
  const auto Span = Find(Section);
  if (!Span) return false;
  bool Deleted = false;
  // Every line of the key goes, so that a repeated key does not come back.
  for (size_t I = Span->End; I-- > Span->First + 1;) {
    const auto Name = IniKeyOf(FLines[I]);
    if (Name && SameName(*Name, Key)) {
      FLines.erase(FLines.begin() + static_cast<long>(I));
      Deleted = true;
    }
  }
  return Deleted;
}

bool TIniDocument::DeleteSection(const std::string& Section) {
  // Every section of the name goes, so that a repeated one does not come back.
  bool Deleted = false;
  while (const auto Span = Find(Section)) {
    FLines.erase(FLines.begin() + static_cast<long>(Span->First), FLines.begin() + static_cast<long>(Span->End));
    Deleted = true;
  }
  return Deleted;
}

}  // namespace vandrel::platform
