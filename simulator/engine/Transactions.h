#pragma once
// A session's transactions: BEGIN, COMMIT, ROLLBACK and SAVE TRANSACTION, the ones that SET
// IMPLICIT_TRANSACTIONS ON starts by itself, and the table a change holds until its
// transaction ends. A transaction keeps the rows of each table it changes as they stood
// before (Model.h: OpenTransaction), so that a rollback, a KILL or a dropped connection puts
// them back. Another session's change of a held table waits for the transaction to end, as
// SQL Server's exclusive lock makes it wait; readers are not held up and see the rows as
// they stand (as under READ UNCOMMITTED).
#include <string>

#include "engine/Statements.h"

namespace msde {

// Starts a transaction when the session runs with IMPLICIT_TRANSACTIONS ON and has none:
// called by the statements that start one (SELECT from a table, INSERT, UPDATE, DELETE).
void StartImplicitTransaction(Context& ctx);

// Called before a statement changes a table (named by database and object id): starts the
// implicit transaction where one is due, waits while another session's transaction holds
// the table (1205 for the session that would close a circle of waits), and inside a
// transaction keeps the table's rows for every savepoint not yet holding them. Returns the
// table, looked up again after any wait; 208 when it went away meanwhile.
Table& PrepareTableChange(Context& ctx, std::string database, int table_id);

// Rolls back what a session's open transaction changed and releases its tables: the
// connection ended (logout, KILL).
void RollbackSession(Model& model, Session& session);

// The session whose transaction holds the table `spid` waits for; 0 when it waits for none
// (sysprocesses.blocked, sp_who's blk).
int BlockingSpid(const Model& model, int spid);

// 226 and the like: statements that SQL Server refuses inside a transaction.
void RefuseInsideTransaction(Context& ctx, int number, const std::string& text);

}  // namespace msde
