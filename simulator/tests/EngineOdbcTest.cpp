// The browsing statements end to end: msde-sim with the demo data set on a free port, the
// real FreeTDS driver through unixODBC, UTF-8 client character set.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::engine_test {
namespace {

using ::testing::ElementsAre;
using testkit::ExecResult;
using testkit::OdbcClient;

std::string Trimmed(const testkit::Cell& cell) {
  if (!cell) return "<NULL>";
  return cell->substr(0, cell->find_last_not_of(' ') + 1);
}

class EngineOdbcTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new testkit::SimServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  std::unique_ptr<OdbcClient> Connect(const std::string& user = "sa", const std::string& password = "") {
    return std::make_unique<OdbcClient>(server_->Utf8ConnectionString(user, password));
  }
  static testkit::SimServer* server_;
};

testkit::SimServer* EngineOdbcTest::server_ = nullptr;

TEST_F(EngineOdbcTest, TreeQueriesReturnTheirColumnsAndValues) {
  auto c = Connect();
  EXPECT_EQ(c->Scalar("select 1"), "1");
  ASSERT_TRUE(c->Exec("use master").ok);
  const ExecResult dbs = c->Exec(
      "select status, dbid, name, Convert(VARCHAR(8), crdate, 2), filename, version, cmptlevel "
      "from sysdatabases order by dbid");
  ASSERT_TRUE(dbs.ok);
  ASSERT_EQ(dbs.sets.size(), 1u);
  EXPECT_EQ(dbs.sets[0].columns[2], "name");
  ASSERT_EQ(dbs.Rows().size(), 12u);
  EXPECT_EQ(*dbs.Rows()[4][2], "Sklep");
  EXPECT_EQ(*dbs.Rows()[4][3], "06.09.04");
  EXPECT_EQ(*dbs.Rows()[6][2], "Sklep Wschód");
  EXPECT_EQ(c->Scalar("select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128))"), "SKLEP-SERWER");
  const ExecResult instance = c->Exec("select CAST(SERVERPROPERTY('InstanceName') AS nvarchar(128))");
  ASSERT_EQ(instance.Rows().size(), 1u);
  EXPECT_FALSE(instance.Rows()[0][0].has_value());
  const ExecResult logins = c->Exec(
      "select name, dbname, language, Convert(VARCHAR(8), createdate, 2),CASE sysadmin WHEN 1 "
      "THEN 'TAK' WHEN 0 THEN '-' END, password from syslogins where name = 'kierownik'");
  ASSERT_EQ(logins.Rows().size(), 1u);
  EXPECT_EQ(*logins.Rows()[0][4], "-");
  EXPECT_FALSE(logins.Rows()[0][5].has_value());
}

TEST_F(EngineOdbcTest, DetailListsOfADatabase) {
  auto c = Connect();
  ASSERT_TRUE(c->Exec("use master").ok);
  const ExecResult files = c->Exec("SELECT fileid, name, filename, size, maxsize, growth FROM sysaltfiles where dbid=5");
  ASSERT_EQ(files.Rows().size(), 2u);
  EXPECT_EQ(Trimmed(files.Rows()[0][1]), "Sklep_Data");
  EXPECT_EQ(*files.Rows()[0][4], "-1");
  ASSERT_TRUE(c->Exec("use Sklep").ok);
  const ExecResult tables = c->Exec("sp_tables @table_type = \"'TABLE'\"");
  ASSERT_TRUE(tables.ok);
  EXPECT_THAT(tables.sets.at(0).columns,
              ElementsAre("TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "TABLE_TYPE", "REMARKS"));
  ASSERT_EQ(tables.Rows().size(), 8u);
  EXPECT_EQ(*tables.Rows()[7][1], "kasa1");
  const ExecResult columns = c->Exec("sp_columns \"Towary\"");
  ASSERT_EQ(columns.Rows().size(), 10u);
  EXPECT_EQ(*columns.Rows()[4][3], "CenaNetto");
  EXPECT_EQ(*columns.Rows()[4][5], "numeric");
  EXPECT_EQ(*columns.Rows()[4][6], "10");
  EXPECT_EQ(*columns.Rows()[4][7], "12");
  const ExecResult users = c->Exec("sp_helpuser");
  EXPECT_THAT(users.sets.at(0).columns,
              ElementsAre("UserName", "GroupName", "LoginName", "DefDBName", "UserID", "SID"));
  EXPECT_EQ(*users.Rows()[0][2], "sa");
  ASSERT_TRUE(c->Exec("use master").ok);
  const ExecResult helplogins = c->Exec("sp_helplogins 'kasa1'");
  ASSERT_EQ(helplogins.sets.size(), 2u);
  EXPECT_EQ(Trimmed(helplogins.Rows()[0][4]), "yes");
}

TEST_F(EngineOdbcTest, TableContentsWithPolishTextAndSpecialTypes) {
  auto c = Connect();
  ASSERT_TRUE(c->Exec("use [Sklep Wschód]").ok);
  EXPECT_EQ(c->Scalar("select Nazwa from dbo.Towary where Nazwa like N'Żurek%'"), "Żurek w butelce 0,5 l");
  EXPECT_EQ(c->Scalar("select N'zażółć gęślą jaźń'"), "zażółć gęślą jaźń");
  ASSERT_TRUE(c->Exec("use Sklep").ok);
  const ExecResult settings = c->Exec("select * from dbo.Ustawienia where Klucz = 'StopkaParagonu'");
  ASSERT_EQ(settings.Rows().size(), 1u);
  const std::string footer = *settings.Rows()[0][1];
  EXPECT_EQ(footer.rfind("Dziękujemy za zakupy w sklepie", 0), 0u);
  size_t characters = 0;
  for (unsigned char ch : footer) characters += (ch & 0xC0) != 0x80;
  EXPECT_EQ(characters, 300u);  // the varchar(300) value arrives whole
  const ExecResult stations = c->Exec("select * from dbo.Stanowiska");
  ASSERT_EQ(stations.Rows().size(), 3u);
  EXPECT_EQ(stations.Rows()[0][0]->size(), 36u);
  const ExecResult products = c->Exec("select * from kasa1.Zmiany");
  EXPECT_EQ(products.Rows().size(), 12u);
  const ExecResult receipt = c->Exec("select Wartosc, Data from Paragony where IdParagonu = 1");
  ASSERT_EQ(receipt.Rows().size(), 1u);
  EXPECT_NE(receipt.Rows()[0][0]->find('.'), std::string::npos);
}

// Each base type's variant form, read back by FreeTDS as text.
TEST_F(EngineOdbcTest, VariantsOfEveryBaseTypeArriveWhole) {
  auto c = Connect();
  const char* sql =
      "select cast(cast(-5 as smallint) as sql_variant), cast(cast(7 as tinyint) as sql_variant), "
      "cast(cast(5000000000 as bigint) as sql_variant), cast(cast(1 as bit) as sql_variant), "
      "cast(cast(2.5 as real) as sql_variant), cast(cast(12.3456 as money) as sql_variant), "
      "cast(cast(-12.345 as numeric(8,3)) as sql_variant), cast('abc' as sql_variant), "
      "cast(N'Łódź' as sql_variant), cast(cast('ab' as char(4)) as sql_variant), "
      "cast(0x01ff as sql_variant), cast(cast('2026-12-10 10:15:29' as smalldatetime) as sql_variant), "
      "cast(cast('2026-12-10 10:15:29' as datetime) as sql_variant), "
      "cast(cast('6F9619FF-8B86-D011-B42D-00C04FC964FF' as uniqueidentifier) as sql_variant), "
      "cast(null as sql_variant)";
  // One read a column: the driver answers a variant whole.
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, c->Handle(), &stmt);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS)));
  ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt)));
  std::vector<std::string> got;
  for (SQLUSMALLINT col = 1; col <= 15; ++col) {
    char value[256] = {0};
    SQLLEN length = 0;
    SQLGetData(stmt, col, SQL_C_CHAR, value, sizeof value, &length);
    got.push_back(length == SQL_NULL_DATA ? "<NULL>" : Trimmed(std::string(value)));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  EXPECT_THAT(got, ElementsAre("-5", "7", "5000000000", "1", "2.5", "12.3456", "-12.345", "abc", "Łódź", "ab",
                               "01ff", "2026-12-10 10:15:00", "2026-12-10 10:15:29.000",
                               "6F9619FF-8B86-D011-B42D-00C04FC964FF", "<NULL>"));
}

TEST_F(EngineOdbcTest, ErrorsArriveWithServerNumbers) {
  auto c = Connect();
  const ExecResult use = c->Exec("use Sklep");
  EXPECT_TRUE(use.HasNative(5701));
  EXPECT_TRUE(c->Exec("use Brak").HasNative(911));
  EXPECT_TRUE(c->Exec("use Archiwum2006").HasNative(942));
  EXPECT_TRUE(c->Exec("sp_nieznana").HasNative(2812));
  EXPECT_TRUE(c->Exec("select from").HasNative(170));
  EXPECT_TRUE(c->Exec("select * from dbo.Brak").HasNative(208));
  EXPECT_EQ(c->Scalar("select 2"), "2");  // the connection goes on
  const auto refused = testkit::ConnectFailure(server_->Utf8ConnectionString("sa", "zle"));
  bool login_failed = false;
  for (const auto& d : refused) login_failed = login_failed || d.native == 18456;
  EXPECT_TRUE(login_failed);
}

TEST_F(EngineOdbcTest, SingleUserDatabaseRefusesASecondConnection) {
  auto first = Connect();
  auto second = Connect();
  ASSERT_TRUE(first->Exec("use master").ok);
  ASSERT_TRUE(first->Exec("ALTER DATABASE Hurtownia SET SINGLE_USER").ok);
  ASSERT_TRUE(first->Exec("use Hurtownia").ok);
  const ExecResult refused = second->Exec("use Hurtownia");
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.HasNative(924));
  ASSERT_TRUE(first->Exec("use master").ok);
  ASSERT_TRUE(first->Exec("ALTER DATABASE Hurtownia SET MULTI_USER").ok);
  EXPECT_TRUE(second->Exec("use Hurtownia").ok);
}

TEST_F(EngineOdbcTest, QueryTimeoutEndsAWaitAndKeepsTheConnection) {
  auto c = Connect();
  const ExecResult waited = c->Exec("waitfor delay '00:00:20'", 1);
  EXPECT_FALSE(waited.ok);
  EXPECT_EQ(c->Scalar("select 3"), "3");
}

}  // namespace
}  // namespace msde::engine_test
