// The file layout of the backup archive byte by byte: header lines and their checksum, the
// finished header rewritten in place, block header lines, escaping, value escaping, block
// names, the room rules of a block, the restore results and the sequence errors.
#include "data/backup/tests/BackupTestSupport.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <random>

#include "data/backup/BlockCodec.h"
#include "data/backup/HeaderText.h"

namespace vandrel {
namespace {

using test::Bytes;
using test::DataCode;

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Result;
  for (std::size_t Pos = 0; Pos < Text.size();) {
    std::size_t End = Text.find("\r\n", Pos);
    if (End == std::string::npos) End = Text.size();
    Result.push_back(Text.substr(Pos, End - Pos));
    Pos = End + 2;
  }
  return Result;
}

class BackupFormat : public test::BackupFolder {};

TEST_F(BackupFormat, FinishedEmptyBackupRewritesItsHeaderInPlace) {
  TMBackup Backup;
  Backup.SetPath(PathOf("empty.bak"));
  TMBackupHeader Header;
  Header.BlockSize = 500;
  Header.Incremental = true;
  Header.CurrentBackup = 45000.5;
  Header.PreviousBackup = 46000;  // after the current one
  Header.User = "Kierownik\r\nzmiany";
  Header.Params[2] = "trzeci";
  Backup.BeginBackup(Header);
  EXPECT_EQ(Header.BlockSize, 1024);
  EXPECT_EQ(Header.PreviousBackup, 45000.5);
  EXPECT_EQ(Header.User, "Kierownikzmiany");
  const std::string Unfinished = Bytes(PathOf("empty.bak"));
  int Blocks = -1;
  TDateTime Duration = -1;
  Backup.EndBackup(Blocks, Duration, false);
  EXPECT_EQ(Blocks, 0);
  EXPECT_GE(Duration, 0);
  EXPECT_FALSE(Backup.GetActive());
  const std::string Finished = Bytes(PathOf("empty.bak"));
  ASSERT_EQ(Finished.size(), Unfinished.size());

  const auto Before = Lines(Unfinished), After = Lines(Finished);
  ASSERT_EQ(After.size(), 20u);
  EXPECT_EQ(After[0], "ZQ4DATA_BACKUP_FILE");
  EXPECT_EQ(Before[1], "<UNFINISHED FILE>");
  EXPECT_EQ(After[1], "Blocks: 000000000");
  EXPECT_EQ(After[2], "File index: 0");
  EXPECT_EQ(Before[3], "Last file: Y");
  EXPECT_EQ(After[3], "Last file: N");
  EXPECT_EQ(After[4], "Block size: 1024");
  EXPECT_EQ(Before[6], "Finish: 18991230000000000");
  EXPECT_EQ(After[7], "Current backup: 20230315120000000");
  EXPECT_EQ(After[8], "Incremental: Y");
  EXPECT_EQ(After[9], "Previous backup: 20230315120000000");
  EXPECT_EQ(After[10], "Encryption method: ");
  EXPECT_EQ(After[15], "User: Kierownikzmiany");
  EXPECT_EQ(After[17], "Comment: ");
  EXPECT_EQ(After[18], "Param3: trzeci");
  std::uint8_t Sum = 0;
  for (std::size_t I = 0; I + 1 < After.size(); ++I) Sum = backup::XorOf(After[I], Sum);
  std::string Expected = "Checksum: ";
  backup::AppendHex(Expected, Sum, 2);
  EXPECT_EQ(After[19], Expected);

  TMBackupHeader Read;
  bool Last = true;
  EXPECT_EQ(Backup.BeginRestore(Read, Blocks, Last), 0);
  EXPECT_EQ(Blocks, 0);
  EXPECT_FALSE(Last);
  EXPECT_EQ(Read.User, "Kierownikzmiany");
  EXPECT_EQ(Read.Params[2], "trzeci");
  EXPECT_EQ(Read.CurrentBackup, 45000.5);
  EXPECT_EQ(Backup.GetFirstBlock(), static_cast<std::int64_t>(Finished.size()));
  TMBackupBlockHeader Block;
  EXPECT_FALSE(Backup.ReadBlockHeader(Block));
  Backup.EndRestore();
}

TEST_F(BackupFormat, HeaderValidationClampsAndRestoreResultsTellDamage) {
  TMBackupHeader Header;
  Header.FileIndex = -3;
  Header.BlockSize = 2000000;
  Header.PreviousBackup = 12;
  Header.Validate();
  EXPECT_EQ(Header.FileIndex, 0);
  EXPECT_EQ(Header.BlockSize, 1048576);
  EXPECT_EQ(Header.PreviousBackup, 0);

  // Unfinished: the header as BeginBackup left it.
  TMBackup Backup;
  Backup.SetPath(PathOf("a.bak"));
  Header.Reset();
  Header.Comment = "żółw";
  Backup.BeginBackup(Header);
  const std::string Unfinished = Bytes(PathOf("a.bak"));
  Backup.Close();
  EXPECT_NE(Unfinished.find("Comment: \xBF\xF3\xB3w\r\n"), std::string::npos);  // Windows-1250
  int Blocks = 0;
  bool Last = false;
  TMBackupHeader Read;
  EXPECT_EQ(Backup.BeginRestore(Read, Blocks, Last), 2);
  EXPECT_EQ(Blocks, -1);
  EXPECT_EQ(Read.Comment, "żółw");
  Backup.EndRestore();

  // A changed byte in a header line, and no checksum line at all.
  std::string Damaged = Unfinished;
  Damaged[Damaged.find("Comment: ") + 1] = 'X';
  test::Put(PathOf("a.bak"), Damaged);
  EXPECT_EQ(Backup.BeginRestore(Read, Blocks, Last), 1);
  Backup.EndRestore();
  test::Put(PathOf("a.bak"), Unfinished.substr(0, Unfinished.find("Checksum")));
  EXPECT_EQ(Backup.BeginRestore(Read, Blocks, Last), 1);
  Backup.EndRestore();

  // Another magic line is another format; the file is closed again.
  test::Put(PathOf("a.bak"), "ZQ4DATA_BACKUP_FILF\r\n" + Unfinished.substr(21));
  EXPECT_EQ(DataCode([&] { Backup.BeginRestore(Read, Blocks, Last); }), 1302);
  EXPECT_FALSE(Backup.GetActive());
  test::Put(PathOf("a.bak"), "ZQ4");
  EXPECT_EQ(DataCode([&] { Backup.BeginRestore(Read, Blocks, Last); }), 1302);
}

TEST_F(BackupFormat, SequenceErrors) {
  TMBackup Backup;
  Backup.SetPath(PathOf("s.bak"));
  EXPECT_EQ(DataCode([&] { Backup.Open(); }), 1301);
  TMDataSet DS;
  EXPECT_EQ(DataCode([&] { Backup.WriteBlock("T", &DS); }), 1301);
  int Blocks;
  TDateTime Duration;
  EXPECT_EQ(DataCode([&] { Backup.EndBackup(Blocks, Duration, true); }), 1301);
  TMBackupBlockHeader Block;
  EXPECT_EQ(DataCode([&] { Backup.ReadBlockHeader(Block); }), 1301);
  TMBackupHeader Header;
  Backup.BeginBackup(Header);
  EXPECT_EQ(DataCode([&] { Backup.BeginBackup(Header); }), 1301);
  bool Last;
  EXPECT_EQ(DataCode([&] { Backup.BeginRestore(Header, Blocks, Last); }), 1301);
  EXPECT_FALSE(Backup.WriteBlock("T", nullptr));
  EXPECT_FALSE(Backup.WriteBlock("T", &DS));  // closed dataset
  DS.Open();
  EXPECT_FALSE(Backup.WriteBlock("T", &DS));  // empty dataset
  Backup.EndBackup(Blocks, Duration, true);
  EXPECT_EQ(Blocks, 0);
}

TEST_F(BackupFormat, BlockLinesEscapingAndValueForms) {
  TMDataSet DS;
  test::AddField(DS, "Z", mftString);
  test::AddField(DS, "I", mftInteger);
  test::AddField(DS, "F", mftFloat);
  test::AddField(DS, "X", mftExtended);
  test::AddField(DS, "D", mftDateTime);
  DS.Open();
  DS.Append();
  DS.FieldByName("Z")->SetAsString("a\nb");
  DS.FieldByName("I")->SetAsInteger(-42);
  DS.FieldByName("F")->SetAsFloat(0.1);
  DS.FieldByName("X")->SetAsExtended(2.5L);
  DS.FieldByName("D")->SetAsDateTime(45000.25);
  DS.Append();  // all null
  TMBackup Backup;
  // The stored bytes are coded by a hook that turns every 'Z' into 0x01, to see escaping.
  Backup.OnCodeBlock = [](TMBackup*, int Mode, int InSize, const char* In, int& OutSize, char* Out) {
    if (Mode == 0) return;
    for (int I = 0; I < InSize; ++I) Out[I] = Mode == 1 ? (In[I] == 'Z' ? '\x01' : In[I]) : (In[I] == '\x01' ? 'Z' : In[I]);
    OutSize = InSize;
  };
  EXPECT_EQ(test::WriteBackup(Backup, PathOf("b.bak"), {{"2024 Sprzedaż", &DS}}), 1);
  const std::string File = Bytes(PathOf("b.bak"));
  const std::size_t Mark = File.find('\x01');
  ASSERT_NE(Mark, std::string::npos);
  const std::size_t LineEnd = File.find("\r\n", Mark);
  const std::string Line = File.substr(Mark, LineEnd - Mark);
  const std::string Content = std::string("SZ\x04II\x04" "FF\x04XX\x04" "DD\r\n", 16) +
                              std::string("a\x03" "Ab\x04-42\x04" "0.1\x04" "2.5\x04", 17) + "20230315060000000\r\n" +
                              std::string("\x05\x04\x05\x04\x05\x04\x05\x04\x05\r\n", 11);
  std::string Coded = Content;
  std::replace(Coded.begin(), Coded.end(), 'Z', '\x01');
  std::string Escaped;
  backup::Escape(Coded, Escaped);
  EXPECT_EQ(Escaped.find('\x01'), std::string::npos);
  std::string Expected(1, '\x01');
  backup::AppendHex(Expected, 0, 8);
  backup::AppendHex(Expected, static_cast<std::uint32_t>(Escaped.size()), 8);
  backup::AppendHex(Expected, backup::XorOf(Coded), 2);
  Expected += "_2024Sprzedaz";
  backup::AppendHex(Expected, backup::XorOf(Expected), 2);
  EXPECT_EQ(Line, Expected);
  EXPECT_EQ(File.substr(LineEnd + 2), Escaped);

  test::TRestore Restored(Backup);
  ASSERT_EQ(Restored.Result, 0);
  TMBackupReader& Reader = Restored.Reader;
  ASSERT_EQ(Reader.GetBlockCount(), 1);
  EXPECT_EQ(Reader.GetBlock(0).Name, "_2024Sprzedaz");
  EXPECT_EQ(Reader.FindBlocks(" 2024 Sprzedaż "), std::vector<int>{0});
  TMBackupBlockContent Read;
  Reader.ReadContent(0, Read);
  ASSERT_EQ(Read.RecordCount, 2);
  EXPECT_EQ(Read.Value(0, 0), "a\nb");
  EXPECT_EQ(Read.Value(0, 4), "20230315060000000");
  EXPECT_TRUE(Read.IsNull(1, 3));
}

TEST_F(BackupFormat, EscapesAndNamesAreStrict) {
  std::string Out;
  EXPECT_FALSE(backup::Unescape(std::string("ab\x02" "7", 4), Out));
  EXPECT_FALSE(backup::Unescape("ab\x02", Out));
  EXPECT_FALSE(backup::Unescape("a\x01", Out));
  Out.clear();
  EXPECT_TRUE(backup::Unescape(std::string("\x02" "0\x02" "1\x02" "2", 6), Out));
  EXPECT_EQ(Out, std::string("\0\1\2", 3));
  Out.clear();
  EXPECT_FALSE(backup::UnescapeValue("a\x03G", Out));
  EXPECT_FALSE(backup::UnescapeValue("a\x05", Out));
  EXPECT_EQ(backup::BlockName("  Ćwiczenia-2 (kopia) "), "Cwiczenia2kopia");
  EXPECT_EQ(backup::BlockName("9 żółw"), "_9zolw");
  EXPECT_EQ(backup::BlockName("  "), "");
}

// The codec looks at eight bytes at a time: every special byte at every offset of a text
// of high and plain bytes must come out as the byte-by-byte rules say.
TEST_F(BackupFormat, EscapingAndChecksumsHoldAtEveryOffset) {
  const std::string Plain = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84 \xFF\x80\x7F\x10";
  for (std::size_t At = 0; At <= Plain.size(); ++At)
    for (int Special = 0; Special < 16; ++Special) {
      std::string Text = Plain;
      Text.insert(Text.begin() + static_cast<std::ptrdiff_t>(At), static_cast<char>(Special));
      std::uint8_t Sum = 0x5A;
      std::string Escaped, Stored;
      for (char C : Text) {
        Sum ^= static_cast<std::uint8_t>(C);
        if (static_cast<unsigned char>(C) < 3)
          Escaped += {backup::kEscape, static_cast<char>('0' + C)};
        else
          Escaped += C;
        if (static_cast<unsigned char>(C) < 16)
          Stored += {backup::kValueEscape, "0123456789ABCDEF"[static_cast<int>(C)]};
        else
          Stored += C;
      }
      SCOPED_TRACE(testing::Message() << "byte " << Special << " at " << At);
      EXPECT_EQ(backup::XorOf(Text, 0x5A), Sum);
      std::string Out;
      backup::Escape(Text, Out);
      EXPECT_EQ(Out, Escaped);
      std::string Back;
      EXPECT_TRUE(backup::Unescape(Out, Back));
      EXPECT_EQ(Back, Text);
      EXPECT_EQ(backup::Unescape(Text, Back), Special != 1 && Special != 2);
      Out.clear();
      backup::AppendValue(Out, Text);
      EXPECT_EQ(Out, Stored);
      Back.clear();
      EXPECT_TRUE(backup::UnescapeValue(Out, Back));
      EXPECT_EQ(Back, Text);
      // A raw byte below 16 in a stored value is damage, unless it makes an escape.
      const bool Escapes = Special == backup::kValueEscape && At < Plain.size() && std::isxdigit(static_cast<unsigned char>(Plain[At]));
      EXPECT_EQ(backup::UnescapeValue(Text, Back), Escapes);
    }
}

// Most extended texts are read by one exact division; whatever the digits, the value must be
// the C library's correctly rounded one.
TEST_F(BackupFormat, ExtendedTextsReadAsTheCLibraryReadsThem) {
  std::mt19937_64 Random(20261209);
  std::vector<std::string> Texts = {"12.99", "-0", "0.1", "9999999999999999999", "18446744073709551615",
                                    "0.000000000000000000000000001", "123456789.0123456789012345678", ".5", "5."};
  for (int I = 0; I < 50000; ++I) {
    std::string Text = Random() % 2 ? "-" : "";
    const int Whole = 1 + static_cast<int>(Random() % 21), Decimals = static_cast<int>(Random() % 31);
    for (int D = 0; D < Whole; ++D) Text += static_cast<char>('0' + Random() % 10);
    if (Decimals > 0) Text += '.';
    for (int D = 0; D < Decimals; ++D) Text += static_cast<char>('0' + Random() % 10);
    Texts.push_back(Text);
  }
  for (const std::string& Text : Texts) {
    const Extended Expected = std::strtold(Text.c_str(), nullptr);
    const auto Read = backup::ParseExtended(Text);
    ASSERT_TRUE(Read.has_value()) << Text;
    EXPECT_TRUE(*Read == Expected && std::signbit(*Read) == std::signbit(Expected)) << Text;
  }
  EXPECT_FALSE(backup::ParseExtended("1.2.3"));
  EXPECT_FALSE(backup::ParseExtended("-"));
  EXPECT_FALSE(backup::ParseExtended("1,5"));
}

TEST_F(BackupFormat, EscapedTwoFollowedBySevenIsRejectedWhenRead) {
  TMDataSet DS;
  test::AddField(DS, "S", mftString);
  DS.Open();
  DS.Append();
  DS.FieldByName("S")->SetAsString("x");
  TMBackup Backup;
  test::WriteBackup(Backup, PathOf("e.bak"), {{"T", &DS}});
  // Replace the data's last byte by 0x02 "7" and fix the header's length and checksums, so
  // that only the escape is wrong.
  std::string File = Bytes(PathOf("e.bak"));
  const std::size_t Mark = File.find('\x01');
  const std::size_t Data = File.find("\r\n", Mark) + 2;
  std::string Escaped = File.substr(Data);
  Escaped.back() = '\x02';
  Escaped += '7';
  std::string Line(1, '\x01');
  backup::AppendHex(Line, 0, 8);
  backup::AppendHex(Line, static_cast<std::uint32_t>(Escaped.size()), 8);
  backup::AppendHex(Line, 0, 2);
  Line += "T";
  backup::AppendHex(Line, backup::XorOf(Line), 2);
  test::Put(PathOf("e.bak"), File.substr(0, Mark) + Line + "\r\n" + Escaped);
  test::TRestore Restored(Backup);
  ASSERT_EQ(Restored.Result, 0);
  TMBackupReader& Reader = Restored.Reader;
  TMBackupBlockContent Content;
  EXPECT_EQ(DataCode([&] { Reader.ReadContent(0, Content); }), 1306);
}

TEST_F(BackupFormat, RoomRulesOfABlock) {
  TMDataSet DS;
  test::AddField(DS, "S", mftString);
  DS.Open();
  for (int Length : {600, 600, 2000, 10}) {
    DS.Append();
    DS.FieldByName("S")->SetAsString(std::string(static_cast<std::size_t>(Length), 'w'));
  }
  TMBackup Backup;
  Backup.SetPath(PathOf("r.bak"));
  TMBackupHeader Header;
  Header.BlockSize = 1024;
  Backup.BeginBackup(Header);
  DS.First();
  EXPECT_TRUE(Backup.WriteBlock("T", &DS));  // the first 600: the second does not fit after it
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_TRUE(Backup.WriteBlock("T", &DS));
  EXPECT_EQ(DS.GetPosition(), 2);
  // 2000 bytes never fit a block of 1024: the backup stops and the file is closed.
  EXPECT_EQ(DataCode([&] { Backup.WriteBlock("T", &DS); }), 1304);
  EXPECT_FALSE(Backup.GetActive());
  {
    test::TRestore Restored(Backup);
    EXPECT_EQ(Restored.Result, 2);
    EXPECT_EQ(Restored.Reader.GetBlockCount(), 2);
    Backup.EndRestore();
  }

  // Field definitions that leave no room.
  TMDataSet Wide;
  test::AddField(Wide, "S", mftString);
  Wide.Open();
  Wide.Append();
  Wide.First();
  Backup.OnStoreFieldDefinition = [](TMBackup*, const AnsiString&, AnsiString& Name, TMFieldType&, int, TMCustomDataSet*) {
    if (Name.empty()) Name = "Pole";  // never ends the list
  };
  Backup.BeginBackup(Header);
  EXPECT_EQ(DataCode([&] { Backup.WriteBlock("T", &Wide); }), 1303);
}

TEST_F(BackupFormat, EventsChooseRecordsNamesAndValues) {
  TMDataSet DS;
  test::AddField(DS, "A", mftInteger);
  DS.Open();
  for (int I = 0; I < 4; ++I) {
    DS.Append();
    DS.FieldByName("A")->SetAsInteger(I);
  }
  TMBackup Backup;
  Backup.OnCanStoreRecord = [](TMBackup*, const AnsiString& Name, bool& Store, TMCustomDataSet* Set) {
    EXPECT_EQ(Name, "Liczby");
    Store = Set->GetFields()->GetFields(0)->GetAsInteger() % 2 == 1;
  };
  Backup.OnStoreFieldDefinition = [](TMBackup*, const AnsiString&, AnsiString& Name, TMFieldType& Type, int Index,
                                     TMCustomDataSet*) {
    if (Index == 1) {  // one more field than the dataset has
      Name = "Opis";
      Type = mftString;
    }
  };
  Backup.OnStoreFieldValue = [](TMBackup*, const AnsiString&, TDateTime&, Extended&, double&, int& Integer,
                                AnsiString& String, bool& IsNull, TMFieldType&, int Index, TMCustomDataSet*) {
    if (Index == 0) Integer *= 10;
    if (Index == 1) {
      EXPECT_TRUE(IsNull);
      IsNull = false;
      String = "nieparzysta";
    }
  };
  test::WriteBackup(Backup, PathOf("ev.bak"), {{"Liczby", &DS}});
  test::TRestore Restored(Backup);
  ASSERT_EQ(Restored.Result, 0);
  TMBackupReader& Reader = Restored.Reader;
  TMDataSet Back;
  EXPECT_EQ(Reader.LoadBlocks("Liczby", Back), 2);
  EXPECT_EQ(test::AllRecords(Back), (std::vector<std::string>{"10|\"nieparzysta\"|", "30|\"nieparzysta\"|"}));
}

}  // namespace
}  // namespace vandrel
