#include "app/query/BatchRunner.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>

#include "app/query/DriverDiagnostics.h"
#include "data/OdbcHandle.h"
#include "data/OdbcLink.h"

namespace vandrel::app {
namespace {

// The longest text of one cell read; a longer one shows its beginning, marked as cut.
constexpr SQLLEN kMaxCellBytes = 65536;
// The bound buffers of one fetch take about this much, within the bounds of rows below.
constexpr size_t kRowsetBytes = 1 << 20;
constexpr size_t kMaxRowsetRows = 500;
// A driver whose connection is gone may answer every move with an error without saying so:
// the results end after this many failed moves in a row.
constexpr int kMaxFailedMoves = 64;

bool IsNumeric(SQLSMALLINT Type) {
  switch (Type) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: case SQL_DECIMAL: case SQL_NUMERIC:
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: return true;
    default: return false;
  }
}

bool IsBinary(SQLSMALLINT Type) { return Type == SQL_BINARY || Type == SQL_VARBINARY || Type == SQL_LONGVARBINARY; }

bool IsText(SQLSMALLINT Type) {
  switch (Type) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR: case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
      return true;
    default: return false;
  }
}

// The bytes one element of a column needs as UTF-8 text, within kMaxCellBytes.
SQLLEN ElementWidth(SQLSMALLINT Type, SQLULEN Size) {
  SQLULEN bytes = 64;  // numbers, dates, identifiers as text
  if (IsText(Type)) bytes = Size == 0 ? kMaxCellBytes : Size * 3 + 1;
  if (IsBinary(Type)) bytes = Size == 0 ? kMaxCellBytes : Size * 2 + 1;
  return static_cast<SQLLEN>(std::min<SQLULEN>(bytes, kMaxCellBytes));
}

// Length of the longest prefix of Text within Size bytes that does not cut a UTF-8 character.
size_t WholeCharacters(const char* Text, size_t Size) {
  size_t end = Size;
  while (end > 0 && (static_cast<unsigned char>(Text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

TResultCell TRowset::CutCell(const char* Text, SQLLEN Width) {
  const size_t kept = strnlen(Text, static_cast<size_t>(Width - 1));
  return {{Text, WholeCharacters(Text, kept)}, false, true};
}

TBatchEnd TBatchRunner::Run(const std::string& Text) {
  FEnd = TBatchEnd::Done;
  TMOdbcHandle statement(SQL_HANDLE_STMT);
  statement.Allocate(&FLink.GetConnection(), 414);
  SQLHSTMT s = statement.Get();
  const TDriverDiagnostics diagnostics(FLink.GetHDbc(), s);
  FDiagnostics = &diagnostics;
  struct Forget {
    const TDriverDiagnostics*& D;
    ~Forget() { D = nullptr; }
  } forget{FDiagnostics};
  std::string sent = FLink.TextToSend(Text);
  SQLRETURN rc = FLink.WaitForServer(statement, [&] {
    return SQLExecDirect(s, reinterpret_cast<SQLCHAR*>(sent.data()), static_cast<SQLINTEGER>(sent.size()));
  });
  int failedMoves = 0;
  for (;;) {
    if (!TakeMessages()) return FEnd;
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
      failedMoves = 0;
      SQLSMALLINT columns = 0;
      if (!SQL_SUCCEEDED(SQLNumResultCols(s, &columns))) columns = 0;
      if (columns > 0) {
        if (!ReadRows(statement, columns)) return FEnd;
      } else {
        TakeRowCount(s);
      }
    } else if (rc != SQL_ERROR || ++failedMoves > kMaxFailedMoves) {
      break;  // the end of the results, or nothing more to read
    }
    if (FStop) return FEnd = TBatchEnd::Stopped;
    rc = FLink.WaitForServer(statement, [s] { return SQLMoreResults(s); });
    if (rc == SQL_NO_DATA) {
      TakeMessages();
      break;
    }
  }
  return FEnd;
}

bool TBatchRunner::TakeMessages() { return Report(ReadServerMessages(*FDiagnostics)); }

bool TBatchRunner::Report(const std::vector<TServerMessage>& Messages) {
  for (const TServerMessage& m : Messages) {
    if (ConnectionGone(m)) {
      FSink.Message(m);
      FEnd = TBatchEnd::ConnectionLost;
      return false;
    }
    if (CancelledCall(m) || (FStop && m.Error)) {
      FEnd = TBatchEnd::Stopped;
      return false;
    }
    FSink.Message(m);
  }
  if (FStop) {
    FEnd = TBatchEnd::Stopped;
    return false;
  }
  return true;
}

void TBatchRunner::TakeRowCount(SQLHSTMT Statement) {
  SQLLEN count = -1;
  if (SQL_SUCCEEDED(SQLRowCount(Statement, &count)) && count >= 0) FSink.RowsAffected(count);
}

bool TBatchRunner::ReadRows(const TMOdbcHandle& Handle, int Count) {
  SQLHSTMT Statement = Handle.Get();
  std::vector<TResultColumn> columns(static_cast<size_t>(Count));
  size_t rowBytes = 0;
  for (int c = 0; c < Count; ++c) {
    SQLCHAR name[512] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(Statement, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name, &nameLength, &type, &size, &digits,
                   &nullable);
    TResultColumn& column = columns[static_cast<size_t>(c)];
    column.Name = reinterpret_cast<char*>(name);
    column.Numeric = IsNumeric(type);
    column.Binary = IsBinary(type);
    column.Width = ElementWidth(type, size);
    rowBytes += static_cast<size_t>(column.Width) + sizeof(SQLLEN);
  }
  const size_t rows = std::clamp<size_t>(kRowsetBytes / std::max<size_t>(rowBytes, 1), 1, kMaxRowsetRows);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(Statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  SQLSetStmtAttr(Statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
  SQLSetStmtAttr(Statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  for (int c = 0; c < Count; ++c) {
    TResultColumn& column = columns[static_cast<size_t>(c)];
    column.Data = std::make_unique_for_overwrite<char[]>(rows * static_cast<size_t>(column.Width));
    column.Indicators = std::make_unique_for_overwrite<SQLLEN[]>(rows);
    SQLBindCol(Statement, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, column.Data.get(), column.Width,
               column.Indicators.get());
  }
  // The buffers go with this call: nothing may stay bound to them.
  struct Unbind {
    SQLHSTMT S;
    ~Unbind() {
      SQLFreeStmt(S, SQL_UNBIND);
      SQLSetStmtAttr(S, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    }
  } unbind{Statement};

  FSink.BeginResult(columns);
  // A fetch that reads the end of the rows may read the messages after it too (a PRINT that
  // follows the SELECT) while it answers success: they are kept until the rows' count.
  std::vector<TServerMessage> after;
  for (;;) {
    fetched = 0;
    const SQLRETURN rc = FLink.WaitForServer(Handle, [Statement] {
      return SQLFetchScroll(Statement, SQL_FETCH_NEXT, 0);
    });
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
      std::vector<TServerMessage> messages = ReadServerMessages(*FDiagnostics);
      after.insert(after.end(), std::make_move_iterator(messages.begin()), std::make_move_iterator(messages.end()));
    }
    if ((rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) || fetched == 0) {
      // The end of the rows, or an error after them (the next statement's): the rows'
      // count came first. The messages are read before the count is asked, as every call of
      // the driver clears them.
      const std::vector<TServerMessage> last =
          rc == SQL_SUCCESS ? std::vector<TServerMessage>() : ReadServerMessages(*FDiagnostics);
      FSink.EndResult();
      TakeRowCount(Statement);
      return Report(after) && Report(last);
    }
    FSink.AppendRows(TRowset(columns, static_cast<int>(fetched)));
    FSink.Turn();
    if (FStop) {
      // No call waits now: the rows still coming are cancelled here.
      SQLCancel(Statement);
      FEnd = TBatchEnd::Stopped;
      FSink.EndResult();
      return false;
    }
  }
}

}  // namespace vandrel::app
