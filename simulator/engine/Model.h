#pragma once
// The simulated server's state: what SQL Server 2000 keeps in master and in each database,
// reduced to what the system tables and procedures the tool uses can show or change.
//
// Files. A data set (--data FILE) is one JSON object:
//   { "server": {...}, "configuration": [...], "logins": [...], "databases": [...] }
// and an attachable database file (under --files DIR) is one JSON object holding a single
// database in the same form as an entry of "databases" (its dbid is assigned on attach).
// A log file (.ldf) is a small JSON object {"log_of": "<logical name of the database>"};
// attaching needs it to exist only when its path is named. Times are text
// "YYYY-MM-DD hh:mm:ss[.mmm]"; table rows are arrays in column order (datetime as such
// text, numeric/decimal/money as a number or decimal text, uniqueidentifier as its
// 36-character text). ModelJson.cpp is the one place that reads and writes these files;
// it documents every key and its default.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Engine.h"

namespace msde {

// sysdatabases.status bits (SQL Server 2000).
namespace DbStatus {
constexpr int64_t AutoClose = 0x1;
constexpr int64_t SelectIntoBulkCopy = 0x4;  // with TruncLogOnChkpt clear: BULK_LOGGED
constexpr int64_t TruncLogOnChkpt = 0x8;     // SIMPLE recovery
constexpr int64_t TornPageDetection = 0x10;
constexpr int64_t Loading = 0x20;
constexpr int64_t PreRecovery = 0x40;
constexpr int64_t Recovering = 0x80;
constexpr int64_t NotRecovered = 0x100;  // suspect: left unusable at start-up
constexpr int64_t Offline = 0x200;
constexpr int64_t ReadOnly = 0x400;
constexpr int64_t DboUseOnly = 0x800;  // RESTRICTED_USER
constexpr int64_t SingleUser = 0x1000;
constexpr int64_t EmergencyMode = 0x8000;
constexpr int64_t AutoShrink = 0x400000;
constexpr int64_t CleanlyShutdown = 0x40000000;
}  // namespace DbStatus

struct ServerInfo {
  std::string name = "SKLEP-SERWER";  // SERVERPROPERTY('ServerName'), @@SERVERNAME
  std::string instance;               // empty: the default instance
  std::string machine;                // SERVERPROPERTY('MachineName'); server name if empty
  std::string product_version = "8.00.2039";
  std::string product_level = "SP4";
  std::string edition = "Desktop Engine";
  int engine_edition = 4;  // SERVERPROPERTY('EngineEdition'): 4 = Desktop Engine / Express
  // The version line of @@VERSION and sp_server_info row 2 (DBMS_VER).
  std::string version_text =
      "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n\t"
      "Copyright (c) 1988-2003 Microsoft Corporation\n\tDesktop Engine on Windows NT 5.1 "
      "(Build 2600: Service Pack 3)\n";
  std::string collation = "Polish_CI_AS";
  // The server machine as xp_msver describes it.
  int64_t physical_memory_mb = 512;
  int64_t processor_count = 1;
  // sp_server_info row 18 (COLLATION_SEQ) as SQL Server 2000 writes it.
  std::string collation_seq = "charset=cp1250 sort_order=ci_as collation=Polish_CI_AS";
  int charset_id = 0;  // SERVERPROPERTY('SqlCharSet'); 0 = derived from collation
  std::string sort_order_name;
  SqlDateTime start_time;  // login_time of the system processes
  // The SQL Server data root as the server reports it (registry value SQLDataRoot): data
  // files live in its "Data" folder, backups by default in its "BACKUP" folder. Both are the
  // files directory, and nothing else exists on the server's disk (Model::LocalPath).
  std::string data_root = "C:\\Program Files\\Microsoft SQL Server\\MSSQL";
  // How long BACKUP and RESTORE take for each 8 KB page they process, so that progress and
  // cancelling can be seen; a real disk's pace scaled down.
  int64_t backup_page_microseconds = 2000;
  // How long every lock wait is said to have lasted already when it begins (sysprocesses'
  // waittime and the 2005 views' wait times): a wait of minutes without minutes of waiting.
  // How long a session waits before LOCK_TIMEOUT ends it is not changed.
  int64_t lock_wait_head_start_seconds = 0;
  // How long a killed session with an open transaction takes to roll it back: meanwhile
  // sysprocesses still lists it (KILLED/ROLLBACK) and KILL ... WITH STATUSONLY says how far it
  // is. 0: at once, as a short transaction is.
  int64_t kill_rollback_seconds = 0;
  // SQL Server 2005 (product version 9.x) instead of SQL Server 2000 (8.x).
  bool Is2005() const { return product_version.rfind("9.", 0) == 0; }
  std::string BackupDirectory() const { return data_root + "\\BACKUP"; }
  std::string DataDirectory() const { return data_root + "\\Data"; }
  // The on-disk version of the databases this server creates and restores to.
  int DatabaseVersion() const { return Is2005() ? 611 : 539; }
};

// One row of sp_configure.
struct ConfigOption {
  std::string name;
  int64_t minimum = 0;
  int64_t maximum = 0;
  int64_t config_value = 0;
  int64_t run_value = 0;
  bool advanced = false;  // listed by sp_configure only with 'show advanced options' = 1
  bool dynamic = true;    // RECONFIGURE copies config_value to run_value at once
};

struct Login {
  std::string name;
  std::string password;  // plain text; empty = no password (syslogins.password NULL)
  // The hash a moved login was given instead (engine/PasswordHash.h); empty: none.
  std::string password_hash;
  std::string default_database = "master";
  std::string language = "us_english";
  bool sysadmin = false;
  bool is_nt_name = false;
  SqlDateTime created;
  std::string sid;  // 16 raw bytes (binary string); generated when missing
};

// A user of one database (sysusers). Roles are names of roles of that database.
struct DbUser {
  std::string name;
  std::string login;  // empty: an orphaned user (its sid matches no login) or a role
  int uid = 0;
  std::string sid;  // raw bytes; the login's sid when mapped
  std::vector<std::string> roles;
  bool is_role = false;
};

// A procedure made by CREATE PROCEDURE: its parameter list and its body as written.
struct StoredProcedure {
  std::string owner = "dbo";
  std::string name;
  int id = 0;  // object id, from the same numbers as the tables'
  std::string parameters;
  std::string body;
  SqlDateTime crdate;
};

struct Table {
  std::string owner = "dbo";
  std::string name;
  int id = 0;  // object id (sysobjects.id), unique in its database
  SqlDateTime created;
  std::vector<ColumnInfo> columns;  // ColumnInfo::length: characters, or bytes for fixed types
  std::vector<Row> rows;
  // The primary key: its constraint's name and its columns (indexes into columns); none
  // when empty.
  std::string primary_key_name;
  std::vector<int> primary_key;
  // How many rows the data set declared by number ("generate": N): the last ones, as long
  // as they stay as made, are written back as that declaration.
  int64_t generated = 0;
};

struct DbFile {
  int fileid = 1;
  std::string name;      // logical name
  std::string filename;  // physical path as the server reports it (Windows form)
  int64_t size = 0;      // 8 KB pages
  int64_t maxsize = -1;  // pages; -1 = unlimited, 0 = no growth
  int64_t growth = 10;   // pages, or a percentage when growth_percent
  bool growth_percent = true;
  int64_t used = -1;  // pages in use; -1: derived from the rows (data) or the size (log)
  bool is_log() const { return fileid == 2 || (fileid > 2 && log_file); }
  bool log_file = false;  // for fileid > 2
};

// A consistency fault that DBCC CHECKDB reports until a repair at `repair` level or above
// mends it ("REPAIR_FAST" < "REPAIR_REBUILD" < "REPAIR_ALLOW_DATA_LOSS").
struct DamageMark {
  int object_id = 0;
  int index_id = 0;
  int page_file = 1;
  int64_t page = 0;
  int error = 8928;     // DBCC message number
  std::string repair = "REPAIR_REBUILD";
  std::string text;     // optional full message text; generated from the fields when empty
};

struct Database {
  std::string name;
  int dbid = 0;
  int64_t status = DbStatus::TruncLogOnChkpt | DbStatus::TornPageDetection;
  int64_t status2 = 0x40000000 | 0x10000;  // SQL Server 2000 defaults
  SqlDateTime crdate;
  int version = 539;
  int cmptlevel = 80;
  std::string owner_login = "sa";  // sysdatabases.sid: the dbo's login
  // The two options of the nine DATABASEPROPERTYEX ones that live outside status.
  bool auto_create_statistics = true;
  bool auto_update_statistics = true;
  std::string collation;  // empty: the server collation
  std::vector<DbFile> files;
  std::vector<DbUser> users;
  std::vector<Table> tables;
  std::vector<StoredProcedure> procedures;
  std::vector<DamageMark> damage;

  bool Has(int64_t bit) const { return (status & bit) != 0; }
  void Set(int64_t bit, bool on) { status = on ? (status | bit) : (status & ~bit); }
  // DATABASEPROPERTYEX('name', property) as SQL Server 2000 answers, or 2005 (which names
  // its emergency mode); nullopt: NULL.
  std::optional<Value> PropertyEx(const std::string& property, bool is2005 = false) const;
  const std::string& PrimaryFile() const;  // sysdatabases.filename (fileid 1); "" if none
  DbUser* FindUser(const std::string& name);            // case-insensitive
  DbUser* FindUserByLogin(const std::string& login);
  Table* FindTable(const std::string& owner, const std::string& name);  // owner "" = any
  Table* FindTableById(int id);
  StoredProcedure* FindProcedure(const std::string& owner, const std::string& name);  // owner "" = any
  int NextObjectId() const;
};

// One session's open transaction: what each of its statements changed, row by row, so that
// a rollback (to its start or to a savepoint) undoes exactly its own changes, whatever other
// sessions changed in the same tables meanwhile. A savepoint marks the length of the log at
// its SAVE TRANSACTION; savepoint 0 is the transaction's start.
struct RowChange {
  std::string database;
  int table_id = 0;
  std::optional<Row> before;  // none: the row was inserted
  std::optional<Row> after;   // none: the row was deleted
  size_t position = 0;        // the row's index in the table when it changed
};
struct Savepoint {
  std::string name;
  size_t undo_mark = 0;
};
struct OpenTransaction {
  std::vector<Savepoint> savepoints;
  std::vector<RowChange> undo;
};

// An exclusive lock an open transaction holds on a changed row until it ends. It keeps
// every form the row had in the transaction (as committed, and after each change), so
// that a statement of another session that would read or change the row in any of them
// waits. resource: how sp_lock names the row ("(hash of the key)" or "file:page:slot").
struct RowLock {
  int spid = 0;
  std::string database;
  int table_id = 0;
  bool keyed = false;  // a KEY lock of the primary key's index; else a RID lock of a heap
  std::string resource;
  std::vector<Row> images;
};

// A session that waits for a lock another session holds: the lock it asks for (S to read,
// U to change, X to insert), on which row, and since when.
struct LockWait {
  int holder = 0;
  std::string database;
  int table_id = 0;
  bool keyed = false;
  std::string resource;
  char mode = 'S';
  std::chrono::steady_clock::time_point since;
};

// A backup the server made, as msdb's backupset and backupmediafamily list it: every
// BACKUP adds one, and a data set may list earlier ones.
struct BackupRecord {
  std::string database;
  char type = 'D';  // D: database, L: log
  std::string name, description, user;
  SqlDateTime started, finished, database_created;
  int position = 1;  // the set's position in its file
  int64_t size_bytes = 0;
  int64_t first_lsn = 0, last_lsn = 0;
  int compatibility = 80, database_version = 539;
  std::string device;  // the file's path as the BACKUP named it
};

// A folder of another machine the server reaches by its UNC name (\\NAS\kopie), kept in a
// directory of this one: servers given the same directory see one folder.
struct Share {
  std::string unc;  // as the server names it, "\\NAS\kopie"
  std::string dir;  // the local directory behind it
};

// A place of the server's disk and the local directory that holds it.
struct DiskRoot {
  std::vector<std::string> components;  // of the server's path ("C:", "Program Files", ...)
  std::string local;
  bool unc = false;  // named only by a path that begins "\\"
};

// A killed session rolling its transaction back: what sysprocesses shows of it meanwhile.
struct RollingBack {
  std::string login, host, program, database, status = "rollback";
  time_t login_time = 0, last_batch = 0;
  std::chrono::steady_clock::time_point started;
  int64_t seconds = 0;
  // How far it is, 0 to 100, and the seconds left.
  int Percent() const;
  int64_t SecondsLeft() const;
};

// One entry of the server's error log.
struct ErrorLogLine {
  SqlDateTime time;
  std::string source;  // "server", "spid53", "logon", "backup"
  std::string text;
};

// The error log the server writes as it runs: the current log's entries (those a data set
// carries, then this run's), and the file they are also written to (none when empty).
struct ErrorLog {
  std::string file;
  std::vector<ErrorLogLine> lines;
};

// A process that is not a client connection (sysprocesses spids below 51).
struct SystemProcess {
  int spid = 0;
  std::string command;  // "LAZY WRITER", ...
  std::string status = "background";
  int dbid = 1;
};

class Model {
 public:
  ServerInfo server;
  std::vector<ConfigOption> configuration;
  std::vector<Login> logins;
  std::vector<Database> databases;  // kept in dbid order
  std::vector<SystemProcess> system_processes;
  std::map<int, std::shared_ptr<Session>> sessions;  // by spid
  std::string files_dir;  // where attachable files are looked up and detached ones written
  std::vector<Share> shares;
  ErrorLog error_log;
  // Local paths of backup files a BACKUP or RESTORE has open now (they wait unlocked).
  std::set<std::string> busy_files;
  std::vector<BackupRecord> backups;  // oldest first
  std::map<int, std::string> user_messages;  // sp_addmessage's texts by number, above 50000
  // Open transactions by spid, the row locks they hold, and the sessions waiting for one.
  std::map<int, OpenTransaction> transactions;
  std::map<std::string, RowLock> row_locks;  // by holder, table and resource (Locks.cpp)
  std::map<int, LockWait> lock_waits;
  // Killed sessions still rolling back (server.kill_rollback_seconds), by spid.
  std::map<int, RollingBack> rollbacks;
  // Forgets the rollbacks that have finished by now.
  void EndFinishedRollbacks();

  // Look-ups; names compare case-insensitively as under a case-insensitive collation.
  Database* FindDatabase(const std::string& name);
  Database* FindDatabase(int dbid);
  Login* FindLogin(const std::string& name);
  ConfigOption* FindOption(const std::string& name);  // exact or unique prefix, as sp_configure
  int NextDbid() const;
  int NextSpid() const;  // 51 and up
  void AddDatabase(Database db);  // keeps dbid order
  // Sessions (other than `except`) whose current database is `name`.
  std::vector<Session*> SessionsIn(const std::string& name, const Session* except = nullptr);
  // Maps a server path (C:\...\MSSQL\Data\x.mdf) to a file under files_dir: the data and
  // the backup directory are files_dir itself, their subdirectories its subdirectories, each
  // name looked up case-insensitively; a bare or relative name lies in the backup directory,
  // and files_dir's own local path names it too. Empty when the file's directory does not
  // exist on the server (any other directory).
  // A share's path maps the same way to its directory.
  std::string LocalPath(const std::string& path) const;
  // The data and backup directories (both files_dir), then each share.
  std::vector<DiskRoot> Roots() const;
};

// The names of a path's directories and file, "\\" and "/" alike.
std::vector<std::string> PathComponents(const std::string& path);
// Whether a path names another machine's folder ("\\NAS\kopie\x.bak").
bool IsUncPath(const std::string& path);

// Loads a data set; throws std::runtime_error with the file name and the reason.
Model LoadModel(const std::string& DataFile);
// One database, to and from the attachable file format (a JSON text).
Database DatabaseFromJson(const std::string& text);
std::string DatabaseToJson(const Database& db);
// The whole data set as JSON text (for inspection and tests).
std::string ModelToJson(const Model& model);

// Text helpers used across the engine.
std::string Upper(std::string text);
bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace msde
