#include "app/health/HealthRead.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "app/health/HealthCells.h"
#include "app/health/HealthReadSite.h"
#include "app/health/HealthRules.h"

namespace vandrel::health {
namespace {

const char* const kServerQuery =
    "select convert(varchar(30), serverproperty('ProductVersion')), "
    "convert(varchar(10), serverproperty('EngineEdition')), convert(varchar(19), getdate(), 120)";
const char* const kDatabasesQuery =
    "select name, convert(varchar(20), DATABASEPROPERTYEX(name, 'Status')), "
    "convert(varchar(20), DATABASEPROPERTYEX(name, 'UserAccess')), "
    "convert(varchar(20), DATABASEPROPERTYEX(name, 'Recovery')), "
    "convert(int, DATABASEPROPERTYEX(name, 'IsAutoClose')), "
    "convert(int, DATABASEPROPERTYEX(name, 'IsAutoShrink')), dbid from master..sysdatabases";
const char* const kFilesQuery = "select dbid, groupid, size, filename from master..sysaltfiles";
const char* const kBackupsQuery =
    "select database_name, type, convert(varchar(19), backup_finish_date, 120), media_set_id, backup_set_id "
    "from msdb..backupset "
    "where type in ('D', 'L')";
const char* const kBackupFilesQuery = "select media_set_id, physical_device_name from msdb..backupmediafamily";
// The SQL logins, and whether each has an empty password: SQL Server 2000 keeps no hash for
// an empty one; SQL Server 2005's syslogins shows no password at all, so its own view is asked.
const char* const kLoginsQuery2000 =
    "select name, case when password is null then 1 else 0 end from master..syslogins where isntname = 0";
const char* const kLoginsQuery2005 = "select name, PWDCOMPARE(N'', password_hash) from master.sys.sql_logins";
const char* const kOrphansQuery = "sp_change_users_login 'Report'";
// SQL Server 2000 reads at most 256 tables in one statement.
constexpr size_t kDatabasesPerOrphansRead = 100;

// The users sp_change_users_login 'Report' lists (SQL users whose SID no login has) of each of
// Databases, in one statement: one round trip for many databases where the procedure takes
// one each.
std::string OrphansOfAll(const std::vector<TDatabaseFacts*>& Databases) {
  std::string sql;
  for (const TDatabaseFacts* d : Databases)
    sql += std::string(sql.empty() ? "" : " union all ") + "select " + app::UnicodeLiteral(d->Name) +
           ", u.name from " + app::QuoteIdentifier(d->Name) +
           "..sysusers u where u.issqluser = 1 and u.sid is not null and u.sid <> 0x00 and suser_sname(u.sid) is null";
  return sql;
}

// The orphaned users of the online databases, a hundred databases a statement; where such a
// statement fails (a database this login may not enter), its databases are read one by one,
// so that each unreadable one is named.
void ReadOrphans(THealthReader& Reader, const std::set<std::string>& Logins, TServerFacts& Facts) {
  std::vector<TDatabaseFacts*> online;
  for (TDatabaseFacts& d : Facts.Databases)
    if (d.Online()) online.push_back(&d);
  THealthRows rows;
  auto add = [&Logins](TDatabaseFacts& d, const std::string& User) {
    d.Orphans.push_back({User, Logins.count(Lower(User)) > 0});
  };
  for (size_t first = 0; first < online.size(); first += kDatabasesPerOrphansRead) {
    const std::vector<TDatabaseFacts*> part(online.begin() + first,
                                            online.begin() + std::min(online.size(), first + kDatabasesPerOrphansRead));
    if (Reader.Read(OrphansOfAll(part), "master", rows)) {
      std::map<std::string, TDatabaseFacts*> byName;
      for (TDatabaseFacts* d : part) {
        d->UsersRead = true;
        byName[d->Name] = d;
      }
      for (const THealthRow& row : rows)
        if (auto found = byName.find(Cell(row, 0)); found != byName.end()) add(*found->second, Cell(row, 1));
      continue;
    }
    for (TDatabaseFacts* d : part) {
      if (!Reader.Read(kOrphansQuery, d->Name, rows)) {
        Facts.Unread.push_back("użytkownicy bazy " + d->Name);
        continue;
      }
      d->UsersRead = true;
      for (const THealthRow& row : rows) add(*d, Cell(row, 0));
    }
  }
}

// The newest log backup's age of each database, from msdb's rows.
void ReadLogBackups(const std::vector<TBackupRecord>& Backups, const std::string& Now, TDatabaseIndex& ByName) {
  for (const TBackupRecord& b : Backups) {
    const auto at = ByName.find(Lower(b.Database));
    const std::optional<int64_t> age = SecondsBetween(b.Finished, Now);
    if (b.Type != "L" || at == ByName.end() || !age) continue;
    std::optional<int64_t>& newest = at->second->LogBackupAge;
    if (!newest || *age < *newest) newest = std::max<int64_t>(*age, 0);
  }
}

// msdb's backups newest first, each with its file; false when the history cannot be read.
bool ReadBackupRecords(THealthReader& Reader, std::vector<TBackupRecord>& Backups) {
  THealthRows sets, files;
  if (!Reader.Read(kBackupsQuery, "master", sets)) return false;
  std::map<std::string, std::string> deviceOf;
  if (Reader.Read(kBackupFilesQuery, "master", files))
    for (const THealthRow& row : files) deviceOf.emplace(Cell(row, 0), Cell(row, 1));
  for (const THealthRow& row : sets)
    Backups.push_back({Cell(row, 0), Cell(row, 1), Cell(row, 2), deviceOf[Cell(row, 3)], Number(Cell(row, 4))});
  // Two backups within a second are told apart by msdb's numbering, which follows their order.
  std::sort(Backups.begin(), Backups.end(), [](const TBackupRecord& a, const TBackupRecord& b) {
    return a.Finished != b.Finished ? a.Finished > b.Finished : a.Id > b.Id;
  });
  return true;
}

}  // namespace

std::optional<int64_t> SecondsBetween(const std::string& Earlier, const std::string& Later) {
  auto parse = [](const std::string& Text) -> std::optional<int64_t> {
    std::tm t{};
    char tail = 0;
    if (std::sscanf(Text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
                    &t.tm_sec, &tail) != 6)
      return std::nullopt;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&t));
  };
  const auto a = parse(Earlier), b = parse(Later);
  if (!a || !b) return std::nullopt;
  return *b - *a;
}

bool ReadServerFacts(THealthReader& Reader, TServerFacts& Facts) {
  Facts = {};
  THealthRows rows;
  if (!Reader.Read(kServerQuery, "master", rows) || rows.empty()) return false;
  Facts.ProductVersion = Cell(rows[0], 0);
  Facts.MajorVersion = static_cast<int>(Number(Facts.ProductVersion.substr(0, Facts.ProductVersion.find('.'))));
  Facts.FreeEdition = Cell(rows[0], 1) == "4";
  const std::string now = Cell(rows[0], 2);

  if (!Reader.Read(kDatabasesQuery, "master", rows)) {
    Facts.Unread.push_back("lista baz");
    return true;
  }
  std::map<std::string, std::string> nameOfId;
  for (const THealthRow& row : rows) {
    if (app::IsSystemDatabase(Lower(Cell(row, 0)))) continue;
    TDatabaseFacts d;
    d.Name = Cell(row, 0);
    d.Status = Cell(row, 1);
    d.UserAccess = Cell(row, 2);
    d.Recovery = Cell(row, 3);
    d.AutoClose = Cell(row, 4) == "1";
    d.AutoShrink = Cell(row, 5) == "1";
    nameOfId[Cell(row, 6)] = d.Name;
    Facts.Databases.push_back(std::move(d));
  }
  TDatabaseIndex byName, byId;
  for (TDatabaseFacts& d : Facts.Databases) byName[Lower(d.Name)] = &d;
  for (const auto& [id, name] : nameOfId) byId[id] = byName[Lower(name)];

  std::set<std::string> drives;  // of the data and backup files
  if (Reader.Read(kFilesQuery, "master", rows)) {
    for (const THealthRow& row : rows) {
      const auto at = byId.find(Cell(row, 0));
      if (at == byId.end()) continue;
      (Cell(row, 1) == "0" ? at->second->LogPages : at->second->DataPages) += Number(Cell(row, 2));
      drives.insert(DriveOf(Cell(row, 3)));
    }
  } else {
    Facts.Unread.push_back("rozmiary plików baz");
  }

  std::vector<TBackupRecord> backups;
  Facts.BackupsRead = SecondsBetween(now, now) && ReadBackupRecords(Reader, backups);
  if (Facts.BackupsRead) {
    ReadLogBackups(backups, now, byName);
    ReadBackupFiles(Reader, backups, now, byName, Facts);
    std::set<std::string> seen;  // the newest backup of each database tells where its backups go
    for (const TBackupRecord& b : backups)
      if (seen.insert(Lower(b.Database)).second) drives.insert(DriveOf(b.Device));
  } else {
    Facts.Unread.push_back("historia kopii zapasowych");
  }
  drives.erase("");
  if (!drives.empty()) ReadDrives(Reader, drives, Facts);
  if (SecondsBetween(now, now)) ReadErrorLog(Reader, now, kHealthThresholds.ErrorLogDays, Facts);
  ReadBlocking(Reader, nameOfId, Facts);

  std::set<std::string> logins;
  if (Reader.Read(Facts.MajorVersion >= 9 ? kLoginsQuery2005 : kLoginsQuery2000, "master", rows)) {
    for (const THealthRow& row : rows) {
      logins.insert(Lower(Cell(row, 0)));
      if (Lower(Cell(row, 0)) == "sa" && Cell(row, 1) == "1") Facts.SaWithoutPassword = true;
    }
  } else {
    Facts.Unread.push_back("loginy");
  }

  ReadOrphans(Reader, logins, Facts);
  return true;
}

}  // namespace vandrel::health
