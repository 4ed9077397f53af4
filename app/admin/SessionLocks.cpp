#include "app/admin/SessionLocks.h"

#include <QStringList>
#include <algorithm>
#include <map>
#include <set>

#include "app/ErrorText.h"
#include "app/QtText.h"
#include "app/admin/Activity.h"

namespace vandrel::app::admin {
namespace {

long long NumberOf(const std::string& Text) {
  try {
    return std::stoll(Text);
  } catch (...) {
    return 0;  // an empty cell names nothing
  }
}

// A lock as the server listed it, before its names are known.
struct TListedLock {
  int Dbid = 0;
  long long Entity = 0;  // the table's object id, or on 2005 the id of an index's rows
  bool ByRows = false;   // Entity names an index's rows (a page, key or row lock on 2005)
  TLockRow Row;
};

std::string IdList(const std::set<long long>& Ids) {
  std::string list;
  for (long long id : Ids) list += (list.empty() ? "" : ",") + std::to_string(id);
  return list;
}

// Rows of (number, name) of Query into Names; a database the login cannot enter leaves numbers.
void ReadNames(TCommandContext& Context, const std::string& Query, const std::string& Database,
               std::map<long long, std::string>& Names) {
  TQuietErrors quiet(Context);
  TextList rows;
  if (Context.QueryToList(rows, Query, Database) != TStepOutcome::soDone || rows.empty() || rows[0] != "2") return;
  for (size_t at = 1; at + 1 < rows.size(); at += 2) Names[NumberOf(rows[at])] = TrimmedRight(rows[at + 1]);
}

bool ListLocks(TCommandContext& Context, int Spid, bool Is2005, std::vector<TListedLock>& Listed) {
  TextList rows;
  const std::string query =
      Is2005 ? "select resource_type, resource_database_id, resource_associated_entity_id, resource_description, "
               "request_mode, request_status from sys.dm_tran_locks where request_session_id = " + std::to_string(Spid)
             : "sp_lock " + std::to_string(Spid);
  if (Context.QueryToList(rows, query, "master") != TStepOutcome::soDone) return false;
  const size_t columns = rows.empty() ? 0 : std::stoul(rows[0]);
  if (columns < (Is2005 ? 6u : 8u)) return rows.size() <= 1;
  for (size_t at = 1; at + columns <= rows.size(); at += columns) {
    const auto cell = [&](size_t c) { return TrimmedRight(rows[at + c]); };
    TListedLock l;
    if (Is2005) {
      l.Row = {{}, {}, cell(0), cell(3), cell(4), cell(5)};
      l.Dbid = static_cast<int>(NumberOf(cell(1)));
      const std::string& type = l.Row.Type;
      l.ByRows = type == "PAGE" || type == "KEY" || type == "RID" || type == "HOBT";
      l.Entity = l.ByRows || type == "OBJECT" ? NumberOf(cell(2)) : 0;
    } else {
      // spid, dbid, ObjId, IndId, Type, Resource, Mode, Status
      l.Row = {{}, {}, cell(4), cell(5), cell(6), cell(7)};
      l.Dbid = static_cast<int>(NumberOf(cell(1)));
      l.Entity = NumberOf(cell(2));
    }
    Listed.push_back(std::move(l));
  }
  return true;
}

}  // namespace

bool ReadSessionLocks(TCommandContext& Context, int Spid, bool Is2005, std::vector<TLockRow>& Locks) {
  std::vector<TListedLock> listed;
  if (!ListLocks(Context, Spid, Is2005, listed)) return false;
  std::set<long long> dbids;
  for (const TListedLock& l : listed) dbids.insert(l.Dbid);
  std::map<long long, std::string> databases;
  if (!dbids.empty())
    ReadNames(Context, "select dbid, name from sysdatabases where dbid in (" + IdList(dbids) + ")", "master", databases);
  for (long long dbid : dbids) {
    const auto name = databases.find(dbid);
    if (name == databases.end()) continue;
    std::set<long long> objects, indexRows;
    for (const TListedLock& l : listed)
      if (l.Dbid == dbid && l.Entity != 0) (l.ByRows ? indexRows : objects).insert(l.Entity);
    std::map<long long, std::string> tables, rowsOf;
    if (!objects.empty())
      ReadNames(Context, "select id, name from sysobjects where id in (" + IdList(objects) + ")", name->second, tables);
    if (!indexRows.empty())
      ReadNames(Context, "select hobt_id, OBJECT_NAME(object_id) from sys.partitions where hobt_id in (" +
                             IdList(indexRows) + ")",
                name->second, rowsOf);
    for (TListedLock& l : listed) {
      if (l.Dbid != dbid || l.Entity == 0) continue;
      const auto& names = l.ByRows ? rowsOf : tables;
      const auto found = names.find(l.Entity);
      l.Row.Object = found != names.end() ? found->second : std::to_string(l.Entity);
    }
  }
  for (TListedLock& l : listed) {
    const auto name = databases.find(l.Dbid);
    l.Row.Database = name != databases.end() ? name->second : std::to_string(l.Dbid);
    if (l.Entity != 0 && l.Row.Object.empty()) l.Row.Object = std::to_string(l.Entity);
    Locks.push_back(std::move(l.Row));
  }
  return true;
}

namespace {

bool Waits(const TLockRow& L) { return L.Status == "WAIT"; }

// The kind of a lock's resource as the user reads it.
QString TypeText(const std::string& Type) {
  static const std::map<std::string, const char*> names = {
      {"DB", "baza"},        {"DATABASE", "baza"}, {"TAB", "tabela"},    {"OBJECT", "tabela"},
      {"PAG", "strona"},     {"PAGE", "strona"},   {"KEY", "klucz"},     {"RID", "wiersz"},
      {"EXT", "zakres"},     {"EXTENT", "zakres"}, {"FIL", "plik"},      {"FILE", "plik"},
      {"IDX", "indeks"},     {"APP", "aplikacja"}, {"APPLICATION", "aplikacja"}};
  const auto found = names.find(Type);
  return found != names.end() ? QString::fromUtf8(found->second) : Q(Type);
}

QString StatusText(const std::string& Status) {
  if (Status == "GRANT") return QStringLiteral("przyznana");
  if (Status == "WAIT") return QStringLiteral("oczekuje");
  if (Status == "CNVT" || Status == "CONVERT") return QStringLiteral("zmienia tryb");
  return Q(Status);
}

}  // namespace

QString LocksSummary(const QString& Session, const std::vector<TLockRow>& Locks) {
  const long long waiting = std::count_if(Locks.begin(), Locks.end(), Waits);
  QString summary = QStringLiteral("Blokady procesu %1: %2").arg(Session).arg(Locks.size());
  if (waiting > 0) summary += QStringLiteral(", w tym %1").arg(Q(PolishCount(waiting, "oczekująca", "oczekujące", "oczekujących")));
  return summary + QStringLiteral(".");
}

QString LocksText(const std::vector<TLockRow>& Locks) {
  QStringList lines;
  for (const TLockRow& l : Locks) {
    // "Sklep, tabela Towary: IX, przyznana", "Sklep, klucz (a1b2) w tabeli Towary: X, przyznana".
    QString what = TypeText(l.Type);
    const bool table = l.Type == "TAB" || l.Type == "OBJECT";
    if (!l.Resource.empty()) what += QStringLiteral(" ") + Q(l.Resource);
    if (!l.Object.empty()) what += (table ? QStringLiteral(" ") : QStringLiteral(" w tabeli ")) + Q(l.Object);
    lines << QStringLiteral("%1, %2: %3, %4").arg(Q(l.Database), what, Q(l.Mode), StatusText(l.Status));
  }
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace vandrel::app::admin
