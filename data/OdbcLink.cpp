#include "data/OdbcLink.h"

#include <sqlext.h>

#include <algorithm>
#include <climits>

#include "data/OdbcError.h"
#include "data/OdbcResultSet.h"
#include "data/OdbcSqlUpdate.h"
#include "data/Params.h"
#include "foundation/MacList.h"
#include "foundation/Trim.h"
#include "foundation/TxTools.h"

namespace vandrel {

SQLHENV TMOdbcLink::FHEnv = SQL_NULL_HENV;
int TMOdbcLink::FEnvUsageCount = 0;

namespace {

SQLUSMALLINT DriverCompletion(TMOdbcConnectOption Option) {
  switch (Option) {
    case mcoCompleteRequired: return SQL_DRIVER_COMPLETE_REQUIRED;
    case mcoComplete: return SQL_DRIVER_COMPLETE;
    case mcoPrompt: return SQL_DRIVER_PROMPT;
    default: return SQL_DRIVER_NOPROMPT;
  }
}

SQLCHAR* Chars(const AnsiString& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

SQLSMALLINT ShortLength(const AnsiString& s) {
  return s.size() > SHRT_MAX ? SQL_NTS : static_cast<SQLSMALLINT>(s.size());
}

void AppendPart(AnsiString& S, const char* Key, const AnsiString& Value) {
  AnsiString v(Trim(Value));
  if (v.empty()) return;
  if (!S.empty()) S += ";";
  S += Key + v;
}

}  // namespace

TMOdbcLink::TMOdbcLink(TObject* Owner) : TMCustomDBLink(Owner) {}

TMOdbcLink::~TMOdbcLink() { BeforeDestruction(); }

TMCustomResultSet* TMOdbcLink::CreateResultSet(TKMQuery* Query) { return new TMOdbcResultSet(this, Query); }

TMCustomSQLUpdate* TMOdbcLink::CreateSQLUpdate(TMUpdate* Update) {
  return new TMOdbcSQLUpdate(this, FBulkParArrayLen, Update);
}

void TMOdbcLink::SetDataSourceName(const AnsiString& Value) {
  if (!GetConnected()) FDataSourceName = Value;
}

void TMOdbcLink::SetODBC3Compatibility(bool Value) {
  if (!GetConnected()) FODBC3Compatibility = Value;
}

void TMOdbcLink::SetBulkParArrayLen(int Value) { FBulkParArrayLen = std::clamp(Value, 1, 20); }

void TMOdbcLink::SetConnectionTimeout(int Value) { FConnectionTimeout = std::clamp(Value, 0, 86400); }

void TMOdbcLink::SetQueryTimeout(int Value) { FQueryTimeout = std::clamp(Value, 0, 86400); }

AnsiString TMOdbcLink::TextToSend(const AnsiString& Text) const {
  return FOEMConversion ? TxTools(Text).ToOEM() : Text;
}

AnsiString TMOdbcLink::TextReceived(AnsiString Text) const {
  return FOEMConversion ? TxTools(Text).FromOEM() : Text;
}

void TMOdbcLink::DoConnect(const AnsiString& UserID, const AnsiString& Password) {
  try {
    ConnectSteps(UserID, Password);
  } catch (...) {
    DoDisconnect();
    throw;
  }
}

void TMOdbcLink::ConnectSteps(const AnsiString& UserID, const AnsiString& Password) {
  FInTransaction = false;
  if (FHEnv == SQL_NULL_HENV) {
    FEnvUsageCount = 0;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FHEnv);
    if (!SQL_SUCCEEDED(rc)) {
      FHEnv = SQL_NULL_HENV;
      EMOdbcError::GenerateOdbcDriverErrors(401, rc, SQL_HANDLE_ENV, nullptr);
    }
    SQLPOINTER version = reinterpret_cast<SQLPOINTER>(FODBC3Compatibility ? SQL_OV_ODBC3 : SQL_OV_ODBC2);
    OdbcCheck(SQLSetEnvAttr(FHEnv, SQL_ATTR_ODBC_VERSION, version, 0), 402, SQL_HANDLE_ENV, FHEnv);
  }
  ++FEnvUsageCount;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, FHEnv, &FHDbc);
  if (!SQL_SUCCEEDED(rc)) {
    FHDbc = SQL_NULL_HDBC;
    EMOdbcError::GenerateOdbcDriverErrors(403, rc, SQL_HANDLE_ENV, FHEnv);
  }
  OdbcCheck(SQLSetConnectAttr(FHDbc, SQL_ATTR_QUIET_MODE, nullptr, 0), 405, SQL_HANDLE_DBC, FHDbc);
  OdbcCheck(SQLSetConnectAttr(FHDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0), 406,
            SQL_HANDLE_DBC, FHDbc);
  if (FConnectionTimeout > 0)
    OdbcCheck(SQLSetConnectAttr(FHDbc, SQL_ATTR_CONNECTION_TIMEOUT,
                                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(FConnectionTimeout)), 0),
              440, SQL_HANDLE_DBC, FHDbc);

  AnsiString S;
  AppendPart(S, "DSN=", FDataSourceName);
  AppendPart(S, "UID=", UserID);
  AppendPart(S, "PWD=", Password);

  if (OnGetConnectString) {
    TMOdbcConnectOption option = mcoNoPrompt;
    HWND window = nullptr;
    OnGetConnectString(this, S, FDataSourceName, UserID, Password, option, window);
    SQLCHAR out[2048 + 1] = {};
    SQLSMALLINT outLength = 0;
    rc = SQLDriverConnect(FHDbc, window, Chars(S), ShortLength(S), out, 2048, &outLength, DriverCompletion(option));
    if (rc == SQL_NO_DATA) throw EAbort("Operation aborted");
    OdbcCheck(rc, 407, SQL_HANDLE_DBC, FHDbc);
    outLength = std::clamp<SQLSMALLINT>(outLength, 0, 2048);
    out[outLength] = 0;
    S = reinterpret_cast<char*>(out);
  } else {
    // unixODBC looks data source names up as they stand, so blanks around the name would
    // make an existing source unknown: the name goes trimmed, user and password as given.
    AnsiString dsn(Trim(FDataSourceName));
    rc = SQLConnect(FHDbc, Chars(dsn), ShortLength(dsn), Chars(UserID), ShortLength(UserID), Chars(Password),
                    ShortLength(Password));
    OdbcCheck(rc, 407, SQL_HANDLE_DBC, FHDbc);
  }
  FConnectString = S;
}

void TMOdbcLink::DoDisconnect() {
  if (FHDbc != SQL_NULL_HDBC) {
    if (FInTransaction) DoRollback();
    SQLDisconnect(FHDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, FHDbc);
    FHDbc = SQL_NULL_HDBC;
  }
  if (FHEnv != SQL_NULL_HENV) {
    if (--FEnvUsageCount <= 0) {
      SQLFreeHandle(SQL_HANDLE_ENV, FHEnv);
      FHEnv = SQL_NULL_HENV;
      FEnvUsageCount = 0;
    }
  }
}

void TMOdbcLink::AutocommitOn() {
  SQLSetConnectAttr(FHDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

void TMOdbcLink::DoStartTransaction() {
  OdbcCheck(SQLSetConnectAttr(FHDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0), 408,
            SQL_HANDLE_DBC, FHDbc);
  FInTransaction = true;
}

void TMOdbcLink::DoCommit() {
  FInTransaction = false;
  try {
    OdbcCheck(SQLEndTran(SQL_HANDLE_DBC, FHDbc, SQL_COMMIT), 409, SQL_HANDLE_DBC, FHDbc);
  } catch (...) {
    SQLEndTran(SQL_HANDLE_DBC, FHDbc, SQL_ROLLBACK);
    AutocommitOn();
    throw;
  }
  AutocommitOn();
}

void TMOdbcLink::DoRollback() {
  FInTransaction = false;
  SQLEndTran(SQL_HANDLE_DBC, FHDbc, SQL_ROLLBACK);
  AutocommitOn();
}

void TMOdbcLink::DoExecSQL(const AnsiString& SQL, TMParams* Params) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  OdbcCheck(SQLAllocHandle(SQL_HANDLE_STMT, FHDbc, &statement), 410, SQL_HANDLE_DBC, FHDbc);
  try {
    AnsiString text = SQL;
    if (Params) {
      TMacListOfIntegers indexes;
      text = Params->AdjustToQueryText(SQL, &indexes, false);
      if (indexes.GetCount() > 0) EMOdbcError::Raise(411);
    }
    text = TextToSend(text);
    SQLRETURN rc = SQLExecDirect(statement, Chars(text), SQL_NTS);
    if (rc != SQL_NO_DATA) OdbcCheck(rc, 412, SQL_HANDLE_STMT, statement);
  } catch (...) {
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
}

}  // namespace vandrel
