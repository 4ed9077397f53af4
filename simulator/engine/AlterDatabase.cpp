// ALTER DATABASE name SET option [, option ...] [WITH ROLLBACK IMMEDIATE | ROLLBACK AFTER n
// [SECONDS] | NO_WAIT]: the state (offline, read-only, user access) and the options that
// DATABASEPROPERTYEX reports.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/AdminRights.h"
#include "engine/Processes.h"
#include "engine/Statements.h"
#include "engine/Transactions.h"

namespace msde {
namespace {

// One SET item: its name as written (for messages), whether it needs the database to
// itself, and what it changes.
struct Change {
  std::string option;
  bool exclusive = false;
  bool state = false;  // OFFLINE/ONLINE and friends: not allowed on the system databases
  std::function<void(Database&)> apply;
};

bool OnOff(Parser& p) {
  if (p.AcceptKeyword("ON")) return true;
  if (p.AcceptKeyword("OFF")) return false;
  p.FailHere();
}

Change FlagChange(std::string option, int64_t bit, bool on) {
  return {std::move(option), false, false, [bit, on](Database& db) { db.Set(bit, on); }};
}

Change ReadChange(Parser& p, bool is2005) {
  static const char* const kOptions[] = {
      "SINGLE_USER", "RESTRICTED_USER", "MULTI_USER", "OFFLINE", "ONLINE", "READ_ONLY",
      "READ_WRITE", "AUTO_CLOSE", "AUTO_SHRINK", "TORN_PAGE_DETECTION",
      "AUTO_CREATE_STATISTICS", "AUTO_UPDATE_STATISTICS", "RECOVERY", "EMERGENCY"};
  std::string word;
  for (const char* option : kOptions)
    if (p.Peek().IsWord(option)) word = option;
  if (word.empty() || (word == "EMERGENCY" && !is2005)) p.FailHere();
  p.Next();
  using namespace DbStatus;
  if (word == "SINGLE_USER")
    return {word, true, true, [](Database& db) {
              db.Set(SingleUser, true);
              db.Set(DboUseOnly, false);
            }};
  if (word == "RESTRICTED_USER")
    return {word, true, true, [](Database& db) {
              db.Set(SingleUser, false);
              db.Set(DboUseOnly, true);
            }};
  if (word == "MULTI_USER")
    return {word, false, false, [](Database& db) {
              db.Set(SingleUser, false);
              db.Set(DboUseOnly, false);
            }};
  if (word == "OFFLINE" || word == "ONLINE") {
    const bool off = word == "OFFLINE";
    return {word, off, true, [off](Database& db) {
              db.Set(Offline, off);
              db.Set(EmergencyMode, false);
            }};
  }
  if (word == "EMERGENCY")  // 2005: readable by the system administrators only, whatever recovery left
    return {word, false, true, [](Database& db) {
              db.Set(Offline, false);
              db.Set(EmergencyMode, true);
            }};
  if (word == "READ_ONLY" || word == "READ_WRITE") {
    const bool ro = word == "READ_ONLY";
    return {word, true, true, [ro](Database& db) { db.Set(ReadOnly, ro); }};
  }
  if (word == "AUTO_SHRINK") return FlagChange(word, AutoShrink, OnOff(p));
  if (word == "TORN_PAGE_DETECTION") return FlagChange(word, TornPageDetection, OnOff(p));
  if (word == "AUTO_CREATE_STATISTICS") {
    const bool on = OnOff(p);
    return {word, false, false, [on](Database& db) { db.auto_create_statistics = on; }};
  }
  if (word == "AUTO_UPDATE_STATISTICS") {
    const bool on = OnOff(p);
    return {word, false, false, [on](Database& db) { db.auto_update_statistics = on; }};
  }
  if (word == "RECOVERY") {
    const bool simple = p.AcceptKeyword("SIMPLE");
    const bool bulk = !simple && p.AcceptKeyword("BULK_LOGGED");
    if (!simple && !bulk) p.ExpectKeyword("FULL");
    return {word, false, false, [simple, bulk](Database& db) {
              db.Set(TruncLogOnChkpt, simple);
              db.Set(SelectIntoBulkCopy, bulk);
            }};
  }
  return FlagChange(word, AutoClose, OnOff(p));  // AUTO_CLOSE
}

enum class Termination { Wait, RollbackNow, NoWait };

Termination ReadTermination(Parser& p) {
  if (!p.AcceptKeyword("WITH")) return Termination::Wait;
  if (p.AcceptKeyword("NO_WAIT")) return Termination::NoWait;
  p.ExpectKeyword("ROLLBACK");
  if (p.AcceptKeyword("AFTER")) {
    p.ExpectInteger();
    p.AcceptKeyword("SECONDS");
  } else {
    p.ExpectKeyword("IMMEDIATE");
  }
  return Termination::RollbackNow;
}

bool IsSystemDatabase(const Database& db) {
  return EqualNoCase(db.name, "master") || EqualNoCase(db.name, "tempdb") ||
         EqualNoCase(db.name, "model");
}

// Every refusal of ALTER DATABASE is followed by 5069.
[[noreturn]] void Refuse(Context& ctx, int number, int severity, int state,
                         const std::string& text) {
  ctx.Error(number, severity, state, text);
  ctx.Fail(5069, 16, 1, "ALTER DATABASE statement failed.");
}

void AlterDatabase(Context& ctx, Parser& p) {
  if (!p.AcceptKeyword("DATABASE")) p.FailHere();
  RefuseInsideTransaction(ctx, 226, "ALTER DATABASE statement not allowed within multi-statement transaction.");
  const std::string name = p.ExpectName();
  p.ExpectKeyword("SET");
  std::vector<Change> changes;
  do changes.push_back(ReadChange(p, ctx.model.server.Is2005()));
  while (p.AcceptSymbol(","));
  const Termination termination = ReadTermination(p);
  p.ExpectEnd();

  Database& db = ctx.RequireDatabase(name);
  if (!IsDbOwner(ctx, db))
    Refuse(ctx, 5011, 14, 1, "User does not have permission to alter database '" + db.name + "'.");

  bool exclusive = false, taking_offline = false;
  for (const Change& c : changes) {
    if (c.state && IsSystemDatabase(db))
      Refuse(ctx, 5058, 16, 1,
             "Option '" + c.option + "' cannot be set in database '" + db.name + "'.");
    if (db.Has(DbStatus::Offline) && c.option != "ONLINE" && c.option != "OFFLINE" && c.option != "EMERGENCY")
      Refuse(ctx, 942, 14, 4, "Database '" + db.name + "' cannot be opened because it is offline.");
    exclusive = exclusive || c.exclusive;
    taking_offline = taking_offline || c.option == "OFFLINE";
  }

  // Other connections in the database block a change of its state; a single-user database
  // held by another connection blocks every change. Going offline counts this one too.
  std::vector<Session*> users = ctx.model.SessionsIn(db.name, &ctx.session);
  if (taking_offline && EqualNoCase(ctx.session.database, db.name)) users.push_back(&ctx.session);
  const bool blocked = !users.empty() && (exclusive || db.Has(DbStatus::SingleUser));
  if (blocked) {
    // ROLLBACK IMMEDIATE ends the other connections, never this one.
    const bool inside = std::find(users.begin(), users.end(), &ctx.session) != users.end();
    if (termination != Termination::RollbackNow || inside)
      Refuse(ctx, 5070, 16, 2,
             "Database state cannot be changed while other users are using the database '" +
                 db.name + "'");
    for (Session* s : users) EndSession(ctx, *s);
    ctx.Info(5060, "Nonqualified transactions are being rolled back. Estimated rollback "
                   "completion: 100%.");
  }
  for (const Change& c : changes) c.apply(db);
}

const StatementRegistration alter_statement("ALTER", AlterDatabase);

}  // namespace
}  // namespace msde
