// The backup archive against CSV written and read with the standard library: 10^6 records of
// five fields (text, integer, float, extended, date-time), written to a file and read back.
// The archive goes from an in-memory dataset to the file and back into a new one; CSV from a
// vector of rows to the file and back into a vector. Figures: MB/s of each side's own file,
// wall-clock and CPU time, and the ratios archive / CSV, best of the rounds.
// The archive flushes every block to the disk (fsync), as its format asks, so it is compared
// with plain CSV and with CSV that is synced to the disk as often (after every block size of
// output); both the default block size and the largest are measured.
// Reading the archive back fills a dataset, which the CSV baseline does not; so its reading is
// also compared with CSV read and then filled into a dataset the same way.
// "archive_bench write|read BLOCKSIZE" runs only that side of the archive, for a profiler.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
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
constexpr int Rounds = 3;

struct Row {
  std::string S;
  int I;
  double F;
  long double X;
  double D;
};

double CpuNow() {
  timespec T{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
  return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) / 1e9;
}

// Wall-clock and CPU seconds of one run; Best keeps the smaller of each.
struct Took {
  double Wall = 1e9, Cpu = 1e9;
  void Best(const Took& Run) {
    Wall = std::min(Wall, Run.Wall);
    Cpu = std::min(Cpu, Run.Cpu);
  }
};

template <class Body>
Took Measure(Body Run) {
  const auto Start = Clock::now();
  const double Cpu = CpuNow();
  Run();
  return {std::chrono::duration<double>(Clock::now() - Start).count(), CpuNow() - Cpu};
}

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

// SyncEvery > 0: the output is flushed and synced to the disk whenever that many bytes were
// written since the last sync, and at the end.
void WriteCsv(const std::string& Path, const std::vector<Row>& Rows, long SyncEvery = 0) {
  std::FILE* Out = std::fopen(Path.c_str(), "wb");
  if (!Out) std::exit(1);
  std::string Line;
  long Unsynced = 0;
  auto Sync = [&] {
    std::fflush(Out);
    fsync(fileno(Out));
    Unsynced = 0;
  };
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
    std::fwrite(Line.data(), 1, Line.size(), Out);
    Unsynced += static_cast<long>(Line.size());
    if (SyncEvery > 0 && Unsynced >= SyncEvery) Sync();
  }
  if (SyncEvery > 0) Sync();
  std::fclose(Out);
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

void Print(const char* Name, double MB, const Took& Write, const Took& Read, const Took* Base) {
  std::printf("%-34s %5.1f MB  write %6.3f s wall %6.3f s cpu (%4.0f MB/s)  read %6.3f s wall %6.3f s cpu (%4.0f MB/s)",
              Name, MB, Write.Wall, Write.Cpu, MB / Write.Wall, Read.Wall, Read.Cpu, MB / Read.Wall);
  if (Base)
    std::printf("  ratio write %.2fx (cpu %.2fx), read %.2fx (cpu %.2fx)", Write.Wall / Base->Wall,
                Write.Cpu / Base->Cpu, Read.Wall / Base[1].Wall, Read.Cpu / Base[1].Cpu);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int Argc, char** Argv) {
  const std::string Dir = std::filesystem::temp_directory_path() / ("vandrel-archive-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(Dir);
  const std::vector<Row> Rows = MakeRows();
  TMDataSet DS;
  FillDataSet(DS, Rows);
  const std::string Csv = Dir + "/rows.csv", Archive = Dir + "/rows.bak";

  if (Argc == 3) {
    const std::string Side = Argv[1];
    const int BlockSize = std::atoi(Argv[2]);
    for (int Round = 0; Round < 3; ++Round) {
      if (Side == "write" || Round == 0) {
        const Took Write = Measure([&] { WriteArchive(Archive, DS, BlockSize); });
        std::printf("write %.3f s wall %.3f s cpu\n", Write.Wall, Write.Cpu);
      }
      if (Side != "read") continue;
      const Took Read = Measure([&] {
        if (ReadArchive(Archive) != Records) std::exit(1);
      });
      std::printf("read %.3f s wall %.3f s cpu\n", Read.Wall, Read.Cpu);
    }
    std::filesystem::remove_all(Dir);
    return 0;
  }

  // Base[0] write, Base[1] read: of plain CSV, and of CSV synced per block size.
  auto MeasureCsv = [&](long SyncEvery, Took* Base) {
    for (int Round = 0; Round < Rounds; ++Round) {
      std::filesystem::remove(Csv);
      Base[0].Best(Measure([&] { WriteCsv(Csv, Rows, SyncEvery); }));
      Base[1].Best(Measure([&] {
        if (ReadCsv(Csv).size() != Rows.size()) std::exit(1);
      }));
    }
    return std::filesystem::file_size(Csv) / 1e6;
  };
  // One round unmeasured first: the process's first large allocations pay for their pages,
  // which made whichever figure came first the slowest.
  {
    Took Ignored[2];
    MeasureCsv(0, Ignored);
    TMDataSet Filled;
    FillDataSet(Filled, ReadCsv(Csv));
  }
  Took Plain[2];
  const double CsvMB = MeasureCsv(0, Plain);
  Print("CSV (standard library)", CsvMB, Plain[0], Plain[1], nullptr);
  // Reading the archive fills a dataset; so does this CSV reading, after the standard library's.
  Took IntoDataSet;
  for (int Round = 0; Round < Rounds; ++Round)
    IntoDataSet.Best(Measure([&] {
      TMDataSet Filled;
      FillDataSet(Filled, ReadCsv(Csv));
    }));
  std::printf("CSV read into a dataset (and freed): %.3f s wall %.3f s cpu\n", IntoDataSet.Wall, IntoDataSet.Cpu);

  for (int BlockSize : {16384, 1048576}) {
    Took Synced[2];
    MeasureCsv(BlockSize, Synced);
    Took Write, Read;
    for (int Round = 0; Round < Rounds; ++Round) {
      std::filesystem::remove(Archive);
      Write.Best(Measure([&] { WriteArchive(Archive, DS, BlockSize); }));
      Read.Best(Measure([&] {
        if (ReadArchive(Archive) != Records) std::exit(1);
      }));
    }
    const double MB = std::filesystem::file_size(Archive) / 1e6;
    char Name[64];
    std::snprintf(Name, sizeof Name, "CSV synced every %d bytes", BlockSize);
    Print(Name, CsvMB, Synced[0], Synced[1], Plain);
    std::snprintf(Name, sizeof Name, "archive, blocks of %d vs CSV", BlockSize);
    Print(Name, MB, Write, Read, Plain);
    std::snprintf(Name, sizeof Name, "archive, blocks of %d vs synced", BlockSize);
    Print(Name, MB, Write, Read, Synced);
    std::printf("  its reading against CSV read into a dataset: %.2fx (cpu %.2fx)\n", Read.Wall / IntoDataSet.Wall,
                Read.Cpu / IntoDataSet.Cpu);
  }
  std::filesystem::remove_all(Dir);
  return 0;
}
