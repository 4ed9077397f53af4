// Browsing the server's disk: xp_fileexist, xp_dirtree and xp_subdirs over the files directory,
// which is the server's data directory.
#include <sys/statvfs.h>

#include <filesystem>

#include "AdminFixture.h"
#include "engine/SimEngine.h"

namespace msde::admin_test {
namespace {

using AdminServerFilesTest = AdminTest;

const std::string kData = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data";

// "name/depth/file" per row of a directory tree answer.
std::vector<std::string> Tree(const Answer& a) {
  std::vector<std::string> rows;
  for (size_t r = 0; r < a.Result().rows.size(); ++r) {
    std::string row = a.Text(r, 0) + "/" + a.Text(r, 1);
    if (a.Result().columns.size() > 2) row += "/" + a.Text(r, 2);
    rows.push_back(row);
  }
  return rows;
}

TEST_F(AdminServerFilesTest, FileExistTellsFilesDirectoriesAndParents) {
  const Answer file = Run("xp_fileexist '" + kData + "\\Sklep2.mdf'");
  EXPECT_EQ(file.ColumnNames(), (std::vector<std::string>{"File Exists", "File is a Directory", "Parent Directory Exists"}));
  EXPECT_EQ(file.Text(0, 0) + file.Text(0, 1) + file.Text(0, 2), "101");
  // Names compare without regard to case, and either separator serves.
  const Answer folded = Run("xp_fileexist 'c:/program files/microsoft sql server/mssql/data/SKLEP2.MDF'");
  EXPECT_EQ(folded.Text(0, 0), "1");
  const Answer dir = Run("exec master..xp_fileexist 'C:\\Program Files'");
  EXPECT_EQ(dir.Text(0, 0) + dir.Text(0, 1) + dir.Text(0, 2), "011");
  const Answer missing = Run("xp_fileexist '" + kData + "\\Brak.mdf'");
  EXPECT_EQ(missing.Text(0, 0) + missing.Text(0, 1) + missing.Text(0, 2), "001");
  const Answer nowhere = Run("xp_fileexist 'D:\\Kopie\\Sklep2.mdf'");
  EXPECT_EQ(nowhere.Text(0, 0) + nowhere.Text(0, 1) + nowhere.Text(0, 2), "000");
  // A file has nothing below it.
  EXPECT_EQ(Run("xp_fileexist '" + kData + "\\Sklep2.mdf\\x'").Text(0, 0), "0");
}

TEST_F(AdminServerFilesTest, DirTreeWalksDepthFirstToTheDepthAsked) {
  std::filesystem::create_directories(Files() + "Archiwum/2006");
  WriteText(Files() + "Archiwum/Stary.mdf", "{}");
  WriteText(Files() + "Sklep2.mdf.tmp", "");  // a detach being written is not shown

  const Answer one = Run("xp_dirtree '" + kData + "', 1, 1");
  EXPECT_EQ(one.ColumnNames(), (std::vector<std::string>{"subdirectory", "depth", "file"}));
  EXPECT_EQ(Tree(one), (std::vector<std::string>{"Archiwum/1/0", "data.json/1/1", "Sklep2.mdf/1/1",
                                                 "Sklep2_log.ldf/1/1"}));
  const Answer all = Run("xp_dirtree '" + kData + "\\'");
  EXPECT_EQ(all.ColumnNames(), (std::vector<std::string>{"subdirectory", "depth"}));
  EXPECT_EQ(Tree(all), (std::vector<std::string>{"Archiwum/1", "2006/2"}));
  const Answer deep = Run("xp_dirtree '" + kData + "', 0, 1");
  EXPECT_EQ(Tree(deep), (std::vector<std::string>{"Archiwum/1/0", "2006/2/0", "Stary.mdf/2/1", "data.json/1/1",
                                                  "Sklep2.mdf/1/1", "Sklep2_log.ldf/1/1"}));
  // Above the data directory lies only the way down to it.
  EXPECT_EQ(Tree(Run("xp_dirtree 'C:\\', 1, 1")), (std::vector<std::string>{"Program Files/1/0"}));
  EXPECT_TRUE(Tree(Run("xp_dirtree 'E:\\', 1, 1")).empty());

  const Answer subdirs = Run("xp_subdirs '" + kData + "'");
  EXPECT_EQ(subdirs.ColumnNames(), std::vector<std::string>{"subdirectory"});
  EXPECT_EQ(subdirs.Text(0, 0), "Archiwum");
  EXPECT_EQ(subdirs.Result().rows.size(), 1u);
}

TEST_F(AdminServerFilesTest, FixedDrivesGiveTheFreeSpaceOfTheDirectoryBehindTheDataDrive) {
  const Answer a = Run("exec master.dbo.xp_fixeddrives");
  EXPECT_EQ(a.ColumnNames(), (std::vector<std::string>{"drive", "MB free"}));
  ASSERT_EQ(a.Result().rows.size(), 1u);
  EXPECT_EQ(a.Text(0, 0), "C");
  struct statvfs disk {};
  ASSERT_EQ(::statvfs(Files().c_str(), &disk), 0);
  const double expected = static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize) / 1048576.0;
  // Other programs write to the same disk meanwhile.
  EXPECT_NEAR(std::stod(a.Text(0, 1)), expected, 256.0 + expected / 50);
}

TEST_F(AdminServerFilesTest, AShareIsTheDirectoryBehindItsUncName) {
  const std::string shared = Files() + "nas";
  std::filesystem::create_directories(shared + "/2026");
  WriteText(shared + "/Sklep.bak", "");
  {
    auto* sim = dynamic_cast<SimEngine*>(engine_.get());
    std::lock_guard<std::mutex> guard(sim->Mutex());
    sim->State().shares.push_back({"\\\\NAS\\kopie", shared});
  }
  auto exists = [&](const std::string& path) {
    const Answer a = Run("xp_fileexist '" + path + "'");
    return a.Text(0, 0) + a.Text(0, 1) + a.Text(0, 2);
  };
  EXPECT_EQ(exists("\\\\NAS\\kopie\\Sklep.bak"), "101");
  EXPECT_EQ(exists("//nas/KOPIE/sklep.BAK"), "101");
  EXPECT_EQ(exists("\\\\NAS\\kopie"), "011");
  EXPECT_EQ(exists("\\\\NAS\\kopie\\Brak.bak"), "001");
  EXPECT_EQ(exists("\\\\NAS\\inne\\Sklep.bak"), "000");
  // The same names without the machine's "\\\\" are no share.
  EXPECT_EQ(exists("C:\\NAS\\kopie\\Sklep.bak"), "000");
  EXPECT_EQ(Tree(Run("xp_dirtree '\\\\NAS\\kopie', 0, 1")),
            (std::vector<std::string>{"2026/1/0", "Sklep.bak/1/1"}));

  // A backup written there is a file of the directory, and reads back from it.
  ASSERT_FALSE(Run("BACKUP DATABASE Sklep TO DISK = '\\\\NAS\\kopie\\2026\\Sklep.bak' WITH INIT").failed());
  EXPECT_TRUE(std::filesystem::exists(shared + "/2026/Sklep.bak"));
  EXPECT_EQ(Run("RESTORE HEADERONLY FROM DISK = '\\\\nas\\kopie\\2026\\SKLEP.BAK'").Text(0, 9), "Sklep");
  EXPECT_EQ(Run("BACKUP DATABASE Sklep TO DISK = '\\\\NAS\\brak\\Sklep.bak'").ErrorNumber(), 3201);
}

}  // namespace
}  // namespace msde::admin_test
