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
  // server's clock; empty when msdb lists none. A full backup whose file the server no longer
  // has does not count.
  std::optional<int64_t> FullBackupAge;
  std::optional<int64_t> LogBackupAge;
  // Users whose login is gone or has another SID; read only from a database that can be
  // opened (UsersRead).
  std::vector<TOrphanUser> Orphans;
  bool UsersRead = false;
  // The newest full backup's file when the server says it is gone (newer than any counted).
  std::string MissingBackupFile;

  int64_t DataBytes() const { return DataPages * kPageBytes; }
  int64_t LogBytes() const { return LogPages * kPageBytes; }
  bool Online() const { return Status == "ONLINE"; }
};

// A drive of the server (xp_fixeddrives) that holds data or backup files.
struct TDriveFacts {
  std::string Letter;  // "C"
  int64_t FreeBytes = 0;
};

// An entry of the server's error log that a check looks at: an error of severity 17 or more,
// one of the disk, log and scheduler errors, or a failed login.
struct TLogEntry {
  std::string Time;  // "YYYY-MM-DD hh:mm:ss", the server's clock
  int Error = 0;     // 18456 for a failed login
  int Severity = 0;
};

// A session that waits for another's lock (sysprocesses.blocked).
struct TBlockedSession {
  int Spid = 0;
  int BlockedBy = 0;
  int64_t WaitSeconds = 0;
};

// A session as the blocking check names it.
struct TSessionFacts {
  int Spid = 0;
  std::string Login, Host, Database;
};

struct TServerFacts {
  std::string ProductVersion;  // "8.00.2039"
  int MajorVersion = 0;        // 8: SQL Server 2000, 9: SQL Server 2005
  bool FreeEdition = false;    // Desktop Engine or Express (engine edition 4)
  bool SaWithoutPassword = false;
  // msdb's history and the server's clock were read: the backup ages mean what they say.
  bool BackupsRead = false;
  std::vector<TDatabaseFacts> Databases;  // user databases only
  std::vector<TDriveFacts> Drives;        // read: DrivesRead
  bool DrivesRead = false;
  std::vector<TLogEntry> LogEntries;      // of the last days the error log check covers
  std::vector<TBlockedSession> Blocked;
  std::vector<TSessionFacts> Sessions;    // every session a blocked one waits for, by spid
  // What could not be read (the checks that depend on it are left out), in Polish.
  std::vector<std::string> Unread;

  // The data size a database may reach on this edition; 0 when it has no such limit.
  int64_t DataLimitBytes() const;
};

}  // namespace vandrel::health
