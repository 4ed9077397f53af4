#pragma once
// A session's transactions: BEGIN, COMMIT, ROLLBACK and SAVE TRANSACTION, the ones that SET
// IMPLICIT_TRANSACTIONS ON starts by itself, and the rows a change holds until its
// transaction ends. A transaction logs each row it changes (Model.h: OpenTransaction), so
// that a rollback, a KILL or a dropped connection puts back exactly its rows, and locks them
// (engine/Locks.h): another session's statement on those rows waits for it to end.
#include <string>

#include "engine/Locks.h"
#include "engine/Statements.h"

namespace msde {

// Starts a transaction when the session runs with IMPLICIT_TRANSACTIONS ON and has none:
// called by the statements that start one (SELECT from a table, INSERT, UPDATE, DELETE).
void StartImplicitTransaction(Context& ctx);

// Called before a statement changes a table (named by database and object id): starts the
// implicit transaction where one is due and waits while another session's transaction
// holds a row for which `touches` is true (mode: 'U' for UPDATE and DELETE, 'X' for
// INSERT). Returns the table, looked up again after any wait; 208 when it went away.
Table& PrepareTableChange(Context& ctx, std::string database, int table_id, const RowTest& touches,
                          char mode = 'U');

// Called for each row a statement changed, once it can no longer fail (before null: the
// row was inserted; after null: deleted; position: its index in the table at that moment,
// for a deleted row after the rows deleted before it). Inside a transaction the change is
// logged for rollback and the row stays locked.
void KeepRowChange(Context& ctx, const std::string& database, const Table& table, const Row* before,
                   const Row* after, size_t position);

// Rolls back the session's whole transaction, as a deadlock victim's is.
void RollbackTransaction(Context& ctx);

// Rolls back what a session's open transaction changed and releases its tables: the
// connection ended (logout, KILL).
void RollbackSession(Model& model, Session& session);

// The session whose transaction holds the row `spid` waits for; 0 when it waits for none
// (sysprocesses.blocked, sp_who's blk).
int BlockingSpid(const Model& model, int spid);

// 226 and the like: statements that SQL Server refuses inside a transaction.
void RefuseInsideTransaction(Context& ctx, int number, const std::string& text);

}  // namespace msde
