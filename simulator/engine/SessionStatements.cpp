// Statements about the session itself: USE, SET, PRINT, RAISERROR and WAITFOR.
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

void Print(Context& ctx, Parser& p) {
  const Token t = p.Next();
  if (t.kind != TokenKind::String && t.kind != TokenKind::NString) p.FailHere();
  p.ExpectEnd();
  ctx.Info(0, t.text, 0, 1);
}

// RAISERROR ('text', severity, state) [WITH NOWAIT | LOG | SETERROR, ...]: message 50000;
// severity 10 or less is informational, more an error that does not end the batch. NOWAIT
// sends the message to the client at once instead of with the rest of the response.
void RaisError(Context& ctx, Parser& p) {
  p.ExpectSymbol("(");
  const std::string text = p.ExpectString();
  p.ExpectSymbol(",");
  const int64_t severity = p.ExpectInteger();
  p.ExpectSymbol(",");
  const bool negative = p.AcceptSymbol("-");
  const int64_t state = p.ExpectInteger();
  p.ExpectSymbol(")");
  bool nowait = false;
  if (p.AcceptKeyword("WITH")) {
    do {
      if (p.AcceptKeyword("NOWAIT"))
        nowait = true;
      else if (!p.AcceptKeyword("LOG") && !p.AcceptKeyword("SETERROR"))
        p.FailHere();
    } while (p.AcceptSymbol(","));
  }
  p.ExpectEnd();
  if (severity < 0 || severity > 25 || state > 127) p.FailHere();
  // A negative state is reported as state 1, as SQL Server does.
  const int shown_state = negative || state == 0 ? 1 : static_cast<int>(state);
  const int level = static_cast<int>(severity);
  if (level > 10)
    ctx.Error(50000, level, shown_state, text);
  else if (nowait)
    ctx.InfoNow(50000, text, level, shown_state);
  else
    ctx.Info(50000, text, level, shown_state);
}

// WAITFOR DELAY 'hh:mm[:ss[.mmm]]': waits without holding the engine; an attention or a
// KILL ends the wait and the batch.
void WaitFor(Context& ctx, Parser& p) {
  p.ExpectKeyword("DELAY");
  const std::string text = p.ExpectString();
  p.ExpectEnd();
  int h = 0, m = 0, s = 0, ms = 0;
  char extra = 0;
  const int n = std::sscanf(text.c_str(), "%d:%d:%d.%d%c", &h, &m, &s, &ms, &extra);
  if (n < 2 || n > 4 || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0)
    ctx.Fail(148, 15, 1, "Incorrect time syntax in time string '" + text + "' used with WAITFOR.");
  const auto duration = std::chrono::milliseconds(((h * 60LL + m) * 60 + s) * 1000 + ms);
  const std::string command = ctx.session.command;
  ctx.session.command = "WAITFOR";
  ctx.session.status = "sleeping";
  const bool finished = ctx.WaitUnlocked(duration);
  ctx.session.command = command;
  ctx.session.status = "runnable";
  if (!finished) throw BatchCancelled{};
}

const StatementRegistration use_statement("USE", Use);
const StatementRegistration set_statement("SET", Set);
const StatementRegistration print_statement("PRINT", Print);
const StatementRegistration waitfor_statement("WAITFOR", WaitFor);
const StatementRegistration raiserror_statement("RAISERROR", RaisError);

}  // namespace
}  // namespace msde
