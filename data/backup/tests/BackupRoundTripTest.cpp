// Datasets through the archive and back: every field type, nulls, control bytes and Polish
// letters exactly; 10^5 records over many blocks with zlib coding; several datasets found by
// their block names; values mapped by name into a target of other fields; a backup split
// over several files.
#include "data/backup/tests/BackupTestSupport.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace vandrel {
namespace {

using test::AllRecords;

class BackupRoundTrip : public test::BackupFolder {
 protected:
  // Opens Path and indexes it.
  void Restore(TMBackup& Backup, TMBackupReader& Reader, const AnsiString& Path, int ExpectedBlocks) {
    Backup.SetPath(Path);
    TMBackupHeader Header;
    int Blocks = 0;
    bool Last = false;
    ASSERT_EQ(Backup.BeginRestore(Header, Blocks, Last), 0);
    EXPECT_EQ(Blocks, ExpectedBlocks);
    Reader.BuildIndex();
    EXPECT_EQ(Reader.GetBlockCount(), ExpectedBlocks);
  }
};

TEST_F(BackupRoundTrip, ExtremeValuesOfEveryTypeComeBackExactly) {
  TMDataSet DS;
  test::OpenFiveFields(DS);
  const double Floats[] = {0.0, -0.0, 1e-300, -1.7976931348623157e308, 0.1 + 0.2, 1.0 / 3.0,
                           std::numeric_limits<double>::denorm_min(), 123456789.123456789};
  const Extended Exts[] = {LDBL_MAX, -LDBL_MIN, 1.0L / 3.0L, std::numeric_limits<Extended>::denorm_min(), 0.0L};
  std::string AllBytes;
  for (int B = 1; B < 256; ++B)
    if (B < 0x80) AllBytes += static_cast<char>(B);
  AllBytes += "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ„”–€";
  const int Count = 8;
  for (int I = 0; I < Count; ++I) {
    DS.Append();
    DS.FieldByName("S")->SetAsString(I == 0 ? AllBytes : I == 1 ? std::string() : std::string(I, '\x05'));
    DS.FieldByName("I")->SetAsInteger(I == 0 ? INT32_MIN : I == 1 ? INT32_MAX : I);
    DS.FieldByName("F")->SetAsFloat(Floats[I]);
    DS.FieldByName("X")->SetAsExtended(Exts[I % 5]);
    DS.FieldByName("D")->SetAsDateTime(test::Stamped(I == 0 ? -693593.0 : I == 1 ? 2958465.999 : 45000.123 * I));
  }
  DS.Append();  // nulls throughout
  TMBackup Backup;
  // The longest fixed texts of extended values take about 5000 bytes each.
  test::WriteBackup(Backup, PathOf("x.bak"), {{"Skrajne", &DS}}, 65536);
  TMBackupReader Reader(Backup);
  Restore(Backup, Reader, PathOf("x.bak"), 1);
  TMDataSet Back;
  try {
    EXPECT_EQ(Reader.LoadBlocks("Skrajne", Back), Count + 1);
  } catch (const EMException& E) {
    FAIL() << E.Message << " / " << (E.GetInner() ? E.GetInner()->Message + " " + E.GetInner()->GetDescription() : "");
  }
  ASSERT_EQ(Back.GetFieldCount(), 5);
  EXPECT_EQ(Back.FieldByName("X")->GetDataType(), mftExtended);
  EXPECT_EQ(AllRecords(Back), AllRecords(DS));
  Back.First();
  Back.Next();
  EXPECT_TRUE(Back.FieldByName("S")->GetAsString().empty());
  EXPECT_FALSE(Back.FieldByName("S")->GetIsNull());
}

TEST_F(BackupRoundTrip, HundredThousandRecordsOverManyZlibCodedBlocks) {
  TMDataSet Sales, Stock;
  test::OpenFiveFields(Sales);
  test::AppendRecords(Sales, test::kManyRecords);
  test::OpenFiveFields(Stock);
  test::AppendRecords(Stock, 300);
  TMBackup Backup;
  test::UseZlib(Backup);
  // Every block is flushed to the disk; 64 KiB blocks keep their number near a hundred.
  const int Blocks =
      test::WriteBackup(Backup, PathOf("z.bak"), {{"Sprzedaż", &Sales}, {"Magazyn", &Stock}}, 65536);
  EXPECT_GT(Blocks, test::kManyRecords / 2000);
  // zlib really coded the blocks: the file is smaller than the records' text.
  EXPECT_LT(std::filesystem::file_size(PathOf("z.bak")), test::kManyRecords * 40u);

  TMBackupReader Reader(Backup);
  Restore(Backup, Reader, PathOf("z.bak"), Blocks);
  EXPECT_EQ(Reader.BlockNames(), (std::vector<AnsiString>{"Sprzedaz", "Magazyn"}));
  EXPECT_EQ(Reader.FindBlocks("Magazyn"), (std::vector<int>{Blocks - 1}));
  EXPECT_EQ(static_cast<int>(Reader.FindBlocks("Sprzedaz").size()), Blocks - 1);
  EXPECT_TRUE(Reader.FindBlocks("Brak").empty());
  TMDataSet SalesBack, StockBack;
  EXPECT_EQ(Reader.LoadBlocks("Magazyn", StockBack), 300);
  EXPECT_EQ(Reader.LoadBlocks("Sprzedaż", SalesBack), test::kManyRecords);
  EXPECT_EQ(AllRecords(SalesBack), AllRecords(Sales));
  EXPECT_EQ(AllRecords(StockBack), AllRecords(Stock));

  // Without the hook the coded blocks cannot be read as records.
  Backup.EndRestore();
  Backup.OnCodeBlock = nullptr;
  test::TRestore Plain(Backup);
  TMDataSet Garbled;
  EXPECT_EQ(test::DataCode([&] { Plain.Reader.LoadBlock(0, Garbled); }), 1307);
}

TEST_F(BackupRoundTrip, ValuesGoToTheTargetsFieldsByName) {
  TMDataSet DS;
  test::OpenFiveFields(DS);
  test::AppendRecords(DS, 50);
  TMBackup Backup;
  test::WriteBackup(Backup, PathOf("m.bak"), {{"T", &DS}});
  TMBackupReader Reader(Backup);
  Restore(Backup, Reader, PathOf("m.bak"), 1);
  // Fewer fields, in another order, one of another type, one the file lacks.
  TMDataSet Target;
  test::AddField(Target, "Extra", mftString);
  test::AddField(Target, "i", mftString);
  test::AddField(Target, "S", mftString);
  Target.Open();
  Target.Append();
  Target.FieldByName("Extra")->SetAsString("już był");
  Reader.LoadBlock(0, Target);
  ASSERT_EQ(Target.GetCount(), 51);
  Target.First();
  EXPECT_EQ(Target.FieldByName("Extra")->GetAsString(), "już był");
  DS.First();
  for (Target.Next(); !Target.GetEof(); Target.Next(), DS.Next()) {
    EXPECT_TRUE(Target.FieldByName("Extra")->GetIsNull());
    EXPECT_EQ(Target.FieldByName("i")->GetIsNull(), DS.FieldByName("I")->GetIsNull());
    if (!DS.FieldByName("I")->GetIsNull()) {
      EXPECT_EQ(Target.FieldByName("i")->GetAsString(), std::to_string(DS.FieldByName("I")->GetAsInteger()));
    }
    EXPECT_EQ(Target.FieldByName("S")->GetIsNull(), DS.FieldByName("S")->GetIsNull());
    EXPECT_EQ(Target.FieldByName("S")->GetAsString(), DS.FieldByName("S")->GetAsString());
  }
}

TEST_F(BackupRoundTrip, BackupSplitOverSeveralFiles) {
  TMDataSet DS;
  test::OpenFiveFields(DS);
  test::AppendRecords(DS, 5000);
  TMBackup Backup;
  const std::int64_t Limit = 40000;
  std::vector<AnsiString> Files;
  DS.First();
  bool Last = false;
  for (int Index = 0; !Last; ++Index) {
    Files.push_back(PathOf("part" + std::to_string(Index) + ".bak"));
    Backup.SetPath(Files.back());
    TMBackupHeader Header;
    Header.FileIndex = Index;
    Header.BlockSize = 4096;
    Backup.BeginBackup(Header);
    while (Backup.CanWriteMoreBlocks(Limit) && Backup.WriteBlock("Dane", &DS)) {
    }
    Last = DS.GetEof();
    int Blocks;
    TDateTime Duration;
    Backup.EndBackup(Blocks, Duration, Last);
    EXPECT_LT(std::filesystem::file_size(Files.back()), static_cast<std::uintmax_t>(Limit));
  }
  ASSERT_GT(Files.size(), 3u);
  TMDataSet Back;
  for (std::size_t I = 0; I < Files.size(); ++I) {
    Backup.SetPath(Files[I]);
    TMBackupHeader Header;
    int Blocks;
    bool IsLast;
    ASSERT_EQ(Backup.BeginRestore(Header, Blocks, IsLast), 0);
    EXPECT_EQ(Header.FileIndex, static_cast<int>(I));
    EXPECT_EQ(IsLast, I + 1 == Files.size());
    TMBackupReader Reader(Backup);
    Reader.BuildIndex();
    EXPECT_EQ(Reader.GetBlockCount(), Blocks);
    Reader.LoadBlocks("Dane", Back);
    Backup.EndRestore();
  }
  EXPECT_EQ(AllRecords(Back), AllRecords(DS));
}

}  // namespace
}  // namespace vandrel
