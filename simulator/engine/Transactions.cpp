#include "engine/Transactions.h"

#include <algorithm>

namespace msde {
namespace {

std::string LockKey(const std::string& database, int table_id) {
  return Upper(database) + '\x1f' + std::to_string(table_id);
}

// The client hears of a transaction that begins or ends.
void Begin(Model& model, Session& session, const std::string& name, BatchSink& sink) {
  if (session.trancount++ > 0) return;
  model.transactions[session.spid].savepoints = {Savepoint{name, {}}};
  sink.TransactionChanged(TransactionEvent::Began);
}

void ReleaseTables(Model& model, int spid) {
  for (auto it = model.table_locks.begin(); it != model.table_locks.end();)
    it = it->second == spid ? model.table_locks.erase(it) : std::next(it);
}

void Restore(Model& model, const Savepoint& savepoint) {
  for (const TableImage& image : savepoint.images) {
    Database* db = model.FindDatabase(image.database);
    if (Table* table = db ? db->FindTableById(image.table_id) : nullptr) table->rows = image.rows;
  }
}

// Ends the whole transaction, its changes undone (sink: none at logout).
void RollbackAll(Model& model, Session& session, BatchSink* sink) {
  if (session.trancount > 0 && sink != nullptr) sink->TransactionChanged(TransactionEvent::RolledBack);
  auto it = model.transactions.find(session.spid);
  if (it != model.transactions.end()) {
    if (!it->second.savepoints.empty()) Restore(model, it->second.savepoints.front());
    model.transactions.erase(it);
  }
  ReleaseTables(model, session.spid);
  session.trancount = 0;
}

// Whether waiting for `holder` would close a circle that leads back to `spid`.
bool WouldDeadlock(const Model& model, int holder, int spid) {
  for (size_t steps = 0; steps <= model.lock_waits.size(); ++steps) {
    if (holder == spid) return true;
    auto wait = model.lock_waits.find(holder);
    if (wait == model.lock_waits.end()) return false;
    auto lock = model.table_locks.find(wait->second);
    if (lock == model.table_locks.end()) return false;
    holder = lock->second;
  }
  return false;
}

// Waits until no other session's transaction holds the table.
void WaitForTable(Context& ctx, const std::string& key) {
  Model& model = ctx.model;
  const int spid = ctx.session.spid;
  for (;;) {
    auto lock = model.table_locks.find(key);
    if (lock == model.table_locks.end() || lock->second == spid) return;
    if (WouldDeadlock(model, lock->second, spid)) {
      RollbackAll(model, ctx.session, &ctx.sink);
      ctx.Fail(1205, 13, 50,
               "Transaction (Process ID " + std::to_string(spid) +
                   ") was deadlocked on lock resources with another process and has been chosen "
                   "as the deadlock victim. Rerun the transaction.",
               true);
    }
    model.lock_waits[spid] = key;
    const std::string status = ctx.session.status;
    ctx.session.status = "sleeping";
    const bool waited = ctx.WaitUnlocked(std::chrono::milliseconds(10));
    ctx.session.status = status;
    model.lock_waits.erase(spid);
    if (!waited) throw BatchCancelled{};
  }
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
  ReleaseTables(ctx.model, ctx.session.spid);
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
  std::vector<Savepoint>& savepoints = ctx.model.transactions[ctx.session.spid].savepoints;
  if (!name.empty() && (savepoints.empty() || savepoints.front().name != name)) {
    auto it = std::find_if(savepoints.rbegin(), savepoints.rend(),
                           [&](const Savepoint& s) { return s.name == name; });
    if (it == savepoints.rend())
      ctx.Fail(6401, 16, 1, "Cannot roll back " + name + ". No transaction or savepoint of that name was found.");
    Savepoint& target = *it;
    Restore(ctx.model, target);
    target.images.clear();
    savepoints.erase(it.base(), savepoints.end());
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
  ctx.model.transactions[ctx.session.spid].savepoints.push_back(Savepoint{name, {}});
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

Table& PrepareTableChange(Context& ctx, std::string database, int table_id) {
  StartImplicitTransaction(ctx);
  const std::string key = LockKey(database, table_id);
  WaitForTable(ctx, key);
  Database* db = ctx.model.FindDatabase(database);
  Table* table = db ? db->FindTableById(table_id) : nullptr;
  if (table == nullptr) ctx.Fail(208, 16, 1, "Invalid object name '" + std::to_string(table_id) + "'.", true);
  if (ctx.session.trancount == 0) return *table;
  ctx.model.table_locks[key] = ctx.session.spid;
  for (Savepoint& savepoint : ctx.model.transactions[ctx.session.spid].savepoints) {
    const bool kept = std::any_of(savepoint.images.begin(), savepoint.images.end(), [&](const TableImage& i) {
      return i.table_id == table_id && EqualNoCase(i.database, db->name);
    });
    if (!kept) savepoint.images.push_back(TableImage{db->name, table_id, table->rows});
  }
  return *table;
}

void RollbackSession(Model& model, Session& session) {
  model.lock_waits.erase(session.spid);
  RollbackAll(model, session, nullptr);
}

int BlockingSpid(const Model& model, int spid) {
  auto wait = model.lock_waits.find(spid);
  if (wait == model.lock_waits.end()) return 0;
  auto lock = model.table_locks.find(wait->second);
  return lock == model.table_locks.end() ? 0 : lock->second;
}

void RefuseInsideTransaction(Context& ctx, int number, const std::string& text) {
  if (ctx.session.trancount > 0) ctx.Fail(number, 16, 2, text);
}

}  // namespace msde
