#include "data/backup/BlockContent.h"

#include "data/backup/BlockCodec.h"
#include "platform/base/OemCodePage.h"

namespace vandrel {

namespace {

// The next line of Text from Pos, which must end with "\r\n"; false when none does.
bool NextLine(std::string_view Text, std::size_t& Pos, std::string_view& Line) {
  const std::size_t End = Text.find("\r\n", Pos);
  if (End == std::string_view::npos) return false;
  Line = Text.substr(Pos, End - Pos);
  Pos = End + 2;
  return true;
}

}  // namespace

bool TMBackupBlockContent::Parse(std::string_view Block) {
  Fields.clear();
  FValues.clear();
  RecordCount = 0;
  FText.clear();
  platform::AppendWin1250ToAnsi(FText, Block);
  const std::string_view Text = FText;
  std::size_t Pos = 0;
  std::string_view Line;
  if (!NextLine(Text, Pos, Line)) return false;
  // Definitions: a type letter and a name each, separated by 0x04.
  for (std::size_t Start = 0; !Line.empty();) {
    std::size_t End = Line.find(backup::kSeparator, Start);
    if (End == std::string_view::npos) End = Line.size();
    const std::string_view Def = Line.substr(Start, End - Start);
    const auto Type = Def.empty() ? std::nullopt : backup::TypeOfLetter(Def[0]);
    if (!Type || Def.size() < 2) return false;
    Fields.push_back({AnsiString(), *Type});
    if (!backup::UnescapeValue(Def.substr(1), Fields.back().Name)) return false;
    if (End == Line.size()) break;
    Start = End + 1;
  }
  const std::size_t Count = Fields.size();
  while (Pos < Text.size()) {
    const std::size_t LineStart = Pos;
    if (!NextLine(Text, Pos, Line)) return false;
    std::size_t Start = 0;
    for (std::size_t F = 0; F < Count; ++F) {
      std::size_t End = Line.find(backup::kSeparator, Start);
      const bool Last = F + 1 == Count;
      if (Last != (End == std::string_view::npos)) return false;
      if (Last) End = Line.size();
      const std::size_t Offset = LineStart + Start;
      const std::size_t Size = End - Start;
      const bool Null = Size == 1 && Line[Start] == backup::kNull;
      std::optional<std::size_t> Length = 0;
      if (!Null && !(Length = backup::UnescapeValueInPlace(FText.data() + Offset, Size))) return false;
      FValues.push_back({static_cast<std::uint32_t>(Offset), static_cast<std::uint32_t>(*Length), Null});
      Start = End + 1;
    }
    if (Count == 0 && !Line.empty()) return false;
    ++RecordCount;
  }
  return true;
}

}  // namespace vandrel
