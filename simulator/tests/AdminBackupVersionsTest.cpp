// Backups between SQL Server 2000 and 2005: RESTORE HEADERONLY, FILELISTONLY and VERIFYONLY in
// each server's layout on a backup either wrote, a 2000 database restored on 2005 (upgraded,
// its compatibility level kept), and a 2005 backup that 2000 refuses.
#include <filesystem>

#include "AdminFixture.h"
#include "engine/DatabaseFiles.h"
#include "engine/SimEngine.h"

namespace msde::admin_test {
namespace {

// A bare name lies in the backup directory of either server.
const std::string kVersionsBak = "Sklep.bak";

class AdminBackupVersionsTest : public AdminTest {
 public:
  AdminBackupVersionsTest() { Pace(); }
  // Backups here take no time to speak of.
  void Pace() {
    ASSERT_FALSE(Run("select 1").failed());
    auto* sim = dynamic_cast<SimEngine*>(engine_.get());
    std::lock_guard<std::mutex> guard(sim->Mutex());
    sim->State().server.backup_page_microseconds = 0;
  }
  void Backup() { ASSERT_FALSE(Run("BACKUP DATABASE Sklep TO DISK = N'" + kVersionsBak + "' WITH INIT").failed()); }
  std::string Column(const Answer& a, const std::string& name, size_t row = 0) {
    const std::vector<std::string> names = a.ColumnNames();
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return a.Cell(row, i);
    return "<no column " + name + ">";
  }
  Answer RestoreCopy() {
    auto* sim = dynamic_cast<SimEngine*>(engine_.get());
    std::string data;
    {
      std::lock_guard<std::mutex> guard(sim->Mutex());
      data = sim->State().server.DataDirectory() + "\\";
    }
    return Run("RESTORE DATABASE Kopia FROM DISK = N'" + kVersionsBak + "' WITH MOVE 'Sklep_Data' TO N'" + data +
               "Kopia.mdf', MOVE 'Sklep_Log' TO N'" + data + "Kopia_log.ldf'");
  }
};

TEST_F(AdminBackupVersionsTest, SqlServer2005ListsItsLongerLayoutsAndNamesTheSetItVerified) {
  Restart(DataSet2005());
  Pace();
  Backup();
  const Answer h = Run("RESTORE HEADERONLY FROM DISK = N'" + kVersionsBak + "'");
  ASSERT_FALSE(h.failed()) << h.ErrorText();
  const std::vector<std::string> names = h.ColumnNames();
  ASSERT_EQ(names.size(), 51u);
  EXPECT_EQ(names[13], "FirstLSN");
  EXPECT_EQ(names[16], "DatabaseBackupLSN");
  EXPECT_EQ(names[32], "Collation");
  EXPECT_EQ(std::vector<std::string>(names.begin() + 33, names.end()),
            (std::vector<std::string>{"FamilyGUID", "HasBulkLoggedData", "IsSnapshot", "IsReadOnly", "IsSingleUser",
                                      "HasBackupChecksums", "IsDamaged", "BeginsLogChain", "HasIncompleteMetaData",
                                      "IsForceOffline", "IsCopyOnly", "FirstRecoveryForkID", "ForkPointLSN",
                                      "RecoveryModel", "DifferentialBaseLSN", "DifferentialBaseGUID",
                                      "BackupTypeDescription", "BackupSetGUID"}));
  EXPECT_EQ(Column(h, "DatabaseVersion"), "611");
  EXPECT_EQ(Column(h, "SoftwareVersionMajor"), "9");
  EXPECT_EQ(Column(h, "RecoveryModel"), "SIMPLE");
  EXPECT_EQ(Column(h, "BackupTypeDescription"), "Database");

  const Answer f = Run("RESTORE FILELISTONLY FROM DISK = N'" + kVersionsBak + "'");
  EXPECT_EQ(f.ColumnNames(),
            (std::vector<std::string>{"LogicalName", "PhysicalName", "Type", "FileGroupName", "Size", "MaxSize",
                                      "FileId", "CreateLSN", "DropLSN", "UniqueId", "ReadOnlyLSN", "ReadWriteLSN",
                                      "BackupSizeInBytes", "SourceBlockSize", "FileGroupId", "LogGroupGUID",
                                      "DifferentialBaseLSN", "DifferentialBaseGUID", "IsReadOnly", "IsPresent"}));
  ASSERT_EQ(f.Result().rows.size(), 2u);
  EXPECT_EQ(Column(f, "FileId", 1) + Column(f, "Type", 1) + Column(f, "IsPresent", 1), "2L1");

  const Answer v = Run("RESTORE VERIFYONLY FROM DISK = N'" + kVersionsBak + "'");
  ASSERT_FALSE(v.failed());
  EXPECT_EQ(v.infos.at(0).text, "The backup set on file 1 is valid.");
  EXPECT_EQ(v.infos.at(0).number, 3262);
}

TEST_F(AdminBackupVersionsTest, VerifyOnlyRefusesADamagedOrMissingFile) {
  Backup();
  EXPECT_EQ(Run("RESTORE VERIFYONLY FROM DISK = N'" + kVersionsBak + "'").infos.at(0).text, "The backup set is valid.");
  std::string bytes = *ReadWholeFile(Files() + "Sklep.bak");
  bytes[bytes.size() / 2] ^= 0x20;
  WriteText(Files() + "Sklep.bak", bytes);
  const Answer damaged = Run("RESTORE VERIFYONLY FROM DISK = N'" + kVersionsBak + "'");
  ASSERT_EQ(damaged.errors.size(), 2u);
  EXPECT_EQ(damaged.errors[0].number, 3203);
  EXPECT_EQ(damaged.errors[1].text, "VERIFY DATABASE is terminating abnormally.");
  const Answer missing = Run("RESTORE VERIFYONLY FROM DISK = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Brak.bak'");
  ASSERT_EQ(missing.errors.size(), 2u);
  EXPECT_EQ(missing.errors[0].number, 3201);
  EXPECT_EQ(missing.errors[1].number, 3013);
}

TEST_F(AdminBackupVersionsTest, A2000DatabaseRestoredOn2005IsUpgradedAndKeepsLevel80) {
  Backup();
  Restart(DataSet2005());
  Pace();
  const Answer h = Run("RESTORE HEADERONLY FROM DISK = N'" + kVersionsBak + "'");
  EXPECT_EQ(Column(h, "DatabaseVersion") + " " + Column(h, "SoftwareVersionMajor") + " " +
                Column(h, "CompatibilityLevel"),
            "539 8 80");
  const Answer restored = RestoreCopy();
  ASSERT_FALSE(restored.failed()) << restored.ErrorText();
  EXPECT_EQ(restored.infos.at(0).text, "Converting database 'Kopia' from version 539 to the current version 611.");
  EXPECT_EQ(restored.infos.at(1).text, "Database 'Kopia' running the upgrade step from version 539 to version 551.");
  EXPECT_EQ(restored.infos.at(16).text, "Database 'Kopia' running the upgrade step from version 610 to version 611.");
  EXPECT_EQ(Run("select version, cmptlevel from master..sysdatabases where name = 'Kopia'").Cell(0, 0) + " " +
                Run("select cmptlevel from master..sysdatabases where name = 'Kopia'").Cell(),
            "611 80");
  EXPECT_EQ(Run("select count(*) from Kopia.dbo.Towary").Cell(), "2");
}

TEST_F(AdminBackupVersionsTest, A2005BackupIsListedButNotRestoredOn2000) {
  Restart(DataSet2005());
  Pace();
  Backup();
  Restart(kDataSet);
  Pace();
  EXPECT_EQ(Run("RESTORE HEADERONLY FROM DISK = N'" + kVersionsBak + "'").Cell(0, 10), "611");
  const Answer refused = RestoreCopy();
  ASSERT_EQ(refused.errors.size(), 2u);
  EXPECT_EQ(refused.errors[0].number, 3169);
  EXPECT_EQ(refused.errors[0].text,
            "The backed-up database has on-disk structure version 611. The server supports version 539 and cannot "
            "restore or upgrade this database.");
  EXPECT_EQ(refused.errors[1].text, "RESTORE DATABASE is terminating abnormally.");
  EXPECT_FALSE(std::filesystem::exists(Files() + "Kopia.mdf"));
  EXPECT_EQ(Run("select count(*) from master..sysdatabases where name = 'Kopia'").Cell(), "0");
}

}  // namespace
}  // namespace msde::admin_test
