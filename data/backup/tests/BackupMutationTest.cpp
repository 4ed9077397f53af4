// A damaged archive never crashes a reader and never reads past its buffers: a valid file
// is truncated, has bytes flipped and bytes inserted, thousands of times, and every read
// ends in data or in one of the archive's errors (1301-1307). Under the sanitizers in CI.
#include "data/backup/tests/BackupTestSupport.h"

#include <random>

namespace vandrel {
namespace {

// Reads the whole file the way a receiving program does; the error code, 0 for data.
int ReadEverything(const AnsiString& Path, bool Coded) {
  TMBackup Backup;
  if (Coded) test::UseZlib(Backup);
  Backup.SetPath(Path);
  try {
    TMBackupHeader Header;
    int Blocks;
    bool Last;
    Backup.BeginRestore(Header, Blocks, Last);
    TMBackupReader Reader(Backup);
    // The survey reads on past every damaged block and raises nothing for block damage; a
    // file it finds whole reads into datasets.
    const bool Whole = Reader.Survey().Damage.empty();
    try {
      Reader.BuildIndex();
    } catch (const EMDataError& E) {
      EXPECT_FALSE(Whole) << "the survey found no damage, the index " << E.Code;
      throw;
    }
    for (const AnsiString& Name : Reader.BlockNames()) {
      TMDataSet Target;
      Reader.LoadBlocks(Name, Target);
    }
    return 0;
  } catch (const EMDataError& E) {
    return E.Code;
  }
}

class BackupMutation : public test::BackupFolder {};

TEST_F(BackupMutation, DamagedFilesEndInDataOrInTheArchivesErrors) {
  for (bool Coded : {false, true}) {
    TMDataSet DS;
    test::OpenFiveFields(DS);
    test::AppendRecords(DS, 60);
    TMBackup Writer;
    if (Coded) test::UseZlib(Writer);
    test::WriteBackup(Writer, PathOf("valid.bak"), {{"A", &DS}, {"B", &DS}}, 1024);
    const std::string Valid = test::Bytes(PathOf("valid.bak"));
    ASSERT_EQ(ReadEverything(PathOf("valid.bak"), Coded), 0);

    std::mt19937 Random(Coded ? 7 : 3);
    const AnsiString Damaged = PathOf("damaged.bak");
    int Outcomes[1308] = {};
    for (int Round = 0; Round < test::kMutationRounds; ++Round) {
      std::string Bytes = Valid;
      const int Kind = Round % 3;
      const std::size_t At = std::uniform_int_distribution<std::size_t>(0, Bytes.size() - 1)(Random);
      const char Byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(Random));
      if (Kind == 0)
        Bytes.resize(At);
      else if (Kind == 1)
        Bytes[At] = static_cast<char>(Bytes[At] ^ (1 << (Round / 3 % 8)));
      else
        Bytes.insert(At, std::string(1 + Round % 4, Byte));
      // A new file each round: rewriting a truncated file makes the file system write it out.
      std::filesystem::remove(Damaged);
      test::Put(Damaged, Bytes);
      const int Code = ReadEverything(Damaged, Coded);
      ASSERT_TRUE(Code == 0 || (Code >= 1301 && Code <= 1307)) << "round " << Round << ": " << Code;
      ++Outcomes[Code];
    }
    // Damage is found, and by more than one of the checks.
    EXPECT_GT(Outcomes[1305], 0);
    EXPECT_GT(Outcomes[1306], 0);
    EXPECT_GT(Outcomes[1302] + Outcomes[1305] + Outcomes[1306] + Outcomes[1307], test::kMutationRounds * 2 / 3);
  }
}

}  // namespace
}  // namespace vandrel
