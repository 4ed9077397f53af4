#include "data/backup/HeaderText.h"

#include "data/backup/Backup.h"
#include "data/backup/BlockCodec.h"
#include "foundation/TdtTools.h"
#include "platform/base/OemCodePage.h"

namespace vandrel::backup {

namespace {

constexpr std::string_view kUnfinished = "<UNFINISHED FILE>";
constexpr std::string_view kBlocks = "Blocks: ";
constexpr std::string_view kChecksum = "Checksum: ";

// The header's texts with their labels, in the order of the file.
struct TTextLine {
  const char* Label;
  AnsiString TMBackupHeader::*Member;
};
constexpr TTextLine kTexts[] = {
    {"Encryption method: ", &TMBackupHeader::EncryptionMethod},
    {"Program name: ", &TMBackupHeader::ProgramName},
    {"Program version: ", &TMBackupHeader::ProgramVersion},
    {"Database ID: ", &TMBackupHeader::DatabaseID},
    {"Backup type: ", &TMBackupHeader::BackupType},
    {"User: ", &TMBackupHeader::User},
    {"Station: ", &TMBackupHeader::Station},
    {"Comment: ", &TMBackupHeader::Comment},
};

AnsiString Stamp(TDateTime Value) { return TdtTools(Value).ToString(fmtDateTimeCompressed); }

// The stamp's value, or Default when the text is none.
TDateTime StampValue(std::string_view Text, TDateTime Default) {
  try {
    return TdtTools().FromString(AnsiString(Text), fmtDateTimeCompressed).Value;
  } catch (const Exception&) {
    return Default;
  }
}

AnsiString ParamLabel(int Index) { return "Param" + std::to_string(Index + 1) + ": "; }

bool Take(std::string_view Line, std::string_view Label, std::string_view& Rest) {
  if (!Line.starts_with(Label)) return false;
  Rest = Line.substr(Label.size());
  return true;
}

}  // namespace

std::string ComposeHeader(const TMBackupHeader& Header, const THeaderFacts& Facts) {
  std::string Text;
  std::uint8_t Sum = 0;
  auto Line = [&](const std::string& Bytes) {
    Sum = XorOf(Bytes, Sum);
    Text += Bytes;
    Text += "\r\n";
  };
  Line(TMBackup::Magic);
  if (Facts.Blocks < 0) {
    Line(std::string(kUnfinished));
  } else {
    std::string Count = std::to_string(Facts.Blocks);
    Line(std::string(kBlocks) + std::string(Count.size() < 9 ? 9 - Count.size() : 0, '0') + Count);
  }
  Line("File index: " + std::to_string(Header.FileIndex));
  Line(Facts.LastFile ? "Last file: Y" : "Last file: N");
  Line("Block size: " + std::to_string(Header.BlockSize));
  Line("Start: " + Stamp(Facts.Start));
  Line("Finish: " + Stamp(Facts.Finish));
  Line("Current backup: " + Stamp(Header.CurrentBackup));
  Line(Header.Incremental ? "Incremental: Y" : "Incremental: N");
  Line("Previous backup: " + Stamp(Header.PreviousBackup));
  for (const TTextLine& T : kTexts) Line(T.Label + platform::AnsiToWin1250(Header.*T.Member));
  for (int I = 0; I < TMBackupHeader::ParamCount; ++I)
    if (!Header.Params[I].empty()) Line(ParamLabel(I) + platform::AnsiToWin1250(Header.Params[I]));
  std::string Check(kChecksum);
  AppendHex(Check, Sum, 2);
  Text += Check + "\r\n";
  return Text;
}

int ParseHeader(std::string_view Bytes, TMBackupHeader& Header, THeaderFacts& Facts, std::size_t& Length) {
  Length = 0;
  std::uint8_t Sum = 0;
  for (std::size_t Pos = 0; Pos < Bytes.size();) {
    const std::size_t End = Bytes.find("\r\n", Pos);
    if (End == std::string_view::npos) break;
    const std::string_view Line = Bytes.substr(Pos, End - Pos);
    Pos = End + 2;
    std::string_view Rest;
    if (Take(Line, kChecksum, Rest)) {
      const auto Stored = Rest.size() == 2 ? ParseHex(Rest) : std::nullopt;
      Length = Pos;
      if (!Stored || *Stored != Sum) return 1;
      return Facts.Blocks < 0 ? 2 : 0;
    }
    Sum = XorOf(Line, Sum);
    if (Take(Line, kBlocks, Rest)) {
      if (auto Count = ParseInteger(Rest); Count && *Count >= 0) Facts.Blocks = *Count;
    } else if (Take(Line, "File index: ", Rest)) {
      if (auto Index = ParseInteger(Rest)) Header.FileIndex = *Index;
    } else if (Take(Line, "Last file: ", Rest)) {
      Facts.LastFile = Rest != "N";
    } else if (Take(Line, "Block size: ", Rest)) {
      if (auto Size = ParseInteger(Rest)) Header.BlockSize = *Size;
    } else if (Take(Line, "Start: ", Rest)) {
      Facts.Start = StampValue(Rest, Facts.Start);
    } else if (Take(Line, "Finish: ", Rest)) {
      Facts.Finish = StampValue(Rest, Facts.Finish);
    } else if (Take(Line, "Current backup: ", Rest)) {
      Header.CurrentBackup = StampValue(Rest, Header.CurrentBackup);
    } else if (Take(Line, "Incremental: ", Rest)) {
      Header.Incremental = Rest == "Y";
    } else if (Take(Line, "Previous backup: ", Rest)) {
      Header.PreviousBackup = StampValue(Rest, Header.PreviousBackup);
    } else {
      bool Known = false;
      for (const TTextLine& T : kTexts)
        if (!Known && Take(Line, T.Label, Rest)) {
          Header.*T.Member = platform::Win1250ToAnsi(Rest);
          Known = true;
        }
      for (int I = 0; I < TMBackupHeader::ParamCount && !Known; ++I)
        if (Take(Line, ParamLabel(I), Rest)) {
          Header.Params[I] = platform::Win1250ToAnsi(Rest);
          Known = true;
        }
    }
  }
  return 1;
}

}  // namespace vandrel::backup
