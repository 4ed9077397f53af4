// ODBC errors: the texts in both languages, the return-code line, and the diagnostic chain
// read from a real driver manager (the scriptable driver produces the records).
#include <gtest/gtest.h>

#include "OdbcTestEnv.h"
#include "data/OdbcError.h"
#include "data/OdbcHandle.h"
#include "foundation/Utf8.h"

namespace vandrel {
namespace {

class LanguageGuard {
 public:
  explicit LanguageGuard(int L) : FOld(EMException::Language) { EMException::Language = L; }
  ~LanguageGuard() { EMException::Language = FOld; }

 private:
  int FOld;
};

TEST(OdbcErrorText, DescribesCodeAndReturnCodeInBothLanguages) {
  {
    LanguageGuard pl(0);
    EMOdbcError e(412, SQL_ERROR, nullptr);
    EXPECT_EQ(e.GetDescription(), "Błąd wykonania polecenia SQL\r\nKod błędu funkcji ODBC: [-1] SQL_ERROR");
    EXPECT_EQ(e.GetCode(), "MODBC/412");
    EXPECT_EQ(e.Message, "[MODBC/412] Błąd operacji bazodanowej");
    EXPECT_EQ(e.GetTitle(), "Wystąpił błąd");
    EXPECT_EQ(EMOdbcError(411, 0, nullptr).GetDescription(), "Parametry polecenia SQL nie są zaimplementowane");
  }
  {
    LanguageGuard en(1);
    EXPECT_EQ(EMOdbcError(999, SQL_ERROR, nullptr).GetDescription(), "ODBC call error code: [-1] SQL_ERROR");
    EXPECT_EQ(EMOdbcError(423, SQL_INVALID_HANDLE, nullptr).GetDescription(),
              "Cursor scrolling error\r\nODBC call error code: [-2] SQL_INVALID_HANDLE");
    EXPECT_EQ(EMOdbcError(466, 42, nullptr).GetDescription(), "Update statement execute error\r\nODBC call error code: [42]");
    EXPECT_EQ(EMOdbcError(401, 0, nullptr).Message, "[MODBC/401] Database error");
  }
}

TEST(OdbcErrorText, DriverRecordWordsItselfAsInformation) {
  LanguageGuard pl(0);
  EMOdbcDriverError d(3, "23000", "Violation of PRIMARY KEY", 2627, nullptr);
  EXPECT_EQ(d.GetCode(), "MODBCDRV/2627");
  EXPECT_EQ(d.GetTitle(), "Informacja");
  EXPECT_EQ(d.MacMessage(), "Błąd sterownika ODBC\r\nWiadomość 3");
  EXPECT_EQ(d.GetDescription(), "[23000] Violation of PRIMARY KEY");
  LanguageGuard en(1);
  EXPECT_EQ(d.MacMessage(), "ODBC driver error\r\nMessage 3");
}

TEST(OdbcErrorText, CloneAndAssignCopyFieldsAndChain) {
  EMOdbcError e(416, SQL_ERROR,
                std::make_unique<EMOdbcDriverError>(1, "42000", "bad", 102,
                                                    std::make_unique<EMOdbcDriverError>(2, "01000", "x", 0, nullptr)));
  auto copy = EMException::DeepCopy(e);
  ASSERT_TRUE(copy->ClassChainHas("EMOdbcError"));
  auto* c = static_cast<EMOdbcError*>(copy.get());
  EXPECT_EQ(c->Code, 416);
  EXPECT_EQ(c->RetCode, SQL_ERROR);
  ASSERT_EQ(c->GetTopicCount(), 3);
  auto* r2 = static_cast<const EMOdbcDriverError*>(c->GetTopics(2));
  EXPECT_EQ(r2->RecNumber, 2);
  EXPECT_EQ(r2->SqlState, "01000");
  EXPECT_TRUE(e.Clone()->GetTopicCount() == 1);  // a clone has no chain
}

TEST(OdbcErrorText, AssignFromItsOwnChainKeepsTheFields) {
  const AnsiString Long = "Invalid object name 'Paragony_pozycje_archiwalne'.";
  EMOdbcError e(416, SQL_ERROR,
                std::make_unique<EMOdbcError>(412, SQL_SUCCESS_WITH_INFO,
                                              std::make_unique<EMOdbcDriverError>(1, "42S02", Long, 208, nullptr)));
  e.Assign(&e);
  EXPECT_EQ(e.Code, 416);
  EXPECT_EQ(e.GetTopicCount(), 3);
  e.Assign(e.GetInner());
  EXPECT_EQ(e.Code, 412);
  EXPECT_EQ(e.RetCode, SQL_SUCCESS_WITH_INFO);
  ASSERT_EQ(e.GetTopicCount(), 2);
  EXPECT_EQ(e.GetSqlState(), "42S02");

  EMOdbcDriverError d(1, "42000", "bad", 102,
                      std::make_unique<EMOdbcDriverError>(2, "01000", Long, 5701, nullptr));
  d.Assign(d.GetInner());
  EXPECT_EQ(d.RecNumber, 2);
  EXPECT_EQ(d.SqlState, "01000");
  EXPECT_EQ(d.Message, Long);
  EXPECT_EQ(d.NativeError, 5701);
  EXPECT_EQ(d.GetTopicCount(), 1);
}

class OdbcDiagnostics : public test::OdbcTest {
 protected:
  // Executes Text on a fresh statement of the test driver and returns what the error
  // generator makes of the failure.
  EMOdbcError Fail(const std::string& Text) {
    link = Connect(test::kFakeDsn);
    SQLHSTMT st;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link->GetHDbc(), &st)));
    SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(Text.c_str())), SQL_NTS);
    try {
      EMOdbcError::GenerateOdbcDriverErrors(412, rc, SQL_HANDLE_STMT, st);
    } catch (EMOdbcError& e) {
      SQLFreeHandle(SQL_HANDLE_STMT, st);
      return e;
    }
    ADD_FAILURE() << "no error raised";
    return EMOdbcError(0, 0, nullptr);
  }
  std::unique_ptr<TMOdbcLink> link;
};

TEST_F(OdbcDiagnostics, ChainHoldsAtMostSixteenRecordsInOrder) {
  EMOdbcError e = Fail("diag 20 10");
  ASSERT_EQ(e.GetTopicCount(), 17);
  // The error answers its first record's SQLSTATE and native error itself.
  EXPECT_EQ(e.GetSqlState(), "42000");
  EXPECT_EQ(e.GetNativeError(), 1001);
  for (int i = 1; i <= 16; ++i) {
    auto* r = static_cast<const EMOdbcDriverError*>(e.GetTopics(i));
    EXPECT_EQ(r->RecNumber, i);
    EXPECT_EQ(r->NativeError, 1000 + i);
    EXPECT_EQ(r->SqlState, "42000");
  }
}

TEST_F(OdbcDiagnostics, LongMessagesAreCutAt512) {
  EMOdbcError e = Fail("diag 2 700");
  ASSERT_EQ(e.GetTopicCount(), 3);
  auto* r = static_cast<const EMOdbcDriverError*>(e.GetTopics(1));
  EXPECT_EQ(r->Message.size(), 512u);
  EXPECT_EQ(r->Message.substr(0, 8), "record 1");
}

TEST_F(OdbcDiagnostics, LongPolishMessagesAreCutBetweenWholeLetters) {
  EMOdbcError e = Fail("diag 1 700 pl");
  ASSERT_EQ(e.GetTopicCount(), 2);
  const AnsiString& m = static_cast<const EMOdbcDriverError*>(e.GetTopics(1))->Message;
  EXPECT_TRUE(utf8::IsValid(m));
  EXPECT_EQ(utf8::Length(m), 512u);
  EXPECT_EQ(m.substr(0, 9), "record 1x");
  EXPECT_EQ(m.substr(m.size() - 2), "ł");
}

TEST_F(OdbcDiagnostics, NoRecordsForReturnCodesWithoutDiagnostics) {
  EMOdbcError e = Fail("diag 0 0");
  EXPECT_EQ(e.GetTopicCount(), 1);
  EXPECT_EQ(e.GetSqlState(), "");
  EXPECT_EQ(e.GetNativeError(), 0);
  try {
    EMOdbcError::GenerateOdbcDriverErrors(413, SQL_INVALID_HANDLE, SQL_HANDLE_STMT, nullptr);
  } catch (const EMOdbcError& x) {
    EXPECT_EQ(x.GetTopicCount(), 1);
    EXPECT_EQ(x.RetCode, SQL_INVALID_HANDLE);
  }
}

TEST_F(OdbcDiagnostics, FailedAllocationLeavesTheHandleNullAndFreesNothing) {
  TMOdbcHandle connection(SQL_HANDLE_DBC);  // never allocated
  TMOdbcHandle statement(SQL_HANDLE_STMT);
  try {
    statement.Allocate(&connection, 414);
    FAIL() << "a statement was allocated without a connection";
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 414);
    EXPECT_EQ(e.RetCode, SQL_INVALID_HANDLE);
  }
  EXPECT_FALSE(statement);
  statement.Free();  // nothing to free, and no second free
  EXPECT_EQ(statement.GetType(), SQL_HANDLE_STMT);
}

TEST_F(OdbcDiagnostics, InformationRecordsAreCollectedWithoutLimit) {
  link = Connect(test::kFakeDsn);
  SQLHSTMT st;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link->GetHDbc(), &st)));
  ASSERT_EQ(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>("info 18")), SQL_NTS),
            SQL_SUCCESS_WITH_INFO);
  std::vector<AnsiString> lines;
  CollectOdbcDriverInfo(st, lines);
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "[01000/1001] record 1xx");
  EXPECT_EQ(lines[17], "[01000/1018] record 18x");
}

}  // namespace
}  // namespace vandrel
