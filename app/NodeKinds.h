#pragma once
// What a tree node is: its selected-image index.
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
};

inline bool IsDatabaseKind(int Kind) {
  return Kind == nkDatabase || Kind == nkDatabaseOffline || Kind == nkDatabaseDamaged ||
         Kind == nkDatabaseOther;
}

// The kind of a database node from the status column of sysdatabases: bit 0x100 (left
// unusable at start-up) gives damaged, else bit 0x200 gives offline, else usable.
int StatusImage(const std::string& Status);

// Marks of a usable database's state that its node kind does not tell (flags).
enum TDatabaseMark : int { dmNone = 0, dmReadOnly = 1, dmSingleUser = 2 };

// The marks from the status column of sysdatabases: bit 0x400 read-only, 0x1000 single user.
int DatabaseMarks(const std::string& Status);

// The database name of a node text without its " (Offline)" or " (Uszkodzona)" suffix.
std::string StripStateSuffix(const std::string& Text);

// "server\instance" unless the instance is empty or the server already names one.
std::string ComposeServerName(const std::string& Server, const std::string& Instance);

bool IsSystemDatabase(const std::string& Name);

}  // namespace vandrel::app
