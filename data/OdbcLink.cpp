#include "data/OdbcLink.h"

#include <sqlext.h>

#include <algorithm>
#include <climits>

#include "data/OdbcCall.h"
#include "data/OdbcResultSet.h"
#include "data/OdbcResults.h"
#include "data/OdbcSqlUpdate.h"
#include "data/Params.h"
#include "foundation/MacList.h"
#include "foundation/Trim.h"
#include "foundation/TxTools.h"

namespace vandrel {

TMOdbcHandle TMOdbcLink::FHEnv{SQL_HANDLE_ENV};
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
  if (!FHEnv) {
    FEnvUsageCount = 0;
    FHEnv.Allocate(nullptr, 401);
    SQLPOINTER version = reinterpret_cast<SQLPOINTER>(FODBC3Compatibility ? SQL_OV_ODBC3 : SQL_OV_ODBC2);
    OdbcCall({morSucceed, 402, &FHEnv}, SQLSetEnvAttr, FHEnv.Get(), SQL_ATTR_ODBC_VERSION, version, 0);
  }
  ++FEnvUsageCount;
  FHDbc.Allocate(&FHEnv, 403);
  SetConnectAttr(SQL_ATTR_QUIET_MODE, nullptr, 405);
  SetConnectAttr(SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 406);
  if (FConnectionTimeout > 0) {
    SetConnectAttr(SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(FConnectionTimeout)),
                   440);
    // The login itself is bounded too: a server that accepts the connection and then never
    // answers would otherwise hold the connect for good.
    SetConnectAttr(SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(FConnectionTimeout)), 0);
  }

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
    const SQLRETURN rc = WaitForConnect([&] {
      return OdbcCall({morNoDataPasses, 407, &FHDbc}, SQLDriverConnect, FHDbc.Get(), window, Chars(S), ShortLength(S),
                      out, 2048, &outLength, DriverCompletion(option));
    });
    if (rc == SQL_NO_DATA) throw EAbort("Operation aborted");
    outLength = std::clamp<SQLSMALLINT>(outLength, 0, 2048);
    out[outLength] = 0;
    S = reinterpret_cast<char*>(out);
  } else {
    // unixODBC looks data source names up as they stand, so blanks around the name would
    // make an existing source unknown: the name goes trimmed, user and password as given.
    AnsiString dsn(Trim(FDataSourceName));
    WaitForConnect([&] {
      return OdbcCall({morSucceed, 407, &FHDbc}, SQLConnect, FHDbc.Get(), Chars(dsn), ShortLength(dsn), Chars(UserID),
                      ShortLength(UserID), Chars(Password), ShortLength(Password));
    });
  }
  FConnectString = S;
}

AnsiString TMOdbcLink::GetCurrentCatalog() const {
  if (!FHDbc) return {};
  SQLCHAR name[512] = {};
  SQLINTEGER length = 0;
  const SQLRETURN rc = SQLGetConnectAttr(FHDbc.Get(), SQL_ATTR_CURRENT_CATALOG, name, sizeof name - 1, &length);
  if (!SQL_SUCCEEDED(rc) || length < 0) return {};
  return TextReceived(reinterpret_cast<char*>(name));
}

int TMOdbcLink::GetMaxColumnNameLen() {
  if (FMaxColumnNameLen < 0) {
    SQLUSMALLINT length = 0;
    const SQLRETURN rc = OdbcCall({morAnyResult}, SQLGetInfo, FHDbc.Get(), SQLUSMALLINT{SQL_MAX_COLUMN_NAME_LEN},
                                  &length, SQLSMALLINT{sizeof length}, nullptr);
    FMaxColumnNameLen = SQL_SUCCEEDED(rc) ? length : 0;
  }
  return FMaxColumnNameLen;
}

void TMOdbcLink::DoDisconnect() {
  FMaxColumnNameLen = -1;
  if (FHDbc) {
    if (FInTransaction) DoRollback();
    OdbcCall({morAnyResult}, SQLDisconnect, FHDbc.Get());
    FHDbc.Free();
  }
  if (FHEnv) {
    if (--FEnvUsageCount <= 0) {
      FHEnv.Free();
      FEnvUsageCount = 0;
    }
  }
}

void TMOdbcLink::SetConnectAttr(SQLINTEGER Attribute, SQLPOINTER Value, int Code) {
  OdbcCall({Code ? morSucceed : morAnyResult, Code, &FHDbc}, SQLSetConnectAttr, FHDbc.Get(), Attribute, Value, 0);
}

void TMOdbcLink::EndTran(SQLSMALLINT Completion, int Code) {
  OdbcCall({Code ? morSucceed : morAnyResult, Code, &FHDbc}, SQLEndTran, SQLSMALLINT{SQL_HANDLE_DBC}, FHDbc.Get(),
           Completion);
}

void TMOdbcLink::AutocommitOn() { SetConnectAttr(SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0); }

void TMOdbcLink::DoStartTransaction() {
  SetConnectAttr(SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 408);
  FInTransaction = true;
}

void TMOdbcLink::DoCommit() {
  FInTransaction = false;
  try {
    EndTran(SQL_COMMIT, 409);
  } catch (...) {
    EndTran(SQL_ROLLBACK, 0);
    AutocommitOn();
    throw;
  }
  AutocommitOn();
}

void TMOdbcLink::DoRollback() {
  FInTransaction = false;
  EndTran(SQL_ROLLBACK, 0);
  AutocommitOn();
}

void TMOdbcLink::DoExecSQL(const AnsiString& SQL, TMParams* Params) {
  TMOdbcHandle statement(SQL_HANDLE_STMT);
  statement.Allocate(&FHDbc, 410);
  AnsiString text = SQL;
  if (Params) {
    TMacListOfIntegers indexes;
    text = Params->AdjustToQueryText(SQL, &indexes, false);
    if (indexes.GetCount() > 0) EMOdbcError::Raise(411);
  }
  text = TextToSend(text);
  // Every result is read, so that an error of a later statement of a batch (or one that
  // follows a row count) fails the call; the first error found is raised.
  TMOdbcResults results(statement, 412, nullptr, this);
  results.Take(WaitForServer(statement, [&] {
    return OdbcCall({morAnyResult}, SQLExecDirect, statement.Get(), Chars(text), SQL_NTS);
  }));
  results.Drain();
  results.RaiseFirstError();
}

// unixODBC lets SQLCancel past the statement's lock, so that it reaches a call waiting on
// another thread, and it clears and posts the statement's diagnostics as any call does: a
// second request that comes while the cancelled call leaves the driver manager with its
// "Operation canceled" can free a record twice. So a wait is asked once, and again only when
// the first request evidently came before the driver waited.
bool TMOdbcLink::Cancel() {
  std::lock_guard lock(FWaitingLock);
  if (FWaiting == SQL_NULL_HSTMT) return false;
  const auto now = std::chrono::steady_clock::now();
  if (FCancelSent != std::chrono::steady_clock::time_point() && now - FCancelSent < CancelAgainAfter) return true;
  FCancelSent = now;
  OdbcCall({morAnyResult}, SQLCancel, FWaiting);
  return true;
}

SQLRETURN TMOdbcLink::WaitForServer(const TMOdbcHandle& Statement, const TStatementCall& Call) {
  struct Waiting {
    TMOdbcLink& Link;
    Waiting(TMOdbcLink& L, SQLHSTMT S) : Link(L) {
      std::lock_guard lock(Link.FWaitingLock);
      Link.FWaiting = S;
      Link.FCancelSent = {};
    }
    ~Waiting() {
      std::lock_guard lock(Link.FWaitingLock);
      Link.FWaiting = SQL_NULL_HSTMT;
    }
  } waiting(*this, Statement.Get());
  SQLULEN timeout = 0;
  if (!SQL_SUCCEEDED(SQLGetStmtAttr(Statement.Get(), SQL_ATTR_QUERY_TIMEOUT, &timeout, 0, nullptr))) timeout = 0;
  FWaitingTimeout = static_cast<int>(timeout);
  return OnStatementWait ? OnStatementWait(this, Call) : Call();
}

SQLRETURN TMOdbcLink::WaitForConnect(const TStatementCall& Call) {
  FWaitingTimeout = FConnectionTimeout;
  return OnStatementWait ? OnStatementWait(this, Call) : Call();
}

void TMOdbcLink::ReportInfo(const std::vector<AnsiString>& Lines, size_t From) const {
  if (!OnStatementInfo) return;
  for (size_t i = From; i < Lines.size(); ++i) OnStatementInfo(const_cast<TMOdbcLink*>(this), Lines[i]);
}

}  // namespace vandrel
