#pragma once
// A small ODBC client for tests: connect with a connection string, run a statement, fetch
// every result set as text, and keep the diagnostics (SQLSTATE, native error, text).
#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace msde::testkit {

struct Diagnostic {
  std::string state;
  int native = 0;
  std::string text;
};

using Cell = std::optional<std::string>;  // nothing: NULL
using TextRow = std::vector<Cell>;

struct ResultSet {
  std::vector<std::string> columns;
  std::vector<TextRow> rows;
};

struct ExecResult {
  bool ok = false;  // SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA throughout
  std::vector<ResultSet> sets;
  std::vector<SQLLEN> row_counts;  // SQLRowCount of each result (-1: none)
  std::vector<Diagnostic> diagnostics;
  // Whether any diagnostic has this native error number.
  bool HasNative(int native) const;
  // Whether any diagnostic's text contains `text`.
  bool Mentions(const std::string& text) const;
  // The first result set's rows (empty when there is none).
  const std::vector<TextRow>& Rows() const;
};

class OdbcFailure : public std::runtime_error {
 public:
  OdbcFailure(const std::string& what, std::vector<Diagnostic> diagnostics);
  std::vector<Diagnostic> diagnostics;
};

// Diagnostics of a handle, in order.
std::vector<Diagnostic> CollectDiagnostics(SQLSMALLINT type, SQLHANDLE handle);

class OdbcClient {
 public:
  // Connects with SQLDriverConnect; raises OdbcFailure with the driver's diagnostics. FreeTDS
  // reads the narrow call's connection string as ISO-8859-1 whatever ClientCharset says, so a
  // user name beyond ASCII needs `wide`: SQLDriverConnectW with the string's UTF-16.
  explicit OdbcClient(const std::string& ConnectionString, bool wide = false);
  ~OdbcClient();
  OdbcClient(const OdbcClient&) = delete;
  OdbcClient& operator=(const OdbcClient&) = delete;

  // Runs Sql on a fresh statement and reads every result. TimeoutSeconds > 0 sets the
  // query timeout.
  ExecResult Exec(const std::string& sql, int TimeoutSeconds = 0);
  // The first column of the first row, or raises OdbcFailure.
  std::string Scalar(const std::string& sql);
  // Cancels the statement Exec is running on another thread (SQLCancel).
  void Cancel();
  // Informational messages of the login (e.g. the database context).
  const std::vector<Diagnostic>& LoginMessages() const { return login_messages_; }
  SQLHDBC Handle() const { return dbc_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  SQLHSTMT running_ = SQL_NULL_HSTMT;  // for Cancel; guarded by the caller's sequencing
  std::vector<Diagnostic> login_messages_;
};

// Connects or returns the failure's diagnostics (for tests of refused logins).
std::vector<Diagnostic> ConnectFailure(const std::string& ConnectionString);

}  // namespace msde::testkit
