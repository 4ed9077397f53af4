// A scriptable ODBC driver for the tests: unixODBC loads it like any driver, and the
// statement text chooses what it does, so that the tests can reach the answers a real
// driver gives only in rare situations (a cancelled prompt, twenty diagnostic records,
// an unsupported column type, a fetch that fails half-way, a parameter row in error).
//
// Statement texts (SQLExecDirect):
//   diag N LEN [pl]       fails with N diagnostic records, each message LEN characters long
//                         (pl: Polish letters, two bytes each)
//   info N                succeeds with information and N records, no result columns
//   col TYPE SIZE DD LEN [pl]
//                         one column of that SQL type, size and digits, name of LEN characters
//   rows N [failat K] [fetchinfo]
//                         one integer column "n" holding 0 .. N-1; the fetch that would
//                         deliver row K fails; every fetch succeeds with information
//   select ... from T     the parameter type query: one column per " as ", typed by the
//                         selected column's name (int, vc, dbl, guid); table "fewcols"
//                         describes one column less
//   ubig T1 T2 ...        one column "ub", a bigint the driver describes as unsigned
//                         (SQL_DESC_UNSIGNED), one row per decimal text Tn
//   stamps T1 T2 ...      one column "ts", a timestamp, one row per Tn written
//                         year-month-day-hour-minute-second-fraction (any numbers)
//   wait MS               waits MS milliseconds (0: for ever) and succeeds, unless SQLCancel
//                         comes first (from another thread): then it fails with HY008
//   cancels               as "rows N", N the SQLCancel calls that found their statement
//                         cancelled already, counted since the last "cancels"
//   A; B; ...            a batch: A is the first result, each further part one result that
//                         SQLMoreResults moves on to ("ok" is a result without columns)
// Connection strings (SQLDriverConnect): "Cancel=1" answers SQL_NO_DATA as a cancelled
// prompt does; otherwise the output is "Completion=<mode>;" followed by the input.
// Prepared statements (SQLExecute): a text holding "paramstatus K C" marks parameter row K
// with status C and succeeds with information ("nodata" makes that SQL_NO_DATA); "execfail"
// fails; "lateerror" succeeds and leaves a failing result for SQLMoreResults.
#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Diag {
  std::string State;
  int Native;
  std::string Message;
};

struct Handle {
  explicit Handle(int t) : Type(t) {}
  virtual ~Handle() = default;
  int Type;
  std::vector<Diag> Diags;
};

struct Column {
  std::string Name;
  SQLSMALLINT SqlType;
  SQLULEN Size;
  SQLSMALLINT Digits;
  bool Unsigned = false;
};

struct Binding {
  SQLSMALLINT CType = 0;
  SQLPOINTER Data = nullptr;
  SQLLEN BufLen = 0;
  SQLLEN* Ind = nullptr;
};

struct Stmt : Handle {
  Stmt() : Handle(SQL_HANDLE_STMT) {}
  std::string Prepared;
  std::vector<std::string> Pending;  // the results after the current one
  std::vector<Column> Columns;
  std::vector<Binding> Bindings;
  long Rows = 0, Next = 0, FailAt = -1;
  std::vector<std::string> Texts;  // "ubig": the rows' values as text
  std::vector<SQL_TIMESTAMP_STRUCT> Stamps;  // "stamps": the rows' values
  bool FetchInfo = false;
  SQLULEN ArraySize = 1, ParamsetSize = 1;
  SQLULEN* RowsFetched = nullptr;
  SQLULEN* ParamsProcessed = nullptr;
  SQLUSMALLINT* RowStatus = nullptr;
  SQLUSMALLINT* ParamStatus = nullptr;
  // SQLCancel may come from another thread while a "wait" runs.
  std::mutex CancelLock;
  std::condition_variable CancelSignal;
  bool Waiting = false, Cancelled = false;
};

// SQLCancel calls that came to a statement already cancelled.
std::atomic<long> gRepeatedCancels{0};
// Calls blocked in a "wait" now.
std::atomic<long> gWaitingCalls{0};

SQLRETURN Wait(Stmt* st, long Ms) {
  std::unique_lock lock(st->CancelLock);
  st->Waiting = true;
  st->Cancelled = false;
  ++gWaitingCalls;
  auto cancelled = [st] { return st->Cancelled; };
  if (Ms > 0)
    st->CancelSignal.wait_for(lock, std::chrono::milliseconds(Ms), cancelled);
  else
    st->CancelSignal.wait(lock, cancelled);
  st->Waiting = false;
  --gWaitingCalls;
  if (!st->Cancelled) return SQL_SUCCESS;
  st->Diags.push_back({"HY008", 0, "Operation canceled"});
  return SQL_ERROR;
}

std::string Text(SQLCHAR* s, SQLINTEGER len) {
  if (!s) return {};
  return len == SQL_NTS ? std::string(reinterpret_cast<char*>(s)) : std::string(reinterpret_cast<char*>(s), len);
}

// Text of Len characters: Len 'c's, or with Polish set Len 'ł's (two bytes each).
std::string Letters(long Len, bool Polish) {
  std::string t;
  for (long i = 0; i < Len; ++i) t += Polish ? "ł" : "c";
  return t;
}

// Messages "record i" padded to Len characters with 'x', or (Polish) with one 'x' and then
// 'ł's, so that a cut at an even byte count falls inside a letter.
void AddDiags(Handle* h, int n, int len, const char* state, bool Polish = false) {
  for (int i = 1; i <= n; ++i) {
    std::string m = "record " + std::to_string(i);
    if (Polish) {
      m += "x";
      if (len > static_cast<int>(m.size())) m += Letters(len - static_cast<long>(m.size()), true);
    } else if (len > static_cast<int>(m.size())) {
      m.resize(len, 'x');
    }
    h->Diags.push_back({state, 1000 + i, m});
  }
}

SQLSMALLINT TypeOfName(const std::string& n, SQLULEN& size) {
  size = 10;
  if (n == "vc") return SQL_VARCHAR;
  if (n == "dbl") { size = 15; return SQL_DOUBLE; }
  if (n == "guid") { size = 36; return SQL_GUID; }
  return SQL_INTEGER;
}

// The type query of an update: "select\r\n f as p,\r\n g as q\r\nfrom T\r\n".
void DescribeTypeQuery(Stmt* st, const std::string& t) {
  std::string body = t.substr(6);
  size_t from = body.rfind("from ");
  std::string table = from == std::string::npos ? "" : body.substr(from + 5);
  table = table.substr(0, table.find_first_of(" \r\n"));
  std::string cols = body.substr(0, from);
  size_t pos = 0;
  while (true) {
    size_t as = cols.find(" as ", pos);
    if (as == std::string::npos) break;
    size_t start = cols.find_last_of(" \n", as - 1);
    std::string field = cols.substr(start + 1, as - start - 1);
    size_t end = cols.find_first_of(",\r", as + 4);
    std::string name = cols.substr(as + 4, end - as - 4);
    SQLULEN size;
    SQLSMALLINT type = TypeOfName(field, size);
    st->Columns.push_back({name, type, size, 0});
    pos = as + 4;
  }
  if (table == "fewcols" && !st->Columns.empty()) st->Columns.pop_back();
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT t, SQLHANDLE, SQLHANDLE* out) {
  *out = t == SQL_HANDLE_STMT ? static_cast<Handle*>(new Stmt) : new Handle(t);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT, SQLHANDLE h) {
  delete static_cast<Handle*>(h);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLConnect(SQLHDBC, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR* in, SQLSMALLINT inLen, SQLCHAR* out,
                                   SQLSMALLINT outMax, SQLSMALLINT* outLen, SQLUSMALLINT completion) {
  std::string s = Text(in, inLen);
  if (s.find("Cancel=1") != std::string::npos) return SQL_NO_DATA;
  std::string o = "Completion=" + std::to_string(completion) + ";" + s;
  if (out && outMax > 0) std::snprintf(reinterpret_cast<char*>(out), outMax, "%s", o.c_str());
  if (outLen) *outLen = static_cast<SQLSMALLINT>(o.size());
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT h, SQLINTEGER attr, SQLPOINTER v, SQLINTEGER) {
  Stmt* st = static_cast<Stmt*>(h);
  switch (attr) {
    case SQL_ATTR_ROW_ARRAY_SIZE: st->ArraySize = reinterpret_cast<SQLULEN>(v); break;
    case SQL_ATTR_ROWS_FETCHED_PTR: st->RowsFetched = static_cast<SQLULEN*>(v); break;
    case SQL_ATTR_ROW_STATUS_PTR: st->RowStatus = static_cast<SQLUSMALLINT*>(v); break;
    case SQL_ATTR_PARAMSET_SIZE: st->ParamsetSize = reinterpret_cast<SQLULEN>(v); break;
    case SQL_ATTR_PARAM_STATUS_PTR: st->ParamStatus = static_cast<SQLUSMALLINT*>(v); break;
    case SQL_ATTR_PARAMS_PROCESSED_PTR: st->ParamsProcessed = static_cast<SQLULEN*>(v); break;
    default: break;
  }
  return SQL_SUCCESS;
}

// Produces one result of a statement text.
SQLRETURN RunResult(Stmt* st, const std::string& t) {
  st->Diags.clear();
  st->Columns.clear();
  st->Rows = st->Next = 0;
  st->FailAt = -1;
  st->FetchInfo = false;
  st->Texts.clear();
  st->Stamps.clear();
  std::istringstream in(t);
  std::string verb;
  in >> verb;
  if (verb == "diag") {
    int n = 0, l = 0;
    std::string pl;
    in >> n >> l >> pl;
    AddDiags(st, n, l, "42000", pl == "pl");
    return SQL_ERROR;
  }
  if (verb == "info") {
    int n = 0;
    in >> n;
    AddDiags(st, n, 10, "01000");
    return SQL_SUCCESS_WITH_INFO;
  }
  if (verb == "wait") {
    long ms = 0;
    in >> ms;
    return Wait(st, ms);
  }
  if (verb == "col") {
    long type = 0, dd = 0, nameLen = 0;
    unsigned long long size = 0;
    std::string pl;
    in >> type >> size >> dd >> nameLen >> pl;
    st->Columns.push_back({Letters(nameLen, pl == "pl"), static_cast<SQLSMALLINT>(type),
                           static_cast<SQLULEN>(size), static_cast<SQLSMALLINT>(dd)});
    return SQL_SUCCESS;
  }
  if (verb == "ubig") {
    for (std::string text; in >> text;) st->Texts.push_back(text);
    st->Rows = static_cast<long>(st->Texts.size());
    st->Columns.push_back({"ub", SQL_BIGINT, 20, 0, true});
    return SQL_SUCCESS;
  }
  if (verb == "stamps") {
    for (std::string text; in >> text;) {
      SQL_TIMESTAMP_STRUCT ts{};
      unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
      unsigned long f = 0;
      std::sscanf(text.c_str(), "%u-%u-%u-%u-%u-%u-%lu", &y, &mo, &d, &h, &mi, &sec, &f);
      ts.year = static_cast<SQLSMALLINT>(y);
      ts.month = static_cast<SQLUSMALLINT>(mo);
      ts.day = static_cast<SQLUSMALLINT>(d);
      ts.hour = static_cast<SQLUSMALLINT>(h);
      ts.minute = static_cast<SQLUSMALLINT>(mi);
      ts.second = static_cast<SQLUSMALLINT>(sec);
      ts.fraction = static_cast<SQLUINTEGER>(f);
      st->Stamps.push_back(ts);
    }
    st->Rows = static_cast<long>(st->Stamps.size());
    st->Columns.push_back({"ts", SQL_TYPE_TIMESTAMP, 23, 3});
    return SQL_SUCCESS;
  }
  if (verb == "cancels") {
    st->Rows = gRepeatedCancels.exchange(0);
    st->Columns.push_back({"n", SQL_INTEGER, 10, 0});
    return SQL_SUCCESS;
  }
  if (verb == "rows") {
    in >> st->Rows;
    std::string w;
    while (in >> w) {
      if (w == "failat") in >> st->FailAt;
      if (w == "fetchinfo") st->FetchInfo = true;
    }
    st->Columns.push_back({"n", SQL_INTEGER, 10, 0});
    return SQL_SUCCESS;
  }
  if (t.rfind("select", 0) == 0) {
    DescribeTypeQuery(st, t);
    return SQL_SUCCESS;
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len) {
  Stmt* st = static_cast<Stmt*>(h);
  std::string t = Text(text, len);
  st->Pending.clear();
  if (t.rfind("select", 0) != 0) {
    for (size_t semi; (semi = t.rfind(';')) != std::string::npos; t.erase(semi)) {
      size_t from = t.find_first_not_of(' ', semi + 1);
      st->Pending.insert(st->Pending.begin(), from == std::string::npos ? "" : t.substr(from));
    }
  }
  return RunResult(st, t);
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  st->Diags.clear();
  st->Columns.clear();
  if (st->Pending.empty()) return SQL_NO_DATA;
  std::string next = st->Pending.front();
  st->Pending.erase(st->Pending.begin());
  return RunResult(st, next);
}

// For a test's owner thread: whether a call waits inside the driver now, where a cancel
// reaches it safely (the driver manager does not guard a call's own start and end against one).
extern "C" __attribute__((visibility("default"))) long VandrelFakeWaitingCalls() { return gWaitingCalls.load(); }

SQLRETURN SQL_API SQLCancel(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  {
    std::lock_guard lock(st->CancelLock);
    if (st->Cancelled) ++gRepeatedCancels;
    if (st->Waiting) st->Cancelled = true;
  }
  st->CancelSignal.notify_all();
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len) {
  static_cast<Stmt*>(h)->Prepared = Text(text, len);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLULEN,
                                   SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  st->Diags.clear();
  st->Pending.clear();
  if (st->Prepared.find("execfail") != std::string::npos) {
    AddDiags(st, 1, 10, "23000");
    return SQL_ERROR;
  }
  if (st->ParamsProcessed) *st->ParamsProcessed = st->ParamsetSize;
  size_t p = st->Prepared.find("paramstatus ");
  if (p != std::string::npos) {
    int row = 0, code = 0;
    std::sscanf(st->Prepared.c_str() + p, "paramstatus %d %d", &row, &code);
    if (st->ParamStatus && row < static_cast<int>(st->ParamsetSize)) st->ParamStatus[row] = code;
    AddDiags(st, 1, 10, "01000");
    return st->Prepared.find("nodata") != std::string::npos ? SQL_NO_DATA : SQL_SUCCESS_WITH_INFO;
  }
  if (st->Prepared.find("lateerror") != std::string::npos) st->Pending = {"diag 1 10"};
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* n) {
  *n = static_cast<SQLSMALLINT>(static_cast<Stmt*>(h)->Columns.size());
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT h, SQLUSMALLINT c, SQLCHAR* name, SQLSMALLINT max, SQLSMALLINT* nameLen,
                                 SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  Stmt* st = static_cast<Stmt*>(h);
  if (c < 1 || c > st->Columns.size()) return SQL_ERROR;
  const Column& col = st->Columns[c - 1];
  if (name && max > 0) std::snprintf(reinterpret_cast<char*>(name), max, "%s", col.Name.c_str());
  if (nameLen) *nameLen = static_cast<SQLSMALLINT>(col.Name.size());
  if (type) *type = col.SqlType;
  if (size) *size = col.Size;
  if (digits) *digits = col.Digits;
  if (nullable) *nullable = SQL_NULLABLE;
  return col.Name.size() >= static_cast<size_t>(max) ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT h, SQLUSMALLINT c, SQLUSMALLINT id, SQLPOINTER, SQLSMALLINT, SQLSMALLINT*,
                                   SQLLEN* number) {
  Stmt* st = static_cast<Stmt*>(h);
  if (id != SQL_DESC_UNSIGNED || c < 1 || c > st->Columns.size()) return SQL_ERROR;
  if (number) *number = st->Columns[c - 1].Unsigned ? SQL_TRUE : SQL_FALSE;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT h, SQLUSMALLINT c, SQLSMALLINT ctype, SQLPOINTER data, SQLLEN bufLen,
                             SQLLEN* ind) {
  Stmt* st = static_cast<Stmt*>(h);
  if (st->Bindings.size() < c) st->Bindings.resize(c);
  st->Bindings[c - 1] = {ctype, data, bufLen, ind};
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT h, SQLSMALLINT, SQLLEN) {
  Stmt* st = static_cast<Stmt*>(h);
  st->Diags.clear();
  if (st->FailAt >= 0 && st->Next <= st->FailAt && st->FailAt < st->Next + static_cast<long>(st->ArraySize)) {
    AddDiags(st, 1, 10, "08S01");
    return SQL_ERROR;
  }
  long n = 0;
  while (n < static_cast<long>(st->ArraySize) && st->Next < st->Rows) {
    if (!st->Bindings.empty() && st->Bindings[0].CType == SQL_C_SLONG) {
      static_cast<SQLINTEGER*>(st->Bindings[0].Data)[n] = static_cast<SQLINTEGER>(st->Next);
      if (st->Bindings[0].Ind) st->Bindings[0].Ind[n] = sizeof(SQLINTEGER);
    }
    if (!st->Bindings.empty() && st->Bindings[0].CType == SQL_C_CHAR && !st->Texts.empty()) {
      const Binding& b = st->Bindings[0];
      const std::string& text = st->Texts[static_cast<size_t>(st->Next)];
      std::snprintf(static_cast<char*>(b.Data) + n * b.BufLen, static_cast<size_t>(b.BufLen), "%s", text.c_str());
      if (b.Ind) b.Ind[n] = static_cast<SQLLEN>(text.size());
    }
    if (!st->Bindings.empty() && (st->Bindings[0].CType == SQL_C_TIMESTAMP || st->Bindings[0].CType == SQL_C_TYPE_TIMESTAMP) && !st->Stamps.empty()) {
      static_cast<SQL_TIMESTAMP_STRUCT*>(st->Bindings[0].Data)[n] = st->Stamps[static_cast<size_t>(st->Next)];
      if (st->Bindings[0].Ind) st->Bindings[0].Ind[n] = sizeof(SQL_TIMESTAMP_STRUCT);
    }
    if (st->RowStatus) st->RowStatus[n] = SQL_ROW_SUCCESS;
    ++n;
    ++st->Next;
  }
  if (st->RowsFetched) *st->RowsFetched = n;
  if (n == 0) return SQL_NO_DATA;
  if (st->FetchInfo) {
    AddDiags(st, 1, 10, "01000");
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT h) { return SQLFetchScroll(h, SQL_FETCH_NEXT, 0); }
SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT h) {
  static_cast<Stmt*>(h)->Pending.clear();
  return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT, SQLUSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE h, SQLSMALLINT rec, SQLCHAR* state, SQLINTEGER* native,
                                SQLCHAR* msg, SQLSMALLINT max, SQLSMALLINT* len) {
  Handle* hh = static_cast<Handle*>(h);
  if (rec < 1 || rec > static_cast<int>(hh->Diags.size())) return SQL_NO_DATA;
  const Diag& d = hh->Diags[rec - 1];
  if (state) std::memcpy(state, d.State.c_str(), 6);
  if (native) *native = d.Native;
  if (len) *len = static_cast<SQLSMALLINT>(d.Message.size());
  if (msg && max > 0) std::snprintf(reinterpret_cast<char*>(msg), max, "%s", d.Message.c_str());
  return static_cast<int>(d.Message.size()) >= max ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// The driver manager asks for the record count and single fields before it reads records.
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE h, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER p,
                                  SQLSMALLINT max, SQLSMALLINT* len) {
  Handle* hh = static_cast<Handle*>(h);
  if (rec == 0 && id == SQL_DIAG_NUMBER) {
    *static_cast<SQLINTEGER*>(p) = static_cast<SQLINTEGER>(hh->Diags.size());
    return SQL_SUCCESS;
  }
  if (rec < 1 || rec > static_cast<int>(hh->Diags.size())) return SQL_NO_DATA;
  const Diag& d = hh->Diags[rec - 1];
  switch (id) {
    case SQL_DIAG_NATIVE: *static_cast<SQLINTEGER*>(p) = d.Native; return SQL_SUCCESS;
    case SQL_DIAG_SQLSTATE:
      std::snprintf(static_cast<char*>(p), max, "%s", d.State.c_str());
      if (len) *len = 5;
      return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT:
      std::snprintf(static_cast<char*>(p), max, "%s", d.Message.c_str());
      if (len) *len = static_cast<SQLSMALLINT>(d.Message.size());
      return static_cast<int>(d.Message.size()) >= max ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    default: return SQL_ERROR;
  }
}

}  // extern "C"
