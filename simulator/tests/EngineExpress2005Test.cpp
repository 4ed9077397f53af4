// The SQL Server 2005 Express personality of the 2005 demo data set: what the server says of
// itself, the 2005 layouts and texts where they differ from 2000's, and the catalogue views.
#include <fstream>

#include <nlohmann/json.hpp>

#include "EngineTestSupport.h"
#include "testkit/TempDir.h"

namespace msde::engine_test {
namespace {

class EngineExpress2005 : public EngineTest {
 protected:
  void SetUp() override {
    engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + "/demo2005.json", std::string(MSDE_DATA_DIR) + "/files");
    sa_ = Connect("sa", "");
  }
};

// The demo's till of Sklep Wschód has a login named with Polish letters, on both servers.
TEST_F(EngineTest, TheDemosPolishNamedTillLoginLogsInToItsShop) {
  for (const char* data_set : {"/demo.json", "/demo2005.json"}) {
    engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + data_set, std::string(MSDE_DATA_DIR) + "/files");
    auto till = Connect("kasa Wschód", "żółć1");
    ASSERT_TRUE(till) << data_set;
    EXPECT_EQ(Run(*till, "select db_name(), suser_sname(), user_name()").Text(0, 0), "Sklep Wschód") << data_set;
    EXPECT_EQ(Run(*till, "select suser_sname(), user_name()").Text(0, 1), "kasa Wschód") << data_set;
    engine_->Logout(*till);
    sessions_.clear();
  }
}

TEST_F(EngineExpress2005, TheServerDescribesItselfAsExpress) {
  const Answer a = Run("select @@VERSION, SERVERPROPERTY('Edition'), SERVERPROPERTY('ProductVersion'), "
                       "SERVERPROPERTY('ProductLevel'), SERVERPROPERTY('EngineEdition'), @@SERVERNAME, "
                       "@@MICROSOFTVERSION / 16777216");
  EXPECT_EQ(a.Text(0, 0).rfind("Microsoft SQL Server 2005 - 9.00.3042.00 (Intel X86)", 0), 0u) << a.Text(0, 0);
  EXPECT_NE(a.Text(0, 0).find("Express Edition on Windows NT"), std::string::npos);
  EXPECT_EQ(a.Text(0, 1), "Express Edition");
  EXPECT_EQ(a.Text(0, 2), "9.00.3042.00");
  EXPECT_EQ(a.Text(0, 3), "SP2");
  EXPECT_EQ(a.Text(0, 4), "4");
  EXPECT_EQ(a.Text(0, 5), "SKLEP-SERWER\\SQLEXPRESS");
  EXPECT_EQ(a.Text(0, 6), "9");
  EXPECT_EQ(TrimRight(Run("select filename from master..sysaltfiles where name = 'Sklep_Data'").Text(0, 0)),
            "C:\\Program Files\\Microsoft SQL Server\\MSSQL.1\\MSSQL\\Data\\Sklep_Data.MDF");
  // Express's configuration: user instances, shown without the advanced options.
  const Answer option = Run("sp_configure 'user instances enabled'");
  EXPECT_EQ(option.Text(0, 0), "user instances enabled");
  EXPECT_EQ(option.Text(0, 4), "1");
}

TEST_F(EngineExpress2005, ProceduresAndMessagesTakeTheir2005Forms) {
  Run("use Sklep");
  EXPECT_EQ(Run("sp_helpuser").ColumnNames(), (std::vector<std::string>{"UserName", "RoleName", "LoginName", "DefDBName",
                                                                        "DefSchemaName", "UserID", "SID"}));
  const Answer user = Run("sp_helpuser 'kasa1'");
  EXPECT_EQ(user.Text(0, 4), "dbo");
  EXPECT_EQ(user.Text(0, 3), "Sklep");
  EXPECT_EQ(Run("sp_who2").ColumnNames().back(), "REQUESTID");
  const Answer syntax = Run("select from");
  EXPECT_EQ(syntax.ErrorNumber(), 102);
  EXPECT_EQ(syntax.ErrorText(), "Incorrect syntax near 'from'.");
  EXPECT_EQ(Run("insert Kasjerzy (IdKasjera) values (1)").ErrorText(),
            "Violation of PRIMARY KEY constraint 'PK_Kasjerzy'. Cannot insert duplicate key in object 'dbo.Kasjerzy'.");
  auto manager = Connect("kierownik", "", "Sklep");
  EXPECT_EQ(Run(*manager, "delete from Towary").ErrorText(),
            "The DELETE permission was denied on the object 'Towary', database 'Sklep', schema 'dbo'.");
  EXPECT_EQ(Run("backup database Sklep to disk = 'D:\\Kopie\\Sklep.bak'").ErrorText(),
            "Cannot open backup device 'D:\\Kopie\\Sklep.bak'. Operating system error 3(The system cannot find the "
            "path specified.).");
  EXPECT_FALSE(Connect("sa", "", "Archiwum2006"));
  EXPECT_EQ(last_login_errors_.back().text, "Cannot open database \"Archiwum2006\" requested by the login. The login failed.");
}

TEST_F(EngineExpress2005, CatalogueViewsDescribeDatabasesFilesAndPrincipals) {
  const Answer dbs = Run("select name, state_desc, recovery_model_desc, compatibility_level from sys.databases "
                         "where database_id >= 5 order by database_id");
  ASSERT_GE(dbs.Result().rows.size(), 5u);
  EXPECT_EQ(dbs.Text(0, 0), "Sklep");
  EXPECT_EQ(dbs.Text(0, 2), "SIMPLE");
  EXPECT_EQ(dbs.Text(1, 2), "FULL");
  EXPECT_EQ(dbs.Text(3, 1), "OFFLINE");
  EXPECT_EQ(dbs.Text(0, 3), "80");
  const Answer files = Run("select name, type_desc, size from Hurtownia.sys.database_files order by file_id");
  ASSERT_EQ(files.Result().rows.size(), 2u);
  EXPECT_EQ(files.Text(0, 1), "ROWS");
  EXPECT_EQ(files.Text(1, 1), "LOG");
  EXPECT_EQ(files.Text(1, 2), "512");
  EXPECT_EQ(Run("select * from Hurtownia.sys.database_files").ColumnNames().back(), "backup_lsn");
  const Answer logins = Run("select type_desc, default_database_name from sys.server_principals where name = 'kasa1'");
  EXPECT_EQ(logins.Text(0, 0), "SQL_LOGIN");
  EXPECT_EQ(logins.Text(0, 1), "Sklep");
  EXPECT_EQ(Run("select count(*) from sys.server_principals where type = 'R'").Text(0, 0), "9");

  // The columns a 2005 client reads beyond the leading ones, and the sids as bytes.
  const Answer all = Run("select * from sys.databases where name = 'Sklep'");
  const std::vector<std::string> names = all.ColumnNames();
  EXPECT_EQ(names.size(), 53u);
  EXPECT_EQ(names[16], "is_supplemental_logging_enabled");
  EXPECT_EQ(names.back(), "is_date_correlation_on");
  const Answer options = Run("select user_access_desc, is_auto_close_on, is_auto_shrink_on, is_ansi_nulls_on, "
                             "snapshot_isolation_state_desc, log_reuse_wait_desc, owner_sid from sys.databases "
                             "where name = 'Sklep'");
  EXPECT_THAT(std::vector<std::string>({options.Text(0, 0), options.Text(0, 4), options.Text(0, 5)}),
              ::testing::ElementsAre("MULTI_USER", "OFF", "NOTHING"));
  EXPECT_EQ(options.Result().columns[6].type, SqlType::VarBinary);
  const Answer users = Run("select p.name, p.type_desc, p.default_schema_name, p.is_fixed_role from "
                           "Sklep.sys.database_principals p where p.name in ('kasa1', 'db_owner', 'sys') order by p.principal_id");
  ASSERT_EQ(users.Result().rows.size(), 3u);
  EXPECT_EQ(users.Text(0, 0), "sys");
  EXPECT_EQ(users.Text(1, 1), "SQL_USER");
  EXPECT_EQ(users.Text(1, 2), "dbo");
  EXPECT_EQ(users.Text(2, 1), "DATABASE_ROLE");
  EXPECT_EQ(users.Text(2, 3), "1");
  const std::string sid = Run("select sid from sys.server_principals where name = 'kasa1'").Text(0, 0);
  EXPECT_EQ(sid.size(), 16u);
  EXPECT_EQ(Run("select sid from Sklep.sys.database_principals where name = 'kasa1'").Text(0, 0), sid);
}

// A 2005 data set that lists only SQL Server 2000's options (a site moved over from MSDE)
// still answers sp_configure with 2005's options, advanced ones hidden as before.
TEST_F(EngineExpress2005, SessionsTellTheServersOwnFromTheClients) {
  auto till = Connect("kasa1", "kasa1", "Sklep");
  const Answer a = Run("select session_id, is_user_process, login_name, status from sys.dm_exec_sessions order by session_id");
  ASSERT_EQ(a.ErrorText(), "");
  const std::string own = std::to_string(sa_->spid), other = std::to_string(till->spid);
  bool system = false, mine = false, theirs = false;
  for (size_t r = 0; r < a.Result().rows.size(); ++r) {
    const std::string spid = a.Text(r, 0);
    if (spid == "1") system = a.Text(r, 1) == "0" && a.Text(r, 3) == "background";
    if (spid == own) mine = a.Text(r, 1) == "1" && a.Text(r, 3) == "running";
    if (spid == other) theirs = a.Text(r, 1) == "1" && a.Text(r, 2) == "kasa1" && a.Text(r, 3) == "sleeping";
  }
  EXPECT_TRUE(system);
  EXPECT_TRUE(mine);
  EXPECT_TRUE(theirs);
  // Beside sysprocesses, as a monitor asks for each process.
  EXPECT_EQ(Run("select (select is_user_process from sys.dm_exec_sessions where session_id = spid) "
                "from master..sysprocesses where spid = " + other).Text(0, 0),
            "1");
}

TEST_F(EngineTest, Sp_configureHas2005sOptionsWhateverTheDataSetLists) {
  std::ifstream in2005(std::string(MSDE_DATA_DIR) + "/demo2005.json"), in2000(std::string(MSDE_DATA_DIR) + "/demo.json");
  nlohmann::json site = nlohmann::json::parse(in2005);
  site["configuration"] = nlohmann::json::parse(in2000)["configuration"];
  testkit::TempDir dir;
  const std::string file = dir.Path() + "/moved2005.json";
  std::ofstream(file) << site.dump();
  engine_ = LoadEngine(file, std::string(MSDE_DATA_DIR) + "/files");
  sa_ = Connect("sa", "");
  EXPECT_EQ(Run("sp_configure 'user instances enabled'").Text(0, 4), "1");
  EXPECT_EQ(Run("sp_configure 'cross db ownership chaining'").Text(0, 0), "cross db ownership chaining");
  EXPECT_EQ(Run("sp_configure 'xp_cmdshell'").ErrorNumber(), 15123);
  Run("sp_configure 'show advanced options', 1 reconfigure");
  EXPECT_EQ(Run("sp_configure 'xp_cmdshell'").Text(0, 2), "1");
}

TEST_F(EngineTest, TheCatalogueViewsAreNotThereOn2000) {
  EXPECT_EQ(Run("select * from sys.databases").ErrorText(), "Invalid object name 'sys.databases'.");
  EXPECT_EQ(Run("select @@MICROSOFTVERSION").Text(0, 0), std::to_string(0x080007F7));
}

}  // namespace
}  // namespace msde::engine_test
