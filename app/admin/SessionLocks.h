#pragma once
// The locks one session holds or waits for, as the server lists them (sp_lock on SQL Server
// 2000, sys.dm_tran_locks on 2005), with the names of their databases and tables looked up in
// as few statements as the server allows: one for the databases, one or two in each database.
#include <QString>
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

struct TLockRow {
  std::string Database;  // its name, or its number where the server gave no name
  std::string Object;    // the table's name (or its number); empty for a lock of no table
  std::string Type;      // as the server names it: "KEY", "TAB" (2000), "OBJECT" (2005), ...
  std::string Resource;  // which page, key or row; empty for a database or a table
  std::string Mode;      // "S", "X", "IX", ...
  std::string Status;    // "GRANT", "WAIT", "CNVT" (2000) or "CONVERT" (2005)
};

// False when the server did not give the locks (the error report has said why).
bool ReadSessionLocks(TCommandContext& Context, int Spid, bool Is2005, std::vector<TLockRow>& Locks);

// "Blokady procesu 53 (...): 5, w tym 1 oczekująca." and the locks one to a line, as the
// report window shows them.
QString LocksSummary(const QString& Session, const std::vector<TLockRow>& Locks);
QString LocksText(const std::vector<TLockRow>& Locks);

}  // namespace vandrel::app::admin
