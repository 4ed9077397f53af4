// The catalogue and security procedures the tree and the detail lists call.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

using ::testing::ElementsAre;

TEST_F(EngineTest, TableListOfOneDatabase) {
  const Answer a = RunIn("Sklep", "sp_tables @table_type = \"'TABLE'\"");
  EXPECT_THAT(a.ColumnNames(), ElementsAre("TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "TABLE_TYPE", "REMARKS"));
  ASSERT_EQ(a.Result().rows.size(), 8u);
  for (size_t r = 0; r < 8; ++r) {
    EXPECT_EQ(a.Text(r, 0), "Sklep");
    EXPECT_EQ(a.Text(r, 3), "TABLE");
  }
  EXPECT_EQ(a.Text(0, 2), "Kasjerzy");  // dbo's tables first, by name
  EXPECT_EQ(a.Text(7, 1), "kasa1");
  EXPECT_EQ(a.Text(7, 2), "Zmiany");
  // Without a type the system tables and views come too; patterns filter by name.
  const Answer everything = Run("exec sp_tables");
  EXPECT_GT(everything.Result().rows.size(), 20u);
  EXPECT_EQ(everything.Text(0, 3), "SYSTEM TABLE");
  EXPECT_EQ(Run("sp_tables 'Tow%'").Result().rows.size(), 1u);
  EXPECT_EQ(Run("sp_tables @table_qualifier = 'Hurtownia'").ErrorNumber(), 15250);
}

TEST_F(EngineTest, ColumnListByBareTableName) {
  const Answer a = RunIn("Sklep", "sp_columns \"Towary\"");
  ASSERT_EQ(a.Result().columns.size(), 19u);
  EXPECT_EQ(a.ColumnNames()[3], "COLUMN_NAME");
  EXPECT_EQ(a.ColumnNames()[5], "TYPE_NAME");
  EXPECT_EQ(a.ColumnNames()[6], "PRECISION");
  EXPECT_EQ(a.ColumnNames()[7], "LENGTH");
  ASSERT_EQ(a.Result().rows.size(), 10u);
  // IdTowaru int, Kod char(13), CenaNetto numeric(10,2), DataDodania datetime.
  EXPECT_EQ(a.Text(0, 3), "IdTowaru");
  EXPECT_EQ(a.Text(0, 5), "int");
  EXPECT_EQ(a.Text(0, 6), "10");
  EXPECT_EQ(a.Text(0, 7), "4");
  EXPECT_EQ(a.Text(0, 10), "0");  // NOT NULL
  EXPECT_EQ(a.Text(1, 5), "char");
  EXPECT_EQ(a.Text(1, 7), "13");
  EXPECT_EQ(a.Text(4, 5), "numeric");
  EXPECT_EQ(a.Text(4, 6), "10");
  EXPECT_EQ(a.Text(4, 7), "12");
  EXPECT_EQ(a.Text(4, 8), "2");
  EXPECT_EQ(a.Text(9, 4), "11");
  EXPECT_EQ(a.Text(9, 7), "16");
  EXPECT_EQ(a.Text(9, 16), "10");
  // A table of another owner is found by its bare name as well.
  EXPECT_EQ(Run("sp_columns Zmiany").Text(0, 1), "kasa1");
  EXPECT_EQ(Run("sp_columns").ErrorNumber(), 201);
}

TEST_F(EngineTest, UsersOfADatabase) {
  const Answer a = RunIn("Sklep", "sp_helpuser");
  EXPECT_THAT(a.ColumnNames(), ElementsAre("UserName", "GroupName", "LoginName", "DefDBName", "UserID", "SID"));
  ASSERT_EQ(a.Result().rows.size(), 5u);  // dbo, kasa1 (two roles), kierownik, Sklep
  EXPECT_EQ(a.Text(0, 0), "dbo");
  EXPECT_EQ(a.Text(0, 1), "db_owner");
  EXPECT_EQ(a.Text(0, 2), "sa");
  EXPECT_EQ(a.Text(0, 4), "1");
  EXPECT_EQ(a.Text(1, 0), "kasa1");
  EXPECT_EQ(a.Text(1, 1), "db_datareader");
  EXPECT_EQ(a.Text(3, 0), "kierownik");
  EXPECT_EQ(a.Text(3, 1), "public");
  EXPECT_EQ(a.Text(3, 3), "Sklep");
  EXPECT_EQ(Run("sp_helpuser 'kasa1'").Result().rows.size(), 2u);
  const Answer role = Run("sp_helpuser 'db_owner'");
  EXPECT_THAT(role.ColumnNames(), ElementsAre("Group_name", "Group_id", "Users_in_group", "Userid"));
  EXPECT_EQ(Run("sp_helpuser 'nikt'").ErrorNumber(), 15198);
}

TEST_F(EngineTest, LoginsWithTheirDatabaseUsers) {
  const Answer a = RunIn("master", "sp_helplogins");
  ASSERT_EQ(a.results.size(), 2u);
  EXPECT_THAT(a.ColumnNames(0), ElementsAre("LoginName", "SID", "DefDBName", "DefLangName", "AUser", "ARemote"));
  EXPECT_THAT(a.ColumnNames(1), ElementsAre("LoginName", "DBName", "UserName", "UserOrAlias"));
  EXPECT_EQ(a.dones.size(), 3u);  // one per result set and the procedure's own
  const Answer one = Run("sp_helplogins 'kasa1'");
  ASSERT_EQ(one.Result().rows.size(), 1u);
  EXPECT_EQ(one.Text(0, 2), "Sklep");
  EXPECT_EQ(one.Text(0, 3), "polski");
  EXPECT_EQ(one.Text(0, 4), "yes  ");
  // Mappings come sorted by login, database and name: the roles, then the user itself.
  ASSERT_EQ(one.Result(1).rows.size(), 3u);
  EXPECT_EQ(one.Text(0, 2, 1), "db_datareader");
  EXPECT_EQ(one.Text(0, 3, 1), "MemberOf");
  EXPECT_EQ(one.Text(2, 1, 1), "Sklep");
  EXPECT_EQ(one.Text(2, 2, 1), "kasa1");
  EXPECT_EQ(one.Text(2, 3, 1), "User    ");
  // The archive's login maps only to a user in an offline database.
  EXPECT_EQ(Run("sp_helplogins 'Archiwum'").Text(0, 4), "no   ");
  EXPECT_EQ(Run("sp_helplogins 'nikt'").ErrorNumber(), 15007);
}

TEST_F(EngineTest, ProcedureCallsBindArgumentsAsTheServerDoes) {
  Run("use Sklep");
  EXPECT_EQ(Run("exec sp_columns @table_name = 'Towary', @column_name = 'Cena'").Result().rows.size(), 1u);
  EXPECT_EQ(Run("EXECUTE master.dbo.sp_helpuser @name_in_db = N'kasa1'").Result().rows.size(), 2u);
  EXPECT_EQ(Run("sp_columns @nic = 1").ErrorNumber(), 8145);
  EXPECT_EQ(Run("sp_helpuser 'a', 'b'").ErrorNumber(), 8144);
  EXPECT_EQ(Run("sp_columns @table_name = 'Towary', 'x'").ErrorNumber(), 119);
  const Answer unknown = Run("sp_nieznana 1");
  EXPECT_EQ(unknown.ErrorNumber(), 2812);
  EXPECT_EQ(unknown.ErrorText(), "Could not find stored procedure 'sp_nieznana'.");
  EXPECT_EQ(unknown.errors[0].state, 62);
}

}  // namespace
}  // namespace msde::engine_test
