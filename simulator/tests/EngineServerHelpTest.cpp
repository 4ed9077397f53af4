// The procedures that describe the server to administrators and ODBC drivers: sp_helpdb,
// sp_databases, sp_spaceused, DBCC SQLPERF(LOGSPACE), sp_who, sp_who2 and the ODBC catalogue.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

TEST_F(EngineTest, HelpDbListsDatabasesAndTheFilesOfOne) {
  const Answer all = Run("sp_helpdb");
  EXPECT_EQ(all.ColumnNames(), (std::vector<std::string>{"name", "db_size", "owner", "dbid", "created", "status",
                                                        "compatibility_level"}));
  ASSERT_EQ(all.Result().rows.size(), 12u);
  EXPECT_EQ(all.Text(0, 0), "Archiwum2006");
  const Answer one = Run("exec sp_helpdb 'Hurtownia'");
  ASSERT_EQ(one.results.size(), 2u);
  EXPECT_EQ(one.Text(0, 1), "     20.00 MB");  // 2048 + 512 pages
  EXPECT_EQ(one.Text(0, 4), "Nov 20 2006");
  EXPECT_EQ(one.Text(0, 5).rfind("Status=ONLINE, Updateability=READ_WRITE, UserAccess=MULTI_USER, Recovery=FULL, "
                                 "Version=539, Collation=Polish_CI_AS, SQLSortOrder=0", 0), 0u) << one.Text(0, 5);
  EXPECT_EQ(one.Text(1, 7, 1), "log only");
  EXPECT_EQ(one.Text(0, 4, 1), "16384 KB");
  EXPECT_EQ(one.Text(0, 5, 1), "Unlimited");
  EXPECT_EQ(one.Text(0, 6, 1), "10%");
  EXPECT_EQ(Run("sp_helpdb Brak").ErrorText(), "The database 'Brak' does not exist. Use sp_helpdb to show available databases.");
  // sp_databases lists only what the caller can enter, sizes in KB.
  const Answer dbs = Run("sp_databases");
  std::vector<std::string> names;
  for (size_t i = 0; i < dbs.Result().rows.size(); ++i) names.push_back(dbs.Text(i, 0));
  EXPECT_EQ(names, (std::vector<std::string>{"Hurtownia", "Ksiegowosc", "master", "model", "msdb", "Sklep",
                                             "Sklep Wschód", "SklepCentrum", "SklepZachod", "tempdb"}));
  EXPECT_EQ(dbs.Text(0, 1), "20480");
}

TEST_F(EngineTest, SpaceUsedAndLogSpaceAddUpTheFiles) {
  Run("use Hurtownia");
  const Answer db = Run("sp_spaceused");
  ASSERT_EQ(db.results.size(), 2u);
  EXPECT_EQ(db.ColumnNames(0), (std::vector<std::string>{"database_name", "database_size", "unallocated space"}));
  EXPECT_EQ(db.Text(0, 1), "20.00 MB");
  EXPECT_EQ(db.ColumnNames(1), (std::vector<std::string>{"reserved", "data", "index_size", "unused"}));
  const Answer table = Run("exec sp_spaceused @objname = 'magazyn.Towary'");
  EXPECT_EQ(table.Text(0, 0), "Towary");
  EXPECT_EQ(table.Text(0, 1), "25         ");
  EXPECT_EQ(table.Text(0, 2), "64 KB");  // one extent: a page of rows and the key's two
  EXPECT_EQ(Run("sp_spaceused 'Brak'").ErrorText(), "The object 'Brak' does not exist in database 'Hurtownia'.");
  const Answer log = Run("DBCC SQLPERF(LOGSPACE)");
  EXPECT_EQ(log.ColumnNames(), (std::vector<std::string>{"Database Name", "Log Size (MB)", "Log Space Used (%)", "Status"}));
  bool found = false;
  for (size_t i = 0; i < log.Result().rows.size(); ++i) {
    EXPECT_NE(log.Text(i, 0), "Archiwum2006");  // offline: not listed
    if (log.Text(i, 0) == "Hurtownia") {
      found = true;
      EXPECT_EQ(log.Text(i, 1), "4");
    }
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(log.infos.at(0).number, 2528);
}

TEST_F(EngineTest, WhoListsSystemProcessesAndConnections) {
  auto cashier = Connect("kasa1", "kasa1", "Sklep", "Tovinex POS");
  const Answer who = Run("sp_who");
  EXPECT_EQ(who.ColumnNames(), (std::vector<std::string>{"spid", "ecid", "status", "loginame", "hostname", "blk",
                                                        "dbname", "cmd"}));
  ASSERT_EQ(who.Result().rows.size(), 10u);  // eight system processes and two connections
  EXPECT_EQ(who.Text(0, 6), "master");
  EXPECT_EQ(TrimRight(who.Text(9, 3)), "kasa1");
  EXPECT_EQ(who.Text(9, 5), "0    ");
  EXPECT_EQ(who.Text(9, 6), "Sklep");
  EXPECT_EQ(Run("sp_who kasa1").Result().rows.size(), 1u);
  EXPECT_EQ(Run("sp_who '" + std::to_string(cashier->spid) + "'").Result().rows.size(), 1u);
  EXPECT_EQ(Run("sp_who 'active'").Result().rows.size(), 9u);  // the idle cashier is left out
  EXPECT_EQ(Run("sp_who nikt").ErrorNumber(), 15007);
  const Answer who2 = Run("sp_who2");
  EXPECT_EQ(who2.ColumnNames().size(), 12u);
  EXPECT_EQ(who2.Text(0, 0), "    1");
  EXPECT_EQ(who2.Text(0, 1), "BACKGROUND");
  EXPECT_EQ(who2.Text(0, 3), "  .");
  EXPECT_EQ(who2.Text(9, 10), "Tovinex POS");
}

TEST_F(EngineTest, OdbcCatalogueDescribesTypesKeysAndIndexes) {
  const Answer types = Run("sp_datatype_info @ODBCVer = 3");
  ASSERT_GE(types.Result().rows.size(), 20u);
  EXPECT_EQ(types.Text(0, 0), "sql_variant");
  EXPECT_EQ(types.Text(types.Result().rows.size() - 1, 1), "93");  // datetime types last under ODBC 3
  const Answer ints = Run("sp_datatype_info 4");
  ASSERT_EQ(ints.Result().rows.size(), 1u);
  EXPECT_EQ(ints.Text(0, 0), "int");
  Run("use Sklep");
  const Answer keys = Run("sp_pkeys @table_name = 'Towary'");
  EXPECT_EQ(keys.ColumnNames(), (std::vector<std::string>{"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME",
                                                         "KEY_SEQ", "PK_NAME"}));
  ASSERT_EQ(keys.Result().rows.size(), 1u);
  EXPECT_EQ(keys.Text(0, 3), "IdTowaru");
  EXPECT_EQ(keys.Text(0, 5), "PK_Towary");
  EXPECT_TRUE(Run("sp_pkeys 'Brak'").Result().rows.empty());
  EXPECT_EQ(Run("sp_pkeys 'Towary', 'dbo', 'Hurtownia'").ErrorNumber(), 15250);
  const Answer stats = Run("sp_statistics 'Towary'");
  ASSERT_EQ(stats.Result().rows.size(), 2u);
  EXPECT_EQ(stats.Text(0, 6), "0");   // the table's own row
  EXPECT_EQ(stats.Text(0, 10), "40");
  EXPECT_EQ(stats.Text(1, 5), "PK_Towary");
  EXPECT_EQ(stats.Text(1, 8), "IdTowaru");
  const Answer best = Run("sp_special_columns 'Kasjerzy', @col_type = 'R'");
  ASSERT_EQ(best.Result().rows.size(), 1u);
  EXPECT_EQ(best.Text(0, 1), "IdKasjera");
  EXPECT_EQ(best.Text(0, 3), "smallint");
  EXPECT_TRUE(Run("sp_special_columns 'Kasjerzy', @col_type = 'V'").Result().rows.empty());
}

}  // namespace
}  // namespace msde::engine_test
