#include "engine/Transactions.h"

#include <algorithm>

namespace msde {
namespace {

// The client hears of a transaction that begins or ends.
void Begin(Model& model, Session& session, const std::string& name, BatchSink& sink) {
  if (session.trancount++ > 0) return;
  model.transactions[session.spid].savepoints = {Savepoint{name, 0}};
  sink.TransactionChanged(TransactionEvent::Began);
}

// Puts back one logged change: the row's logged form is looked for at its position first,
// then anywhere (other sessions may have moved rows since).
void Undo(Model& model, const RowChange& change) {
  Database* db = model.FindDatabase(change.database);
  Table* table = db ? db->FindTableById(change.table_id) : nullptr;
  if (table == nullptr) return;
  std::vector<Row>& rows = table->rows;
  if (!change.after) {
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(std::min(change.position, rows.size())), *change.before);
    return;
  }
  auto it = change.position < rows.size() && rows[change.position] == *change.after
                ? rows.begin() + static_cast<std::ptrdiff_t>(change.position)
                : std::find(rows.begin(), rows.end(), *change.after);
  if (it == rows.end()) return;
  if (change.before)
    *it = *change.before;
  else
    rows.erase(it);
}

// Undoes the log's changes after `mark`, the latest first.
void UndoTo(Model& model, std::vector<RowChange>& undo, size_t mark) {
  while (undo.size() > mark) {
    Undo(model, undo.back());
    undo.pop_back();
  }
}

// Ends the whole transaction, its changes undone (sink: none at logout).
void RollbackAll(Model& model, Session& session, BatchSink* sink) {
  if (session.trancount > 0 && sink != nullptr) sink->TransactionChanged(TransactionEvent::RolledBack);
  auto it = model.transactions.find(session.spid);
  if (it != model.transactions.end()) {
    UndoTo(model, it->second.undo, 0);
    model.transactions.erase(it);
  }
  ReleaseRowLocks(model, session.spid);
  session.trancount = 0;
}

// Transaction and savepoint names: a word, a [name] or a variable; case-sensitive.
std::string OptionalName(Parser& p) {
  if (p.AtEnd()) return "";
  if (p.Peek().IsName() || p.Peek().kind == TokenKind::Variable) return p.Next().text;
  p.FailHere();
}

// BEGIN TRAN[SACTION] [name] [WITH MARK ['text']], BEGIN DISTRIBUTED TRAN[SACTION] [name].
void BeginStatement(Context& ctx, Parser& p) {
  p.AcceptKeyword("DISTRIBUTED");
  if (!p.AcceptKeyword("TRAN") && !p.AcceptKeyword("TRANSACTION")) {
    // A BEGIN ... END block is not served.
    ctx.SyntaxError("BEGIN");
  }
  std::string name;
  if (!p.AtEnd() && !p.Peek().IsWord("WITH")) name = OptionalName(p);
  if (p.AcceptKeyword("WITH")) {
    p.ExpectKeyword("MARK");
    if (!p.AtEnd()) p.ExpectString();
  }
  p.ExpectEnd();
  StartImplicitTransaction(ctx);
  Begin(ctx.model, ctx.session, name, ctx.sink);
}

void AcceptTransactionWord(Parser& p) {
  if (!p.AcceptKeyword("TRAN") && !p.AcceptKeyword("TRANSACTION")) p.AcceptKeyword("WORK");
}

// COMMIT [TRAN[SACTION] | WORK] [name]: the name is not checked, as SQL Server ignores it.
void CommitStatement(Context& ctx, Parser& p) {
  AcceptTransactionWord(p);
  OptionalName(p);
  p.ExpectEnd();
  if (ctx.session.trancount == 0)
    ctx.Fail(3902, 16, 1, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  if (--ctx.session.trancount > 0) return;
  ctx.model.transactions.erase(ctx.session.spid);
  ReleaseRowLocks(ctx.model, ctx.session.spid);
  ctx.sink.TransactionChanged(TransactionEvent::Committed);
}

// ROLLBACK [TRAN[SACTION] | WORK] [name]: the whole transaction, or back to a savepoint
// (the transaction stays open).
void RollbackStatement(Context& ctx, Parser& p) {
  AcceptTransactionWord(p);
  const std::string name = OptionalName(p);
  p.ExpectEnd();
  if (ctx.session.trancount == 0)
    ctx.Fail(3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  OpenTransaction& transaction = ctx.model.transactions[ctx.session.spid];
  std::vector<Savepoint>& savepoints = transaction.savepoints;
  if (!name.empty() && (savepoints.empty() || savepoints.front().name != name)) {
    auto it = std::find_if(savepoints.rbegin(), savepoints.rend(),
                           [&](const Savepoint& s) { return s.name == name; });
    if (it == savepoints.rend())
      ctx.Fail(6401, 16, 1, "Cannot roll back " + name + ". No transaction or savepoint of that name was found.");
    UndoTo(ctx.model, transaction.undo, it->undo_mark);
    savepoints.erase(it.base(), savepoints.end());
    // The locks taken after the savepoint go with its changes; those of the changes before stay.
    ReleaseRowLocks(ctx.model, ctx.session.spid);
    for (const RowChange& change : transaction.undo) {
      Database* db = ctx.model.FindDatabase(change.database);
      const Table* table = db ? db->FindTableById(change.table_id) : nullptr;
      if (table != nullptr)
        LockChangedRow(ctx.model, ctx.session.spid, change.database, *table, change.before ? &*change.before : nullptr,
                       change.after ? &*change.after : nullptr, change.position);
    }
    return;
  }
  RollbackAll(ctx.model, ctx.session, &ctx.sink);
}

// SAVE TRAN[SACTION] name.
void SaveStatement(Context& ctx, Parser& p) {
  if (!p.AcceptKeyword("TRAN")) p.ExpectKeyword("TRANSACTION");
  const std::string name = OptionalName(p);
  if (name.empty()) p.FailHere();
  p.ExpectEnd();
  if (ctx.session.trancount == 0)
    ctx.Fail(628, 16, 1, "Cannot issue SAVE TRANSACTION when there is no active transaction.");
  OpenTransaction& transaction = ctx.model.transactions[ctx.session.spid];
  transaction.savepoints.push_back(Savepoint{name, transaction.undo.size()});
}

const StatementRegistration begin_statement("BEGIN", BeginStatement);
const StatementRegistration commit_statement("COMMIT", CommitStatement);
const StatementRegistration rollback_statement("ROLLBACK", RollbackStatement);
const StatementRegistration save_statement("SAVE", SaveStatement);

}  // namespace

void StartImplicitTransaction(Context& ctx) {
  if (ctx.session.implicit_transactions && ctx.session.trancount == 0)
    Begin(ctx.model, ctx.session, "", ctx.sink);
}

Table& PrepareTableChange(Context& ctx, std::string database, int table_id, const RowTest& touches, char mode) {
  StartImplicitTransaction(ctx);
  // The table's name, for the message should it be dropped while the statement waits.
  Database* db = ctx.model.FindDatabase(database);
  Table* table = db ? db->FindTableById(table_id) : nullptr;
  const std::string name = table ? table->name : std::to_string(table_id);
  WaitForRowLocks(ctx, database, table_id, touches, mode);
  db = ctx.model.FindDatabase(database);
  table = db ? db->FindTableById(table_id) : nullptr;
  if (table == nullptr) ctx.Fail(208, 16, 1, "Invalid object name '" + name + "'.", true);
  return *table;
}

void KeepRowChange(Context& ctx, const std::string& database, const Table& table, const Row* before,
                   const Row* after, size_t position) {
  if (ctx.session.trancount == 0) return;
  auto optional = [](const Row* row) { return row ? std::optional<Row>(*row) : std::nullopt; };
  ctx.model.transactions[ctx.session.spid].undo.push_back(
      RowChange{database, table.id, optional(before), optional(after), position});
  LockChangedRow(ctx.model, ctx.session.spid, database, table, before, after, position);
}

void RollbackTransaction(Context& ctx) { RollbackAll(ctx.model, ctx.session, &ctx.sink); }

void RollbackSession(Model& model, Session& session) {
  model.lock_waits.erase(session.spid);
  RollbackAll(model, session, nullptr);
}

int BlockingSpid(const Model& model, int spid) { return SessionWait(model, spid).blocked; }

void RefuseInsideTransaction(Context& ctx, int number, const std::string& text) {
  if (ctx.session.trancount > 0) ctx.Fail(number, 16, 2, text);
}

}  // namespace msde
