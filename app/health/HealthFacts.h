#pragma once
// What the health checks know about one server: the figures read from it, before any rule
// judges them. Read by HealthRead.cpp, judged by HealthRules.cpp.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::health {

constexpr int64_t kPageBytes = 8192;

struct TOrphanUser {
  std::string User;
  bool LoginOfSameName = false;  // a login with the user's name exists, under another SID
};

struct TDatabaseFacts {
  std::string Name;
  std::string Status;      // DATABASEPROPERTYEX: ONLINE, OFFLINE, SUSPECT, RESTORING, ...
  std::string UserAccess;  // MULTI_USER, SINGLE_USER, RESTRICTED_USER
  std::string Recovery;    // FULL, BULK_LOGGED, SIMPLE
  bool AutoClose = false;
  bool AutoShrink = false;
  int64_t DataPages = 0;  // data files as sized, in 8 KB pages
  int64_t LogPages = 0;
  // Seconds since the newest full database backup and the newest log backup finished, by the
  // server's clock; empty when msdb lists none.
  std::optional<int64_t> FullBackupAge;
  std::optional<int64_t> LogBackupAge;
  // Users whose login is gone or has another SID; read only from a database that can be
  // opened (UsersRead).
  std::vector<TOrphanUser> Orphans;
  bool UsersRead = false;

  int64_t DataBytes() const { return DataPages * kPageBytes; }
  int64_t LogBytes() const { return LogPages * kPageBytes; }
  bool Online() const { return Status == "ONLINE"; }
};

struct TServerFacts {
  std::string ProductVersion;  // "8.00.2039"
  int MajorVersion = 0;        // 8: SQL Server 2000, 9: SQL Server 2005
  bool FreeEdition = false;    // Desktop Engine or Express (engine edition 4)
  bool SaWithoutPassword = false;
  // msdb's history and the server's clock were read: the backup ages mean what they say.
  bool BackupsRead = false;
  std::vector<TDatabaseFacts> Databases;  // user databases only
  // What could not be read (the checks that depend on it are left out), in Polish.
  std::vector<std::string> Unread;

  // The data size a database may reach on this edition; 0 when it has no such limit.
  int64_t DataLimitBytes() const;
};

}  // namespace vandrel::health
