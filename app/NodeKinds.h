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
