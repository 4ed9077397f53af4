// BACKUP DATABASE and RESTORE against the engine: the messages and result layouts clients
// read, backup sets appended and overwritten, every refusal leaving the server as it was,
// and a long backup or restore that another connection sees and an attention ends.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "AdminFixture.h"
#include "engine/SimEngine.h"

namespace msde::admin_test {
namespace {

const char* kBak = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Sklep.bak";
const char* kData = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\";

class AdminBackupTest : public AdminTest {
 public:
  AdminBackupTest() { SetPace(200); }

  void SetPace(int64_t microseconds) {
    auto* sim = dynamic_cast<SimEngine*>(engine_.get());
    std::lock_guard<std::mutex> guard(sim->Mutex());
    sim->State().server.backup_page_microseconds = microseconds;
  }
  // Runs `change` on the server's state, as another program changing a row would.
  template <typename F>
  void Change(F change) {
    auto* sim = dynamic_cast<SimEngine*>(engine_.get());
    std::lock_guard<std::mutex> guard(sim->Mutex());
    change(sim->State());
  }

  Answer Backup(const std::string& options = "WITH INIT") {
    return Run(std::string("BACKUP DATABASE Sklep TO DISK = N'") + kBak + "' " + options);
  }
  std::string BakFile() const { return Files() + "Sklep.bak"; }
  std::string Towar(size_t row) { return Run("select Nazwa from Sklep.dbo.Towary").Cell(row); }
  static std::vector<std::string> Texts(const std::vector<Message>& messages) {
    std::vector<std::string> texts;
    for (const Message& m : messages) texts.push_back(m.text);
    return texts;
  }
};

TEST_F(AdminBackupTest, BackupWithStatsReportsProgressThenPagesAndFileNumber) {
  const Answer a = Backup("WITH INIT, NAME = N'Sklep kopia', DESCRIPTION = N'przed inwentaryzacją', STATS = 10");
  ASSERT_FALSE(a.failed()) << a.errors.at(0).text;
  const std::vector<std::string> texts = Texts(a.infos);
  ASSERT_EQ(texts.size(), 13u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(texts[i], std::to_string((i + 1) * 10) + " percent backed up.");
  EXPECT_EQ(texts[9], "Processed 73 pages for database 'Sklep', file 'Sklep_Data' on file 1.");
  EXPECT_EQ(texts[10], "100 percent backed up.");
  EXPECT_EQ(texts[11], "Processed 1 pages for database 'Sklep', file 'Sklep_Log' on file 1.");
  EXPECT_THAT(texts[12], ::testing::MatchesRegex(
                             "BACKUP DATABASE successfully processed 74 pages in [0-9]+\\.[0-9]{3} "
                             "seconds \\([0-9]+\\.[0-9]{3} MB/sec\\)\\."));
  EXPECT_EQ(a.infos[0].number, 3211);
  EXPECT_EQ(a.infos[9].number, 4035);
  EXPECT_EQ(a.infos[12].number, 3014);
  EXPECT_FALSE(std::filesystem::exists(BakFile() + ".tmp"));

  // Without STATS only the closing messages come.
  const Answer quiet = Backup("WITH NOINIT");
  EXPECT_EQ(Texts(quiet.infos).size(), 3u);
  EXPECT_EQ(quiet.infos.at(0).text, "Processed 73 pages for database 'Sklep', file 'Sklep_Data' on file 2.");
}

TEST_F(AdminBackupTest, NoInitAppendsSetsAndInitStartsTheFileAnew) {
  ASSERT_FALSE(Backup("WITH INIT, NAME = N'pierwsza'").failed());
  ASSERT_FALSE(Backup("WITH NOINIT, NAME = N'druga', DESCRIPTION = N'opis'").failed());
  Answer h = Run(std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "'");
  ASSERT_FALSE(h.failed());
  EXPECT_EQ(h.ColumnNames(),
            (std::vector<std::string>{
                "BackupName", "BackupDescription", "BackupType", "ExpirationDate", "Compressed",
                "Position", "DeviceType", "UserName", "ServerName", "DatabaseName",
                "DatabaseVersion", "DatabaseCreationDate", "BackupSize", "FirstLsn", "LastLsn",
                "CheckpointLsn", "DifferentialBaseLsn", "BackupStartDate", "BackupFinishDate",
                "SortOrder", "CodePage", "UnicodeLocaleId", "UnicodeComparisonStyle",
                "CompatibilityLevel", "SoftwareVendorId", "SoftwareVersionMajor",
                "SoftwareVersionMinor", "SoftwareVersionBuild", "MachineName", "Flags",
                "BindingID", "RecoveryForkID", "Collation"}));
  const ResultSet& sets = h.Result();
  ASSERT_EQ(sets.rows.size(), 2u);
  EXPECT_EQ(h.Cell(0, 0), "pierwsza");
  EXPECT_TRUE(h.IsNullAt(0, 1));
  EXPECT_EQ(h.Cell(1, 0), "druga");
  EXPECT_EQ(h.Cell(1, 1), "opis");
  EXPECT_EQ(h.Cell(1, 5), "2");   // Position
  EXPECT_EQ(h.Cell(1, 9), "Sklep");
  EXPECT_EQ(h.Cell(1, 8), "KASA");
  EXPECT_EQ(h.Cell(1, 12), std::to_string((74 + 16) * 8192));
  EXPECT_EQ(sets.columns[12].type, SqlType::Numeric);
  EXPECT_EQ(sets.columns[30].type, SqlType::UniqueIdentifier);
  EXPECT_EQ(Run(std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "' WITH FILE = 2").Result().rows.size(), 1u);

  Answer files = Run(std::string("RESTORE FILELISTONLY FROM DISK = N'") + kBak + "' WITH FILE = 2");
  EXPECT_EQ(files.ColumnNames(), (std::vector<std::string>{"LogicalName", "PhysicalName", "Type",
                                                           "FileGroupName", "Size", "MaxSize"}));
  ASSERT_EQ(files.Result().rows.size(), 2u);
  EXPECT_EQ(files.Cell(0, 1), "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep.mdf");
  EXPECT_EQ(files.Cell(0, 2), "D");
  EXPECT_EQ(files.Cell(0, 3), "PRIMARY");
  EXPECT_EQ(files.Cell(1, 2), "L");
  EXPECT_TRUE(files.IsNullAt(1, 3));
  EXPECT_EQ(files.Cell(1, 4), std::to_string(128 * 8192));

  ASSERT_FALSE(Backup("WITH INIT, NAME = N'trzecia'").failed());
  h = Run(std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "'");
  ASSERT_EQ(h.Result().rows.size(), 1u);
  EXPECT_EQ(h.Cell(0, 0), "trzecia");
  const Answer beyond = Run(std::string("RESTORE FILELISTONLY FROM DISK = N'") + kBak + "' WITH FILE = 2");
  EXPECT_TRUE(beyond.HasError(4038));
  EXPECT_EQ(beyond.errors.back().text, "RESTORE FILELISTONLY is terminating abnormally.");
}

TEST_F(AdminBackupTest, RestoreOverTheDatabaseBringsItsRowsBack) {
  ASSERT_FALSE(Backup().failed());
  Change([](Model& m) { m.FindDatabase("Sklep")->FindTable("dbo", "Towary")->rows[0][0] = std::string("Bułka"); });
  ASSERT_EQ(Towar(0), "Bułka");
  const Answer r = Run(std::string("RESTORE DATABASE Sklep FROM DISK = N'") + kBak + "' WITH REPLACE, STATS = 50");
  ASSERT_FALSE(r.failed()) << r.errors.at(0).text;
  EXPECT_EQ(Texts(r.infos).at(0), "50 percent restored.");
  EXPECT_EQ(r.infos.at(1).text, "100 percent restored.");
  EXPECT_EQ(r.infos.at(2).text, "Processed 73 pages for database 'Sklep', file 'Sklep_Data' on file 1.");
  EXPECT_EQ(r.infos.at(3).text, "Processed 1 pages for database 'Sklep', file 'Sklep_Log' on file 1.");
  EXPECT_EQ(r.infos.at(4).text.rfind("RESTORE DATABASE successfully processed 74 pages in ", 0), 0u);
  EXPECT_EQ(Towar(0), "Chleb");
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Sklep'").Cell(), "5");
  // The database's users keep their logins on the server they were backed up on.
  auto jan = Connect("jan", "tajne");
  EXPECT_EQ(Run(*jan, "select Nazwisko from jan.Klienci").Cell(), "Kowalski");
}

TEST_F(AdminBackupTest, EveryBackupIsListedInMsdbWithWhatItHolds) {
  EXPECT_TRUE(Run("select * from msdb..backupset").Result().rows.empty());
  ASSERT_FALSE(Run("update Sklep.dbo.Towary set Nazwa = 'Bułka' where Nazwa = 'Chleb'").failed());
  ASSERT_FALSE(Backup("WITH INIT, NAME = 'Sklep pełna'").failed());
  ASSERT_FALSE(Backup("WITH NOINIT").failed());
  const Answer sets = Run("select database_name, type, position, name, user_name, backup_finish_date "
                          "from msdb..backupset order by backup_set_id");
  ASSERT_EQ(sets.Result().rows.size(), 2u);
  EXPECT_EQ(sets.Cell(0, 0), "Sklep");
  EXPECT_EQ(sets.Cell(0, 1), "D");
  EXPECT_EQ(sets.Cell(1, 2), "2");
  EXPECT_EQ(sets.Cell(0, 3), "Sklep pełna");
  EXPECT_EQ(sets.Cell(0, 4), "sa");
  EXPECT_FALSE(sets.IsNullAt(1, 5));
  EXPECT_EQ(Run("select physical_device_name from msdb.dbo.backupmediafamily where media_set_id = 2").Cell(), kBak);
  EXPECT_EQ(Run("select count(*) from Sklep..backupset").ErrorNumber(), 208);
  // The change made before the backup comes back with it.
  ASSERT_FALSE(Run("delete from Sklep.dbo.Towary").failed());
  ASSERT_FALSE(Run(std::string("RESTORE DATABASE Sklep FROM DISK = N'") + kBak + "' WITH REPLACE").failed());
  EXPECT_EQ(Towar(0), "Bułka");
}

TEST_F(AdminBackupTest, RestoreUnderANewNameNeedsItsFilesMovedAndNeverOverAnotherFile) {
  ASSERT_FALSE(Backup().failed());
  const std::string from = std::string(" FROM DISK = N'") + kBak + "'";
  const Answer clash = Run("RESTORE DATABASE Sklep_kopia" + from);
  ASSERT_TRUE(clash.failed());
  EXPECT_EQ(clash.errors.at(0).number, 1834);
  EXPECT_EQ(clash.errors.at(0).text,
            "The file 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep.mdf' cannot be overwritten.  It is being used by "
            "database 'Sklep'.");
  EXPECT_TRUE(clash.HasError(3156));
  EXPECT_TRUE(clash.HasError(3119));
  EXPECT_EQ(clash.errors.back().number, 3013);
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Sklep_kopia'").Result().rows.size(), 0u);

  // Over a file that lies on the disk only with REPLACE.
  const std::string onto_file = " WITH MOVE 'Sklep_Data' TO '" + std::string(kData) + "Sklep2.mdf', MOVE 'Sklep_Log' TO '" +
                                std::string(kData) + "Sklep_kopia_log.ldf'";
  EXPECT_TRUE(Run("RESTORE DATABASE Sklep_kopia" + from + onto_file).HasError(3142));
  // Into a directory the server does not have.
  const Answer nowhere = Run("RESTORE DATABASE Sklep_kopia" + from +
                             " WITH MOVE 'Sklep_Data' TO 'D:\\Dane\\Sklep_kopia.mdf', MOVE 'Sklep_Log' TO '" +
                             std::string(kData) + "Sklep_kopia_log.ldf'");
  ASSERT_EQ(nowhere.ErrorNumber(), 5123);
  EXPECT_EQ(nowhere.ErrorText(), "CREATE FILE encountered operating system error 3(The system cannot find the path "
                                 "specified.) while attempting to open or create the physical file "
                                 "'D:\\Dane\\Sklep_kopia.mdf'.");
  EXPECT_EQ(nowhere.errors.back().number, 3013);
  EXPECT_TRUE(Run("RESTORE DATABASE Sklep_kopia" + from + " WITH MOVE 'Brak' TO 'D:\\x.mdf'").HasError(3234));

  const Answer moved = Run("RESTORE DATABASE Sklep_kopia" + from +
                           " WITH MOVE 'Sklep_Data' TO 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep_kopia.mdf', "
                           "MOVE 'Sklep_Log' TO 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep_kopia_log.ldf'");
  ASSERT_FALSE(moved.failed()) << moved.errors.at(0).text;
  EXPECT_EQ(moved.infos.at(0).text,
            "Processed 73 pages for database 'Sklep_kopia', file 'Sklep_Data' on file 1.");
  EXPECT_EQ(TrimRight(Run("use Sklep_kopia select filename from sysfiles where fileid = 1").Cell()),
            "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep_kopia.mdf");
  ASSERT_FALSE(Run("use master").failed());
  EXPECT_EQ(Run("select Nazwa from Sklep_kopia.dbo.Towary").Cell(1), "Masło");
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Sklep_kopia'").Cell(), "7");
  // A name that holds another database's backup needs REPLACE.
  const Answer taken = Run("RESTORE DATABASE Uszkodzona" + from);
  EXPECT_EQ(taken.ErrorNumber(), 3154);
  EXPECT_EQ(taken.ErrorText(), "The backup set holds a backup of a database other than the existing "
                               "'Uszkodzona' database.");
}

TEST_F(AdminBackupTest, ServerPathsNameRealDirectoriesOfTheFilesDirectory) {
  std::filesystem::create_directory(Files() + "Kopie");
  const std::string below = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\kopie\\Sklep.bak";
  ASSERT_FALSE(Run("BACKUP DATABASE Sklep TO DISK = '" + below + "'").failed());
  EXPECT_TRUE(std::filesystem::exists(Files() + "Kopie/Sklep.bak"));
  EXPECT_FALSE(std::filesystem::exists(BakFile()));
  EXPECT_EQ(Run("exec master..xp_fileexist '" + below + "'").Cell(0, 0), "1");
  EXPECT_EQ(Run("RESTORE HEADERONLY FROM DISK = '" + below + "'").Result().rows.size(), 1u);
  // A directory the server does not have: the device cannot be opened, and nothing is written.
  for (const std::string& missing : {std::string("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Brak\\Sklep.bak"),
                                    std::string("D:\\Kopie\\Sklep.bak")}) {
    const Answer refused = Run("BACKUP DATABASE Sklep TO DISK = '" + missing + "'");
    ASSERT_EQ(refused.errors.size(), 2u) << missing;
    EXPECT_EQ(refused.errors[0].text, "Cannot open backup device '" + missing +
                                          "'. Device error or device off line. See the SQL Server error log for more details.");
    EXPECT_EQ(refused.errors[1].text, "BACKUP DATABASE is terminating abnormally.");
  }
  EXPECT_EQ(Run("select count(*) from msdb..backupset").Cell(), "1");
  // Attaching from a subdirectory of the data directory, and from one that does not exist.
  std::filesystem::create_directory(Files() + "Stare");
  std::filesystem::rename(Files() + "Sklep2.mdf", Files() + "Stare/Sklep2.mdf");
  EXPECT_TRUE(Run(std::string("sp_attach_single_file_db 'Stary', '") + kData + "Sklep2.mdf'").HasError(5105));
  EXPECT_FALSE(Run(std::string("sp_attach_single_file_db 'Stary', '") + kData + "Stare\\Sklep2.mdf'").failed());
  EXPECT_EQ(TrimRight(Run("use Stary select filename from sysfiles where fileid = 1").Cell()),
            std::string(kData) + "Stare\\Sklep2.mdf");
}

TEST_F(AdminBackupTest, RestoreWaitsForExclusiveAccess) {
  ASSERT_FALSE(Backup().failed());
  auto till = Connect("jan", "tajne");  // in its default database, Sklep
  const std::string restore = std::string("RESTORE DATABASE Sklep FROM DISK = N'") + kBak + "' WITH REPLACE";
  const Answer refused = Run(restore);
  EXPECT_EQ(refused.ErrorNumber(), 3101);
  EXPECT_EQ(refused.ErrorText(), "Exclusive access could not be obtained because the database is in use.");
  EXPECT_EQ(refused.errors.back().text, "RESTORE DATABASE is terminating abnormally.");
  EXPECT_EQ(Run("use Sklep " + restore).ErrorNumber(), 3101)
      << "the restoring connection's own use counts";
  ASSERT_FALSE(Run("use master").failed());
  ASSERT_FALSE(Run(*till, "use master").failed());
  EXPECT_FALSE(Run(restore).failed());
}

TEST_F(AdminBackupTest, MissingAndDamagedFilesAreRefusedWithNothingChanged) {
  const Answer missing = Run("RESTORE HEADERONLY FROM DISK = 'C:\\Kopie\\Brak.bak'");
  EXPECT_EQ(missing.ErrorNumber(), 3201);
  EXPECT_EQ(missing.ErrorText(), "Cannot open backup device 'C:\\Kopie\\Brak.bak'. Device error or "
                                 "device off line. See the SQL Server error log for more details.");
  EXPECT_EQ(Run("BACKUP DATABASE Brak TO DISK = 'x.bak'").ErrorNumber(), 911);
  EXPECT_EQ(Run("BACKUP DATABASE Sklep TO DISK = 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep.mdf'").ErrorNumber(), 3201)
      << "a file of an attached database is in use";

  ASSERT_FALSE(Backup().failed());
  ASSERT_FALSE(Backup("WITH NOINIT").failed());
  std::string bytes;
  {
    std::stringstream text;
    text << std::ifstream(BakFile(), std::ios::binary).rdbuf();
    bytes = text.str();
  }
  Change([](Model& m) { m.FindDatabase("Sklep")->FindTable("dbo", "Towary")->rows[0][0] = std::string("Bułka"); });
  const std::string restore = std::string("RESTORE DATABASE Sklep FROM DISK = N'") + kBak + "' WITH REPLACE, FILE = 2";
  const std::string verify = std::string("RESTORE VERIFYONLY FROM DISK = N'") + kBak + "'";
  const Answer valid = Run(verify);
  EXPECT_EQ(valid.infos.at(0).text, "The backup set is valid.");

  // One changed byte in the second set's rows.
  std::string changed = bytes;
  changed[changed.rfind("Chleb")] = 'G';
  WriteText(BakFile(), changed);
  const Answer checksum = Run(restore);
  EXPECT_EQ(checksum.ErrorNumber(), 3203);
  EXPECT_EQ(Towar(0), "Bułka");
  EXPECT_EQ(Run(verify).errors.back().text, "VERIFY DATABASE is terminating abnormally.");
  // Cut short, and no backup at all.
  WriteText(BakFile(), bytes.substr(0, bytes.size() - 40));
  EXPECT_EQ(Run(restore).ErrorNumber(), 3241);
  EXPECT_TRUE(Run(std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "'").HasError(3241));
  EXPECT_EQ(Run("RESTORE DATABASE Sklep FROM DISK = '" + std::string(kData) + "Sklep2.mdf' WITH REPLACE").ErrorNumber(), 3241);
  // Appending to a damaged file would bury the sets behind it: refused as well.
  EXPECT_EQ(Backup("WITH NOINIT").ErrorNumber(), 3241);
  EXPECT_EQ(Towar(0), "Bułka");
  EXPECT_EQ(Run("select DATABASEPROPERTYEX('Sklep', 'Status')").Cell(), "ONLINE");
  // INIT overwrites what is there.
  EXPECT_FALSE(Backup("WITH INIT").failed());
  EXPECT_FALSE(Run(restore.substr(0, restore.find(", FILE"))).failed());
}

TEST_F(AdminBackupTest, ALongBackupIsSeenBusyAndCancelledLeavesNoFile) {
  SetPace(40000);  // about three seconds for Sklep, ended long before
  auto other = Connect("sa", "");
  Answer running;
  std::thread backup([&] { running = Backup("WITH INIT, STATS = 10"); });
  const std::string cmd = "select cmd from sysprocesses where spid = " + std::to_string(sa_->spid);
  for (int i = 0; i < 500 && TrimRight(Run(*other, cmd).Cell()) != "BACKUP DATABASE"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(TrimRight(Run(*other, cmd).Cell()), "BACKUP DATABASE");
  // The file being written is in use for everyone else.
  EXPECT_EQ(Run(*other, std::string("BACKUP DATABASE Sklep TO DISK = N'") + kBak + "'").ErrorNumber(), 3201);
  EXPECT_EQ(Run(*other, std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "'").ErrorNumber(), 3201);
  sa_->cancel_requested = true;
  backup.join();
  sa_->cancel_requested = false;
  EXPECT_TRUE(running.errors.empty());
  EXPECT_EQ(running.dones.size(), 0u) << "the batch ended at the attention";
  EXPECT_FALSE(std::filesystem::exists(BakFile()));
  EXPECT_FALSE(std::filesystem::exists(BakFile() + ".tmp"));
  EXPECT_EQ(TrimRight(Run(*other, cmd).Cell()), "AWAITING COMMAND");
  EXPECT_EQ(Run(*other, std::string("RESTORE HEADERONLY FROM DISK = N'") + kBak + "'").ErrorNumber(), 3201);
}

TEST_F(AdminBackupTest, ACancelledRestoreLeavesTheDatabaseAsItWas) {
  ASSERT_FALSE(Backup().failed());
  Change([](Model& m) { m.FindDatabase("Sklep")->FindTable("dbo", "Towary")->rows[0][0] = std::string("Bułka"); });
  SetPace(40000);
  auto other = Connect("sa", "");
  for (const std::string target : {"Sklep", "Sklep_nowa"}) {
    const std::string moves = target == "Sklep" ? " WITH REPLACE"
                                                : " WITH MOVE 'Sklep_Data' TO '" + std::string(kData) + "n.mdf', MOVE 'Sklep_Log' TO '" +
                                                      std::string(kData) + "n.ldf'";
    std::thread restore([&] { Run("RESTORE DATABASE " + target + " FROM DISK = N'" + kBak + "'" + moves); });
    const std::string state = "select DATABASEPROPERTYEX('" + target + "', 'Status')";
    for (int i = 0; i < 500 && Run(*other, state).Cell() != "RESTORING"; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Run(*other, state).Cell(), "RESTORING") << target;
    EXPECT_EQ(Run(*other, "use " + target).ErrorNumber(), 927) << target;
    sa_->cancel_requested = true;
    restore.join();
    sa_->cancel_requested = false;
  }
  EXPECT_EQ(Towar(0), "Bułka");
  EXPECT_EQ(Run("select DATABASEPROPERTYEX('Sklep', 'Status')").Cell(), "ONLINE");
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Sklep_nowa'").Result().rows.size(), 0u);
}

TEST_F(AdminBackupTest, TheServerNamesItsBackupAndDataDirectories) {
  const Answer backup = Run("EXEC master.dbo.xp_instance_regread N'HKEY_LOCAL_MACHINE', "
                            "N'SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer', N'BackupDirectory'");
  EXPECT_EQ(backup.ColumnNames(), (std::vector<std::string>{"Value", "Data"}));
  EXPECT_EQ(backup.Cell(0, 1), "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP");
  EXPECT_EQ(Run("xp_regread 'HKEY_LOCAL_MACHINE', 'SOFTWARE\\Microsoft\\MSSQLServer\\Setup', 'SQLDataRoot'").Cell(0, 1),
            "C:\\Program Files\\Microsoft SQL Server\\MSSQL");
  EXPECT_EQ(Run("xp_regread 'HKEY_LOCAL_MACHINE', 'SOFTWARE\\Microsoft\\MSSQLServer\\Setup', 'Brak'").Result().rows.size(), 0u);

  // A backup made there is found there by the server's file browsing.
  ASSERT_FALSE(Backup().failed());
  EXPECT_EQ(Run(std::string("xp_fileexist '") + kBak + "'").Cell(), "1");
  const Answer up = Run("xp_dirtree 'C:\\Program Files\\Microsoft SQL Server\\MSSQL', 1, 1");
  ASSERT_EQ(up.Result().rows.size(), 2u);
  EXPECT_EQ(up.Cell(0) + "," + up.Cell(1), "BACKUP,Data");
}

}  // namespace
}  // namespace msde::admin_test
