#include "data/backup/BlockContent.h"

#include <cstring>

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
  while (Pos < Text.size()) {
    const std::size_t LineStart = Pos;
    if (!NextLine(Text, Pos, Line)) return false;
    if (Fields.empty() ? !Line.empty() : !ReadRecord(LineStart, Line.size())) return false;
    ++RecordCount;
  }
  return true;
}

bool TMBackupBlockContent::ReadRecord(std::size_t Start, std::size_t Size) {
  char* Line = FText.data() + Start;
  std::size_t I = 0;
  for (std::size_t F = 0; F < Fields.size(); ++F, ++I) {
    const std::size_t Begin = I;
    // Most values are plain bytes up to the separator; one scan finds their end.
    I += backup::RunAtLeast(Line + I, Size - I, 16);
    TValue Value{static_cast<std::uint32_t>(Start + Begin), static_cast<std::uint32_t>(I - Begin), false};
    if (I < Size && Line[I] != backup::kSeparator) {
      // A null, an escape, or damage: the value runs to the next separator.
      const void* Separator = std::memchr(Line + I, backup::kSeparator, Size - I);
      I = Separator ? static_cast<std::size_t>(static_cast<const char*>(Separator) - Line) : Size;
      if (I - Begin == 1 && Line[Begin] == backup::kNull) {
        Value.Length = 0;
        Value.Null = true;
      } else {
        const auto Length = backup::UnescapeValueInPlace(Line + Begin, I - Begin);
        if (!Length) return false;
        Value.Length = static_cast<std::uint32_t>(*Length);
      }
    }
    // Every value but the last ends at a separator, the last at the end of the line.
    if ((F + 1 == Fields.size()) != (I == Size)) return false;
    FValues.push_back(Value);
  }
  return true;
}

}  // namespace vandrel
