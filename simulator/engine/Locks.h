#pragma once
// Row locks of open transactions and the waits for them. A row an open transaction
// changed is locked exclusively (X) until the transaction ends; sp_lock shows it with the
// intent locks (IX) on its page and table. Another session that would read the row (read
// committed), change it, or insert a row with its key waits, with the engine mutex
// released, until the holder commits, rolls back, disconnects or is killed; SET
// LOCK_TIMEOUT ends the wait with 1222, a circle of waits with 1205 for the session that
// would close it, an attention or a KILL of the waiter with the end of its batch.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {

// Whether a statement reads or changes a row (in one of the forms a lock keeps).
using RowTest = std::function<bool(const Row&)>;

// Waits while another session holds a lock on a row of the table for which `touches` is
// true, asking for `mode` ('S' read, 'U' change, 'X' insert).
void WaitForRowLocks(Context& ctx, const std::string& database, int table_id, const RowTest& touches, char mode);

// A query's wait before it reads a user table: read committed waits for every row another
// session's transaction changed, READ UNCOMMITTED for none. Returns the table looked up
// again after a wait; null when it went away meanwhile.
Table* WaitForCommittedRows(Context& ctx, const std::string& database, int table_id);

// Locks a row the session's open transaction changed (before null: inserted; after null:
// deleted; position: its index in the table).
void LockChangedRow(Model& model, int spid, const std::string& database, const Table& table, const Row* before,
                    const Row* after, size_t position);

void ReleaseRowLocks(Model& model, int spid);

// A session's lock wait as sysprocesses and sys.dm_exec_requests show it; blocked 0 when
// it waits for none.
struct WaitInfo {
  int blocked = 0;
  int code = 0;           // sysprocesses.waittype: 3 LCK_M_S, 4 LCK_M_U, 5 LCK_M_X
  std::string type;       // "LCK_M_S", ...
  int64_t milliseconds = 0;
  std::string resource;   // sysprocesses.waitresource
};
WaitInfo SessionWait(const Model& model, int spid);

// One lock held or asked for, as sp_lock lists it.
struct LockEntry {
  int spid = 0;
  int dbid = 0;
  int64_t object_id = 0;
  int index_id = 0;
  std::string type;      // DB, TAB, PAG, KEY, RID
  std::string resource;  // "" for DB and TAB, "1:page", "(hash)" or "1:page:slot"
  std::string mode;      // S, IS, IX, U, X
  bool granted = true;
};
std::vector<LockEntry> ListLocks(const Model& model);

// The id SQL Server 2005 gives an index's rows (sys.dm_tran_locks, waitresource).
int64_t HobtId(int table_id, int index_id);

}  // namespace msde
