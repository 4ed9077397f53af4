#pragma once
// Shared pieces of the backup archive's tests: a temporary folder, datasets of every field
// type, a zlib coding hook, and record texts that tell every value apart exactly.
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/DataError.h"
#include "data/DataSet.h"
#include "data/backup/Backup.h"
#include "data/backup/BackupReader.h"
#include "foundation/TdtTools.h"

namespace vandrel::test {

// The sanitizer build runs fewer records and mutations, so that CI stays fast; the normal
// build runs the full numbers.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kManyRecords = 20000;
inline constexpr int kMutationRounds = 600;
#else
inline constexpr int kManyRecords = 100000;
inline constexpr int kMutationRounds = 1500;
#endif

class BackupFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() /
          ("vandrel-backup-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  AnsiString PathOf(const std::string& Name) const { return (Dir / Name).string(); }

  std::filesystem::path Dir;
};

inline std::string Bytes(const AnsiString& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

inline void Put(const AnsiString& Path, const std::string& Content) {
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << Content;
}

inline TMField* AddField(TMDataSet& DS, const char* Name, TMFieldType Type) {
  TMField* Field = DS.GetFields()->Add();
  Field->SetName(Name);
  Field->SetType(Type);
  return Field;
}

// Fields S, I, F, X, D, open and empty.
inline void OpenFiveFields(TMDataSet& DS) {
  AddField(DS, "S", mftString);
  AddField(DS, "I", mftInteger);
  AddField(DS, "F", mftFloat);
  AddField(DS, "X", mftExtended);
  AddField(DS, "D", mftDateTime);
  DS.Open();
}

// A date-time as the stored form holds it: to the millisecond.
inline TDateTime Stamped(TDateTime Value) {
  return TdtTools().FromString(TdtTools(Value).ToString(fmtDateTimeCompressed), fmtDateTimeCompressed).Value;
}

// Record Index of a reproducible set: every type, some nulls, control bytes, Polish letters.
inline void FillRecord(TMDataSet& DS, int Index) {
  auto* F = DS.GetFields();
  if (Index % 7 == 3)
    F->GetFields(0)->SetNull();
  else
    F->GetFields(0)->SetAsString("zażółć " + std::to_string(Index) +
                                 (Index % 5 == 0 ? std::string("\r\n\t\x01\x02\x03\x04\x05\x0F|", 11) : ""));
  if (Index % 11 != 5) F->GetFields(1)->SetAsInteger(Index * 7919 - 1000000);
  if (Index % 13 != 6) F->GetFields(2)->SetAsFloat(Index / 3.0 - 1e-7);
  if (Index % 17 != 8) F->GetFields(3)->SetAsExtended(static_cast<Extended>(Index) / 7.0L);
  if (Index % 19 != 9) F->GetFields(4)->SetAsDateTime(Stamped(45000.0 + Index / 997.0));
}

inline void AppendRecords(TMDataSet& DS, int Count) {
  for (int I = 0; I < Count; ++I) {
    DS.Append();
    FillRecord(DS, I);
  }
}

// Writes every dataset as blocks of its name into one finished file; the block count.
inline int WriteBackup(TMBackup& Backup, const AnsiString& Path,
                       const std::vector<std::pair<AnsiString, TMDataSet*>>& Sets, int BlockSize = 16384) {
  Backup.SetPath(Path);
  TMBackupHeader Header;
  Header.BlockSize = BlockSize;
  Header.Comment = "kopia sklepu";
  Backup.BeginBackup(Header);
  for (auto& [Name, DS] : Sets) {
    DS->First();
    while (Backup.WriteBlock(Name, DS)) {
    }
  }
  int Blocks = 0;
  TDateTime Duration = 0;
  Backup.EndBackup(Blocks, Duration, true);
  return Blocks;
}

// A restore of the backup's file (its path set) with the block index built.
struct TRestore {
  explicit TRestore(TMBackup& Backup) : Reader(Backup) {
    Result = Backup.BeginRestore(Header, Blocks, Last);
    Reader.BuildIndex();
  }
  TMBackupHeader Header;
  int Blocks = -1;
  bool Last = false;
  int Result = -1;
  TMBackupReader Reader;
};

// zlib as the coding hook: Mode 0 announces zlib's bound for a block.
inline void UseZlib(TMBackup& Backup) {
  Backup.OnCodeBlock = [](TMBackup*, int Mode, int InSize, const char* In, int& OutSize, char* Out) {
    if (Mode == 0) {
      OutSize = static_cast<int>(compressBound(static_cast<uLong>(InSize)));
      return;
    }
    uLongf Length = static_cast<uLongf>(OutSize);
    const auto* Source = reinterpret_cast<const Bytef*>(In);
    auto* Target = reinterpret_cast<Bytef*>(Out);
    const int Result = Mode == 1 ? compress(Target, &Length, Source, static_cast<uLong>(InSize))
                                 : uncompress(Target, &Length, Source, static_cast<uLong>(InSize));
    if (Result != Z_OK) throw Exception("zlib " + std::to_string(Result));
    OutSize = static_cast<int>(Length);
  };
}

// Every value of the current record as text that tells types and nulls apart exactly.
inline std::string RecordText(TMDataSet& DS) {
  std::string Text;
  for (int I = 0; I < DS.GetFieldCount(); ++I) {
    TMField* F = DS.GetFields()->GetFields(I);
    if (F->GetIsNull()) {
      Text += "<null>|";
      continue;
    }
    std::ostringstream S;
    S.precision(40);
    switch (F->GetDataType()) {
      case mftInteger: S << F->GetAsInteger(); break;
      case mftFloat: S << F->GetAsFloat(); break;
      case mftExtended: S << F->GetAsExtended(); break;
      case mftDateTime: S << F->GetAsDateTime(); break;
      default: S << '"' << F->GetAsString() << '"'; break;
    }
    Text += S.str() + "|";
  }
  return Text;
}

inline std::vector<std::string> AllRecords(TMDataSet& DS) {
  std::vector<std::string> Records;
  for (DS.First(); !DS.GetEof(); DS.Next()) Records.push_back(RecordText(DS));
  return Records;
}

// The code of the EMDataError that Action raises, 0 when it raises none.
template <class Action>
int DataCode(Action Run) {
  try {
    Run();
  } catch (const EMDataError& E) {
    return E.Code;
  }
  return 0;
}

}  // namespace vandrel::test
