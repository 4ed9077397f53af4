// Prepared statements and parameters through the driver: FreeTDS sends them as procedure
// calls (sp_prepexec, sp_execute, sp_executesql, sp_unprepare), which the server runs as
// statement text with the values written in as literals.
#include <gmock/gmock.h>

#include "TdsTestServer.h"
#include "tds/RpcRequest.h"

namespace msde::testing {
namespace {

using ::testing::HasSubstr;

class Statement {
 public:
  explicit Statement(testkit::OdbcClient& client) {
    SQLAllocHandle(SQL_HANDLE_STMT, client.Handle(), &stmt_);
  }
  ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }
  SQLHSTMT Handle() const { return stmt_; }
  // The first column of the one row, after SQLExecute.
  std::string Execute() {
    SQLRETURN rc = SQLExecute(stmt_);
    if (!SQL_SUCCEEDED(rc))
      throw testkit::OdbcFailure("SQLExecute", testkit::CollectDiagnostics(SQL_HANDLE_STMT, stmt_));
    char value[4096] = {0};
    SQLLEN length = 0;
    SQLFetch(stmt_);
    SQLGetData(stmt_, 1, SQL_C_CHAR, value, sizeof value, &length);
    SQLCloseCursor(stmt_);
    return length == SQL_NULL_DATA ? "NULL" : value;
  }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

TEST_F(TdsTest, APreparedStatementRunsAgainAndAgain) {
  auto client = Connect();
  Statement st(*client);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(st.Handle(), (SQLCHAR*)"select 1", SQL_NTS)));
  EXPECT_EQ(st.Execute(), "1");
  EXPECT_EQ(st.Execute(), "1");
  EXPECT_EQ(client->Scalar("select 1"), "1");
}

TEST_F(TdsTest, ParameterValuesReachTheEngineAsLiterals) {
  auto client = Connect();
  Statement st(*client);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(st.Handle(), (SQLCHAR*)"sql ?, ?, ?, ?, ?", SQL_NTS)));
  SQLINTEGER number = -42;
  char text[] = "Zażółć 'x'";
  double real = 1.5;
  SQL_TIMESTAMP_STRUCT when{2026, 12, 8, 14, 22, 36, 123000000};
  SQLLEN number_length = 0, text_length = SQL_NTS, real_length = 0, null_length = SQL_NULL_DATA,
         when_length = 0;
  SQLBindParameter(st.Handle(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0,
                   &number_length);
  SQLBindParameter(st.Handle(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0, text, 0,
                   &text_length);
  SQLBindParameter(st.Handle(), 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &real, 0,
                   &real_length);
  SQLBindParameter(st.Handle(), 4, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0,
                   &null_length);
  SQLBindParameter(st.Handle(), 5, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3,
                   &when, 0, &when_length);
  std::string seen = st.Execute();
  EXPECT_THAT(seen, HasSubstr("-42, "));
  EXPECT_THAT(seen, HasSubstr("'Zażółć ''x''', "));
  EXPECT_THAT(seen, HasSubstr("1.5e+00, CAST(NULL AS int), "
                              "CAST('2026-12-08 14:22:36.123' AS datetime)"));
  number = 7;  // executed again with new values
  EXPECT_THAT(st.Execute(), HasSubstr("7, "));
}

TEST_F(TdsTest, ParametersOfADirectStatementGoThroughExecuteSql) {
  auto client = Connect();
  Statement st(*client);
  SQLINTEGER number = 5;
  SQLLEN length = 0;
  SQLBindParameter(st.Handle(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0,
                   &length);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(st.Handle(), (SQLCHAR*)"sql '?' ?", SQL_NTS)));
  char value[256] = {0};
  SQLLEN got = 0;
  SQLFetch(st.Handle());
  SQLGetData(st.Handle(), 1, SQL_C_CHAR, value, sizeof value, &got);
  EXPECT_STREQ(value, "'?' 5");  // a marker inside a string stays a character
}

TEST(TdsRpcText, ParameterNamesAreReplacedOutsideStringsAndComments) {
  std::vector<tds::Substitution> values = {{"@P1", "1", "1"}, {"@p2", "N'a'", "N'a'"}};
  EXPECT_EQ(tds::SubstituteParameters("select @P1, @P2, '@P1', [@P1], @@SPID -- @P1\n@P10", values),
            "select 1, N'a', '@P1', [@P1], @@SPID -- @P1\n@P10");
  // EXEC takes literals only; other statements get the value in its own type.
  values = {{"@d", "CAST('2026-12-08' AS datetime)", "'2026-12-08'"}};
  EXPECT_EQ(tds::SubstituteParameters("exec sp_x @d; select @d", values),
            "exec sp_x '2026-12-08'; select CAST('2026-12-08' AS datetime)");
  EXPECT_EQ(tds::DeclaredParameters("@P1 int,@P2 decimal(10,2) OUTPUT, @x nvarchar(4000)"),
            (std::vector<std::string>{"@P1", "@P2", "@x"}));
}

}  // namespace
}  // namespace msde::testing
