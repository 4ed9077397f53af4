#include "testkit/OdbcClient.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace msde::testkit {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

void Append(std::vector<Diagnostic>& to, SQLSMALLINT type, SQLHANDLE handle) {
  auto more = CollectDiagnostics(type, handle);
  to.insert(to.end(), more.begin(), more.end());
}

// A column's value as text, read in pieces so that long values arrive whole.
Cell ReadCell(SQLHSTMT stmt, SQLUSMALLINT column) {
  std::string value;
  char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc))
      throw OdbcFailure("SQLGetData failed", CollectDiagnostics(SQL_HANDLE_STMT, stmt));
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    size_t got = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))
                     ? sizeof buffer - 1
                     : static_cast<size_t>(indicator);
    value.append(buffer, got);
    if (rc == SQL_SUCCESS) break;
  }
  return value;
}

}  // namespace

bool ExecResult::Mentions(const std::string& text) const {
  for (const Diagnostic& d : diagnostics)
    if (d.text.find(text) != std::string::npos) return true;
  return false;
}

bool ExecResult::HasNative(int native) const {
  for (const auto& d : diagnostics)
    if (d.native == native) return true;
  return false;
}

const std::vector<TextRow>& ExecResult::Rows() const {
  static const std::vector<TextRow> kNone;
  return sets.empty() ? kNone : sets.front().rows;
}

OdbcFailure::OdbcFailure(const std::string& what, std::vector<Diagnostic> diags)
    : std::runtime_error([&] {
        std::string text = what;
        for (const auto& d : diags)
          text += "\n  [" + d.state + "] (" + std::to_string(d.native) + ") " + d.text;
        return text;
      }()),
      diagnostics(std::move(diags)) {}

std::vector<Diagnostic> CollectDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR text[2048];
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length)))
      break;
    out.push_back(Diagnostic{reinterpret_cast<char*>(state), static_cast<int>(native),
                             std::string(reinterpret_cast<char*>(text))});
  }
  return out;
}

namespace {

// UTF-8 to UTF-16 code units, ended by a zero.
std::vector<SQLWCHAR> Utf16Units(const std::string& utf8) {
  std::vector<SQLWCHAR> units;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t code = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k) code = (code << 6) | (utf8[i + k] & 0x3F);
    if (code >= 0x10000) {
      units.push_back(static_cast<SQLWCHAR>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<SQLWCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<SQLWCHAR>(code));
    }
    i += n;
  }
  units.push_back(0);
  return units;
}

}  // namespace

OdbcClient::OdbcClient(const std::string& ConnectionString, bool wide) {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  SQLRETURN rc;
  if (wide) {
    std::vector<SQLWCHAR> text = Utf16Units(ConnectionString);
    rc = SQLDriverConnectW(dbc_, nullptr, text.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  } else {
    rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(ConnectionString.c_str())),
                          SQL_NTS, out, sizeof out, &out_length, SQL_DRIVER_NOPROMPT);
  }
  login_messages_ = CollectDiagnostics(SQL_HANDLE_DBC, dbc_);
  if (!Succeeded(rc)) {
    auto diagnostics = login_messages_;
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    throw OdbcFailure("cannot connect with " + ConnectionString, diagnostics);
  }
}

OdbcClient::~OdbcClient() {
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

ExecResult OdbcClient::Exec(const std::string& sql, int TimeoutSeconds) {
  ExecResult result;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
  if (TimeoutSeconds > 0)
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(TimeoutSeconds)), 0);
  std::atomic_ref<SQLHSTMT>(running_).store(stmt);
  SQLRETURN rc =
      SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  result.ok = Succeeded(rc) || rc == SQL_NO_DATA;
  Append(result.diagnostics, SQL_HANDLE_STMT, stmt);
  while (Succeeded(rc)) {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    SQLLEN count = -1;
    SQLRowCount(stmt, &count);
    result.row_counts.push_back(count);
    if (columns > 0) {
      ResultSet set;
      for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLCHAR name[256];
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(stmt, c, name, sizeof name, &length, &type, &size, &digits, &nullable);
        set.columns.emplace_back(reinterpret_cast<char*>(name));
      }
      SQLRETURN fetch;
      while (Succeeded(fetch = SQLFetch(stmt))) {
        TextRow row;
        for (SQLUSMALLINT c = 1; c <= columns; ++c) row.push_back(ReadCell(stmt, c));
        set.rows.push_back(std::move(row));
      }
      if (fetch != SQL_NO_DATA) {
        result.ok = false;
        Append(result.diagnostics, SQL_HANDLE_STMT, stmt);
      }
      result.sets.push_back(std::move(set));
    }
    rc = SQLMoreResults(stmt);
    if (rc != SQL_NO_DATA) Append(result.diagnostics, SQL_HANDLE_STMT, stmt);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) result.ok = false;
  }
  std::atomic_ref<SQLHSTMT>(running_).store(SQL_NULL_HSTMT);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return result;
}

std::string OdbcClient::Scalar(const std::string& sql) {
  ExecResult r = Exec(sql);
  if (!r.ok || r.Rows().empty() || r.Rows()[0].empty() || !r.Rows()[0][0])
    throw OdbcFailure("no value from " + sql, r.diagnostics);
  return *r.Rows()[0][0];
}

void OdbcClient::Cancel() {
  SQLHSTMT stmt = std::atomic_ref<SQLHSTMT>(running_).load();
  if (stmt != SQL_NULL_HSTMT) SQLCancel(stmt);
}

std::vector<Diagnostic> ConnectFailure(const std::string& ConnectionString) {
  try {
    OdbcClient client(ConnectionString);
  } catch (const OdbcFailure& failure) {
    return failure.diagnostics;
  }
  return {};
}

}  // namespace msde::testkit
