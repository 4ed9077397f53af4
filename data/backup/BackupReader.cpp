#include "data/backup/BackupReader.h"

#include <algorithm>

#include "data/DataError.h"
#include "data/DataSet.h"
#include "data/backup/BlockCodec.h"
#include "foundation/TdtTools.h"

namespace vandrel {

namespace {

constexpr int kBlockHeaderError = 1305;
constexpr int kBlockDataError = 1306;
constexpr int kBlockUnreadable = 1307;

[[noreturn]] void Unreadable(const Exception* Inner = nullptr) { throw EMDataError(kBlockUnreadable, "", Inner); }

template <class T>
T Required(std::optional<T> Value) {
  if (!Value) Unreadable();
  return *Value;
}

// Stores one stored value into Field by the stored type. Scratch carries texts to the
// setters and keeps its buffer from value to value.
void StoreValue(TMField* Field, TMFieldType Type, std::string_view Text, AnsiString& Scratch) {
  switch (Type) {
    case mftInteger: Field->SetAsInteger(Required(backup::ParseInteger(Text))); break;
    case mftFloat: Field->SetAsFloat(Required(backup::ParseFloat(Text))); break;
    case mftExtended: Field->SetAsExtended(Required(backup::ParseExtended(Text))); break;
    case mftDateTime:
      Scratch.assign(Text);
      Field->SetAsDateTime(TdtTools(0.0).FromString(Scratch, fmtDateTimeCompressed).Value);
      break;
    default:
      Scratch.assign(Text);
      Field->SetAsString(Scratch);
      break;
  }
}

}  // namespace

void TMBackupReader::BuildIndex() {
  FBlocks.clear();
  FByName.clear();
  FNames.clear();
  const std::int64_t Size = FBackup.GetSize();
  FBackup.SetPointer(FBackup.GetFirstBlock());
  TMBackupBlockHeader Block;
  while (FBackup.ReadBlockHeader(Block)) {
    if (Block.Number != static_cast<int>(FBlocks.size())) throw EMDataError(kBlockHeaderError, "");
    const std::int64_t Next = Block.DataOffset + Block.EscapedLength;
    if (Next > Size) throw EMDataError(kBlockDataError, "");
    auto& Positions = FByName[Block.Name];
    if (Positions.empty()) FNames.push_back(Block.Name);
    Positions.push_back(static_cast<int>(FBlocks.size()));
    FBlocks.push_back(Block);
    FBackup.SetPointer(Next);
  }
}

TMBackupSurvey TMBackupReader::Survey() {
  TMBackupSurvey Result;
  const std::int64_t Size = FBackup.GetSize();
  TMBackupBlockContent Content;
  int Expected = 0;
  // After an unreadable header line the blocks lost there explain a gap in the numbers.
  bool Lost = false;
  auto Damaged = [&](std::int64_t Offset, const TMBackupBlockHeader* Block, const EMDataError& E) {
    Result.Damage.push_back({Offset, Block ? Block->Number : -1, Expected, Block ? Block->Name : AnsiString(),
                             E.Code, E.Message, E.GetDescription()});
  };
  for (std::int64_t Position = FBackup.GetFirstBlock(); Position < Size;) {
    TMBackupBlockHeader Block;
    try {
      FBackup.SetPointer(Position);
      if (!FBackup.ReadBlockHeader(Block)) break;
    } catch (const EMDataError& E) {
      Damaged(Position, nullptr, E);
      Lost = true;
      Position = FBackup.FindBlockMark(Position + 1);
      continue;
    }
    if (Block.Number != Expected && !(Lost && Block.Number > Expected))
      Damaged(Position, &Block, EMDataError(kBlockHeaderError, ""));
    Lost = false;
    Expected = Block.Number + 1;
    Result.LastNumber = std::max(Result.LastNumber, Block.Number);
    try {
      if (Block.DataOffset + Block.EscapedLength > Size) throw EMDataError(kBlockDataError, "");
      FBackup.ReadBlockData(Block, FBytes);
      if (!Content.Parse(FBytes)) Unreadable();
    } catch (const EMDataError& E) {
      Damaged(Position, &Block, E);
      // Bytes lost from or added to the data move the next header: look for it.
      Position = FBackup.FindBlockMark(Block.DataOffset);
      continue;
    }
    ++Result.WholeBlocks;
    Result.Records += Content.RecordCount;
    Position = Block.DataOffset + Block.EscapedLength;
  }
  return Result;
}

std::vector<int> TMBackupReader::FindBlocks(const AnsiString& Name) const {
  auto Found = FByName.find(backup::BlockName(Name));
  return Found == FByName.end() ? std::vector<int>() : Found->second;
}

std::vector<AnsiString> TMBackupReader::BlockNames() const { return FNames; }

void TMBackupReader::ReadContent(int Index, TMBackupBlockContent& Content) {
  FBackup.ReadBlockData(FBlocks.at(Index), FBytes);
  if (!Content.Parse(FBytes)) Unreadable();
}

void TMBackupReader::LoadBlock(int Index, TMDataSet& Target) {
  TMBackupBlockContent& Content = FContent;
  ReadContent(Index, Content);
  try {
    if (!Target.GetActive()) {
      if (Target.GetFieldCount() == 0)
        for (const TMBackupFieldDef& Def : Content.Fields) {
          TMField* Field = Target.GetFields()->Add();
          Field->SetName(Def.Name);
          Field->SetType(Def.DataType);
        }
      Target.Open();
    }
    std::vector<TMField*> Map;
    for (const TMBackupFieldDef& Def : Content.Fields) Map.push_back(Target.FindField(Def.Name));
    AnsiString Scratch;
    for (int R = 0; R < Content.RecordCount; ++R) {
      Target.Append();
      for (std::size_t F = 0; F < Map.size(); ++F) {
        if (!Map[F]) continue;
        if (Content.IsNull(R, static_cast<int>(F)))
          Map[F]->SetNull();
        else
          StoreValue(Map[F], Content.Fields[F].DataType, Content.Value(R, static_cast<int>(F)), Scratch);
      }
    }
  } catch (const EMDataError& E) {
    if (E.Code == kBlockUnreadable) throw;
    Unreadable(&E);
  } catch (const Exception& E) {
    Unreadable(&E);
  }
}

int TMBackupReader::LoadBlocks(const AnsiString& Name, TMDataSet& Target) {
  int Records = 0;
  for (int Index : FindBlocks(Name)) {
    const int Before = Target.GetActive() ? Target.GetCount() : 0;
    LoadBlock(Index, Target);
    Records += Target.GetCount() - Before;
  }
  return Records;
}

}  // namespace vandrel
