// Attaching and detaching database files, and the set-up the tool runs after an attach.
#include <fstream>
#include <sstream>

#include "AdminFixture.h"

namespace msde::admin_test {
namespace {

using AdminAttachTest = AdminTest;

std::string ReadText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST_F(AdminAttachTest, AttachWithLogThenTheToolsSetUp) {
  ASSERT_FALSE(Run("use master").failed());
  const Answer attach = Run(
      "sp_attach_db @dbname = N'Nowy',@filename1 = N'C:\\Program Files\\Microsoft SQL "
      "Server\\MSSQL\\Data\\Sklep2.mdf',@filename2 = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2_log.ldf'");
  ASSERT_FALSE(attach.failed()) << attach.errors.at(0).text;
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Nowy'").Cell(), "7");
  // Its user ewa has no login on this server until the set-up ties it to one.
  for (const char* sql :
       {"sp_addlogin 'Nowy', 'ABCDEFGH', 'Nowy'", "use Nowy",
        "sp_change_users_login 'update_one','ewa','Nowy'"})
    ASSERT_FALSE(Run(sql).failed()) << sql;
  auto tovinex = Connect("Nowy", "ABCDEFGH");
  EXPECT_EQ(Run(*tovinex, "use Nowy select Numer from ewa.Faktury").Cell(), "7");
}

TEST_F(AdminAttachTest, AttachRefusals) {
  Answer taken = Run("sp_attach_single_file_db 'Sklep','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf'");
  ASSERT_TRUE(taken.HasError(1801));
  EXPECT_EQ(taken.errors[0].text, "Database 'Sklep' already exists.");

  const Answer missing = Run("sp_attach_single_file_db 'Inny','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Brak.mdf'");
  EXPECT_TRUE(missing.HasError(5105));
  EXPECT_TRUE(missing.HasError(1813));
  EXPECT_TRUE(Run("sp_attach_db @dbname = N'Inny',@filename1 = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf',"
                  "@filename2 = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Brak_log.ldf'")
                  .HasError(5105));
  WriteText(Files() + "Zepsuty.mdf", "{ nie json");
  EXPECT_TRUE(Run("sp_attach_single_file_db 'Inny','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Zepsuty.mdf'").HasError(5172));
  WriteText(Files() + "Obcy_log.ldf", R"({"log_of": "Inna"})");
  EXPECT_TRUE(Run("sp_attach_db 'Inny','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Obcy_log.ldf'").HasError(5173));

  ASSERT_FALSE(Run("sp_attach_single_file_db 'Inny','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf'").failed());
  EXPECT_TRUE(Run("sp_attach_single_file_db 'Trzeci','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf'").HasError(5120));
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Trzeci'").results.at(0).rows.size(), 0u);
}

TEST_F(AdminAttachTest, SingleFileAttachMakesANewLogWhenItsOwnIsMissing) {
  std::remove((Files() + "Sklep2_log.ldf").c_str());
  const Answer a = Run("sp_attach_single_file_db 'Sklep2','C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep2.mdf'");
  ASSERT_FALSE(a.failed());
  EXPECT_TRUE(a.HasInfo(5105));
  EXPECT_NE(ReadText(Files() + "Sklep2_log.LDF").find("Sklep2"), std::string::npos);
}

TEST_F(AdminAttachTest, DetachWritesTheDatabaseBackForTheNextAttach) {
  ASSERT_FALSE(Run("use Sklep exec sp_changeobjectowner 'jan.Klienci', 'dbo'").failed());
  auto jan = Connect("jan", "tajne");  // in its default database, Sklep
  EXPECT_TRUE(Run("use master exec sp_detach_db 'Sklep'").HasError(3703));
  ASSERT_FALSE(Run(*jan, "use master").failed());
  ASSERT_FALSE(Run("sp_detach_db 'Sklep'").failed());
  EXPECT_EQ(Run("SELECT dbid from sysdatabases where name='Sklep'").results.at(0).rows.size(), 0u);
  EXPECT_NE(ReadText(Files() + "Sklep.mdf").find("Klienci"), std::string::npos);
  EXPECT_NE(ReadText(Files() + "Sklep_log.ldf").find("log_of"), std::string::npos);

  const Answer gone = Run("sp_detach_db 'Sklep'");
  ASSERT_TRUE(gone.failed());
  EXPECT_NE(gone.errors[0].text.find("Cannot drop the database"), std::string::npos);
  EXPECT_NE(gone.errors[0].text.find("because it does not exist"), std::string::npos);
  EXPECT_TRUE(Run("sp_detach_db 'master'").HasError(7940));

  ASSERT_FALSE(Run("sp_attach_db @dbname = N'Sklep',@filename1 = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep.mdf',@filename2 = "
                   "N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Sklep_log.ldf'")
                   .failed());
  EXPECT_EQ(Run("use Sklep select Nazwisko from dbo.Klienci").Cell(), "Kowalski");
}

}  // namespace
}  // namespace msde::admin_test
