// vandrel-archive run as a program: the listing, verification of whole, damaged and
// unfinished files by exit status, and the CSV dump of one block name.
#include "data/backup/tests/BackupTestSupport.h"

#include <sys/wait.h>

#include <cstdio>

namespace vandrel {
namespace {

struct TRun {
  int Status;
  std::string Out;
};

TRun RunTool(const std::string& Arguments) {
  const std::string Command = std::string(VANDREL_ARCHIVE_TOOL) + " " + Arguments + " 2>/dev/null";
  FILE* Pipe = popen(Command.c_str(), "r");
  std::string Out;
  char Buffer[4096];
  for (std::size_t Got; (Got = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;) Out.append(Buffer, Got);
  const int Status = pclose(Pipe);
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, Out};
}

class ArchiveTool : public test::BackupFolder {
 protected:
  void SetUp() override {
    BackupFolder::SetUp();
    TMDataSet Goods, Empty;
    test::AddField(Goods, "Nazwa", mftString);
    test::AddField(Goods, "Ilosc", mftInteger);
    test::AddField(Goods, "Cena", mftFloat);
    Goods.Open();
    const char* Names[] = {"Łyżka, duża", "kubek \"biały\"", "", "dwa\nwiersze"};
    for (int I = 0; I < 4; ++I) {
      Goods.Append();
      Goods.FieldByName("Nazwa")->SetAsString(Names[I]);
      if (I != 1) Goods.FieldByName("Ilosc")->SetAsInteger(I * 10);
      Goods.FieldByName("Cena")->SetAsFloat(2.5 * I);
    }
    test::AddField(Empty, "X", mftInteger);
    Empty.Open();
    for (int I = 0; I < 400; ++I) {
      Empty.Append();
      Empty.FieldByName("X")->SetAsInteger(I);
    }
    TMBackup Backup;
    test::WriteBackup(Backup, PathOf("sklep.bak"), {{"Towary", &Goods}, {"Liczby", &Empty}}, 1024);
    Path = PathOf("sklep.bak");
  }
  AnsiString Path;
};

TEST_F(ArchiveTool, ListsHeaderBlocksAndRecordCounts) {
  const TRun Run = RunTool("list " + Path);
  EXPECT_EQ(Run.Status, 0);
  EXPECT_NE(Run.Out.find("Komentarz: kopia sklepu\n"), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Blok 0: Towary, rekordów: 4, pól: 3\n"), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Blok 1: Liczby, rekordów: "), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Blok 2: Liczby"), std::string::npos) << Run.Out;
}

TEST_F(ArchiveTool, VerifyTellsAWholeFileFromADamagedOne) {
  TRun Run = RunTool("verify " + Path);
  EXPECT_EQ(Run.Status, 0);
  EXPECT_NE(Run.Out.find("Plik jest cały: bloków "), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find(", rekordów 404\n"), std::string::npos) << Run.Out;

  const std::string Whole = test::Bytes(Path);
  std::string Flipped = Whole;
  Flipped[Flipped.size() - 10] ^= 0x20;
  test::Put(PathOf("flipped.bak"), Flipped);
  EXPECT_EQ(RunTool("verify " + PathOf("flipped.bak")).Status, 1);
  // A whole last block cut away: every remaining block reads, the count does not match.
  test::Put(PathOf("short.bak"), Whole.substr(0, Whole.rfind('\x01')));
  Run = RunTool("verify " + PathOf("short.bak"));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("Plik jest uszkodzony"), std::string::npos);
  // An unfinished file.
  TMBackup Backup;
  Backup.SetPath(PathOf("open.bak"));
  TMBackupHeader Header;
  Backup.BeginBackup(Header);
  Backup.Close();
  EXPECT_EQ(RunTool("verify " + PathOf("open.bak")).Status, 1);
  EXPECT_EQ(RunTool("verify " + PathOf("missing.bak")).Status, 1);
  EXPECT_EQ(RunTool("verify").Status, 2);
  EXPECT_EQ(RunTool("unpack " + Path).Status, 2);
}

// A file that is not whole is never reported as success by list or dump: they show what
// they can read and exit 1.
TEST_F(ArchiveTool, ListAndDumpFailOnUnfinishedCutOrDamagedFiles) {
  const std::string Whole = test::Bytes(Path);
  test::Put(PathOf("short.bak"), Whole.substr(0, Whole.rfind('\x01')));
  TRun Run = RunTool("list " + PathOf("short.bak"));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("Blok 1: Liczby"), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Nagłówek podaje 3 bloków, w pliku jest 2\nPlik jest uszkodzony\n"), std::string::npos)
      << Run.Out;
  Run = RunTool("dump " + PathOf("short.bak") + " Towary");
  EXPECT_EQ(Run.Status, 1);
  EXPECT_EQ(Run.Out.substr(0, 17), "Nazwa,Ilosc,Cena\r");

  std::string BadSum = Whole;
  const std::size_t Comment = BadSum.find("Comment: kopia");
  BadSum[Comment + 9] = 'K';
  test::Put(PathOf("sum.bak"), BadSum);
  Run = RunTool("list " + PathOf("sum.bak"));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("Nagłówek: błędna suma kontrolna nagłówka\n"), std::string::npos) << Run.Out;
  EXPECT_EQ(RunTool("dump " + PathOf("sum.bak") + " Towary").Status, 1);

  TMBackup Backup;
  Backup.SetPath(PathOf("open.bak"));
  TMBackupHeader Header;
  Backup.BeginBackup(Header);
  Backup.Close();
  Run = RunTool("list " + PathOf("open.bak"));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("Koniec: brak\n"), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Nagłówek: plik niedokończony\n"), std::string::npos) << Run.Out;
  EXPECT_EQ(RunTool("dump " + PathOf("open.bak") + " Towary").Status, 1);
}

// The backup's date is the header's: a header that names none shows none, never the time
// of listing.
TEST_F(ArchiveTool, ListShowsTheDateTheHeaderGives) {
  std::string Bytes = test::Bytes(Path);
  const std::size_t Line = Bytes.find("Current backup: ");
  const std::size_t End = Bytes.find("\r\n", Line);
  const std::string Stamp = Bytes.substr(Line + 16, End - Line - 16);
  TRun Run = RunTool("list " + Path);
  EXPECT_NE(Run.Out.find("Kopia: " + Stamp + "\n"), std::string::npos) << Run.Out;

  // Without its line (and with the checksum made to match), the header gives no date.
  unsigned char Sum = 0;
  for (std::size_t I = Line; I < End; ++I) Sum ^= static_cast<unsigned char>(Bytes[I]);
  Bytes.erase(Line, End + 2 - Line);
  const std::size_t Check = Bytes.find("Checksum: ") + 10;
  const unsigned Stored = std::stoul(Bytes.substr(Check, 2), nullptr, 16) ^ Sum;
  char Hex[3];
  std::snprintf(Hex, sizeof Hex, "%02X", Stored);
  Bytes.replace(Check, 2, Hex);
  test::Put(PathOf("undated.bak"), Bytes);
  Run = RunTool("list " + PathOf("undated.bak"));
  EXPECT_EQ(Run.Status, 0) << Run.Out;
  EXPECT_NE(Run.Out.find("Kopia: brak\n"), std::string::npos) << Run.Out;
}

// Three blocks damaged three ways (a flipped data byte, bytes inserted into data, a broken
// header line): each is reported where its header begins, and every block after them is
// read and counted.
TEST_F(ArchiveTool, VerifyReportsEveryDamagedBlockAndReadsOnPastThem) {
  TMDataSet Many;
  test::OpenFiveFields(Many);
  test::AppendRecords(Many, 300);
  TMBackup Backup;
  const int Blocks = test::WriteBackup(Backup, PathOf("wiele.bak"), {{"Wiele", &Many}}, 1024);
  ASSERT_GE(Blocks, 8);
  std::string Bytes = test::Bytes(PathOf("wiele.bak"));
  std::vector<std::size_t> Marks;
  for (std::size_t P = Bytes.find('\x01'); P != std::string::npos; P = Bytes.find('\x01', P + 1)) Marks.push_back(P);
  ASSERT_EQ(Marks.size(), static_cast<std::size_t>(Blocks));
  const std::size_t Line = Bytes.find("\r\n", Marks[1]) + 2 - Marks[1];  // header line of a "Wiele" block
  Bytes[Marks[2] - 3] ^= 0x40;                                         // last data byte of block 1
  Bytes[Marks[6] + 3] ^= 0x01;                                         // block 6's number
  Bytes.insert(Marks[3] + Line + 10, "abc");                           // inside block 3's data
  test::Put(PathOf("wiele.bak"), Bytes);

  const TRun Run = RunTool("verify " + PathOf("wiele.bak"));
  EXPECT_EQ(Run.Status, 1);
  const std::string Expected =
      "Uszkodzenie w bajcie " + std::to_string(Marks[1]) + ": blok 1 (Wiele): [DT/1306]";
  EXPECT_NE(Run.Out.find(Expected), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Uszkodzenie w bajcie " + std::to_string(Marks[3]) + ": blok 3 (Wiele): [DT/130"),
            std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("Uszkodzenie w bajcie " + std::to_string(Marks[6] + 3) + ": nieczytelny nagłówek bloku"),
            std::string::npos) << Run.Out;
  EXPECT_EQ(std::count(Run.Out.begin(), Run.Out.end(), '\n'), 4) << Run.Out;
  EXPECT_NE(Run.Out.find("Plik jest uszkodzony: bloków " + std::to_string(Blocks - 3) + " całych"), std::string::npos)
      << Run.Out;
}

TEST_F(ArchiveTool, DumpWritesTheBlocksRecordsAsCsv) {
  TRun Run = RunTool("dump " + Path + " Towary");
  EXPECT_EQ(Run.Status, 0);
  EXPECT_EQ(Run.Out,
            "Nazwa,Ilosc,Cena\r\n"
            "\"Łyżka, duża\",0,0\r\n"
            "\"kubek \"\"biały\"\"\",,2.5\r\n"
            "\"\",20,5\r\n"
            "\"dwa\nwiersze\",30,7.5\r\n");
  Run = RunTool("dump " + Path + " Liczby");
  EXPECT_EQ(Run.Status, 0);
  EXPECT_EQ(std::count(Run.Out.begin(), Run.Out.end(), '\n'), 401);
  EXPECT_EQ(Run.Out.substr(Run.Out.size() - 5), "399\r\n");
  EXPECT_EQ(RunTool("dump " + Path + " Brak").Status, 1);
}

}  // namespace
}  // namespace vandrel
