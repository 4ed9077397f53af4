// Every column form a result set may use, as the FreeTDS ODBC driver reads it back as text:
// the nullable forms, the NOT NULL forms, NULLs, and Polish text in each character type.
#include <gmock/gmock.h>

#include "TdsTestServer.h"

namespace msde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

const std::vector<std::string> kTypeValues = {"2147483647",
                                              "-32768",
                                              "255",
                                              "1",
                                              "9223372036854775807",
                                              "3.5",
                                              "0.25",
                                              "-12345678.90",
                                              "12345678901234567890123456789012345678",
                                              "12.3456",
                                              "2026-12-08 14:22:36.123",
                                              "ab   ",
                                              "Łódź",
                                              "żó  ",
                                              "Gęś",
                                              "tekst ąę",
                                              "ntekst ąę",
                                              "6F9619FF-8B86-D011-B42D-00C04FC964FF"};

testkit::TextRow Expected() {
  testkit::TextRow row;
  for (const auto& v : kTypeValues) row.emplace_back(v);
  return row;
}

TEST_F(TdsTest, EveryTypeRoundTripsInItsNullableAndNotNullForms) {
  auto client = Connect();
  for (const char* sql : {"types", "types notnull"}) {
    SCOPED_TRACE(sql);
    auto result = client->Exec(sql);
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.Rows().size(), 1u);
    EXPECT_EQ(result.Rows()[0], Expected());
    EXPECT_EQ(result.sets[0].columns.front(), "i");
    EXPECT_EQ(result.sets[0].columns.back(), "g");
  }
}

TEST_F(TdsTest, SqlVariantValuesKeepTheirBaseTypes) {
  auto client = Connect();
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, client->Handle(), &stmt);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"variants", SQL_NTS)));
  SQLCHAR name[64];
  SQLSMALLINT length, type, digits, null_flag;
  SQLULEN size;
  SQLDescribeCol(stmt, 1, name, sizeof name, &length, &type, &size, &digits, &null_flag);
  EXPECT_EQ(type, -150);  // SQL_SS_VARIANT
  std::vector<std::string> values;
  while (SQL_SUCCEEDED(SQLFetch(stmt))) {
    char value[256] = {0};
    SQLLEN got = 0;
    SQLGetData(stmt, 1, SQL_C_CHAR, value, sizeof value, &got);
    values.push_back(got == SQL_NULL_DATA ? "NULL" : value);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  EXPECT_THAT(values, ElementsAre("42", "5000000000", "2.5", "Łódź", "2026-12-08 00:00:01.000", "NULL"));
}

TEST_F(TdsTest, BinaryColumnsTravelAsBinary) {
  auto client = Connect();
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, client->Handle(), &stmt);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"binaries", SQL_NTS)));
  std::vector<SQLSMALLINT> types;
  for (SQLUSMALLINT c = 1; c <= 2; ++c) {
    SQLCHAR name[64];
    SQLSMALLINT length, type, digits, null_flag;
    SQLULEN size;
    SQLDescribeCol(stmt, c, name, sizeof name, &length, &type, &size, &digits, &null_flag);
    types.push_back(type);
  }
  EXPECT_THAT(types, ElementsAre(SQL_BINARY, SQL_VARBINARY));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  auto result = client->Exec("binaries");
  ASSERT_EQ(result.Rows().size(), 2u);
  EXPECT_EQ(result.Rows()[0], (testkit::TextRow{"0102ff00", "0102ff"}));  // as hexadecimal text
  EXPECT_EQ(result.Rows()[1], (testkit::TextRow{std::nullopt, ""}));
}

TEST_F(TdsTest, NullsArriveAsNullInEveryType) {
  auto client = Connect();
  auto result = client->Exec("types null");
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.Rows().size(), 1u);
  EXPECT_EQ(result.Rows()[0], testkit::TextRow(kTypeValues.size()));
}

TEST_F(TdsTest, ColumnsDescribeTheirSqlTypes) {
  auto client = Connect();
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, client->Handle(), &stmt);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"types", SQL_NTS)));
  std::vector<SQLSMALLINT> types;
  std::vector<SQLSMALLINT> nullable;
  for (SQLUSMALLINT c = 1; c <= 18; ++c) {
    SQLCHAR name[64];
    SQLSMALLINT length, type, digits, null_flag;
    SQLULEN size;
    SQLDescribeCol(stmt, c, name, sizeof name, &length, &type, &size, &digits, &null_flag);
    types.push_back(type);
    nullable.push_back(null_flag);
    if (c == 8) {  // numeric(10,2)
      EXPECT_EQ(size, 10u);
      EXPECT_EQ(digits, 2);
    }
    if (c == 13) {  // varchar(20)
      EXPECT_EQ(size, 20u);
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  // FreeTDS reports float as SQL_DOUBLE, decimal as SQL_NUMERIC and money as SQL_DECIMAL.
  EXPECT_THAT(types, ElementsAre(SQL_INTEGER, SQL_SMALLINT, SQL_TINYINT, SQL_BIT, SQL_BIGINT,
                                 SQL_DOUBLE, SQL_REAL, SQL_NUMERIC, SQL_NUMERIC, SQL_DECIMAL,
                                 SQL_TYPE_TIMESTAMP, SQL_CHAR, SQL_VARCHAR, SQL_WCHAR, SQL_WVARCHAR,
                                 SQL_LONGVARCHAR, SQL_WLONGVARCHAR, SQL_GUID));
  EXPECT_EQ(nullable.front(), SQL_NULLABLE);
}

TEST_F(TdsTest, PolishTextRoundTripsInVarcharNvarcharAndText) {
  auto client = Connect();
  const std::string polish = "Zażółć gęślą jaźń ZAŻÓŁĆ GĘŚLĄ JAŹŃ";
  auto result = client->Exec("echo " + polish);
  ASSERT_TRUE(result.ok);
  EXPECT_THAT(result.Rows(), ElementsAre(ElementsAre(Optional(polish), Optional(polish),
                                                     Optional(polish), Optional(polish))));
}

TEST_F(TdsTest, CharactersOutsideWindows1250BecomeQuestionMarksOnlyInVarchar) {
  auto client = Connect();
  auto result = client->Exec("echo zł €5 中");
  ASSERT_EQ(result.Rows().size(), 1u);
  EXPECT_EQ(result.Rows()[0][0], "zł €5 ?");  // the euro sign is in Windows-1250
  EXPECT_EQ(result.Rows()[0][1], "zł €5 中");
}

TEST_F(TdsTest, LongValuesArriveWhole) {
  auto client = Connect();
  std::string value;
  for (int i = 0; i < 30; ++i) value += "ąbcdefghi" + std::to_string(i % 10);
  ASSERT_EQ(value.size(), 330u);  // 300 characters, 30 of them two bytes in UTF-8
  auto result = client->Exec("echo " + value);
  ASSERT_EQ(result.Rows().size(), 1u);
  EXPECT_EQ(result.Rows()[0][0], value);
  EXPECT_EQ(result.Rows()[0][1], value);
  std::string big(20000, 'x');
  result = client->Exec("echo " + big);  // text spans several packets; varchar is cut
  ASSERT_EQ(result.Rows().size(), 1u);
  EXPECT_EQ(result.Rows()[0][2], big);
  EXPECT_EQ(result.Rows()[0][0]->size(), 300u);
}

TEST_F(TdsTest, SeveralResultSetsKeepTheirRowsAndCounts) {
  auto client = Connect();
  auto result = client->Exec("multi");
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.sets.size(), 2u);
  EXPECT_EQ(result.sets[0].rows.size(), 1u);
  EXPECT_EQ(result.sets[1].rows.size(), 2u);
  EXPECT_THAT(result.row_counts, ::testing::Contains(3));
}

TEST_F(TdsTest, LargeResultsSpanManyPackets) {
  auto client = Connect();
  auto result = client->Exec("rows 20000");
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.Rows().size(), 20000u);
  EXPECT_EQ(result.Rows()[19999][1], "wiersz 19999");
}

TEST_F(TdsTest, ErrorsCarryTheirNumberAndFailTheStatement) {
  auto client = Connect();
  auto result = client->Exec("error");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.HasNative(208));
  auto unknown = client->Exec("cokolwiek");
  EXPECT_FALSE(unknown.ok);
  EXPECT_TRUE(unknown.HasNative(2812));
  auto failed = client->Exec("throw");  // an engine failure is an error, not a lost connection
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.HasNative(8624));
  EXPECT_EQ(client->Scalar("select 1"), "1");
}

}  // namespace
}  // namespace msde::testing
