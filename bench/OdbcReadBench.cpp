// Reading a SQLite file of 10^6 rows x 5 columns (integer, varchar(40), double, timestamp,
// numeric(18,2); about 10% NULLs) to the end through the SQLite ODBC driver: raw ODBC with
// 20-row and 1000-row column-wise arrays, raw ODBC keeping every row it reads, the query
// component in its default and its forward-only mode, Qt's QSqlQuery over QODBC and SOCI's
// ODBC backend. Every reader folds every value, in its column's natural type, into one
// checksum; each runs in its own child process. Figures are rows/s, peak memory, and the
// ratios of elapsed and of processor time to raw ODBC at 20 rows, each reader's best of three
// rounds; the rounds take the readers in turn, so that a spell of a slower machine falls on
// every reader of a round alike.
//
// Everything runs twice: with the driver's default, which copies the whole result into its
// own memory before the first row (so every reader's peak includes that copy), and with its
// streaming mode (StepAPI=1), where a reader's peak is its own. The query component's default
// mode keeps every row for scrolling back; its like is the raw reader that keeps the same
// rows as compactly as it can (the values in columns of their own type, the texts in one
// buffer), and the two are compared at the end.
#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
// SOCI's headers were configured with Boost, which the benchmark does not use.
#include <soci/soci-config.h>
#undef SOCI_HAVE_BOOST
#undef SOCI_HAVE_BOOST_DATE_TIME
#include <soci/odbc/soci-odbc.h>
#include <soci/soci.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <vector>

#include "OdbcBench.h"
#include "data/OdbcLink.h"
#include "data/Query.h"
#include "foundation/DateTimeCodec.h"

using namespace vandrel;
using namespace vandrel::bench;

namespace {

const char* kSelect = "select i, s, d, ts, n from t";
long gRows = 1000000;
std::string gDbFile;
// The data source the readers use: kDsn or kStepDsn.
const char* gDsn = kDsn;
bool gStep = false;

void CreateData(const std::string& DbFile) {
  if (std::filesystem::exists(DbFile)) return;
  TMOdbcLink link;
  link.SetDataSourceName(kDsn);
  link.Open();
  link.ExecSQL("create table t(i integer, s varchar(40), d double, ts timestamp, n numeric(18,2))", nullptr);
  link.StartTransaction();
  SQLHSTMT st;
  SQLAllocHandle(SQL_HANDLE_STMT, link.GetHDbc(), &st);
  SQLPrepare(st, (SQLCHAR*)"insert into t values(?, ?, ?, ?, ?)", SQL_NTS);
  SQLINTEGER i;
  char s[41];
  double d, n;
  SQL_TIMESTAMP_STRUCT ts{};
  SQLLEN li, ls, ld, lt, ln;
  SQLBindParameter(st, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &i, 0, &li);
  SQLBindParameter(st, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0, s, 41, &ls);
  SQLBindParameter(st, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &d, 0, &ld);
  SQLBindParameter(st, 4, SQL_PARAM_INPUT, SQL_C_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &ts, 0, &lt);
  SQLBindParameter(st, 5, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &n, 0, &ln);
  std::srand(7);
  for (long r = 0; r < gRows; ++r) {
    auto nul = [] { return std::rand() % 10 == 0; };
    i = static_cast<SQLINTEGER>(r * 7 - 500000);
    li = nul() ? SQL_NULL_DATA : 0;
    int len = 5 + r % 36;
    for (int k = 0; k < len; ++k) s[k] = static_cast<char>('a' + (r + k) % 26);
    s[len] = 0;
    ls = nul() ? SQL_NULL_DATA : SQL_NTS;
    d = (r % 10007) * 0.25;
    ld = nul() ? SQL_NULL_DATA : 0;
    ts.year = static_cast<SQLSMALLINT>(2000 + r % 25);
    ts.month = static_cast<SQLUSMALLINT>(1 + r % 12);
    ts.day = static_cast<SQLUSMALLINT>(1 + r % 28);
    ts.hour = static_cast<SQLUSMALLINT>(r % 24);
    ts.minute = static_cast<SQLUSMALLINT>(r % 60);
    ts.second = static_cast<SQLUSMALLINT>((r * 7) % 60);
    lt = nul() ? SQL_NULL_DATA : 0;
    n = (r % 100000) / 100.0;
    ln = nul() ? SQL_NULL_DATA : 0;
    SQLExecute(st);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  link.Commit();
}

// Storage that grows in chunks of a fixed size, so that keeping rows never copies what it
// kept nor holds twice its size while a vector would reallocate.
template <class T, std::size_t Chunk = 65536>
class TChunked {
 public:
  void Add(const T* From, std::size_t Count) {
    while (Count > 0) {
      if (Chunks.empty() || Chunks.back().size() == Chunk) Chunks.emplace_back().reserve(Chunk);
      std::vector<T>& last = Chunks.back();
      const std::size_t n = std::min(Count, Chunk - last.size());
      last.insert(last.end(), From, From + n);
      From += n, Count -= n;
    }
  }
  void Add(const T& V) { Add(&V, 1); }
  std::size_t Size() const { return Chunks.empty() ? 0 : (Chunks.size() - 1) * Chunk + Chunks.back().size(); }

 private:
  std::vector<std::vector<T>> Chunks;
};

// Rows kept as compactly as plain code keeps them: each column in chunks of its type, the
// time stamps packed into 64 bits, the texts one after another with the offset of each end,
// and one byte of null marks a row.
struct TKeptRows {
  TChunked<SQLINTEGER> I;
  TChunked<double> D, N;
  TChunked<std::int64_t> Ts;
  TChunked<std::uint32_t> TextEnd;
  TChunked<char, 1 << 20> Text;
  TChunked<std::uint8_t> Nulls;
};

std::int64_t PackedStamp(const SQL_TIMESTAMP_STRUCT& T) {
  return ((((T.year * 16LL + T.month) * 32 + T.day) * 32 + T.hour) * 64 + T.minute) * 64 + T.second;
}

void RawOdbc(Outcome& O, int N, TKeptRows* Keep = nullptr) {
  TMOdbcLink link;
  link.SetDataSourceName(gDsn);
  link.Open();
  SQLHSTMT st;
  SQLAllocHandle(SQL_HANDLE_STMT, link.GetHDbc(), &st);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)SQL_BIND_BY_COLUMN, 0);
  SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(SQLULEN)N, 0);
  SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  SQLExecDirect(st, (SQLCHAR*)kSelect, SQL_NTS);
  std::vector<SQLINTEGER> i(N);
  std::vector<char> s(N * 41);
  std::vector<double> d(N), n(N);
  std::vector<SQL_TIMESTAMP_STRUCT> ts(N);
  std::vector<SQLLEN> li(N), ls(N), ld(N), lt(N), ln(N);
  SQLBindCol(st, 1, SQL_C_SLONG, i.data(), 0, li.data());
  SQLBindCol(st, 2, SQL_C_CHAR, s.data(), 41, ls.data());
  SQLBindCol(st, 3, SQL_C_DOUBLE, d.data(), 0, ld.data());
  SQLBindCol(st, 4, SQL_C_TIMESTAMP, ts.data(), 0, lt.data());
  SQLBindCol(st, 5, SQL_C_DOUBLE, n.data(), 0, ln.data());
  std::uint64_t h = 0;
  while (SQL_SUCCEEDED(SQLFetchScroll(st, SQL_FETCH_NEXT, 0))) {
    for (SQLULEN r = 0; r < fetched; ++r) {
      li[r] == SQL_NULL_DATA ? FoldNull(h) : FoldInt(h, i[r]);
      ls[r] == SQL_NULL_DATA ? FoldNull(h) : FoldText(h, &s[r * 41], strnlen(&s[r * 41], 40));
      ld[r] == SQL_NULL_DATA ? FoldNull(h) : FoldDouble(h, d[r]);
      const SQL_TIMESTAMP_STRUCT& t = ts[r];
      lt[r] == SQL_NULL_DATA ? FoldNull(h) : FoldStamp(h, t.year, t.month, t.day, t.hour, t.minute, t.second);
      ln[r] == SQL_NULL_DATA ? FoldNull(h) : FoldDouble(h, n[r]);
      if (Keep) {
        Keep->I.Add(i[r]);
        Keep->D.Add(d[r]);
        Keep->N.Add(n[r]);
        Keep->Ts.Add(PackedStamp(t));
        if (ls[r] != SQL_NULL_DATA) Keep->Text.Add(&s[r * 41], strnlen(&s[r * 41], 40));
        Keep->TextEnd.Add(static_cast<std::uint32_t>(Keep->Text.Size()));
        Keep->Nulls.Add(static_cast<std::uint8_t>((li[r] == SQL_NULL_DATA) | (ls[r] == SQL_NULL_DATA) << 1 |
                                                  (ld[r] == SQL_NULL_DATA) << 2 | (lt[r] == SQL_NULL_DATA) << 3 |
                                                  (ln[r] == SQL_NULL_DATA) << 4));
      }
    }
    O.Rows += static_cast<long>(fetched);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  O.Checksum = h;
  if (Keep) O.Checksum ^= Keep->Text.Size() + Keep->Nulls.Size();  // the kept rows stay in use
}

void Query(Outcome& O, bool ForwardOnly) {
  TMOdbcLink link;
  link.SetDataSourceName(gDsn);
  link.Open();
  TKMQuery q;
  q.SetLink(&link);
  q.SetForwardOnly(ForwardOnly);
  q.GetSQL().SetText(kSelect);
  q.Open();
  TMField* f[5];
  for (int k = 0; k < 5; ++k) f[k] = q.GetFields()->GetFields(k);
  std::uint64_t h = 0;
  while (!q.GetEof()) {
    f[0]->GetIsNull() ? FoldNull(h) : FoldInt(h, f[0]->GetAsInteger());
    if (f[1]->GetIsNull()) {
      FoldNull(h);
    } else {
      AnsiString s = f[1]->GetAsString();
      FoldText(h, s.data(), s.size());
    }
    f[2]->GetIsNull() ? FoldNull(h) : FoldDouble(h, f[2]->GetAsFloat());
    datetime::TDateTimeParts p;
    if (f[3]->GetIsNull() || !datetime::TryDecode(f[3]->GetAsDateTime(), p))
      FoldNull(h);
    else
      FoldStamp(h, p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
    f[4]->GetIsNull() ? FoldNull(h) : FoldDouble(h, f[4]->GetAsFloat());
    ++O.Rows;
    q.Next();
  }
  O.Checksum = h;
}

void QtQuery(Outcome& O) {
  int argc = 1;
  char name[] = "bench";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  std::uint64_t h = 0;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QODBC");
    // QODBC does not find data sources of a private odbc.ini: it names driver and file.
    db.setDatabaseName(QString("DRIVER={SQLite3};Database=") + QString::fromStdString(gDbFile) +
                       (gStep ? ";StepAPI=1" : ""));
    if (!db.open()) {
      std::fprintf(stderr, "QODBC: %s\n", db.lastError().text().toUtf8().constData());
      return;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec(kSelect);
    while (q.next()) {
      QVariant v0 = q.value(0), v1 = q.value(1), v2 = q.value(2), v3 = q.value(3), v4 = q.value(4);
      v0.isNull() ? FoldNull(h) : FoldInt(h, v0.toInt());
      if (v1.isNull()) {
        FoldNull(h);
      } else {
        QByteArray s = v1.toString().toUtf8();
        FoldText(h, s.constData(), s.size());
      }
      v2.isNull() ? FoldNull(h) : FoldDouble(h, v2.toDouble());
      if (v3.isNull()) {
        FoldNull(h);
      } else {
        QDateTime t = v3.toDateTime();
        FoldStamp(h, t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                  t.time().second());
      }
      v4.isNull() ? FoldNull(h) : FoldDouble(h, v4.toDouble());
      ++O.Rows;
    }
  }
  QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
  O.Checksum = h;
}

void Soci(Outcome& O) {
  soci::session sql(*soci::factory_odbc(), std::string("DSN=") + gDsn);
  const size_t N = 20;
  std::vector<int> i(N);
  std::vector<std::string> s(N);
  std::vector<double> d(N), n(N);
  std::vector<std::tm> ts(N);
  std::vector<soci::indicator> ii(N), is(N), id(N), it(N), in(N);
  soci::statement st = (sql.prepare << kSelect, soci::into(i, ii), soci::into(s, is), soci::into(d, id),
                        soci::into(ts, it), soci::into(n, in));
  st.execute();
  std::uint64_t h = 0;
  while (st.fetch()) {
    for (size_t r = 0; r < i.size(); ++r) {
      ii[r] == soci::i_null ? FoldNull(h) : FoldInt(h, i[r]);
      is[r] == soci::i_null ? FoldNull(h) : FoldText(h, s[r].data(), s[r].size());
      id[r] == soci::i_null ? FoldNull(h) : FoldDouble(h, d[r]);
      const std::tm& t = ts[r];
      it[r] == soci::i_null ? FoldNull(h)
                            : FoldStamp(h, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
      in[r] == soci::i_null ? FoldNull(h) : FoldDouble(h, n[r]);
    }
    O.Rows += static_cast<long>(i.size());
    for (auto* v : {&ii, &is, &id, &it, &in}) v->resize(N);
    i.resize(N);
    s.resize(N);
    d.resize(N);
    n.resize(N);
    ts.resize(N);
  }
  O.Checksum = h;
}

// Whether Name contains one of the '|'-separated parts of Wanted.
bool NameMatches(const std::string& Name, const std::string& Wanted) {
  for (std::size_t from = 0;;) {
    const std::size_t bar = Wanted.find('|', from);
    if (Name.find(Wanted.substr(from, bar - from)) != std::string::npos) return true;
    if (bar == std::string::npos) return false;
    from = bar + 1;
  }
}

struct TReader {
  const char* Name;
  std::function<void(Outcome&)> Run;
};

// Runs the chosen readers in rounds on the data source of the moment and prints their table;
// returns each reader's best outcome.
std::vector<Outcome> RunReaders(const std::vector<const TReader*>& Chosen) {
  std::printf("%-36s %12s %10s %10s %14s %8s %8s  %s\n", "reader", "rows/s", "seconds", "cpu s", "peak KiB", "ratio",
              "cpu rat", "checksum");
  constexpr int kRounds = 3;
  std::vector<Outcome> best(Chosen.size());
  for (int round = 0; round < kRounds; ++round) {
    for (std::size_t k = 0; k < Chosen.size(); ++k) {
      const Outcome o = InChild(Chosen[k]->Run);
      if (round == 0 || o.Seconds < best[k].Seconds) best[k] = o;
    }
  }
  double base = 0, cpuBase = 0;
  for (std::size_t k = 0; k < Chosen.size(); ++k) {
    const Outcome& o = best[k];
    if (base == 0) {
      base = o.Seconds;
      cpuBase = o.CpuSeconds;
    }
    std::printf("%-36s %12.0f %10.3f %10.3f %14ld %8.2f %8.2f  %016llx%s\n", Chosen[k]->Name, o.Rows / o.Seconds,
                o.Seconds, o.CpuSeconds, o.PeakKb, o.Seconds / base, o.CpuSeconds / cpuBase,
                static_cast<unsigned long long>(o.Checksum), o.Rows == gRows ? "" : "  (rows!)");
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gRows = std::atol(argv[1]);
  const std::string dir = VANDREL_BENCH_DATA_DIR;
  std::filesystem::create_directories(dir);
  std::string db = dir + "/read" + std::to_string(gRows) + ".db";
  SetUpOdbc(dir, db);
  gDbFile = db;
  CreateData(db);
  Outcome idle = InChild([](Outcome&) {});
  const TReader readers[] = {
      {"(a) raw ODBC, 20-row arrays", [](Outcome& o) { RawOdbc(o, 20); }},
      {"(a') raw ODBC, 1000-row arrays", [](Outcome& o) { RawOdbc(o, 1000); }},
      {"(k) raw ODBC keeping every row", [](Outcome& o) {
         TKeptRows kept;
         RawOdbc(o, 1000, &kept);
       }},
      {"(b) TKMQuery, default", [](Outcome& o) { Query(o, false); }},
      {"(c) TKMQuery, ForwardOnly", [](Outcome& o) { Query(o, true); }},
      {"(d) QSqlQuery/QODBC, forward-only", [](Outcome& o) { QtQuery(o); }},
      {"(e) SOCI ODBC, into(vector) of 20", [](Outcome& o) { Soci(o); }},
  };
  // A second argument runs only the readers whose name contains it, or one of its parts
  // between '|' (for a profiler, or to repeat a comparison quickly); the baseline is then the
  // first reader run. A third, "copy" or "step", runs one driver mode only.
  const std::string only = argc > 2 ? argv[2] : "";
  const std::string mode = argc > 3 ? argv[3] : "";
  std::vector<const TReader*> chosen;
  for (const TReader& r : readers)
    if (only.empty() || NameMatches(r.Name, only)) chosen.push_back(&r);
  std::printf("%ld rows; idle child peak %ld KiB\n", gRows, idle.PeakKb);
  for (const bool step : {false, true}) {
    if (!mode.empty() && (mode == "step") != step) continue;
    gStep = step;
    gDsn = step ? kStepDsn : kDsn;
    std::printf("\nthe driver %s\n", step ? "streaming its rows (StepAPI=1)" : "copying the whole result first (default)");
    const std::vector<Outcome> best = RunReaders(chosen);
    // The component's default mode against plain code keeping the same rows.
    const Outcome *kept = nullptr, *query = nullptr;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      if (std::string(chosen[k]->Name).rfind("(k)", 0) == 0) kept = &best[k];
      if (std::string(chosen[k]->Name).rfind("(b)", 0) == 0) query = &best[k];
    }
    if (kept && query)
      std::printf("(b) against (k), both keeping every row: memory %.2fx, elapsed %.2fx, processor %.2fx "
                  "(memory above the idle child: %.2fx)\n",
                  double(query->PeakKb) / double(kept->PeakKb), query->Seconds / kept->Seconds,
                  query->CpuSeconds / kept->CpuSeconds,
                  double(query->PeakKb - idle.PeakKb) / double(kept->PeakKb - idle.PeakKb));
  }
  return 0;
}
