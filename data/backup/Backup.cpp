#include "data/backup/Backup.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <vector>

#include "data/CustomDataSet.h"
#include "data/DataError.h"
#include "data/backup/BlockCodec.h"
#include "data/backup/HeaderText.h"
#include "foundation/TdtTools.h"
#include "foundation/Trim.h"
#include "platform/base/OemCodePage.h"

namespace vandrel {

namespace {

constexpr int kSequenceError = 1301;
constexpr int kUnknownFormat = 1302;
constexpr int kNoPlaceForDefinitions = 1303;
constexpr int kNoPlaceForValues = 1304;
constexpr int kBlockHeaderError = 1305;
constexpr int kBlockDataError = 1306;
constexpr int kBlockUnreadable = 1307;

constexpr std::int64_t kPiece = 4096;
// A header is a few hundred bytes; a longer one is read no further than this.
constexpr std::int64_t kMaxHeader = 1 << 20;
// 0x01, block number, data length, data checksum, line checksum.
constexpr std::size_t kBlockLineFixed = 1 + 8 + 8 + 2 + 2;
constexpr std::size_t kMaxBlockName = 4096;

[[noreturn]] void Raise(int Code, const Exception* Inner = nullptr) { throw EMDataError(Code, "", Inner); }

bool IsNameChar(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '_';
}

// One value of the current record in its stored form.
void AppendStoredValue(std::string& Line, TMFieldType Type, bool IsNull, int Integer, double Float,
                       Extended Ext, TDateTime DateTime, const AnsiString& String) {
  if (IsNull) {
    Line += backup::kNull;
    return;
  }
  switch (Type) {
    case mftInteger: {
      char Text[16];
      Line.append(Text, std::to_chars(Text, Text + sizeof Text, Integer).ptr);
      break;
    }
    case mftFloat: backup::AppendFloat(Line, Float); break;
    case mftExtended: backup::AppendExtended(Line, Ext); break;
    case mftDateTime: TdtTools(DateTime).AppendCompressed(Line); break;
    default: backup::AppendValue(Line, String); break;
  }
}

}  // namespace

TMBackup::TMBackup(TObject* Owner) : TMCustomFile(Owner) {}

TMBackup::~TMBackup() { BeforeDestruction(); }

void TMBackup::SetActive(bool Value) {
  if (Value == GetActive()) return;
  if (Value && !FOpening) Raise(kSequenceError);
  if (!Value) FWriting = FReading = false;
  TMCustomFile::SetActive(Value);
}

template <class Body>
auto TMBackup::ClosingOnFailure(Body Run) {
  try {
    return Run();
  } catch (...) {
    FWriting = FReading = false;
    try {
      TMCustomFile::SetActive(false);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

void TMBackup::OpenFor(bool Reading) {
  if (GetActive()) Raise(kSequenceError);
  SetReadOnly(Reading);
  SetRandomAccess(Reading);
  FOpening = true;
  try {
    TMCustomFile::SetActive(true);
  } catch (...) {
    FOpening = false;
    throw;
  }
  FOpening = false;
  FReading = Reading;
  FWriting = !Reading;
}

void TMBackup::AllocateBuffers(int BlockSize) {
  FBlockSize = BlockSize;
  int Coded = BlockSize;
  if (OnCodeBlock) OnCodeBlock(this, 0, BlockSize, nullptr, Coded, nullptr);
  FCodedSize = std::max(Coded, TMBackupHeader::MinBlockSize);
  FCoded.reserve(static_cast<std::size_t>(FCodedSize) + 1);
  FEscaped.reserve(2 * static_cast<std::size_t>(FCodedSize) + 1);
}

void TMBackup::WriteHeader(const TMBackupHeader& Header, int Blocks, bool LastFile) {
  const std::string Text = backup::ComposeHeader(Header, {Blocks, LastFile, FStart, FFinish});
  // The finished header replaces the unfinished one byte for byte; a header of another
  // length would overwrite the first block.
  if (FHeaderLength != 0 && static_cast<std::int64_t>(Text.size()) != FHeaderLength) Raise(kUnknownFormat);
  SetPointer(0);
  DoWrite(Text.data(), static_cast<std::int64_t>(Text.size()));
  FHeaderLength = static_cast<std::int64_t>(Text.size());
}

int TMBackup::ReadHeader(TMBackupHeader& Header, int& Blocks, bool& LastFile, std::int64_t Limit) {
  const std::int64_t Size = std::min({GetSize(), kMaxHeader, Limit});
  std::string Bytes(static_cast<std::size_t>(Size), '\0');
  SetPointer(0);
  Bytes.resize(static_cast<std::size_t>(DoRead(Bytes.data(), Size)));
  backup::THeaderFacts Facts;
  std::size_t Length = 0;
  const int Result = backup::ParseHeader(Bytes, Header, Facts, Length);
  Header.Validate();
  Blocks = Facts.Blocks;
  LastFile = Facts.LastFile;
  FStart = Facts.Start;
  FFinish = Facts.Finish;
  FHeaderLength = static_cast<std::int64_t>(Length);
  return Result;
}

void TMBackup::BeginBackup(TMBackupHeader& Header) {
  if (GetActive()) Raise(kSequenceError);
  Header.Validate();
  OpenFor(false);
  ClosingOnFailure([&] {
    FBlocks = 0;
    FHeaderLength = 0;
    AllocateBuffers(Header.BlockSize);
    FStart = TdtTools().Value;
    FFinish = 0;
    WriteHeader(Header, -1, true);
    DoSetEof();
    DoFlush();
  });
}

bool TMBackup::WriteBlock(const AnsiString& BlockName, TMCustomDataSet* DataSet) {
  if (!FWriting) Raise(kSequenceError);
  CheckActive(true);
  if (!DataSet || !DataSet->GetActive() || DataSet->GetEof()) return false;
  return ClosingOnFailure([&] {
    const std::size_t Room = static_cast<std::size_t>(FBlockSize);
    const int FieldCount = DataSet->GetFieldCount();
    std::vector<TMFieldType> Types;
    std::string Line;
    for (int I = 0;; ++I) {
      AnsiString Name;
      TMFieldType Type = mftString;
      if (I < FieldCount) {
        const TMField* Field = DataSet->GetFields()->GetFields(I);
        Name = Field->GetFieldName();
        Type = Field->GetDataType();
      }
      if (OnStoreFieldDefinition) OnStoreFieldDefinition(this, BlockName, Name, Type, I, DataSet);
      if (Trim(Name).empty()) break;
      if (I > 0) Line += backup::kSeparator;
      Line += backup::TypeLetter(Type);
      backup::AppendValue(Line, Name);
      Types.push_back(Type);
      // A handler that never ends the list runs out of room.
      if (Line.size() > 4 * Room) Raise(kNoPlaceForDefinitions);
    }
    Line += "\r\n";
    std::string Block;
    Block.reserve(Room + 1);
    platform::AppendAnsiToWin1250(Block, Line);
    if (Block.size() > Room) Raise(kNoPlaceForDefinitions);

    bool Stored = false;
    while (!DataSet->GetEof()) {
      bool Store = true;
      if (OnCanStoreRecord) OnCanStoreRecord(this, BlockName, Store, DataSet);
      if (Store) {
        Line.clear();
        for (int I = 0; I < static_cast<int>(Types.size()); ++I) {
          TMFieldType Type = Types[I];
          bool IsNull = true;
          int Integer = 0;
          double Float = 0;
          Extended Ext = 0;
          TDateTime DateTime = 0;
          AnsiString String;
          if (I < FieldCount) {
            const TMField* Field = DataSet->GetFields()->GetFields(I);
            IsNull = Field->GetIsNull();
            if (!IsNull) switch (Type) {
                case mftInteger: Integer = Field->GetAsInteger(); break;
                case mftFloat: Float = Field->GetAsFloat(); break;
                case mftExtended: Ext = Field->GetAsExtended(); break;
                case mftDateTime: DateTime = Field->GetAsDateTime(); break;
                default: String = Field->GetAsString(); break;
              }
          }
          if (OnStoreFieldValue)
            OnStoreFieldValue(this, BlockName, DateTime, Ext, Float, Integer, String, IsNull, Type, I, DataSet);
          if (I > 0) Line += backup::kSeparator;
          AppendStoredValue(Line, Type, IsNull, Integer, Float, Ext, DateTime, String);
        }
        Line += "\r\n";
        const std::size_t Before = Block.size();
        platform::AppendAnsiToWin1250(Block, Line);
        if (Block.size() > Room) {
          Block.resize(Before);
          if (Stored) break;  // the record begins the next block
          Raise(kNoPlaceForValues);
        }
        Stored = true;
      }
      DataSet->Next();
    }
    if (Stored) WriteCodedBlock(BlockName, Block);
    return Stored;
  });
}

void TMBackup::WriteCodedBlock(const AnsiString& Name, const std::string& Block) {
  std::string_view Coded = Block;
  if (OnCodeBlock) {
    FCoded.resize(static_cast<std::size_t>(FCodedSize) + 1);
    int OutSize = FCodedSize;
    OnCodeBlock(this, 1, static_cast<int>(Block.size()), Block.data(), OutSize, FCoded.data());
    if (OutSize < 0 || OutSize > FCodedSize) Raise(kBlockDataError);
    Coded = std::string_view(FCoded.data(), static_cast<std::size_t>(OutSize));
  }
  FEscaped.clear();
  backup::Escape(Coded, FEscaped);
  std::string Line(1, backup::kBlockMark);
  backup::AppendHex(Line, static_cast<std::uint32_t>(FBlocks), 8);
  backup::AppendHex(Line, static_cast<std::uint32_t>(FEscaped.size()), 8);
  backup::AppendHex(Line, backup::XorOf(Coded), 2);
  Line += backup::BlockName(Name);
  backup::AppendHex(Line, backup::XorOf(Line), 2);
  Line += "\r\n";
  DoWrite(Line.data(), static_cast<std::int64_t>(Line.size()));
  for (std::size_t Pos = 0; Pos < FEscaped.size(); Pos += kPiece) {
    const std::size_t Count = std::min<std::size_t>(kPiece, FEscaped.size() - Pos);
    DoWrite(FEscaped.data() + Pos, static_cast<std::int64_t>(Count));
  }
  ++FBlocks;
  DoFlush();
}

bool TMBackup::CanWriteMoreBlocks(std::int64_t Limit) {
  return GetSize() + 2 * static_cast<std::int64_t>(FCodedSize) < Limit;
}

void TMBackup::EndBackup(int& Blocks, TDateTime& Duration, bool LastFile) {
  if (!FWriting) Raise(kSequenceError);
  ClosingOnFailure([&] {
    const std::int64_t Length = FHeaderLength;
    TMBackupHeader Header;
    int Ignored = 0;
    bool WasLast = true;
    if (ReadHeader(Header, Ignored, WasLast, Length) != 2 || FHeaderLength != Length) Raise(kUnknownFormat);
    FFinish = TdtTools().Value;
    Duration = FFinish - FStart;
    WriteHeader(Header, FBlocks, LastFile);
    Blocks = FBlocks;
    FWriting = false;
    TMCustomFile::SetActive(false);
  });
}

int TMBackup::BeginRestore(TMBackupHeader& Header, int& Blocks, bool& LastFile) {
  if (GetActive()) Raise(kSequenceError);
  Header.Reset();
  // The backup's date comes from the file; a header without it has none, not the time of
  // reading.
  Header.CurrentBackup = 0;
  Blocks = -1;
  LastFile = true;
  FStart = FFinish = 0;
  OpenFor(true);
  return ClosingOnFailure([&] {
    const std::string Expected = std::string(Magic) + "\r\n";
    std::string First(Expected.size(), '\0');
    if (DoRead(First.data(), static_cast<std::int64_t>(First.size())) != static_cast<std::int64_t>(First.size()) ||
        First != Expected)
      Raise(kUnknownFormat);
    const int Result = ReadHeader(Header, Blocks, LastFile, kMaxHeader);
    AllocateBuffers(Header.BlockSize);
    // The blocks begin at the first 0x01 after the header.
    FFirstBlock = FindBlockMark(FHeaderLength ? FHeaderLength : static_cast<std::int64_t>(Expected.size()));
    SetPointer(FFirstBlock);
    return Result;
  });
}

void TMBackup::EndRestore() { SetActive(false); }

std::int64_t TMBackup::FindBlockMark(std::int64_t From) {
  std::int64_t Position = From;
  SetPointer(Position);
  char Piece[kPiece];
  for (;;) {
    const std::int64_t Got = DoRead(Piece, kPiece);
    const char* Mark = std::find(Piece, Piece + Got, backup::kBlockMark);
    if (Mark != Piece + Got) return Position + (Mark - Piece);
    Position += Got;
    if (Got < kPiece) return Position;
  }
}

bool TMBackup::ReadBlockHeader(TMBackupBlockHeader& Block) {
  if (!FReading) Raise(kSequenceError);
  const std::int64_t Offset = GetPointer();
  char Bytes[kBlockLineFixed + kMaxBlockName + 2];
  const std::int64_t Got = DoRead(Bytes, sizeof Bytes);
  if (Got == 0) return false;
  const std::string_view Text(Bytes, static_cast<std::size_t>(Got));
  const std::size_t End = Text.find("\r\n");
  if (Text[0] != backup::kBlockMark || End == std::string_view::npos || End < kBlockLineFixed)
    Raise(kBlockHeaderError);
  const std::string_view Line = Text.substr(0, End);
  const auto LineSum = backup::ParseHex(Line.substr(End - 2));
  const auto Number = backup::ParseHex(Line.substr(1, 8));
  const auto Length = backup::ParseHex(Line.substr(9, 8));
  const auto DataSum = backup::ParseHex(Line.substr(17, 2));
  if (!LineSum || *LineSum != backup::XorOf(Line.substr(0, End - 2)) || !Number || !Length || !DataSum ||
      *Number > static_cast<std::uint32_t>(INT_MAX))
    Raise(kBlockHeaderError);
  const std::string_view Name = Line.substr(19, End - kBlockLineFixed);
  if (!std::all_of(Name.begin(), Name.end(), IsNameChar)) Raise(kBlockHeaderError);
  // Escaping at most doubles the coded bytes; a longer block cannot be one of this file.
  if (*Length > 2 * static_cast<std::uint32_t>(FCodedSize)) Raise(kBlockHeaderError);
  Block.Number = static_cast<int>(*Number);
  Block.EscapedLength = *Length;
  Block.Checksum = static_cast<std::uint8_t>(*DataSum);
  Block.Name = AnsiString(Name);
  Block.Offset = Offset;
  Block.DataOffset = Offset + static_cast<std::int64_t>(End) + 2;
  SetPointer(Block.DataOffset);
  return true;
}

void TMBackup::ReadBlockData(const TMBackupBlockHeader& Block, std::string& Content) {
  if (!FReading) Raise(kSequenceError);
  SetPointer(Block.DataOffset);
  FEscaped.resize(Block.EscapedLength);
  if (DoRead(FEscaped.data(), Block.EscapedLength) != static_cast<std::int64_t>(Block.EscapedLength))
    Raise(kBlockDataError);
  FCoded.clear();
  if (!backup::Unescape(FEscaped, FCoded) || FCoded.size() > static_cast<std::size_t>(FCodedSize) ||
      backup::XorOf(FCoded) != Block.Checksum)
    Raise(kBlockDataError);
  if (!OnCodeBlock) {
    if (FCoded.size() > static_cast<std::size_t>(FBlockSize)) Raise(kBlockDataError);
    Content.swap(FCoded);  // FCoded is refilled from empty by the next block
    return;
  }
  Content.resize(static_cast<std::size_t>(FBlockSize) + 1);
  int OutSize = FBlockSize;
  try {
    OnCodeBlock(this, 2, static_cast<int>(FCoded.size()), FCoded.data(), OutSize, Content.data());
  } catch (const EMDataError& E) {
    if (E.Code == kBlockUnreadable) throw;
    Raise(kBlockUnreadable, &E);
  } catch (const Exception& E) {
    Raise(kBlockUnreadable, &E);
  }
  if (OutSize < 0 || OutSize > FBlockSize) Raise(kBlockUnreadable);
  Content.resize(static_cast<std::size_t>(OutSize));
}

}  // namespace vandrel
