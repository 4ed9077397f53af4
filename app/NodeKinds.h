#pragma once
// What a tree node is. The tree's pictures are numbered as the kinds are (Images.cpp), but a
// node keeps its kind apart from its picture (TNodeIdentity::Kind).
#include <string>

namespace vandrel::app {

enum NodeKind : int {
  nkNone = 0,
  nkDatabasesFolderAlt = 1,  // also read as the databases folder
  nkDatabasesFolder = 2,
  nkDatabase = 3,
  nkTablesFolder = 4,
  nkTable = 5,
  nkUsersFolder = 6,
  nkUser = 7,
  nkLoginsFolder = 8,
  nkLogin = 9,
  nkServer = 10,
  nkServerLost = 11,
  nkDatabaseOffline = 13,
  nkDatabaseDamaged = 14,
  nkDatabaseOther = 15,
  // A database in each further state the server reports.
  nkDatabaseNoAccess = 16,    // online, but this login may not enter it
  nkDatabaseSingleUser = 17,  // online, one connection at a time
  nkDatabaseReadOnly = 18,    // online, read only
  nkDatabaseRestoring = 19,   // in a restore or in recovery
  nkDatabaseEmergency = 20,   // SQL Server 2005's emergency mode
};

bool IsDatabaseKind(int Kind);
// A database the commands for a database in the normal state act on (single-user and
// read-only ones are such databases too).
bool IsUsableDatabaseKind(int Kind);
// A database that "Włącz bazę" may bring back: offline, damaged, or in emergency mode.
bool IsStoppedDatabaseKind(int Kind);

// The kind of a database node from the status column of sysdatabases: bit 0x100 (left
// unusable at start-up) gives damaged, else bit 0x200 gives offline, else usable.
int StatusImage(const std::string& Status);

// What the server reports of one database in the tree's reading: the status word of
// sysdatabases, DATABASEPROPERTYEX's Status, UserAccess and Updateability, and HAS_DBACCESS
// ("1", "0"; empty where the server told nothing).
struct TDatabaseReport {
  std::string StatusBits, Status, UserAccess, Updateability, Access;
};

// The node kind of that database: its state first (emergency, damaged, offline, restoring),
// then whether it is held to one connection, whether this login may enter it, and whether it
// is read only. A report without the properties falls back to the status word.
int DatabaseKind(const TDatabaseReport& Report);
// Whether the login may open the database now (its folders of tables and users).
bool MayOpenDatabase(const TDatabaseReport& Report);
// The text after a database's name in the tree for its kind (" (Offline)"), empty for none.
std::string StateSuffix(int Kind);

// Marks of a usable database's state drawn beside the mark of its kind (flags).
enum TDatabaseMark : int { dmNone = 0, dmReadOnly = 1, dmSingleUser = 2 };

// The marks of what the server reports: read only, single user (from the status word's bits
// 0x400 and 0x1000 where the properties are missing).
int DatabaseMarks(const TDatabaseReport& Report);

// What a tree node stands for, set when the tree is built; the node's text, with any state
// suffix, is display only and never read back to find the object of a command.
struct TNodeIdentity {
  int Kind = nkNone;
  std::string Database;       // a database node and every node under one
  std::string Owner, Table;   // a table node
  std::string Name;           // a user or a login node
  // The same object across rebuilds of the tree: a database is one object whatever its state,
  // and so is the server, reachable or not.
  std::string Key() const;
};

// "server\instance" unless the instance is empty or the server already names one.
std::string ComposeServerName(const std::string& Server, const std::string& Instance);

bool IsSystemDatabase(const std::string& Name);

}  // namespace vandrel::app
