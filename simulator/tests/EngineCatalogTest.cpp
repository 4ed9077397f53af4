// The per-database system tables, the finer options of the catalogue procedures, and the
// model's own look-ups and files.
#include <cstdio>
#include <fstream>

#include "EngineTestSupport.h"
#include "engine/SimEngine.h"
#include "testkit/TempDir.h"

namespace msde::engine_test {
namespace {

using ::testing::ElementsAre;

TEST_F(EngineTest, SystemTablesOfAUserDatabase) {
  Run("use Sklep");
  const Answer objects = Run("select name, xtype, uid from sysobjects where xtype = 'U' order by name");
  ASSERT_EQ(objects.Result().rows.size(), 8u);
  EXPECT_EQ(objects.Text(0, 0), "Kasjerzy");
  EXPECT_EQ(objects.Text(0, 1), "U ");
  EXPECT_EQ(objects.Text(7, 0), "Zmiany");
  EXPECT_NE(objects.Text(7, 2), "1");  // owned by kasa1, not dbo
  const Answer users = Run("select name, uid, hasdbaccess from sysusers where issqlrole = 0 order by uid");
  EXPECT_EQ(users.Text(0, 0), "dbo");
  EXPECT_EQ(users.Text(0, 1), "1");
  EXPECT_EQ(users.Result().rows.size(), 4u);
  EXPECT_EQ(Run("select count(*) from sysusers where issqlrole = 1").Text(0, 0), "10");
  const Answer columns = Run("select c.name, c.length, c.prec, c.isnullable from syscolumns c "
                             "where c.id = OBJECT_ID('Towary') order by colid");
  ASSERT_EQ(columns.Result().rows.size(), 10u);
  EXPECT_EQ(columns.Text(0, 0), "IdTowaru");
  EXPECT_EQ(columns.Text(0, 3), "0");
  EXPECT_EQ(columns.Text(1, 1), "13");  // char(13)
  EXPECT_EQ(columns.Text(4, 1), "9");   // numeric(10,2) takes nine bytes
  EXPECT_EQ(columns.Text(4, 2), "10");
  const Answer files = Run("select fileid, name from sysfiles");
  EXPECT_EQ(files.Result().rows.size(), 2u);
  EXPECT_EQ(TrimRight(files.Text(1, 1)), "Sklep_Log");
}

TEST_F(EngineTest, CatalogueProcedureOptions) {
  Run("use Sklep");
  const Answer odbc3 = Run("sp_columns @table_name = 'Paragony', @column_name = 'Data', @ODBCVer = 3");
  ASSERT_EQ(odbc3.Result().rows.size(), 1u);
  EXPECT_EQ(odbc3.Text(0, 4), "93");
  EXPECT_EQ(odbc3.Text(0, 13), "9");
  EXPECT_EQ(odbc3.Text(0, 14), "3");
  const Answer wide = Run("sp_columns Kontrahenci, dbo, Sklep, Nazwa");
  ASSERT_EQ(wide.Result().rows.size(), 1u);
  EXPECT_EQ(wide.Text(0, 5), "nvarchar");
  EXPECT_EQ(wide.Text(0, 6), "100");
  EXPECT_EQ(wide.Text(0, 7), "200");
  EXPECT_EQ(wide.Text(0, 15), "200");
  EXPECT_EQ(wide.Text(0, 17), "NO");
  EXPECT_EQ(Run("sp_tables @table_owner = 'kasa1'").Result().rows.size(), 1u);
  EXPECT_EQ(Run("sp_tables 'Z%', @table_type = \"'VIEW'\"").Result().rows.size(), 0u);
  const Answer everyone = Run("sp_helpuser 'public'");
  EXPECT_EQ(everyone.Result().rows.size(), 4u);
  EXPECT_EQ(everyone.Text(0, 0), "public");
  const Answer guests = RunIn("master", "sp_helpuser");
  EXPECT_EQ(guests.Text(1, 0), "guest");
  EXPECT_EQ(HexText(guests.Text(1, 5)), "0x00");
  EXPECT_TRUE(guests.IsNullAt(1, 2));
}

TEST_F(EngineTest, LoginFallsBackToMasterAndReportsWhatTheDatabaseRefuses) {
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  sim->State().FindDatabase("Hurtownia")->Set(DbStatus::Offline, true);
  auto keeper = Connect("magazyn", "magazyn");
  ASSERT_TRUE(keeper);
  EXPECT_EQ(keeper->database, "master");  // its default database is offline
  sim->State().FindDatabase("Hurtownia")->Set(DbStatus::Offline, false);
  sim->State().FindDatabase("Hurtownia")->Set(DbStatus::SingleUser, true);
  Run("use Hurtownia");
  EXPECT_FALSE(Connect("sa", "", "Hurtownia"));
  ASSERT_EQ(last_login_errors_.size(), 2u);
  EXPECT_EQ(last_login_errors_[0].number, 924);
  EXPECT_EQ(last_login_errors_[1].number, 4060);
  EXPECT_FALSE(Connect("sa", "", "Brak"));
  ASSERT_EQ(last_login_errors_.size(), 1u);
  EXPECT_EQ(last_login_errors_[0].text, "Cannot open database requested in login 'Brak'. Login fails.");
}

TEST_F(EngineTest, SessionStatementsAndKilledSessions) {
  const Answer language = Run("SET LANGUAGE polski");
  EXPECT_EQ(language.infos.at(0).number, 5703);
  EXPECT_EQ(sa_->language, "polski");
  EXPECT_EQ(Run("SET LANGUAGE klingon").ErrorNumber(), 2731);
  const Answer options = Run("SET TEXTSIZE 2147483647 SET NOCOUNT ON SET TRANSACTION ISOLATION LEVEL READ COMMITTED");
  EXPECT_TRUE(options.errors.empty());
  EXPECT_EQ(options.dones.size(), 3u);
  const Answer print = Run("PRINT 'Dzień dobry'");
  EXPECT_EQ(print.infos.at(0).number, 0);
  EXPECT_EQ(print.infos.at(0).text, "Dzień dobry");
  auto victim = Connect("kasa1", "kasa1");
  victim->killed = true;
  const Answer after = Run(*victim, "select 1");
  EXPECT_TRUE(after.results.empty());
}

TEST_F(EngineTest, ModelLookUpsAndWholeDataSetRoundTrip) {
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  Model& model = sim->State();
  EXPECT_NE(model.FindOption("show adv"), nullptr);
  EXPECT_EQ(model.FindOption("max"), nullptr);  // more than one option starts so
  EXPECT_EQ(model.FindOption("user connections")->name, "user connections");
  EXPECT_EQ(model.LocalPath("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\SKLEP2.MDF"),
            model.files_dir + "/Sklep2.mdf");
  // Backups named by a bare name go to the backup directory; no other directory exists.
  EXPECT_EQ(model.LocalPath("Inne.bak"), model.files_dir + "/Inne.bak");
  EXPECT_EQ(model.LocalPath("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Inne.bak"),
            model.files_dir + "/Inne.bak");
  EXPECT_EQ(model.LocalPath("D:\\Nowe\\Inne.mdf"), "");
  EXPECT_EQ(model.LocalPath("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Brak\\Inne.mdf"), "");

  testkit::TempDir dir;
  const std::string path = dir.Path() + "/copy.json";
  {
    std::ofstream out(path);
    out << ModelToJson(model);
  }
  Model copy = LoadModel(path);
  ASSERT_EQ(copy.databases.size(), model.databases.size());
  EXPECT_EQ(copy.logins.size(), model.logins.size());
  EXPECT_EQ(copy.configuration.size(), model.configuration.size());
  for (size_t i = 0; i < copy.databases.size(); ++i) {
    EXPECT_EQ(copy.databases[i].status, model.databases[i].status) << copy.databases[i].name;
    EXPECT_EQ(copy.databases[i].tables.size(), model.databases[i].tables.size());
    EXPECT_EQ(copy.databases[i].damage.size(), model.databases[i].damage.size());
  }
  EXPECT_EQ(copy.FindLogin("sa")->sid, model.FindLogin("sa")->sid);
  EXPECT_TRUE(copy.FindLogin("BUILTIN\\Administrators")->is_nt_name);
}

}  // namespace
}  // namespace msde::engine_test
