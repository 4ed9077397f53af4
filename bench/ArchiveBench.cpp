// The backup archive against CSV written and read with the standard library: 10^6 records of
// five fields (text, integer, float, extended, date-time), written to a file and read back.
// The archive goes from an in-memory dataset to the file and back into a new one; CSV from a
// vector of rows to the file and back into a vector. Figures: MB/s of each side's own file
// and the time ratio archive / CSV, best of the rounds. Every archive block is flushed to the
// disk (the archive's rule), so the block size matters; both the default and the largest are
// measured.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/DataSet.h"
#include "data/backup/Backup.h"
#include "data/backup/BackupReader.h"
#include "foundation/TdtTools.h"

namespace {

using namespace vandrel;
using Clock = std::chrono::steady_clock;

constexpr int Records = 1000000;
constexpr int Rounds = 2;

struct Row {
  std::string S;
  int I;
  double F;
  long double X;
  double D;
};

double Seconds(Clock::time_point Start) { return std::chrono::duration<double>(Clock::now() - Start).count(); }

std::vector<Row> MakeRows() {
  std::vector<Row> Rows(Records);
  for (int I = 0; I < Records; ++I) {
    Rows[I].S = "Towar nr " + std::to_string(I) + " łódź";
    Rows[I].I = I * 37 - 5000000;
    Rows[I].F = I * 0.25 + 0.5;
    Rows[I].X = static_cast<long double>(I) / 8.0L;
    Rows[I].D = TdtTools().FromString(TdtTools(45000.0 + I / 1440.0).ToString(fmtDateTimeCompressed),
                                      fmtDateTimeCompressed).Value;
  }
  return Rows;
}

void FillDataSet(TMDataSet& DS, const std::vector<Row>& Rows) {
  const std::pair<const char*, TMFieldType> Fields[] = {
      {"S", mftString}, {"I", mftInteger}, {"F", mftFloat}, {"X", mftExtended}, {"D", mftDateTime}};
  for (const auto& [Name, Type] : Fields) {
    TMField* F = DS.GetFields()->Add();
    F->SetName(Name);
    F->SetType(Type);
  }
  DS.Open();
  auto* F = DS.GetFields();
  for (const Row& R : Rows) {
    DS.Append();
    F->GetFields(0)->SetAsString(R.S);
    F->GetFields(1)->SetAsInteger(R.I);
    F->GetFields(2)->SetAsFloat(R.F);
    F->GetFields(3)->SetAsExtended(R.X);
    F->GetFields(4)->SetAsDateTime(R.D);
  }
}

template <class T>
void AppendNumber(std::string& Line, T Value) {
  char Text[64];
  Line.append(Text, std::to_chars(Text, Text + sizeof Text, Value).ptr);
}

void WriteCsv(const std::string& Path, const std::vector<Row>& Rows) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  std::string Line;
  for (const Row& R : Rows) {
    Line.clear();
    Line += '"';
    Line += R.S;
    Line += "\",";
    AppendNumber(Line, R.I);
    Line += ',';
    AppendNumber(Line, R.F);
    Line += ',';
    AppendNumber(Line, R.X);
    Line += ',';
    AppendNumber(Line, R.D);
    Line += "\r\n";
    Out.write(Line.data(), static_cast<std::streamsize>(Line.size()));
  }
}

std::vector<Row> ReadCsv(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::vector<Row> Rows;
  Rows.reserve(Records);
  std::string Line;
  while (std::getline(In, Line)) {
    Row R;
    const char* P = Line.data() + 1;
    const char* End = Line.data() + Line.size();
    const char* Quote = std::find(P, End, '"');
    R.S.assign(P, Quote);
    P = Quote + 2;
    P = std::from_chars(P, End, R.I).ptr + 1;
    P = std::from_chars(P, End, R.F).ptr + 1;
    P = std::from_chars(P, End, R.X).ptr + 1;
    std::from_chars(P, End, R.D);
    Rows.push_back(std::move(R));
  }
  return Rows;
}

void WriteArchive(const std::string& Path, TMDataSet& DS, int BlockSize) {
  TMBackup Backup;
  Backup.SetPath(Path);
  TMBackupHeader Header;
  Header.BlockSize = BlockSize;
  Backup.BeginBackup(Header);
  DS.First();
  while (Backup.WriteBlock("Towary", &DS)) {
  }
  int Blocks;
  TDateTime Duration;
  Backup.EndBackup(Blocks, Duration, true);
}

int ReadArchive(const std::string& Path) {
  TMBackup Backup;
  Backup.SetPath(Path);
  TMBackupHeader Header;
  int Blocks;
  bool Last;
  Backup.BeginRestore(Header, Blocks, Last);
  TMBackupReader Reader(Backup);
  Reader.BuildIndex();
  TMDataSet Target;
  return Reader.LoadBlocks("Towary", Target);
}

}  // namespace

int main() {
  const std::string Dir = std::filesystem::temp_directory_path() / ("vandrel-archive-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(Dir);
  const std::vector<Row> Rows = MakeRows();
  TMDataSet DS;
  FillDataSet(DS, Rows);
  const std::string Csv = Dir + "/rows.csv", Archive = Dir + "/rows.bak";

  double CsvWrite = 1e9, CsvRead = 1e9;
  for (int Round = 0; Round < Rounds; ++Round) {
    std::filesystem::remove(Csv);
    auto Start = Clock::now();
    WriteCsv(Csv, Rows);
    CsvWrite = std::min(CsvWrite, Seconds(Start));
    Start = Clock::now();
    if (ReadCsv(Csv).size() != Rows.size()) return 1;
    CsvRead = std::min(CsvRead, Seconds(Start));
  }
  const double CsvMB = std::filesystem::file_size(Csv) / 1e6;
  std::printf("CSV (standard library): %.1f MB, write %.3f s (%.0f MB/s), read %.3f s (%.0f MB/s)\n", CsvMB,
              CsvWrite, CsvMB / CsvWrite, CsvRead, CsvMB / CsvRead);

  for (int BlockSize : {16384, 1048576}) {
    double Write = 1e9, Read = 1e9;
    for (int Round = 0; Round < Rounds; ++Round) {
      std::filesystem::remove(Archive);
      auto Start = Clock::now();
      WriteArchive(Archive, DS, BlockSize);
      Write = std::min(Write, Seconds(Start));
      Start = Clock::now();
      if (ReadArchive(Archive) != Records) return 1;
      Read = std::min(Read, Seconds(Start));
    }
    const double MB = std::filesystem::file_size(Archive) / 1e6;
    std::printf("archive, blocks of %7d: %.1f MB, write %.3f s (%.0f MB/s, %.2fx CSV), read %.3f s (%.0f MB/s, %.2fx CSV)\n",
                BlockSize, MB, Write, MB / Write, Write / CsvWrite, Read, MB / Read, Read / CsvRead);
  }
  std::filesystem::remove_all(Dir);
  return 0;
}
