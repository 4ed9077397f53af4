// Statements about the session itself: USE, SET and WAITFOR.
#include <cstdio>
#include <ctime>

#include "engine/SqlTime.h"
#include "engine/Statements.h"
#include "engine/Values.h"
#include "engine/Variables.h"

namespace msde {
namespace {

void Use(Context& ctx, Parser& p) {
  const std::string name = p.ExpectName();
  p.ExpectEnd();
  Database* db = ctx.model.FindDatabase(name);
  // A database that cannot be entered ends the batch: what follows would run elsewhere.
  if (db == nullptr)
    ctx.Fail(911, 16, 1,
             "Could not locate entry in sysdatabases for database '" + name +
                 "'. No entry found with that name. Make sure that the name is entered correctly.",
             true);
  try {
    ctx.CheckCanEnter(*db);
  } catch (SqlError& e) {
    e.abort_batch = true;
    throw;
  }
  const std::string old = ctx.CurrentDatabase().name;
  ctx.session.database = db->name;
  ctx.sink.DatabaseChanged(old, db->name);
  // Severity 0, as SQL Server sends it: clients that raise on informational messages of
  // severity 10 (pymssql) must not fail on every USE.
  ctx.Info(5701, "Changed database context to '" + db->name + "'.", 0);
}

// SET @v = value assigns a variable. SET changes the session's language, NOCOUNT and IMPLICIT_TRANSACTIONS; the other options
// change nothing the engine models.
void Set(Context& ctx, Parser& p) {
  if (p.Peek().kind == TokenKind::Variable) return SetVariable(ctx, p);
  const std::string option = Upper(p.ExpectName());
  if (option == "LANGUAGE") {
    const Token t = p.Next();
    if (!t.IsName() && t.kind != TokenKind::String) p.FailHere();
    if (!EqualNoCase(t.text, "us_english") && !EqualNoCase(t.text, "english") &&
        !EqualNoCase(t.text, "polski") && !EqualNoCase(t.text, "Polish"))
      ctx.Fail(2731, 11, 1, "'" + t.text + "' is not an official language name.");
    ctx.session.language = EqualNoCase(t.text, "english") ? "us_english" : t.text;
    ctx.Info(5703, "Changed language setting to " + ctx.session.language + ".");
    return;
  }
  if (option == "TRANSACTION") {
    // ISOLATION LEVEL ...: only READ UNCOMMITTED changes what the engine does (no read waits).
    std::string level;
    while (!p.AtEnd()) level += Upper(p.Next().text) + " ";
    ctx.session.read_uncommitted = level.find("READ UNCOMMITTED") != std::string::npos;
    return;
  }
  if (option == "LOCK_TIMEOUT") {
    // SET LOCK_TIMEOUT n: milliseconds a statement waits for a lock; -1 for ever, 0 not at all.
    const bool negative = p.AcceptSymbol("-");
    const int64_t milliseconds = p.ExpectInteger();
    p.ExpectEnd();
    ctx.session.lock_timeout = negative ? -milliseconds : milliseconds;
    return;
  }
  if (p.AtEnd()) p.FailHere();
  // SET NOCOUNT ON, SET ANSI_NULLS, QUOTED_IDENTIFIER OFF: a list of switches and ON or OFF.
  std::vector<std::string> switches{option};
  while (p.AcceptSymbol(",")) switches.push_back(Upper(p.ExpectName()));
  const bool on = p.Peek().IsWord("ON");
  if (!on && !p.Peek().IsWord("OFF")) {
    // SET TEXTSIZE 4096, SET DATEFORMAT dmy, ...: nothing the engine models.
    while (!p.AtEnd()) p.Next();
    return;
  }
  p.Next();
  p.ExpectEnd();
  for (const std::string& name : switches) {
    if (name == "NOCOUNT") ctx.session.nocount = on;
    if (name == "IMPLICIT_TRANSACTIONS") ctx.session.implicit_transactions = on;
  }
}

// The time of day now, in milliseconds since the server's local midnight.
int64_t NowInDay() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + ms;
}

// WAITFOR DELAY 'hh:mm[:ss[.mmm]]' and WAITFOR TIME 'hh:mm[:ss[.mmm]]' (the next time the
// clock shows it), a text or a variable: waits without holding the engine; an attention or
// a KILL ends the wait and the batch.
void WaitFor(Context& ctx, Parser& p) {
  const bool until = p.AcceptKeyword("TIME");
  if (!until) p.ExpectKeyword("DELAY");
  std::string text;
  if (p.Peek().kind == TokenKind::Variable) {
    const Token name = p.Next();
    const Variable* v = ctx.FindVariable(name.text);
    if (v == nullptr) ctx.Fail(137, 15, 2, "Must declare the variable '" + name.text + "'.", true);
    // A datetime gives its time of day.
    text = std::holds_alternative<SqlDateTime>(v->value) ? DateTimeText(std::get<SqlDateTime>(v->value)).substr(11)
                                                         : ValueText(v->value);
  } else {
    text = p.ExpectString();
  }
  p.ExpectEnd();
  int h = 0, m = 0, s = 0, ms = 0;
  char extra = 0;
  const int n = std::sscanf(text.c_str(), "%d:%d:%d.%d%c", &h, &m, &s, &ms, &extra);
  if (n < 2 || n > 4 || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0)
    ctx.Fail(148, 15, 1, "Incorrect time syntax in time string '" + text + "' used with WAITFOR.");
  int64_t wait = ((h * 60LL + m) * 60 + s) * 1000 + ms;
  if (until) {
    constexpr int64_t kDay = 24LL * 60 * 60 * 1000;
    wait -= NowInDay();
    if (wait <= 0) wait += kDay;
  }
  const std::string command = ctx.session.command;
  ctx.session.command = "WAITFOR";
  ctx.session.status = "sleeping";
  const bool finished = ctx.WaitUnlocked(std::chrono::milliseconds(wait));
  ctx.session.command = command;
  ctx.session.status = "runnable";
  if (!finished) throw BatchCancelled{};
}

const StatementRegistration use_statement("USE", Use);
const StatementRegistration set_statement("SET", Set);
const StatementRegistration waitfor_statement("WAITFOR", WaitFor);

}  // namespace
}  // namespace msde
