// vandrel-archive: looks into backup archives for people who receive them.
//   list FILE          the header, then every block with its name and record count
//   verify FILE        reads every block and checks every checksum; exit 0 when whole
//   dump FILE BLOCK    the records of every block of that name as CSV (UTF-8)
// Exit status: 0 success, 1 a damaged or unreadable file, 2 wrong use.
#include <cstdio>
#include <iostream>
#include <string>

#include "data/DataError.h"
#include "data/backup/Backup.h"
#include "data/backup/BackupReader.h"
#include "foundation/TdtTools.h"

namespace {

using namespace vandrel;

constexpr int kWhole = 0;
constexpr int kDamaged = 1;
constexpr int kUsage = 2;

int Usage() {
  std::cerr << "Użycie: vandrel-archive list PLIK | verify PLIK | dump PLIK BLOK\n";
  return kUsage;
}

// A date of the header; a date the file does not give (0) is shown as such.
AnsiString Stamp(TDateTime Value) {
  if (Value == 0) return "brak";
  try {
    return TdtTools(Value).ToString(fmtDateTimeCompressed);
  } catch (const Exception&) {
    return "?";
  }
}

const char* RestoreText(int Result) {
  switch (Result) {
    case 0: return "nagłówek poprawny";
    case 1: return "błędna suma kontrolna nagłówka";
    default: return "plik niedokończony";
  }
}

// A CSV field: empty for null, quoted when it holds a comma, a quote or a line end (an
// empty text is "" so that it differs from null).
std::string CsvField(const TMBackupBlockContent& Content, int Record, int Field) {
  if (Content.IsNull(Record, Field)) return {};
  const std::string_view Value = Content.Value(Record, Field);
  if (!Value.empty() && Value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(Value);
  std::string Quoted = "\"";
  for (char C : Value) Quoted += C == '"' ? std::string("\"\"") : std::string(1, C);
  return Quoted + "\"";
}

struct TOpened {
  TMBackup Backup;
  TMBackupHeader Header;
  int Blocks = -1;
  bool Last = true;
  int Result = 0;
};

void Open(TOpened& File, const char* Path) {
  File.Backup.SetPath(Path);
  File.Result = File.Backup.BeginRestore(File.Header, File.Blocks, File.Last);
}

// What makes an indexed file incomplete: a damaged or unfinished header, or fewer or more
// blocks than its header counts; empty for a whole file.
std::string Incomplete(const TOpened& File, const TMBackupReader& Reader) {
  if (File.Result != 0) return std::string("Nagłówek: ") + RestoreText(File.Result);
  if (File.Blocks != Reader.GetBlockCount())
    return "Nagłówek podaje " + std::to_string(File.Blocks) + " bloków, w pliku jest " +
           std::to_string(Reader.GetBlockCount());
  return {};
}

int List(const char* Path) {
  TOpened File;
  Open(File, Path);
  const TMBackupHeader& H = File.Header;
  std::cout << "Plik: " << Path << " (" << RestoreText(File.Result) << ")\n"
            << "Bloki w nagłówku: " << File.Blocks << "\n"
            << "Numer pliku: " << H.FileIndex << (File.Last ? " (ostatni)" : " (nie ostatni)") << "\n"
            << "Rozmiar bloku: " << H.BlockSize << "\n"
            << "Początek: " << Stamp(File.Backup.GetStart()) << "\n"
            << "Koniec: " << Stamp(File.Backup.GetFinish()) << "\n"
            << "Kopia: " << Stamp(H.CurrentBackup) << (H.Incremental ? " przyrostowa od " + Stamp(H.PreviousBackup) : "")
            << "\n";
  const std::pair<const char*, const AnsiString*> Texts[] = {
      {"Szyfrowanie", &H.EncryptionMethod}, {"Program", &H.ProgramName}, {"Wersja", &H.ProgramVersion},
      {"Baza", &H.DatabaseID}, {"Rodzaj", &H.BackupType}, {"Użytkownik", &H.User},
      {"Stanowisko", &H.Station}, {"Komentarz", &H.Comment}};
  for (const auto& [Label, Text] : Texts)
    if (!Text->empty()) std::cout << Label << ": " << *Text << "\n";
  TMBackupReader Reader(File.Backup);
  Reader.BuildIndex();
  TMBackupBlockContent Content;
  for (int I = 0; I < Reader.GetBlockCount(); ++I) {
    Reader.ReadContent(I, Content);
    std::cout << "Blok " << I << ": " << Reader.GetBlock(I).Name << ", rekordów: " << Content.RecordCount
              << ", pól: " << Content.Fields.size() << "\n";
  }
  const std::string Missing = Incomplete(File, Reader);
  if (Missing.empty()) return kWhole;
  std::cout << Missing << "\nPlik jest uszkodzony\n";
  return kDamaged;
}

// One line per damaged block, then the verdict; every block is read, damaged or not.
int Verify(const char* Path) {
  TOpened File;
  Open(File, Path);
  TMBackupReader Reader(File.Backup);
  const TMBackupSurvey Survey = Reader.Survey();
  for (const TMBlockDamage& D : Survey.Damage) {
    std::cout << "Uszkodzenie w bajcie " << D.Offset << ": ";
    if (D.Number < 0)
      std::cout << "nieczytelny nagłówek bloku";
    else if (D.Code == 1305)
      std::cout << "blok " << D.Number << " (" << D.Name << ") zamiast bloku " << D.ExpectedNumber;
    else
      std::cout << "blok " << D.Number << " (" << D.Name << ")";
    std::cout << ": " << D.Message << (D.Description.empty() ? "" : " (" + D.Description + ")") << "\n";
  }
  bool Whole = File.Result == 0 && Survey.Damage.empty();
  if (File.Result != 0) std::cout << "Nagłówek: " << RestoreText(File.Result) << "\n";
  if (File.Result == 0 && File.Blocks != Survey.LastNumber + 1) {
    std::cout << "Nagłówek podaje " << File.Blocks << " bloków, w pliku jest " << Survey.LastNumber + 1 << "\n";
    Whole = false;
  }
  std::cout << (Whole ? "Plik jest cały" : "Plik jest uszkodzony") << ": bloków " << Survey.WholeBlocks
            << (Whole ? "" : " całych") << ", rekordów " << Survey.Records << "\n";
  return Whole ? kWhole : kDamaged;
}

int Dump(const char* Path, const char* Block) {
  TOpened File;
  Open(File, Path);
  TMBackupReader Reader(File.Backup);
  Reader.BuildIndex();
  const std::vector<int> Blocks = Reader.FindBlocks(Block);
  if (Blocks.empty()) {
    std::cerr << "Brak bloku \"" << Block << "\"\n";
    return kDamaged;
  }
  TMBackupBlockContent Content;
  for (std::size_t B = 0; B < Blocks.size(); ++B) {
    Reader.ReadContent(Blocks[B], Content);
    const int Fields = static_cast<int>(Content.Fields.size());
    if (B == 0) {
      for (int F = 0; F < Fields; ++F) std::cout << (F ? "," : "") << Content.Fields[F].Name;
      std::cout << "\r\n";
    }
    for (int R = 0; R < Content.RecordCount; ++R) {
      for (int F = 0; F < Fields; ++F) std::cout << (F ? "," : "") << CsvField(Content, R, F);
      std::cout << "\r\n";
    }
  }
  // The records read are written; an incomplete file is still reported by the exit status.
  const std::string Missing = Incomplete(File, Reader);
  if (Missing.empty()) return kWhole;
  std::cout.flush();
  std::cerr << Missing << "\n";
  return kDamaged;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::string Command = argc > 1 ? argv[1] : "";
  try {
    if (Command == "list" && argc == 3) return List(argv[2]);
    if (Command == "verify" && argc == 3) return Verify(argv[2]);
    if (Command == "dump" && argc == 4) return Dump(argv[2], argv[3]);
  } catch (const EMException& E) {
    std::cout.flush();
    std::cerr << E.Message << "\n" << E.GetDescription() << "\n";
    for (int I = 1; I < E.GetTopicCount(); ++I) std::cerr << E.GetTopics(I)->Message << "\n";
    if (Command == "verify") std::cout << "Plik jest uszkodzony\n";
    return kDamaged;
  }
  return Usage();
}
