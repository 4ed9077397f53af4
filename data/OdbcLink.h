#pragma once
// The database link over ODBC 3: one connection handle per link, one environment handle
// shared by every ODBC link of the process (with a usage count, without locking: links live
// on the GUI thread), connect by data source or by a connection string from an event,
// transactions on the autocommit switch, one-shot statements on a throw-away statement.
#include <sql.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "data/DbLink.h"
#include "data/OdbcHandle.h"

namespace vandrel {

// The prompt window handle of the driver manager; the link passes null.
using HWND = SQLHWND;

// Driver completion of the connect.
enum TMOdbcConnectOption : std::uint8_t {
  mcoNoPrompt = 0,
  mcoCompleteRequired = 1,
  mcoComplete = 2,
  mcoPrompt = 3,
};

class TMOdbcLink : public TMCustomDBLink {
  VANDREL_CLASS(TMOdbcLink, TMCustomDBLink)
 public:
  using TGetConnectStringEvent =
      std::function<void(TMOdbcLink* Sender, AnsiString& AConnectString, const AnsiString ADSN,
                         const AnsiString AUID, const AnsiString APWD, TMOdbcConnectOption& AOption,
                         HWND& APromptDlgParent)>;

  // A call of a statement that waits for the server (execution, the move to the next
  // result); it answers the call's return code.
  using TStatementCall = std::function<SQLRETURN()>;
  using TStatementWaitEvent = std::function<SQLRETURN(TMOdbcLink* Sender, const TStatementCall& Call)>;
  using TStatementInfoEvent = std::function<void(TMOdbcLink* Sender, const AnsiString& Message)>;

  explicit TMOdbcLink(TObject* Owner = nullptr);
  ~TMOdbcLink() override;

  TGetConnectStringEvent OnGetConnectString;
  // When set, every call that waits for the server (a statement's, and the connect) is
  // handed to it; it makes the call exactly once, on whatever thread it likes, and answers
  // its return code. Unset: the call is made on the caller's thread.
  TStatementWaitEvent OnStatementWait;
  // Each informational message of a running statement (a backup's "10 percent backed
  // up."), in the order the driver hands them over, on the thread that runs the statement,
  // as soon as the call that brought it returns.
  TStatementInfoEvent OnStatementInfo;

  // Asks the driver to cancel the statement whose call is waiting for the server
  // (SQLCancel): the one call that may come from another thread. False when no call waits.
  // A call is asked once; asked again, it is sent again only when the first request has
  // had CancelAgainAfter to end the call (it came before the driver waited, and was lost).
  bool Cancel();
  static constexpr std::chrono::milliseconds CancelAgainAfter{250};
  // Makes Call, a call of Statement that waits for the server, through OnStatementWait;
  // Cancel reaches Statement meanwhile.
  SQLRETURN WaitForServer(const TMOdbcHandle& Statement, const TStatementCall& Call);
  // The time-out in seconds of the call waiting now or last (the statement's query time-out,
  // or ConnectionTimeout for a connect); 0: none. Read on the link's own thread.
  int GetWaitingTimeout() const { return FWaitingTimeout; }
  // Passes Lines from index From on to OnStatementInfo.
  void ReportInfo(const std::vector<AnsiString>& Lines, size_t From) const;

  TMCustomResultSet* CreateResultSet(TKMQuery* Query) override;
  TMCustomSQLUpdate* CreateSQLUpdate(TMUpdate* Update) override;
  bool GetInTransaction() const override { return FInTransaction; }

  const AnsiString& GetDataSourceName() const { return FDataSourceName; }
  void SetDataSourceName(const AnsiString& Value);
  bool GetOEMConversion() const { return FOEMConversion; }
  void SetOEMConversion(bool Value) { FOEMConversion = Value; }
  int GetBulkParArrayLen() const { return FBulkParArrayLen; }
  void SetBulkParArrayLen(int Value);
  bool GetODBC3Compatibility() const { return FODBC3Compatibility; }
  void SetODBC3Compatibility(bool Value);
  int GetConnectionTimeout() const { return FConnectionTimeout; }
  void SetConnectionTimeout(int Value);
  int GetQueryTimeout() const { return FQueryTimeout; }
  void SetQueryTimeout(int Value);
  // The connection string of the last successful connect (it holds the password).
  const AnsiString& GetConnectString() const { return FConnectString; }

  SQLHDBC GetHDbc() const { return FHDbc.Get(); }
  // The connection handle, null while disconnected.
  const TMOdbcHandle& GetConnection() const { return FHDbc; }
  // The connection's current database as the driver follows it (SQL_ATTR_CURRENT_CATALOG,
  // which the server's change notices keep up to date); empty while disconnected or when the
  // driver does not tell.
  AnsiString GetCurrentCatalog() const;
  // The longest column name the driver may describe, in characters (SQLGetInfo, asked
  // once per connection); 0 when the driver does not tell.
  int GetMaxColumnNameLen();
  // The statement text as sent: converted to the OEM code page when OEMConversion is set.
  AnsiString TextToSend(const AnsiString& Text) const;
  // A result string as read: converted back from the OEM code page when OEMConversion is set.
  AnsiString TextReceived(AnsiString Text) const;

  static SQLHENV GetHEnv() { return FHEnv.Get(); }
  static int GetEnvUsageCount() { return FEnvUsageCount; }

 protected:
  void DoConnect(const AnsiString& UserID, const AnsiString& Password) override;
  void DoDisconnect() override;
  void DoStartTransaction() override;
  void DoCommit() override;
  void DoRollback() override;
  void DoExecSQL(const AnsiString& SQL, TMParams* Params) override;

 private:
  void ConnectSteps(const AnsiString& UserID, const AnsiString& Password);
  // The connect call, through OnStatementWait like a statement's (Cancel cannot reach it).
  SQLRETURN WaitForConnect(const TStatementCall& Call);
  // A connection attribute; Code 0: the result is ignored.
  void SetConnectAttr(SQLINTEGER Attribute, SQLPOINTER Value, int Code);
  // Ends the transaction of the connection; Code 0: the result is ignored.
  void EndTran(SQLSMALLINT Completion, int Code);
  void AutocommitOn();

  static TMOdbcHandle FHEnv;
  static int FEnvUsageCount;

  TMOdbcHandle FHDbc{SQL_HANDLE_DBC};
  AnsiString FDataSourceName;
  bool FInTransaction = false;
  bool FOEMConversion = false;
  int FBulkParArrayLen = 20;
  AnsiString FConnectString;
  bool FODBC3Compatibility = true;
  int FConnectionTimeout = 0;
  int FQueryTimeout = 0;
  int FMaxColumnNameLen = -1;  // -1: not asked yet on this connection
  // The statement whose call waits for the server; the lock keeps it from being freed
  // while Cancel works on it.
  std::mutex FWaitingLock;
  SQLHSTMT FWaiting = SQL_NULL_HSTMT;
  // When Cancel last reached FWaiting; none (the epoch) while it has not.
  std::chrono::steady_clock::time_point FCancelSent;
  int FWaitingTimeout = 0;
};

}  // namespace vandrel
