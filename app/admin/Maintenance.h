#pragma once
// The one runner of the maintenance commands (the state commands, the check and the repairs,
// backup, restore, shrinking): a command describes its work, the runner asks, guards, runs
// and keeps what the server said, and the command reads the answer from the result.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "app/CommandContext.h"
#include "app/StatementMessages.h"

namespace vandrel::app::admin {

struct TMaintenance {
  QString Caption;   // of the question
  QString Question;  // asked first, "Nie" the default; empty: none
  // The database the in-use guard looks for first (its refusal ends the work); empty: none.
  std::string GuardedDatabase;
  // The database the statements run in ("use" first); empty: the current one.
  std::string Database = "master";
  // The connection probe (and a reconnect) before them; off for a statement that follows
  // another of the same work at once.
  bool ProbesFirst = true;
  // Runs once the user agreed and the guard let the work go, before the statements (what a
  // command reads to report against): "Nie" sends nothing.
  std::function<void()> BeforeStatements;
  // Run one after another while each is done.
  std::vector<std::string> Statements;
  // What the waiting window names while they run; empty: each statement's own text.
  std::string WaitCaption;
  // A failed statement's error report goes into the result for the command to explain,
  // instead of on screen.
  bool KeepsReport = false;
  // A statement stopped with "Przerwij" is not reported as stopped: the command reads back
  // what the server did and says so itself.
  bool ReadsBackAfterStop = false;
  // The statements run as long as the database is large (a check, a backup): no time-out
  // ends them, "Przerwij" does.
  bool RunsLong = false;
};

struct TMaintenanceResult {
  bool Run = false;  // false: the user said "Nie", or the guard refused (it said why)
  TStepOutcome Outcome = TStepOutcome::soFailed;  // of the last statement sent
  size_t Done = 0;                               // statements of Statements done
  size_t Started = 0;  // statements of Statements sent (0: stopped or failed before the first)
  // Every record the server sent for the statements, in order, and a kept error report.
  TStatementMessages Messages;
  bool AllDone() const { return Run && Outcome == TStepOutcome::soDone; }
};

TMaintenanceResult RunMaintenance(TCommandContext& Context, const TMaintenance& Work);

}  // namespace vandrel::app::admin
